// Pieces shared by the test programs: a temporary folder per test and a minimal host
// document over an in-memory text.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "host/HostDocument.h"
#include "support/Digest.h"
#include "support/Paths.h"

namespace vmk::testing {

// Sets environment variables and puts back what they were when the object goes (or when
// restore() is called).
class ScopedEnv {
 public:
  ScopedEnv() = default;
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;
  ~ScopedEnv() { restore(); }

  // nullptr removes the variable.
  void set(const std::string& name, const char* value) {
    if (!saved_.count(name)) {
      const char* old = std::getenv(name.c_str());
      saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
    }
    if (value)
      ::setenv(name.c_str(), value, 1);
    else
      ::unsetenv(name.c_str());
  }
  void set(const std::string& name, const std::string& value) { set(name, value.c_str()); }

  void restore() {
    for (const auto& [name, value] : saved_) {
      if (value)
        ::setenv(name.c_str(), value->c_str(), 1);
      else
        ::unsetenv(name.c_str());
    }
    saved_.clear();
  }

 private:
  std::map<std::string, std::optional<std::string>> saved_;
};

// A fresh folder under the system's temporary folder, removed with everything in it (even
// after a test took away its write permission) when the object goes.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vmk-test-XXXXXX").string();
    path_ = mkdtemp(pattern.data()) ? pattern : std::string();
  }
  ~TempFolder() {
    if (path_.empty()) return;
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  std::string file(std::string_view name) const { return path_ + "/" + std::string(name); }
  // Writes a file in the folder and answers its path.
  std::string write(std::string_view name, std::string_view bytes) const {
    std::string target = file(name);
    writeFileAtomically(target, bytes);
    return target;
  }
  std::string read(std::string_view name) const {
    return readFileContents(file(name)).value_or("<unreadable>");
  }

 private:
  std::string path_;
};

// Text storage that records the editing calls it receives in `log`.
class FakeTextStorage : public HostTextStorage {
 public:
  const UString& string() const override { return text; }
  void beginEditing() override { log += "begin;"; }
  void endEditing() override { log += "end;"; }
  void replaceCharactersInRange(Range range, UStringView with) override {
    text.replace(range.location, range.length, with);
    log += "replace;";
  }
  UString text;
  std::string log;
};

// A document over `storage.text`; its text view is `view` (none unless a test sets one).
class FakeDocument : public HostDocument {
 public:
  explicit FakeDocument(UString text = {}) { storage.text = std::move(text); }
  HostTextStorage& textStorage() override { return storage; }
  HostTextView* firstTextView() override { return view; }
  Range selectedRange() const override { return {}; }
  void setSelectedRange(Range, bool) override {}
  void setSelectedRange(Range, bool, bool) override {}
  std::string md5DigestString() const override { return digestHex(UStringView(storage.text)); }
  Encoding openNSEncoding() const override { return Encoding::utf8(); }
  void setOpenNSEncoding(const Encoding&) override {}
  int openLineEndings() const override { return kLineEndingsLF; }
  void setTabWidth(double) override {}
  std::optional<std::string> fileName() const override { return std::nullopt; }
  std::optional<std::string> remoteURL() const override { return std::nullopt; }
  UString displayName() const override { return u"untitled"; }
  bool isRichText() const override { return false; }
  int revertDocumentType() const override { return kHTMLDocumentType; }
  void makeFirstResponder() override {}
  bool saveDocument(std::string*) override { return true; }

  FakeTextStorage storage;
  HostTextView* view = nullptr;
};

}  // namespace vmk::testing
