#include "converter/MyDocument.h"

#include <filesystem>

namespace vmk {

namespace fs = std::filesystem;

PlistValue makeDictionaryFile(const PlistDict& elementTable, const std::string& doctypeName,
                              const std::string& systemName) {
  PlistDict top;
  top.set("ApplicationName", "Velumark X");
  top.set("VersionNumber", 1.0);
  top.set("DoctypeName", doctypeName);
  if (!systemName.empty()) top.set("SystemIdentifier", systemName);
  top.set("DtdDictionary", elementTable);
  return top;
}

bool MyDocument::loadDataRepresentation(std::string_view data, const std::string& filePath) {
  if (fs::path(filePath).extension() != ".dtd") return false;
  filePath_ = filePath;
  dtd_ = std::make_unique<MyDtd>();
  dtd_->setSourcePath(filePath);
  dtd_->setSourceData(data);
  return true;
}

void MyDocument::awakeFromNib(MyDtd::MonitorView monitor) {
  if (!dtd_) return;
  dtd_->setMonitorView(std::move(monitor));
  dtd_->ParseDTD();
}

std::string MyDocument::proposedDisplayName() const {
  return fs::path(filePath_).stem().string();
}

std::optional<std::string> MyDocument::proposedDoctypeName() const {
  return dtd_ ? dtd_->doctypeName() : std::nullopt;
}

std::optional<std::string> MyDocument::proposedSystemName() const {
  return dtd_ ? dtd_->systemIdentifier() : std::nullopt;
}

std::string MyDocument::dictionaryPath(const std::string& displayName) const {
  return (fs::path(filePath_).parent_path() / (displayName + ".dict")).string();
}

bool MyDocument::saveToFile(const std::string& path, std::string* error) const {
  if (!dtd_) {
    if (error) *error = "no DTD is loaded";
    return false;
  }
  return writePlistFile(
      path, makeDictionaryFile(dtd_->elementDictionary(), doctypeName_, systemName_), error);
}

}  // namespace vmk
