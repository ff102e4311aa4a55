// velumark links: the links of each document (optionally with its markup); velumark site: the
// site check from a start page, a file or an http(s) address. Both run the link checker on the
// process's run loop until it ends the check, then report like validate.
#include <unistd.h>

#include <CLI/CLI.hpp>

#include <chrono>
#include <cstdio>

#include "cli/CliSession.h"
#include "cli/Commands.h"
#include "cli/CommonOptions.h"
#include "cli/Report.h"
#include "dictionary/VmkDictionary.h"
#include "engine/VmkHTMLChecker.h"
#include "errors/MessageTables.h"
#include "host/RunLoop.h"
#include "links/NetworkSession.h"
#include "links/VmkLinkChecker.h"
#include "results/VmkErrorBrowser.h"
#include "settings/VmkUserDefaults.h"

namespace vmk::cli {

namespace {

// Pages fetched for a site check are at most this large.
constexpr size_t kMaxPageBytes = 32u << 20;

struct LinkOptions {
  std::vector<std::string> files;  // links
  std::string start;               // site
  std::optional<int> depth;
  std::optional<std::string> mode;
  bool withHTML = false;
  bool noLocal = false;
  bool noRemote = false;
  bool noWarnUnsupported = false;
  std::optional<double> timeout;
  std::string format = "gcc";
  std::optional<std::string> output;
  bool quiet = false;
  std::string color = "auto";
  EngineOptions engine;
};

// One line on standard error while a check runs, when standard error is a terminal: running
// probes, finished of total, errors and cautions. Erased when the check ends.
class ProgressLine final : public LinkCheckDisplay {
 public:
  ProgressLine() : terminal_(::isatty(STDERR_FILENO) == 1) {}
  bool load() override { return true; }
  void beginSheet(const LinkCheckProgress& progress) override { draw(progress, true); }
  void update(const LinkCheckProgress& progress) override { draw(progress, false); }
  void endSheet() override {
    if (shown_) std::fputs("\r\x1b[K", stderr);
    shown_ = false;
  }

 private:
  void draw(const LinkCheckProgress& p, bool force) {
    if (!terminal_) return;
    const auto now = std::chrono::steady_clock::now();
    if (!force && now - last_ < std::chrono::milliseconds(100)) return;
    last_ = now;
    std::fprintf(stderr, "\r\x1b[Klinks: %d running, %d/%d finished, %d errors, %d cautions",
                 p.checking, p.finished, p.total, p.errors, p.cautions);
    if (!p.subtitle.empty()) std::fprintf(stderr, " (%s)", toUtf8(p.subtitle).c_str());
    std::fflush(stderr);
    shown_ = true;
  }
  bool terminal_;
  bool shown_ = false;
  std::chrono::steady_clock::time_point last_{};
};

void addReportOptions(CLI::App& command, LinkOptions& options) {
  command.add_option("-f,--format", options.format, "Report format")
      ->check(CLI::IsMember({"gcc", "json", "sarif", "annotated", "tsv"}))
      ->capture_default_str();
  command.add_option("--timeout", options.timeout, "Seconds a link may take to answer")
      ->check(CLI::PositiveNumber);
  command.add_option("-o,--output", options.output, "Write the report to a file");
  command.add_flag("-q,--quiet", options.quiet, "Summary lines only (gcc format)");
  command.add_option("--color", options.color, "Colour the report")
      ->check(CLI::IsMember({"auto", "always", "never"}))
      ->capture_default_str();
  addEngineOptions(command, options.engine);
}

// Turns the run loop until the link checker has ended its check.
void waitForCheck(VmkLinkChecker& checker) {
  while (checker.isChecking()) runLoop().runOnce(std::chrono::milliseconds(200));
}

// Runs the command's checks through `checkAll` and writes the report of the documents it
// hands back, in order, each with the path it is reported under.
struct CheckedDocument {
  HostDocument* document;
  std::string path;
  std::string summary;  // the document's summary line; "" for the pages of a site check
};

int report(const LinkOptions& options, CliSession& session,
           const std::function<bool(std::vector<CheckedDocument>&)>& checkAll,
           bool siteCheck = false) {
  const bool exportFormat = options.format == "annotated" || options.format == "tsv";
  const int exportType =
      options.format == "annotated" ? kResultFormatAnnotated : kResultFormatTabSeparated;
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
  std::vector<CheckedDocument> checked;
  const bool readable = checkAll(checked);
  std::optional<UString> siteSummary;
  if (siteCheck && readable) siteSummary = sharedErrorBrowser().headlessView().message();

  VmkErrorBrowser& store = sharedErrorBrowser();
  bool errorsFound = false;
  if (writer) writer->begin();
  for (const CheckedDocument& item : checked) {
    auto* document = session.controller().find(item.document);
    if (!document) continue;
    FileReport fileReport;
    fileReport.path = item.path;
    fileReport.encoding = document->openNSEncoding().ianaName();
    const VmkHTMLChecker& checker = sharedHTMLChecker();
    if (checker.sourceDocument() == document && checker.htmlDictionary()) {
      fileReport.dictionary = toUtf8(checker.htmlDictionary()->displayName());
    }
    store.getErrorCount(fileReport.errorCount, fileReport.cautionCount, document);
    if (fileReport.errorCount > 0) errorsFound = true;
    fileReport.summary = !item.summary.empty()
                             ? item.summary
                             : toUtf8(VmkErrorBrowser::errorSummaryForError(
                                   fileReport.errorCount, fileReport.cautionCount));
    const VmkResultEntry* entry = store.entryForObject(document);
    VmkErrorLocationList records = entry ? entry->locations : VmkErrorLocationList{};
    sortErrorLocations(records);
    fileReport.locations = &records;
    fileReport.text = &document->text();
    fileReport.document = document;
    if (writer) {
      writer->file(fileReport);
    } else {
      for (const auto& record : records) record->errorParagraphIndex();
    }
  }
  if (writer) writer->end();
  // A site check ends with one summary line of its own.
  if (siteSummary && options.format == "gcc") out << toUtf8(*siteSummary) << "\n";
  if (!finishReport(out, exportFormat, exportType, options.output)) return kExitUsage;
  if (!readable) return kExitUsage;
  return errorsFound ? kExitErrorsFound : kExitClean;
}

// Settings the link options change, for this run only (applyEngineOptions stopped the settings
// file from being written).
bool applyLinkOptions(const LinkOptions& options, std::optional<Encoding>* encoding) {
  if (!applyEngineOptions(options.engine, encoding)) return false;
  VmkUserDefaults& settings = sharedVmkUserDefaults();
  // Every page's results stay in the store until they are reported.
  settings.changeIntValue(0, "Vmk_BeforeNewCheck");
  if (options.noLocal) settings.changeBoolValue(false, "Vmk_CheckLocalLinks");
  if (options.noRemote) settings.changeBoolValue(false, "Vmk_CheckRemoteLinks");
  if (options.noWarnUnsupported) settings.changeBoolValue(false, "Vmk_WarnUnsupportedProtocol");
  if (options.timeout) settings.changeFloatValue(*options.timeout, "Vmk_LinkTimeout");
  return true;
}

// The headless host fetches remote pages with the link checker's time-out.
void installPageLoader(CliSession& session) {
  session.controller().setURLLoader(
      [](const std::string& address) -> std::optional<HeadlessDocumentController::LoadedURL> {
        std::string error;
        std::optional<FetchedPage> page = fetchPage(
            address, sharedVmkUserDefaults().realForKey("Vmk_LinkTimeout"), kMaxPageBytes, &error);
        if (!page) {
          printProblem("cannot load '" + address + "': " + error);
          return std::nullopt;
        }
        return HeadlessDocumentController::LoadedURL(std::move(page->bytes),
                                                     std::move(page->charset));
      });
}

int runLinks(const LinkOptions& options) {
  if (options.output && refuseOutputThatIsAnInput(*options.output, options.files))
    return kExitUsage;
  CliSession session;
  std::optional<Encoding> encoding;
  if (!applyLinkOptions(options, &encoding)) return kExitUsage;
  installPageLoader(session);
  VmkLinkChecker& checker = sharedLinkChecker();
  ProgressLine progress;
  checker.setProgressDisplay(&progress);
  VmkErrorBrowser& store = sharedErrorBrowser();
  return report(options, session, [&](std::vector<CheckedDocument>& checked) {
    bool readable = true;
    for (const std::string& path : options.files) {
      std::string reason;
      HeadlessDocument* document = session.openDocument(path, encoding, &reason);
      if (!document) {
        printProblem("cannot read '" + path + "': " + reason);
        readable = false;
        continue;
      }
      if (options.withHTML) {
        session.principal().validateHTMLfor(*document, true, false);
      } else {
        session.principal().checkLinksFor(*document, false);
      }
      if (!checker.isChecking()) {
        // Nothing to check without tags; the summary line is still given.
        int errors = 0;
        int cautions = 0;
        store.getErrorCount(errors, cautions, document);
        store.dispErrorSummaryForError(
            errors, cautions,
            localizedString(kVelumarkXTable, options.withHTML ? "Both Check" : "Link Check"),
            false);
      }
      waitForCheck(checker);
      checked.push_back({document, path, toUtf8(store.headlessView().message())});
    }
    return readable;
  });
}

int runSite(const LinkOptions& options) {
  if (options.output && refuseOutputThatIsAnInput(*options.output, {options.start}))
    return kExitUsage;
  CliSession session;
  std::optional<Encoding> encoding;
  if (!applyLinkOptions(options, &encoding)) return kExitUsage;
  installPageLoader(session);
  VmkUserDefaults& settings = sharedVmkUserDefaults();
  const int depth =
      options.depth.value_or(static_cast<int>(settings.integerForKey("Vmk_RecursiveMaxDepth")));
  int mode = static_cast<int>(settings.integerForKey("Vmk_RecursiveCheckMode"));
  if (options.mode) mode = *options.mode == "html" ? 0 : *options.mode == "links" ? 1 : 2;
  VmkLinkChecker& checker = sharedLinkChecker();
  ProgressLine progress;
  checker.setProgressDisplay(&progress);
  const bool remote = options.start.starts_with("http://") || options.start.starts_with("https://");
  return report(
      options, session,
      [&](std::vector<CheckedDocument>& checked) {
        HostDocument* start = nullptr;
        if (remote) {
          start = session.controller().openURL(options.start);
          if (!start) return false;
        } else {
          std::string reason;
          start = session.openDocument(options.start, encoding, &reason);
          if (!start) {
            printProblem("cannot read '" + options.start + "': " + reason);
            return false;
          }
        }
        session.principal().recursiveCheckFor(*start, depth, mode >= 1, mode != 1, false);
        waitForCheck(checker);
        for (HostDocument* page : checker.checkedDocuments()) {
          std::string path = page == start
                                 ? options.start
                                 : page->fileName().value_or(page->remoteURL().value_or(""));
          checked.push_back({page, std::move(path), std::string()});
        }
        return true;
      },
      true);
}

}  // namespace

Subcommand addLinksCommand(CLI::App& app) {
  auto options = std::make_shared<LinkOptions>();
  CLI::App* command = app.add_subcommand(
      "links",
      "Check the links of documents. Exit status: 0 no errors, 1 errors found, 2 usage error "
      "or unreadable file.");
  command->add_option("FILE", options->files, "Documents to check (- reads standard input)")
      ->required();
  command->add_flag("--with-html", options->withHTML, "Check the markup too (the combined check)");
  command->add_flag("--no-local", options->noLocal, "Do not check links to local files");
  command->add_flag("--no-remote", options->noRemote,
                    "Do not check remote links (nor relative links without a base)");
  command->add_flag("--no-warn-unsupported", options->noWarnUnsupported,
                    "Say nothing of links that cannot be checked (mailto:, javascript:, ...)");
  addReportOptions(*command, *options);
  return {command, [options] { return runLinks(*options); }};
}

Subcommand addSiteCommand(CLI::App& app) {
  auto options = std::make_shared<LinkOptions>();
  CLI::App* command = app.add_subcommand(
      "site",
      "Check a site from a start page (a file or an http(s) address), following its links to "
      "HTML pages on the same host. Exit status as for links.");
  command->add_option("START", options->start, "Start page: a file or an http(s) URL")->required();
  command->add_option("--depth", options->depth, "How many links deep to follow (default: setting)")
      ->check(CLI::NonNegativeNumber);
  command->add_option("--mode", options->mode, "What to check on each page (default: setting)")
      ->check(CLI::IsMember({"html", "links", "both"}));
  addReportOptions(*command, *options);
  return {command, [options] { return runSite(*options); }};
}

}  // namespace vmk::cli
