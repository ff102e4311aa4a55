// A document of the language server: one of the editor's buffers (or a page read from disk
// for a site check), held with LF line ends. The editor's changes reach it as text edits at
// line/column positions and go through the same editing protocol as the engine's own edits,
// so the principal hears of every one of them.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "host/HostDocument.h"
#include "support/Encoding.h"
#include "support/Text.h"

namespace vmk::lsp {

// A place in a text as the protocol counts it: a 0-based line and a 0-based count of UTF-16
// code units into that line.
struct Position {
  uint32_t line = 0;
  uint32_t character = 0;
  bool operator==(const Position&) const = default;
};

class LspDocument;

class LspTextStorage final : public HostTextStorage {
 public:
  explicit LspTextStorage(LspDocument& document) : document_(document) {}
  const UString& string() const override;
  void beginEditing() override;
  void endEditing() override;
  void replaceCharactersInRange(Range range, UStringView withString) override;

 private:
  LspDocument& document_;
};

class LspTextView final : public HostTextView {
 public:
  explicit LspTextView(LspDocument& document) : document_(document) {}
  // Any range inside the text may change: the editor is the one that refuses, later.
  bool shouldChangeTextInRange(Range range, const UString* replacementString) override;
  void didChangeText() override {}

 private:
  LspDocument& document_;
};

class LspDocument final : public HostDocument {
 public:
  // Told after each completed editing group: the edited range in the new text and the signed
  // change in length.
  using EditListener =
      std::function<void(LspDocument& document, Range editedRange, int64_t changeInLength)>;

  // `text` may have any line ends; they are read as LF. `path` is the file of a file: address.
  LspDocument(std::string uri, UStringView text, std::optional<std::string> path, Encoding encoding,
              bool isHTML);
  LspDocument(const LspDocument&) = delete;
  LspDocument& operator=(const LspDocument&) = delete;

  const std::string& uri() const { return uri_; }
  // The editor's version number of the buffer (absent for a page the editor has not opened).
  std::optional<int64_t> version() const { return version_; }
  void setVersion(std::optional<int64_t> version) { version_ = version; }
  // True for the editor's buffers, false for pages read from disk by the server itself.
  bool openInEditor() const { return openInEditor_; }
  void setOpenInEditor(bool open) { openInEditor_ = open; }

  const UString& text() const { return text_; }
  // The offset of a position; a column past the line's end means the end of the line, a line
  // past the last one the end of the text.
  uint32_t offsetAt(Position position) const;
  Position positionAt(uint32_t offset) const;
  uint32_t lineCount() const;

  // One change from the editor: the range replaced (absent: the whole text) and its new text
  // (line ends read as LF), made through the editing protocol.
  void applyChange(std::optional<std::pair<Position, Position>> range, UStringView newText);

  void setEditListener(EditListener listener) { editListener_ = std::move(listener); }
  // Told of every single replacement as it is made: the range of the text as it stood and the
  // new characters (a scratch copy records what an operation did to it this way).
  using ReplacementObserver = std::function<void(Range replaced, UStringView text)>;
  void setReplacementObserver(ReplacementObserver observer) { observer_ = std::move(observer); }
  bool isHTML() const { return isHTML_; }

  // HostDocument
  HostTextStorage& textStorage() override { return storage_; }
  HostTextView* firstTextView() override { return &view_; }
  Range selectedRange() const override { return selection_; }
  void setSelectedRange(Range range, bool withScroll) override;
  void setSelectedRange(Range range, bool withScroll, bool toFront) override;
  std::string md5DigestString() const override;
  Encoding openNSEncoding() const override { return encoding_; }
  void setOpenNSEncoding(const Encoding& encoding) override { encoding_ = encoding; }
  int openLineEndings() const override { return kLineEndingsLF; }
  void setTabWidth(double width) override { tabWidth_ = width; }
  std::optional<std::string> fileName() const override { return path_; }
  std::optional<std::string> remoteURL() const override;
  UString displayName() const override;
  bool isRichText() const override { return false; }
  int revertDocumentType() const override { return isHTML_ ? kHTMLDocumentType : 0; }
  void makeFirstResponder() override {}
  // The editor owns the file: saving is its business.
  bool saveDocument(std::string* errorOut = nullptr) override;

  double tabWidth() const { return tabWidth_; }

 private:
  friend class LspTextStorage;
  friend class LspTextView;
  void beginEditing() { ++editDepth_; }
  void endEditing();
  void replaceCharacters(Range range, UStringView replacement);
  const std::vector<uint32_t>& lineStarts() const;

  LspTextStorage storage_{*this};
  LspTextView view_{*this};
  std::string uri_;
  std::optional<std::string> path_;
  UString text_;
  Encoding encoding_;
  bool isHTML_ = false;
  bool openInEditor_ = true;
  std::optional<int64_t> version_;
  Range selection_;
  double tabWidth_ = 4.0;

  // The open editing group: the union of its replacements in the new text, and its change in
  // length.
  int editDepth_ = 0;
  bool groupTouched_ = false;
  Range groupRange_;
  int64_t groupDelta_ = 0;
  EditListener editListener_;
  ReplacementObserver observer_;

  uint64_t textVersion_ = 0;
  mutable std::optional<std::pair<uint64_t, std::string>> digest_;
  mutable std::vector<uint32_t> lineStarts_;
  mutable uint64_t lineStartsVersion_ = UINT64_MAX;
};

// The file path of a file: address (percent escapes decoded), or absent.
std::optional<std::string> pathFromFileURI(std::string_view uri);
// The file: address of an absolute path, with the characters an address cannot hold escaped.
std::string fileURIFromPath(std::string_view path);

}  // namespace vmk::lsp
