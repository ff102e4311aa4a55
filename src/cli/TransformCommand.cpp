#include "cli/TransformCommand.h"

#include <CLI/CLI.hpp>

#include <charconv>

#include "cli/CliSession.h"
#include "engine/VmkHTMLChecker.h"
#include "host/headless/HeadlessDocument.h"
#include "support/FreeMemory.h"

namespace vmk::cli {

void addTransformOptions(CLI::App& command, TransformCommandOptions& options, bool withSelection) {
  command.add_option("FILE", options.file, "Document to rewrite (- reads standard input)")
      ->required();
  addEngineOptions(command, options.engine);
  addDocumentOutputOptions(command, options.output);
  command.add_flag("-y,--yes", options.yes,
                   "Answer every confirmation with OK or Yes (without it, and without a terminal "
                   "to ask on, a confirmation is answered no)");
  if (withSelection) {
    command.add_option("--selection", options.selection,
                       "Work on LOC:LEN only (UTF-16 units of the text with LF line ends)");
  }
}

std::optional<Range> parseSelection(const std::string& text) {
  const size_t colon = text.find(':');
  if (colon == std::string::npos) return std::nullopt;
  uint32_t location = 0;
  uint32_t length = 0;
  const char* begin = text.data();
  const char* end = begin + text.size();
  auto first = std::from_chars(begin, begin + colon, location);
  if (first.ec != std::errc() || first.ptr != begin + colon || colon == 0) return std::nullopt;
  auto second = std::from_chars(begin + colon + 1, end, length);
  if (second.ec != std::errc() || second.ptr != end || colon + 1 == text.size()) {
    return std::nullopt;
  }
  return Range(location, length);
}

int runTransformCommand(
    const TransformCommandOptions& options,
    const std::function<TransformOutcome(QkChecker&, HostDocument&)>& transform) {
  std::optional<Range> selection;
  if (options.selection) {
    selection = parseSelection(*options.selection);
    if (!selection) {
      printProblem("--selection needs LOC:LEN, not '" + *options.selection + "'");
      return kExitUsage;
    }
  }
  CliSession session;
  std::optional<Encoding> encoding;
  if (!applyEngineOptions(options.engine, &encoding)) return kExitUsage;
  if (!checkDocumentOutput(options.output, options.file)) return kExitUsage;
  std::string reason;
  HeadlessDocument* document = session.openDocument(options.file, encoding, &reason);
  if (!document) {
    printProblem("cannot read '" + options.file + "': " + reason);
    return kExitUsage;
  }
  if (selection) {
    const uint64_t length = document->text().size();
    if (selection->location > length || selection->length > length - selection->location) {
      printProblem("--selection " + *options.selection + " lies outside the text (" +
                   std::to_string(length) + " units)");
      return kExitUsage;
    }
    document->setSelectedRange(*selection, false);
  }

  // The command never undoes: the document need not keep the text an edit replaced.
  document->setKeepsUndoHistory(false);
  HeadlessPlatform& platform = session.platform();
  platform.setInteractive(!options.yes);
  platform.setDeclinesUnattendedAlerts(!options.yes);
  const TransformOutcome outcome = transform(session.principal(), *document);
  // Nothing asks for the last run's tag list any more: it goes before the text is encoded.
  sharedHTMLChecker().initialize();
  giveBackFreeMemory();
  if (outcome == TransformOutcome::Declined) {
    std::string asked;
    if (!platform.alerts().empty()) {
      const HeadlessPlatform::AlertRecord& alert = platform.alerts().back();
      asked = toUtf8(alert.title);
      if (!alert.message.empty()) asked += " " + toUtf8(alert.message);
    }
    if (platform.declinedUnattended() > 0) {
      printProblem("not confirmed (no terminal to ask on; --yes answers yes): " + asked);
    } else {
      printProblem("cancelled: " + asked);
    }
  }
  if (!writeDocumentResult(*document, options.file, options.output,
                           outcome == TransformOutcome::Changed)) {
    return kExitUsage;
  }
  return outcome == TransformOutcome::Declined ? kExitDeclined : kExitClean;
}

}  // namespace vmk::cli
