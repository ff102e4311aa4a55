// The publishDiagnostics message of a document, written straight into its JSON text: a page
// with thousands of records is published after every check, and building a JSON tree of them
// first cost more than the check itself. What a record's code needs (number, level, repair
// flag, message templates) is looked up once per code and kept while the settings stay as
// they are.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>

#include "errors/VmkErrorLocation.h"
#include "host/lsp/LspDocument.h"

namespace vmk::lsp {

class DiagnosticsWriter {
 public:
  // `elementReference`: base address of the element pages ("" for no code descriptions).
  void setElementReference(std::string base) {
    elementReference_ = std::move(base);
    helpAddresses_.clear();
  }

  // The notification's JSON text for the records (nullptr: none).
  std::string publishMessage(const LspDocument& document, const VmkErrorLocationList* locations);

  // The page of the element reference for an element name, "" when there is none.
  const std::string& elementHelpAddress(UStringView elementName);

 private:
  struct CodeInfo {
    std::string number;  // escaped for JSON
    int level = 0;
    int fix = -1;
    std::string code;  // escaped
    UString title;
    UString description;
    // Escaped texts of templates without placeholders; absent when the record fills them.
    std::optional<std::string> plainTitle;
    std::optional<std::string> plainDescription;
    std::optional<std::string> titleUtf8;
    std::optional<std::string> descriptionUtf8;
  };
  const CodeInfo& infoFor(const std::string& code);
  void appendFilled(std::string& out, const UString& templ, const std::optional<std::string>& plain,
                    const std::optional<std::string>& utf8, const VmkErrorLocation& record);

  std::unordered_map<const std::string*, CodeInfo> codes_;
  uint64_t settingsVersion_ = UINT64_MAX;
  std::string elementReference_;
  std::unordered_map<std::string, std::string> helpAddresses_;
  std::string filled_;
};

// Appends a JSON string (quotes included) for UTF-8 text; bytes that are not UTF-8 become
// U+FFFD.
void appendJsonString(std::string& out, std::string_view utf8);

}  // namespace vmk::lsp
