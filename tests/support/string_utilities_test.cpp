#include <gtest/gtest.h>

#include <random>

#include "support/StringUtilities.h"
#include "support/TextEdits.h"

namespace vmk {
namespace {

TEST(URLStringInEncoding, EscapesBytesLineFeedsAndWhatTheEncodingCannotHold) {
  EXPECT_EQ(URLStringInEncoding(u"a b/\u00e9.html", Encoding::utf8(), 3), u"a%20b/%C3%A9.html");
  EXPECT_EQ(URLStringInEncoding(u"a\nb", Encoding::utf8(), 2), u"a%0D%0Ab");
  EXPECT_EQ(URLStringInEncoding(u"a\nb", Encoding::utf8(), 3), u"a%0Ab");
  EXPECT_EQ(URLStringInEncoding(u"a\nb", Encoding::utf8(), 1), u"a%0Db");
  // Existing escapes, "#", "&" and quotation marks pass; the listed characters do not.
  EXPECT_EQ(URLStringInEncoding(u"%20#x&y\"<>[]^`|{}\\", Encoding::utf8(), 3),
            u"%20#x&y\"%3C%3E%5B%5D%5E%60%7C%7B%7D%5C");
  EXPECT_EQ(URLStringInEncoding(u"\u3042", Encoding::shiftJIS(), 3), u"%82%A0");
  // Latin-1 cannot hold the euro sign: its UTF-8 bytes, not "?".
  EXPECT_EQ(URLStringInEncoding(u"\u00e9\u20ac", Encoding::isoLatin1(), 3), u"%E9%E2%82%AC");
  // No valid encoding: UTF-8.
  EXPECT_EQ(URLStringInEncoding(u"\u00e9", Encoding(), 3), u"%C3%A9");
}

TEST(ToZenkaku, FullWidthFormsAndNeverEmpty) {
  EXPECT_EQ(toZenkaku(u"\uff76\uff9e\uff71"), u"\u30ac\u30a2");  // ｶﾞｱ -> ガア
  EXPECT_EQ(toZenkaku(u"A1"), u"\uff21\uff11");
  EXPECT_EQ(toZenkaku(u"\u00e9"), u"\u00e9");  // no full-width form: kept
  EXPECT_EQ(toZenkaku(u""), u"");
}

// Random replacements, composed, give what applying them one after another gives.
TEST(ComposedEdits, AgreeWithReplacementsMadeInTurn) {
  std::mt19937 random(7);
  for (int round = 0; round < 300; ++round) {
    const UString base = u"0123456789abcdefghijklmnopqrstuvwxyz";
    UString expected = base;
    ComposedEdits composed(base);
    const int steps = 1 + int(random() % 8);
    for (int i = 0; i < steps; ++i) {
      const uint32_t size = uint32_t(expected.size());
      const uint32_t at = size ? uint32_t(random() % (size + 1)) : 0;
      const uint32_t length = uint32_t(random() % 4) % (size - at + 1);
      const UString text(random() % 4, char16_t(u'A' + i));
      expected.replace(at, length, text);
      composed.replace(Range(at, length), text);
      ASSERT_EQ(composed.length(), expected.size());
      const uint32_t from = uint32_t(random() % (expected.size() + 1));
      ASSERT_EQ(composed.read(Range(from, 5)), expected.substr(from, 5));
    }
    ASSERT_EQ(composed.text(), expected);
    const std::vector<TextEdit> edits = composed.edits();
    for (size_t k = 1; k < edits.size(); ++k)
      ASSERT_LT(edits[k - 1].range.max(), edits[k].range.location);
    ASSERT_EQ(applyEdits(base, edits), expected);
  }
}

TEST(ComposedEdits, WhereAnUntouchedRangeOfTheBaseLiesNow) {
  const UString base = u"<br>text</br>";
  ComposedEdits composed(base);
  composed.replace(Range(3, 1), u" />");
  EXPECT_EQ(composed.currentRangeOfBase(Range(8, 5)), Range(10, 5));
  EXPECT_EQ(composed.currentRangeOfBase(Range(2, 3)), std::nullopt);
}

}  // namespace
}  // namespace vmk
