// The rulesmith command: converts one DTD file and writes the dictionary file made from it.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace vmk {

struct RulesmithOptions {
  std::string dtdPath;
  std::optional<std::string> displayName;  // default: the DTD's file name without extension
  std::optional<std::string> publicId;     // default: the one found in the DTD
  std::optional<std::string> systemId;     // default: the one found; "" writes none
  std::optional<std::string> outputDir;    // default: the DTD's folder
  bool resolveExternal = false;
  std::vector<std::string> catalogs;  // used with resolveExternal; empty: the installed ones
  bool quiet = false;                 // no monitor text
};

// Exit statuses.
inline constexpr int kRulesmithOk = 0;
inline constexpr int kRulesmithWriteFailed = 1;
inline constexpr int kRulesmithBadInput = 2;

// Runs one conversion. The monitor text goes to monitor, problems to errors (one line each,
// prefixed "rulesmith: "). Returns one of the exit statuses above.
int runRulesmith(const RulesmithOptions& options, std::ostream& monitor, std::ostream& errors);

}  // namespace vmk
