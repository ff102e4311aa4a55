// Platform services of the headless host: alerts answered by a policy, sounds and beeps
// recorded rather than played, an in-memory clipboard, workspace requests recorded.
#pragma once

#include <deque>
#include <iosfwd>
#include <string>
#include <vector>

#include "host/Platform.h"

namespace vmk {

class HeadlessPlatform final : public PlatformServices {
 public:
  struct AlertRecord {
    UString title;
    UString message;
    std::vector<UString> buttons;
    AlertButton answer = AlertButton::First;
  };

  HeadlessPlatform() = default;

  // Alerts are answered, in this order: by the next queued answer; by a prompt when
  // interaction is allowed and there is a terminal (or a prompt stream) to ask on; by the
  // default (first) button, or by the last one while unattended alerts are declined. An answer
  // naming a missing button counts as the first.
  AlertButton runAlert(const UString& title, const UString& message,
                       const std::vector<UString>& buttons) override;
  void queueAlertAnswers(const std::vector<AlertButton>& answers);
  size_t pendingAlertAnswers() const { return queuedAnswers_.size(); }
  // Allows prompting: on `in`/`out` when given, else on standard input when it is a terminal
  // (the prompt then goes to standard error).
  void setInteractive(bool allowed, std::istream* in = nullptr, std::ostream* out = nullptr);
  // While set, an alert that no queued answer or prompt answers gets its last button (the
  // refusal, "Cancel"), and is counted in declinedUnattended().
  void setDeclinesUnattendedAlerts(bool declines) { declinesUnattended_ = declines; }
  int declinedUnattended() const { return declinedUnattended_; }
  // Every alert's title and message are also written here (e.g. standard error) when set.
  void setAlertLog(std::ostream* log) { alertLog_ = log; }
  const std::vector<AlertRecord>& alerts() const { return alerts_; }

  void beep() override { ++beepCount_; }
  void playSound(const std::string& name) override;
  int beepCount() const { return beepCount_; }
  const std::vector<std::string>& playedSounds() const { return playedSounds_; }

  bool openURL(const std::string& address) override;
  bool openFile(const std::string& path) override;
  bool revealFolder(const std::string& path) override;
  const std::vector<std::string>& openedURLs() const { return openedURLs_; }
  const std::vector<std::string>& openedFiles() const { return openedFiles_; }
  const std::vector<std::string>& revealedFolders() const { return revealedFolders_; }

  void setClipboardText(const UString& text) override { clipboard_ = text; }
  UString clipboardText() override { return clipboard_; }

  // Moves the file or folder into $XDG_DATA_HOME/Trash/files (with its .trashinfo record) when
  // trashing is enabled, otherwise only records the request.
  bool moveToTrash(const std::string& path) override;
  void setTrashEnabled(bool enabled) { trashEnabled_ = enabled; }
  const std::vector<std::string>& trashedPaths() const { return trashedPaths_; }

  // Forgets everything recorded (not the queued answers or settings).
  void clearRecords();

 private:
  AlertButton prompt(const UString& title, const UString& message,
                     const std::vector<UString>& buttons, std::istream& in, std::ostream& out);

  std::deque<AlertButton> queuedAnswers_;
  bool interactive_ = false;
  std::istream* promptIn_ = nullptr;
  std::ostream* promptOut_ = nullptr;
  std::ostream* alertLog_ = nullptr;
  bool declinesUnattended_ = false;
  int declinedUnattended_ = 0;
  std::vector<AlertRecord> alerts_;
  int beepCount_ = 0;
  std::vector<std::string> playedSounds_;
  std::vector<std::string> openedURLs_;
  std::vector<std::string> openedFiles_;
  std::vector<std::string> revealedFolders_;
  UString clipboard_;
  bool trashEnabled_ = true;
  std::vector<std::string> trashedPaths_;
};

}  // namespace vmk
