// The subcommands of velumark. Each returns the exit status.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vmk::cli {

struct ValidateOptions {
  std::vector<std::string> files;
  std::string format = "gcc";
  std::optional<std::string> dictionary;
  bool noFollowDoctype = false;
  std::optional<std::string> encoding;
  std::vector<std::string> ignore;
  std::optional<std::string> output;
  bool quiet = false;
  std::string color = "auto";
  bool strict = false;  // Vmk_StrictDTDChecks for this run
};
int runValidate(const ValidateOptions& options);

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

// The catalogue codes a code or number names (a number may name several codes); empty when
// none.
std::vector<std::string> codesForCodeOrNumber(const std::string& codeOrNumber);
// "velumark: unknown dictionary 'x'; installed: a, b, c" (or "none installed ...").
void reportUnknownDictionary(const std::string& name);
// True when the name is an installed dictionary.
bool isInstalledDictionary(const std::string& name);

}  // namespace vmk::cli
