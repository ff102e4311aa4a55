// Each repair on a real page: the error is there before, the text after correct-all holds the
// repaired markup, and the final check no longer lists the error.
#include <gtest/gtest.h>

#include "RepairTestSupport.h"

namespace vmk::test {
namespace {

struct RowCase {
  std::string code;
  std::string page;
  std::string repaired;  // a piece of the repaired text
  std::optional<Encoding> encoding = std::nullopt;
};

class RepairRows : public RepairTest, public ::testing::WithParamInterface<int> {};

std::vector<RowCase> rowCases() {
  const std::string h = kHtml401 + "<html>" + kHead + "<body>";
  const std::string l = kHtml401Loose + "<html>" + kHead + "<body>";
  const std::string x = kXhtmlStart;
  const std::string end = "</body></html>\n";
  const std::string xend = "</body></html>\n";
  return {
      {"WrongAmpersand", h + "<p>a & b</p>" + end, "<p>a &amp; b</p>"},
      {"SemiColonLacked", h + "<p>&copy c</p>" + end, "<p>&copy; c</p>"},
      {"SpaceBeforeElementName", h + "<p>x</p>< p>y</p>" + end, "<p>x</p><p>y</p>"},
      {"WrongTagEnd", h + "<p><a href=\"x\"/>y</a></p>" + end, "<a href=\"x\">y</a>"},
      {"NoAltAttributeForImg", l + "<p><img src=\"images/photo.gif\"></p>" + end,
       "<img src=\"images/photo.gif\" alt=\"photo.gif\">"},
      {"NoAltAttributeForArea",
       l + "<map name=\"m\"><area href=\"m/n.html\" shape=\"rect\" coords=\"1,2,3,4\"></map>" + end,
       "coords=\"1,2,3,4\" alt=\"n.html\">"},
      {"NeedsQuotationMarks", l + "<p style=\"x\"><img src=a/b.gif alt=\"\"></p>" + end,
       "<img src=\"a/b.gif\" alt=\"\">"},
      {"NoTypeAttributeForScript", l + "<script language=\"JavaScript\">x=1</script>" + end,
       "<script type=\"text/javascript\">x=1</script>"},
      {"NoTypeAttributeForStyle",
       kHtml401 + "<html><head><title>t</title><style>p{}</style></head><body>" + end,
       "<style type=\"text/css\">p{}</style>"},
      {"SpaceContainedURLValue", l + "<p><a href=\"a b.html\">s</a></p>" + end,
       "<a href=\"a%20b.html\">s</a>"},
      {"ControlContainedURLValue", l + "<p><a href=\"a\tb.html\">s</a></p>" + end,
       "<a href=\"a%09b.html\">s</a>"},
      {"UnSafeURLValue", l + "<p><a href=\"a^b.html\">s</a></p>" + end,
       "<a href=\"a%5Eb.html\">s</a>"},
      {"BoolValueAttribute",
       l + "<form action=\"x\"><p><input type=\"checkbox\" checked=\"yes\"></p></form>" + end,
       "checked=\"checked\""},
      {"NullCodeDetected", h + std::string("<p>\0x</p>", 9) + end, "<p>x</p>"},
      {"HeadElementIsRecomended", kHtml401 + "<html><body><p>x</p>" + end,
       "<html>\n\t<head>\n\t\t<meta http-equiv=\"Content-Type\" "
       "content=\"text/html;CHARSET=UTF-8\">"
       "\n\t\t<title><!-- Insert the title, here --></title>\n\t</head><body>"},
      {"NoTitleTagInHead", kHtml401 + "<html><head></head><body><p>x</p>" + end,
       "<head>\n\t\t<title><!-- Insert the title, here --></title></head>"},
      {"HtmlEndTagNotFound", kHtml401 + "<html>" + kHead + "<body><p>x</p></body>",
       "</body>\n</html>\n"},
      {"BodyEndTagNotFound", kHtml401 + "<html>" + kHead + "<body><p>x</p>\n</html>\n",
       "<p>x</p>\n\t</body>\n</html>\n"},
      {"NoDoctypeDeclaration", "<html>" + kHead + "<body><p>x</p>" + end,
       "<!DOCTYPE html PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\""},
      // The DOCTYPE comes first, then the html start tag, whatever order the two repairs run in.
      {"NoHtmlTag", "<p>x</p>\n", "loose.dtd\">\n<html>\n<p>x</p>\n\n</html>"},
      {"NoHtmlTagBeforeDoctype", "<html>\n" + kHtml401 + kHead + "<body><p>x</p>" + end,
       kHtml401 + "<html>\n<head>"},
      {"XMLVersionRequired",
       kXhtml10 + "<html xmlns=\"http://www.w3.org/1999/xhtml\">" + kXHead + "<body><p>x</p>" +
           xend,
       "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<!DOCTYPE"},
      {"WrongXmlVersion",
       "<?xml version=\"2.0\" encoding=\"UTF-8\"?>\n" + kXhtml10 +
           "<html xmlns=\"http://www.w3.org/1999/xhtml\">" + kXHead + "<body><p>x</p>" + xend,
       "<?xml version=\"1.0\""},
      {"MustCapitalLatterInDoctype",
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!doctype html public \"-//W3C//DTD XHTML 1.0 "
       "Strict//EN\" \"http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd\">\n<html "
       "xmlns=\"http://www.w3.org/1999/xhtml\">" +
           kXHead + "<body><p>x</p>" + xend,
       "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Strict//EN\""},
      {"HtmlMustBeLowerCaseInXHTML",
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE HTML PUBLIC \"-//W3C//DTD XHTML 1.0 "
       "Strict//EN\" \"http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd\">\n<html "
       "xmlns=\"http://www.w3.org/1999/xhtml\">" +
           kXHead + "<body><p>x</p>" + xend,
       "<!DOCTYPE html PUBLIC"},
      {"NoSystemIdentifier",
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 "
       "Strict//EN\">\n<html xmlns=\"http://www.w3.org/1999/xhtml\">" +
           kXHead + "<body><p>x</p>" + xend,
       "Strict//EN\" \"http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd\">"},
      {"WrongSystemIdentifier",
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 "
       "Strict//EN\" \"http://www.w3.org/TR/xhtml1/DTD/xhtml1.dtd\">\n<html "
       "xmlns=\"http://www.w3.org/1999/xhtml\">" +
           kXHead + "<body><p>x</p>" + xend,
       "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd\">"},
      {"XmlTagMustBeFirst",
       "<!-- c -->\n<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + kXhtml10 +
           "<html xmlns=\"http://www.w3.org/1999/xhtml\">" + kXHead + "<body><p>x</p>" + xend,
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- c -->\n"},
      {"BaseTagMustBeTopInHeadSection",
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + kXhtml10 +
           "<html xmlns=\"http://www.w3.org/1999/xhtml\"><head><title>t</title><link rel=\"x\" "
           "href=\"y.css\" /><base href=\"http://e.org/\" /></head><body><p>x</p>" +
           xend,
       "<head>\n\t\t<base href=\"http://e.org/\" /><title>t</title>"},
      {"ElementNameShouldLowercase", x + "<P>x</P>" + xend, "<body><p>x</p>"},
      {"AttributeNameShouldLowercase", x + "<p><a HREF=\"x\">y</a></p>" + xend, "<a href=\"x\">"},
      {"CantOmitAttributeNameInXhtml",
       x + "<form action=\"a\"><div><input type=\"checkbox\" name=\"c\" checked /></div></form>" +
           xend,
       "name=\"c\" checked=\"checked\" />"},
      {"DontUseThisEndTagInXHTML", x + "<p>One<br></br>two</p>" + xend, "<p>One<br />two</p>"},
      {"XHTMLDuplicateEndTag", x + "<p>x</p><p></br></p>" + xend, "<p>x</p><p></p>"},
      {"FixedValueAttribute", x + "<pre xml:space=\"default\">x</pre>" + xend,
       "<pre xml:space=\"preserve\">"},
      {"UnSafeCharacterSetValue",
       kHtml401 +
           "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
           "charset=x-sjis\"><title>t</title></head><body><p>x</p>" +
           end,
       "charset=Shift_JIS\">"},
      {"JapneseEncodingButNoJapanese",
       kHtml401 +
           "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
           "charset=Shift_JIS\"><title>t</title></head><body><p>abc</p>" +
           end,
       "charset=ISO-8859-1\">"},
      {"UnSafeKatakana",
       kHtml401 +
           "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
           "charset=Shift_JIS\"><title>t</title></head><body><p>\x82\xa0\xb6\xde</p>" +
           end,
       "<p>\xe3\x81\x82\xe3\x82\xac</p>", Encoding::shiftJIS()},
  };
}

TEST_P(RepairRows, RepairedAndGoneFromTheFinalCheck) {
  const RowCase c = rowCases()[size_t(GetParam())];
  open(c.page, c.encoding);
  ASSERT_TRUE(has(c.code)) << c.code << " not reported for:\n" << c.page;
  const std::string repaired = correct(c.page, c.encoding);
  EXPECT_NE(repaired.find(c.repaired), std::string::npos) << c.code << ":\n" << repaired;
  EXPECT_FALSE(has(c.code)) << c.code << " still listed:\n" << repaired;
}

INSTANTIATE_TEST_SUITE_P(EveryRow, RepairRows, ::testing::Range(0, int(rowCases().size())),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return rowCases()[size_t(info.param)].code;
                         });

// Codes whose errors the checks above do not raise on a page are repaired at a location.
TEST_F(RepairTest, RowsForLocationsMadeByHand) {
  const std::string page =
      kHtml401Loose + "<html>" + kHead +
      "<body bgcolor=\"336699\"><p>a <b>1<2</b></p><p frob=\"1\" id=\"q\">x</p>"
      "</body></html>\n";
  open(page);
  const UString& t = document_->text();
  auto at = [&](std::u16string_view needle, uint32_t offset, uint32_t length) {
    return Range(uint32_t(t.find(needle)) + offset, length);
  };
  auto edits = [&](std::string_view code, Range range, std::vector<UString> subs = {}) {
    auto location =
        VmkErrorLocation::create(code, range, subs.empty() ? std::nullopt : std::optional(subs));
    return fixEditsForErrorLocation(*checker_, *location);
  };
  EXPECT_EQ(edits("WrongHexColorValue", at(u"336699", 0, 6)),
            (std::vector<TextEdit>{{at(u"336699", 0, 6), u"#336699"}}));
  EXPECT_EQ(edits("LtMarkInTag", at(u"1<2", 1, 1)),
            (std::vector<TextEdit>{{at(u"1<2", 1, 1), u"&lt;"}}));
  EXPECT_EQ(edits("ThisAttributeNotDefinedInDtd", at(u" frob=\"1\"", 0, 9)),
            (std::vector<TextEdit>{{at(u" frob=\"1\"", 0, 9), u""}}));
  // Only the encoding changes: no edit of the text.
  EXPECT_TRUE(edits("EncodingNotMatched", at(u"UTF-8", 0, 5)).empty());
  EXPECT_TRUE(edits("NoSuchElementName", at(u"<b>", 0, 3)).empty());
  // Nothing changed in the document or the checker.
  EXPECT_EQ(t, document_->text());
  EXPECT_FALSE(document_->isDocumentEdited());
}

TEST_F(RepairTest, EveryRepairableCatalogueCodeHasARowAndNoOtherDoes) {
  std::vector<std::string> fixable;
  for (const ErrorCatalogueEntry& entry : factoryErrorCatalogue()) {
    if (entry.errorFix == 1) fixable.emplace_back(entry.errorKey);
    EXPECT_EQ(hasRepairForErrorCode(entry.errorKey), entry.errorFix == 1) << entry.errorKey;
  }
  EXPECT_EQ(fixable.size(), 44u);
  EXPECT_EQ(repairableErrorCodes().size(), 44u);
}

}  // namespace
}  // namespace vmk::test

namespace vmk::test {
namespace {

// The edge cases of single rows, as the edits they would make on a checked page.
class RowEdges : public RepairTest {
 protected:
  // The page with the edits of one location applied.
  std::string after(const std::string& page, std::string_view code, const std::string& needle,
                    uint32_t offset, uint32_t length, std::vector<UString> subs = {}) {
    open(page);
    const UString& t = document_->text();
    const size_t at = t.find(toUtf16(needle));
    EXPECT_NE(at, UString::npos) << needle;
    auto location = VmkErrorLocation::create(
        code, Range(uint32_t(at) + offset, length),
        subs.empty() ? std::nullopt : std::optional<std::vector<UString>>(subs));
    return toUtf8(applyEdits(t, fixEditsForErrorLocation(*checker_, *location)));
  }
  const std::string page_ = kHtml401Loose + "<html>" + kHead + "<body>";
};

TEST_F(RowEdges, QuotationMarksAddedOnceAroundTheValue) {
  const std::string p = page_ + "<p title=ab\"><p title=\"cd><p title=ef><p title=>";
  EXPECT_NE(after(p, "NeedsQuotationMarks", "ab\"", 0, 3).find("title=\"ab\">"), std::string::npos);
  EXPECT_NE(after(p, "NeedsQuotationMarks", "\"cd", 0, 3).find("title=\"cd\">"), std::string::npos);
  EXPECT_NE(after(p, "NeedsQuotationMarks", "ef>", 0, 2).find("title=\"ef\">"), std::string::npos);
  EXPECT_NE(after(p, "NeedsQuotationMarks", "title=>", 6, 0).find("title=\"\">"),
            std::string::npos);
}

TEST_F(RowEdges, AltBeforeTheTagEndAndNothingWithoutAQuotedSrc) {
  const std::string p = page_ +
                        "<img src=\"images/photo.gif\" /><img src=\"images/photo.gif\">"
                        "<img src=photo.gif>";
  EXPECT_NE(after(p, "NoAltAttributeForImg", "<img src=\"images/photo.gif\" />", 0, 30)
                .find("<img src=\"images/photo.gif\" alt=\"photo.gif\" />"),
            std::string::npos);
  EXPECT_NE(after(p, "NoAltAttributeForImg", "<img src=\"images/photo.gif\">", 0, 28)
                .find("<img src=\"images/photo.gif\" alt=\"photo.gif\">"),
            std::string::npos);
  EXPECT_TRUE(fixEditsForErrorLocation(
                  *checker_, *VmkErrorLocation::create(
                                 "NoAltAttributeForImg",
                                 Range(uint32_t(document_->text().find(u"<img src=photo")), 19)))
                  .empty());
}

TEST_F(RowEdges, FixedValuesAndMinimizedAttributes) {
  const std::string p = page_ + "<input checked=yes><input checked=\"yes\"><input checked>";
  EXPECT_NE(
      after(p, "BoolValueAttribute", "=yes>", 1, 3, {u"checked"}).find("checked=\"checked\">"),
      std::string::npos);
  EXPECT_NE(
      after(p, "BoolValueAttribute", "\"yes\"", 1, 3, {u"checked"}).find("checked=\"checked\">"),
      std::string::npos);
  // Written without a value, the value gets its "=" too.
  EXPECT_NE(after(p, "FixedValueAttribute", "checked>", 7, 0, {u"checked", u"checked"})
                .find("<input checked=\"checked\">"),
            std::string::npos);
  EXPECT_NE(after(p, "CantOmitAttributeNameInXhtml", "checked>", 0, 7, {u"checked"})
                .find("<input checked=\"checked\">"),
            std::string::npos);
  EXPECT_NE(after(p, "CantOmitAttributeNameInXhtml", "checked>", 0, 7, {u"\""}).find("<input >"),
            std::string::npos);
}

TEST_F(RowEdges, CharsetNamesAndTheDoctypeKeywords) {
  const std::string p = page_ + "<p>Shift_JIS x-sjis <!doctype html public \"x\"></p>";
  EXPECT_NE(after(p, "UnSafeCharacterSetValue", "Shift_JIS", 0, 9).find("<p>Shift_JIS x-sjis"),
            std::string::npos);
  EXPECT_NE(after(p, "UnSafeCharacterSetValue", "x-sjis", 0, 6).find("Shift_JIS Shift_JIS"),
            std::string::npos);
  EXPECT_NE(after(p, "MustCapitalLatterInDoctype", "<!doctype", 0, 22)
                .find("<!DOCTYPE html PUBLIC \"x\">"),
            std::string::npos);
}

}  // namespace
}  // namespace vmk::test
