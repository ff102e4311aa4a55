#include "support/Regex.h"

#include <gtest/gtest.h>

namespace vmk {
namespace {

UString u(const char* s) {
  return toUtf16(s);
}

TEST(RegexTest, RubySyntaxFeatures) {
  const UString text = u("<p>one</p> <p>two</p>");
  auto lazy = Regex("<p>(.*?)</p>").allMatches(text);
  ASSERT_EQ(lazy.size(), 2u);
  EXPECT_EQ(lazy[0].text(text, 1), u("one"));
  EXPECT_EQ(lazy[1].text(text, 1), u("two"));
  EXPECT_EQ(Regex("<p>(.*)</p>").allMatches(text).size(), 1u);

  auto ahead = Regex("\\w+(?=</p>)").allMatches(text);
  ASSERT_EQ(ahead.size(), 2u);
  EXPECT_EQ(ahead[1].range(), Range(14, 3));
  EXPECT_TRUE(Regex("a(?!b)").matches(u("abac")));
  EXPECT_FALSE(Regex("a(?!b)").matches(u("ab")));

  auto classes = Regex("(\\d+)\\s+(\\w+)").firstMatch(u("x 42 \t apples"));
  ASSERT_TRUE(classes);
  EXPECT_EQ(classes->text(u("x 42 \t apples"), 1), u("42"));
  EXPECT_EQ(classes->text(u("x 42 \t apples"), 2), u("apples"));

  EXPECT_TRUE(Regex("\\x{41}\\x{e9}").matches(u("A\xc3\xa9")));
  EXPECT_TRUE(Regex("[\\x{00}-\\x{08}]").matches(UString(u"a\x01")));
  EXPECT_FALSE(Regex("[\\x{00}-\\x{08}]").matches(u("plain")));
}

TEST(RegexTest, LineAnchorsAndDot) {
  const UString text = u("first\nsecond\nthird");
  auto starts = Regex("^\\w").allMatches(text);
  ASSERT_EQ(starts.size(), 3u);
  EXPECT_EQ(starts[1].range(), Range(6, 1));
  auto ends = Regex("\\w$").allMatches(text);
  ASSERT_EQ(ends.size(), 3u);
  EXPECT_EQ(ends[0].range(), Range(4, 1));

  EXPECT_FALSE(Regex("first.second").matches(text));
  EXPECT_TRUE(Regex("first.second", Regex::kMultiline).matches(text));
  auto across = Regex("<!--.*-->", Regex::kMultiline).firstMatch(u("a<!-- x\ny -->b"));
  ASSERT_TRUE(across);
  EXPECT_EQ(across->range(), Range(1, 12));
}

TEST(RegexTest, IgnoreCase) {
  EXPECT_FALSE(Regex("<\\s*html").matches(u("< HTML>")));
  EXPECT_TRUE(Regex("<\\s*html", Regex::kIgnoreCase).matches(u("< HTML>")));
  EXPECT_TRUE(Regex("\xc3\xa9t\xc3\xa9", Regex::kIgnoreCase).matches(u("\xc3\x89T\xc3\x89")));
}

TEST(RegexTest, GroupsAndUnmatchedGroups) {
  const UString text = u("key=value");
  auto m = Regex("(\\w+)=(\\w+)(;\\w+)?").firstMatch(text);
  ASSERT_TRUE(m);
  EXPECT_EQ(m->groupCount(), 4u);
  EXPECT_EQ(m->range(0), Range(0, 9));
  EXPECT_EQ(m->range(1), Range(0, 3));
  EXPECT_EQ(m->range(2), Range(4, 5));
  EXPECT_FALSE(m->range(3).found());
  EXPECT_FALSE(m->text(text, 3).has_value());
  EXPECT_FALSE(m->range(7).found());
  EXPECT_FALSE(m->text(text, 7).has_value());
}

TEST(RegexTest, SearchInsideRange) {
  const UString text = u("abc abc abc");
  Regex abc("abc");
  auto m = abc.firstMatch(text, Range(1, 10));
  ASSERT_TRUE(m);
  EXPECT_EQ(m->range(), Range(4, 3));
  // A match may not run past the end of the range.
  EXPECT_FALSE(abc.firstMatch(text, Range(4, 2)));
  EXPECT_EQ(abc.allMatches(text, Range(2, 6)).size(), 1u);
  // The text before the range stays visible to look-behind and to "^".
  EXPECT_FALSE(Regex("(?<=c )abc").firstMatch(text, Range(0, 3)));
  EXPECT_EQ(Regex("(?<=c )abc").firstMatch(text, Range(4, 7))->range(), Range(4, 3));
  EXPECT_FALSE(Regex("^abc").firstMatch(text, Range(4, 7)));
  EXPECT_EQ(Regex("^abc").firstMatch(u("x\nabc"), Range(2, 3))->range(), Range(2, 3));
  // Out-of-bounds ranges are clamped or give nothing.
  EXPECT_EQ(abc.allMatches(text, Range(8, 100)).size(), 1u);
  EXPECT_FALSE(abc.firstMatch(text, Range(50, 1)));
  EXPECT_FALSE(abc.firstMatch(text, Range::notFound()));
}

TEST(RegexTest, RangesCountUtf16UnitsPastSurrogatePairs) {
  // U+1F600 and U+10000 take two units each.
  const UString text = u"\U0001F600a\U00010000<b>";
  auto m = Regex("<(b)>").firstMatch(text);
  ASSERT_TRUE(m);
  EXPECT_EQ(m->range(), Range(5, 3));
  EXPECT_EQ(m->range(1), Range(6, 1));
  EXPECT_EQ(Regex(".").allMatches(text).size(), 6u);  // a pair is one character
  // Empty matches step over a pair without splitting it.
  auto empties = Regex("x*").allMatches(UString(u"\U0001F600a"));
  ASSERT_EQ(empties.size(), 3u);
  EXPECT_EQ(empties[1].range(), Range(2, 0));
  EXPECT_EQ(empties[2].range(), Range(3, 0));
}

TEST(RegexTest, LoneSurrogateAtEndStaysInBounds) {
  // A high surrogate ending the text, or ending the search range inside a pair, must not
  // make a match reach past the end.
  const UString lone = u"ab" + UString(1, char16_t(0xD83D));
  auto all = Regex(".").allMatches(lone);
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[2].range(), Range(2, 1));
  EXPECT_EQ(Regex("b.").replaceAllTemplate(lone, u"[\\0]"),
            u"a[b" + UString(1, char16_t(0xD83D)) + u"]");
  const UString pair = u"x\U0001F600y";
  auto cut = Regex(".$").firstMatch(pair, Range(0, 2));
  ASSERT_TRUE(cut);
  EXPECT_LE(cut->range().max(), 2u);
}

TEST(RegexTest, EmptyMatchesAdvance) {
  auto m = Regex("a*").allMatches(u("baa"));
  ASSERT_EQ(m.size(), 3u);
  EXPECT_EQ(m[0].range(), Range(0, 0));
  EXPECT_EQ(m[1].range(), Range(1, 2));
  EXPECT_EQ(m[2].range(), Range(3, 0));
}

TEST(RegexTest, Replacements) {
  Regex attr("(\\w+)=(\\w+)");
  EXPECT_EQ(attr.replaceAllTemplate(u("a=1 b=2"), u("\\2=\"\\1\"")), u("1=\"a\" 2=\"b\""));
  EXPECT_EQ(attr.replaceAllTemplate(u("a=1"), u("[\\0|\\3|\\\\]")), u("[a=1||\\]"));
  EXPECT_EQ(attr.replaceAllFixed(u("a=1, b=2."), u("X")), u("X, X."));
  EXPECT_EQ(attr.replaceAllFixed(u("none"), u("X")), u("none"));
  EXPECT_EQ(Regex("\\s+").replaceAllFixed(u(" a  b "), u(" ")), u(" a b "));
  EXPECT_EQ(Regex("(?:x)?").replaceAllTemplate(u("ab"), u("-")), u("-a-b-"));
}

TEST(RegexTest, ForEachStopsEarly) {
  int seen = 0;
  Regex("\\d").forEachMatch(u("1 2 3"), Range(0, 5), [&](const RegexMatch&) { return ++seen < 2; });
  EXPECT_EQ(seen, 2);
}

TEST(RegexTest, BadPatternThrowsAndCacheIsStable) {
  EXPECT_THROW(Regex("(unclosed"), RegexError);
  EXPECT_THROW(Regex::cached("[z-a]"), RegexError);
  const Regex& a = Regex::cached("<\\s*body", Regex::kIgnoreCase);
  const Regex& b = Regex::cached("<\\s*body", Regex::kIgnoreCase);
  const Regex& c = Regex::cached("<\\s*body");
  EXPECT_EQ(&a, &b);
  EXPECT_NE(&a, &c);
  EXPECT_TRUE(a.matches(u("< BODY")));
  EXPECT_FALSE(c.matches(u("< BODY")));
}

TEST(RegexTest, MovedRegexStillMatches) {
  Regex a("b+");
  Regex b(std::move(a));
  EXPECT_EQ(b.firstMatch(u("abbc"))->range(), Range(1, 2));
}

}  // namespace
}  // namespace vmk
