// Helpers of the transformation tests: a private settings and data folder with the shipped
// dictionaries, a headless platform whose alerts the test answers, and documents run through
// a fresh checker.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/VmkHTMLChecker.h"
#include "host/headless/HeadlessDocument.h"
#include "host/headless/HeadlessPlatform.h"
#include "support/Text.h"

namespace vmk::test {

inline constexpr const char16_t* kHtml401 =
    u"<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\n";
inline constexpr const char16_t* kXhtml10 =
    u"<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
    u"\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">\n";

class TransformTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A document over the text, and a checker of its own for it.
  HeadlessDocument& open(const UString& text);
  VmkHTMLChecker& checker() { return *checker_; }
  HeadlessPlatform& platform() { return platform_; }
  // A setting for this test only.
  void set(const std::string& key, const std::string& value);

  // The document's text after the command (UTF-8), on a document over `text`.
  std::string beautified(const UString& text, bool whole = true,
                         std::optional<Range> selection = std::nullopt);
  std::string minimized(const UString& text);
  std::string smartEntities(const UString& text, std::optional<Range> selection = std::nullopt);

  // The error codes a fresh silent check of the text gives, once each, sorted.
  std::vector<std::string> errorCodesOf(const UString& text);

 private:
  std::filesystem::path root_;
  HeadlessPlatform platform_;
  std::unique_ptr<VmkHTMLChecker> checker_;
  std::vector<std::unique_ptr<HeadlessDocument>> documents_;
};

// UTF-8 <-> UTF-16 shorthands.
inline UString u16(std::string_view text) {
  return toUtf16(text);
}
inline std::string u8(UStringView text) {
  return toUtf8(text);
}

}  // namespace vmk::test
