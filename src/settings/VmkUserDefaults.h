// The plug-in's own settings store: a fixed table of factory values, a map of the user's
// values that differ from them, and the settings file that keeps the user map between runs.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "support/Plist.h"

namespace vmk {

// Keys of the settings table.
inline constexpr std::string_view kErrorDictionaryArrayKey = "Vmk_ErrorDictionaryArray";

class VmkUserDefaults {
 public:
  // The one store of the process, created on first use from the settings file at
  // defaultSettingsFilePath().
  static VmkUserDefaults& sharedVmkUserDefaults();
  // Drops the shared store so that the next sharedVmkUserDefaults() reads the settings file
  // again (for example after a test changed XDG_CONFIG_HOME). References to the old store
  // become invalid.
  static void resetSharedForTesting();

  // $XDG_CONFIG_HOME/velumark/org.velumark.VelumarkX.plist
  static std::string defaultSettingsFilePath();

  // A store on the default settings file.
  VmkUserDefaults();
  // A store on an explicit settings file. Loads the user map, then builds the factory map
  // and applies the catalogue upgrade rule.
  explicit VmkUserDefaults(std::string settingsFilePath);

  VmkUserDefaults(const VmkUserDefaults&) = delete;
  VmkUserDefaults& operator=(const VmkUserDefaults&) = delete;

  const std::string& settingsFilePath() const { return settingsFilePath_; }
  // While off, changes stay in memory and the settings file is not written (a command-line run
  // that overrides settings for itself only).
  void setWritesSettingsFile(bool writes) { writesSettingsFile_ = writes; }

  // Reads the settings file into the user map. A missing file leaves the map as it is,
  // silently; an unreadable or malformed one too, with one line on standard error.
  void loadUserPrefsDictionary();
  // Builds the factory map (once) and applies the catalogue upgrade rule.
  void initFactoryPrefsDictionary();

  // The user value, else the factory value, else nullptr. The pointer stays valid until the
  // next change of the store.
  const PlistValue* objectForKey(std::string_view key) const;
  const PlistValue* factoryObjectForKey(std::string_view key) const;

  // Store / remove a user value and write the settings file. The in-memory change is kept
  // even when the file cannot be written; the failure is logged and false returned.
  bool setObject(PlistValue value, std::string_view key);
  bool removeObjectForKey(std::string_view key);

  // Set a value with the minimum of stored data: nothing happens when it equals the current
  // value, the key is removed when it equals the factory value, else it is stored.
  // False only when the settings file could not be written.
  bool changeObject(PlistValue value, std::string_view key);
  bool changeStringValue(std::string value, std::string_view key);
  bool changeBoolValue(bool value, std::string_view key);
  bool changeIntValue(int64_t value, std::string_view key);
  bool changeFloatValue(double value, std::string_view key);

  // A value that holds for one piece of work only (a link check that switches a setting for
  // its own run): it wins over the user's and the factory value until removed, and never
  // reaches the user map or the settings file, so a run that is killed leaves both as they
  // were. Changes made meanwhile go to the user map as usual and show once it is removed.
  void setTemporaryValue(PlistValue value, std::string_view key);
  void removeTemporaryValue(std::string_view key);
  bool hasTemporaryValue(std::string_view key) const { return temporaryValues_.contains(key); }

  // Converting readers; a missing value reads as false / 0 / 0.0 / "" / {}.
  bool boolForKey(std::string_view key) const;
  int64_t integerForKey(std::string_view key) const;
  double realForKey(std::string_view key) const;
  std::string stringForKey(std::string_view key) const;
  // The string members of an array value, in order (other members are skipped).
  std::vector<std::string> stringArrayForKey(std::string_view key) const;

  // The factory error catalogue as property-list records, built afresh at each call.
  static PlistArray factoryErrorDicitionaryArray();

  const PlistDict& factoryPrefsDictionary() const { return factoryPrefsDictionary_; }
  const PlistDict& userPrefsDictionary() const { return userPrefsDictionary_; }

  // Changes whenever a user value changes. Values are unique across all stores of the
  // process, so a cache keyed by it never confuses two stores.
  uint64_t version() const { return version_; }

 private:
  bool writeUserPrefs();
  void bumpVersion();

  PlistDict factoryPrefsDictionary_;
  PlistDict userPrefsDictionary_;
  PlistDict temporaryValues_;
  bool factoryBuilt_ = false;
  std::string settingsFilePath_;
  uint64_t version_ = 0;
  bool writesSettingsFile_ = true;
};

// The shared store (same as VmkUserDefaults::sharedVmkUserDefaults()).
VmkUserDefaults& sharedVmkUserDefaults();

}  // namespace vmk
