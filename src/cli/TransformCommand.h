// What the commands that rewrite a document (beautify, minimize, entities) share: the common
// engine and output options, --yes, a selection given as LOC:LEN, and one run on one file.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "cli/CommonOptions.h"
#include "transform/TransformItems.h"

namespace vmk {
class HostDocument;
class QkChecker;
}  // namespace vmk

namespace vmk::cli {

// A confirmation was answered with anything but its first button.
inline constexpr int kExitDeclined = 1;

struct TransformCommandOptions {
  std::string file;
  EngineOptions engine;
  DocumentOutputOptions output;
  bool yes = false;
  std::optional<std::string> selection;  // "LOC:LEN"
};

// FILE, the engine options, --output/--in-place, --yes and, when asked for, --selection.
void addTransformOptions(CLI::App& command, TransformCommandOptions& options, bool withSelection);

// Reads "LOC:LEN" (two decimal numbers); absent when it is not of that form.
std::optional<Range> parseSelection(const std::string& text);

// Opens the file, selects the given range, runs `transform` on the principal and the document and
// writes the result (the document as it then is) in its encoding and line ends. Confirmations are
// answered "yes" with --yes; otherwise on a terminal they are asked there, and without one they are
// answered no. Exit status: 0 changed or nothing to change, 1 a confirmation was declined (the
// document is written unchanged), 2 usage or I/O.
int runTransformCommand(
    const TransformCommandOptions& options,
    const std::function<TransformOutcome(QkChecker&, HostDocument&)>& transform);

Subcommand addBeautifyCommand(CLI::App& app);
Subcommand addMinimizeCommand(CLI::App& app);
Subcommand addEntitiesCommand(CLI::App& app);

}  // namespace vmk::cli
