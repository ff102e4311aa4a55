#include "plugin/QkDictBrowser.h"

#include <gtest/gtest.h>

#include "plugin/ElementHelp.h"
#include "plugin/PreferenceGroups.h"
#include "plugin_test_support.h"
#include "settings/VmkUserDefaults.h"

namespace vmk {
namespace {

PlistValue strings(std::initializer_list<const char*> items) {
  PlistArray array;
  for (const char* item : items) array.emplace_back(item);
  return PlistValue(std::move(array));
}

class DictBrowserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PlistDict table;
    PlistDict b;
    b.set("TypeString", "- -");
    b.set("ChildElements", strings({"#PCDATA", "i", "A"}));
    b.set("ParentElements", strings({"p", "Div"}));
    b.set("Attributes", strings({"title\tCDATA\t#IMPLIED", "id\tID\t#required", "lonely"}));
    table.set("b", PlistValue(b));
    PlistDict a;
    a.set("TypeString", "O O");
    table.set("a", PlistValue(a));
    PlistDict upper;
    upper.set("TypeString", "- O");
    table.set("B", PlistValue(upper));
    PlistDict file;
    file.set("DoctypeName", "-//Test//DTD Test//EN");
    file.set("DtdDictionary", PlistValue(table));
    path = (folders.root() / "Test Doc.dict").string();
    ASSERT_TRUE(writePlistFile(path, PlistValue(file)));
  }
  testing::PrivateFolders folders;
  std::string path;
  QkDictBrowser browser;
};

TEST_F(DictBrowserTest, ListsAreSortedIgnoringCaseAndShowTheFirstElement) {
  ASSERT_TRUE(browser.setHtmlDictionaryFromPath(path));
  EXPECT_EQ(browser.title(), u"Test Doc");
  EXPECT_EQ(browser.doctypeName(), u"-//Test//DTD Test//EN");
  EXPECT_EQ(browser.systemIdentifier(), std::nullopt);
  EXPECT_EQ(browser.elementNames(), (std::vector<UString>{u"a", u"b", u"B"}));
  EXPECT_EQ(browser.currentElement(), u"a");
  EXPECT_EQ(browser.startAndEndTagText(), u"Start tag and end tag are both omissible.");
}

TEST_F(DictBrowserTest, AnElementsAttributesChildrenAndParents) {
  ASSERT_TRUE(browser.setHtmlDictionaryFromPath(path));
  ASSERT_TRUE(browser.selectElement(u"b"));
  EXPECT_EQ(browser.elementBoxTitle(), u"<b>");
  EXPECT_EQ(browser.startAndEndTagText(), u"Start tag and end tag are both required.");
  const auto rows = browser.attributeRows();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].name, u"id");
  EXPECT_TRUE(rows[0].required);       // "#REQUIRED" in any case
  EXPECT_EQ(rows[1].name, u"lonely");  // no TAB: the whole entry
  EXPECT_EQ(rows[1].type, u"");
  EXPECT_EQ(rows[2].type, u"CDATA");
  EXPECT_EQ(rows[2].defaultValue, u"#IMPLIED");
  EXPECT_FALSE(rows[2].required);
  EXPECT_EQ(browser.childElements(), (std::vector<UString>{u"#PCDATA", u"A", u"i"}));
  EXPECT_EQ(browser.parentElements(), (std::vector<UString>{u"Div", u"p"}));

  EXPECT_FALSE(browser.selectElement(u"nothing"));
  EXPECT_EQ(browser.currentElement(), u"b");
  ASSERT_TRUE(browser.selectElement(u"B"));
  EXPECT_EQ(browser.startAndEndTagText(), u"End tag is both omissible.");
}

TEST_F(DictBrowserTest, AnUnreadableFileLeavesEmptyLists) {
  EXPECT_FALSE(browser.setHtmlDictionaryFromPath((folders.root() / "none.dict").string()));
  EXPECT_TRUE(browser.elementNames().empty());
  EXPECT_TRUE(browser.attributeRows().empty());
}

TEST(PreferenceGroupsTest, TagFieldsSplitOnWhiteSpaceAndLowerTheNames) {
  const std::vector<UString> names = tagListFromText(u"UL  Ol\tdl");
  EXPECT_EQ(names, (std::vector<UString>{u"ul", u"ol", u"dl"}));
  EXPECT_EQ(textFromTagList(names), u"ul ol dl ");
  EXPECT_EQ(textFromTagList({}), u"");
}

TEST(PreferenceGroupsTest, RevertingAGroupRestoresOnlyItsKeys) {
  testing::PrivateFolders folders;
  VmkUserDefaults& store = sharedVmkUserDefaults();
  store.changeBoolValue(false, "Vmk_FollowsDoctype");
  store.changeFloatValue(30.0, "Vmk_LinkTimeout");
  EXPECT_TRUE(revertPreferenceGroup(store, "validate"));
  EXPECT_TRUE(store.boolForKey("Vmk_FollowsDoctype"));
  EXPECT_EQ(store.realForKey("Vmk_LinkTimeout"), 30.0);
  EXPECT_TRUE(revertPreferenceGroup(store, "link"));
  EXPECT_EQ(store.realForKey("Vmk_LinkTimeout"), 60.0);
  EXPECT_FALSE(revertPreferenceGroup(store, "colours"));
}

TEST(ElementHelpTest, PagesByFolderWithTheDoctypeException) {
  const auto& pages = gWDGHelpDictionary();
  EXPECT_EQ(pages.at("link"), "head/link.html");
  EXPECT_EQ(pages.at("td"), "tables/td.html");
  EXPECT_EQ(pages.at("!doctype"), "structure.html#doc");
  EXPECT_EQ(pages.count("blink"), 0u);
}

}  // namespace
}  // namespace vmk
