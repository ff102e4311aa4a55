#include "settings/VmkUserDefaults.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "errors/ErrorCatalogue.h"
#include "settings/SettingsTestSupport.h"
#include "support/Paths.h"
#include "support/Plist.h"

namespace vmk {
namespace {

using testing::TempConfigTest;

class VmkUserDefaultsTest : public TempConfigTest {
 protected:
  std::filesystem::file_time_type stamp() const {
    return std::filesystem::last_write_time(settingsPath());
  }
  PlistDict storedUserMap() const {
    std::optional<PlistValue> root = readPlistFile(settingsPath());
    EXPECT_TRUE(root && root->isDict());
    return root && root->isDict() ? *root->asDict() : PlistDict();
  }
  void writeRaw(const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(settingsPath()).parent_path());
    std::ofstream(settingsPath(), std::ios::binary) << bytes;
  }
};

TEST_F(VmkUserDefaultsTest, FactoryTableInOrderAndNoFileUntilAChange) {
  VmkUserDefaults& store = sharedVmkUserDefaults();
  EXPECT_EQ(&store, &VmkUserDefaults::sharedVmkUserDefaults());
  EXPECT_EQ(store.settingsFilePath(), xdgConfigHome() + "/velumark/org.velumark.VelumarkX.plist");

  const auto& entries = store.factoryPrefsDictionary().entries();
  ASSERT_EQ(entries.size(), 28u);
  EXPECT_EQ(entries.front().first, "Vmk_ErrorDictionaryArray");
  EXPECT_EQ(entries[1].first, "Vmk_DefaultHtmlDictionary");
  EXPECT_EQ(entries.back().first, "Vmk_CheckResultSaveFormat");

  EXPECT_EQ(store.stringForKey("Vmk_DefaultHtmlDictionary"), "HTML 4.01 Transitional");
  EXPECT_TRUE(store.boolForKey("Vmk_OpeningAutoCheck"));
  EXPECT_FALSE(store.boolForKey("Vmk_DeleteTabAndLfFromData"));
  EXPECT_EQ(store.integerForKey("Vmk_BeforeNewCheck"), 2);
  EXPECT_DOUBLE_EQ(store.realForKey("Vmk_AutoIndentWidth"), 32.0);
  EXPECT_DOUBLE_EQ(store.realForKey("Vmk_LinkTimeout"), 60.0);
  std::vector<std::string> dontIndent = store.stringArrayForKey("Vmk_DontIndentTags");
  ASSERT_EQ(dontIndent.size(), 37u);
  EXPECT_EQ(dontIndent.front(), "a");
  EXPECT_EQ(dontIndent.back(), "var");
  EXPECT_EQ(store.stringArrayForKey("Vmk_LineBreakAfterStartTags"),
            (std::vector<std::string>{"br", "wbr", "!--"}));

  // Unknown keys read as nothing.
  EXPECT_EQ(store.objectForKey("Vmk_NoSuchKey"), nullptr);
  EXPECT_FALSE(store.boolForKey("Vmk_NoSuchKey"));
  EXPECT_EQ(store.integerForKey("Vmk_NoSuchKey"), 0);
  EXPECT_EQ(store.stringForKey("Vmk_NoSuchKey"), "");

  EXPECT_TRUE(store.userPrefsDictionary().empty());
  EXPECT_FALSE(std::filesystem::exists(settingsPath()));
}

TEST_F(VmkUserDefaultsTest, ChangesPersistWithMinimumStoredData) {
  {
    VmkUserDefaults& store = sharedVmkUserDefaults();
    EXPECT_TRUE(store.changeBoolValue(false, "Vmk_OpeningAutoCheck"));
    EXPECT_TRUE(store.changeFloatValue(30.0, "Vmk_LinkTimeout"));
    EXPECT_TRUE(store.changeFloatValue(60.0, "Vmk_AutoIndentWidth"));
    EXPECT_TRUE(store.changeStringValue("XHTML 1.0 Strict", "Vmk_DefaultHtmlDictionary"));
    // The factory value is not stored at all.
    EXPECT_TRUE(store.changeIntValue(2, "Vmk_BeforeNewCheck"));
  }
  PlistDict onDisk = storedUserMap();
  EXPECT_EQ(onDisk.size(), 4u);
  EXPECT_FALSE(onDisk.contains("Vmk_BeforeNewCheck"));
  ASSERT_TRUE(onDisk.find("Vmk_LinkTimeout"));
  EXPECT_TRUE(onDisk.find("Vmk_LinkTimeout")->isReal());

  // A fresh store reads the file back.
  VmkUserDefaults::resetSharedForTesting();
  VmkUserDefaults& reread = sharedVmkUserDefaults();
  EXPECT_FALSE(reread.boolForKey("Vmk_OpeningAutoCheck"));
  EXPECT_DOUBLE_EQ(reread.realForKey("Vmk_LinkTimeout"), 30.0);
  EXPECT_EQ(reread.stringForKey("Vmk_DefaultHtmlDictionary"), "XHTML 1.0 Strict");

  // Back to the factory value removes the key; the same value again writes nothing.
  EXPECT_TRUE(reread.changeFloatValue(60.0, "Vmk_LinkTimeout"));
  EXPECT_FALSE(storedUserMap().contains("Vmk_LinkTimeout"));
  EXPECT_TRUE(reread.changeBoolValue(true, "Vmk_OpeningAutoCheck"));
  EXPECT_FALSE(storedUserMap().contains("Vmk_OpeningAutoCheck"));
  std::filesystem::remove(settingsPath());
  EXPECT_TRUE(reread.changeBoolValue(true, "Vmk_OpeningAutoCheck"));
  EXPECT_TRUE(reread.changeStringValue("XHTML 1.0 Strict", "Vmk_DefaultHtmlDictionary"));
  EXPECT_FALSE(std::filesystem::exists(settingsPath()));

  // Removing a key the user map does not hold still rewrites the file.
  EXPECT_TRUE(reread.removeObjectForKey("Vmk_CheckLocalLinks"));
  EXPECT_TRUE(std::filesystem::exists(settingsPath()));
  EXPECT_EQ(storedUserMap().size(), 2u);  // the dictionary name and the indent width
}

TEST_F(VmkUserDefaultsTest, ChangeComparesInTheNewValuesKind) {
  VmkUserDefaults& store = sharedVmkUserDefaults();
  // An integer stored where the factory holds a boolean compares as a flag.
  ASSERT_TRUE(store.setObject(PlistValue(0), "Vmk_FollowsDoctype"));
  EXPECT_FALSE(store.boolForKey("Vmk_FollowsDoctype"));
  EXPECT_TRUE(store.changeBoolValue(true, "Vmk_FollowsDoctype"));
  EXPECT_FALSE(store.userPrefsDictionary().contains("Vmk_FollowsDoctype"));
  // Reals compare in single precision.
  EXPECT_TRUE(store.changeFloatValue(60.0000001, "Vmk_LinkTimeout"));
  EXPECT_FALSE(store.userPrefsDictionary().contains("Vmk_LinkTimeout"));
  // Arrays compare element by element.
  PlistArray tags;
  for (const std::string& t : store.stringArrayForKey("Vmk_IndentAtStartTags")) tags.push_back(t);
  EXPECT_TRUE(store.changeObject(PlistValue(tags), "Vmk_IndentAtStartTags"));
  EXPECT_FALSE(store.userPrefsDictionary().contains("Vmk_IndentAtStartTags"));
  tags.push_back("dt");
  EXPECT_TRUE(store.changeObject(PlistValue(tags), "Vmk_IndentAtStartTags"));
  EXPECT_EQ(store.stringArrayForKey("Vmk_IndentAtStartTags").back(), "dt");
}

TEST_F(VmkUserDefaultsTest, MalformedOrForeignFileKeepsFactoryValuesUntilAChange) {
  for (const std::string& bytes :
       {std::string("this is not a property list"),
        std::string("<?xml version=\"1.0\"?><plist version=\"1.0\"><array/></plist>")}) {
    writeRaw(bytes);
    auto before = stamp();
    VmkUserDefaults::resetSharedForTesting();
    VmkUserDefaults& store = sharedVmkUserDefaults();
    EXPECT_TRUE(store.userPrefsDictionary().empty());
    EXPECT_TRUE(store.boolForKey("Vmk_OpeningAutoCheck"));
    EXPECT_EQ(errorLevelForThisError("NoSuchElementName"), 2);
    EXPECT_EQ(*readFileContents(settingsPath()), bytes);
    EXPECT_EQ(stamp(), before);
  }
  ASSERT_TRUE(sharedVmkUserDefaults().changeBoolValue(false, "Vmk_OpeningAutoCheck"));
  EXPECT_EQ(storedUserMap().size(), 1u);
}

TEST_F(VmkUserDefaultsTest, FailedWriteKeepsValueInMemoryAndReportsFalse) {
  // The settings file's folder is a plain file: nothing can be written there.
  std::string blocker = (dir_ / "blocked").string();
  std::ofstream(blocker) << "x";
  VmkUserDefaults store(blocker + "/settings.plist");
  EXPECT_FALSE(store.changeBoolValue(false, "Vmk_OpeningAutoCheck"));
  EXPECT_FALSE(store.boolForKey("Vmk_OpeningAutoCheck"));
  EXPECT_FALSE(store.removeObjectForKey("Vmk_OpeningAutoCheck"));
  EXPECT_TRUE(store.boolForKey("Vmk_OpeningAutoCheck"));
}

TEST_F(VmkUserDefaultsTest, CatalogueStoredBeforeTheStrictCodesIsKept) {
  PlistArray catalogue = factoryErrorDicitionaryArray();
  catalogue.erase(catalogue.begin() + 82, catalogue.begin() + 85);  // H081-H083
  catalogue[1].asDict()->set("ErrorLevel", PlistValue(1));          // NoSuchElementName
  PlistDict user;
  user.set("Vmk_ErrorDictionaryArray", catalogue);
  std::filesystem::create_directories(std::filesystem::path(settingsPath()).parent_path());
  ASSERT_TRUE(writePlistFile(settingsPath(), PlistValue(user)));
  VmkUserDefaults::resetSharedForTesting();
  VmkUserDefaults& store = sharedVmkUserDefaults();
  EXPECT_EQ(store.userPrefsDictionary().find("Vmk_ErrorDictionaryArray")->asArray()->size(), 89u);
  EXPECT_EQ(errorLevelForThisError("NoSuchElementName"), 1);
  EXPECT_EQ(errorLevelForThisError("ElementOutOfPlace"), 2);
  EXPECT_EQ(errorNumberForThisError("RequiredElementMissing"), u"H081");
}

TEST_F(VmkUserDefaultsTest, CatalogueOfAnotherSizeIsReplacedAtStartUp) {
  PlistArray catalogue = factoryErrorDicitionaryArray();
  // A user edit in a catalogue of the right size survives, even when re-sorted.
  std::swap(catalogue[0], catalogue[1]);
  catalogue[0].asDict()->set("ErrorLevel", PlistValue(1));
  PlistDict user;
  user.set("Vmk_ErrorDictionaryArray", catalogue);
  user.set("Vmk_OpeningAutoCheck", false);
  std::filesystem::create_directories(std::filesystem::path(settingsPath()).parent_path());
  ASSERT_TRUE(writePlistFile(settingsPath(), PlistValue(user)));
  {
    VmkUserDefaults::resetSharedForTesting();
    VmkUserDefaults& store = sharedVmkUserDefaults();
    EXPECT_EQ(store.userPrefsDictionary().find("Vmk_ErrorDictionaryArray")->asArray()->size(), 92u);
    EXPECT_EQ(errorLevelForThisError("NoSuchElementName"), 1);
  }

  // One record fewer: the factory catalogue replaces it and is written; other keys stay.
  catalogue.pop_back();
  user.set("Vmk_ErrorDictionaryArray", catalogue);
  ASSERT_TRUE(writePlistFile(settingsPath(), PlistValue(user)));
  VmkUserDefaults::resetSharedForTesting();
  VmkUserDefaults& store = sharedVmkUserDefaults();
  EXPECT_EQ(*store.objectForKey("Vmk_ErrorDictionaryArray"),
            PlistValue(factoryErrorDicitionaryArray()));
  EXPECT_EQ(errorLevelForThisError("NoSuchElementName"), 2);
  EXPECT_EQ(errorLevelForThisError("ServerError"), 2);
  PlistDict onDisk = storedUserMap();
  EXPECT_EQ(*onDisk.find("Vmk_ErrorDictionaryArray"), PlistValue(factoryErrorDicitionaryArray()));
  EXPECT_TRUE(onDisk.contains("Vmk_OpeningAutoCheck"));
}

}  // namespace
}  // namespace vmk
