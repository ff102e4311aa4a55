#include "host/lsp/LspDocumentController.h"

#include <algorithm>
#include <filesystem>

#include "host/headless/DocumentFile.h"
#include "support/Paths.h"

namespace vmk::lsp {
namespace {

bool isHTMLLanguage(std::string_view languageId) {
  return languageId == "html" || languageId == "xhtml" || languageId == "htm";
}

std::string canonicalPath(const std::string& path) {
  std::error_code error;
  std::filesystem::path canonical = std::filesystem::weakly_canonical(path, error);
  return error ? path : canonical.string();
}

}  // namespace

std::optional<Encoding> fileEncoding(const std::string& path) {
  std::optional<std::string> bytes = readFileContents(path);
  if (!bytes) return std::nullopt;
  return decodeDocumentBytes(*bytes).encoding;
}

std::unique_ptr<LspDocument> makeDocument(const std::string& uri, UStringView text,
                                          std::string_view languageId) {
  std::optional<std::string> path = pathFromFileURI(uri);
  std::optional<Encoding> encoding;
  if (path) encoding = fileEncoding(*path);
  if (!encoding) encoding = decodeDocumentBytes(toUtf8(text)).encoding;
  const bool html = isHTMLLanguage(languageId) || isHTMLDocument(path, text);
  return std::make_unique<LspDocument>(uri, text, std::move(path), *encoding, html);
}

std::unique_ptr<LspDocument> readDocument(const std::string& path) {
  std::optional<std::string> bytes = readFileContents(path);
  if (!bytes) return nullptr;
  DecodedDocument decoded = decodeDocumentBytes(*bytes);
  const bool html = isHTMLDocument(path, decoded.text);
  auto document = std::make_unique<LspDocument>(fileURIFromPath(path), decoded.text, path,
                                                decoded.encoding, html);
  document->setOpenInEditor(false);
  return document;
}

HostDocument* LspDocumentController::nthDocument(int n) {
  if (n < 1 || static_cast<size_t>(n) > documents_.size()) return nullptr;
  return documents_[n - 1].get();
}

HostDocument* LspDocumentController::openFile(const std::string& path) {
  if (LspDocument* open = findByPath(path)) {
    touch(*open);
    return open;
  }
  std::unique_ptr<LspDocument> document = readDocument(path);
  if (!document) return nullptr;
  LspDocument& added = add(std::move(document));
  if (openListener_) openListener_(added);
  return &added;
}

HostDocument* LspDocumentController::openURL(const std::string& address) {
  if (std::optional<std::string> path = pathFromFileURI(address)) return openFile(*path);
  return nullptr;
}

std::vector<HostDocument*> LspDocumentController::documents() {
  std::vector<HostDocument*> all;
  all.reserve(documents_.size());
  for (const auto& document : documents_) all.push_back(document.get());
  return all;
}

LspDocument& LspDocumentController::add(std::unique_ptr<LspDocument> document) {
  if (LspDocument* old = find(document->uri())) remove(*old);
  documents_.insert(documents_.begin(), std::move(document));
  return *documents_.front();
}

LspDocument* LspDocumentController::find(std::string_view uri) {
  for (const auto& document : documents_) {
    if (document->uri() == uri) return document.get();
  }
  return nullptr;
}

LspDocument* LspDocumentController::find(const HostDocument* wanted) {
  for (const auto& document : documents_) {
    if (document.get() == wanted) return document.get();
  }
  return nullptr;
}

LspDocument* LspDocumentController::findByPath(const std::string& path) {
  const std::string wanted = canonicalPath(path);
  for (const auto& document : documents_) {
    if (document->fileName() && canonicalPath(*document->fileName()) == wanted) {
      return document.get();
    }
  }
  return nullptr;
}

void LspDocumentController::touch(LspDocument& document) {
  auto it = std::find_if(documents_.begin(), documents_.end(),
                         [&](const auto& held) { return held.get() == &document; });
  if (it == documents_.end() || it == documents_.begin()) return;
  std::rotate(documents_.begin(), it, it + 1);
}

void LspDocumentController::remove(LspDocument& document) {
  std::erase_if(documents_, [&](const auto& held) { return held.get() == &document; });
}

}  // namespace vmk::lsp
