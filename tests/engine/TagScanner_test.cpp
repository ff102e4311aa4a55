// The scanner: entries, names, ranges and the lexical errors.
#include <gtest/gtest.h>

#include "EngineTestSupport.h"

namespace vmk::test {
namespace {

using Strings = std::vector<std::string>;

// ---- Entries and text runs ----

TEST(TagScannerEntries, TextRunsBetweenTagsButNotAfterTheLast) {
  auto c = scanHTML(u"a<b>c</b>d");
  EXPECT_EQ(entriesWithRanges(*c), (Strings{"#DATA@0+1", "B@1+3", "#DATA@4+1", "/B@5+4"}));
  EXPECT_EQ(errorList(*c), Strings{});
  EXPECT_EQ(c->tagLocations()[2]->endTagType(), 2);
  EXPECT_EQ(c->tagLocations()[3]->endTagType(), 0);  // an end tag carries its element's rule
}

TEST(TagScannerEntries, WhiteSpaceAloneMakesNoTextRun) {
  auto c = scanHTML(u"\n<div> \t\r\n </div>  ");
  EXPECT_EQ(entryNames(*c), (Strings{"DIV", "/DIV"}));
  // A text run starts right after the previous tag and keeps its leading white space.
  auto d = scanHTML(u"<div>  x </div>");
  EXPECT_EQ(entriesWithRanges(*d), (Strings{"DIV@0+5", "#DATA@5+4", "/DIV@9+6"}));
}

TEST(TagScannerEntries, LinksFollowSourceOrder) {
  auto c = scanHTML(u"x<b>y</b>");
  const auto& list = c->tagLocations();
  ASSERT_EQ(list.size(), 4u);
  EXPECT_EQ(list[0]->prevTag(list), nullptr);
  EXPECT_EQ(list[3]->nextTag(list), nullptr);
  for (size_t i = 0; i + 1 < list.size(); ++i) {
    EXPECT_EQ(list[i]->nextTag(list), list[i + 1].get());
    EXPECT_EQ(list[i + 1]->prevTag(list), list[i].get());
    EXPECT_EQ(list[i]->listIndex(), i);
  }
}

TEST(TagScannerEntries, NeighboursOfAListPutTogetherByHand) {
  // Places that do not match the list (never set, or stale) are not trusted.
  VmkTagLocationList list;
  for (int i = 0; i < 3; ++i) list.push_back(std::make_unique<VmkTagLocation>());
  list[2]->setListIndex(0);
  EXPECT_EQ(list[2]->prevTag(list), list[1].get());
  EXPECT_EQ(list[1]->nextTag(list), list[2].get());
  EXPECT_EQ(list[0]->prevTag(list), nullptr);
  EXPECT_EQ(list[2]->nextTag(list), nullptr);
  VmkTagLocation stranger;
  EXPECT_EQ(stranger.prevTag(list), nullptr);
  EXPECT_EQ(stranger.nextTag(list), nullptr);
}

TEST(TagScannerEntries, UnfinishedTagsAndTrailingLessThan) {
  // A tag whose ">" never comes keeps the range (0, 0).
  auto c = scanHTML(u"x<p title=a");
  EXPECT_EQ(entriesWithRanges(*c), (Strings{"#DATA@0+1", "P@0+0"}));
  // "<" followed only by white space ends the scan without an entry or a report.
  auto d = scanHTML(u"<b>x</b><  \n ");
  EXPECT_EQ(entryNames(*d), (Strings{"B", "#DATA", "/B"}));
  EXPECT_EQ(errorList(*d), Strings{});
  auto e = scanHTML(u"<");
  EXPECT_TRUE(e->tagLocations().empty());
}

TEST(TagScannerEntries, EmptyNamesAreReportedAsUnknownAndScanningGoesOn) {
  auto c = scanHTML(u"<>x< >y<b>z</b>");
  EXPECT_EQ(entriesWithRanges(*c),
            (Strings{"@0+2", "#DATA@2+1", "@3+3", "#DATA@6+1", "B@7+3", "#DATA@10+1", "/B@11+4"}));
  EXPECT_EQ(errorList(*c), (Strings{"NoSuchElementName@1+0:", "SpaceBeforeElementName@4+1",
                                    "NoSuchElementName@5+0:"}));
  auto x = scanXHTML(u"<p></>x</p>");
  EXPECT_EQ(entryNames(*x), (Strings{"p", "", "#DATA", "/p"}));
}

// ---- Names and case ----

TEST(TagScannerNames, HtmlNamesAreUpperCased) {
  auto c = scanHTML(u"<!doctype html><Div class=x></dIV><?xml version='1.0'?>", false);
  EXPECT_EQ(entryNames(*c), (Strings{"!DOCTYPE", "DIV", "/DIV", "?XML"}));
  EXPECT_EQ(errorList(*c), Strings{});
}

TEST(TagScannerNames, SpaceBeforeTheName) {
  auto c = scanHTML(u"< p>x</p>");
  EXPECT_EQ(entryNames(*c), (Strings{"P", "#DATA", "/P"}));
  EXPECT_EQ(errorList(*c), Strings{"SpaceBeforeElementName@1+1"});
  auto d = scanHTML(u"<\n\t b>x</b>");
  EXPECT_EQ(errorList(*d), Strings{"SpaceBeforeElementName@1+3"});
}

TEST(TagScannerNames, XhtmlReportsAndLowersUpperCaseNames) {
  auto c = scanXHTML(u"<DIV>x</Div>");
  EXPECT_EQ(entryNames(*c), (Strings{"div", "#DATA", "/div"}));
  EXPECT_EQ(errorList(*c),
            (Strings{"ElementNameShouldLowercase@1+3:DIV", "ElementNameShouldLowercase@7+4:/Div"}));
  // DOCTYPE, comments and processing instructions keep their case silently.
  auto d = scanXHTML(u"<?XML version=\"1.0\"?><!DOCTYPE html><!--X-->");
  EXPECT_EQ(entryNames(*d), (Strings{"?XML", "!DOCTYPE", "!--X--"}));
  EXPECT_EQ(errorList(*d), Strings{});
}

TEST(TagScannerNames, UnknownElementsAreStructural) {
  auto c = scanHTML(u"<foo>x</foo><!DOCTYPE x><!-- c --><!ELEMENT>");
  EXPECT_EQ(errorList(*c), (Strings{"NoSuchElementName@1+3:FOO", "NoSuchElementName@7+4:/FOO",
                                    "NoSuchElementName@35+8:!ELEMENT"}));
  EXPECT_EQ(c->tagLocations()[0]->endTagType(), -1);
  EXPECT_EQ(c->structualErrorCount, 3);
}

TEST(TagScannerNames, WithoutDictionaryEveryElementIsUnknown) {
  auto c = scanText(u"<p>x</p>", nullptr);
  EXPECT_EQ(entryNames(*c), (Strings{"P", "#DATA", "/P"}));
  EXPECT_EQ(errorCodes(*c), (Strings{"NoSuchElementName", "NoSuchElementName"}));
  EXPECT_FALSE(c->isXHTML);
}

// ---- Tag ends ----

TEST(TagScannerNames, KnownSpellingsAreSharedUnknownOnesAreTheEntrysOwn) {
  auto c = scanHTML(u"a<b>c</b><b><!--x--><blink>");
  const auto& list = c->tagLocations();
  ASSERT_EQ(entryNames(*c), (Strings{"#DATA", "B", "#DATA", "/B", "B", "!--X--", "BLINK"}));
  // One stored spelling for every text run and every tag of a known element, across lists.
  EXPECT_EQ(&list[0]->elementName(), &list[2]->elementName());
  EXPECT_EQ(&list[0]->elementName(), &VmkTagLocation::textRunName());
  EXPECT_EQ(&list[1]->elementName(), &list[4]->elementName());
  auto d = scanHTML(u"<b>");
  EXPECT_EQ(&d->tagLocations()[0]->elementName(), &list[1]->elementName());
  // Comments and unknown names are not kept for the process; their entries keep copies.
  EXPECT_NE(&list[5]->elementName(), &VmkTagLocation::internElementName(u"!--X--"));
  auto e = scanHTML(u"<blink>");
  EXPECT_NE(&e->tagLocations()[0]->elementName(), &list[6]->elementName());
}

TEST(TagScannerNames, RenamingReplacesEitherKindOfName) {
  auto c = scanHTML(u"<b>x<blink>");
  auto& list = c->tagLocations();
  list[0]->setElementName(u"I");                    // an interned name replaced by a copy
  list[2]->setElementName(u"/BLINK");               // a copy replaced by a copy
  list[1]->setElementName(list[1]->elementName());  // renamed to itself
  EXPECT_EQ(entryNames(*c), (Strings{"I", "#DATA", "/BLINK"}));
  EXPECT_TRUE(list[2]->isEndTag());
  EXPECT_TRUE(list[1]->isTextRun());
  list[2]->setInternedElementName(VmkTagLocation::textRunName());
  list[0]->setElementName(u"");
  EXPECT_EQ(entryNames(*c), (Strings{"", "#DATA", "#DATA"}));
  EXPECT_FALSE(list[0]->isEndTag());
  EXPECT_FALSE(list[0]->isTextRun());
}

TEST(TagScannerNames, EndTagRuleAndNameAreKeptApart) {
  VmkTagLocation entry;
  EXPECT_EQ(entry.endTagType(), 0);
  EXPECT_EQ(entry.elementName(), u"");
  for (int32_t type : {-1, 0, 1, 2}) {
    entry.setElementName(u"/UL");
    entry.setEndTagType(type);
    EXPECT_EQ(entry.endTagType(), type);
    EXPECT_EQ(entry.elementName(), u"/UL");
    entry.setInternedElementName(VmkTagLocation::textRunName());
    EXPECT_EQ(entry.endTagType(), type);  // renaming keeps the rule
  }
  entry.setEndTagType(7);  // not a rule
  EXPECT_EQ(entry.endTagType(), -1);
  EXPECT_TRUE(entry.isTextRun());
}

TEST(TagScannerTagEnds, SlashBeforeGreaterThanInHtml) {
  auto c = scanHTML(u"<br/>");
  EXPECT_EQ(entryNames(*c), Strings{"BR/"});
  EXPECT_EQ(errorList(*c), (Strings{"NoSuchElementName@1+3:BR/", "WrongTagEnd@3+2"}));
  auto d = scanHTML(u"<br />");
  EXPECT_EQ(errorList(*d), Strings{"WrongTagEnd@4+2"});
}

TEST(TagScannerTagEnds, SelfClosingRulesInXhtml) {
  EXPECT_EQ(errorList(*scanXHTML(u"<br/>")), Strings{});
  EXPECT_EQ(entryNames(*scanXHTML(u"<br/>")), Strings{"br"});
  EXPECT_EQ(errorList(*scanXHTML(u"<br>")), Strings{"DontUseThisEndTagInXHTML@0+4:br"});
  auto p = scanXHTML(u"<p/>", false);
  EXPECT_EQ(errorList(*p), Strings{"EndTagCantBeOmitted@0+4:p"});
  EXPECT_EQ(p->structualErrorCount, 1);
  // A "/" not directly before ">" belongs to the name.
  EXPECT_EQ(entryNames(*scanXHTML(u"<a/b>")), Strings{"a/b"});
}

TEST(TagScannerTagEnds, QuotesAreNotTracked) {
  auto c = scanHTML(u"<p title=\"a>b\">x</p>");
  EXPECT_EQ(entriesWithRanges(*c), (Strings{"P@0+12", "#DATA@12+4", "/P@16+4"}));
  EXPECT_EQ(errorList(*c), Strings{"LeftLtMarkNotFound@14+1"});
}

TEST(TagScannerTagEnds, LessThanInsideATag) {
  auto c = scanHTML(u"<p <b>x");
  EXPECT_EQ(entriesWithRanges(*c), Strings{"P@0+6"});
  EXPECT_EQ(errorList(*c), Strings{"LtMarkInTag@3+1"});
  EXPECT_EQ(c->structualErrorCount, 1);
}

TEST(TagScannerTagEnds, GreaterThanOutsideATag) {
  // Before any tag it is text.
  auto c = scanHTML(u"a > b<br>");
  EXPECT_EQ(entriesWithRanges(*c), (Strings{"#DATA@0+5", "BR@5+4"}));
  EXPECT_EQ(errorList(*c), Strings{});
  // After a tag it is reported and empties the pending text.
  auto d = scanHTML(u"<br>><br> > x<br>");
  EXPECT_EQ(entriesWithRanges(*d), (Strings{"BR@0+4", "BR@5+4", "#DATA@9+4", "BR@13+4"}));
  EXPECT_EQ(errorList(*d), (Strings{"LeftLtMarkNotFound@4+1", "LeftLtMarkNotFound@10+1"}));
  EXPECT_EQ(d->structualErrorCount, 2);
}

// ---- Raw-text elements ----

TEST(TagScannerRawText, ContentIsOneTextRunWithoutTagErrors) {
  auto c = scanHTML(u"<script>if (a<b && c>d) x();</script>");
  EXPECT_EQ(entriesWithRanges(*c), (Strings{"SCRIPT@0+8", "#DATA@8+20", "/SCRIPT@28+9"}));
  EXPECT_EQ(errorList(*c), Strings{});
}

TEST(TagScannerRawText, EmptyContentStillGivesATextRun) {
  auto c = scanHTML(u"<script></script>");
  EXPECT_EQ(entriesWithRanges(*c), (Strings{"SCRIPT@0+8", "#DATA@8+0", "/SCRIPT@8+9"}));
  EXPECT_EQ(errorList(*c), Strings{});  // so no NoDataBetweenStartAndEndTags
}

TEST(TagScannerRawText, EndIsFoundIgnoringCaseAndOnlyByItsPrefix) {
  auto c = scanHTML(u"<style>a</STYLE><style>b</stylex>c</style>");
  EXPECT_EQ(entriesWithRanges(*c),
            (Strings{"STYLE@0+7", "#DATA@7+1", "/STYLE@8+8", "STYLE@16+7", "#DATA@23+1",
                     "/STYLEX@24+9", "#DATA@33+1", "/STYLE@34+8"}));
  // Without an end tag the content runs to the end and gets no entry.
  auto d = scanHTML(u"<script>a<b>c");
  EXPECT_EQ(entryNames(*d), Strings{"SCRIPT"});
  EXPECT_EQ(errorCodes(*d), Strings{"EndTagNotFound"});
}

TEST(TagScannerRawText, XhtmlRawTextUsesTheStoredName) {
  auto c = scanXHTML(u"<script>a<b</script>");
  EXPECT_EQ(entriesWithRanges(*c), (Strings{"script@0+8", "#DATA@8+3", "/script@11+9"}));
  EXPECT_EQ(errorList(*c), Strings{});
}

// ---- Comments and processing instructions ----

TEST(TagScannerComments, GreaterThanInsideACommentDoesNotEndIt) {
  auto c = scanHTML(u"<!-- a > b <c> -->x<br>");
  EXPECT_EQ(entriesWithRanges(*c), (Strings{"!--@0+18", "#DATA@18+1", "BR@19+4"}));
  EXPECT_EQ(errorList(*c), Strings{});
}

TEST(TagScannerComments, CommentNamesRunToTheFirstWhiteSpace) {
  auto c = scanHTML(u"<!--x--><!---->");
  EXPECT_EQ(entriesWithRanges(*c), (Strings{"!--X--@0+8", "!----@8+7"}));
  // "?>" ends any comment-like tag.
  auto d = scanHTML(u"<!-- a ?> b<br>");
  EXPECT_EQ(entriesWithRanges(*d), (Strings{"!--@0+9", "#DATA@9+2", "BR@11+4"}));
}

TEST(TagScannerComments, ProcessingInstructionsEndAtQuestionMarkGreaterThan) {
  auto c = scanHTML(u"<?php if (a > b) echo 1; ?><p>x</p>");
  EXPECT_EQ(entriesWithRanges(*c), (Strings{"?PHP@0+27", "P@27+3", "#DATA@30+1", "/P@31+4"}));
  EXPECT_EQ(errorList(*c), Strings{});
}

TEST(TagScannerComments, EmbeddedProcessingInstructionInATag) {
  auto c = scanHTML(u"<a href=\"<?php echo $u ?>\">x</a>");
  EXPECT_EQ(entriesWithRanges(*c), (Strings{"A@0+27", "#DATA@27+1", "/A@28+4"}));
  EXPECT_EQ(errorList(*c), Strings{});
  // A ">" before the "?>": not an instruction, the "<" is reported.
  auto d = scanHTML(u"<a href=\"<?x>\">y</a>");
  EXPECT_EQ(errorList(*d).front(), "LtMarkInTag@9+1");
  // "<?" at the very end of the text.
  auto e = scanHTML(u"<a <?", false);
  EXPECT_EQ(errorList(*e), Strings{"LtMarkInTag@3+1"});
}

// ---- CDATA sections ----

TEST(TagScannerCData, SectionsAreSkippedInXhtml) {
  auto c = scanXHTML(u"<p>a<![CDATA[<b>x</b>]]>b</p>");
  EXPECT_EQ(entriesWithRanges(*c), (Strings{"p@0+3", "#DATA@3+22", "/p@25+4"}));
  EXPECT_EQ(errorList(*c), Strings{});
  // Also inside a tag: its ">" does not end the tag.
  auto d = scanXHTML(u"<p title=\"<![CDATA[>]]>\">x</p>");
  EXPECT_EQ(entriesWithRanges(*d), (Strings{"p@0+25", "#DATA@25+1", "/p@26+4"}));
}

TEST(TagScannerCData, UnterminatedSectionStopsTheScan) {
  auto c = scanXHTML(u"<p>x<![CDATA[abc<br/>");
  EXPECT_EQ(entryNames(*c), Strings{"p"});
  EXPECT_EQ(errorList(*c).front(), "NoCDATAEndMark@4+17");
  EXPECT_EQ(c->structualErrorCount, 2);  // and the p left open
}

TEST(TagScannerCData, HtmlTreatsTheMarkerAsATag) {
  auto c = scanHTML(u"<![CDATA[x]]>");
  EXPECT_EQ(entryNames(*c), Strings{"![CDATA[X]]"});
  // Case matters for the marker.
  auto d = scanXHTML(u"<![cdata[x]]>");
  EXPECT_EQ(entryNames(*d), Strings{"![cdata[x]]"});
}

// ---- Character runs: NUL, half-width katakana, machine-dependent characters ----

TEST(TagScannerCharacters, NulRunsAreReportedAndCountAsText) {
  std::u16string text = u"a";
  text += u'\0';
  text += u'\0';
  text += u"<br>";
  text += u'\0';
  auto c = scanHTML(text);
  EXPECT_EQ(entriesWithRanges(*c), (Strings{"#DATA@0+3", "BR@3+4"}));
  EXPECT_EQ(errorList(*c), (Strings{"NullCodeDetected@1+2", "NullCodeDetected@7+1"}));
}

TEST(TagScannerCharacters, HalfWidthKatakana) {
  auto c = scanHTML(u"\uFF71\uFF72x\uFF9F<br>");
  EXPECT_EQ(entriesWithRanges(*c), (Strings{"#DATA@0+4", "BR@4+4"}));
  EXPECT_EQ(errorList(*c), (Strings{"UnSafeKatakana@0+2", "UnSafeKatakana@3+1"}));
}

TEST(TagScannerCharacters, MachineDependentOnlyWithAJapaneseCharset) {
  const std::u16string text = u"\u2460\u2461\u3042<br>";  // circled digits, then hiragana
  auto plain = scanHTML(text);
  EXPECT_EQ(errorList(*plain), Strings{});

  auto c = VmkHTMLChecker::initOneMore();
  c->setSourceString(text);
  c->setHtmlDictionary(makeDictionary(htmlElements()));
  c->isJapaneseEncoding = true;
  c->makeTagLocationsArray();
  EXPECT_EQ(errorList(*c), Strings{"MachineDependantCharacter@0+2"});
  EXPECT_EQ(entriesWithRanges(*c), (Strings{"#DATA@0+3", "BR@3+4"}));
  EXPECT_EQ(c->isKishuIzon(0, 1), 1u);  // bounded by the end given
}

}  // namespace
}  // namespace vmk::test
