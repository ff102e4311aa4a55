// Edits of a buffer as the protocol sends them: the engine's replacements made minimal (what
// the old and the new characters share at either end is left out) and placed at line/column
// positions, and operations run on a scratch copy of a buffer so that only the editor changes
// the buffer itself.
#pragma once

#include <functional>
#include <vector>

#include "host/lsp/JsonRpc.h"
#include "host/lsp/LspDocument.h"
#include "support/TextEdits.h"

namespace vmk::lsp {

// The edit without the characters its old and new texts share at the start and at the end;
// absent when it changes nothing.
std::optional<TextEdit> minimalEdit(UStringView text, const TextEdit& edit);

// TextEdit[] of the protocol for edits of the document's text (ascending and apart), each
// made minimal; edits that change nothing are left out.
json textEditsJson(const LspDocument& document, const std::vector<TextEdit>& edits);

// A WorkspaceEdit of one document's edits.
json workspaceEditJson(const LspDocument& document, json textEdits);

// Runs `operation` on a copy of the document (same address, file, encoding and selection; no
// editor behind it) and answers what it did to the text, as edits of the document's text. The
// copy's results are dropped from the result store afterwards, and nothing of the process keeps
// pointing at it.
std::vector<TextEdit> editsOnScratchCopy(
    const LspDocument& document, const std::function<void(LspDocument& scratch)>& operation);

}  // namespace vmk::lsp
