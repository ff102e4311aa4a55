#include <gtest/gtest.h>

#include <string>

#include "engine/CharacterReferences.h"
#include "engine/EntityNames.h"
#include "support/JisX0208.h"

namespace vmk {
namespace {

int32_t charRef(std::u16string_view text, size_t at = 0) {
  return isCharRef(text, at);
}

TEST(IsCharRefTest, NamedReferences) {
  EXPECT_EQ(charRef(u"&amp;"), 5);
  EXPECT_EQ(charRef(u"&amp x"), -4);
  EXPECT_EQ(charRef(u"&ampx"), 0);   // runs on into a longer, unknown name
  EXPECT_EQ(charRef(u"&amp1"), -4);  // a digit ends the name
  EXPECT_EQ(charRef(u"&amp<"), -4);
  EXPECT_EQ(charRef(u"&supe;"), 6);  // longest name wins over "sup"
  EXPECT_EQ(charRef(u"&sup;"), 5);
  EXPECT_EQ(charRef(u"&sup2;"), 6);
  EXPECT_EQ(charRef(u"&thetasym;"), 10);
  EXPECT_EQ(charRef(u"&thetasymx;"), 0);
  EXPECT_EQ(charRef(u"&frac12;"), 8);
  EXPECT_EQ(charRef(u"&apos;"), 0);
  EXPECT_EQ(charRef(u"&Amp;"), 0);
  EXPECT_EQ(charRef(u"&AElig;"), 7);
  EXPECT_EQ(charRef(u"&T"), 0);
  EXPECT_EQ(charRef(u"&;"), 0);
  EXPECT_EQ(charRef(u"& "), 0);
  EXPECT_EQ(charRef(u"x&amp;", 0), 0);  // not an ampersand
  EXPECT_EQ(charRef(u"x&amp;", 1), 5);
}

TEST(IsCharRefTest, NumericReferences) {
  EXPECT_EQ(charRef(u"&#x1F;"), 6);
  EXPECT_EQ(charRef(u"&#X1f;"), 6);
  EXPECT_EQ(charRef(u"&#169;"), 6);
  EXPECT_EQ(charRef(u"&#12a;"), -4);
  EXPECT_EQ(charRef(u"&#x1g;"), -4);
  EXPECT_EQ(charRef(u"&#;"), 3);
  EXPECT_EQ(charRef(u"&#x;"), 4);
  EXPECT_EQ(charRef(u"&# "), -2);
  EXPECT_EQ(charRef(u"&#\uff11;"), -2);  // only ASCII digits
}

// Every way of running out of text answers without reading past it.
TEST(IsCharRefTest, TextEndingInsideAReference) {
  EXPECT_EQ(charRef(u"&"), 0);
  EXPECT_LT(charRef(u"&#"), 0);
  EXPECT_LT(charRef(u"&#x"), 0);
  EXPECT_LT(charRef(u"&#12"), 0);
  EXPECT_LT(charRef(u"&#xAB"), 0);
  EXPECT_EQ(charRef(u"&amp"), -4);
  EXPECT_EQ(charRef(u"&am"), 0);
  EXPECT_EQ(charRef(u"abc", 3), 0);
  EXPECT_EQ(charRef(u"", 0), 0);
  // A view that stops inside a longer buffer is not read beyond its end.
  std::u16string buffer = u"&amp;";
  EXPECT_EQ(isCharRef(std::u16string_view(buffer).substr(0, 4), 0), -4);
  EXPECT_EQ(isCharRef(std::u16string_view(buffer).substr(0, 3), 0), 0);
}

TEST(IsCharRefTest, EveryEntityNameIsRecognised) {
  for (std::string_view name : htmlEntityNames()) {
    std::u16string text = u"&" + std::u16string(name.begin(), name.end()) + u";";
    EXPECT_EQ(charRef(text), int32_t(text.size())) << name;
  }
}

TEST(CharacterRunTest, HalfwidthKatakanaRuns) {
  EXPECT_EQ(hankakuKanaRunLength(u"\uff71\uff72\uff73a", 0), 3u);
  EXPECT_EQ(hankakuKanaRunLength(u"\uff61\uff9f\uffa0", 0), 2u);  // bounds inclusive
  EXPECT_EQ(hankakuKanaRunLength(u"\uff60", 0), 0u);
  EXPECT_EQ(hankakuKanaRunLength(u"a\uff71", 0), 0u);
  EXPECT_EQ(hankakuKanaRunLength(u"a\uff71", 2), 0u);
}

TEST(CharacterRunTest, JisX0208Repertoire) {
  // Common kanji, kana, symbols of rows 1-8 and the last kanji of row 84.
  for (char16_t c :
       {u'\u6f22', u'\u5b57', u'\u3042', u'\u30a2', u'\u3000', u'\u00a7', u'\u0391', u'\u0410',
        u'\u2500', u'\u51dc', u'\u7199', u'\u00a5', u'\u203e', u'\uff61', u'\uff9f'}) {
    EXPECT_TRUE(isShiftJISX0208Unit(c)) << std::hex << int(c);
  }
  // Both customary mappings of the symbols vendors map differently.
  for (char16_t c : {u'\u301c', u'\uff5e', u'\u2016', u'\u2225', u'\u2212', u'\uff0d', u'\u00a2',
                     u'\uffe0', u'\u00a3', u'\uffe1', u'\u00ac', u'\uffe2'}) {
    EXPECT_TRUE(isShiftJISX0208Unit(c)) << std::hex << int(c);
  }
  // NEC row 13, IBM extension kanji and symbols, other scripts, lone surrogates.
  for (char16_t c : {u'\u2460', u'\u2473', u'\u2160', u'\u3231', u'\u2116', u'\u2121', u'\u3349',
                     u'\u222e', u'\u7e8a', u'\u9ed1', u'\ufa11', u'\u2170', u'\uffe4', u'\u00e9',
                     u'\u00a9', u'\u00a0', u'\uac00', char16_t(0xD800), char16_t(0xDC00)}) {
    EXPECT_FALSE(isShiftJISX0208Unit(c)) << std::hex << int(c);
  }
}

TEST(CharacterRunTest, MachineDependentRuns) {
  // Two circled digits then a kanji: the run stops at the convertible kanji.
  EXPECT_EQ(machineDependentRunLength(u"\u2460\u2461\u6f22", 0), 2u);
  EXPECT_EQ(machineDependentRunLength(u"\u2460\u2461a", 0), 2u);
  EXPECT_EQ(machineDependentRunLength(u"\u6f22\u2460", 0), 0u);
  EXPECT_EQ(machineDependentRunLength(u"\u6f22\u2460", 1), 1u);
  // Half-width katakana are Shift_JIS characters: they stop a run rather than join it.
  EXPECT_EQ(machineDependentRunLength(u"\u2460\uff71", 0), 1u);
  // A character outside the BMP is two units, neither convertible on its own.
  EXPECT_EQ(machineDependentRunLength(u"\U0001F600x", 0), 2u);
  EXPECT_EQ(machineDependentRunLength(u"\u2460", 1), 0u);
}

}  // namespace
}  // namespace vmk
