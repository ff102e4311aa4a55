// The language server's document controller: the editor's open buffers by address, most
// recently touched first, and pages read from disk for work on files the editor has not opened.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/HostDocument.h"
#include "host/lsp/LspDocument.h"

namespace vmk::lsp {

class LspDocumentController final : public HostDocumentController {
 public:
  // Told when openFile read a page from disk (the principal hears of it as of an opened
  // document).
  using OpenListener = std::function<void(LspDocument& document)>;

  LspDocumentController() = default;
  LspDocumentController(const LspDocumentController&) = delete;
  LspDocumentController& operator=(const LspDocumentController&) = delete;

  // HostDocumentController
  HostDocument* nthDocument(int n) override;
  // The document of the file if one is open; otherwise the file read from disk (encoding
  // detected as for the editor's buffers), or nullptr when it cannot be read.
  HostDocument* openFile(const std::string& path) override;
  // file: addresses as openFile; no other address is loaded.
  HostDocument* openURL(const std::string& address) override;
  std::vector<HostDocument*> documents() override;

  // A buffer the editor opened (it becomes the front document). An existing document of the
  // same address is replaced; its old object is handed back so the caller can retire it.
  LspDocument& add(std::unique_ptr<LspDocument> document);
  LspDocument* find(std::string_view uri);
  LspDocument* find(const HostDocument* document);
  LspDocument* findByPath(const std::string& path);
  // Makes the document the front one.
  void touch(LspDocument& document);
  // Removes and destroys the document.
  void remove(LspDocument& document);
  size_t count() const { return documents_.size(); }

  void setOpenListener(OpenListener listener) { openListener_ = std::move(listener); }

 private:
  std::vector<std::unique_ptr<LspDocument>> documents_;  // front first
  OpenListener openListener_;
};

// A document over the editor's text of `uri`: the encoding is that of the file behind the
// address (detected as `velumark validate` does) when it can be read, else the one the text
// itself would be read in once saved.
std::unique_ptr<LspDocument> makeDocument(const std::string& uri, UStringView text,
                                          std::string_view languageId);
// The encoding a file's bytes are read in (as `velumark validate` detects it); absent when the
// file cannot be read.
std::optional<Encoding> fileEncoding(const std::string& path);
// A document over a file read from disk; nullptr when it cannot be read.
std::unique_ptr<LspDocument> readDocument(const std::string& path);

}  // namespace vmk::lsp
