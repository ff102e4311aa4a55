#include "transform/Beautifier.h"

#include "engine/ResultsDisplay.h"
#include "host/ScriptCommand.h"
#include "transform/TransformTestSupport.h"

namespace vmk::test {
namespace {

const std::string kDoctype = u8(kHtml401);

class BeautifierTest : public TransformTest {
 protected:
  // The beautified text with the DOCTYPE line taken off.
  std::string body(const std::string& html) {
    std::string out = beautified(kHtml401 + u16(html));
    EXPECT_EQ(out.compare(0, kDoctype.size(), kDoctype), 0) << out;
    return out.substr(std::min(out.size(), kDoctype.size()));
  }
  // One tag rewritten with the current settings.
  std::string tag(const std::string& text) {
    VmkTagLocation location;
    location.setTagRange(Range(0, uint32_t(u16(text).size())));
    return u8(beautifyTagString(location, u16(text), BeautifySettings::current()));
  }
};

TEST_F(BeautifierTest, LayoutClassesComeFromTheFourListsInOrder) {
  const BeautifySettings s = BeautifySettings::current();
  EXPECT_EQ(s.newlineTypeForElement(u"B"), 0);
  EXPECT_EQ(s.newlineTypeForElement(u"/td"), 4);
  EXPECT_EQ(s.newlineTypeForElement(u"br"), 2);
  EXPECT_EQ(s.newlineTypeForElement(u"!--"), 2);
  EXPECT_EQ(s.newlineTypeForElement(u"HR"), 6);
  EXPECT_EQ(s.newlineTypeForElement(u"div"), -1);
  set("Vmk_IndentAtStartTags", "b p");
  EXPECT_EQ(newlineTypeForElement(u"b"), 0);  // the first list wins
  EXPECT_EQ(newlineTypeForElement(u"p"), 4);
}

TEST_F(BeautifierTest, BlocksParagraphsAndTheWholeContentShortcut) {
  EXPECT_EQ(body("<div><p>Hello</p><div>only text</div></div>"),
            "<div>\n\t<p>Hello</p>\n\t<div>only text</div>\n</div>\n");
  EXPECT_EQ(body("<p>a<br>b<!-- c --><hr></p>"), "<p>a<br>\n\tb<!-- c -->\n\t<hr>\n</p>\n");
}

TEST_F(BeautifierTest, TextRulesAtLineStartsAndEnds) {
  // A text run after a line break loses its leading line feeds and tabs; white space that ends
  // a line becomes one space, and an inline tag after it gets no second one.
  EXPECT_EQ(body("<div>\n\t\tone  \n\t\ttwo <b>x</b></div>"),
            "<div>\n\t\tone \n\t\ttwo <b>x</b>\n</div>\n");
  EXPECT_EQ(body("<p>a &amp;\t<b>b</b> c <i>d</i></p>"), "<p>a &amp; <b>b</b> c <i>d</i></p>\n");
  EXPECT_EQ(body("<p>a<br>\n\n\t\tb\n\t\tc</p>"), "<p>a<br>\n\tb\nc</p>\n");
  set("Vmk_DeleteTabAndLfFromData", "true");
  EXPECT_EQ(body("<div>\n\t\tone  \n\t\ttwo</div>"), "<div> one two</div>\n");
}

TEST_F(BeautifierTest, ProcessingInstructionsEndTheirLine) {
  const std::string out = beautified(u"<?xml version=\"1.0\"?><html></html>");
  EXPECT_EQ(out, "<?xml version=\"1.0\"?>\n<html>\n</html>\n");
}

TEST_F(BeautifierTest, TagRewriting) {
  EXPECT_EQ(tag("<img src=a.png width=100 alt='x y'>"),
            "<img src=\"a.png\" width=\"100\" alt='x y'>");
  EXPECT_EQ(tag("<br/>"), "<br />");
  EXPECT_EQ(tag("<br />"), "<br />");
  EXPECT_EQ(tag("< input\n checked\n\tdisabled >"), "<input checked  disabled >");
  EXPECT_EQ(tag("<a href = \"x\"title=\"y\">"), "<a href = \"x\" title=\"y\">");
  EXPECT_EQ(tag("<a href=>"), "<a href=\"\">");
  set("Vmk_SetTagInOneLine", "false");
  set("Vmk_EncloseAttributeValue", "false");
  EXPECT_EQ(tag("<img\n  src=a.png\n  alt=\"b\">"), "<img\n  src=a.png\n  alt=\"b\">");
  set("Vmk_ElementNameCase", "1");
  set("Vmk_AttributeNameCase", "2");
  EXPECT_EQ(tag("</p>"), "</P>");
  EXPECT_EQ(tag("<p CLASS=x>"), "<P class=x>");
}

TEST_F(BeautifierTest, AnInstructionInsideATagIsTakenWhole) {
  EXPECT_EQ(tag("<input <?php echo 'x' ?>>"), "<input <?php echo 'x' ?>>");
  EXPECT_EQ(tag("<input value=<?php echo $v ?> x>"), "<input value=\"<?php echo $v ?>\" x>");
  // An instruction inside a name ends the name where it stands; the walk still ends.
  EXPECT_EQ(tag("<a b<?x ?>>"), "<a b<?x  ? >>");
}

TEST_F(BeautifierTest, WhiteSpaceAloneBetweenTagsStaysOneSpace) {
  EXPECT_EQ(body("<p><b>x</b> <i>y</i>\n<b>z</b></p>"), "<p><b>x</b> <i>y</i> <b>z</b></p>\n");
}

TEST_F(BeautifierTest, PreformattedTextKeepsItsWhiteSpace) {
  set("Vmk_DeleteTabAndLfFromData", "true");
  EXPECT_EQ(body("<div><pre>\n\tone\n\n  <b>two</b>\n<code>x</code>\n\t<br></pre>a  b</div>"),
            "<div>\n\t<pre>\n\tone\n\n  <b>two</b>\n<code>x</code>\n\t<br></pre>\n\ta b\n</div>\n");
  // The white space that ends the whole content of a pre element becomes one space, and text
  // after it is collapsed again.
  EXPECT_EQ(body("<div><pre>one\n\ttwo\n</pre>a\n\nb</div>"),
            "<div>\n\t<pre>one\n\ttwo </pre>\n\ta b\n</div>\n");
}

TEST_F(BeautifierTest, RawTextKeepsItsLines) {
  set("Vmk_DeleteTabAndLfFromData", "true");
  EXPECT_EQ(body("<div><script>\nvar a;\n  var b;\n</script></div>"),
            "<div><script>\nvar a;\n  var b; </script>\n</div>\n");
}

TEST_F(BeautifierTest, TextTheTagListDoesNotCoverIsKept) {
  // After the last tag.
  EXPECT_EQ(body("<p>a</p>\ntail text\n"), "<p>a</p>\ntail text\n");
  // A tag whose ">" never came.
  EXPECT_EQ(body("<p>a</p>\n<img src=\"x\""), "<p>a</p>\n<img src=\"x\"");
  // A CDATA section alone between tags (XHTML).
  const std::string out = beautified(kXhtml10 + u16("<div><![CDATA[ x < y ]]></div>"));
  EXPECT_NE(out.find("<div><![CDATA[ x < y ]]>\n</div>\n"), std::string::npos) << out;
}

TEST_F(BeautifierTest, NoBreakSpacesAreText) {
  set("Vmk_DeleteTabAndLfFromData", "true");
  EXPECT_EQ(body("<p>a\u00A0\u00A0 b\u3000</p>"), "<p>a\u00A0\u00A0 b\u3000</p>\n");
}

TEST_F(BeautifierTest, ASelectionReplacesOnlyTheItemsItReaches) {
  const UString text = u"<div>\n<p>one</p>   <p>two</p>\n\t\t<p>three</p>\n</div>";
  const uint32_t two = uint32_t(text.find(u"<p>two"));
  HeadlessDocument& document = open(kHtml401 + text);
  const uint32_t offset = uint32_t(UString(kHtml401).size());
  document.setSelectedRange(Range(offset + two, 1), false);
  document.setTabWidth(4);
  beautifyHTMLForDocument(document, false, checker());
  EXPECT_EQ(u8(document.text()).substr(kDoctype.size()),
            "<div>\n<p>one</p>\t<p>two</p>\n\t\t<p>three</p>\n</div>");
  EXPECT_EQ(document.tabWidth(), 4);
}

TEST_F(BeautifierTest, ASelectionEndingInsideAnElementsOnlyTextWritesItsEndTagOnce) {
  const UString text = UString(kHtml401) + u"<p>abc</p><p>d</p>";
  const uint32_t b = uint32_t(text.find(u"bc"));
  EXPECT_EQ(beautified(text, false, Range(b - 3, 4)), kDoctype + "<p>abc</p>\n<p>d</p>");
}

TEST_F(BeautifierTest, ASelectionOfTheWholeTextIsAWholeBeautify) {
  const UString text = UString(kHtml401) + u"<div>x</div>";
  HeadlessDocument& document = open(text);
  document.setSelectedRange(Range(0, uint32_t(text.size())), false);
  beautifyHTMLForDocument(document, false, checker());
  EXPECT_EQ(document.tabWidth(), 32);
  EXPECT_EQ(u8(document.text()), kDoctype + "<div>x</div>\n");
  EXPECT_TRUE(platform().alerts().empty());
}

TEST_F(BeautifierTest, TheSelectionIsComparedWithTheDocumentsOwnText) {
  // The checker's last text is another document's, as long as this selection.
  const UString other = UString(kHtml401) + u"<p>x</p>";
  HeadlessDocument& first = open(other);
  checker().validateHTMLForDocument(first, false, false);
  const UString text = other + u"<div>tail</div>";
  HeadlessDocument& document = open(text);
  document.setSelectedRange(Range(0, uint32_t(other.size())), false);
  document.setTabWidth(4);
  beautifyHTMLForDocument(document, false, checker());
  EXPECT_EQ(document.tabWidth(), 4);
  EXPECT_EQ(u8(document.text()), kDoctype + "<p>x</p>\n<div>tail</div>");
}

TEST_F(BeautifierTest, ConfirmationsAndTheCheckAfterwards) {
  const UString text = UString(kHtml401) + u"<div><b>x</div>";
  HeadlessDocument& document = open(text);
  platform().queueAlertAnswers({AlertButton::Second});
  EXPECT_EQ(beautifyHTMLForDocument(document, false, checker()), TransformOutcome::Declined);
  ASSERT_EQ(platform().alerts().size(), 1u);
  EXPECT_EQ(u8(platform().alerts()[0].title),
            "The whole HTML document will be beautified. Are you sure?");
  EXPECT_EQ(document.text(), text);

  // Structural errors: asked unless a script command runs.
  platform().queueAlertAnswers({AlertButton::First, AlertButton::Second});
  EXPECT_EQ(beautifyHTMLForDocument(document, false, checker()), TransformOutcome::Declined);
  ASSERT_EQ(platform().alerts().size(), 3u);
  EXPECT_EQ(u8(platform().alerts()[2].title), "Detected Structural Errors");
  EXPECT_EQ(document.text(), text);

  struct Display : ResultsDisplay {
    std::string log;
    void clearErrorLocationsForDocument(HostDocument&) override { log += "clear;"; }
    void mergeErrorLocations(const VmkErrorLocationList&, HostDocument&) override {
      log += "merge;";
    }
  } display;
  setResultsDisplay(&display);
  {
    ScriptCommandScope script;
    EXPECT_EQ(beautifyHTMLForDocument(document, true, checker()), TransformOutcome::Changed);
  }
  setResultsDisplay(nullptr);
  EXPECT_EQ(platform().alerts().size(), 3u);
  EXPECT_EQ(display.log, "clear;merge;");
  EXPECT_EQ(u8(document.text()), kDoctype + "<div><b>x\n</div>\n");
}

TEST_F(BeautifierTest, NothingToLayOut) {
  HeadlessDocument& document = open(u"just text");
  EXPECT_EQ(beautifyHTMLForDocument(document, true, checker()), TransformOutcome::Unchanged);
  EXPECT_EQ(u8(document.text()), "just text");
}

}  // namespace
}  // namespace vmk::test
