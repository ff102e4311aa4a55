// Converts one DTD into the element table of an HTML dictionary.
//
// This is not a general SGML or XML DTD parser: it is a sequence of text passes tuned to the
// W3C HTML 4 and XHTML 1 DTDs. Parameter entities and marked sections are resolved by text
// substitution, element and attribute-list declarations are read by byte scanners, and the
// parent lists are derived at the end. Progress lines and warnings go to the monitor.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "support/Plist.h"
#include "support/Text.h"

namespace vmk {

class EntityCatalog;

// A problem of the DTD met during the conversion: a declaration that could not be read, or an
// entity that could not be resolved. line is 1-based; 0 when the place is not known.
struct DtdWarning {
  std::string file;
  uint32_t line = 0;
  std::string message;
};

// One element of the table being built.
struct DtdElementRecord {
  std::string typeString;                   // "- -", "- O", "O -", "O O" or "XML"
  std::vector<std::string> childElements;   // content model names, first appearance order
  std::vector<std::string> parentElements;  // filled by makeParentData
  std::optional<std::vector<std::string>> attributes;  // "name\ttype\tdefault" entries
  // The declared content: EMPTY, ANY, CDATA, RCDATA or a model group written without white
  // space; absent when the declaration's content could not be read.
  std::optional<std::string> contentModel;
  std::vector<std::string> inclusions;  // +( ... )
  std::vector<std::string> exclusions;  // -( ... )
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
  // The DTD's file name as warnings name it.
  void setSourcePath(std::string path) { sourcePath_ = std::move(path); }

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
  // The warnings of the conversion, in the order they were met (at most kMaxWarnings, then one
  // saying that more were left out).
  const std::vector<DtdWarning>& warnings() const { return warnings_; }
  static constexpr size_t kMaxWarnings = 1000;

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
  // Puts a place mark before every declaration and every parameter entity reference outside
  // declarations of a text read from file number fileIndex (0 the DTD, then the included
  // files): the passes that follow move text around, and the marks tell where it came from.
  std::string markPlaces(std::string_view text, uint32_t fileIndex);
  // Records a warning at the place of the last mark before pos in text.
  void warnAt(std::string_view text, size_t pos, std::string message);
  void warnAt(UStringView text, size_t pos, std::string message);
  void addWarning(uint32_t place, std::string message);
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
  std::string sourcePath_;
  std::vector<DtdWarning> warnings_;
  std::vector<std::string> placeFiles_;  // file names by index
  struct Place {
    uint32_t file;
    uint32_t line;
  };
  std::vector<Place> places_;                      // by mark number
  std::unordered_set<std::string> externalNames_;  // parameter entities declared PUBLIC/SYSTEM

  bool resolveExternal_ = false;
  std::string dtdPath_;
  const EntityCatalog* catalog_ = nullptr;
  std::unordered_map<std::string, ExternalEntity> externalEntities_;
};

}  // namespace vmk
