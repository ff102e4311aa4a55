// The editing protocol shared by every engine edit.
#include "host/HostDocument.h"

namespace vmk {

bool replaceTextInDocument(HostDocument& document, Range range, UStringView text, bool force) {
  HostTextView* view = document.firstTextView();
  if (view) {
    const UString replacement(text);
    if (!view->shouldChangeTextInRange(range, &replacement) && !force) return false;
  }
  HostTextStorage& storage = document.textStorage();
  storage.beginEditing();
  storage.replaceCharactersInRange(range, text);
  storage.endEditing();
  if (view) view->didChangeText();
  return true;
}

}  // namespace vmk
