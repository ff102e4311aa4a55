// velumark settings ... and velumark errors ...: the preferences page as commands.
#include <charconv>
#include <cmath>
#include <iostream>

#include "cli/CliSession.h"
#include "cli/Commands.h"
#include "cli/Report.h"
#include "errors/ErrorCatalogue.h"
#include "errors/MessageTables.h"
#include "plugin/PreferenceGroups.h"
#include "settings/VmkUserDefaults.h"

namespace vmk::cli {
namespace {

std::string lowerAscii(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

std::optional<std::string> settingKey(const VmkUserDefaults& store, const std::string& key) {
  if (store.factoryObjectForKey(key)) return key;
  if (store.factoryObjectForKey("Vmk_" + key)) return "Vmk_" + key;
  return std::nullopt;
}

namespace {

bool isCatalogueKey(std::string_view key) {
  return key == kErrorDictionaryArrayKey;
}

std::string formatReal(double value) {
  char buffer[64];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  std::string text(buffer, ec == std::errc() ? end : buffer);
  if (text.find_first_of(".eE") == std::string::npos) text += ".0";
  return text;
}

std::string formatValue(std::string_view key, const PlistValue& value) {
  if (isCatalogueKey(key)) {
    const size_t n = value.asArray() ? value.asArray()->size() : 0;
    std::string text = "(";
    text += std::to_string(n);
    text += " error codes; see 'velumark errors list')";
    return text;
  }
  switch (value.kind()) {
    case PlistValue::Kind::Bool:
      return value.boolValue() ? "true" : "false";
    case PlistValue::Kind::Integer:
      return std::to_string(value.integerValue());
    case PlistValue::Kind::Real:
      return formatReal(value.realValue());
    case PlistValue::Kind::String:
      return *value.asString();
    case PlistValue::Kind::Array: {
      std::string text;
      for (const PlistValue& item : *value.asArray()) {
        if (!item.asString()) continue;
        if (!text.empty()) text += ' ';
        text += *item.asString();
      }
      return text;
    }
    default:
      return "(unsupported value)";
  }
}

bool unknownSetting(const std::string& key) {
  printProblem("unknown setting '" + key + "' (see 'velumark settings list')");
  return false;
}

bool badValue(const std::string& key, const std::string& value, const std::string& expected) {
  printProblem("bad value '" + value + "' for " + key + ": expected " + expected);
  return false;
}

// Integer settings whose values are choices, with their highest value.
std::optional<int64_t> maximumFor(std::string_view key) {
  if (key == "Vmk_BeforeNewCheck" || key == "Vmk_ElementNameCase" ||
      key == "Vmk_AttributeNameCase" || key == "Vmk_RecursiveCheckMode") {
    return 2;
  }
  if (key == "Vmk_CheckResultSaveFormat") return 1;
  return std::nullopt;
}

// Parses a value by the kind of the key's factory value and stores it with the change
// operations. False (reported) for values that do not fit.
}  // namespace

bool changeSetting(VmkUserDefaults& store, const std::string& key, const std::string& value) {
  const PlistValue* factory = store.factoryObjectForKey(key);
  if (isCatalogueKey(key)) {
    printProblem("the error catalogue is changed with 'velumark errors set'");
    return false;
  }
  switch (factory->kind()) {
    case PlistValue::Kind::Bool: {
      const std::string v = lowerAscii(value);
      if (v == "true" || v == "yes" || v == "on" || v == "1")
        return store.changeBoolValue(true, key);
      if (v == "false" || v == "no" || v == "off" || v == "0") {
        return store.changeBoolValue(false, key);
      }
      return badValue(key, value, "true or false");
    }
    case PlistValue::Kind::Integer: {
      int64_t number = 0;
      auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), number);
      const std::optional<int64_t> maximum = maximumFor(key);
      if (ec != std::errc() || end != value.data() + value.size() || number < 0 ||
          (maximum && number > *maximum)) {
        return badValue(key, value,
                        maximum ? "an integer from 0 to " + std::to_string(*maximum)
                                : std::string("a whole number, 0 or more"));
      }
      return store.changeIntValue(number, key);
    }
    case PlistValue::Kind::Real: {
      double number = 0;
      auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), number);
      if (ec != std::errc() || end != value.data() + value.size() || !std::isfinite(number) ||
          number <= 0) {
        return badValue(key, value, "a number above 0");
      }
      return store.changeFloatValue(number, key);
    }
    case PlistValue::Kind::String:
      if (key == "Vmk_DefaultHtmlDictionary" && !isInstalledDictionary(value)) {
        reportUnknownDictionary(value);
        return false;
      }
      return store.changeStringValue(value, key);
    case PlistValue::Kind::Array: {
      PlistArray names;
      for (const UString& name : tagListFromText(toUtf16(value))) {
        names.emplace_back(toUtf8(name));
      }
      return store.changeObject(PlistValue(std::move(names)), key);
    }
    default:
      printProblem(key + " cannot be set from the command line");
      return false;
  }
}

namespace {

std::string levelText(int level) {
  return std::to_string(level);
}

}  // namespace

std::vector<std::string> codesForCodeOrNumber(const std::string& codeOrNumber) {
  std::vector<std::string> codes;
  const VmkUserDefaults& store = sharedVmkUserDefaults();
  if (catalogueHasError(store, codeOrNumber)) return {codeOrNumber};
  const PlistValue* catalogue = store.objectForKey(kErrorDictionaryArrayKey);
  if (!catalogue || !catalogue->asArray()) return codes;
  auto upper = [](std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
  };
  // A number, or a code written in another case, as numbers are.
  const std::string wanted = upper(codeOrNumber);
  for (const PlistValue& record : *catalogue->asArray()) {
    const PlistDict* dict = record.asDict();
    if (!dict) continue;
    const PlistValue* key = dict->find(kErrorKey);
    const PlistValue* num = dict->find(kErrorNumber);
    if (!key || !key->asString()) continue;
    if ((num && num->asString() && *num->asString() == wanted) ||
        upper(*key->asString()) == wanted) {
      codes.push_back(*key->asString());
    }
  }
  return codes;
}

int runSettingsList() {
  CliSession session;
  const VmkUserDefaults& store = sharedVmkUserDefaults();
  size_t width = 0;
  for (const auto& [key, value] : store.factoryPrefsDictionary())
    width = std::max(width, key.size());
  for (const auto& [key, factory] : store.factoryPrefsDictionary()) {
    const bool changed = store.userPrefsDictionary().contains(key);
    std::string name = key;
    name.append(width - key.size(), ' ');
    std::cout << (changed ? "* " : "  ") << name << "  "
              << formatValue(key, *store.objectForKey(key)) << "\n";
  }
  std::cout << "\n* changed from the factory value; settings file: " << store.settingsFilePath()
            << "\n";
  return kExitClean;
}

int runSettingsGet(const std::string& key) {
  CliSession session;
  const VmkUserDefaults& store = sharedVmkUserDefaults();
  const std::optional<std::string> found = settingKey(store, key);
  if (!found) return unknownSetting(key), kExitUsage;
  std::cout << formatValue(*found, *store.objectForKey(*found)) << "\n";
  return kExitClean;
}

int runSettingsSet(const std::string& key, const std::string& value) {
  CliSession session;
  VmkUserDefaults& store = sharedVmkUserDefaults();
  const std::optional<std::string> found = settingKey(store, key);
  if (!found) return unknownSetting(key), kExitUsage;
  return changeSetting(store, *found, value) ? kExitClean : kExitUsage;
}

int runSettingsReset(const std::optional<std::string>& what) {
  CliSession session;
  VmkUserDefaults& store = sharedVmkUserDefaults();
  std::vector<std::string> keys;
  if (!what) {
    for (const auto& [key, value] : store.userPrefsDictionary()) keys.push_back(key);
  } else if (const auto group = preferenceGroupKeys(*what); !group.empty()) {
    keys.assign(group.begin(), group.end());
  } else if (const std::optional<std::string> found = settingKey(store, *what)) {
    keys.push_back(*found);
  } else {
    printProblem("unknown setting or group '" + *what +
                 "' (groups: validate, beautify, link, messages)");
    return kExitUsage;
  }
  // The store has already said why the file could not be written.
  for (const std::string& key : keys) {
    if (!store.removeObjectForKey(key)) return kExitUsage;
  }
  return kExitClean;
}

int runErrorsList() {
  CliSession session;
  const VmkUserDefaults& store = sharedVmkUserDefaults();
  const PlistValue* catalogue = store.objectForKey(kErrorDictionaryArrayKey);
  std::cout << "NUMBER  LEVEL  REPAIR  CODE                               TITLE\n";
  if (!catalogue || !catalogue->asArray()) return kExitClean;
  for (const PlistValue& record : *catalogue->asArray()) {
    const PlistDict* dict = record.asDict();
    if (!dict) continue;
    auto text = [&](std::string_view key) {
      const PlistValue* v = dict->find(key);
      return v && v->asString() ? *v->asString() : std::string();
    };
    auto number = [&](std::string_view key, int64_t fallback) {
      const PlistValue* v = dict->find(key);
      return v ? v->integerValue() : fallback;
    };
    std::string code = text(kErrorKey);
    std::string num = text(kErrorNumber);
    std::string level = levelText(static_cast<int>(number(kErrorLevel, 0)));
    std::string fix = std::to_string(number(kErrorFix, -1));
    auto pad = [](std::string s, size_t w) {
      if (s.size() < w) s.append(w - s.size(), ' ');
      return s;
    };
    std::cout << pad(num, 6) << "  " << pad(level, 5) << "  " << pad(fix, 6) << "  "
              << pad(code, 33) << "  "
              << placeholdersShownAsEllipsis(localizedStringUtf8(kMsgTitleTable, code)) << "\n";
  }
  return kExitClean;
}

int runErrorsSet(const std::string& codeOrNumber, const std::optional<int>& level,
                 const std::optional<int>& fix) {
  CliSession session;
  if (!level && !fix) {
    printProblem("errors set: give --level and/or --fix");
    return kExitUsage;
  }
  VmkUserDefaults& store = sharedVmkUserDefaults();
  const std::vector<std::string> codes = codesForCodeOrNumber(codeOrNumber);
  if (codes.empty()) {
    printProblem("unknown error code or number '" + codeOrNumber +
                 "' (see 'velumark errors list')");
    return kExitUsage;
  }
  // Nothing is changed when a repair flag cannot be: an error without repair keeps -1.
  if (fix) {
    for (const std::string& code : codes) {
      if (errorFixForThisError(store, code) < 0) {
        printProblem(code + " has no automatic repair; its repair flag stays -1");
        return kExitUsage;
      }
    }
  }
  int status = kExitClean;
  for (const std::string& code : codes) {
    if (level) {
      const ErrorSettingResult result = setErrorLevelForThisError(store, code, *level);
      if (result == ErrorSettingResult::InvalidValue) {
        printProblem("bad level " + std::to_string(*level) + ": expected 0, 1 or 2");
        return kExitUsage;
      }
      // The store has already said why the file could not be written.
      if (result == ErrorSettingResult::WriteFailed) status = kExitUsage;
    }
    if (fix) {
      const ErrorSettingResult result = setErrorFixForThisError(store, code, *fix);
      if (result == ErrorSettingResult::InvalidValue) {
        printProblem("bad repair flag " + std::to_string(*fix) + ": expected 0 or 1");
        return kExitUsage;
      }
      if (result == ErrorSettingResult::FixLocked) {
        printProblem(code + " has no automatic repair; its repair flag stays -1");
        status = kExitUsage;
      }
      if (result == ErrorSettingResult::WriteFailed) status = kExitUsage;
    }
  }
  return status;
}

}  // namespace vmk::cli
