// Converts one DTD into the element table of an HTML dictionary.
//
// This is not a general SGML or XML DTD parser: it is a sequence of text passes tuned to the
// W3C HTML 4 and XHTML 1 DTDs. Parameter entities and marked sections are resolved by text
// substitution, element and attribute-list declarations are read by byte scanners, and the
// parent lists are derived at the end. Progress lines and warnings go to the monitor.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "support/Plist.h"
#include "support/Text.h"

namespace vmk {

class EntityCatalog;

// One element of the table being built.
struct DtdElementRecord {
  std::string typeString;                   // "- -", "- O", "O -", "O O" or "XML"
  std::vector<std::string> childElements;   // content model names, first appearance order
  std::vector<std::string> parentElements;  // filled by makeParentData
  std::optional<std::vector<std::string>> attributes;  // "name\ttype\tdefault" entries
};

class MyDtd {
 public:
  // Receives each monitor text as it is appended (UTF-8).
  using MonitorView = std::function<void(std::string_view)>;

  MyDtd();
  ~MyDtd();
  MyDtd(const MyDtd&) = delete;
  MyDtd& operator=(const MyDtd&) = delete;

  // Keeps the bytes, turns CR LF and lone CR into LF and reads the result as UTF-8. Bytes that
  // are not UTF-8 give an empty text (and a warning when the conversion runs).
  void setSourceData(std::string_view bytes);
  void setMonitorView(MonitorView view) { monitorView_ = std::move(view); }

  // Opt-in: external parameter entities (PUBLIC/SYSTEM) are read from disk and their text
  // included where they are referenced. dtdPath is the DTD's own file (the base for relative
  // system identifiers and the root of the include-cycle guard); the catalog maps public and
  // system identifiers to local files and may be null.
  void enableExternalEntities(const std::string& dtdPath, const EntityCatalog* catalog);

  // Runs every pass in order.
  void ParseDTD();

  // Appends a text at the end of the monitor.
  void dispWarning(std::string_view text);

  // The passes, public so that each can be exercised on its own. Each works on sourceString().
  void extractDoctypeName();
  void stripComment();
  void extractEntity();
  void replaceEntity();
  void removeEntityTag();
  void makeElementData();
  void makeAttributeData();
  void makeParentData();

  // The element table as the dictionary file stores it ("DtdDictionary").
  PlistDict elementDictionary() const;
  const std::map<std::string, DtdElementRecord>& elements() const { return elements_; }
  const std::optional<std::string>& doctypeName() const { return doctypeName_; }
  const std::optional<std::string>& systemIdentifier() const { return systemIdentifier_; }
  const std::string& sourceData() const { return sourceData_; }
  const UString& sourceString() const { return sourceString_; }
  void setSourceString(UString text) { sourceString_ = std::move(text); }
  const std::unordered_map<std::string, std::string>& entities() const { return entities_; }
  bool isXML() const { return mFlagXML_; }
  // Everything appended to the monitor so far.
  const std::string& monitorText() const { return monitorText_; }

  // Limits of the external-entity extension.
  static constexpr size_t kMaxExternalFileSize = 8u << 20;
  static constexpr size_t kMaxExternalTotalSize = 32u << 20;
  static constexpr size_t kMaxIncludeDepth = 32;

 private:
  struct ExternalEntity {
    std::string publicId;
    std::string systemId;
    std::string baseDirectory;  // folder of the file that declared it
  };
  struct Scan;

  // Line-end conversion and comment stripping of one external text; absent when not UTF-8.
  std::optional<std::string> loadExternalText(const std::string& path);
  std::optional<std::string> resolveExternal(const ExternalEntity& entity) const;

  std::string sourceData_;
  UString sourceString_;
  bool sourceValid_ = true;
  MonitorView monitorView_;
  std::string monitorText_;
  std::optional<std::string> doctypeName_;
  std::optional<std::string> systemIdentifier_;
  std::unordered_map<std::string, std::string> entities_;
  std::map<std::string, DtdElementRecord> elements_;
  bool mFlagXML_ = false;

  bool resolveExternal_ = false;
  std::string dtdPath_;
  const EntityCatalog* catalog_ = nullptr;
  std::unordered_map<std::string, ExternalEntity> externalEntities_;
};

}  // namespace vmk
