#include "transform/EntityReferenceCommands.h"

#include "transform/TransformTestSupport.h"

namespace vmk::test {
namespace {

const std::string kDoctype = u8(kHtml401);

class EntityCommandsTest : public TransformTest {
 protected:
  std::string body(const std::string& html, std::optional<Range> selection = std::nullopt) {
    if (!selection) platform().queueAlertAnswers({AlertButton::First});
    std::string out = smartEntities(kHtml401 + u16(html), selection);
    return out.substr(std::min(out.size(), kDoctype.size()));
  }
  Range rangeOf(const std::string& html, const std::string& part) {
    const UString text = kHtml401 + u16(html);
    return Range(uint32_t(text.find(u16(part))), uint32_t(u16(part).size()));
  }
};

TEST_F(EntityCommandsTest, TextCommentsAndAttributeValuesAreConverted) {
  EXPECT_EQ(body("<p title=\"caf\u00E9 & co\">a > b & c &copy; &copy x</p><!-- \u00E9t\u00E9 -->"),
            "<p title=\"caf&eacute; &amp; co\">a &gt; b &amp; c &copy; &copy; x</p>"
            "<!-- &eacute;t&eacute; -->");
}

TEST_F(EntityCommandsTest, ScriptAndStyleContentIsLeftAlone) {
  EXPECT_EQ(body("<head><style>p > a { }</style><script>if (a < b && c) {}</script></head>"
                 "<body><p>\u00E9</p></body>"),
            "<head><style>p > a { }</style><script>if (a < b && c) {}</script></head>"
            "<body><p>&eacute;</p></body>");
}

TEST_F(EntityCommandsTest, OnlyTheSelectedPartOfATextIsConverted) {
  const std::string html = "<p>\u00E9\u00E9 & \u00E9\u00E9</p>";
  EXPECT_EQ(body(html, rangeOf(html, "\u00E9 &")), "<p>\u00E9&eacute; &amp; \u00E9\u00E9</p>");
  // A selection that cuts a reference does not turn its start into "&amp;".
  const std::string cut = "<p>&copy; x</p>";
  EXPECT_EQ(body(cut, rangeOf(cut, "&co")), cut);
}

TEST_F(EntityCommandsTest, TheWholeDocumentOnlyAfterConfirmation) {
  const UString text = UString(kHtml401) + u"<p>\u00E9</p>";
  HeadlessDocument& document = open(text);
  platform().queueAlertAnswers({AlertButton::Second});
  EXPECT_EQ(toEntityReferenceFor(document, false, checker()), TransformOutcome::Declined);
  ASSERT_EQ(platform().alerts().size(), 1u);
  EXPECT_EQ(u8(platform().alerts()[0].title),
            "'To Entity Reference' will be carried out for the whole document. Are you sure?");
  EXPECT_EQ(u8(platform().alerts()[0].message),
            "If not, push Cancel button, select the area you want and retry.");
  EXPECT_EQ(document.text(), text);
  platform().queueAlertAnswers({AlertButton::First});
  EXPECT_EQ(toEntityReferenceFor(document, false, checker()), TransformOutcome::Changed);
  platform().queueAlertAnswers({AlertButton::First});
  EXPECT_EQ(toEntityReferenceFor(document, false, checker()), TransformOutcome::Unchanged);
}

TEST_F(EntityCommandsTest, PlainTextMode) {
  const UString text = u"<a href=\"x\">&amp; \u00E9 \u20AC</a>";
  HeadlessDocument& document = open(text);
  document.setSelectedRange(Range(0, uint32_t(text.size())), false);
  EXPECT_EQ(toEntityReferenceFor(document, true, checker()), TransformOutcome::Changed);
  EXPECT_EQ(u8(document.text()), "&lt;a href=&quot;x&quot;&gt;&amp;amp; &eacute; \u20AC&lt;/a&gt;");
}

TEST_F(EntityCommandsTest, ARefusedEditLeavesTheTextAlone) {
  const UString text = UString(kHtml401) + u"<p>\u00E9</p>";
  HeadlessDocument& document = open(text);
  document.setRefusesEdits(true);
  document.setSelectedRange(Range(0, uint32_t(text.size())), false);
  EXPECT_EQ(toEntityReferenceFor(document, false, checker()), TransformOutcome::Unchanged);
  EXPECT_EQ(toEntityReferenceFor(document, true, checker()), TransformOutcome::Unchanged);
  EXPECT_EQ(document.text(), text);
}

TEST_F(EntityCommandsTest, ManyItemsAtOneDepthFindTheirParentsInOnePass) {
  // Each text run's parent is the body, far back in the list: a search back from every run
  // would take minutes here.
  std::string html = "<body>";
  for (int i = 0; i < 100000; ++i) html += "text<br>";
  html += "\u00E9</body>";
  const std::string out = body(html);
  EXPECT_EQ(out.substr(out.size() - 15), "&eacute;</body>");
}

}  // namespace
}  // namespace vmk::test
