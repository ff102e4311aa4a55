// The language server: the editor's buffers as host documents, checked by the shared checker,
// their results kept in the result store and published as diagnostics. It reads framed
// JSON-RPC messages, answers requests at once and does its later work (the check after a quiet
// spell of typing) on timers of the run loop it is given.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "host/RunLoop.h"
#include "host/lsp/DiagnosticsWriter.h"
#include "host/lsp/JsonRpc.h"
#include "host/lsp/LspDocument.h"
#include "host/lsp/LspDocumentController.h"
#include "host/lsp/LspSettings.h"
#include "support/Text.h"
#include "support/TextEdits.h"

namespace vmk {
class QkChecker;
class QkDictBrowser;
class VmkHTMLChecker;
class VmkErrorLocation;
}  // namespace vmk

namespace vmk::lsp {

class LspPlatform;

class LspServer {
 public:
  // Writes framed bytes to the client.
  using Writer = std::function<void(std::string_view bytes)>;

  // Every request counts as a script command from here on (no alert waits for a person).
  LspServer(Writer writer, RunLoop& loop);
  ~LspServer();
  LspServer(const LspServer&) = delete;
  LspServer& operator=(const LspServer&) = delete;

  // Bytes from the client; every complete message among them is handled.
  void receive(std::string_view bytes);
  // One message body (tests and the reader above).
  void handleBody(std::string_view body);
  // The client's end of the stream closed.
  void inputClosed();

  // True once "exit" arrived (or the input closed); the run loop should stop.
  bool finished() const { return finished_; }
  // 0 after shutdown then exit, 1 otherwise.
  int exitCode() const { return shutdownReceived_ ? 0 : 1; }

  LspDocumentController& controller() { return controller_; }
  const ServerOptions& options() const { return options_; }

  // A line for the editor's log (window/logMessage; type 1 error ... 4 log).
  void logMessage(int type, std::string_view text);

 private:
  using Handler = void (LspServer::*)(const json& id, const json& params);

  void send(const json& message);
  void respond(const json& id, json result);
  void respondError(const json& id, int code, std::string_view message);
  void notify(std::string_view method, json params);
  void dispatch(const json& message);

  // Lifecycle
  void initialize(const json& id, const json& params);
  void initialized(const json& id, const json& params);
  void shutdown(const json& id, const json& params);
  void exitNotification(const json& id, const json& params);
  void didChangeConfiguration(const json& id, const json& params);
  void applyConfiguration(const json& configuration);

  // Text sync
  void didOpen(const json& id, const json& params);
  void didChange(const json& id, const json& params);
  void didSave(const json& id, const json& params);
  void didClose(const json& id, const json& params);

  // Language features
  void hover(const json& id, const json& params);
  void completion(const json& id, const json& params);

  // Repairs
  void codeAction(const json& id, const json& params);
  // The shared checker with its last run over the document's text as it is now (checked
  // again, with the diagnostics published, when it is not).
  VmkHTMLChecker& currentRunFor(LspDocument& document);
  // What correcting all errors would do to the document.
  std::vector<TextEdit> correctAllEdits(LspDocument& document);

  // Formatting and range formatting: the beautifier's edits of the whole text or of the range.
  void formatting(const json& id, const json& params);

  // Commands
  void executeCommand(const json& id, const json& params);
  static json commandNames();
  // The buffer a command's first argument names (an address, or an object with "uri" or
  // "textDocument"), and the range given with it, if any.
  LspDocument& commandDocument(const json& arguments, std::optional<Range>* range);
  // Asks the editor to make the edits (workspace/applyEdit); nothing when they change nothing.
  void requestEdit(std::string_view label, const LspDocument& document,
                   const std::vector<TextEdit>& edits);

  // Link checks: of the document (with its markup), or of the site from it. A running check
  // gives way; the pages the last site check read stop being shown.
  void startLinkCheck(LspDocument& document, bool site, const json& workDoneToken);
  // Publishes what the check found, for the pages it read too.
  void linkCheckEnded();
  void retireSitePages();
  class LinkProgress;

  // The open buffer a request names; throws a request error when there is none.
  LspDocument& documentFor(const json& params);
  // Follows an edit of a document (the principal's edit notification, then the diagnostics).
  void documentEdited(LspDocument& document, Range range, int64_t change);
  void scheduleValidation(LspDocument& document, int milliseconds);
  void cancelValidation(const std::string& uri);
  void validate(LspDocument& document);
  void publishDiagnostics(LspDocument& document);
  void clearDiagnostics(const std::string& uri);
  // The dictionary the document was last checked with, else the default one.
  UString dictionaryNameFor(LspDocument& document);
  QkDictBrowser* browserFor(const UString& dictionaryName);

  Writer writer_;
  RunLoop& loop_;
  FrameReader reader_;
  std::unique_ptr<LspPlatform> platform_;
  LspDocumentController controller_;
  std::unique_ptr<QkChecker> principal_;
  std::unique_ptr<LspSettings> settings_;
  ServerOptions options_;
  DiagnosticsWriter diagnostics_;
  std::map<std::string, Handler, std::less<>> requests_;
  std::map<std::string, Handler, std::less<>> notifications_;

  bool initializeReceived_ = false;
  bool shutdownReceived_ = false;
  bool finished_ = false;
  bool markdownHover_ = true;
  bool workDoneProgress_ = false;
  // Numbers the server's own requests.
  uint64_t serverRequests_ = 0;
  std::unique_ptr<LinkProgress> linkProgress_;
  // The pages of the last site check that the editor has not opened.
  std::set<std::string> sitePages_;
  // Set when an edit moved the diagnostics of the document being changed.
  bool diagnosticsMoved_ = false;
  // The timer of each document's coming check.
  std::map<std::string, RunLoop::TimerId, std::less<>> pendingChecks_;
  std::map<std::string, UString, std::less<>> checkedDictionary_;
  std::map<UString, std::unique_ptr<QkDictBrowser>> browsers_;
};

}  // namespace vmk::lsp
