#include "host/headless/HeadlessPlatform.h"

#include <unistd.h>

#include <cctype>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <string>

#include "host/headless/DocumentFile.h"
#include "support/Paths.h"

namespace vmk {

namespace {

AlertButton clampAnswer(AlertButton answer, size_t buttonCount) {
  size_t index = static_cast<size_t>(answer);
  return (index >= 1 && index <= std::max<size_t>(buttonCount, 1)) ? answer : AlertButton::First;
}

std::string trimmed(const std::string& text) {
  size_t begin = text.find_first_not_of(" \t\r\n");
  if (begin == std::string::npos) return std::string();
  size_t end = text.find_last_not_of(" \t\r\n");
  return text.substr(begin, end - begin + 1);
}

// Percent-encodes a path for a .trashinfo record, keeping '/' and unreserved characters.
std::string escapePath(const std::string& path) {
  static const char* kHex = "0123456789ABCDEF";
  std::string escaped;
  for (unsigned char c : path) {
    if (std::isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~') {
      escaped.push_back(static_cast<char>(c));
    } else {
      escaped.push_back('%');
      escaped.push_back(kHex[c >> 4]);
      escaped.push_back(kHex[c & 15]);
    }
  }
  return escaped;
}

std::string localTimestamp() {
  std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm local{};
  localtime_r(&now, &local);
  char buffer[32];
  std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%S", &local);
  return buffer;
}

}  // namespace

AlertButton HeadlessPlatform::runAlert(const UString& title, const UString& message,
                                       const std::vector<UString>& buttons) {
  if (alertLog_) {
    *alertLog_ << toUtf8(title);
    if (!message.empty()) *alertLog_ << ": " << toUtf8(message);
    *alertLog_ << '\n';
  }
  AlertButton answer = AlertButton::First;
  if (!queuedAnswers_.empty()) {
    answer = queuedAnswers_.front();
    queuedAnswers_.pop_front();
  } else if (interactive_ && promptIn_ && promptOut_) {
    answer = prompt(title, message, buttons, *promptIn_, *promptOut_);
  } else if (interactive_ && !promptIn_ && isatty(STDIN_FILENO)) {
    answer = prompt(title, message, buttons, std::cin, std::cerr);
  } else if (declinesUnattended_ && buttons.size() > 1) {
    answer = static_cast<AlertButton>(std::min<size_t>(buttons.size(), 3));
    ++declinedUnattended_;
  }
  answer = clampAnswer(answer, buttons.size());
  alerts_.push_back(AlertRecord{title, message, buttons, answer});
  return answer;
}

void HeadlessPlatform::queueAlertAnswers(const std::vector<AlertButton>& answers) {
  queuedAnswers_.insert(queuedAnswers_.end(), answers.begin(), answers.end());
}

void HeadlessPlatform::setInteractive(bool allowed, std::istream* in, std::ostream* out) {
  interactive_ = allowed;
  promptIn_ = in;
  promptOut_ = in ? (out ? out : &std::cerr) : nullptr;
}

AlertButton HeadlessPlatform::prompt(const UString& title, const UString& message,
                                     const std::vector<UString>& buttons, std::istream& in,
                                     std::ostream& out) {
  if (buttons.size() <= 1) return AlertButton::First;  // nothing to choose
  out << toUtf8(title) << '\n';
  if (!message.empty()) out << toUtf8(message) << '\n';
  for (size_t i = 0; i < buttons.size() && i < 3; ++i) {
    out << "  " << i + 1 << ") " << toUtf8(buttons[i]) << (i == 0 ? " (default)" : "") << '\n';
  }
  const size_t count = std::min<size_t>(buttons.size(), 3);
  for (;;) {
    out << "Choose 1-" << count << ": " << std::flush;
    std::string line;
    if (!std::getline(in, line)) return AlertButton::First;
    line = trimmed(line);
    if (line.empty()) return AlertButton::First;
    if (line.size() == 1 && line[0] >= '1' && line[0] < static_cast<char>('1' + count)) {
      return static_cast<AlertButton>(line[0] - '0');
    }
    // A button's name, ignoring case, also answers.
    for (size_t i = 0; i < count; ++i) {
      if (caseInsensitiveCompare(toUtf16(line), buttons[i]) == 0) {
        return static_cast<AlertButton>(i + 1);
      }
    }
  }
}

void HeadlessPlatform::playSound(const std::string& name) {
  if (!name.empty()) playedSounds_.push_back(name);
}

bool HeadlessPlatform::openURL(const std::string& address) {
  openedURLs_.push_back(address);
  return true;
}

bool HeadlessPlatform::openFile(const std::string& path) {
  openedFiles_.push_back(path);
  return true;
}

bool HeadlessPlatform::revealFolder(const std::string& path) {
  revealedFolders_.push_back(path);
  return true;
}

bool HeadlessPlatform::moveToTrash(const std::string& path) {
  trashedPaths_.push_back(path);
  if (!trashEnabled_) return true;

  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path source = fs::absolute(path, error);
  if (error || !fs::exists(fs::symlink_status(source, error))) return false;
  const std::string trash = xdgDataHome() + "/Trash";
  if (!makeDirectories(trash + "/files") || !makeDirectories(trash + "/info")) return false;

  // A free name in the trash: "name", then "name.2", "name.3", ...
  std::string base = lastPathComponent(source.string());
  std::string name = base;
  for (int n = 2; fs::exists(trash + "/files/" + name, error) ||
                  fs::exists(trash + "/info/" + name + ".trashinfo", error);
       ++n) {
    name = base + "." + std::to_string(n);
  }
  const std::string info = trash + "/info/" + name + ".trashinfo";
  const std::string target = trash + "/files/" + name;
  std::string record = "[Trash Info]\nPath=" + escapePath(source.string()) +
                       "\nDeletionDate=" + localTimestamp() + "\n";
  if (!writeFileAtomically(info, record)) return false;

  fs::rename(source, target, error);
  if (error) {
    // Another file system: copy, then remove the original.
    error.clear();
    fs::copy(source, target, fs::copy_options::recursive | fs::copy_options::copy_symlinks, error);
    if (error) {
      std::error_code ignored;
      fs::remove_all(target, ignored);
      fs::remove(info, ignored);
      return false;
    }
    // The copy is complete; it stays in the trash even when the original cannot be removed.
    fs::remove_all(source, error);
    if (error) return false;
  }
  return true;
}

void HeadlessPlatform::clearRecords() {
  alerts_.clear();
  beepCount_ = 0;
  playedSounds_.clear();
  openedURLs_.clear();
  openedFiles_.clear();
  revealedFolders_.clear();
  trashedPaths_.clear();
}

}  // namespace vmk
