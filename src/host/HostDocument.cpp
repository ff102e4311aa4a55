// The editing protocol shared by every engine edit.
#include "host/HostDocument.h"

namespace vmk {

bool replaceTextInDocument(HostDocument& document, Range range, UStringView text, bool force) {
  return replaceTextInDocumentWithString(document, range, UString(text), force);
}

bool replaceTextInDocumentWithString(HostDocument& document, Range range, const UString& text,
                                     bool force) {
  HostTextView* view = document.firstTextView();
  if (view) {
    if (!view->shouldChangeTextInRange(range, &text) && !force) return false;
  }
  HostTextStorage& storage = document.textStorage();
  storage.beginEditing();
  storage.replaceCharactersInRange(range, text);
  storage.endEditing();
  if (view) view->didChangeText();
  return true;
}

}  // namespace vmk
