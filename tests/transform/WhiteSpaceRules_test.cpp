// The white-space rewrites against the line-anchored patterns they stand for (with the white
// space class spelled out in ASCII), on many random texts.
#include "transform/WhiteSpaceRules.h"

#include <gtest/gtest.h>

#include <random>

#include "support/Regex.h"

namespace vmk {
namespace {

UString applied(void (*rewrite)(UStringView, UString&), UStringView text) {
  UString out = u"kept:";
  rewrite(text, out);
  return out.substr(5);
}

UString randomText(std::mt19937& random) {
  static const char16_t kUnits[] = {u'a', u'b', u' ', u'\t', u'\n', u'\r', u'\f', 0xA0, 0x3000};
  std::uniform_int_distribution<size_t> length(0, 14);
  std::uniform_int_distribution<size_t> pick(0, std::size(kUnits) - 1);
  UString text;
  for (size_t n = length(random); n > 0; --n) text.push_back(kUnits[pick(random)]);
  return text;
}

TEST(WhiteSpaceRules, AgreeWithThePatternsTheyStandFor) {
  const Regex collapse("[\\t\\n\\v\\f\\r ]+");
  const Regex lineStartFeedsAndTabs("^[\\n\\t]+");
  const Regex lineStartWhiteSpace("^[\\t\\n\\v\\f\\r ]+");
  const Regex lineEndWhiteSpace("[\\t\\n\\v\\f\\r ]+$");
  std::mt19937 random(17);
  for (int round = 0; round < 20000; ++round) {
    const UString text = randomText(random);
    SCOPED_TRACE(toUtf8(text));
    EXPECT_EQ(applied(collapseWhiteSpace, text), collapse.replaceAllFixed(text, u" "));
    EXPECT_EQ(applied(deleteLineStartFeedsAndTabs, text),
              lineStartFeedsAndTabs.replaceAllFixed(text, u""));
    EXPECT_EQ(applied(deleteLineStartWhiteSpace, text),
              lineStartWhiteSpace.replaceAllFixed(text, u""));
    EXPECT_EQ(applied(oneSpaceForLineEndWhiteSpace, text),
              lineEndWhiteSpace.replaceAllFixed(text, u" "));
  }
}

TEST(WhiteSpaceRules, OnlyAsciiWhiteSpaceCounts) {
  EXPECT_EQ(applied(collapseWhiteSpace, u"a\u00A0\u00A0b\u3000 \n c"), u"a\u00A0\u00A0b\u3000 c");
  EXPECT_EQ(applied(oneSpaceForLineEndWhiteSpace, u"a\u00A0\n"), u"a\u00A0 ");
  EXPECT_TRUE(isAllWhiteSpace(u" \t\r\n"));
  EXPECT_FALSE(isAllWhiteSpace(u" \u00A0 "));
}

TEST(WhiteSpaceRules, EmptyLinesOfARunBecomeOneSpaceBeforeItsLastLineBreak) {
  EXPECT_EQ(applied(oneSpaceForLineEndWhiteSpace, u"a \n\nb\n"), u"a \nb ");
  EXPECT_EQ(applied(deleteLineStartFeedsAndTabs, u"\n\t\ta\n\t\tb\n\n"), u"a\nb\n");
}

}  // namespace
}  // namespace vmk
