// Ampersands in text runs and attribute values.
#include <gtest/gtest.h>

#include <ctime>

#include "EngineTestSupport.h"

namespace vmk::test {
namespace {

using Strings = std::vector<std::string>;

// Scans the text and checks the references of every text run.
Strings textRunErrors(const std::u16string& text) {
  auto checker = scanHTML(text, false);
  checker->errorLocations().clear();
  for (const auto& entry : checker->tagLocations())
    if (entry->isTextRun()) checker->checkCharRefFor(*entry);
  return errorList(*checker);
}

TEST(CharRefCheckTest, AmpersandsInText) {
  EXPECT_EQ(textRunErrors(u"<p>AT&T</p>"), Strings{"WrongAmpersand@5+1"});
  EXPECT_EQ(textRunErrors(u"<p>&amp x</p>"), Strings{"SemiColonLacked@3+4"});
  EXPECT_EQ(textRunErrors(u"<p>&copy; &#169; &#xA9; &eacute;</p>"), Strings{});
  EXPECT_EQ(textRunErrors(u"<p>a && b &#12a; &ampx;</p>"),
            (Strings{"WrongAmpersand@5+1", "WrongAmpersand@6+1", "SemiColonLacked@10+4",
                     "WrongAmpersand@17+1"}));
  // A reference may end after its text run: it is read in the whole text.
  EXPECT_EQ(textRunErrors(u"<p>x &amp"), Strings{});  // text after the last tag is not a run
}

TEST(CharRefCheckTest, CodeAndRawTextElementsAreNotExamined) {
  EXPECT_EQ(textRunErrors(u"<p><code>AT&T &amp x</code></p>"), Strings{});
  EXPECT_EQ(textRunErrors(u"<p><CODE>a&b</CODE></p>"), Strings{});
  EXPECT_EQ(textRunErrors(u"<script>if (a && b) x();</script>"), Strings{});
  EXPECT_EQ(textRunErrors(u"<style>a&b</style>"), Strings{});
  // Only the text right after the start tag is exempt.
  EXPECT_EQ(textRunErrors(u"<code>a<b>x</b>c&d</code>"), Strings{"WrongAmpersand@16+1"});
  EXPECT_EQ(textRunErrors(u"<code>a</code>c&d"), Strings{});
  EXPECT_EQ(textRunErrors(u"<code>a</code>c&d<br>"), Strings{"WrongAmpersand@15+1"});
}

// With an XML dictionary a CDATA section inside a text run is character data: its ampersands
// are bare by right, while the text around it is still examined.
TEST(CharRefCheckTest, CDATASectionsInXHTMLAreNotExamined) {
  auto xhtmlErrors = [](const std::u16string& text) {
    auto checker = scanXHTML(text, false);
    checker->errorLocations().clear();
    for (const auto& entry : checker->tagLocations())
      if (entry->isTextRun()) checker->checkCharRefFor(*entry);
    return errorList(*checker);
  };
  EXPECT_EQ(xhtmlErrors(u"<p>//<![CDATA[ if (a && b) ]]></p>"), Strings{});
  EXPECT_EQ(xhtmlErrors(u"<p>a&b <![CDATA[ & ]]> c&d <![CDATA[&]]></p>"),
            (Strings{"WrongAmpersand@4+1", "WrongAmpersand@24+1"}));
  // An unterminated section runs to the end of the text.
  EXPECT_EQ(xhtmlErrors(u"<p>x&y<![CDATA[ a & b"), Strings{});
}

TEST(CharRefCheckTest, RangesOfAttributeValues) {
  const std::u16string text = u"<a href=\"a.cgi?x=1&y=2&amp;z=3\">";
  auto checker = scanHTML(text, false);
  checker->errorLocations().clear();
  checker->checkCharRefForRange(Range(9, 21));
  EXPECT_EQ(errorList(*checker), Strings{"WrongAmpersand@18+1"});

  // A range ending inside a reference: the reference is read past it.
  checker->errorLocations().clear();
  checker->checkCharRefForRange(Range(22, 2));
  EXPECT_EQ(errorList(*checker), Strings{});

  // Ranges reaching past the end of the text are cut at the end.
  checker->errorLocations().clear();
  checker->checkCharRefForRange(Range(18, 1000));
  checker->checkCharRefForRange(Range(5000, 10));
  checker->checkCharRefForRange(Range::notFound());
  EXPECT_EQ(errorList(*checker), Strings{"WrongAmpersand@18+1"});
}

TEST(CharRefCheckTest, TenMegabytesOfReferencesStayFast) {
  // Mostly well-formed references, one stray ampersand every hundred lines.
  std::u16string text;
  const std::u16string piece = u"<p>AT&amp;T &copy; &#169; &#x1F; &eacute;&nbsp;x</p>\n";
  size_t strays = 0;
  for (size_t line = 0; text.size() < 10u * 1024 * 1024; ++line) {
    text += piece;
    if (line % 100 == 0) {
      text += u"<td>a&b</td>\n";
      ++strays;
    }
  }
  auto checker = scanHTML(text, false);
  checker->errorLocations().clear();
  const std::clock_t start = std::clock();  // processor time: other processes do not count
  for (const auto& entry : checker->tagLocations())
    if (entry->isTextRun()) checker->checkCharRefFor(*entry);
  const double seconds = double(std::clock() - start) / CLOCKS_PER_SEC;
  EXPECT_EQ(checker->errorLocations().size(), strays);
  EXPECT_LT(seconds, 1.0);
}

}  // namespace
}  // namespace vmk::test
