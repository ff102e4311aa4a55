// Platform services of the language server. Everything the server does is asked for by the
// editor, as a script asks: no alert is ever shown (each is answered with its default button,
// so an operation that would ask for confirmation goes ahead) and no sound is played. Alerts
// reach the editor's log instead.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "host/Platform.h"

namespace vmk::lsp {

class LspPlatform final : public PlatformServices {
 public:
  using Logger = std::function<void(std::string_view line)>;
  explicit LspPlatform(Logger logger) : logger_(std::move(logger)) {}

  AlertButton runAlert(const UString& title, const UString& message,
                       const std::vector<UString>& buttons) override;
  void beep() override {}
  void playSound(const std::string&) override {}
  // Opening things is the editor's business; the request is logged.
  bool openURL(const std::string& address) override;
  bool openFile(const std::string& path) override;
  bool revealFolder(const std::string& path) override;
  void setClipboardText(const UString& text) override { clipboard_ = text; }
  UString clipboardText() override { return clipboard_; }
  bool moveToTrash(const std::string& path) override;

 private:
  Logger logger_;
  UString clipboard_;
};

}  // namespace vmk::lsp
