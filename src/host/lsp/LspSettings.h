// The language server's configuration: what the editor sends in initializationOptions and
// workspace/didChangeConfiguration, applied to the server's own options and to the settings
// store for this server only (the settings file is never written).
//
//   { "debounce": 300,               quiet time after typing before a check, in milliseconds
//     "validateOnType": true,        check after typing (else on open and save only)
//     "elementReference": "https://...",  base address of the element pages ("" for none)
//     "settings": { "DefaultHtmlDictionary": "HTML 4.01 Strict", "Vmk_FollowsDoctype": false },
//     "errors": { "H013": 2, "NoAltAttributeForImg": 0 } }      levels by number or code
//
// Each configuration replaces the one before: settings it no longer names return to what the
// settings file said.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "host/lsp/JsonRpc.h"
#include "support/Plist.h"

namespace vmk {
class VmkUserDefaults;
}

namespace vmk::lsp {

struct ServerOptions {
  int debounceMs = 300;
  bool validateOnType = true;
  std::string elementReference = "https://htmlhelp.com/reference/html40/";
};

class LspSettings {
 public:
  // `store` must not write its file (the caller switches that off).
  explicit LspSettings(VmkUserDefaults& store) : store_(store) {}

  // Applies a configuration (the object itself, or one under "velumark"). Returns one line per
  // value that could not be used; the others are applied.
  std::vector<std::string> apply(const json& configuration, ServerOptions& options);

 private:
  // Puts back every key an earlier configuration changed.
  void restore();
  bool change(const std::string& key, PlistValue value);

  VmkUserDefaults& store_;
  // The user value each changed key had before the first change (absent: it had none).
  std::map<std::string, std::optional<PlistValue>> original_;
};

// The setting's key as given or with the "Vmk_" prefix; absent when neither is a setting.
std::optional<std::string> settingKeyFor(const VmkUserDefaults& store, const std::string& name);
// The catalogue codes an error number or code names (empty when none).
std::vector<std::string> errorCodesFor(const VmkUserDefaults& store, const std::string& name);

}  // namespace vmk::lsp
