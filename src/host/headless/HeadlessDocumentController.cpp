#include "host/headless/HeadlessDocumentController.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "host/headless/DocumentFile.h"

namespace vmk {

namespace {

std::string canonicalPath(const std::string& path) {
  std::error_code error;
  std::filesystem::path canonical = std::filesystem::weakly_canonical(path, error);
  return error ? path : canonical.string();
}

// The full path a document opened from `path` is known by (as an editor names its documents),
// without resolving links; the path as given when it cannot be made absolute.
std::string fullPath(const std::string& path) {
  std::error_code error;
  std::filesystem::path full = std::filesystem::absolute(path, error);
  return error ? path : full.lexically_normal().string();
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::optional<std::string> filePathFromURL(const std::string& address) {
  constexpr std::string_view kScheme = "file://";
  if (address.size() < kScheme.size() ||
      !std::equal(kScheme.begin(), kScheme.end(), address.begin(), [](char a, char b) {
        return a == std::tolower(static_cast<unsigned char>(b));
      })) {
    return std::nullopt;
  }
  std::string_view rest = std::string_view(address).substr(kScheme.size());
  // "file://localhost/path" and "file:///path" name local files; another host does not.
  if (!rest.starts_with('/')) {
    if (!rest.starts_with("localhost/")) return std::nullopt;
    rest.remove_prefix(std::string_view("localhost").size());
  }
  if (size_t cut = rest.find_first_of("?#"); cut != std::string_view::npos) {
    rest = rest.substr(0, cut);
  }
  std::string path;
  for (size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] == '%' && i + 2 < rest.size() && hexValue(rest[i + 1]) >= 0 &&
        hexValue(rest[i + 2]) >= 0) {
      path.push_back(static_cast<char>(hexValue(rest[i + 1]) * 16 + hexValue(rest[i + 2])));
      i += 2;
    } else {
      path.push_back(rest[i]);
    }
  }
  return path;
}

HeadlessDocumentController::~HeadlessDocumentController() = default;

HostDocument* HeadlessDocumentController::nthDocument(int n) {
  if (n < 1 || static_cast<size_t>(n) > documents_.size()) return nullptr;
  return documents_[n - 1].get();
}

HostDocument* HeadlessDocumentController::openFile(const std::string& path) {
  return openFile(path, std::nullopt, nullptr);
}

HeadlessDocument* HeadlessDocumentController::openFile(const std::string& path,
                                                       std::optional<Encoding> encoding,
                                                       std::string* errorOut) {
  const std::string full = fullPath(path);
  if (HeadlessDocument* open = documentForFile(full)) {
    bringToFront(*open);
    return open;
  }
  std::string error;
  std::unique_ptr<HeadlessDocument> document =
      HeadlessDocument::open(full, encoding, &error, maximumDocumentSize_);
  if (!document) {
    lastError_ = error;
    if (errorOut) *errorOut = error;
    return nullptr;
  }
  return addDocument(std::move(document));
}

HostDocument* HeadlessDocumentController::openURL(const std::string& address) {
  if (std::optional<std::string> path = filePathFromURL(address)) return openFile(*path);
  for (auto& document : documents_) {
    if (document->remoteURL() == address) {
      // Bringing it forward moves the list's entries: hold on to the document itself.
      HeadlessDocument* open = document.get();
      bringToFront(*open);
      return open;
    }
  }
  if (!urlLoader_) {
    lastError_ = "cannot open " + address + ": remote documents are not supported";
    return nullptr;
  }
  std::optional<LoadedURL> loaded = urlLoader_(address);
  if (!loaded) {
    lastError_ = "cannot load " + address;
    return nullptr;
  }
  std::optional<Encoding> named;
  if (loaded->charset) {
    Encoding encoding = Encoding::fromName(*loaded->charset);
    if (encoding.valid()) named = encoding;
  }
  auto document = HeadlessDocument::fromBytes(loaded->bytes, std::nullopt, named);
  document->setRemoteURL(address);
  // An address ending in an HTML page name is an HTML document too.
  std::string_view path = address;
  if (size_t cut = path.find_first_of("?#"); cut != std::string_view::npos) {
    path = path.substr(0, cut);
  }
  if (isHTMLDocument(std::string(path), document->text())) {
    document->setRevertDocumentType(kHTMLDocumentType);
  }
  return addDocument(std::move(document));
}

std::vector<HostDocument*> HeadlessDocumentController::documents() {
  std::vector<HostDocument*> list;
  list.reserve(documents_.size());
  for (auto& document : documents_) list.push_back(document.get());
  return list;
}

HeadlessDocument* HeadlessDocumentController::addDocument(
    std::unique_ptr<HeadlessDocument> document) {
  HeadlessDocument* added = document.get();
  added->setFrontListener([this](HeadlessDocument& d) { bringToFront(d); });
  documents_.insert(documents_.begin(), std::move(document));
  if (openListener_) {
    OpenListener listener = openListener_;
    listener(*added);
  }
  return added;
}

HeadlessDocument* HeadlessDocumentController::documentForFile(const std::string& path) {
  const std::string wanted = canonicalPath(path);
  for (auto& document : documents_) {
    if (document->fileName() && canonicalPath(*document->fileName()) == wanted) {
      return document.get();
    }
  }
  return nullptr;
}

HeadlessDocument* HeadlessDocumentController::find(const HostDocument* document) {
  for (auto& candidate : documents_) {
    if (candidate.get() == document) return candidate.get();
  }
  return nullptr;
}

void HeadlessDocumentController::bringToFront(HostDocument& document) {
  auto it = std::find_if(documents_.begin(), documents_.end(),
                         [&](const auto& candidate) { return candidate.get() == &document; });
  if (it != documents_.end()) std::rotate(documents_.begin(), it, it + 1);
}

bool HeadlessDocumentController::close(HostDocument& document) {
  auto it = std::find_if(documents_.begin(), documents_.end(),
                         [&](const auto& candidate) { return candidate.get() == &document; });
  if (it == documents_.end()) return false;
  if (closeListener_) {
    CloseListener listener = closeListener_;
    listener(**it);
  }
  // The listener may have opened or closed documents: look the document up again.
  it = std::find_if(documents_.begin(), documents_.end(),
                    [&](const auto& candidate) { return candidate.get() == &document; });
  if (it == documents_.end()) return true;
  std::unique_ptr<HeadlessDocument> closing = std::move(*it);
  documents_.erase(it);
  return true;
}

void HeadlessDocumentController::closeAll() {
  while (!documents_.empty()) close(*documents_.front());
}

}  // namespace vmk
