// The tag commands over real validation runs with the shipped dictionaries: a page is written
// with the selection marked in it ("|" a caret, "{" and "}" a range), opened as a headless
// document, and the commands' selections, edits, beeps and opened addresses are read back.
#include "transform/TagCommands.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "dictionary/DictionaryFolder.h"
#include "engine/VmkHTMLChecker.h"
#include "host/headless/HeadlessDocument.h"
#include "host/headless/HeadlessPlatform.h"
#include "settings/VmkUserDefaults.h"
#include "transform/TransformTestSupport.h"

namespace vmk {
namespace {

const std::u16string kHtml =
    u"<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\" "
    u"\"http://www.w3.org/TR/html4/strict.dtd\">\n";
const std::u16string kXhtml =
    u"<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Strict//EN\" "
    u"\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd\">\n";

// Private folders and settings for each test, as the other transformation tests have, so that
// the tests do not depend on what ran before them in the same process.
class TagCommandsTest : public test::TransformTest {
 protected:
  void SetUp() override {
    TransformTest::SetUp();
    setPlatform(&platform);
  }

  // Opens `marked` (selection marks removed) as the document the commands work on.
  HeadlessDocument& page(std::u16string marked, std::optional<std::string> fileName = {}) {
    UString text;
    Range selection;
    for (char16_t c : marked) {
      if (c == u'|' || c == u'{') {
        selection.location = uint32_t(text.size());
        selection.length = 0;
      } else if (c == u'}') {
        selection.length = uint32_t(text.size()) - selection.location;
      } else {
        text += c;
      }
    }
    document = std::make_unique<HeadlessDocument>(std::move(text), std::move(fileName));
    document->setSelectedRange(selection, false);
    return *document;
  }
  // The text of the document's selection.
  std::u16string selected() const {
    const Range r = document->selectedRange();
    return document->text().substr(r.location, r.length);
  }
  std::u16string body() const {
    const size_t start = document->text().find(u"<body>");
    return start == UString::npos ? document->text() : document->text().substr(start + 6);
  }

  HeadlessPlatform platform;
  std::unique_ptr<VmkHTMLChecker> checker = VmkHTMLChecker::initOneMore();
  VmkTagCommands commands{*checker};
  std::unique_ptr<HeadlessDocument> document;
};

// ---- selectTagFor ----

TEST_F(TagCommandsTest, SelectTagFindsTheTagAroundTheCaret) {
  struct Case {
    std::u16string marked;
    bool wide;
    SelectedTagKind kind;
    std::u16string selection;  // the selection afterwards (unchanged when nothing is found)
  };
  const Case cases[] = {
      {u"x<p cl|ass=a>y", true, kStartTag, u"<p class=a>"},
      {u"x<p cl|ass=a>y", false, kStartTag, u"p class=a"},
      {u"<p>x</p|>", true, kEndTag, u"</p>"},
      {u"<p>x< / |p>", true, kEndTag, u"< / p>"},
      {u"<b>|text", true, kStartTag, u"<b>"},        // just after ">"
      {u"<b>|<i>", true, kStartTag, u"<b>"},         // between two tags: the one before
      {u"x|<b>y", true, kStartTag, u"<b>"},          // just before "<"
      {u"<br /|>", false, kStartTag, u"br "},        // "/" before ">" left out
      {u"<b>te|xt</b>", true, kNoTag, u""},          // in text
      {u"a{<b>x</b>}z", true, kNoTag, u"<b>x</b>"},  // across tags
      {u"<b>x</b>{y<i>}", true, kNoTag, u"y<i>"},    // "<" after the selection's start
      {u"|>", true, kNoTag, u""},                    // reads nothing before position 0
      {u"abc>|", true, kNoTag, u""},
      {u"<|", true, kNoTag, u""},  // no ">" before the end
      {u"<a|", true, kNoTag, u""},
      {u"|", true, kNoTag, u""},
      {u"<>|", true, kStartTag, u"<>"},
  };
  for (const Case& c : cases) {
    HeadlessDocument& d = page(c.marked);
    EXPECT_EQ(commands.selectTagFor(d, c.wide), c.kind) << toUtf8(c.marked);
    EXPECT_EQ(selected(), c.selection) << toUtf8(c.marked);
    EXPECT_EQ(checker->sourceDocument(), &d);
    EXPECT_EQ(checker->sourceString(), d.text());
  }
  page(u"<p|>");
  commands.selectTagFor(*document, true);
  EXPECT_TRUE(document->lastSelectionScrolled());
}

TEST_F(TagCommandsTest, SelectTagKeepsARunThatDescribesTheDocument) {
  HeadlessDocument& d = page(kHtml + u"<p>|x</p>");
  commands.getTagNameFor(d);
  const VmkTagLocation* first = checker->tagLocations().front().get();
  EXPECT_EQ(commands.selectTagFor(d, true), kStartTag);
  ASSERT_FALSE(checker->tagLocations().empty());
  EXPECT_EQ(checker->tagLocations().front().get(), first);
  EXPECT_TRUE(commands.selectPairTagFor(d));
  EXPECT_EQ(selected(), u"</p>");

  // Another document with the same text gets a run of its own, not an empty one.
  std::unique_ptr<HeadlessDocument> old = std::move(document);
  HeadlessDocument& other = page(kHtml + u"<p|>x</p>");
  EXPECT_EQ(commands.selectTagFor(other, true), kStartTag);
  EXPECT_TRUE(commands.selectPairTagFor(other));
  EXPECT_EQ(selected(), u"</p>");
}

// ---- Partner and element ----

TEST_F(TagCommandsTest, PairAndElementFollowTheFirstContainingEntry) {
  HeadlessDocument& d = page(kHtml + u"<div><p c|lass=a>x</p></div>");
  EXPECT_TRUE(commands.selectPairTagFor(d));
  EXPECT_EQ(selected(), u"</p>");
  EXPECT_TRUE(commands.selectPairTagFor(d));
  EXPECT_EQ(selected(), u"<p class=a>");
  EXPECT_TRUE(commands.selectElementFor(d));
  EXPECT_EQ(selected(), u"<p class=a>x</p>");

  // A caret between "<div>" and "<p>" belongs to "<div>".
  page(kHtml + u"<div>|<p>x</p></div>");
  EXPECT_TRUE(commands.selectPairTagFor(*document));
  EXPECT_EQ(selected(), u"</div>");
  EXPECT_TRUE(commands.selectElementFor(*document));
  EXPECT_EQ(selected(), u"<div><p>x</p></div>");
  EXPECT_EQ(platform.beepCount(), 0);
}

TEST_F(TagCommandsTest, AnUnmatchedTagBeepsAndItsElementEndsWithItsContent) {
  // The tree walk leaves the last entry before the stray "</div>" at the depth of "<b>".
  HeadlessDocument& d = page(kHtml + u"<body><div><b|>x <i>y</i> z</div><p>z</body>");
  EXPECT_FALSE(commands.selectPairTagFor(d));
  EXPECT_EQ(platform.beepCount(), 1);
  EXPECT_TRUE(commands.selectElementFor(d));
  EXPECT_EQ(selected(), u"<b>x <i>y</i>");
  EXPECT_EQ(platform.beepCount(), 2);

  // Nothing after it: the element reaches the end of the text.
  page(kHtml + u"<body><div>a</div><br|>");
  EXPECT_TRUE(commands.selectElementFor(*document));
  EXPECT_EQ(selected(), u"<br>");
  EXPECT_EQ(platform.beepCount(), 3);
}

TEST_F(TagCommandsTest, TextRunsSelectionsAcrossEntriesAndEmptyLists) {
  HeadlessDocument& d = page(kHtml + u"<p>te|xt</p>");
  EXPECT_FALSE(commands.selectPairTagFor(d));
  EXPECT_EQ(platform.beepCount(), 1);
  EXPECT_EQ(commands.getTagNameFor(d), u"#data");

  page(kHtml + u"<p>{x</p>}");
  EXPECT_FALSE(commands.selectPairTagFor(*document));
  EXPECT_FALSE(commands.selectElementFor(*document));
  EXPECT_EQ(platform.beepCount(), 3);
  EXPECT_EQ(commands.getTagNameFor(*document), u"");
  EXPECT_EQ(commands.getAttributesFor(*document), std::nullopt);

  // An empty list: nothing happens, not even a beep.
  page(u"|");
  EXPECT_FALSE(commands.selectPairTagFor(*document));
  EXPECT_FALSE(commands.selectElementFor(*document));
  EXPECT_EQ(platform.beepCount(), 3);
}

// ---- Names and attributes ----

TEST_F(TagCommandsTest, NamesAndAttributesOfTheEntryAtTheSelection) {
  HeadlessDocument& d = page(kHtml + u"<form><INP|UT TYPE=checkbox checked value=\"a b\"></form>");
  EXPECT_EQ(commands.getTagNameFor(d), u"input");
  const std::vector<VmkAttributeValue> expected{
      {u"type", u"checkbox"}, {u"checked", u"checked"}, {u"value", u"a b"}};
  EXPECT_EQ(commands.getAttributesFor(d), expected);

  page(kHtml + u"<p>x</p|>");
  EXPECT_EQ(commands.getTagNameFor(*document), u"/p");
  EXPECT_EQ(commands.getAttributesFor(*document), std::vector<VmkAttributeValue>{});
  page(u"<!DOC|TYPE html>");
  EXPECT_EQ(commands.getTagNameFor(*document), u"!doctype");
}

TEST_F(TagCommandsTest, SelectAttributeTakesTheLastMatchAndItsClosingQuote) {
  HeadlessDocument& d = page(kHtml + u"<p t|itle=\"one\" class='c' TITLE=two>x</p>");
  EXPECT_TRUE(commands.selectAttribute(u"title", false, d));
  EXPECT_EQ(selected(), u"TITLE=two");
  EXPECT_TRUE(commands.selectAttribute(u"CLASS", false, d));
  EXPECT_EQ(selected(), u"class='c'");
  // The selection now lies inside the tag still, so the same entry decides.
  EXPECT_TRUE(commands.selectAttribute(u"class", true, d));
  EXPECT_EQ(selected(), u"c");
  EXPECT_FALSE(commands.selectAttribute(u"id", false, d));
  EXPECT_EQ(selected(), u"c");

  // An attribute written without a value is its name.
  page(kHtml + u"<form><input| checked></form>");
  EXPECT_TRUE(commands.selectAttribute(u"checked", false, *document));
  EXPECT_EQ(selected(), u"checked");
  EXPECT_TRUE(commands.selectAttribute(u"checked", true, *document));
  EXPECT_EQ(selected(), u"checked");
}

// ---- setAttribute ----

struct EditCase {
  std::u16string marked;  // body content
  std::u16string name;
  std::optional<std::u16string> value;
  std::u16string expected;  // body content afterwards
};

TEST_F(TagCommandsTest, SetAttributeReplacesRemovesAndAdds) {
  const EditCase cases[] = {
      {u"<p| title=\"old\">x</p>", u"TITLE", u"new", u"<p title=\"new\">x</p>"},
      {u"<p| title=\"old\" title=\"2\">x</p>", u"title", u"new",
       u"<p title=\"new\" title=\"2\">x</p>"},
      {u"<p| class=a>x</p>", u"class", u"b.c", u"<p class=b.c>x</p>"},
      {u"<p| title=\"x\"  class=y>x</p>", u"title", std::nullopt, u"<p class=y>x</p>"},
      {u"<p| class=y title='x'>x</p>", u"title", u"", u"<p class=y >x</p>"},
      {u"<p| class=y>x</p>", u"title", u"t", u"<p class=y title=\"t\">x</p>"},
      {u"<p| class=y >x</p>", u"title", u"t", u"<p class=y title=\"t\" >x</p>"},
      {u"<p| class=y>x</p>", u"title", std::nullopt, u"<p class=y>x</p>"},
      {u"<form><input| checked></form>", u"checked", u"checked",
       u"<form><input checked=\"checked\"></form>"},
      {u"<form><input| checked></form>", u"checked", u"", u"<form><input ></form>"},
  };
  for (const EditCase& c : cases) {
    HeadlessDocument& d = page(kHtml + u"<body>" + c.marked);
    UString unmarked = c.marked;
    unmarked.erase(unmarked.find(u'|'), 1);
    EXPECT_EQ(commands.setAttribute(c.name, c.value, d), c.expected != unmarked);
    EXPECT_EQ(body(), c.expected) << toUtf8(c.marked) << " " << toUtf8(c.name);
  }
  EXPECT_EQ(platform.beepCount(), 0);
}

TEST_F(TagCommandsTest, SetAttributeInsertsBeforeTheSpaceOfASelfClosedTag) {
  HeadlessDocument& d = page(kXhtml + u"<body><p>a<br| /></p><p>b<br/></p>");
  EXPECT_TRUE(commands.setAttribute(u"class", u"x", d));
  EXPECT_NE(d.text().find(u"a<br class=\"x\" /></p>"), UString::npos);
  const size_t second = d.text().find(u"<br/>");
  ASSERT_NE(second, UString::npos);
  d.setSelectedRange(Range(uint32_t(second + 1), 0), false);
  EXPECT_TRUE(commands.setAttribute(u"class", u"y", d));
  EXPECT_NE(d.text().find(u"b<br class=\"y\"/></p>"), UString::npos);
}

TEST_F(TagCommandsTest, ValuesThatWouldBreakTheTagAreQuoted) {
  const EditCase cases[] = {
      {u"<p| class=a>x</p>", u"class", u"a b", u"<p class=\"a b\">x</p>"},
      {u"<p| class=a>x</p>", u"class", u"a>b", u"<p class=\"a>b\">x</p>"},
      {u"<p| class=a>x</p>", u"class", u"say \"hi\"", u"<p class='say \"hi\"'>x</p>"},
      {u"<p| title=\"a\">x</p>", u"title", u"it's", u"<p title=\"it's\">x</p>"},
      {u"<p| title=\"a\">x</p>", u"title", u"say \"hi\"", u"<p title='say \"hi\"'>x</p>"},
      {u"<p| title='a'>x</p>", u"title", u"it's", u"<p title=\"it's\">x</p>"},
      {u"<p| title=\"a\">x</p>", u"title", u"it's \"x\"", u"<p title=\"it's &quot;x&quot;\">x</p>"},
      {u"<p| class=y>x</p>", u"title", u"\"q\"", u"<p class=y title='\"q\"'>x</p>"},
      {u"<form><input| checked></form>", u"checked", u"a\"b",
       u"<form><input checked='a\"b'></form>"},
  };
  for (const EditCase& c : cases) {
    HeadlessDocument& d = page(kHtml + u"<body>" + c.marked);
    EXPECT_TRUE(commands.setAttribute(c.name, c.value, d)) << toUtf8(c.marked);
    EXPECT_EQ(body(), c.expected) << toUtf8(c.marked) << " " << toUtf8(*c.value);
  }
}

TEST_F(TagCommandsTest, SetAttributeChangesOnlyStartTags) {
  const std::u16string elsewhere[] = {
      u"<!-- c| --><p>x</p>",
      u"<p>x</p|>",
      u"<p>te|xt</p>",
  };
  int beeps = 0;
  for (const std::u16string& marked : elsewhere) {
    HeadlessDocument& d = page(kHtml + u"<body>" + marked);
    const UString before = d.text();
    EXPECT_FALSE(commands.setAttribute(u"class", u"x", d)) << toUtf8(marked);
    EXPECT_EQ(d.text(), before);
    EXPECT_EQ(platform.beepCount(), ++beeps);
  }
  // A name that would break the tag is not written either.
  HeadlessDocument& d = page(kHtml + u"<body><p|>x</p>");
  EXPECT_FALSE(commands.setAttribute(u"a b", u"x", d));
  EXPECT_EQ(platform.beepCount(), ++beeps);
}

TEST_F(TagCommandsTest, SetAttributeIsAnUndoableEditThatTheViewMayRefuse) {
  HeadlessDocument& d = page(kHtml + u"<body><p| class=a>x</p>");
  const UString before = d.text();
  d.setRefusesEdits(true);
  EXPECT_FALSE(commands.setAttribute(u"class", u"b", d));
  EXPECT_EQ(d.text(), before);
  d.setRefusesEdits(false);
  EXPECT_TRUE(commands.setAttribute(u"class", u"b", d));
  EXPECT_EQ(body(), u"<p class=b>x</p>");
  EXPECT_EQ(d.didChangeTextCount(), 1);
  // The edited text is checked again before the next command.
  EXPECT_TRUE(commands.setAttribute(u"class", u"", d));
  EXPECT_EQ(body(), u"<p >x</p>");
  ASSERT_TRUE(d.undo());
  ASSERT_TRUE(d.undo());
  EXPECT_EQ(d.text(), before);
}

// ---- Links ----

TEST_F(TagCommandsTest, JumpResolvesLinksAgainstTheDocumentOrAnEarlierBase) {
  const std::u16string text = kHtml + u"<a href=\"sub/b c.html\" title=\"t\">x</a>";
  HeadlessDocument& d = page(text, "/tmp/site/page.html");
  const uint32_t value = uint32_t(text.find(u"sub/"));
  EXPECT_TRUE(commands.relativeURLJumpForIndex(value + 3, d));
  EXPECT_EQ(selected(), u"sub/b c.html");
  ASSERT_EQ(platform.openedURLs().size(), 1u);
  EXPECT_EQ(platform.openedURLs().back(), "file:///tmp/site/sub/b%20c.html");
  // Both ends of the value count.
  EXPECT_TRUE(commands.relativeURLJumpForIndex(value, d));
  EXPECT_TRUE(commands.relativeURLJumpForIndex(value + 12, d));
  // Not a link attribute, not in a value, not in a tag with attributes.
  EXPECT_FALSE(commands.relativeURLJumpForIndex(uint32_t(text.find(u"\"t\"")) + 1, d));
  EXPECT_FALSE(commands.relativeURLJumpForIndex(uint32_t(text.find(u"href")), d));
  EXPECT_FALSE(commands.relativeURLJumpForIndex(uint32_t(text.find(u">x<")) + 1, d));
  EXPECT_EQ(platform.openedURLs().size(), 3u);

  // A base element before the link replaces the document's address; one after it does not.
  const std::u16string based = kHtml +
                               u"<html><head><title>t</title>"
                               u"<base href=\"http://127.0.0.1:8080/dir/\"></head><body>"
                               u"<p><img src=\"../i.png\" alt=\"\"></p></body></html>";
  page(based, "/tmp/site/page.html");
  EXPECT_TRUE(commands.relativeURLJumpForIndex(uint32_t(based.find(u"../i")), *document));
  EXPECT_EQ(platform.openedURLs().back(), "http://127.0.0.1:8080/i.png");
  // The base element's own address is a link too, resolved without it.
  EXPECT_TRUE(commands.relativeURLJumpForIndex(uint32_t(based.find(u"dir/")), *document));
  EXPECT_EQ(platform.openedURLs().back(), "http://127.0.0.1:8080/dir/");
  const std::u16string late =
      kHtml + u"<p><a href=\"x.html\">x</a><base href=\"http://127.0.0.1/\">";
  page(late, "/tmp/site/page.html");
  EXPECT_TRUE(commands.relativeURLJumpForIndex(uint32_t(late.find(u"x.html")), *document));
  EXPECT_EQ(platform.openedURLs().back(), "file:///tmp/site/x.html");

  // A document without an address opens the value as written.
  page(kHtml + u"<p><a href=\"#top\">x</a>");
  EXPECT_TRUE(commands.relativeURLJumpForIndex(uint32_t(document->text().find(u"top")), *document));
  EXPECT_EQ(commands.lastOpenedAddress(), "#top");
  page(u"");
  EXPECT_FALSE(commands.relativeURLJumpForIndex(0, *document));
}

TEST(AddressTest, FileAddressesAndResolution) {
  EXPECT_EQ(fileAddressForPath("/a b/c#d.html"), "file:///a%20b/c%23d.html");
  EXPECT_EQ(resolveAddress("http://127.0.0.1/a/b.html", "c.html"), "http://127.0.0.1/a/c.html");
  EXPECT_EQ(resolveAddress("http://127.0.0.1/a/b.html", "/x?q=1#f"), "http://127.0.0.1/x?q=1#f");
  EXPECT_EQ(resolveAddress("http://127.0.0.1/a/", "https://[::1]/z"), "https://[::1]/z");
  EXPECT_EQ(resolveAddress(std::nullopt, "c.html"), "c.html");
}

// ---- Questions ----

TEST_F(TagCommandsTest, InElementNeedsTheSelectionBetweenTheTags) {
  HeadlessDocument& d = page(kHtml + u"<div><b>x</b><p|>y <i>z</i></p></div>");
  EXPECT_FALSE(commands.isInElement(u"p", d));  // inside the start tag itself
  EXPECT_TRUE(commands.isInElement(u"DIV", d));
  EXPECT_FALSE(commands.isInElement(u"b", d));
  page(kHtml + u"<div><b>x</b><p>y |<i>z</i></p></div>");
  EXPECT_TRUE(commands.isInElement(u"p", *document));
  EXPECT_FALSE(commands.isInElement(u"i", *document));
  page(kHtml + u"<div><p>y <i>{z</i></p>}</div>");
  EXPECT_FALSE(commands.isInElement(u"p", *document));
  EXPECT_TRUE(commands.isInElement(u"div", *document));
  page(u"|");
  EXPECT_FALSE(commands.isInElement(u"p", *document));
}

TEST_F(TagCommandsTest, EmptyElementsInTheDictionarysCase) {
  HeadlessDocument& d = page(kHtml + u"<p>x</p>");
  EXPECT_TRUE(commands.isEmptyElement(u"br", d));
  EXPECT_TRUE(commands.isEmptyElement(u"IMG", d));
  EXPECT_FALSE(commands.isEmptyElement(u"p", d));
  EXPECT_FALSE(commands.isEmptyElement(u"blink", d));
  page(kXhtml + u"<p>x</p>");
  EXPECT_TRUE(commands.isEmptyElement(u"BR", *document));
}

// ---- Dictionary ----

TEST_F(TagCommandsTest, ConsultChecksAgainAndShowsTheElementOfTheRun) {
  std::vector<std::pair<UString, UString>> shown;
  commands.setDictionaryConsultant([&](UStringView dictionary, UStringView element) {
    shown.emplace_back(dictionary, element);
    return true;
  });
  HeadlessDocument& d = page(kHtml + u"<p>x</p|>");
  commands.getTagNameFor(d);
  const VmkTagLocation* before = checker->tagLocations().front().get();
  EXPECT_TRUE(commands.consultDictionaryFor(d));
  EXPECT_NE(checker->tagLocations().front().get(), before);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0], std::make_pair(UString(u"HTML 4.01 Strict"), UString(u"P")));

  page(kXhtml + u"<p>{x</p>}");
  EXPECT_FALSE(commands.consultDictionaryFor(*document));
  page(u"|");
  EXPECT_FALSE(commands.consultDictionaryFor(*document));
  EXPECT_EQ(platform.beepCount(), 2);
  EXPECT_EQ(shown.size(), 1u);
}

TEST(AttributeValueTextTest, QuotesOnlyWhatWouldBreakTheTag) {
  EXPECT_EQ(attributeValueText(u"abc", 0), u"abc");
  EXPECT_EQ(attributeValueText(u"", 0), u"\"\"");
  EXPECT_EQ(attributeValueText(u"a\tb", 0), u"\"a\tb\"");
  EXPECT_EQ(attributeValueText(u"a'b", 0), u"\"a'b\"");
  EXPECT_EQ(attributeValueText(u"a'b", u'\''), u"\"a'b\"");
  EXPECT_EQ(attributeValueText(u"a'b", u'"'), u"a'b");
  EXPECT_EQ(attributeValueText(u"a>b", u'"'), u"a>b");
  EXPECT_EQ(quotedAttributeValue(u"\"'"), u"\"&quot;'\"");
}

}  // namespace
}  // namespace vmk
