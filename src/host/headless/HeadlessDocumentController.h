// The headless host's document controller: owns the open documents, front one first.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/HostDocument.h"
#include "host/headless/HeadlessDocument.h"

namespace vmk {

class HeadlessDocumentController final : public HostDocumentController {
 public:
  // Told when a document was opened or added (it is then the front document).
  using OpenListener = std::function<void(HeadlessDocument& document)>;
  // Told just before a document is closed and destroyed.
  using CloseListener = std::function<void(HeadlessDocument& document)>;
  // What a URL loader fetched: the bytes, and the charset the answer named, if it named one.
  struct LoadedURL {
    LoadedURL(std::string b, std::optional<std::string> c = std::nullopt)  // NOLINT: implicit
        : bytes(std::move(b)), charset(std::move(c)) {}
    std::string bytes;
    std::optional<std::string> charset;
  };
  // Fetches the bytes of a remote address; absent when it cannot be loaded.
  using URLLoader = std::function<std::optional<LoadedURL>(const std::string& address)>;

  HeadlessDocumentController() = default;
  ~HeadlessDocumentController() override;
  HeadlessDocumentController(const HeadlessDocumentController&) = delete;
  HeadlessDocumentController& operator=(const HeadlessDocumentController&) = delete;

  // HostDocumentController
  HostDocument* nthDocument(int n) override;
  // Opens a file, or brings it to the front when it is open already; nullptr when it cannot
  // be read (lastError() says why).
  HostDocument* openFile(const std::string& path) override;
  // file:// addresses open the file; other addresses are loaded through the URL loader when one
  // is set (the document then has that remoteURL and no file; its encoding is the charset of
  // the answer, else what the page declares); nullptr otherwise.
  HostDocument* openURL(const std::string& address) override;
  // Front document first.
  std::vector<HostDocument*> documents() override;

  // openFile with an encoding chosen by the caller (see HeadlessDocument::open).
  HeadlessDocument* openFile(const std::string& path, std::optional<Encoding> encoding,
                             std::string* errorOut = nullptr);
  // Takes a document over and makes it the front document.
  HeadlessDocument* addDocument(std::unique_ptr<HeadlessDocument> document);
  // The open document of a file (compared by canonical path), or nullptr.
  HeadlessDocument* documentForFile(const std::string& path);
  // The controller's document behind a host document pointer, or nullptr.
  HeadlessDocument* find(const HostDocument* document);
  void bringToFront(HostDocument& document);
  // Closes a document: the close listener is told, then the document is destroyed. False when
  // the document is not one of this controller's.
  bool close(HostDocument& document);
  void closeAll();
  size_t count() const { return documents_.size(); }

  void setOpenListener(OpenListener listener) { openListener_ = std::move(listener); }
  void setCloseListener(CloseListener listener) { closeListener_ = std::move(listener); }
  void setURLLoader(URLLoader loader) { urlLoader_ = std::move(loader); }
  // Why the last open failed.
  const std::string& lastError() const { return lastError_; }
  // The most bytes a file opened here may have (kDefaultMaximumDocumentSize unless set).
  void setMaximumDocumentSize(uint64_t bytes) { maximumDocumentSize_ = bytes; }
  uint64_t maximumDocumentSize() const { return maximumDocumentSize_; }

 private:
  std::vector<std::unique_ptr<HeadlessDocument>> documents_;  // front first
  OpenListener openListener_;
  CloseListener closeListener_;
  URLLoader urlLoader_;
  std::string lastError_;
  uint64_t maximumDocumentSize_ = kDefaultMaximumDocumentSize;
};

// The path of a file:// address (percent escapes decoded); absent for other addresses.
std::optional<std::string> filePathFromURL(const std::string& address);

}  // namespace vmk
