// Options shared by the commands that run the engine on documents, and the writing of a
// changed document, so that every command reads and writes documents the same way.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "support/Encoding.h"

namespace CLI {
class App;
}

namespace vmk {
class HeadlessDocument;
}

namespace vmk::cli {

// A subcommand of velumark: its parser (filled by CLI11) and what runs when it was chosen.
// Each command file offers `Subcommand addXxxCommand(CLI::App& app)`; main() runs the chosen one.
struct Subcommand {
  CLI::App* app = nullptr;
  std::function<int()> run;
};

struct EngineOptions {
  std::optional<std::string> dictionary;  // default dictionary for this run
  bool noFollowDoctype = false;
  std::optional<std::string> encoding;  // forced open encoding
  std::vector<std::string> sets;        // KEY=VALUE, for this run only
  bool strict = false;                  // strict DTD checks for this run
};

// -d/--dictionary, --no-follow-doctype, -e/--encoding, --set KEY=VALUE (repeatable), --strict.
void addEngineOptions(CLI::App& command, EngineOptions& options);

// Applies the options to the shared settings store for this run only (the settings file is
// not written by anything that follows). Call after the session is made. *encoding receives
// the forced encoding, if any. False, after saying why on standard error, when an option names
// an unknown dictionary, encoding or setting, or a value that does not fit its setting.
bool applyEngineOptions(const EngineOptions& options, std::optional<Encoding>* encoding);

struct DocumentOutputOptions {
  std::optional<std::string> output;  // write the result here instead of standard output
  bool inPlace = false;               // replace the input file (only when something changed)
};

// -o/--output OUT and --in-place (which exclude each other).
void addDocumentOutputOptions(CLI::App& command, DocumentOutputOptions& options);

// True, after saying so on standard error, when `output` names the same file as one of the
// inputs (also through another path, a hard link or a symbolic link). "-" and files that do
// not exist yet are never inputs.
bool refuseOutputThatIsAnInput(const std::string& output, const std::vector<std::string>& inputs);

// The checks made before a document is read: --in-place needs a file, and an output may not be
// the input. False (said on standard error) when the command must stop with a usage error.
bool checkDocumentOutput(const DocumentOutputOptions& options, const std::string& inputPath);

// Writes the document's current text in its encoding and its own line ends: to standard
// output, atomically to --output, or atomically over the input with --in-place (only when
// `changed`). Never writes a text the encoding cannot hold, nor one whose bytes were replaced
// when it was opened. False, after saying why on standard error, when nothing could be written.
bool writeDocumentResult(HeadlessDocument& document, const std::string& inputPath,
                         const DocumentOutputOptions& options, bool changed);

}  // namespace vmk::cli
