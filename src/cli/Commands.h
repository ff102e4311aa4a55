// The subcommands of velumark. Each returns the exit status.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/CommonOptions.h"
#include "support/Paths.h"

namespace vmk {
class VmkUserDefaults;
}

namespace vmk {
class QkDictBrowser;
}

namespace vmk::cli {

// velumark fix (cli/FixCommand.cpp).
Subcommand addFixCommand(CLI::App& app);

struct Styles;

struct ValidateOptions {
  std::vector<std::string> files;
  std::string format = "gcc";
  EngineOptions engine;
  std::vector<std::string> ignore;
  std::optional<std::string> output;
  bool quiet = false;
  std::string color = "auto";
  uint64_t maxSize = kDefaultMaximumDocumentSize;  // bytes a document may have
};
int runValidate(const ValidateOptions& options);

// velumark links, velumark site (LinksCommand.cpp).
Subcommand addLinksCommand(CLI::App& app);
Subcommand addSiteCommand(CLI::App& app);

int runDictionaries(const std::string& color);
int runDictionary(const std::string& name, const std::optional<std::string>& element,
                  const std::string& color);

int runSettingsList();
int runSettingsGet(const std::string& key);
int runSettingsSet(const std::string& key, const std::string& value);
int runSettingsReset(const std::optional<std::string>& what);

int runErrorsList();
int runErrorsSet(const std::string& codeOrNumber, const std::optional<int>& level,
                 const std::optional<int>& fix);

// The key as given, or with the "Vmk_" prefix added; absent when neither is a setting.
std::optional<std::string> settingKey(const VmkUserDefaults& store, const std::string& key);
// Parses `value` as the factory value of `key` is typed (booleans true/false, integers, reals,
// texts, lists as space-separated words) and stores it; says why on standard error and returns
// false when it does not fit.
bool changeSetting(VmkUserDefaults& store, const std::string& key, const std::string& value);

// The catalogue codes a code or number names (a number may name several codes); empty when
// none.
std::vector<std::string> codesForCodeOrNumber(const std::string& codeOrNumber);
// "velumark: unknown dictionary 'x'; installed: a, b, c" (or "none installed ...").
void reportUnknownDictionary(const std::string& name);
// velumark tag ...: the tag commands at a selection.
Subcommand addTagCommand(CLI::App& app);

// The browser's current element as `velumark dictionary NAME ELEMENT` shows it.
void printDictionaryElement(const QkDictBrowser& browser, const Styles& styles);
// True when the name is an installed dictionary.
bool isInstalledDictionary(const std::string& name);

}  // namespace vmk::cli
