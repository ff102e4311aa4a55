#include "support/Text.h"

#include <gtest/gtest.h>
#include <unicode/uchar.h>
#include <unicode/ustring.h>

#include <random>

namespace vmk {
namespace {

TEST(TextTest, Utf8RoundTripAndReplacement) {
  const std::string s = "a\xc3\xa9\xe6\x97\xa5\xf0\x9f\x98\x80";
  UString w = toUtf16(s);
  EXPECT_EQ(w, UString(u"a\u00e9\u65e5\U0001F600"));
  EXPECT_EQ(toUtf8(w), s);
  EXPECT_EQ(toUtf16("a\xff"
                    "b"),
            UString(u"a\uFFFDb"));
  EXPECT_EQ(toUtf8(UString(u"x\xD800y")), "x\xef\xbf\xbdy");  // lone surrogate
  EXPECT_EQ(toUtf16(""), UString());
}

TEST(TextTest, CaseMappingAndComparison) {
  EXPECT_EQ(uppercase(u"stra\u00dfe"), UString(u"STRASSE"));
  EXPECT_EQ(lowercase(u"\u00c9COLE"), UString(u"\u00e9cole"));
  EXPECT_EQ(asciiUppercase(u"div\u00e9"), UString(u"DIV\u00e9"));
  EXPECT_EQ(asciiLowercase(u"DIV\u00c9"), UString(u"div\u00c9"));
  EXPECT_EQ(caseInsensitiveCompare(u"Table", u"TABLE"), 0);
  EXPECT_LT(caseInsensitiveCompare(u"abc", u"ABD"), 0);
  EXPECT_GT(caseInsensitiveCompare(u"b", u"A"), 0);
  EXPECT_TRUE(isEqualToString(u"Td", u"TD", true));
  EXPECT_FALSE(isEqualToString(u"Td", u"TD", false));
  std::vector<UString> list{u"br", u"HR"};
  EXPECT_TRUE(containsStringObject(list, u"hr", true));
  EXPECT_FALSE(containsStringObject(list, u"hr", false));
  EXPECT_EQ(lastCharacter(u""), 0);
  EXPECT_EQ(lastCharacter(u"ab"), u'b');
}

// The comparison takes a short cut for ASCII text; it must order every pair as full case
// folding does, including punctuation between the upper and lower case letters and letters
// outside ASCII that fold onto ASCII ones (Kelvin sign, dotted capital I) or into two.
TEST(TextTest, CaseInsensitiveCompareAgreesWithFullCaseFolding) {
  const UString alphabet = u"aAbBkKsSzZ_[`{@09 \u212A\u0130\u00df\u00e9";
  std::mt19937 random(7);
  auto make = [&] {
    UString text;
    const size_t length = random() % 5;
    // Mostly ASCII, sometimes one unit from the end of the alphabet.
    for (size_t i = 0; i < length; ++i) {
      const size_t range = random() % 8 == 0 ? alphabet.size() : alphabet.size() - 4;
      text.push_back(alphabet[random() % range]);
    }
    return text;
  };
  auto sign = [](int value) { return value < 0 ? -1 : (value > 0 ? 1 : 0); };
  for (int round = 0; round < 20000; ++round) {
    UString a = make(), b = make();
    if (round % 3 == 0) b = a.substr(0, b.size() % (a.size() + 1)) + b;
    UErrorCode status = U_ZERO_ERROR;
    const int expected = sign(u_strCaseCompare(a.data(), int32_t(a.size()), b.data(),
                                               int32_t(b.size()), U_FOLD_CASE_DEFAULT, &status));
    ASSERT_TRUE(U_SUCCESS(status));
    ASSERT_EQ(caseInsensitiveCompare(a, b), expected) << toUtf8(a) << " / " << toUtf8(b);
    ASSERT_EQ(isEqualToString(a, b, true), expected == 0);
  }
  EXPECT_TRUE(isEqualToString(u"LIN\u212A", u"link", true));
  EXPECT_GT(caseInsensitiveCompare(u"Z", u"_"), 0);
  EXPECT_GT(caseInsensitiveCompare(u"z", u"_"), 0);
  EXPECT_LT(caseInsensitiveCompare(u"ab", u"AB\u00e9"), 0);
}

TEST(TextTest, SubstringIsClamped) {
  EXPECT_EQ(substringWithRange(u"hello", Range(1, 3)), u"ell");
  EXPECT_EQ(substringWithRange(u"hello", Range(3, 100)), u"lo");
  EXPECT_EQ(substringWithRange(u"hello", Range(9, 1)), u"");
  EXPECT_EQ(substringWithRange(u"hello", Range::notFound()), u"");
  EXPECT_EQ(toUString(-42), UString(u"-42"));
}

TEST(TextTest, UnitSearchesAgreeWithAPlainWalk) {
  // Wanted units before, inside and after each block of eight, at every starting place.
  UString text(u"ab\"cdefgh<ijklmnopq>rstuvwxyz0123456789\"ABCDEFG");
  text += UString(40, u'x') + u"<" + UString(3, u'y');
  for (size_t from = 0; from <= text.size() + 1; ++from) {
    size_t plain = UStringView::npos;
    for (size_t i = from; i < text.size(); ++i) {
      if (text[i] == u'"' || text[i] == u'<' || text[i] == u'>') {
        plain = i;
        break;
      }
    }
    EXPECT_EQ(findAnyOfThreeCodeUnits(text, u'"', u'<', u'>', from), plain) << from;
    const size_t lt = text.find(u'<', std::min(from, text.size()));
    EXPECT_EQ(findCodeUnit(text, u'<', from), from > text.size() ? UStringView::npos : lt) << from;
  }
  EXPECT_EQ(findAnyOfThreeCodeUnits(UStringView(text).substr(0, 2), u'"', u'<', u'>'),
            UStringView::npos);
}

}  // namespace
}  // namespace vmk
