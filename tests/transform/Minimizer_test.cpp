#include "transform/Minimizer.h"

#include "engine/ResultsDisplay.h"
#include "transform/TransformTestSupport.h"

namespace vmk::test {
namespace {

const std::string kDoctype = u8(kHtml401);

class MinimizerTest : public TransformTest {
 protected:
  std::string body(const std::string& html) {
    std::string out = minimized(kHtml401 + u16(html));
    EXPECT_EQ(out.compare(0, kDoctype.size() - 1, kDoctype.substr(0, kDoctype.size() - 1)), 0)
        << out;
    return out.substr(std::min(out.size(), kDoctype.size()));
  }
};

TEST_F(MinimizerTest, WhiteSpaceBetweenAndInsideTags) {
  EXPECT_EQ(body("<p>one</p>\n\n\n<p>two\n   three</p>"), "<p>one</p> <p>two three</p>");
  EXPECT_EQ(body("<img\n  src=\"a.png\"\n  alt=\"a   b\">"), "<img src=\"a.png\" alt=\"a b\">");
  EXPECT_EQ(body("<b>x</b> <i>y</i>"), "<b>x</b> <i>y</i>");
  EXPECT_EQ(body("<!--  a\n  comment  -->"), "<!-- a comment -->");
}

TEST_F(MinimizerTest, PreformattedTextStaysAsItIs) {
  EXPECT_EQ(body("<pre>\n\tone\n\n\t<b>two</b>  \n</pre>\n<p>a   b</p>"),
            "<pre>\n\tone\n\n\t<b>two</b>  \n</pre> <p>a b</p>");
  // A pre whose whole content is one text clears the flag at its end tag.
  EXPECT_EQ(body("<pre>\n\tx\n</pre>a\n\n b"), "<pre>\n\tx\n</pre>a b");
}

TEST_F(MinimizerTest, RawTextKeepsItsLineStructure) {
  EXPECT_EQ(body("<script>\n  var a;\n  var b;\n</script>"), "<script>var a;\nvar b; </script>");
}

TEST_F(MinimizerTest, TextTheTagListDoesNotCoverIsKept) {
  EXPECT_EQ(body("<p>a</p>\n  tail\n  text\n"), "<p>a</p> tail text ");
  EXPECT_EQ(body("<p>a</p>\n<img src=\"x\"\n  alt"), "<p>a</p> <img src=\"x\"\n  alt");
  EXPECT_EQ(body("<p>a\u00A0\u00A0b\u3000</p>"), "<p>a\u00A0\u00A0b\u3000</p>");
  const std::string out = minimized(kXhtml10 + u16("<div>\n  <![CDATA[ x\n  y ]]>\n</div>"));
  EXPECT_NE(out.find("<div> <![CDATA[ x\n  y ]]> </div>"), std::string::npos) << out;
}

TEST_F(MinimizerTest, TheConfirmationSpeaksOfTheTruncatedShare) {
  EXPECT_EQ(u8(minimizeConfirmationTitle(1000, 999)),
            "You can decrease the size of HTML from 1000 bytes to 999 bytes (99%).");
  const UString text = UString(kHtml401) + u"<p>a\n\n   b</p>";
  HeadlessDocument& document = open(text);
  platform().queueAlertAnswers({AlertButton::Second});
  EXPECT_EQ(minimizeHTMLForDocument(document, true, checker()), TransformOutcome::Declined);
  ASSERT_EQ(platform().alerts().size(), 1u);
  EXPECT_EQ(u8(platform().alerts()[0].message), "Do you want to minimize?");
  EXPECT_EQ(platform().alerts()[0].buttons[0], u"Yes");
  EXPECT_EQ(document.text(), text);

  struct Display : ResultsDisplay {
    int updates = 0;
    void updateResultsForDocument(HostDocument&) override { ++updates; }
  } display;
  setResultsDisplay(&display);
  EXPECT_EQ(minimizeHTMLForDocument(document, false, checker()), TransformOutcome::Changed);
  EXPECT_EQ(minimizeHTMLForDocument(document, false, checker()), TransformOutcome::Unchanged);
  setResultsDisplay(nullptr);
  EXPECT_EQ(display.updates, 1);
  EXPECT_EQ(platform().alerts().size(), 1u);
  EXPECT_EQ(u8(document.text()), kDoctype.substr(0, kDoctype.size() - 1) + " <p>a b</p>");
}

}  // namespace
}  // namespace vmk::test
