#include "errors/VmkErrorLocation.h"

#include <gtest/gtest.h>
#include <unicode/utf16.h>

#include <random>

#include "errors/ErrorCatalogue.h"
#include "errors/MessageTables.h"
#include "settings/SettingsTestSupport.h"

namespace vmk {
namespace {

using testing::FakeDocument;
using testing::TempConfigTest;
using ErrorLocationTest = TempConfigTest;

TEST_F(ErrorLocationTest, SubstringsAndPlaceholders) {
  auto none = VmkErrorLocation::create("NoHtmlTag", Range(0, 0));
  EXPECT_EQ(none->subStringAtIndex(0), u"");
  EXPECT_EQ(none->cachedErrorParagraphIndex(), -1);
  auto two = VmkErrorLocation::create("CantBeChildElement", Range(5, 2), {{u"DIV", u"P"}});
  EXPECT_EQ(two->subStringAtIndex(1), u"P");
  EXPECT_EQ(two->subStringAtIndex(2), u"");

  std::vector<UString> ab{u"a", u"b"};
  EXPECT_EQ(fillErrorMessagePlaceholders(u"%1-%2-%1", ab), u"a-b-a");
  EXPECT_EQ(fillErrorMessagePlaceholders(u"%1-%2", std::vector<UString>{u"a"}), u"a-%2");
  EXPECT_EQ(fillErrorMessagePlaceholders(u"%1-%2", std::nullopt), u"%1-%2");
  EXPECT_EQ(fillErrorMessagePlaceholders(u"no placeholders", ab), u"no placeholders");
  // Increasing order: %10 is hit by the replacement of %1 first.
  std::vector<UString> ten;
  for (int i = 1; i <= 10; ++i) ten.push_back(u"s" + toUString(i));
  EXPECT_EQ(fillErrorMessagePlaceholders(u"%10", ten), u"s10");
  // A substring that itself contains "%2" is filled by the next step.
  EXPECT_EQ(fillErrorMessagePlaceholders(u"%1", std::vector<UString>{u"x%2", u"y"}), u"xy");

  // Titles and descriptions come from the message tables, filled.
  EXPECT_EQ(two->errorTitle(), u"<DIV> is not allowed inside <P>");
  EXPECT_NE(two->errorDescription().find(u"<DIV>"), UString::npos);
  EXPECT_EQ(two->errorNumber(), u"H008");
  EXPECT_EQ(two->errorNumberString(), u"H008");
  // A code without table entry shows the code itself.
  auto unknown = VmkErrorLocation::create("LengthValueArrayAttribte", Range(0, 1), {{u"coords"}});
  EXPECT_EQ(unknown->errorTitle(), u"LengthValueArrayAttribte");
  EXPECT_EQ(unknown->errorLevel(), 0);
  EXPECT_EQ(unknown->errorFix(), -1);
  EXPECT_EQ(unknown->errorNumber(), u"");
}

int32_t naiveLineIndex(const UString& text, uint32_t location) {
  int32_t n = 0;
  for (size_t i = 0; i < text.size() && i < location; ++i) n += text[i] == u'\n';
  return n;
}

// The direct UTF-8 filling agrees with filling placeholder after placeholder wherever it
// answers, on texts built to hit its traps: "%" next to placeholders, "%" and digits in
// substrings, surrogates at their ends, more than nine substrings, placeholders beyond them.
TEST(ErrorMessageFilling, DirectFillingAgreesWithPlaceholderAfterPlaceholder) {
  const std::vector<UString> pieces{u"%",
                                    u"%1",
                                    u"%2",
                                    u"%3",
                                    u"%9",
                                    u"1",
                                    u"2",
                                    u"x",
                                    u"\u00e9",
                                    u"\U0001F600",
                                    UString(1, char16_t(0xD83D)),
                                    UString(1, char16_t(0xDE00)),
                                    u" "};
  std::mt19937 random(11);
  auto make = [&](size_t most) {
    UString text;
    for (size_t k = random() % most; k > 0; --k) text += pieces[random() % pieces.size()];
    return text;
  };
  int answered = 0;
  for (int round = 0; round < 20000; ++round) {
    const UString templ = make(7);
    std::optional<std::vector<UString>> subs;
    if (round % 5 != 0) {
      subs.emplace();
      for (size_t k = random() % (round % 50 == 1 ? 12 : 4); k > 0; --k)
        subs->push_back(round % 3 == 0 ? make(3) : UString(u"v") + toUString(int64_t(k)));
    }
    // Templates with an unpaired surrogate are not filled directly.
    bool paired = true;
    for (size_t i = 0; i < templ.size(); ++i) {
      if (U16_IS_LEAD(templ[i]) && i + 1 < templ.size() && U16_IS_TRAIL(templ[i + 1]))
        ++i;
      else if (U16_IS_SURROGATE(templ[i]))
        paired = false;
    }
    std::string direct;
    if (!paired || !fillErrorMessagePlaceholdersAsUtf8(toUtf8(templ), subs, direct)) continue;
    ++answered;
    ASSERT_EQ(direct, toUtf8(fillErrorMessagePlaceholders(templ, subs))) << toUtf8(templ);
  }
  EXPECT_GT(answered, 5000);
  std::string out;
  EXPECT_FALSE(fillErrorMessagePlaceholdersAsUtf8("%%1", std::vector<UString>{u"2", u"y"}, out));
  EXPECT_FALSE(fillErrorMessagePlaceholdersAsUtf8("%1", std::vector<UString>{u"x%2", u"y"}, out));
  ASSERT_TRUE(
      fillErrorMessagePlaceholdersAsUtf8("<%1> in <%2>%", std::vector<UString>{u"A", u"B"}, out));
  EXPECT_EQ(out, "<A> in <B>%");
}

TEST_F(ErrorLocationTest, LineIndexMatchesCountingLineFeeds) {
  std::mt19937 rng(12345);
  const char16_t alphabet[] = u"ab\n\r<>\n";
  for (int round = 0; round < 30; ++round) {
    UString text(std::uniform_int_distribution<size_t>(0, 400)(rng), u' ');
    for (auto& c : text) c = alphabet[std::uniform_int_distribution<int>(0, 6)(rng)];
    FakeDocument doc(text);
    for (int k = 0; k < 40; ++k) {
      uint32_t loc = std::uniform_int_distribution<uint32_t>(0, text.size() + 5)(rng);
      auto record = VmkErrorLocation::create("WrongAmpersand", Range(loc, 1), std::nullopt, &doc);
      ASSERT_EQ(record->errorParagraphIndex(), naiveLineIndex(text, loc))
          << "round " << round << " location " << loc;
    }
  }
}

TEST_F(ErrorLocationTest, LineIndexCacheAndReset) {
  FakeDocument doc(u"line0\nline1\nline2");
  auto first = VmkErrorLocation::create("WrongAmpersand", Range(0, 1), std::nullopt, &doc);
  auto second = VmkErrorLocation::create("WrongAmpersand", Range(6, 1), std::nullopt, &doc);
  EXPECT_EQ(first->errorParagraphIndex(), 0);
  EXPECT_EQ(second->errorParagraphIndex(), 1);

  // An edit: the cached value stays until reset, which reads the current text.
  doc.storage.text.insert(0, u"\n\n");
  second->setErrorRange(Range(8, 1));
  EXPECT_EQ(second->errorParagraphIndex(), 1);
  second->resetErrorParagraphIndex();
  EXPECT_EQ(second->errorParagraphIndex(), 3);
  doc.storage.text[0] = u'x';  // same length
  second->resetErrorParagraphIndex();
  EXPECT_EQ(second->errorParagraphIndex(), 2);

  // Re-parented to the document's URL: the computed index stays, resetting does nothing, and a
  // record that never computed one answers -1.
  second->setParent(std::string("file:///tmp/page.html"));
  second->resetErrorParagraphIndex();
  EXPECT_EQ(second->errorParagraphIndex(), 2);
  auto closed = VmkErrorLocation::create("WrongAmpersand", Range(8, 1), std::nullopt,
                                         std::string("file:///tmp/page.html"));
  EXPECT_EQ(closed->errorParagraphIndex(), -1);
  closed->resetErrorParagraphIndex();
  EXPECT_EQ(closed->cachedErrorParagraphIndex(), -1);
}

TEST_F(ErrorLocationTest, EngineOrderIsByStartOnlyAndStable) {
  VmkErrorLocationList list{
      VmkErrorLocation::create("WrongAmpersand", Range(30, 1)),
      VmkErrorLocation::create("NoSuchElementName", Range(10, 5)),
      VmkErrorLocation::create("LtMarkInTag", Range(10, 1)),
      VmkErrorLocation::create("NoHtmlTag", Range(0, 0)),
      VmkErrorLocation::create("SemiColonLacked", Range(10, 9)),
  };
  VmkErrorLocationSortDescriptor descriptor;
  EXPECT_EQ(descriptor.compareObject(*list[1], *list[2]), 0);
  EXPECT_EQ(descriptor.compareObject(*list[3], *list[0]), -1);
  EXPECT_EQ(descriptor.compareObject(*list[0], *list[3]), 1);
  sortErrorLocations(list);
  std::vector<std::string> codes;
  for (const auto& r : list) codes.push_back(r->errorCode());
  EXPECT_EQ(codes, (std::vector<std::string>{"NoHtmlTag", "NoSuchElementName", "LtMarkInTag",
                                             "SemiColonLacked", "WrongAmpersand"}));
}

TEST_F(ErrorLocationTest, ColumnOrderByEachKeyBothWays) {
  FakeDocument doc(u"a\nb\nc");
  // Line 2, level 2, H002, no repair.
  auto a = VmkErrorLocation::create("NoSuchElementName", Range(4, 1), std::nullopt, &doc);
  // Line 0, level 1, H015, repair.
  auto b = VmkErrorLocation::create("NoHtmlTag", Range(0, 0), std::nullopt, &doc);
  // Closed document: line -1; level 2, L007, no repair.
  auto c = VmkErrorLocation::create("ServerError", Range(2, 1), std::nullopt, std::string("u"));
  auto compare = [](auto& x, auto& y, const char* key, bool ascending) {
    return locationCompare(*x, *y, ColumnSortDescriptor{key, ascending});
  };
  EXPECT_EQ(compare(a, b, "LocationColumn", true), 1);
  EXPECT_EQ(compare(a, b, "LocationColumn", false), -1);
  EXPECT_EQ(compare(c, b, "LocationColumn", true), -1);
  EXPECT_EQ(compare(a, b, "ErrorIconColumn", true), 1);
  EXPECT_EQ(compare(a, b, "ErrorIconColumn", false), -1);
  EXPECT_EQ(compare(a, c, "ErrorIconColumn", true), 0);
  EXPECT_EQ(compare(a, b, "ErrorTypeColumn", true), -1);
  EXPECT_EQ(compare(c, b, "ErrorTypeColumn", true), 1);
  EXPECT_EQ(compare(c, b, "ErrorTypeColumn", false), -1);
  EXPECT_EQ(compare(a, b, "FixButtonColumn", true), -1);
  EXPECT_EQ(compare(a, b, "FixButtonColumn", false), 1);
  EXPECT_EQ(compare(a, c, "FixButtonColumn", true), 0);
  EXPECT_EQ(compare(a, b, "TitleColumn", true), 0);
  EXPECT_EQ(compare(a, b, "TitleColumn", false), 0);

  // A repair switched off still sorts with the enabled ones.
  auto d = VmkErrorLocation::create("NoTitleTagInHead", Range(0, 0));
  ASSERT_EQ(setErrorFixForThisError(sharedVmkUserDefaults(), "NoTitleTagInHead", 0),
            ErrorSettingResult::Changed);
  EXPECT_EQ(compare(d, b, "FixButtonColumn", true), 0);
  EXPECT_EQ(compare(a, d, "FixButtonColumn", true), -1);
}

}  // namespace
}  // namespace vmk
