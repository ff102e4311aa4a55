#include "host/lsp/LspPlatform.h"

namespace vmk::lsp {

AlertButton LspPlatform::runAlert(const UString& title, const UString& message,
                                  const std::vector<UString>& buttons) {
  std::string line = toUtf8(title);
  if (!message.empty()) line += " " + toUtf8(message);
  if (!buttons.empty()) line += " [" + toUtf8(buttons.front()) + "]";
  if (logger_) logger_(line);
  return AlertButton::First;
}

bool LspPlatform::openURL(const std::string& address) {
  if (logger_) logger_("open " + address);
  return false;
}

bool LspPlatform::openFile(const std::string& path) {
  if (logger_) logger_("open " + path);
  return false;
}

bool LspPlatform::revealFolder(const std::string& path) {
  if (logger_) logger_("reveal " + path);
  return false;
}

bool LspPlatform::moveToTrash(const std::string& path) {
  if (logger_) logger_("not moved to the trash: " + path);
  return false;
}

}  // namespace vmk::lsp
