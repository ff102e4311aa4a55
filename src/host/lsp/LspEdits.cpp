#include "host/lsp/LspEdits.h"

#include <algorithm>

#include <unicode/utf16.h>

#include "engine/VmkHTMLChecker.h"
#include "errors/VmkErrorLocation.h"
#include "results/VmkErrorBrowser.h"

namespace vmk::lsp {

std::optional<TextEdit> minimalEdit(UStringView text, const TextEdit& edit) {
  const uint32_t size = static_cast<uint32_t>(text.size());
  const uint32_t start = std::min(edit.range.location, size);
  const uint32_t end = start + std::min(edit.range.length, size - start);
  const UStringView replacement = edit.text;
  size_t prefix = 0;
  const size_t maxPrefix = std::min<size_t>(end - start, replacement.size());
  while (prefix < maxPrefix && text[start + prefix] == replacement[prefix]) ++prefix;
  // An edit never starts or ends between the halves of a surrogate pair.
  if (prefix > 0 && U16_IS_LEAD(text[start + prefix - 1])) --prefix;
  size_t suffix = 0;
  const size_t maxSuffix = std::min<size_t>(end - start - prefix, replacement.size() - prefix);
  while (suffix < maxSuffix &&
         text[end - 1 - suffix] == replacement[replacement.size() - 1 - suffix]) {
    ++suffix;
  }
  if (suffix > 0 && U16_IS_TRAIL(text[end - suffix])) --suffix;
  const Range range(static_cast<uint32_t>(start + prefix),
                    static_cast<uint32_t>(end - suffix - (start + prefix)));
  UStringView kept = replacement.substr(prefix, replacement.size() - prefix - suffix);
  if (range.length == 0 && kept.empty()) return std::nullopt;
  return TextEdit{range, UString(kept)};
}

json textEditsJson(const LspDocument& document, const std::vector<TextEdit>& edits) {
  json out = json::array();
  for (const TextEdit& edit : edits) {
    std::optional<TextEdit> minimal = minimalEdit(document.text(), edit);
    if (!minimal) continue;
    const Position start = document.positionAt(minimal->range.location);
    const Position end = document.positionAt(minimal->range.max());
    out.push_back({{"range",
                    {{"start", {{"line", start.line}, {"character", start.character}}},
                     {"end", {{"line", end.line}, {"character", end.character}}}}},
                   {"newText", toUtf8(minimal->text)}});
  }
  return out;
}

json workspaceEditJson(const LspDocument& document, json textEdits) {
  return json{{"changes", {{document.uri(), std::move(textEdits)}}}};
}

std::vector<TextEdit> editsOnScratchCopy(
    const LspDocument& document, const std::function<void(LspDocument& scratch)>& operation) {
  LspDocument scratch(document.uri(), document.text(), document.fileName(),
                      document.openNSEncoding(), document.isHTML());
  scratch.setOpenInEditor(false);
  scratch.setSelectedRange(document.selectedRange(), false);
  ComposedEdits composed(document.text());
  scratch.setReplacementObserver(
      [&](Range replaced, UStringView text) { composed.replace(replaced, text); });
  struct Cleanup {
    LspDocument& scratch;
    ~Cleanup() {
      sharedErrorBrowser().clearErrorLocationsForObject(&scratch);
      invalidateLineIndexCache(&scratch);
      VmkHTMLChecker& checker = sharedHTMLChecker();
      if (checker.sourceDocument() == &scratch) checker.setSourceDocument(nullptr);
    }
  } cleanup{scratch};
  operation(scratch);
  return composed.edits();
}

}  // namespace vmk::lsp
