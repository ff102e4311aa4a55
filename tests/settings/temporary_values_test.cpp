#include <gtest/gtest.h>

#include <filesystem>

#include "settings/SettingsTestSupport.h"
#include "settings/VmkUserDefaults.h"
#include "support/Plist.h"

namespace vmk {
namespace {

using TemporaryValuesTest = testing::TempConfigTest;

TEST_F(TemporaryValuesTest, ATemporaryValueWinsUntilRemovedAndNeverReachesTheFile) {
  VmkUserDefaults& store = sharedVmkUserDefaults();
  store.setTemporaryValue(PlistValue(false), "Vmk_OpeningAutoCheck");
  EXPECT_FALSE(store.boolForKey("Vmk_OpeningAutoCheck"));
  EXPECT_FALSE(std::filesystem::exists(settingsPath()));

  // The user's change meanwhile is stored, and shows once the temporary value goes.
  store.changeIntValue(3, "Vmk_RecursiveMaxDepth");
  store.changeBoolValue(false, "Vmk_OpeningAutoCheck");
  std::optional<PlistValue> stored = readPlistFile(settingsPath());
  ASSERT_TRUE(stored && stored->isDict());
  ASSERT_NE(stored->asDict()->find("Vmk_OpeningAutoCheck"), nullptr);
  store.removeTemporaryValue("Vmk_OpeningAutoCheck");
  EXPECT_FALSE(store.boolForKey("Vmk_OpeningAutoCheck"));

  // Without a change meanwhile the stored value comes back untouched.
  const uint64_t before = store.version();
  store.setTemporaryValue(PlistValue(int64_t(0)), "Vmk_RecursiveMaxDepth");
  EXPECT_NE(store.version(), before);
  EXPECT_EQ(store.integerForKey("Vmk_RecursiveMaxDepth"), 0);
  store.removeTemporaryValue("Vmk_RecursiveMaxDepth");
  EXPECT_EQ(store.integerForKey("Vmk_RecursiveMaxDepth"), 3);
  EXPECT_FALSE(store.hasTemporaryValue("Vmk_RecursiveMaxDepth"));
}

}  // namespace
}  // namespace vmk
