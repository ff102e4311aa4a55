#include "host/lsp/LspServer.h"

#include <algorithm>

#include "dictionary/VmkDictionary.h"
#include "engine/VmkHTMLChecker.h"
#include "errors/ErrorCatalogue.h"
#include "errors/Repair.h"
#include "errors/VmkErrorLocation.h"
#include "host/Platform.h"
#include "host/ScriptCommand.h"
#include "host/lsp/LspEdits.h"
#include "host/lsp/LspFeatures.h"
#include "host/lsp/LspPlatform.h"
#include "host/lsp/MarkupContext.h"
#include "links/VmkLinkChecker.h"
#include "plugin/ElementHelp.h"
#include "plugin/QkChecker.h"
#include "plugin/QkDictBrowser.h"
#include "results/VmkErrorBrowser.h"
#include "settings/VmkUserDefaults.h"
#include "transform/Beautifier.h"
#include "transform/EntityReferenceCommands.h"
#include "transform/Minimizer.h"

namespace vmk::lsp {
namespace {

constexpr const char* kServerVersion = "0.1.0";
constexpr const char* kFixAllKind = "source.fixAll.velumark";

// MessageType values.
constexpr int kMessageWarning = 2;
constexpr int kMessageLog = 4;

// The server whose documents the shared link checker works on.
LspServer* gRunningServer = nullptr;

// Records of the link checks, which a later markup check keeps.
bool isLinkRecord(const VmkErrorLocation& location) {
  const UString number = location.errorNumber();
  return !number.empty() && number[0] == u'L';
}

// A request that cannot be answered with a result.
struct RequestError {
  int code;
  std::string message;
};

Position positionFrom(const json& value) {
  const int64_t line = value.at("line").get<int64_t>();
  const int64_t character = value.at("character").get<int64_t>();
  if (line < 0 || character < 0) throw RequestError{kInvalidParams, "negative position"};
  return Position{static_cast<uint32_t>(std::min<int64_t>(line, UINT32_MAX)),
                  static_cast<uint32_t>(std::min<int64_t>(character, UINT32_MAX))};
}

// A range of the protocol as a range of the document's text (its ends in either order).
Range rangeFrom(const LspDocument& document, const json& value) {
  uint32_t from = document.offsetAt(positionFrom(value.at("start")));
  uint32_t to = document.offsetAt(positionFrom(value.at("end")));
  if (to < from) std::swap(from, to);
  return Range(from, to - from);
}

json positionJson(Position position) {
  return json{{"line", position.line}, {"character", position.character}};
}

json rangeJson(const LspDocument& document, Range range) {
  const uint32_t size = static_cast<uint32_t>(document.text().size());
  const uint32_t start = std::min(range.location, size);
  const uint32_t end = start + std::min(range.length, size - start);
  return json{{"start", positionJson(document.positionAt(start))},
              {"end", positionJson(document.positionAt(end))}};
}

// Records whose tracked ranges could not follow an edit make the document due for a check.
bool trackedEdit(size_t recordsBefore) {
  return recordsBefore <= kMaxTrackedErrorLocations;
}

}  // namespace

// The link checker's progress as work-done progress of the protocol.
class LspServer::LinkProgress final : public LinkCheckDisplay {
 public:
  explicit LinkProgress(LspServer& server) : server_(server) {}
  void beginSheet(const LinkCheckProgress& progress) override {
    if (token_.is_null()) return;
    server_.notify("$/progress", {{"token", token_},
                                  {"value",
                                   {{"kind", "begin"},
                                    {"title", "Checking links of " + toUtf8(progress.title)},
                                    {"cancellable", false},
                                    {"percentage", 0}}}});
    begun_ = true;
  }
  void update(const LinkCheckProgress& progress) override {
    if (!begun_) return;
    json value{
        {"kind", "report"},
        {"message", std::to_string(progress.finished) + "/" + std::to_string(progress.total) +
                        " checked, " + std::to_string(progress.errors) + " errors" +
                        (progress.subtitle.empty() ? "" : ", " + toUtf8(progress.subtitle))}};
    if (progress.determinate && progress.maximum > 0) {
      value["percentage"] = std::clamp(progress.value * 100 / progress.maximum, 0, 100);
    }
    server_.notify("$/progress", {{"token", token_}, {"value", std::move(value)}});
  }
  void endSheet() override {
    if (!begun_) return;
    server_.notify("$/progress", {{"token", token_}, {"value", {{"kind", "end"}}}});
    begun_ = false;
    token_ = nullptr;
  }
  // The token progress of the next check goes under (null: none is shown).
  void setToken(json token) { token_ = std::move(token); }

 private:
  LspServer& server_;
  json token_;
  bool begun_ = false;
};

LspServer::LspServer(Writer writer, RunLoop& loop) : writer_(std::move(writer)), loop_(loop) {
  setStartedByScriptCommand(true);
  platform_ = std::make_unique<LspPlatform>([this](std::string_view line) {
    logMessage(kMessageLog, "alert answered: " + std::string(line));
  });
  setPlatform(platform_.get());

  VmkUserDefaults& store = sharedVmkUserDefaults();
  // What the editor configures holds for this server only.
  store.setWritesSettingsFile(false);
  // Every buffer keeps its results until it is checked again.
  store.changeIntValue(0, "Vmk_BeforeNewCheck");
  settings_ = std::make_unique<LspSettings>(store);
  diagnostics_.setElementReference(options_.elementReference);

  principal_ = std::make_unique<QkChecker>(&controller_);
  principal_->awakeFromNib();
  linkProgress_ = std::make_unique<LinkProgress>(*this);
  VmkLinkChecker& links = sharedLinkChecker();
  links.setDocumentController(&controller_);
  links.setProgressDisplay(linkProgress_.get());
  // The shared link checker keeps its handlers for good; one of them tells whichever server
  // is running now.
  static bool handlerAdded = false;
  if (!handlerAdded) {
    handlerAdded = true;
    links.addCheckEndedHandler([] {
      if (gRunningServer) gRunningServer->linkCheckEnded();
    });
  }
  gRunningServer = this;
  controller_.setOpenListener([this](LspDocument& document) {
    document.setEditListener([this](LspDocument& edited, Range range, int64_t change) {
      documentEdited(edited, range, change);
    });
  });

  requests_ = {
      {"initialize", &LspServer::initialize},
      {"shutdown", &LspServer::shutdown},
      {"textDocument/hover", &LspServer::hover},
      {"textDocument/completion", &LspServer::completion},
      {"textDocument/codeAction", &LspServer::codeAction},
      {"textDocument/formatting", &LspServer::formatting},
      {"textDocument/rangeFormatting", &LspServer::formatting},
      {"workspace/executeCommand", &LspServer::executeCommand},
  };
  notifications_ = {
      {"initialized", &LspServer::initialized},
      {"exit", &LspServer::exitNotification},
      {"workspace/didChangeConfiguration", &LspServer::didChangeConfiguration},
      {"textDocument/didOpen", &LspServer::didOpen},
      {"textDocument/didChange", &LspServer::didChange},
      {"textDocument/didSave", &LspServer::didSave},
      {"textDocument/didClose", &LspServer::didClose},
  };
}

LspServer::~LspServer() {
  for (const auto& [uri, timer] : pendingChecks_) loop_.cancelTimer(timer);
  VmkLinkChecker& links = sharedLinkChecker();
  if (gRunningServer == this) gRunningServer = nullptr;
  if (links.isChecking()) links.cancelClicked();
  links.setProgressDisplay(nullptr);
  links.setDocumentController(nullptr);
  for (HostDocument* document : controller_.documents()) links.documentWillClose(*document);
  // Nothing the process keeps may point at the documents that go now.
  VmkErrorBrowser& store = sharedErrorBrowser();
  VmkHTMLChecker& checker = sharedHTMLChecker();
  for (HostDocument* document : controller_.documents()) {
    store.clearErrorLocationsForObject(document);
    invalidateLineIndexCache(document);
    if (checker.sourceDocument() == document) checker.setSourceDocument(nullptr);
  }
  setPlatform(nullptr);
}

// ---- messages -------------------------------------------------------------------------------

void LspServer::send(const json& message) {
  if (writer_) writer_(frameMessage(message));
}

void LspServer::respond(const json& id, json result) {
  send(makeResponse(id, std::move(result)));
}

void LspServer::respondError(const json& id, int code, std::string_view message) {
  send(makeErrorResponse(id, code, message));
}

void LspServer::notify(std::string_view method, json params) {
  send(makeNotification(method, std::move(params)));
}

void LspServer::logMessage(int type, std::string_view text) {
  notify("window/logMessage", json{{"type", type}, {"message", std::string(text)}});
}

void LspServer::receive(std::string_view bytes) {
  reader_.feed(bytes);
  while (!finished_) {
    std::optional<Frame> frame = reader_.next();
    if (!frame) break;
    if (frame->headerError) {
      respondError(nullptr, kParseError, "unreadable message header: " + *frame->headerError);
      continue;
    }
    handleBody(frame->body);
  }
}

void LspServer::inputClosed() {
  finished_ = true;
}

void LspServer::handleBody(std::string_view body) {
  json message = json::parse(body, nullptr, false);
  if (message.is_discarded()) {
    respondError(nullptr, kParseError, "the message is not JSON");
    return;
  }
  dispatch(message);
}

void LspServer::dispatch(const json& message) {
  if (!message.is_object()) {
    respondError(nullptr, kInvalidRequest,
                 message.is_array() ? "batches are not supported" : "a message is an object");
    return;
  }
  const auto idIt = message.find("id");
  const bool hasId = idIt != message.end();
  json id = hasId ? *idIt : json(nullptr);
  if (hasId && !id.is_string() && !id.is_number_integer() && !id.is_null()) {
    respondError(nullptr, kInvalidRequest, "the id must be a number or a string");
    return;
  }
  const auto methodIt = message.find("method");
  if (methodIt == message.end()) {
    // A response to one of the server's own requests, which it does not wait for.
    if (hasId && (message.contains("result") || message.contains("error"))) return;
    respondError(id, kInvalidRequest, "no method");
    return;
  }
  if (!methodIt->is_string()) {
    respondError(id, kInvalidRequest, "the method must be a string");
    return;
  }
  const auto versionIt = message.find("jsonrpc");
  if (versionIt == message.end() || *versionIt != "2.0") {
    if (hasId) respondError(id, kInvalidRequest, "jsonrpc must be \"2.0\"");
    return;
  }
  const std::string& method = methodIt->get_ref<const std::string&>();
  const json params = message.contains("params") ? message["params"] : json::object();

  if (!hasId) {
    if (method != "exit" && (!initializeReceived_ || shutdownReceived_)) return;
    auto handler = notifications_.find(method);
    if (handler == notifications_.end()) return;  // "$/..." and unknown ones are ignored
    try {
      (this->*(handler->second))(nullptr, params);
    } catch (const RequestError& error) {
      logMessage(kMessageWarning, method + ": " + error.message);
    } catch (const std::exception& error) {
      logMessage(kMessageWarning, method + ": " + error.what());
    }
    return;
  }

  if (!initializeReceived_ && method != "initialize") {
    respondError(id, kServerNotInitialized, "the server is not initialized");
    return;
  }
  if (shutdownReceived_) {
    respondError(id, kInvalidRequest, "the server is shutting down");
    return;
  }
  auto handler = requests_.find(method);
  if (handler == requests_.end()) {
    respondError(id, kMethodNotFound, "unknown method " + method);
    return;
  }
  try {
    (this->*(handler->second))(id, params);
  } catch (const RequestError& error) {
    respondError(id, error.code, error.message);
  } catch (const json::exception& error) {
    respondError(id, kInvalidParams, std::string("bad parameters: ") + error.what());
  } catch (const std::exception& error) {
    respondError(id, kInternalError, error.what());
  }
}

// ---- lifecycle ------------------------------------------------------------------------------

void LspServer::initialize(const json& id, const json& params) {
  if (initializeReceived_) throw RequestError{kInvalidRequest, "initialize was sent already"};
  initializeReceived_ = true;
  if (params.is_object()) {
    const json capabilities = params.value("capabilities", json::object());
    if (capabilities.is_object()) {
      const json progress =
          capabilities.value("/window/workDoneProgress"_json_pointer, json(false));
      workDoneProgress_ = progress.is_boolean() && progress.get<bool>();
      const json formats = capabilities.value("/textDocument/hover/contentFormat"_json_pointer,
                                              json::array({"markdown"}));
      markdownHover_ = formats.is_array() &&
                       std::find(formats.begin(), formats.end(), "markdown") != formats.end();
    }
    if (params.contains("initializationOptions")) {
      applyConfiguration(params["initializationOptions"]);
    }
  }
  json capabilities{
      {"positionEncoding", "utf-16"},
      {"textDocumentSync",
       {{"openClose", true}, {"change", 2}, {"save", {{"includeText", false}}}}},
      {"hoverProvider", true},
      {"completionProvider", {{"triggerCharacters", json::array({"<", "/", " "})}}},
      {"codeActionProvider", {{"codeActionKinds", json::array({"quickfix", kFixAllKind})}}},
      {"documentFormattingProvider", true},
      {"documentRangeFormattingProvider", true},
      {"executeCommandProvider", {{"commands", commandNames()}}},
  };
  respond(id, json{{"capabilities", std::move(capabilities)},
                   {"serverInfo", {{"name", "velumark-lsp"}, {"version", kServerVersion}}}});
}

void LspServer::initialized(const json&, const json&) {}

void LspServer::shutdown(const json& id, const json&) {
  shutdownReceived_ = true;
  for (const auto& [uri, timer] : pendingChecks_) {
    loop_.cancelTimer(timer);
  }
  pendingChecks_.clear();
  respond(id, nullptr);
}

void LspServer::exitNotification(const json&, const json&) {
  finished_ = true;
}

void LspServer::didChangeConfiguration(const json&, const json& params) {
  applyConfiguration(params.value("settings", json(nullptr)));
  // What is shown follows the new settings.
  for (HostDocument* document : controller_.documents()) {
    if (LspDocument* open = controller_.find(document); open && open->openInEditor()) {
      scheduleValidation(*open, 0);
    }
  }
}

void LspServer::applyConfiguration(const json& configuration) {
  for (const std::string& problem : settings_->apply(configuration, options_)) {
    logMessage(kMessageWarning, "configuration: " + problem);
  }
  diagnostics_.setElementReference(options_.elementReference);
}

// ---- text sync ------------------------------------------------------------------------------

LspDocument& LspServer::documentFor(const json& params) {
  const std::string& uri = params.at("textDocument").at("uri").get_ref<const std::string&>();
  LspDocument* document = controller_.find(uri);
  if (!document || !document->openInEditor()) {
    throw RequestError{kInvalidParams, "unknown document " + uri};
  }
  return *document;
}

void LspServer::didOpen(const json&, const json& params) {
  const json& item = params.at("textDocument");
  const std::string uri = item.at("uri").get<std::string>();
  const UString text = toUtf16(item.at("text").get<std::string>());
  const std::string languageId = item.value("languageId", std::string());
  if (LspDocument* previous = controller_.find(uri)) {
    // Opened again without a close, or a page the server read for a site check.
    cancelValidation(uri);
    principal_->documentDidClosed(*previous);
    controller_.remove(*previous);
  }
  LspDocument& document = controller_.add(makeDocument(uri, text, languageId));
  if (item.contains("version") && item["version"].is_number_integer()) {
    document.setVersion(item["version"].get<int64_t>());
  }
  document.setEditListener([this](LspDocument& edited, Range range, int64_t change) {
    documentEdited(edited, range, change);
  });
  // Results kept from an earlier opening of the same file are taken over when the text is
  // the one they were found in; otherwise (and for a new buffer) the buffer is checked now.
  if (sharedErrorBrowser().documentDidOpened(document)) {
    validate(document);
  } else {
    publishDiagnostics(document);
  }
}

void LspServer::didChange(const json&, const json& params) {
  LspDocument& document = documentFor(params);
  controller_.touch(document);
  const json& item = params.at("textDocument");
  if (item.contains("version") && item["version"].is_number_integer()) {
    document.setVersion(item["version"].get<int64_t>());
  }
  diagnosticsMoved_ = false;
  for (const json& change : params.at("contentChanges")) {
    const UString text = toUtf16(change.at("text").get<std::string>());
    if (change.contains("range")) {
      const json& range = change["range"];
      document.applyChange(
          std::make_pair(positionFrom(range.at("start")), positionFrom(range.at("end"))), text);
    } else {
      document.applyChange(std::nullopt, text);
    }
  }
  // The diagnostics follow the text until the next check.
  if (diagnosticsMoved_) publishDiagnostics(document);
  if (options_.validateOnType) scheduleValidation(document, options_.debounceMs);
}

void LspServer::documentEdited(LspDocument& document, Range range, int64_t change) {
  VmkErrorBrowser& store = sharedErrorBrowser();
  const VmkResultEntry* entry = store.entryForObject(&document);
  const size_t before = entry ? entry->locations.size() : 0;
  principal_->documentDidEdited(document, range, change);
  if (!document.openInEditor()) return;
  if (!trackedEdit(before)) {
    // Too many records to follow: the ranges stand still, so a check replaces them instead
    // of showing them in the wrong places.
    scheduleValidation(document, options_.validateOnType ? options_.debounceMs : 0);
    return;
  }
  if (before > 0) diagnosticsMoved_ = true;
}

void LspServer::didSave(const json&, const json& params) {
  LspDocument& document = documentFor(params);
  // The file may be written in another encoding now.
  if (std::optional<std::string> path = document.fileName()) {
    if (std::optional<Encoding> encoding = fileEncoding(*path)) {
      document.setOpenNSEncoding(*encoding);
    }
  }
  cancelValidation(document.uri());
  validate(document);
}

void LspServer::didClose(const json&, const json& params) {
  LspDocument& document = documentFor(params);
  const std::string uri = document.uri();
  cancelValidation(uri);
  principal_->documentDidClosed(document);
  checkedDictionary_.erase(uri);
  controller_.remove(document);
  clearDiagnostics(uri);
}

// ---- checks and diagnostics -----------------------------------------------------------------

void LspServer::scheduleValidation(LspDocument& document, int milliseconds) {
  const std::string uri = document.uri();
  cancelValidation(uri);
  pendingChecks_[uri] = loop_.addTimer(std::chrono::milliseconds(milliseconds), [this, uri] {
    pendingChecks_.erase(uri);
    if (LspDocument* due = controller_.find(uri)) validate(*due);
  });
}

void LspServer::cancelValidation(const std::string& uri) {
  auto it = pendingChecks_.find(uri);
  if (it == pendingChecks_.end()) return;
  loop_.cancelTimer(it->second);
  pendingChecks_.erase(it);
}

void LspServer::validate(LspDocument& document) {
  VmkErrorBrowser& store = sharedErrorBrowser();
  // What the last link check found stays until the links are checked again (the records
  // have followed the edits since).
  VmkErrorLocationList linkRecords;
  if (const VmkResultEntry* entry = store.entryForObject(&document)) {
    for (const VmkErrorLocationRef& location : entry->locations) {
      if (isLinkRecord(*location)) linkRecords.push_back(location);
    }
  }
  store.setScriptCommandRunning(true);
  store.clearErrorLocationsForObject(&document);
  VmkHTMLChecker& checker = sharedHTMLChecker();
  checker.validateHTMLForDocument(document, true, false);
  store.setScriptCommandRunning(false);
  if (!linkRecords.empty()) store.mergeErrorLocations(linkRecords, ResultObject(&document));
  if (const VmkDictionary* dictionary = checker.htmlDictionary()) {
    checkedDictionary_[document.uri()] = dictionary->displayName();
  }
  // The store now describes this text, whatever an earlier edit had left pending.
  gDoAutoCheck = false;
  publishDiagnostics(document);
}

void LspServer::publishDiagnostics(LspDocument& document) {
  const VmkResultEntry* entry = sharedErrorBrowser().entryForObject(&document);
  if (writer_) {
    writer_(frameBody(diagnostics_.publishMessage(document, entry ? &entry->locations : nullptr)));
  }
}

void LspServer::clearDiagnostics(const std::string& uri) {
  notify("textDocument/publishDiagnostics", json{{"uri", uri}, {"diagnostics", json::array()}});
}

UString LspServer::dictionaryNameFor(LspDocument& document) {
  if (auto it = checkedDictionary_.find(document.uri()); it != checkedDictionary_.end()) {
    return it->second;
  }
  // Results taken over from an earlier opening say nothing of the dictionary: the checker
  // works it out (checking the text again if its last run was of another one).
  if (std::optional<UString> name = sharedHTMLChecker().htmlDoctypeForDocument(document)) {
    checkedDictionary_[document.uri()] = *name;
    return *name;
  }
  return toUtf16(sharedVmkUserDefaults().stringForKey("Vmk_DefaultHtmlDictionary"));
}

QkDictBrowser* LspServer::browserFor(const UString& dictionaryName) {
  auto it = browsers_.find(dictionaryName);
  if (it == browsers_.end()) {
    auto browser = std::make_unique<QkDictBrowser>();
    if (!browser->setHtmlDictionaryFromPath(QkChecker::dictionaryPathWithName(dictionaryName))) {
      return nullptr;
    }
    it = browsers_.emplace(dictionaryName, std::move(browser)).first;
  }
  return it->second.get();
}

// ---- language features ----------------------------------------------------------------------

void LspServer::hover(const json& id, const json& params) {
  LspDocument& document = documentFor(params);
  const uint32_t offset = document.offsetAt(positionFrom(params.at("position")));
  std::string text;
  Range shown(offset, 0);
  // The problems found at the place, with their descriptions.
  if (const VmkResultEntry* entry = sharedErrorBrowser().entryForObject(&document)) {
    for (const VmkErrorLocationRef& location : entry->locations) {
      const Range range = location->errorRange();
      if (offset < range.location || offset > range.max()) continue;
      if (!text.empty()) text += markdownHover_ ? "\n\n---\n\n" : "\n\n";
      const std::string bold = markdownHover_ ? "**" : "";
      text += bold + toUtf8(location->errorNumber()) + bold + " " + toUtf8(location->errorTitle()) +
              "\n\n" + toUtf8(location->errorDescription());
    }
  }
  // On an element name: the dictionary's rules for it.
  if (std::optional<TagAtPlace> tag = tagAt(document.text(), offset);
      tag && tag->name.length > 0 && offset >= tag->tagStart && offset <= tag->name.max()) {
    const UString dictionaryName = dictionaryNameFor(document);
    if (QkDictBrowser* browser = browserFor(dictionaryName)) {
      const UStringView name =
          UStringView(document.text()).substr(tag->name.location, tag->name.length);
      if (std::optional<std::string> rules =
              elementHoverText(*browser, dictionaryName, name, markdownHover_)) {
        if (!text.empty()) text += markdownHover_ ? "\n\n---\n\n" : "\n\n";
        text += *rules;
        shown = Range(tag->tagStart, tag->name.max() - tag->tagStart);
      }
    }
  }
  if (text.empty()) {
    respond(id, nullptr);
    return;
  }
  respond(id,
          json{{"contents", {{"kind", markdownHover_ ? "markdown" : "plaintext"}, {"value", text}}},
               {"range", rangeJson(document, shown)}});
}

void LspServer::completion(const json& id, const json& params) {
  LspDocument& document = documentFor(params);
  const uint32_t offset = document.offsetAt(positionFrom(params.at("position")));
  const CompletionPlace place = completionPlaceAt(document.text(), offset);
  json items = json::array();
  if (place.kind != CompletionPlace::Kind::None) {
    std::shared_ptr<const VmkDictionary> dictionary =
        VmkDictionary::sharedWithMenuName(dictionaryNameFor(document));
    if (dictionary) items = completionItems(*dictionary, document.text(), place);
  }
  respond(id, json{{"isIncomplete", false}, {"items", std::move(items)}});
}

// ---- repairs ---------------------------------------------------------------------------------

VmkHTMLChecker& LspServer::currentRunFor(LspDocument& document) {
  VmkHTMLChecker& checker = sharedHTMLChecker();
  // The checker's records must describe the text as it is now, not as it was at the last
  // check (the published ones have only been moved with the edits since).
  if (!checker.isLastRunCurrentFor(document)) validate(document);
  return checker;
}

void LspServer::codeAction(const json& id, const json& params) {
  LspDocument& document = documentFor(params);
  const Range asked = rangeFrom(document, params.at("range"));
  const uint32_t from = asked.location;
  const uint32_t to = asked.max();
  const json context = params.value("context", json::object());
  // Kinds are hierarchical: "source" asks for "source.fixAll.velumark" too.
  auto wanted = [&](std::string_view kind) {
    if (!context.contains("only") || !context["only"].is_array()) return true;
    for (const json& only : context["only"]) {
      if (!only.is_string()) continue;
      const std::string& prefix = only.get_ref<const std::string&>();
      if (kind == prefix ||
          (kind.size() > prefix.size() && kind.substr(0, prefix.size()) == prefix &&
           kind[prefix.size()] == '.')) {
        return true;
      }
    }
    return false;
  };
  json actions = json::array();
  if (wanted("quickfix")) {
    VmkHTMLChecker& checker = currentRunFor(document);
    const json given = context.value("diagnostics", json::array());
    for (const VmkErrorLocationRef& location : checker.errorLocations()) {
      const Range where = location->errorRange();
      if (where.location > to || where.max() < from) continue;
      if (location->errorFix() != kErrorFixEnabled) continue;
      // A new encoding is no edit of the text.
      if (location->errorCode() == "EncodingNotMatched") continue;
      json edits = textEditsJson(document, fixEditsForErrorLocation(checker, *location));
      if (edits.empty()) continue;
      const std::string number = toUtf8(location->errorNumber());
      const json place = rangeJson(document, where);
      json diagnostics = json::array();
      for (const json& diagnostic : given.is_array() ? given : json::array()) {
        if (diagnostic.value("code", json()) == number &&
            diagnostic.value("range", json()) == place) {
          diagnostics.push_back(diagnostic);
        }
      }
      if (diagnostics.empty()) {
        diagnostics.push_back({{"range", place},
                               {"code", number},
                               {"source", "velumark"},
                               {"message", toUtf8(location->errorTitle())}});
      }
      actions.push_back({{"title", "Fix " + number + ": " + toUtf8(location->errorTitle())},
                         {"kind", "quickfix"},
                         {"diagnostics", std::move(diagnostics)},
                         {"isPreferred", true},
                         {"edit", workspaceEditJson(document, std::move(edits))}});
    }
  }
  if (wanted(kFixAllKind)) {
    json edits = textEditsJson(document, correctAllEdits(document));
    if (!edits.empty()) {
      actions.push_back({{"title", "Correct all errors"},
                         {"kind", kFixAllKind},
                         {"edit", workspaceEditJson(document, std::move(edits))}});
    }
  }
  respond(id, std::move(actions));
}

std::vector<TextEdit> LspServer::correctAllEdits(LspDocument& document) {
  return editsOnScratchCopy(document, [](LspDocument& scratch) {
    std::unique_ptr<VmkHTMLChecker> checker = VmkHTMLChecker::initOneMore();
    correctAllErrorsForDocument(*checker, scratch, false);
  });
}

// ---- formatting ------------------------------------------------------------------------------

void LspServer::formatting(const json& id, const json& params) {
  LspDocument& document = documentFor(params);
  // The layout is the beautifier's own (tabs for the depth, the user's element lists); the
  // editor's tab size and spaces option do not change it.
  std::optional<Range> selection;
  if (params.contains("range")) {
    selection = rangeFrom(document, params["range"]);
    // A range over the whole text is the whole document, as for the beautify command.
    if (selection->location == 0 && selection->length >= document.text().size()) {
      selection.reset();
    }
  }
  VmkHTMLChecker& checker = currentRunFor(document);
  std::optional<BeautifiedRegion> region = beautifyTagList(
      checker.tagLocations(), checker.sourceString(), selection, BeautifySettings::current());
  if (!region) {
    respond(id, json::array());
    return;
  }
  respond(id, textEditsJson(document, {TextEdit{region->replaced, std::move(region->text)}}));
}

// ---- link checks -----------------------------------------------------------------------------

void LspServer::startLinkCheck(LspDocument& document, bool site, const json& workDoneToken) {
  VmkLinkChecker& links = sharedLinkChecker();
  // A running check gives way to the new one; the pages a site check read stop being shown.
  if (links.isChecking()) links.cancelClicked();
  retireSitePages();
  json token = workDoneToken;
  if (token.is_null() && workDoneProgress_) {
    token = "velumark-links-" + std::to_string(++serverRequests_);
    send(makeRequest("velumark-" + std::to_string(++serverRequests_),
                     "window/workDoneProgress/create", {{"token", token}}));
  }
  linkProgress_->setToken(token);
  cancelValidation(document.uri());
  if (site) {
    links.startRecursiveCheckFrom(document, false);
  } else {
    sharedErrorBrowser().clearErrorLocationsForObject(&document);
    links.checkLinkForDocument(document, true, false);
  }
}

void LspServer::linkCheckEnded() {
  for (HostDocument* page : controller_.documents()) {
    LspDocument* document = controller_.find(page);
    if (!document) continue;
    if (!document->openInEditor()) sitePages_.insert(document->uri());
    publishDiagnostics(*document);
  }
}

void LspServer::retireSitePages() {
  for (const std::string& uri : sitePages_) {
    LspDocument* page = controller_.find(uri);
    if (!page || page->openInEditor()) continue;
    principal_->documentDidClosed(*page);
    if (std::optional<std::string> path = page->fileName()) {
      sharedErrorBrowser().clearErrorLocationsForObject(ResultObject(*path));
    }
    controller_.remove(*page);
    clearDiagnostics(uri);
  }
  sitePages_.clear();
}

// ---- commands --------------------------------------------------------------------------------

json LspServer::commandNames() {
  return json::array({"velumark.validate", "velumark.fixAll", "velumark.minimize",
                      "velumark.toEntityReferences", "velumark.toEntityReferencesPlain",
                      "velumark.checkLinks", "velumark.checkSite"});
}

LspDocument& LspServer::commandDocument(const json& arguments, std::optional<Range>* range) {
  if (!arguments.is_array() || arguments.empty()) {
    throw RequestError{kInvalidParams, "the command needs the document's address"};
  }
  const json& first = arguments[0];
  json textDocument;
  if (first.is_string()) {
    textDocument = {{"uri", first}};
  } else if (first.is_object() && first.contains("textDocument")) {
    textDocument = first["textDocument"];
  } else if (first.is_object()) {
    textDocument = {{"uri", first.value("uri", json())}};
  }
  LspDocument& document = documentFor(json{{"textDocument", textDocument}});
  if (range) {
    const json* given = nullptr;
    if (first.is_object() && first.contains("range")) given = &first["range"];
    if (!given && arguments.size() > 1 && arguments[1].is_object()) given = &arguments[1];
    if (given && given->contains("start")) *range = rangeFrom(document, *given);
  }
  return document;
}

void LspServer::requestEdit(std::string_view label, const LspDocument& document,
                            const std::vector<TextEdit>& edits) {
  json textEdits = textEditsJson(document, edits);
  if (textEdits.empty()) {
    logMessage(kMessageLog, std::string(label) + ": nothing to change");
    return;
  }
  send(makeRequest("velumark-" + std::to_string(++serverRequests_), "workspace/applyEdit",
                   {{"label", std::string(label)},
                    {"edit", workspaceEditJson(document, std::move(textEdits))}}));
}

void LspServer::executeCommand(const json& id, const json& params) {
  const std::string command = params.at("command").get<std::string>();
  const json arguments = params.value("arguments", json::array());
  if (command == "velumark.validate") {
    validate(commandDocument(arguments, nullptr));
  } else if (command == "velumark.fixAll") {
    LspDocument& document = commandDocument(arguments, nullptr);
    requestEdit("Correct all errors", document, correctAllEdits(document));
  } else if (command == "velumark.minimize") {
    // The editor's command is the user's answer: no confirmation is asked.
    LspDocument& document = commandDocument(arguments, nullptr);
    VmkHTMLChecker& checker = currentRunFor(document);
    if (!checker.tagLocations().empty()) {
      const uint32_t length = static_cast<uint32_t>(checker.sourceString().size());
      requestEdit("Minimize HTML", document,
                  {TextEdit{Range(0, length),
                            minimizeTagList(checker.tagLocations(), checker.sourceString())}});
    }
  } else if (command == "velumark.toEntityReferences" ||
             command == "velumark.toEntityReferencesPlain") {
    // The range given, else the whole text (the confirmation is answered as asked).
    std::optional<Range> range;
    LspDocument& document = commandDocument(arguments, &range);
    const bool plain = command == "velumark.toEntityReferencesPlain";
    const std::vector<TextEdit> edits = editsOnScratchCopy(document, [&](LspDocument& scratch) {
      scratch.setSelectedRange(range.value_or(Range(0, 0)), false);
      std::unique_ptr<VmkHTMLChecker> checker = VmkHTMLChecker::initOneMore();
      toEntityReferenceFor(scratch, plain, *checker);
    });
    requestEdit(plain ? "To character references" : "To entity references", document, edits);
  } else if (command == "velumark.checkLinks" || command == "velumark.checkSite") {
    startLinkCheck(commandDocument(arguments, nullptr), command == "velumark.checkSite",
                   params.value("workDoneToken", json()));
  } else {
    throw RequestError{kInvalidParams, "unknown command " + command};
  }
  respond(id, nullptr);
}

}  // namespace vmk::lsp
