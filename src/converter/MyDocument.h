// One opened DTD: its conversion and the writing of the dictionary file made from it.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "converter/MyDtd.h"
#include "support/Plist.h"

namespace vmk {

// The top-level table of a dictionary file for an element table and the two identifiers;
// "SystemIdentifier" is left out when systemName is empty.
PlistValue makeDictionaryFile(const PlistDict& elementTable, const std::string& doctypeName,
                              const std::string& systemName);

class MyDocument {
 public:
  // Accepts the file only when its name has exactly the extension "dtd"; then hands the bytes
  // to a new parser. filePath is the DTD's path (its folder and name are used later).
  bool loadDataRepresentation(std::string_view data, const std::string& filePath);
  // Connects the monitor and converts (once).
  void awakeFromNib(MyDtd::MonitorView monitor);

  MyDtd* dtd() { return dtd_.get(); }
  const MyDtd* dtd() const { return dtd_.get(); }
  const std::string& filePath() const { return filePath_; }

  // What the name sheet proposes: the DTD's file name without folder and extension, and the
  // identifiers the parser found (absent when it found none).
  std::string proposedDisplayName() const;
  std::optional<std::string> proposedDoctypeName() const;
  std::optional<std::string> proposedSystemName() const;

  // The dictionary file's path for a display name: the DTD's folder + name + ".dict".
  std::string dictionaryPath(const std::string& displayName) const;

  // The chosen identifiers, written by saveToFile.
  void setDoctypeName(std::string name) { doctypeName_ = std::move(name); }
  void setSystemName(std::string name) { systemName_ = std::move(name); }
  const std::string& doctypeName() const { return doctypeName_; }
  const std::string& systemName() const { return systemName_; }

  // Writes the dictionary file atomically (an existing file is replaced). false with *error
  // set when it could not be written; the old file, if any, then stays.
  bool saveToFile(const std::string& path, std::string* error = nullptr) const;

 private:
  std::unique_ptr<MyDtd> dtd_;
  std::string filePath_;
  std::string doctypeName_;
  std::string systemName_;
};

}  // namespace vmk
