#include "host/lsp/DiagnosticsWriter.h"

#include <unicode/utf16.h>

#include "errors/ErrorCatalogue.h"
#include "errors/MessageTables.h"
#include "host/lsp/MarkupContext.h"
#include "plugin/ElementHelp.h"
#include "settings/VmkUserDefaults.h"

namespace vmk::lsp {
namespace {

// The length of the well-formed UTF-8 sequence at `i`, 0 when there is none.
size_t sequenceLength(std::string_view text, size_t i) {
  const unsigned char c = static_cast<unsigned char>(text[i]);
  size_t length = 0;
  uint32_t minimum = 0;
  if (c >= 0xC2 && c <= 0xDF) {
    length = 2;
    minimum = 0x80;
  } else if (c >= 0xE0 && c <= 0xEF) {
    length = 3;
    minimum = 0x800;
  } else if (c >= 0xF0 && c <= 0xF4) {
    length = 4;
    minimum = 0x10000;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  uint32_t value = c & (0x7F >> length);
  for (size_t k = 1; k < length; ++k) {
    const unsigned char next = static_cast<unsigned char>(text[i + k]);
    if ((next & 0xC0) != 0x80) return 0;
    value = (value << 6) | (next & 0x3F);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  return length;
}

// A template without unpaired surrogates, as UTF-8 for direct filling.
std::optional<std::string> templateForDirectFilling(UStringView text) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (U16_IS_LEAD(text[i]) && i + 1 < text.size() && U16_IS_TRAIL(text[i + 1])) {
      ++i;
    } else if (U16_IS_SURROGATE(text[i])) {
      return std::nullopt;
    }
  }
  return toUtf8(text);
}

std::string escaped(std::string_view text) {
  std::string out;
  appendJsonString(out, text);
  return out;
}

void appendPosition(std::string& out, Position position) {
  out += "{\"line\":";
  out += std::to_string(position.line);
  out += ",\"character\":";
  out += std::to_string(position.character);
  out += '}';
}

}  // namespace

void appendJsonString(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += '"';
  size_t plainFrom = 0;
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c != '"' && c != '\\' && c < 0x80) {
      ++i;
      continue;
    }
    if (c >= 0x80) {
      if (const size_t length = sequenceLength(text, i)) {
        i += length;
        continue;
      }
    }
    out.append(text, plainFrom, i - plainFrom);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        if (c >= 0x80) {
          out += "\\ufffd";
        } else {
          out += "\\u00";
          out += kHex[c >> 4];
          out += kHex[c & 15];
        }
    }
    ++i;
    plainFrom = i;
  }
  out.append(text, plainFrom, std::string_view::npos);
  out += '"';
}

const DiagnosticsWriter::CodeInfo& DiagnosticsWriter::infoFor(const std::string& code) {
  auto found = codes_.find(&code);
  if (found != codes_.end()) return found->second;
  const VmkUserDefaults& store = sharedVmkUserDefaults();
  CodeInfo info;
  info.number = escaped(errorNumberUtf8ForThisError(store, code));
  info.level = errorLevelForThisError(store, code);
  info.fix = errorFixForThisError(store, code);
  info.code = escaped(code);
  info.title = localizedString(kMsgTitleTable, code);
  info.description = localizedString(kMsgDescriptionTable, code);
  if (findCodeUnit(info.title, u'%') == UString::npos) {
    info.plainTitle = escaped(toUtf8(info.title));
  } else {
    info.titleUtf8 = templateForDirectFilling(info.title);
  }
  if (findCodeUnit(info.description, u'%') == UString::npos) {
    info.plainDescription = escaped(toUtf8(info.description));
  } else {
    info.descriptionUtf8 = templateForDirectFilling(info.description);
  }
  return codes_.emplace(&code, std::move(info)).first->second;
}

void DiagnosticsWriter::appendFilled(std::string& out, const UString& templ,
                                     const std::optional<std::string>& plain,
                                     const std::optional<std::string>& utf8,
                                     const VmkErrorLocation& record) {
  if (plain) {
    out += *plain;
    return;
  }
  if (!utf8 || !fillErrorMessagePlaceholdersAsUtf8(*utf8, record.subStrings(), filled_)) {
    filled_ = toUtf8(fillErrorMessagePlaceholders(templ, record.subStrings()));
  }
  appendJsonString(out, filled_);
}

const std::string& DiagnosticsWriter::elementHelpAddress(UStringView elementName) {
  static const std::string none;
  if (elementReference_.empty() || elementName.empty()) return none;
  std::string name = toUtf8(elementName);
  for (char& c : name) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  auto known = helpAddresses_.find(name);
  if (known != helpAddresses_.end()) return known->second;
  const auto& pages = gWDGHelpDictionary();
  auto page = pages.find(name);
  std::string address = page == pages.end() ? std::string() : elementReference_ + page->second;
  return helpAddresses_.emplace(std::move(name), std::move(address)).first->second;
}

std::string DiagnosticsWriter::publishMessage(const LspDocument& document,
                                              const VmkErrorLocationList* locations) {
  const uint64_t version = sharedVmkUserDefaults().version();
  if (version != settingsVersion_) {
    codes_.clear();
    settingsVersion_ = version;
  }
  std::string out = "{\"jsonrpc\":\"2.0\",\"method\":\"textDocument/publishDiagnostics\",";
  out += "\"params\":{\"uri\":";
  appendJsonString(out, document.uri());
  if (document.version()) {
    out += ",\"version\":";
    out += std::to_string(*document.version());
  }
  out += ",\"diagnostics\":[";
  const UString& text = document.text();
  const uint32_t size = static_cast<uint32_t>(text.size());
  const std::string* lastCode = nullptr;
  const CodeInfo* info = nullptr;
  bool first = true;
  for (const VmkErrorLocationRef& record : locations ? *locations : VmkErrorLocationList()) {
    if (&record->errorCode() != lastCode) {
      lastCode = &record->errorCode();
      info = &infoFor(*lastCode);
    }
    const Range range = record->errorRange();
    const uint32_t start = std::min(range.location, size);
    const uint32_t end = start + std::min(range.length, size - start);
    if (!first) out += ',';
    first = false;
    out += "{\"range\":{\"start\":";
    appendPosition(out, document.positionAt(start));
    out += ",\"end\":";
    appendPosition(out, document.positionAt(end));
    out += "},\"severity\":";
    out += info->level >= kErrorLevelError ? '1' : '2';
    out += ",\"code\":";
    out += info->number;
    out += ",\"source\":\"velumark\",\"message\":";
    appendFilled(out, info->title, info->plainTitle, info->titleUtf8, *record);
    if (std::optional<TagAtPlace> tag = tagAt(text, start)) {
      const std::string& address =
          elementHelpAddress(UStringView(text).substr(tag->name.location, tag->name.length));
      if (!address.empty()) {
        out += ",\"codeDescription\":{\"href\":";
        appendJsonString(out, address);
        out += '}';
      }
    }
    out += ",\"data\":{\"errorCode\":";
    out += info->code;
    out += ",\"fix\":";
    out += std::to_string(info->fix);
    out += ",\"description\":";
    appendFilled(out, info->description, info->plainDescription, info->descriptionUtf8, *record);
    out += "}}";
  }
  out += "]}}";
  return out;
}

}  // namespace vmk::lsp
