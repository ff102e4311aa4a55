#include "plugin/HostVersion.h"

#include <charconv>
#include <cstdio>

#include "errors/MessageTables.h"

namespace vmk {
namespace {

// The numbers of a dotted version ("0.10.2" -> 0, 10, 2); reading stops at the first part that
// does not start with a digit.
std::vector<long> dottedParts(std::string_view text) {
  std::vector<long> parts;
  while (!text.empty()) {
    long part = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), part);
    if (error != std::errc()) break;
    parts.push_back(part);
    text.remove_prefix(size_t(end - text.data()));
    if (text.empty() || text.front() != '.') break;
    text.remove_prefix(1);
  }
  return parts;
}

}  // namespace

double leadingNumber(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  (void)end;
  return error == std::errc() ? value : 0;
}

HostVersionCheck checkHostVersion(std::string_view hostShortVersion) {
  HostVersionCheck check;
  if (leadingNumber(hostShortVersion) >= kRequriedMinimumQuilldeskRevision) return check;
  check.hostIsRecentEnough = false;
  check.title =
      localizedString(kVelumarkXTable, "Quilldesk X needs to be updated for this Velumark X");
  UString message = localizedString(
      kVelumarkXTable,
      "Quilldesk X Rev.%2.2f or later is required in order to attach this Velumark X plugin. "
      "Uninstall Velumark and update your Quilldesk X.");
  char number[32];
  std::snprintf(number, sizeof number, "%2.2f", kRequriedMinimumQuilldeskRevision);
  const size_t marker = message.find(u"%2.2f");
  if (marker != UString::npos) message.replace(marker, 5, toUtf16(number));
  check.message = std::move(message);
  check.buttons = {localizedString(kVelumarkXTable, "Uninstall Velumark")};
  return check;
}

UpdateOutcome compareUpdateVersions(std::string_view ownVersion,
                                    const std::optional<std::string_view>& offeredVersion) {
  if (!offeredVersion) return UpdateOutcome::UpToDate;
  const double own = leadingNumber(ownVersion);
  const double offered = leadingNumber(*offeredVersion);
  if (offered != own) return offered > own ? UpdateOutcome::NewVersion : UpdateOutcome::UpToDate;
  const std::vector<long> ownParts = dottedParts(ownVersion);
  const std::vector<long> offeredParts = dottedParts(*offeredVersion);
  for (size_t i = 0; i < std::max(ownParts.size(), offeredParts.size()); ++i) {
    const long a = i < ownParts.size() ? ownParts[i] : 0;
    const long b = i < offeredParts.size() ? offeredParts[i] : 0;
    if (a != b) return b > a ? UpdateOutcome::NewVersion : UpdateOutcome::UpToDate;
  }
  return UpdateOutcome::UpToDate;
}

}  // namespace vmk
