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

#include <iostream>
#include <set>
#include <thread>

namespace vmk::cli {

int runValidate(const ValidateOptions& options) {
  const bool exportFormat = options.format == "annotated" || options.format == "tsv";
  const int exportType =
      options.format == "annotated" ? kResultFormatAnnotated : kResultFormatTabSeparated;
  std::optional<Encoding> encoding;
  if (options.encoding) {
    encoding = Encoding::fromName(*options.encoding);
    if (!encoding->valid()) {
      printProblem("unknown encoding '" + *options.encoding + "'");
      return kExitUsage;
    }
  }

  CliSession session;
  VmkUserDefaults& settings = sharedVmkUserDefaults();
  // What this run changes stays with this run.
  settings.setWritesSettingsFile(false);
  // Every file's results stay in the store until they are reported.
  settings.changeIntValue(0, "Vmk_BeforeNewCheck");
  if (options.dictionary) {
    if (!isInstalledDictionary(*options.dictionary)) {
      reportUnknownDictionary(*options.dictionary);
      return kExitUsage;
    }
    settings.changeStringValue(*options.dictionary, "Vmk_DefaultHtmlDictionary");
  }
  if (options.noFollowDoctype) settings.changeBoolValue(false, "Vmk_FollowsDoctype");
  if (options.strict) settings.changeBoolValue(true, "Vmk_StrictDTDChecks");
  std::set<std::string> dictionariesWithoutModels;  // noted once each
  for (const std::string& ignored : options.ignore) {
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
      printProblem("cannot read '" + path + "': " + reason);
      readFailure = true;
      continue;
    }
    session.principal().validateHTMLfor(*document, false, false);

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

  std::string error;
  if (exportFormat) {
    if (options.output) {
      if (!store.saveResultTo(*options.output, exportType, &error)) {
        printProblem("cannot write '" + *options.output + "': " + error);
        return kExitUsage;
      }
    } else {
      out.put(store.resultText(exportType));
    }
  }
  if (!out.finish(&error)) {
    printProblem("cannot write '" + options.output.value_or("-") + "': " + error);
    return kExitUsage;
  }
  if (readFailure) return kExitUsage;
  return errorsFound ? kExitErrorsFound : kExitClean;
}

}  // namespace vmk::cli
