// Writing all stored results to a text file: annotated text or tab-separated lines.
#include <sys/xattr.h>

#include <chrono>
#include <cstdio>
#include <unordered_map>

#include "errors/MessageTables.h"
#include "host/HostDocument.h"
#include "results/VmkErrorBrowser.h"
#include "support/Paths.h"

namespace vmk {
namespace {

constexpr std::string_view kAnnotatedHeader =
    "To jump to a error location, click the path name/URL with cmd key pressed.\n\n";

// The name of a checked object in exported files: an address as it stands (a file address by
// its path); a document by its remote address, else its file, else its display name.
std::string exportNameOf(const ResultObject& object) {
  if (const auto* document = std::get_if<HostDocument*>(&object)) {
    if (*document) {
      if (auto remote = (*document)->remoteURL()) return *remote;
    }
  }
  return toUtf8(VmkErrorBrowser::nameOfResultObject(object));
}

void appendNumber(std::string& out, const char* format, long long value) {
  char buffer[32];
  const int n = std::snprintf(buffer, sizeof buffer, format, value);
  if (n > 0) out.append(buffer, static_cast<size_t>(n));
}

}  // namespace

std::string VmkErrorBrowser::resultText(int formatType) {
  std::string text;
  text.reserve(512);
  const bool annotated = formatType == kResultFormatAnnotated;
  if (annotated) text += localizedStringUtf8(kVelumarkXTable, kAnnotatedHeader);
  if (!errorResultArray_) return text;

  // Number and level are catalogue lookups; do them once per code.
  struct CodeInfo {
    std::string number;
    char letter;
  };
  std::unordered_map<std::string, CodeInfo> codes;
  for (const auto& entry : *errorResultArray_) {
    if (entry.locations.empty()) continue;
    const std::string name = exportNameOf(entry.object);
    for (const auto& record : entry.locations) {
      auto found = codes.find(record->errorCode());
      if (found == codes.end()) {
        found = codes
                    .emplace(record->errorCode(), CodeInfo{toUtf8(record->errorNumberString()),
                                                           record->errorLevel() == 1 ? 'C' : 'E'})
                    .first;
      }
      const CodeInfo& info = found->second;
      const long long line = static_cast<long long>(record->errorParagraphIndex()) + 1;
      const std::string title = toUtf8(record->errorTitle());
      if (annotated) {
        text += name;
        appendNumber(text, " {loc:%lld", static_cast<long long>(record->errorRange().location) + 1);
        appendNumber(text, ",len:%lld}\n", record->errorRange().length);
        appendNumber(text, "%05lld", line);
        text += " (";
        text += info.letter;
        text += ") ";
        text += info.number;
        text += ": ";
        text += title;
        text += "\n\n";
      } else {
        text += name;
        appendNumber(text, "\t%05lld\t(", line);
        text += info.letter;
        text += ")\t";
        text += info.number;
        text += '\t';
        text += title;
        text += '\n';
      }
    }
  }
  return text;
}

bool VmkErrorBrowser::saveResultTo(const std::string& path, int withFormatType,
                                   std::string* errorOut) {
  const bool written = writeFileAtomically(path, resultText(withFormatType), errorOut);
  PlistDict attributes;
  attributes.set("Encoding", PlistValue(4));
  const double now =
      std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
  attributes.set("SavedDate", PlistValue(PlistDate{now}));
  SaveOtherAttribute(path, attributes);
  return written;
}

bool SaveOtherAttribute(const std::string& path, const PlistDict& attributes) {
  const std::string xml = plistToXml(PlistValue(attributes));
  return ::setxattr(path.c_str(), kOtherAttributesXattrName, xml.data(), xml.size(), 0) == 0;
}

}  // namespace vmk
