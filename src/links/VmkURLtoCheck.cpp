#include "links/VmkURLtoCheck.h"

#include <utility>

#include "errors/ErrorCatalogue.h"
#include "errors/MessageTables.h"
#include "links/VmkLinkChecker.h"
#include "results/LocalizedFormat.h"
#include "results/VmkErrorBrowser.h"
#include "settings/VmkUserDefaults.h"
#include "support/Log.h"

namespace vmk {

namespace {

constexpr std::pair<int, const char*> kStatusTexts[] = {
    {300, "300 Multiple Choices"},
    {301, "301 Moved Permanently"},
    {302, "302 Moved Temporarily"},
    {303, "303 See Other"},
    {304, "304 Not Modified"},
    {305, "305 Use Proxy"},
    {400, "400 Bad Request"},
    {401, "401 Unauthorized"},
    {402, "402 Payment Required"},
    {403, "403 Forbidden"},
    {404, "404 Not Found"},
    {405, "405 Method Not Allowed"},
    {406, "406 Not Acceptable"},
    {407, "407 Proxy Authentication Required"},
    {408, "408 Request Time-out"},
    {409, "409 Conflict"},
    {410, "410 Gone"},
    {411, "411 Length Required"},
    {412, "412 Precondition Failed"},
    {413, "413 Request Entity Too Large"},
    {414, "414 Request-URI Too Large"},
    {415, "415 Unsupported Media Type"},
    {500, "500 Internal Server Error"},
    {501, "501 Not Implemented"},
    {502, "502 Bad Gateway"},
    {503, "503 Service Unavailable"},
    {504, "504 Gateway Time-out"},
    {505, "505 HTTP Version not supported"},
};

}  // namespace

UString statusTextForStatusCode(int status) {
  for (const auto& [code, text] : kStatusTexts) {
    if (code == status) return localizedString(kVelumarkXTable, text);
  }
  return formatLocalized(localizedString(kVelumarkXTable, "%d Unknown status code"),
                         {toUString(status)});
}

VmkURLtoCheck::VmkURLtoCheck(std::optional<VmkURL> url, HostDocument* document, Range valueRange,
                             UString originalString, VmkLinkChecker& checker)
    : url_(std::move(url)),
      document_(document),
      valueRange_(valueRange),
      originalURLString_(std::move(originalString)),
      checker_(checker) {}

VmkURLtoCheck::~VmkURLtoCheck() = default;

UString VmkURLtoCheck::urlText() const {
  return url_ ? toUtf16(url_->absoluteString()) : originalURLString_;
}

void VmkURLtoCheck::startURLCheck() {
  const VmkUserDefaults& settings = sharedVmkUserDefaults();
  if (url_ && url_->hasScheme()) {
    connection_ = checker_.session().start(*url_, settings.realForKey("Vmk_LinkTimeout"), *this);
  } else if (url_) {
    registerError("NoAbsolutePath", document_, valueRange_, {urlText()});
  } else if (settings.boolForKey("Vmk_WarnUnsupportedProtocol")) {
    registerError("CantCheckThisURL", document_, valueRange_, {originalURLString_});
  } else {
    updateProgressWithError(std::nullopt);
  }
}

void VmkURLtoCheck::cancelURLCheck() {
  if (done_ || !connection_) return;
  stopRequest();
  updateProgressWithError(std::nullopt);
}

void VmkURLtoCheck::abandon() {
  done_ = true;
  stopRequest();
}

void VmkURLtoCheck::willSendRequest(const std::string& url, const LinkResponse* /*redirect*/) {
  if (done_) return;
  redirectURLString_ = url;
}

void VmkURLtoCheck::didReceiveResponse(const LinkResponse& response) {
  if (done_) return;
  if (response.isFile) {
    setupRecursiveURL(response);
    updateProgressWithError(std::nullopt);
    stopRequest();
    return;
  }
  const int status = response.statusCode;
  if (status == 0) {
    updateProgressWithError(std::nullopt);
  } else if (status >= 100 && status <= 199) {
    return;  // the final answer follows
  } else if (status >= 200 && status <= 299) {
    setupRecursiveURL(response);
    updateProgressWithError(std::nullopt);
  } else if (status >= 300 && status <= 399) {
    registerError("Redirection", document_, valueRange_,
                  {statusTextForStatusCode(status),
                   redirectURLString_ ? toUtf16(*redirectURLString_) : urlText()});
  } else if (status >= 400 && status <= 499) {
    registerError("ClientError", document_, valueRange_,
                  {statusTextForStatusCode(status), urlText()});
  } else if (status >= 500 && status <= 599) {
    registerError("ServerError", document_, valueRange_,
                  {statusTextForStatusCode(status), urlText()});
  } else {
    logPluginProblem("*** Unknown Status Code " + std::to_string(status));
    updateProgressWithError(std::nullopt);
  }
  stopRequest();
}

void VmkURLtoCheck::didFail(const LinkError& error) {
  if (done_) return;
  connection_.reset();
  if (url_ && url_->isFileURL()) {
    registerError("LocalDocumentNotFound", document_, valueRange_, {toUtf16(url_->relativePath())});
  } else if (error.kind == LinkError::Kind::UnsupportedURL) {
    if (sharedVmkUserDefaults().boolForKey("Vmk_WarnUnsupportedProtocol")) {
      registerError("CantCheckThisURL", document_, valueRange_, {originalURLString_});
    } else {
      updateProgressWithError(std::nullopt);
    }
  } else {
    if (error.kind == LinkError::Kind::CannotStart) {
      logPluginProblem("*** failed to make NSURLConnection object");
    }
    registerError("OtherLinkError", document_, valueRange_,
                  {toUtf16(error.description), urlText()});
  }
}

void VmkURLtoCheck::didFinishLoading() {
  if (done_) return;
  connection_.reset();
  updateProgressWithError(std::nullopt);
}

void VmkURLtoCheck::registerError(std::string_view code, HostDocument* document, Range range,
                                  std::vector<UString> subStrings) {
  if (done_) return;
  // A site check of the pages' markup only reports no link errors, at any depth.
  if (pages_ && recursiveMode_ == 0) {
    updateProgressWithError(std::nullopt);
    return;
  }
  if (!document || errorLevelForThisError(code) <= 0) {
    updateProgressWithError(std::nullopt);
    return;
  }
  ResultObject parent;
  if (document) parent = document;
  auto location = VmkErrorLocation::create(code, range, std::move(subStrings), parent);
  sharedErrorBrowser().addErrorLocation(location, parent);
  updateProgressWithError(code);
}

void VmkURLtoCheck::updateProgressWithError(std::optional<std::string_view> code) {
  if (done_) return;
  // Done before the checker hears of it: the checker may end the check from here.
  done_ = true;
  if (code) {
    if (errorLevelForThisError(*code) == 1) {
      checker_.increaseCautionCount();
    } else {
      checker_.increaseErrorCount();
    }
  }
  checker_.increaseFinishedCount();
  checker_.decreaseCheckingCount();
  checker_.updateCountDisplay();
}

void VmkURLtoCheck::setupRecursiveURL(const LinkResponse& response) {
  if (!pages_ || !url_ || depth_ >= maxDepth_) return;
  if (response.mimeType != "text/html") return;
  const VmkURL page = url_->pageIdentity();
  if (pages_->contains(page)) return;
  pages_->add(page);
  pages_->queue.push_back(PageRequest{page, depth_ + 1});
}

}  // namespace vmk
