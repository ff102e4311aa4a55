// velumark validate: open each file as a document, validate it with display on, report.
#include "cli/CliSession.h"
#include "cli/Commands.h"
#include "cli/Report.h"
#include "dictionary/VmkDictionary.h"
#include "engine/VmkHTMLChecker.h"
#include "errors/ErrorCatalogue.h"
#include "results/VmkErrorBrowser.h"
#include "settings/VmkUserDefaults.h"
#include "support/Paths.h"

#include <algorithm>
#include <iostream>
#include <set>
#include <thread>

namespace vmk::cli {

int runValidate(const ValidateOptions& options) {
  const bool exportFormat = options.format == "annotated" || options.format == "tsv";
  const int exportType =
      options.format == "annotated" ? kResultFormatAnnotated : kResultFormatTabSeparated;
  if (options.output) {
    if (refuseOutputThatIsAnInput(*options.output, options.files)) return kExitUsage;
  }
  // Standard input can be read once.
  if (std::count(options.files.begin(), options.files.end(), "-") > 1) {
    printProblem("standard input ('-') can be checked only once");
    return kExitUsage;
  }

  CliSession session;
  session.setMaximumDocumentSize(options.maxSize);
  VmkUserDefaults& settings = sharedVmkUserDefaults();
  std::optional<Encoding> encoding;
  if (!applyEngineOptions(options.engine, &encoding)) return kExitUsage;
  // Every file's results stay in the store until they are reported.
  settings.changeIntValue(0, "Vmk_BeforeNewCheck");
  std::set<std::string> dictionariesWithoutModels;  // noted once each
  for (const std::string& ignored : options.ignore) {
    if (ignored.empty()) continue;  // "a,,b" or a trailing comma
    const std::vector<std::string> codes = codesForCodeOrNumber(ignored);
    if (codes.empty()) {
      printProblem("unknown error code or number '" + ignored + "' (see 'velumark errors list')");
      return kExitUsage;
    }
    for (const std::string& code : codes) setErrorLevelForThisError(settings, code, 0);
  }

  Output out = options.output && !exportFormat ? Output(*options.output) : Output();
  const Styles styles(!options.output && colourWanted(options.color));
  std::unique_ptr<ReportWriter> writer;
  if (options.format == "json") {
    writer = makeJsonWriter(out);
  } else if (options.format == "sarif") {
    writer = makeSarifWriter(out);
  } else if (!exportFormat) {
    writer = makeGccWriter(out, styles, options.quiet);
  }

  VmkErrorBrowser& store = sharedErrorBrowser();
  VmkHTMLChecker& checker = sharedHTMLChecker();
  bool readFailure = false;
  bool dictionaryProblem = false;
  bool errorsFound = false;
  const VmkErrorLocationList none;
  if (writer) writer->begin();
  // The dictionary a document is likely to need is loaded on another thread while the document
  // is read (a first file's dictionary takes about as long to load as a large page to read).
  const bool followsDoctype = settings.boolForKey("Vmk_FollowsDoctype");
  const UString defaultDictionary = toUtf16(settings.stringForKey("Vmk_DefaultHtmlDictionary"));
  for (const std::string& path : options.files) {
    std::jthread preload;
    if (path != "-") {
      uint64_t size = 0;
      if (std::optional<std::string> start = readRegularFileStart(path, 4096, &size)) {
        preload = std::jthread([start = std::move(*start), size, followsDoctype,
                                &defaultDictionary](std::stop_token stop) {
          try {
            VmkHTMLChecker::preloadDictionary(start, followsDoctype, defaultDictionary);
            // Then, while the file is still being read, the tag list's memory.
            VmkHTMLChecker::prepareTagListMemory(size, stop);
          } catch (...) {
            // Only a head start: the run loads what it needs itself.
          }
        });
      }
    }
    std::string reason;
    HeadlessDocument* document = session.openDocument(path, encoding, &reason);
    // The run needs both processors.
    preload.request_stop();
    if (!document) {
      if (reason.ends_with("the most a document may have")) reason += " (see --max-size)";
      printProblem("cannot read '" + path + "': " + reason);
      if (writer) writer->unreadable(path, reason);
      readFailure = true;
      continue;
    }
    session.principal().validateHTMLfor(*document, false, false);
    // The run went on without a dictionary it needed; the command says so and fails.
    if (session.reportDictionaryLoadProblems()) dictionaryProblem = true;

    FileReport report;
    report.path = path;
    if (const VmkDictionary* dictionary = checker.htmlDictionary()) {
      report.dictionary = toUtf8(dictionary->displayName());
      if (checker.contentModelsMissing() &&
          dictionariesWithoutModels.insert(*report.dictionary).second) {
        std::cerr << "velumark: dictionary '" << *report.dictionary
                  << "' has no content models; they are not checked\n";
      }
    }
    report.encoding = document->openNSEncoding().ianaName();
    store.getErrorCount(report.errorCount, report.cautionCount, document);
    report.summary = toUtf8(store.headlessView().message());
    const VmkResultEntry* entry = store.entryForObject(document);
    report.locations = entry ? &entry->locations : &none;
    report.text = &document->text();
    report.document = document;
    report.checker = &checker;
    if (report.errorCount > 0) errorsFound = true;

    if (writer) {
      writer->file(report);
      store.clearErrorLocationsForObject(document);
    } else {
      // The export names lines of closed documents only when they were counted before.
      for (const auto& record : *report.locations) record->errorParagraphIndex();
    }
    session.controller().close(*document);
  }
  if (writer) writer->end();

  if (!finishReport(out, exportFormat, exportType, options.output)) return kExitUsage;
  if (readFailure || dictionaryProblem) return kExitUsage;
  return errorsFound ? kExitErrorsFound : kExitClean;
}

}  // namespace vmk::cli
