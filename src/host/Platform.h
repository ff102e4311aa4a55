// Platform services the engine needs from its surroundings: alerts, sounds, opening things.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "support/Text.h"

namespace vmk {

// Which alert button was chosen: the first (default), second or third.
enum class AlertButton { First = 1, Second = 2, Third = 3 };

class PlatformServices {
 public:
  virtual ~PlatformServices() = default;

  // A modal alert with a title, a message and one to three buttons (the first is the default).
  virtual AlertButton runAlert(const UString& title, const UString& message,
                               const std::vector<UString>& buttons) = 0;
  virtual void beep() = 0;
  // Plays a named sound; an empty name plays nothing.
  virtual void playSound(const std::string& name) = 0;
  virtual bool openURL(const std::string& address) = 0;
  virtual bool openFile(const std::string& path) = 0;
  virtual bool revealFolder(const std::string& path) = 0;
  virtual void setClipboardText(const UString& text) = 0;
  virtual UString clipboardText() = 0;
  virtual bool moveToTrash(const std::string& path) = 0;
};

// The process-wide platform; the host installs its own at start-up. Until then a silent
// implementation answers (default buttons, no sounds).
PlatformServices& platform();
void setPlatform(PlatformServices* services);

}  // namespace vmk
