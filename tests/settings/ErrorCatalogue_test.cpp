#include "errors/ErrorCatalogue.h"

#include <algorithm>

#include <gtest/gtest.h>

#include "errors/VmkErrorLocation.h"
#include "settings/SettingsTestSupport.h"
#include "settings/VmkUserDefaults.h"

namespace vmk {
namespace {

using testing::TempConfigTest;
using ErrorCatalogueTest = TempConfigTest;

TEST_F(ErrorCatalogueTest, FactoryTableShape) {
  auto factory = factoryErrorCatalogue();
  ASSERT_EQ(factory.size(), 92u);
  EXPECT_EQ(factory.front().errorKey, "SpaceBeforeElementName");
  EXPECT_EQ(factory[37].errorKey, "BoolValueAttribute");
  EXPECT_EQ(factory[85].errorKey, "NoAbsolutePath");
  EXPECT_EQ(factory[85].errorNumber, "L001");
  EXPECT_EQ(factory.back().errorKey, "ServerError");
  int withRepair = 0, withoutRepair = 0, offOrBad = 0;
  for (const auto& e : factory) {
    withRepair += e.errorFix == 1;
    withoutRepair += e.errorFix == -1;
    offOrBad += e.errorLevel < 1 || e.errorLevel > 2 || e.errorFix == 0;
  }
  EXPECT_EQ(withRepair, 44);
  EXPECT_EQ(withoutRepair, 48);
  EXPECT_EQ(offOrBad, 0);

  PlistArray records = factoryErrorDicitionaryArray();
  ASSERT_EQ(records.size(), 92u);
  const PlistDict& first = *records[0].asDict();
  ASSERT_EQ(first.size(), 4u);
  EXPECT_EQ(first.entries()[0].first, "ErrorKey");
  EXPECT_EQ(*first.find("ErrorNumber")->asString(), "H001");
  EXPECT_TRUE(first.find("ErrorLevel")->isInteger());
  EXPECT_EQ(first.find("ErrorFix")->integerValue(), 1);
}

TEST_F(ErrorCatalogueTest, LookupsAnswerFromTheCurrentCatalogue) {
  EXPECT_EQ(errorLevelForThisError("NoSuchElementName"), 2);
  EXPECT_EQ(errorLevelForThisError("EndTagMayBeOmitted"), 1);
  EXPECT_EQ(errorNumberForThisError("NumberValueAttribute"), u"H037");
  EXPECT_EQ(errorNumberForThisError("CantOmitAttributeNameInXhtml"), u"H037");
  EXPECT_EQ(errorNumberForThisError("ServerError"), u"L007");
  EXPECT_EQ(errorFixForThisError("NoHtmlTag"), 1);
  EXPECT_EQ(errorFixForThisError("NoSuchElementName"), -1);
  // Exact, case-sensitive codes; unknown ones are not checked.
  for (std::string_view code : {"LengthValueArrayAttribte", "nosuchelementname", ""}) {
    EXPECT_EQ(errorLevelForThisError(code), 0) << code;
    EXPECT_EQ(errorNumberForThisError(code), u"") << code;
    EXPECT_EQ(errorFixForThisError(code), -1) << code;
  }

  // A stored catalogue: the first record with the code wins; non-numbers read as 0.
  PlistArray catalogue = factoryErrorDicitionaryArray();
  PlistDict dup = *catalogue[1].asDict();  // NoSuchElementName
  dup.set("ErrorNumber", "X999");
  catalogue.insert(catalogue.begin(), PlistValue(dup));
  catalogue.pop_back();
  catalogue[3].asDict()->set("ErrorLevel", PlistValue(PlistArray{}));  // LtMarkInTag
  VmkUserDefaults& store = sharedVmkUserDefaults();
  ASSERT_TRUE(store.setObject(PlistValue(catalogue), kErrorDictionaryArrayKey));
  EXPECT_EQ(errorNumberForThisError("NoSuchElementName"), u"X999");
  EXPECT_EQ(errorLevelForThisError("LtMarkInTag"), 0);
  EXPECT_EQ(errorLevelForThisError("ServerError"), 0);  // dropped from this list
  // Reverting restores the factory answers at once.
  ASSERT_TRUE(store.removeObjectForKey(kErrorDictionaryArrayKey));
  EXPECT_EQ(errorNumberForThisError("NoSuchElementName"), u"H002");
  EXPECT_EQ(errorLevelForThisError("ServerError"), 2);
}

TEST_F(ErrorCatalogueTest, UserChangesApplyToExistingRecordsAndPersist) {
  VmkUserDefaults& store = sharedVmkUserDefaults();
  auto record = VmkErrorLocation::create("NoSuchElementName", Range(0, 3), {{u"BLINK"}});
  auto another = VmkErrorLocation::create("NoHtmlTag", Range(0, 0));
  EXPECT_EQ(record->errorLevel(), 2);

  EXPECT_EQ(setErrorLevelForThisError(store, "NoSuchElementName", 0), ErrorSettingResult::Changed);
  EXPECT_EQ(record->errorLevel(), 0);
  EXPECT_EQ(errorLevelForThisError("NoSuchElementName"), 0);
  EXPECT_EQ(record->errorNumber(), u"H002");

  // A repair flag of -1 cannot be switched; 1 and 0 can.
  EXPECT_EQ(setErrorFixForThisError(store, "NoSuchElementName", 1), ErrorSettingResult::FixLocked);
  EXPECT_EQ(record->errorFix(), -1);
  EXPECT_EQ(setErrorFixForThisError(store, "NoHtmlTag", 0), ErrorSettingResult::Changed);
  EXPECT_EQ(another->errorFix(), 0);
  EXPECT_EQ(setErrorFixForThisError(store, "NoHtmlTag", -1), ErrorSettingResult::InvalidValue);
  EXPECT_EQ(setErrorLevelForThisError(store, "NoHtmlTag", 3), ErrorSettingResult::InvalidValue);
  EXPECT_EQ(setErrorLevelForThisError(store, "NoSuchCode", 1), ErrorSettingResult::UnknownCode);

  VmkUserDefaults::resetSharedForTesting();
  EXPECT_EQ(errorLevelForThisError("NoSuchElementName"), 0);
  EXPECT_EQ(errorFixForThisError("NoHtmlTag"), 0);
  EXPECT_EQ(errorFixForThisError("NoTitleTagInHead"), 1);
}

TEST_F(ErrorCatalogueTest, AStoredCatalogueWithoutTheNewerCodesUsesTheirFactoryEntries) {
  // A catalogue stored by an older version has the first 89 codes only.
  PlistArray old = factoryErrorDicitionaryArray();
  old.erase(std::remove_if(old.begin(), old.end(),
                           [](const PlistValue& v) {
                             const std::string& code = *v.asDict()->find("ErrorKey")->asString();
                             return code == "RequiredElementMissing" ||
                                    code == "ElementOutOfPlace" || code == "ExcludedElement";
                           }),
            old.end());
  ASSERT_EQ(old.size(), 89u);
  VmkUserDefaults& store = sharedVmkUserDefaults();
  ASSERT_TRUE(store.setObject(PlistValue(old), "Vmk_ErrorDictionaryArray"));
  EXPECT_EQ(errorLevelForThisError(store, "ElementOutOfPlace"), 2);
  EXPECT_EQ(errorNumberForThisError(store, "ExcludedElement"), u"H083");
  EXPECT_EQ(errorFixForThisError(store, "RequiredElementMissing"), kErrorFixNone);
  EXPECT_TRUE(catalogueHasError(store, "RequiredElementMissing"));
  // Changing one stores its record.
  EXPECT_EQ(setErrorLevelForThisError(store, "ElementOutOfPlace", 1), ErrorSettingResult::Changed);
  EXPECT_EQ(store.objectForKey("Vmk_ErrorDictionaryArray")->asArray()->size(), 90u);
  EXPECT_EQ(errorLevelForThisError(store, "ElementOutOfPlace"), 1);
  EXPECT_EQ(errorLevelForThisError(store, "ExcludedElement"), 2);
  EXPECT_EQ(setErrorFixForThisError(store, "ExcludedElement", 1), ErrorSettingResult::FixLocked);
}

}  // namespace
}  // namespace vmk
