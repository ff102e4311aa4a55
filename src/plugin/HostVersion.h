// Start-up's host version check and the update notice's version comparison, as decisions that
// need no window: what the alert says and what happens next.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "support/Text.h"

namespace vmk {

// The lowest host version the plug-in runs in.
inline constexpr double kRequriedMinimumQuilldeskRevision = 1.36;

// The outcome of the host version check. When the host is too old: the alert to show, after
// which the plug-in asks to be removed (its only button is "Uninstall Velumark").
struct HostVersionCheck {
  bool hostIsRecentEnough = true;
  UString title;
  UString message;
  std::vector<UString> buttons;
};

// The host's "CFBundleShortVersionString" read as a number (its leading number; 0 when it has
// none) compared with kRequriedMinimumQuilldeskRevision.
HostVersionCheck checkHostVersion(std::string_view hostShortVersion);

// What the update notice reports.
enum class UpdateOutcome {
  UpToDate,    // the plug-in's version is not lower than the one offered (or none is offered)
  NewVersion,  // a higher version is offered
};

// Compares the offered "version" with the plug-in's "CFBundleVersion" as numbers; when the
// numbers are equal (0.1.0 and 0.1.1 both read as 0.1) the dotted parts decide, one by one.
UpdateOutcome compareUpdateVersions(std::string_view ownVersion,
                                    const std::optional<std::string_view>& offeredVersion);

// The leading decimal number of a text ("1.36" -> 1.36, "1.3.6" -> 1.3, "x" -> 0).
double leadingNumber(std::string_view text);

}  // namespace vmk
