// A document of the headless host: text held in memory with LF line ends, edited through the
// text-view protocol with undoable editing groups, opened from and saved to a file.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/HostDocument.h"
#include "host/headless/DocumentFile.h"
#include "support/Encoding.h"
#include "support/Paths.h"
#include "support/Text.h"
#include "support/TextEdits.h"

namespace vmk {

class HeadlessDocument;

// The document's text storage; all state lives in the document. Inside an open editing group
// the replacements wait and are applied together (see applyDeferredEdits): ask string() again
// after an edit, since a reference taken before it shows the text as it was until then.
class HeadlessTextStorage final : public HostTextStorage {
 public:
  explicit HeadlessTextStorage(HeadlessDocument& document) : document_(document) {}
  const UString& string() const override;
  std::shared_ptr<const TextSnapshot> textSnapshot() override;
  void beginEditing() override;
  void endEditing() override;
  void replaceCharactersInRange(Range range, UStringView withString) override;

 private:
  HeadlessDocument& document_;
};

// The document's only text view.
class HeadlessTextView final : public HostTextView {
 public:
  explicit HeadlessTextView(HeadlessDocument& document) : document_(document) {}
  bool shouldChangeTextInRange(Range range, const UString* replacementString) override;
  void didChangeText() override;

 private:
  HeadlessDocument& document_;
};

class HeadlessDocument final : public HostDocument {
 public:
  // Told after every completed editing group, and after undo and redo: the edited range in the
  // new text and the signed change in length.
  using EditListener =
      std::function<void(HostDocument& document, Range editedRange, int64_t changeInLength)>;
  // Told when the document is asked to come to the front.
  using FrontListener = std::function<void(HeadlessDocument& document)>;

  // A document over an in-memory text (line ends are normalized to LF; the first line end
  // found decides openLineEndings). The type is HTML when the file name or the text says so.
  explicit HeadlessDocument(UString text, std::optional<std::string> fileName = {},
                            Encoding encoding = Encoding::utf8());
  ~HeadlessDocument() override;
  HeadlessDocument(const HeadlessDocument&) = delete;
  HeadlessDocument& operator=(const HeadlessDocument&) = delete;

  // Reads a file, a regular one or a pipe (readDocumentFile: no device, at most maxSize
  // bytes), in the encoding decodeDocumentBytes chooses. Absent (with *errorOut) when the file
  // cannot be read or is not read.
  static std::unique_ptr<HeadlessDocument> open(const std::string& path,
                                                std::optional<Encoding> forced = {},
                                                std::string* errorOut = nullptr,
                                                uint64_t maxSize = kDefaultMaximumDocumentSize);

  // A document over a file's bytes, decoded as open() does; no file is read.
  static std::unique_ptr<HeadlessDocument> fromBytes(std::string_view bytes,
                                                     std::optional<std::string> fileName = {},
                                                     std::optional<Encoding> forced = {});

  // HostDocument
  HostTextStorage& textStorage() override { return storage_; }
  HostTextView* firstTextView() override { return hasTextView_ ? &view_ : nullptr; }
  Range selectedRange() const override { return selection_; }
  void setSelectedRange(Range range, bool withScroll) override;
  void setSelectedRange(Range range, bool withScroll, bool toFront) override;
  std::string md5DigestString() const override;
  Encoding openNSEncoding() const override { return encoding_; }
  void setOpenNSEncoding(const Encoding& encoding) override { encoding_ = encoding; }
  int openLineEndings() const override { return lineEndings_; }
  void setTabWidth(double width) override { tabWidth_ = width; }
  std::optional<std::string> fileName() const override { return fileName_; }
  std::optional<std::string> remoteURL() const override { return remoteURL_; }
  UString displayName() const override;
  bool isRichText() const override { return false; }
  int revertDocumentType() const override { return documentType_; }
  void makeFirstResponder() override { ++firstResponderCount_; }
  bool saveDocument(std::string* errorOut = nullptr) override;

  // The text (LF line ends).
  const UString& text() const {
    applyDeferredEdits();
    return text_;
  }
  // Writes the text to a file: the document's line ends restored, encoded without loss in the
  // document's encoding, byte order mark restored, written atomically. False (with *errorOut,
  // the file untouched) when any character cannot be encoded or the write fails.
  bool saveToFile(const std::string& path, std::string* errorOut = nullptr) const;
  // The bytes saveToFile writes; absent (with *errorOut) when the text cannot be encoded.
  std::optional<std::string> encodedContents(std::string* errorOut = nullptr) const;

  // The text view answers "no" to every change while set.
  void setRefusesEdits(bool refuses) { refusesEdits_ = refuses; }
  bool refusesEdits() const { return refusesEdits_; }
  // Without a text view firstTextView() answers nullptr.
  void setHasTextView(bool hasView) { hasTextView_ = hasView; }

  // Undo and redo of whole editing groups; false when there is nothing to undo or redo, or an
  // editing group is open.
  bool undo();
  bool redo();
  bool canUndo() const { return editDepth_ == 0 && !undoStack_.empty(); }
  // Off: edits keep no undo history (a one-shot command that never undoes does not hold a
  // replaced page's old text). On by default; switching it off forgets the history.
  void setKeepsUndoHistory(bool keeps) {
    keepsUndo_ = keeps;
    if (!keeps) {
      undoStack_.clear();
      redoStack_.clear();
    }
  }
  bool canRedo() const { return editDepth_ == 0 && !redoStack_.empty(); }
  // True when the text changed since it was opened or last saved.
  bool isDocumentEdited() const { return version_ != savedVersion_; }
  // Counts every change of the text (edits, undo, redo).
  uint64_t textVersion() const { return version_; }

  void setEditListener(EditListener listener) { editListener_ = std::move(listener); }
  void setFrontListener(FrontListener listener) { frontListener_ = std::move(listener); }

  void setFileName(std::optional<std::string> path);
  void setRemoteURL(std::optional<std::string> address) { remoteURL_ = std::move(address); }
  void setRevertDocumentType(int type) { documentType_ = type; }
  void setOpenLineEndings(int kind) { lineEndings_ = kind; }
  bool hasByteOrderMark() const { return hasBOM_; }
  void setHasByteOrderMark(bool bom) { hasBOM_ = bom; }
  // True when opening had to replace bytes that were not valid in the chosen encoding;
  // such a document is never saved over its file's bytes silently.
  bool hadDecodingErrors() const { return decodingErrors_; }
  // Allows saving such a document over its file after all (the replaced bytes are lost).
  void acceptDecodingErrors() { decodingErrors_ = false; }

  double tabWidth() const { return tabWidth_; }
  int firstResponderCount() const { return firstResponderCount_; }
  int didChangeTextCount() const { return didChangeTextCount_; }
  // Whether the last setSelectedRange asked to scroll.
  bool lastSelectionScrolled() const { return lastSelectionScrolled_; }

 private:
  static std::unique_ptr<HeadlessDocument> fromDecoded(DecodedDocument decoded,
                                                       std::optional<std::string> fileName);
  friend class HeadlessTextStorage;
  friend class HeadlessTextView;

  // One replacement, as needed to reverse it: where the new text now lies, and the old text.
  struct EditStep {
    uint32_t location = 0;
    uint32_t newLength = 0;
    UString oldText;
  };
  // The steps of one editing group and the union of their effects on the text.
  struct EditGroup {
    std::vector<EditStep> steps;
    Range editedRange;
    int64_t changeInLength = 0;
    bool empty() const { return steps.empty(); }
  };

  void beginEditing();
  void endEditing();
  void replaceCharacters(Range range, UStringView replacement);
  // Applies one replacement (range already clamped) and records it in `group`.
  void applyReplacement(Range range, UStringView replacement, EditGroup& group);
  // Applies edits of the text (ascending and apart) in one pass, recording them in `group`.
  void applyEdits(const std::vector<TextEdit>& edits, EditGroup& group);
  // Records in `group` (and in the selection) that `range` became `newLength` characters.
  void recordReplacement(Range range, uint32_t newLength, UString oldText, EditGroup& group);
  // Replacements made while an editing group is open wait here and are applied together when
  // the text is read or the group ends: a repair of a large page makes thousands of them.
  void applyDeferredEdits() const;
  uint32_t currentLength() const {
    return deferred_ ? deferred_->length() : static_cast<uint32_t>(text_.size());
  }
  // Reverses a group's steps, recording them as a new group.
  EditGroup reverseGroup(const EditGroup& group);
  void notifyEdit(const EditGroup& group);
  // Hands the text as it is to a living snapshot before the text changes or goes away.
  void detachSnapshot(bool textGoesAway);

  HeadlessTextStorage storage_{*this};
  HeadlessTextView view_{*this};
  UString text_;
  // Replacements waiting to be applied to text_ (see applyDeferredEdits).
  std::unique_ptr<ComposedEdits> deferred_;
  // The handle given out on text_, while it reads text_ itself.
  std::weak_ptr<TextSnapshot> snapshot_;
  std::optional<std::string> fileName_;
  std::optional<std::string> remoteURL_;
  Encoding encoding_;
  int lineEndings_ = kLineEndingsLF;
  bool hasBOM_ = false;
  bool decodingErrors_ = false;
  int documentType_ = 0;
  double tabWidth_ = 4.0;
  Range selection_;
  bool lastSelectionScrolled_ = false;
  bool refusesEdits_ = false;
  bool hasTextView_ = true;

  int editDepth_ = 0;
  bool keepsUndo_ = true;
  EditGroup pending_;
  std::vector<EditGroup> undoStack_;
  std::vector<EditGroup> redoStack_;
  uint64_t version_ = 0;
  uint64_t savedVersion_ = 0;
  mutable std::optional<std::pair<uint64_t, std::string>> digestCache_;

  EditListener editListener_;
  FrontListener frontListener_;
  int firstResponderCount_ = 0;
  int didChangeTextCount_ = 0;
};

}  // namespace vmk
