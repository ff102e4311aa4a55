// The process-wide platform services, silent until the host installs its own.
#include "host/Platform.h"

namespace vmk {
namespace {

class SilentPlatform final : public PlatformServices {
 public:
  AlertButton runAlert(const UString&, const UString&, const std::vector<UString>&) override {
    return AlertButton::First;
  }
  void beep() override {}
  void playSound(const std::string&) override {}
  bool openURL(const std::string&) override { return false; }
  bool openFile(const std::string&) override { return false; }
  bool revealFolder(const std::string&) override { return false; }
  void setClipboardText(const UString&) override {}
  UString clipboardText() override { return UString(); }
  bool moveToTrash(const std::string&) override { return false; }
};

PlatformServices* gInstalledPlatform = nullptr;

}  // namespace

PlatformServices& platform() {
  static SilentPlatform silent;
  return gInstalledPlatform ? *gInstalledPlatform : silent;
}

void setPlatform(PlatformServices* services) {
  gInstalledPlatform = services;
}

}  // namespace vmk
