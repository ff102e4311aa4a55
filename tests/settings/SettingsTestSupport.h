// Shared pieces of the settings tests: a private configuration folder per test (and, through
// TestSupport.h, a minimal host document).
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "TestSupport.h"
#include "settings/VmkUserDefaults.h"

namespace vmk::testing {

// Points XDG_CONFIG_HOME at a fresh temporary folder and drops the shared store, so that
// every test starts from factory settings.
class TempConfigTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
    VmkUserDefaults::resetSharedForTesting();
  }
  void TearDown() override { VmkUserDefaults::resetSharedForTesting(); }
  std::string settingsPath() const { return VmkUserDefaults::defaultSettingsFilePath(); }

  TempFolder folder_;
  std::filesystem::path dir_{folder_.path()};
};

}  // namespace vmk::testing
