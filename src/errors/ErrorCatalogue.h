// The error catalogue: each error code's number, level and repair flag. The factory table is
// built in; the current catalogue is the setting "Vmk_ErrorDictionaryArray" of the settings
// store, so every lookup answers from the store's current value.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "support/Plist.h"
#include "support/Text.h"

namespace vmk {

class VmkUserDefaults;

// Error levels and repair flags.
inline constexpr int kErrorLevelNotChecked = 0;
inline constexpr int kErrorLevelCaution = 1;
inline constexpr int kErrorLevelError = 2;
inline constexpr int kErrorFixEnabled = 1;
inline constexpr int kErrorFixDisabled = 0;
inline constexpr int kErrorFixNone = -1;

// Keys of one catalogue record.
inline constexpr std::string_view kErrorKey = "ErrorKey";
inline constexpr std::string_view kErrorNumber = "ErrorNumber";
inline constexpr std::string_view kErrorLevel = "ErrorLevel";
inline constexpr std::string_view kErrorFix = "ErrorFix";

struct ErrorCatalogueEntry {
  std::string_view errorKey;
  std::string_view errorNumber;
  int errorLevel;
  int errorFix;
};

// The number of codes of a catalogue stored before the strict content checks (H081-H083)
// were added; such a catalogue is kept and the missing codes answer their factory values.
inline constexpr size_t kCatalogueSizeBeforeStrictChecks = 89;

// The 92 factory entries, in factory order.
std::span<const ErrorCatalogueEntry> factoryErrorCatalogue();
// The same as property-list records ("ErrorKey", "ErrorNumber", "ErrorLevel", "ErrorFix").
PlistArray factoryErrorDicitionaryArray();

// Lookups in the current catalogue of a store (the shared store when none is given): the first
// record whose "ErrorKey" equals the code exactly. No record: level 0, number "", fix -1.
int errorLevelForThisError(std::string_view code);
int errorLevelForThisError(const VmkUserDefaults& store, std::string_view code);
UString errorNumberForThisError(std::string_view code);
UString errorNumberForThisError(const VmkUserDefaults& store, std::string_view code);
std::string errorNumberUtf8ForThisError(const VmkUserDefaults& store, std::string_view code);
int errorFixForThisError(std::string_view code);
int errorFixForThisError(const VmkUserDefaults& store, std::string_view code);
// True when the current catalogue has a record for the code.
bool catalogueHasError(const VmkUserDefaults& store, std::string_view code);

// Outcome of a user change of one catalogue record.
enum class ErrorSettingResult {
  Changed,       // stored (or already so)
  UnknownCode,   // no record with that code
  InvalidValue,  // level outside 0..2, fix outside 0..1
  FixLocked,     // the record's repair flag is -1: there is no repair to switch
  WriteFailed,   // changed in memory, but the settings file could not be written
};

// Sets the level (0, 1 or 2) of every record with the code, writing the catalogue back
// through the store.
ErrorSettingResult setErrorLevelForThisError(VmkUserDefaults& store, std::string_view code,
                                             int level);
// Switches the repair flag between 1 and 0; a record whose flag is -1 keeps it.
ErrorSettingResult setErrorFixForThisError(VmkUserDefaults& store, std::string_view code, int fix);

}  // namespace vmk
