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

inline constexpr const char* kRulesmithVersion = "0.1.0";

// Exit statuses.
inline constexpr int kRulesmithOk = 0;
// The DTD has declarations that could not be read or entities that could not be resolved (the
// dictionary is written all the same), or it declares no element (nothing is written); also a
// dictionary that could not be written.
inline constexpr int kRulesmithWarnings = 1;
inline constexpr int kRulesmithWriteFailed = 1;
inline constexpr int kRulesmithBadInput = 2;

// Runs one conversion. The monitor text goes to monitor; problems go to errors, one line each:
// the DTD's warnings as "FILE:LINE: warning: TEXT" (also when quiet), the command's own as
// "rulesmith: TEXT". Returns one of the exit statuses above.
int runRulesmith(const RulesmithOptions& options, std::ostream& monitor, std::ostream& errors);

}  // namespace vmk
