// One link of one document being checked: requests the link's URL, looks only at the first
// answer (or the failure), records at most one error location for the link's attribute value,
// and reports itself finished to its link checker. In a site check the same probe offers the
// page it reached to the check's queue.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "links/NetworkSession.h"
#include "links/VmkURL.h"
#include "support/Text.h"

namespace vmk {

class HostDocument;
class VmkLinkChecker;
struct RecursivePages;

// The status text of an HTTP status ("404 Not Found"; "%d Unknown status code" for a status
// without a name of its own), localized through the table "VelumarkX".
UString statusTextForStatusCode(int status);

class VmkURLtoCheck final : public LinkRequestDelegate {
 public:
  // url absent: the value could not be parsed as a URL. The document is not owned; the probe
  // reports to `checker`. Not started.
  VmkURLtoCheck(std::optional<VmkURL> url, HostDocument* document, Range valueRange,
                UString originalString, VmkLinkChecker& checker);
  ~VmkURLtoCheck() override;
  VmkURLtoCheck(const VmkURLtoCheck&) = delete;
  VmkURLtoCheck& operator=(const VmkURLtoCheck&) = delete;

  void startURLCheck();
  // A probe that is not done stops its request and counts as finished without error.
  void cancelURLCheck();
  // Stops the request and is done, telling its checker nothing (a check that gives way to a
  // new one).
  void abandon();

  // Records one error location for the link (unless the site check's mode or the code's level
  // says not to) and reports the probe finished.
  void registerError(std::string_view code, HostDocument* document, Range range,
                     std::vector<UString> subStrings);
  // Reports the probe finished, counting an error or a caution for a code. Only the first
  // report counts: every later one (a callback after an abort) is ignored.
  void updateProgressWithError(std::optional<std::string_view> code);
  // Offers the page the probe reached to the site check's queue.
  void setupRecursiveURL(const LinkResponse& response);

  // Site check settings.
  void setRecursiveMode(int mode) { recursiveMode_ = mode; }
  void setMaxDepth(int depth) { maxDepth_ = depth; }
  void setDepth(int depth) { depth_ = depth; }
  // The pages seen and the queue of the site check (shared, not owned). A probe given them
  // belongs to the site check: in mode 0 it records nothing.
  void setRecursivePages(RecursivePages* pages) { pages_ = pages; }

  const std::optional<VmkURL>& url() const { return url_; }
  HostDocument* document() const { return document_; }
  // The document went away: the probe records nothing from now on.
  void forgetDocument() { document_ = nullptr; }
  Range valueRange() const { return valueRange_; }
  const UString& originalURLString() const { return originalURLString_; }
  const std::optional<std::string>& redirectURLString() const { return redirectURLString_; }
  bool done() const { return done_; }

  // LinkRequestDelegate
  void willSendRequest(const std::string& url, const LinkResponse* redirectResponse) override;
  void didReceiveResponse(const LinkResponse& response) override;
  void didFail(const LinkError& error) override;
  void didFinishLoading() override;

 private:
  // The URL's full text as a message substring.
  UString urlText() const;
  void stopRequest() { connection_.reset(); }

  std::optional<VmkURL> url_;
  std::unique_ptr<LinkConnection> connection_;
  HostDocument* document_;
  Range valueRange_;
  std::optional<std::string> redirectURLString_;
  UString originalURLString_;
  bool done_ = false;
  int recursiveMode_ = 0;
  int maxDepth_ = 0;
  int depth_ = 0;
  RecursivePages* pages_ = nullptr;
  VmkLinkChecker& checker_;
};

}  // namespace vmk
