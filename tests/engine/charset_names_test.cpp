#include <gtest/gtest.h>

#include <set>
#include <string>

#include "engine/CharsetNames.h"
#include "engine/EntityNames.h"

namespace vmk {
namespace {

TEST(CharsetNamesTest, TablesHaveTheirFullSizeWithoutDuplicates) {
  auto known = knownCharsetNames();
  EXPECT_EQ(known.size(), 780u);
  EXPECT_EQ(std::set<std::string_view>(known.begin(), known.end()).size(), 780u);
  EXPECT_EQ(known.front(), "ansi_x3.4-1968");
  EXPECT_EQ(known[10], "csascii");
  EXPECT_EQ(known.back(), "hz-gb-2312");
  EXPECT_EQ(eucJPCharsetNames().size(), 5u);
  EXPECT_EQ(iso2022JPCharsetNames().size(), 18u);
  EXPECT_EQ(shiftJISCharsetNames().size(), 5u);

  auto entities = htmlEntityNames();
  EXPECT_EQ(entities.size(), 252u);
  EXPECT_EQ(std::set<std::string_view>(entities.begin(), entities.end()).size(), 252u);
}

TEST(CharsetNamesTest, EveryJapaneseNameIsAKnownName) {
  for (auto group : {eucJPCharsetNames(), iso2022JPCharsetNames(), shiftJISCharsetNames()}) {
    for (std::string_view name : group) {
      std::u16string u(name.begin(), name.end());
      EXPECT_TRUE(isKnownCharsetName(u)) << name;
      EXPECT_TRUE(isJapaneseCharsetName(u)) << name;
    }
  }
}

TEST(CharsetNamesTest, KnownNamesAreLowerCaseAndExact) {
  for (auto name : {u"utf-8",        u"utf-16",     u"utf-16be",         u"utf-16le",
                    u"utf-7",        u"shift_jis",  u"windows-31j",      u"euc-jp",
                    u"iso-2022-jp",  u"iso-8859-1", u"iso-8859-10",      u"iso-8859-13",
                    u"iso-8859-16",  u"big5",       u"big5-hkscs",       u"gb2312",
                    u"koi8-r",       u"koi8-u",     u"macintosh",        u"windows-1250",
                    u"windows-1258", u"tis-620",    u"iso_646.irv:1991", u"nf_z_62-010_(1973)"}) {
    EXPECT_TRUE(isKnownCharsetName(name)) << toUtf8(name);
  }
  for (auto name :
       {u"utf-32", u"gbk", u"gb18030", u"x-sjis", u"x-euc-jp", u"x-mac-japanese", u"iso-8859-11",
        u"utf8", u"UTF-8", u"Shift_JIS", u"", u"utf-8 ", u"\u00fctf-8"}) {
    EXPECT_FALSE(isKnownCharsetName(name)) << toUtf8(name);
  }
}

TEST(CharsetNamesTest, JapaneseGroupsAreDistinct) {
  EXPECT_TRUE(isEUCJPCharsetName(u"cseucfixwidjapanese"));
  EXPECT_FALSE(isEUCJPCharsetName(u"shift_jis"));
  EXPECT_TRUE(isISO2022JPCharsetName(u"x0208"));
  EXPECT_TRUE(isISO2022JPCharsetName(u"csjisencoding"));
  EXPECT_FALSE(isISO2022JPCharsetName(u"euc-jp"));
  EXPECT_TRUE(isShiftJISCharsetName(u"ms_kanji"));
  EXPECT_TRUE(isShiftJISCharsetName(u"cswindows31j"));
  EXPECT_FALSE(isShiftJISCharsetName(u"SHIFT_JIS"));
  EXPECT_FALSE(isJapaneseCharsetName(u"x-sjis"));
  EXPECT_FALSE(isJapaneseCharsetName(u"utf-8"));
}

}  // namespace
}  // namespace vmk
