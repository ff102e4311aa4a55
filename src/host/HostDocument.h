// What the engine asks of the host editor: its documents, their text and text views, and the
// document controller. Documents are compared by identity and never owned by the engine.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "support/Encoding.h"
#include "support/Text.h"

namespace vmk {

// Line-ending kinds as the host numbers them.
enum LineEndings : int { kLineEndingsCR = 1, kLineEndingsCRLF = 2, kLineEndingsLF = 3 };

// The revertDocumentType code of an HTML document.
inline constexpr int kHTMLDocumentType = -4;

class HostTextStorage {
 public:
  virtual ~HostTextStorage() = default;
  // The plain text (line ends are LF while the document is open).
  virtual const UString& string() const = 0;
  virtual void beginEditing() = 0;
  virtual void endEditing() = 0;
  virtual void replaceCharactersInRange(Range range, UStringView withString) = 0;
  // A handle that keeps reading the current characters after later edits (see TextSnapshot);
  // nullptr when the storage gives none and readers must copy the text.
  virtual std::shared_ptr<const TextSnapshot> textSnapshot() { return nullptr; }
};

class HostTextView {
 public:
  virtual ~HostTextView() = default;
  // Asked before an edit; false refuses it. replacementString absent: attributes only.
  virtual bool shouldChangeTextInRange(Range range, const UString* replacementString) = 0;
  // Announced after an edit; makes it undoable and notifies listeners.
  virtual void didChangeText() = 0;
};

class HostDocument {
 public:
  virtual ~HostDocument() = default;

  virtual HostTextStorage& textStorage() = 0;
  // The main text view; nullptr when the document has none.
  virtual HostTextView* firstTextView() = 0;

  virtual Range selectedRange() const = 0;
  virtual void setSelectedRange(Range range, bool withScroll) = 0;
  virtual void setSelectedRange(Range range, bool withScroll, bool toFront) = 0;

  // A digest of the current text; differs whenever the text differs.
  virtual std::string md5DigestString() const = 0;

  virtual Encoding openNSEncoding() const = 0;
  virtual void setOpenNSEncoding(const Encoding& encoding) = 0;
  virtual int openLineEndings() const = 0;
  virtual void setTabWidth(double width) = 0;

  virtual std::optional<std::string> fileName() const = 0;
  virtual std::optional<std::string> remoteURL() const = 0;
  virtual UString displayName() const = 0;
  virtual bool isRichText() const = 0;
  virtual int revertDocumentType() const = 0;
  virtual void makeFirstResponder() = 0;

  // Saves to the document's file. False (with *errorOut) when it could not be saved.
  virtual bool saveDocument(std::string* errorOut = nullptr) = 0;
};

class HostDocumentController {
 public:
  virtual ~HostDocumentController() = default;
  // n = 1 is the frontmost document; nullptr when there is no such document.
  virtual HostDocument* nthDocument(int n) = 0;
  virtual HostDocument* openFile(const std::string& path) = 0;
  virtual HostDocument* openURL(const std::string& address) = 0;
  virtual std::vector<HostDocument*> documents() = 0;
};

// The editing protocol every engine edit follows: ask the first text view, replace the
// characters inside an editing group, announce the change. When the view refuses and force is
// false the edit is skipped and false returned; force edits regardless of the answer.
bool replaceTextInDocument(HostDocument& document, Range range, UStringView text,
                           bool force = false);
// The same for a replacement the caller holds as a text: the text view is shown it without a
// copy (a whole page's worth, for the beautifier and the minimizer).
bool replaceTextInDocumentWithString(HostDocument& document, Range range, const UString& text,
                                     bool force = false);

}  // namespace vmk
