// The passes: order, holding back, refused edits, one undo step; and the faults of the repairs
// that are mended (each test says which).
#include <gtest/gtest.h>

#include "RepairTestSupport.h"
#include "settings/VmkUserDefaults.h"

namespace vmk::test {
namespace {

size_t count(const std::string& text, const std::string& piece) {
  size_t n = 0;
  for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++n;
  return n;
}

VmkErrorLocationRef locationOf(std::string_view code, Range range,
                               std::optional<std::vector<UString>> subs = std::nullopt) {
  return VmkErrorLocation::create(code, range, std::move(subs));
}

const std::string kLoose = kHtml401Loose + "<html>" + kHead + "<body>";

TEST_F(RepairTest, InnerLocationFirstTheOuterHeldBackForTheNextPass) {
  const std::string page = kLoose + "<p><img src=a/b.gif></p></body></html>\n";
  open(page);
  VmkErrorLocationList list;
  for (const auto& location : checker_->errorLocations())
    if (location->errorFix() == 1) list.push_back(location);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(fixErrorLocations(*checker_, list), 1u);
  EXPECT_NE(text().find("<img src=\"a/b.gif\">"), std::string::npos) << text();
  // Correct-all re-checks and repairs the outer one in its second pass.
  EXPECT_NE(correct(page).find("<img src=\"a/b.gif\" alt=\"b.gif\">"), std::string::npos);
}

TEST_F(RepairTest, TouchingLocationsInOnePassAndAnInsertionAtTheStartHoldsBackTheRest) {
  const std::string page = kLoose + "<p>a && b</p></body></html>\n";
  open(page);
  const uint32_t amp = uint32_t(document_->text().find(u"&&"));
  VmkErrorLocationList touching{locationOf("WrongAmpersand", Range(amp, 1)),
                                locationOf("WrongAmpersand", Range(amp + 1, 1))};
  EXPECT_EQ(fixErrorLocations(*checker_, touching), 0u);
  EXPECT_NE(text().find("a &amp;&amp; b"), std::string::npos);

  // The declaration moves to the start (a result at 0): the earlier, non-empty location is
  // held back; an empty one at 0 is not.
  open("<!-- a & b -->\n<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + kXhtml10 +
       "<html xmlns=\"http://www.w3.org/1999/xhtml\">" + kXHead + "<body><p>x</p></body></html>\n");
  const UString& t = document_->text();
  const uint32_t declaration = uint32_t(t.find(u"<?xml"));
  VmkErrorLocationList list{
      locationOf("XmlTagMustBeFirst",
                 Range(declaration, uint32_t(t.find(u"?>")) + 2 - declaration)),
      locationOf("WrongAmpersand", Range(uint32_t(t.find(u"& b")), 1)),
      locationOf("NoTitleTagInHead", Range(0, 0))};
  EXPECT_EQ(fixErrorLocations(*checker_, list), 1u);
  EXPECT_EQ(text().find("\n\t\t<title><!-- Insert the title, here --></title><?xml version"), 0u)
      << text();
  EXPECT_NE(text().find("<!-- a & b -->"), std::string::npos);
  // Sorted by start only, equal starts in the order they came.
  EXPECT_EQ(list[0]->errorCode(), "NoTitleTagInHead");
  EXPECT_EQ(list[1]->errorCode(), "WrongAmpersand");
}

TEST_F(RepairTest, RefusedEditsLeaveTheTextAndTheErrorsAndTheFourPassLimitEnds) {
  const std::string page = kLoose + "<p><img src=a/b.gif> & &copy</p></body></html>\n";
  open(page);
  std::vector<std::string> before = codes();
  std::sort(before.begin(), before.end());
  document_->setRefusesEdits(true);
  {
    const ScriptCommandScope script;
    correctAllErrorsForDocument(*checker_, *document_, false);
  }
  EXPECT_EQ(text(), page);
  std::vector<std::string> after = codes();
  std::sort(after.begin(), after.end());
  EXPECT_EQ(after, before);
  EXPECT_FALSE(document_->isDocumentEdited());
}

TEST_F(RepairTest, CorrectAllIsOneUndoStepThatRestoresTheTextByteForByte) {
  const std::string page = kLoose + "<p><img src=a/b.gif> & &copy; &reg x</p>\n<p>< b>y</b></p>\n";
  const std::string repaired = correct(page);
  EXPECT_NE(repaired, page);
  EXPECT_TRUE(document_->undo());
  EXPECT_EQ(text(), page);
  EXPECT_FALSE(document_->canUndo());
  EXPECT_TRUE(document_->redo());
  EXPECT_EQ(text(), repaired);
}

TEST_F(RepairTest, NoRepairableErrorAlertsOnlyOutsideScriptCommands) {
  HeadlessPlatform platform;
  setPlatform(&platform);
  open(kHtml401 + "<html>" + kHead + "<body><p>x</p><foo>y</foo></body></html>\n");
  correctAllErrorsForDocument(*checker_, *document_, false);
  ASSERT_EQ(platform.alerts().size(), 1u);
  EXPECT_EQ(toUtf8(platform.alerts()[0].title), "No auto-correctable errors.");
  EXPECT_EQ(toUtf8(platform.alerts()[0].message), "Please correct each error manually.");
  {
    const ScriptCommandScope script;
    correctAllErrorsForDocument(*checker_, *document_, false);
  }
  EXPECT_EQ(platform.alerts().size(), 1u);
  // Correct-selected on a document that is not in front beeps and changes nothing.
  correctSelectedErrorLocations(*checker_, checker_->errorLocations(), nullptr);
  EXPECT_EQ(platform.beepCount(), 1);
  setPlatform(nullptr);
}

// Mended: both declaration errors at (0, 0) insert one declaration, and the start of the page
// comes out as declaration, DOCTYPE, html start tag.
TEST_F(RepairTest, OneXmlDeclarationAndThePrologueInOrder) {
  sharedVmkUserDefaults().changeStringValue("XHTML 1.0 Strict", "Vmk_DefaultHtmlDictionary");
  open("<p>x</p>\n", Encoding::shiftJIS());
  ASSERT_TRUE(has("XMLVersionRequired") && has("XMLEncodingRequired"))
      << ::testing::PrintToString(codes());
  const std::string repaired = correct("<p>x</p>\n", Encoding::shiftJIS());
  EXPECT_EQ(count(repaired, "<?xml"), 1u) << repaired;
  EXPECT_EQ(repaired.find("<?xml"), 0u) << repaired;
  EXPECT_LT(repaired.find("<!DOCTYPE"), repaired.find("<html>")) << repaired;
}

// Mended: the declaration's range no longer runs on to a later "?>" and line feed.
TEST_F(RepairTest, OnlyTheDeclarationItselfIsRewritten) {
  const std::string page = "<?xml version=\"1.0\"?>" + kXhtml10 +
                           "<html xmlns=\"http://www.w3.org/1999/xhtml\">" + kXHead +
                           "<body><p>x</p>\n<?php echo 1 ?>\n</body></html>\n";
  open(page, Encoding::shiftJIS());
  ASSERT_TRUE(has("XMLEncodingRequired"));
  const std::string repaired = correct(page, Encoding::shiftJIS());
  EXPECT_NE(repaired.find("<?php echo 1 ?>\n</body>"), std::string::npos) << repaired;
  EXPECT_NE(repaired.find("<p>x</p>"), std::string::npos) << repaired;
  EXPECT_EQ(count(repaired, "<?xml"), 1u) << repaired;
}

// Mended: no second DOCTYPE, no second html start tag.
TEST_F(RepairTest, NoSecondDoctypeOrHtmlStartTag) {
  const std::string page = "<!DOCTYPE html>\n<html>" + kHead + "<body><p>x</p></body></html>\n";
  open(page);
  ASSERT_TRUE(has("NoDoctypeDeclaration"));
  EXPECT_EQ(count(correct(page), "<!DOCTYPE"), 1u);
  EXPECT_TRUE(has("NoDoctypeDeclaration"));

  std::string comments;
  for (int i = 0; i < 30; ++i) comments += "<!-- " + std::to_string(i) + " -->\n";
  const std::string late =
      kHtml401 + comments + "<html>" + kHead + "<body><p>x</p></body></html>\n";
  open(late);
  ASSERT_TRUE(has("NoHtmlTagBeforeDoctype"));
  const std::string repaired = correct(late);
  EXPECT_EQ(count(repaired, "<html"), 1u) << repaired;
  EXPECT_EQ(count(repaired, "</html>"), 1u) << repaired;
}

// Mended: values the plain rules would break.
TEST_F(RepairTest, QuotationMarksThatWouldBreakTheMarkup) {
  const std::string cut = kLoose + "<p title=\"a>b\">z</p></body></html>\n";
  EXPECT_NE(correct(cut).find("<p title=\"a>b\">z</p>"), std::string::npos);
  EXPECT_TRUE(has("NoRightQuotationMark"));

  const std::string both =
      kLoose + "<p onclick=alert(\"x\")>z</p><p onclick=f(\"a\",'b')>w</p>" + "</body></html>\n";
  const std::string repaired = correct(both);
  EXPECT_NE(repaired.find("<p onclick='alert(\"x\")'>z</p>"), std::string::npos) << repaired;
  EXPECT_NE(repaired.find("<p onclick=f(\"a\",'b')>w</p>"), std::string::npos) << repaired;
}

// Mended: the end tag that belongs to the element, never one in a comment or a later one's.
TEST_F(RepairTest, EmptyElementLosesOnlyItsOwnEndTag) {
  const std::string page = kXhtmlStart + "<p>a<br>b<!-- </br> --><br></br>c</p></body></html>\n";
  EXPECT_NE(correct(page).find("<p>a<br />b<!-- </br> --><br />c</p>"), std::string::npos)
      << text();
}

// Mended: "src" is the attribute, not the end of "lowsrc" or "data-src".
TEST_F(RepairTest, AltFromTheSrcAttributeItself) {
  const std::string page =
      kLoose + "<p><img lowsrc=\"x/low.gif\" src=\"z/real.gif\"></p>" + "</body></html>\n";
  EXPECT_NE(correct(page).find("alt=\"real.gif\""), std::string::npos) << text();
}

// Mended: an encoding that cannot hold the text is not taken.
TEST_F(RepairTest, EncodingThatCannotHoldTheTextIsNotTaken) {
  const std::string page = kHtml401 +
                           "<html><head><meta http-equiv=\"Content-Type\" "
                           "content=\"text/html; charset=Shift_JIS\"><title>t</title>"
                           "</head><body><p>caf\xc3\xa9 \xe3\x81\x82</p>" +
                           "</body></html>\n";
  open(page, Encoding::utf8());
  ASSERT_TRUE(has("EncodingNotMatched")) << ::testing::PrintToString(codes());
  correct(page, Encoding::utf8());
  EXPECT_TRUE(document_->openNSEncoding().isUTF8());
}

}  // namespace
}  // namespace vmk::test
