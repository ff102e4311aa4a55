#include "host/headless/HeadlessDocument.h"

#include <algorithm>
#include <limits>

#include "host/headless/DocumentFile.h"
#include "support/Digest.h"
#include "support/Paths.h"

namespace vmk {

// ---- text storage and text view -------------------------------------------------------------

const UString& HeadlessTextStorage::string() const {
  document_.applyDeferredEdits();
  return document_.text_;
}
std::shared_ptr<const TextSnapshot> HeadlessTextStorage::textSnapshot() {
  document_.applyDeferredEdits();
  std::shared_ptr<TextSnapshot> snapshot = document_.snapshot_.lock();
  if (!snapshot || snapshot->detached()) {
    snapshot = std::make_shared<TextSnapshot>(document_.text_);
    document_.snapshot_ = snapshot;
  }
  return snapshot;
}

void HeadlessTextStorage::beginEditing() {
  document_.beginEditing();
}
void HeadlessTextStorage::endEditing() {
  document_.endEditing();
}
void HeadlessTextStorage::replaceCharactersInRange(Range range, UStringView withString) {
  document_.replaceCharacters(range, withString);
}

bool HeadlessTextView::shouldChangeTextInRange(Range range, const UString* /*replacement*/) {
  if (document_.refusesEdits_) return false;
  const uint32_t size = document_.currentLength();
  return range.location <= size && range.length <= size - range.location;
}

void HeadlessTextView::didChangeText() {
  ++document_.didChangeTextCount_;
}

// ---- document -------------------------------------------------------------------------------

HeadlessDocument::HeadlessDocument(UString text, std::optional<std::string> fileName,
                                   Encoding encoding)
    : fileName_(std::move(fileName)), encoding_(std::move(encoding)) {
  lineEndings_ = detectLineEndings(text);
  text_ = normalizeLineEndings(text);
  documentType_ = isHTMLDocument(fileName_, text_) ? kHTMLDocumentType : 0;
}

HeadlessDocument::~HeadlessDocument() {
  detachSnapshot(true);
}

void HeadlessDocument::detachSnapshot(bool textGoesAway) {
  std::shared_ptr<TextSnapshot> snapshot = snapshot_.lock();
  snapshot_.reset();
  if (!snapshot || snapshot->detached()) return;
  if (textGoesAway) {
    snapshot->detach(std::move(text_));
    return;
  }
  // The snapshot keeps the characters where they are (what a run made of them may view them
  // there); the document goes on with a copy.
  UString copy = text_;
  snapshot->detach(std::move(text_));
  text_ = std::move(copy);
}

std::unique_ptr<HeadlessDocument> HeadlessDocument::open(const std::string& path,
                                                         std::optional<Encoding> forced,
                                                         std::string* errorOut, uint64_t maxSize) {
  // The decoders take at most that many bytes.
  maxSize = std::min<uint64_t>(maxSize, uint64_t(std::numeric_limits<int32_t>::max()));
  // Most files are UTF-8 and are decoded as they are read; any other is read whole first.
  if (!forced) {
    if (std::optional<DecodedDocument> decoded = decodeUtf8DocumentFile(path, maxSize)) {
      return fromDecoded(std::move(*decoded), path);
    }
  }
  std::string readError;
  std::optional<std::string> bytes = readDocumentFile(path, maxSize, &readError);
  if (!bytes) {
    if (errorOut) *errorOut = "cannot read " + path + ": " + readError;
    return nullptr;
  }
  return fromBytes(*bytes, path, std::move(forced));
}

std::unique_ptr<HeadlessDocument> HeadlessDocument::fromBytes(std::string_view bytes,
                                                              std::optional<std::string> fileName,
                                                              std::optional<Encoding> forced) {
  return fromDecoded(decodeDocumentBytes(bytes, forced), std::move(fileName));
}

std::unique_ptr<HeadlessDocument> HeadlessDocument::fromDecoded(
    DecodedDocument decoded, std::optional<std::string> fileName) {
  auto document =
      std::make_unique<HeadlessDocument>(UString(), std::move(fileName), decoded.encoding);
  document->text_ = std::move(decoded.text);
  document->lineEndings_ = decoded.lineEndings;
  document->hasBOM_ = decoded.hasBOM;
  document->decodingErrors_ = decoded.decodingErrors;
  document->documentType_ =
      isHTMLDocument(document->fileName_, document->text_) ? kHTMLDocumentType : 0;
  if (decoded.digest)
    document->digestCache_.emplace(document->version_, std::move(*decoded.digest));
  return document;
}

void HeadlessDocument::setSelectedRange(Range range, bool withScroll) {
  applyDeferredEdits();
  uint32_t size = static_cast<uint32_t>(text_.size());
  uint32_t location = std::min(range.location, size);
  selection_ = Range(location, std::min(range.length, size - location));
  lastSelectionScrolled_ = withScroll;
}

void HeadlessDocument::setSelectedRange(Range range, bool withScroll, bool toFront) {
  setSelectedRange(range, withScroll);
  if (toFront && frontListener_) frontListener_(*this);
}

std::string HeadlessDocument::md5DigestString() const {
  applyDeferredEdits();
  if (!digestCache_ || digestCache_->first != version_) {
    digestCache_.emplace(version_, digestHex(UStringView(text_)));
  }
  return digestCache_->second;
}

UString HeadlessDocument::displayName() const {
  if (fileName_ && !fileName_->empty()) return toUtf16(lastPathComponent(*fileName_));
  if (remoteURL_ && !remoteURL_->empty()) {
    std::string_view address = *remoteURL_;
    if (size_t cut = address.find_first_of("?#"); cut != std::string_view::npos) {
      address = address.substr(0, cut);
    }
    std::string name = lastPathComponent(address);
    if (!name.empty()) return toUtf16(name);
  }
  return u"Untitled";
}

void HeadlessDocument::setFileName(std::optional<std::string> path) {
  fileName_ = std::move(path);
}

std::optional<std::string> HeadlessDocument::encodedContents(std::string* errorOut) const {
  applyDeferredEdits();
  return encodeDocumentText(text_, encoding_, lineEndings_, hasBOM_, errorOut);
}

bool HeadlessDocument::saveToFile(const std::string& path, std::string* errorOut) const {
  if (decodingErrors_ && fileName_ && path == *fileName_) {
    if (errorOut) {
      *errorOut = "cannot save " + path + ": it had bytes that are not valid " +
                  encoding_.ianaName() + ", and saving would replace them";
    }
    return false;
  }
  std::string encodeError;
  std::optional<std::string> bytes = encodedContents(&encodeError);
  if (!bytes) {
    if (errorOut) *errorOut = "cannot save " + path + ": " + encodeError;
    return false;
  }
  std::string writeError;
  if (!writeFileAtomically(path, *bytes, &writeError)) {
    if (errorOut) *errorOut = "cannot save " + path + ": " + writeError;
    return false;
  }
  return true;
}

bool HeadlessDocument::saveDocument(std::string* errorOut) {
  if (!fileName_ || fileName_->empty()) {
    if (errorOut) *errorOut = "the document \"" + toUtf8(displayName()) + "\" has no file";
    return false;
  }
  if (!saveToFile(*fileName_, errorOut)) return false;
  savedVersion_ = version_;
  return true;
}

// ---- editing --------------------------------------------------------------------------------

void HeadlessDocument::beginEditing() {
  ++editDepth_;
}

void HeadlessDocument::endEditing() {
  if (editDepth_ == 0) return;  // unbalanced: ignore
  if (--editDepth_ > 0) return;
  applyDeferredEdits();
  if (pending_.empty()) return;
  EditGroup group = std::move(pending_);
  pending_ = EditGroup();
  redoStack_.clear();
  // Moved, not copied: a group that replaced a whole page holds the page's old text. The
  // listener is told from a summary, since it may edit again and so move the stack.
  EditGroup summary;
  summary.editedRange = group.editedRange;
  summary.changeInLength = group.changeInLength;
  if (keepsUndo_) undoStack_.push_back(std::move(group));
  notifyEdit(summary);
}

void HeadlessDocument::replaceCharacters(Range range, UStringView replacement) {
  // A range past the end is clamped to the text rather than trusted.
  uint32_t size = currentLength();
  uint32_t location = std::min(range.location, size);
  Range clamped(location, std::min(range.length, size - location));
  if (editDepth_ > 0) {
    // Inside an editing group: applied with the group's other replacements.
    if (!deferred_) deferred_ = std::make_unique<ComposedEdits>(text_);
    deferred_->replace(clamped, replacement);
    return;
  }
  beginEditing();
  applyReplacement(clamped, replacement, pending_);
  endEditing();
}

void HeadlessDocument::applyDeferredEdits() const {
  if (!deferred_) return;
  auto* self = const_cast<HeadlessDocument*>(this);
  const std::vector<TextEdit> edits = self->deferred_->takeEdits();
  self->deferred_.reset();
  self->applyEdits(edits, self->pending_);
}

void HeadlessDocument::applyEdits(const std::vector<TextEdit>& edits, EditGroup& group) {
  if (edits.empty()) return;
  if (edits.size() == 1) {
    applyReplacement(edits[0].range, edits[0].text, group);
    return;
  }
  // Recorded one after another from the start, each where it lies once those before it are
  // made; reversed from the last one back, they give the text as it was.
  int64_t delta = 0;
  for (const TextEdit& edit : edits) {
    const Range range(uint32_t(int64_t(edit.range.location) + delta), edit.range.length);
    recordReplacement(range, uint32_t(edit.text.size()),
                      keepsUndo_ ? text_.substr(edit.range.location, edit.range.length) : UString(),
                      group);
    delta += int64_t(edit.text.size()) - int64_t(edit.range.length);
  }
  UString next = vmk::applyEdits(text_, edits);
  // A living snapshot keeps the characters where they are.
  std::shared_ptr<TextSnapshot> snapshot = snapshot_.lock();
  snapshot_.reset();
  if (snapshot && !snapshot->detached()) snapshot->detach(std::move(text_));
  text_ = std::move(next);
  ++version_;
}

void HeadlessDocument::applyReplacement(Range range, UStringView replacement, EditGroup& group) {
  UString oldText = keepsUndo_ ? text_.substr(range.location, range.length) : UString();
  detachSnapshot(false);
  text_.replace(range.location, range.length, replacement);
  ++version_;
  recordReplacement(range, uint32_t(replacement.size()), std::move(oldText), group);
}

void HeadlessDocument::recordReplacement(Range range, uint32_t newLength, UString oldText,
                                         EditGroup& group) {
  EditStep step;
  step.location = range.location;
  step.newLength = newLength;
  step.oldText = std::move(oldText);

  const int64_t delta = static_cast<int64_t>(newLength) - range.length;
  const uint32_t newEnd = range.location + step.newLength;
  // Position of an old-text offset in the new text (offsets inside the replaced range move to
  // the end of the new characters).
  auto map = [&](uint32_t offset, bool isStart) -> uint32_t {
    if (offset <= range.location) return offset;
    if (offset >= range.max()) return static_cast<uint32_t>(offset + delta);
    return isStart ? range.location : newEnd;
  };
  if (group.empty()) {
    group.editedRange = Range(range.location, step.newLength);
  } else {
    uint32_t start = std::min(map(group.editedRange.location, true), range.location);
    uint32_t end = std::max(map(group.editedRange.max(), false), newEnd);
    group.editedRange = Range(start, end - start);
  }
  group.changeInLength += delta;
  group.steps.push_back(std::move(step));

  // The selection follows the text.
  uint32_t selStart = map(selection_.location, true);
  uint32_t selEnd = map(selection_.max(), false);
  if (selection_.location < range.max() && selection_.max() > range.location) {
    selStart = selEnd = newEnd;  // overlapped by the edit: caret after the new text
  }
  selection_ = Range(selStart, selEnd - selStart);
}

HeadlessDocument::EditGroup HeadlessDocument::reverseGroup(const EditGroup& group) {
  EditGroup reversed;
  if (group.steps.size() == 1) {
    const EditStep& step = group.steps[0];
    applyReplacement(Range(step.location, step.newLength), step.oldText, reversed);
    return reversed;
  }
  // Composed first, then applied in one pass.
  ComposedEdits composed(text_);
  for (auto it = group.steps.rbegin(); it != group.steps.rend(); ++it) {
    composed.replace(Range(it->location, it->newLength), it->oldText);
  }
  applyEdits(composed.edits(), reversed);
  return reversed;
}

bool HeadlessDocument::undo() {
  if (!canUndo()) return false;
  EditGroup group = std::move(undoStack_.back());
  undoStack_.pop_back();
  EditGroup reversed = reverseGroup(group);
  redoStack_.push_back(reversed);
  notifyEdit(reversed);
  return true;
}

bool HeadlessDocument::redo() {
  if (!canRedo()) return false;
  EditGroup group = std::move(redoStack_.back());
  redoStack_.pop_back();
  EditGroup reversed = reverseGroup(group);
  undoStack_.push_back(reversed);
  notifyEdit(reversed);
  return true;
}

void HeadlessDocument::notifyEdit(const EditGroup& group) {
  if (!editListener_) return;
  EditListener listener = editListener_;  // the listener may replace itself
  listener(*this, group.editedRange, group.changeInLength);
}

}  // namespace vmk
