// A large text is scanned by two threads, and the attribute checks run beside the tree walk.
// Whatever the text holds where the second scan would begin, a run must give exactly what one
// thread gives: the same entries, links, depths, pairs, attribute records and errors, in the
// same order.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "EngineTestSupport.h"
#include "doctype_shipped.h"
#include "engine/TagNameIndex.h"
#include "host/headless/HeadlessDocument.h"
#include "support/Text.h"

namespace vmk::test {
namespace {

constexpr char16_t kHtmlProlog[] =
    u"<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\" "
    u"\"http://www.w3.org/TR/html4/loose.dtd\">\n<html><head><title>t</title></head><body>\n";
constexpr char16_t kXhtmlProlog[] =
    u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 "
    u"Transitional//EN\" \"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">\n"
    u"<html xmlns=\"http://www.w3.org/1999/xhtml\"><head><title>t</title></head><body>\n";

// Ordinary markup with a good share of mistakes: unknown elements and attributes, unquoted and
// repeated attributes, repeated ids, bare ampersands, misnested and unclosed elements.
std::u16string filler(size_t length, bool xhtml) {
  std::u16string out;
  for (int i = 0; out.size() < length; ++i) {
    const std::u16string n = toUtf16(std::to_string(i));
    if (xhtml) {
      out += u"<div class=\"c" + n + u"\" id=\"d" + n + u"\"><p>Text &amp; more & less<br/>\n";
      out += u"<img src=\"a b.png\" ALT=\"x\"/><span style=color:red>s</span></p></div>\n";
      out += u"<table><tr><td>1</td></tr></table><blink>b</blink><p id=\"d" + n + u"\">x\n";
    } else {
      out += u"<DIV class=c" + n + u" id=\"d" + n + u"\"><P>Text &amp more & less<BR>\n";
      out += u"<IMG src=\"a b.png\"><FONT color=\"#12345\" color=red>f</FONT><B><I>bi</B></I>\n";
      out += u"<TABLE><TR><TD>1<TD>2</TABLE><BLINK>b</BLINK><P id=\"d" + n + u"\" foo>x</DIV>\n";
    }
  }
  return out;
}

// A page of about 2 * half units whose middle is `middle`.
std::u16string pageAround(const std::u16string& middle, bool xhtml) {
  constexpr size_t half = 160000;
  std::u16string text = xhtml ? kXhtmlProlog : kHtmlProlog;
  text += filler(half - text.size() - middle.size() / 2, xhtml);
  text += middle;
  text += filler(2 * half - text.size(), xhtml);
  text += u"</body></html>\n";
  return text;
}

std::string describe(const VmkTagLocation* tag) {
  return tag ? std::to_string(tag->listIndex()) : "-";
}

// Every entry with all it carries, and the errors.
std::vector<std::string> outcome(const VmkHTMLChecker& checker) {
  std::vector<std::string> lines;
  const VmkTagLocationList& list = checker.tagLocations();
  for (size_t i = 0; i < list.size(); ++i) {
    const VmkTagLocation& tag = *list[i];
    EXPECT_EQ(tag.listIndex(), i);
    std::string line =
        toUtf8(tag.elementName()) + "@" + std::to_string(tag.tagRange().location) + "+" +
        std::to_string(tag.tagRange().length) + " d=" + std::to_string(tag.tagDepth()) +
        " t=" + std::to_string(tag.endTagType()) + " prev=" + describe(tag.prevTag(list)) +
        " next=" + describe(tag.nextTag(list)) + " pair=" + describe(tag.pairTag());
    if (tag.attributes()) {
      for (const VmkAttribute& a : *tag.attributes()) {
        line += " " + toUtf8(a.name) + "@" + std::to_string(a.nameRange.location);
        if (a.value) line += "=" + toUtf8(*a.value) + "@" + std::to_string(a.valueRange.location);
      }
    }
    lines.push_back(line);
  }
  for (const std::string& error : errorList(checker)) lines.push_back(error);
  lines.push_back("structural " + std::to_string(checker.structualErrorCount));
  lines.push_back("ids " + std::to_string(checker.idArray.size()));
  return lines;
}

// The scan notes every entry's name as the entry holds it, for the passes that ask only for
// names; a list that may have been changed from outside is no longer taken at its word.
void expectNotedNames(VmkHTMLChecker& checker) {
  const VmkNotedEntryNames* noted = checker.scannedEntryNames();
  ASSERT_NE(noted, nullptr);
  const VmkTagLocationList& list = std::as_const(checker).tagLocations();
  ASSERT_EQ(noted->ids.size(), list.size());
  for (size_t i = 0; i < list.size(); ++i) {
    ASSERT_LT(noted->ids[i], noted->names.size()) << "entry " << i;
    const UString* name = noted->names[noted->ids[i]];
    ASSERT_NE(name, nullptr) << "entry " << i;
    ASSERT_EQ(*name, list[i]->elementName()) << "entry " << i;
  }
  // The name index answers alike from the notes and from the entries.
  const TagNameIndex fromNotes(list, noted);
  const TagNameIndex fromEntries(list);
  ASSERT_EQ(fromNotes.spellingCount(), fromEntries.spellingCount());
  for (size_t i = 0; i < list.size(); ++i) {
    ASSERT_EQ(fromNotes.spellingText(fromNotes.spellingKey(i)), list[i]->elementName());
    ASSERT_EQ(fromNotes.isEndTag(i), fromEntries.isEndTag(i)) << "entry " << i;
    if (i > 0) {
      ASSERT_EQ(fromNotes.sameElementName(i - 1, i), fromEntries.sameElementName(i - 1, i));
    }
    if (!fromNotes.isEndTag(i) && !list[i]->isTextRun()) {
      ASSERT_EQ(fromNotes.findMyEndTag(i), fromEntries.findMyEndTag(i)) << "entry " << i;
      ASSERT_EQ(fromNotes.endTagFollows(i, i + 1), fromEntries.endTagFollows(i, i + 1));
    }
  }
  (void)checker.tagLocations();
  EXPECT_EQ(checker.scannedEntryNames(), nullptr);
}

class ParallelChecks : public ShippedDictionariesTest {
 protected:
  // The outcome of a silent run with one thread and with two must be the same.
  void expectSameOutcome(const std::u16string& text, int32_t atLeast = 1000) {
    ASSERT_GE(text.size(), size_t(VmkHTMLChecker::kParallelScanFrom));
    HeadlessDocument document(text);
    auto one = VmkHTMLChecker::initOneMore();
    one->setParallelChecks(false);
    const int32_t oneCount = one->validateHTMLForDocument(document, false, false);
    auto two = VmkHTMLChecker::initOneMore();
    const int32_t twoCount = two->validateHTMLForDocument(document, false, false);
    ASSERT_GE(oneCount, atLeast);
    EXPECT_EQ(oneCount, twoCount);
    const std::vector<std::string> expected = outcome(*one);
    const std::vector<std::string> actual = outcome(*two);
    ASSERT_EQ(expected.size(), actual.size());
    for (size_t i = 0; i < expected.size(); ++i) ASSERT_EQ(expected[i], actual[i]) << "line " << i;
    expectNotedNames(*one);
    expectNotedNames(*two);
  }
};

TEST_F(ParallelChecks, OrdinaryMarkupInTheMiddle) {
  expectSameOutcome(pageAround(u"<p>middle</p>\n", false));
  expectSameOutcome(pageAround(u"<p>middle</p>\n", true));
}

TEST_F(ParallelChecks, TagLikeTextInsideRawTextCommentsAndTags) {
  // Each middle holds places that look like the start of a tag, where a fresh scan would go
  // wrong.
  const std::u16string markup = u"\n<b>x</b> <p class=\"q\">y</p> <a href=\"#\">z</a>\n";
  std::u16string script = u"<script type=\"text/javascript\">\nvar s = '";
  std::u16string comment = u"<!-- commented out:\n";
  std::u16string value = u"<div title=\"";
  for (int i = 0; i < 200; ++i) {
    script += markup;
    comment += markup;
    value += u" <b a";
  }
  script += u"';\n</script>\n";
  comment += u"-->\n";
  value += u"\">v</div>\n";
  for (const std::u16string& middle : {script, comment, value}) {
    expectSameOutcome(pageAround(middle, false));
    expectSameOutcome(pageAround(middle, true));
  }
}

TEST_F(ParallelChecks, CDataSectionInTheMiddleOfAnXhtmlPage) {
  std::u16string section = u"<script type=\"text/javascript\">//<![CDATA[\n";
  for (int i = 0; i < 300; ++i) section += u" if (a && b) { x = \"<p>\" + '<b>'; }\n";
  section += u"//]]></script>\n";
  expectSameOutcome(pageAround(section, true));
  // Outside a script the section is skipped by the scanner itself.
  std::u16string bare = u"<div><![CDATA[";
  for (int i = 0; i < 300; ++i) bare += u" <p>not a tag</p>\n";
  bare += u"]]></div>\n";
  expectSameOutcome(pageAround(bare, true));
}

TEST_F(ParallelChecks, NoPlaceToStartASecondScan) {
  // A text without any tag after its first half: one scan does all.
  std::u16string text = kHtmlProlog;
  text += filler(1000, false);
  text += std::u16string(300000, u'x');
  text += u"&c <";
  expectSameOutcome(text, 1);
}

TEST_F(ParallelChecks, RandomPagesOfMarkupFragments) {
  // Pages pieced together at random from fragments that change the scanner's state (raw text,
  // comments, CDATA sections, processing instructions, stray "<" and ">", open quotation marks,
  // unknown and repeated names), so that the place where the second scan would begin falls in
  // every kind of surrounding.
  static const char16_t* const kFragments[] = {
      u"<p>text & more</p>\n",
      u"<div id=\"a\" class=b><span>x</span></div>",
      u"<script type=\"text/javascript\">if (a < b && c > d) { s = '<p>'; }</script>",
      u"<style type=\"text/css\">p > b { color: red }</style>",
      u"<!-- <p> a comment <b> -->",
      u"<!-- unterminated <p> ",
      u"<![CDATA[ <p> not a tag ]]>",
      u"<?php echo '<b>'; ?>",
      u" < ",
      u" > ",
      u"<a href=\"x.html title=\"y\">z</a>",
      u"<img src='a.png' alt=\"<b>\">",
      u"<blink>b</blink>",
      u"<TABLE><TR><TD>1<TD>2</TABLE>",
      u"<p id=\"dup\">x<p id=\"dup\">y",
      u"&amp; &#1234; &#x12; &bogus; &",
      u"<br/>",
      u"</b></i></p>",
      u"<textarea><p></textarea>",
      u"<a\n href=\"#\"\n>wrapped</a>",
  };
  constexpr size_t kCount = sizeof kFragments / sizeof kFragments[0];
  for (uint32_t seed = 1; seed <= 12; ++seed) {
    std::mt19937 random(seed);
    const bool xhtml = seed % 2 == 0;
    std::u16string text = xhtml ? kXhtmlProlog : kHtmlProlog;
    while (text.size() < 300000) {
      text += kFragments[std::uniform_int_distribution<size_t>(0, kCount - 1)(random)];
      if (random() % 4 == 0) text += u'\n';
    }
    SCOPED_TRACE("seed " + std::to_string(seed));
    expectSameOutcome(text, 100);
  }
}

TEST_F(ParallelChecks, StrictContentChecksAgree) {
  VmkUserDefaults& defaults = sharedVmkUserDefaults();
  defaults.changeBoolValue(true, "Vmk_StrictDTDChecks");
  const std::u16string middle =
      u"<ul></ul><pre><b><font>x</font></b></pre><table></table>"
      u"<fieldset><p>x</p><legend>l</legend></fieldset><p id=\"Dup\">a</p><p id=\"dup\">b</p>\n";
  expectSameOutcome(pageAround(middle, false));
  expectSameOutcome(pageAround(middle, true));
  defaults.removeObjectForKey("Vmk_StrictDTDChecks");
}

}  // namespace
}  // namespace vmk::test
