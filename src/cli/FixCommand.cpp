// velumark fix: repair every repairable error of a document and write the repaired document;
// what is left is reported on standard error as validate reports it.
#include <unistd.h>
#include <CLI/CLI.hpp>

#include <cstdlib>

#include "cli/CliSession.h"
#include "cli/CommonOptions.h"
#include "cli/Report.h"
#include "dictionary/VmkDictionary.h"
#include "engine/VmkHTMLChecker.h"
#include "results/VmkErrorBrowser.h"
#include "settings/VmkUserDefaults.h"

namespace vmk::cli {
namespace {

struct FixOptions {
  std::string file;
  EngineOptions engine;
  DocumentOutputOptions output;
  std::string format = "gcc";
  bool quiet = false;
  std::string color = "auto";
};

int runFix(const FixOptions& options) {
  if (!checkDocumentOutput(options.output, options.file)) return kExitUsage;

  CliSession session;
  std::optional<Encoding> encoding;
  if (!applyEngineOptions(options.engine, &encoding)) return kExitUsage;
  VmkUserDefaults& settings = sharedVmkUserDefaults();
  settings.changeIntValue(0, "Vmk_BeforeNewCheck");

  std::string reason;
  HeadlessDocument* document = session.openDocument(options.file, encoding, &reason);
  if (!document) {
    printProblem("cannot read '" + options.file + "': " + reason);
    return kExitUsage;
  }
  const Encoding opened = document->openNSEncoding();
  // Repairs made against the wrong rules would damage the page: with a dictionary the check
  // needs and cannot load, nothing is repaired or written.
  session.principal().validateHTMLfor(*document, false, false);
  if (session.reportDictionaryLoadProblems()) {
    printProblem("'" + options.file + "' was not repaired");
    return kExitUsage;
  }
  // A repair can bring to light an error that a check makes only once another is gone (the
  // head checks wait for the html end tag): correct again while such errors are left.
  VmkHTMLChecker& checker = sharedHTMLChecker();
  for (int round = 0; round < 4; ++round) {
    const std::string digest = document->md5DigestString();
    session.principal().correctHTMLfor(*document, false);
    bool repairableLeft = false;
    for (const VmkErrorLocationRef& location : checker.errorLocations())
      repairableLeft = repairableLeft || location->errorFix() == 1;
    if (!repairableLeft || document->md5DigestString() == digest) break;
  }
  // A repair may only have changed the encoding the document is saved in.
  const bool changed = document->isDocumentEdited() || document->openNSEncoding() != opened;
  if (!writeDocumentResult(*document, options.file, options.output, changed)) return kExitUsage;

  VmkErrorBrowser& store = sharedErrorBrowser();
  const VmkErrorLocationList none;
  FileReport report;
  report.path = options.file;
  if (const VmkDictionary* dictionary = checker.htmlDictionary())
    report.dictionary = toUtf8(dictionary->displayName());
  report.encoding = document->openNSEncoding().ianaName();
  store.getErrorCount(report.errorCount, report.cautionCount, document);
  report.summary = toUtf8(store.headlessView().message());
  const VmkResultEntry* entry = store.entryForObject(document);
  report.locations = entry ? &entry->locations : &none;
  report.text = &document->text();
  report.document = document;

  Output out{Output::StandardError{}};
  const char* noColour = std::getenv("NO_COLOR");
  const Styles styles(
      options.color == "always" ||
      (options.color == "auto" && !(noColour && *noColour) && ::isatty(STDERR_FILENO) == 1));
  std::unique_ptr<ReportWriter> writer;
  if (options.format == "json") {
    writer = makeJsonWriter(out);
  } else if (options.format == "sarif") {
    writer = makeSarifWriter(out);
  } else {
    writer = makeGccWriter(out, styles, options.quiet);
  }
  writer->begin();
  writer->file(report);
  writer->end();
  std::string error;
  out.finish(&error);
  return report.errorCount > 0 ? kExitErrorsFound : kExitClean;
}

}  // namespace

Subcommand addFixCommand(CLI::App& app) {
  auto options = std::make_shared<FixOptions>();
  CLI::App* command = app.add_subcommand(
      "fix",
      "Repair what can be repaired and write the document (standard output by default); what "
      "is left goes to standard error. Exit status: 0 no errors left, 1 errors left, 2 usage "
      "or I/O error.");
  command->add_option("FILE", options->file, "Document to repair (- reads standard input)")
      ->required();
  addEngineOptions(*command, options->engine);
  addDocumentOutputOptions(*command, options->output);
  command->add_option("-f,--format", options->format, "Format of the report of what is left")
      ->check(CLI::IsMember({"gcc", "json", "sarif"}))
      ->capture_default_str();
  command->add_flag("-q,--quiet", options->quiet, "Summary line only (gcc format)");
  command->add_option("--color", options->color, "Colour the report")
      ->check(CLI::IsMember({"auto", "always", "never"}))
      ->capture_default_str();
  return Subcommand{command, [options] { return runFix(*options); }};
}

}  // namespace vmk::cli
