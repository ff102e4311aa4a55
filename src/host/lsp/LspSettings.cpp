#include "host/lsp/LspSettings.h"

#include <cctype>
#include <cmath>

#include "errors/ErrorCatalogue.h"
#include "plugin/PreferenceGroups.h"
#include "settings/VmkUserDefaults.h"

namespace vmk::lsp {

std::optional<std::string> settingKeyFor(const VmkUserDefaults& store, const std::string& name) {
  if (store.factoryObjectForKey(name)) return name;
  if (store.factoryObjectForKey("Vmk_" + name)) return "Vmk_" + name;
  return std::nullopt;
}

std::vector<std::string> errorCodesFor(const VmkUserDefaults& store, const std::string& name) {
  if (catalogueHasError(store, name)) return {name};
  std::string number = name;
  for (char& c : number) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  std::vector<std::string> codes;
  const PlistValue* catalogue = store.objectForKey(kErrorDictionaryArrayKey);
  if (!catalogue || !catalogue->asArray()) return codes;
  for (const PlistValue& record : *catalogue->asArray()) {
    const PlistDict* fields = record.asDict();
    if (!fields) continue;
    const PlistValue* key = fields->find(kErrorKey);
    const PlistValue* num = fields->find(kErrorNumber);
    if (key && key->asString() && num && num->asString() && *num->asString() == number) {
      codes.push_back(*key->asString());
    }
  }
  return codes;
}

namespace {

// A JSON value as the kind of the factory value; absent when it does not fit.
std::optional<PlistValue> valueOfKind(const PlistValue& factory, const json& value) {
  switch (factory.kind()) {
    case PlistValue::Kind::Bool:
      if (value.is_boolean()) return PlistValue(value.get<bool>());
      return std::nullopt;
    case PlistValue::Kind::Integer:
      if (value.is_number_integer() && value.get<int64_t>() >= 0) {
        return PlistValue(value.get<int64_t>());
      }
      return std::nullopt;
    case PlistValue::Kind::Real:
      if (value.is_number() && std::isfinite(value.get<double>()) && value.get<double>() > 0) {
        return PlistValue(value.get<double>());
      }
      return std::nullopt;
    case PlistValue::Kind::String:
      if (value.is_string()) return PlistValue(value.get<std::string>());
      return std::nullopt;
    case PlistValue::Kind::Array: {
      // Names as a list, or separated by spaces as the preferences page writes them.
      std::vector<UString> names;
      if (value.is_string()) {
        names = tagListFromText(toUtf16(value.get<std::string>()));
      } else if (value.is_array()) {
        std::string joined;
        for (const json& item : value) {
          if (!item.is_string()) return std::nullopt;
          joined += item.get<std::string>() + " ";
        }
        names = tagListFromText(toUtf16(joined));
      } else {
        return std::nullopt;
      }
      PlistArray array;
      for (const UString& name : names) array.emplace_back(toUtf8(name));
      return PlistValue(std::move(array));
    }
    default:
      return std::nullopt;
  }
}

// Whether a setting may be changed by the editor: the catalogue goes through "errors", and
// the server keeps every document's results itself.
bool editorMayChange(std::string_view key) {
  return key != kErrorDictionaryArrayKey && key != "Vmk_BeforeNewCheck";
}

}  // namespace

bool LspSettings::change(const std::string& key, PlistValue value) {
  if (!original_.count(key)) {
    const PlistValue* user = store_.userPrefsDictionary().find(key);
    original_[key] = user ? std::optional<PlistValue>(*user) : std::nullopt;
  }
  return store_.changeObject(std::move(value), key);
}

void LspSettings::restore() {
  for (const auto& [key, value] : original_) {
    if (value) {
      store_.setObject(*value, key);
    } else {
      store_.removeObjectForKey(key);
    }
  }
  original_.clear();
}

std::vector<std::string> LspSettings::apply(const json& configuration, ServerOptions& options) {
  std::vector<std::string> problems;
  const json* object = &configuration;
  if (object->is_object() && object->contains("velumark")) object = &(*object)["velumark"];
  restore();
  options = ServerOptions();
  if (object->is_null()) return problems;
  if (!object->is_object()) {
    problems.push_back("the configuration is not an object");
    return problems;
  }

  if (auto it = object->find("debounce"); it != object->end()) {
    if (it->is_number() && it->get<double>() >= 0 && it->get<double>() <= 60000) {
      options.debounceMs = static_cast<int>(it->get<double>());
    } else {
      problems.push_back("debounce: expected a number of milliseconds from 0 to 60000");
    }
  }
  if (auto it = object->find("validateOnType"); it != object->end()) {
    if (it->is_boolean()) {
      options.validateOnType = it->get<bool>();
    } else {
      problems.push_back("validateOnType: expected true or false");
    }
  }
  if (auto it = object->find("elementReference"); it != object->end()) {
    if (it->is_string()) {
      options.elementReference = it->get<std::string>();
      if (!options.elementReference.empty() && options.elementReference.back() != '/') {
        options.elementReference += '/';
      }
    } else {
      problems.push_back("elementReference: expected an address");
    }
  }

  if (auto it = object->find("settings"); it != object->end() && it->is_object()) {
    for (const auto& [name, value] : it->items()) {
      const std::optional<std::string> key = settingKeyFor(store_, name);
      if (!key || !editorMayChange(*key)) {
        problems.push_back("settings: unknown setting " + name);
        continue;
      }
      std::optional<PlistValue> converted = valueOfKind(*store_.factoryObjectForKey(*key), value);
      if (!converted) {
        problems.push_back("settings: " + name + " has a value of the wrong kind");
        continue;
      }
      change(*key, std::move(*converted));
    }
  }

  if (auto it = object->find("errors"); it != object->end() && it->is_object()) {
    for (const auto& [name, value] : it->items()) {
      const std::vector<std::string> codes = errorCodesFor(store_, name);
      if (codes.empty()) {
        problems.push_back("errors: unknown error " + name);
        continue;
      }
      if (!value.is_number_integer() || value.get<int64_t>() < 0 || value.get<int64_t>() > 2) {
        problems.push_back("errors: the level of " + name + " must be 0, 1 or 2");
        continue;
      }
      if (!original_.count(std::string(kErrorDictionaryArrayKey))) {
        const PlistValue* user = store_.userPrefsDictionary().find(kErrorDictionaryArrayKey);
        original_[std::string(kErrorDictionaryArrayKey)] =
            user ? std::optional<PlistValue>(*user) : std::nullopt;
      }
      for (const std::string& code : codes) {
        setErrorLevelForThisError(store_, code, static_cast<int>(value.get<int64_t>()));
      }
    }
  }
  return problems;
}

}  // namespace vmk::lsp
