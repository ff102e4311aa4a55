// Choosing the dictionary from the DOCTYPE and checking the prologue, on the dictionaries made
// from the W3C DTDs: HTML 4.01 declares "-//W3C//DTD HTML 4.01//EN" (strict.dtd) and
// "-//W3C//DTD HTML 4.01 Transitional//EN" (loose.dtd); XHTML 1.0 Strict declares
// "-//W3C//DTD XHTML 1.0 Strict//EN" with xhtml1-strict.dtd.
#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "dictionary/DictionaryFolder.h"
#include "doctype_shipped.h"

namespace vmk::test {
namespace {

using Strings = std::vector<std::string>;

const std::u16string kStrictDoctype =
    u"<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\" "
    u"\"http://www.w3.org/TR/html4/strict.dtd\">";
const std::u16string kXhtmlStrictDoctype =
    u"<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Strict//EN\" "
    u"\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd\">";
const std::u16string kXmlDeclaration = u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

class DoctypeSelectionTest : public ShippedDictionariesTest {
 protected:
  // Runs the dictionary choice (with the XML declaration and meta charset checks it runs) on
  // a document that the editor opened in `encoding`.
  std::unique_ptr<VmkHTMLChecker> select(const std::u16string& text,
                                         Encoding encoding = Encoding::utf8()) {
    document_ = std::make_unique<HeadlessDocument>(text, std::nullopt, encoding);
    auto checker = checkerFor(*document_);
    checker->determinHTMLDictionary();
    return checker;
  }
  static std::string dictionaryName(const VmkHTMLChecker& checker) {
    return checker.htmlDictionary() ? toUtf8(checker.htmlDictionary()->displayName()) : "";
  }

  std::unique_ptr<HeadlessDocument> document_;
};

TEST_F(DoctypeSelectionTest, WellFormedDoctypesChooseTheirDictionary) {
  auto strict = select(kStrictDoctype + u"\n<html></html>");
  EXPECT_EQ(dictionaryName(*strict), "HTML 4.01 Strict");
  EXPECT_FALSE(strict->isXHTML);
  EXPECT_EQ(errorList(*strict), Strings{});

  auto transitional = select(
      u"<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\"\n"
      u"  \"http://www.w3.org/TR/html4/loose.dtd\">\n<html></html>");
  EXPECT_EQ(dictionaryName(*transitional), "HTML 4.01 Transitional");
  EXPECT_EQ(errorList(*transitional), Strings{});

  auto xhtml = select(kXmlDeclaration + kXhtmlStrictDoctype + u"\n<html></html>");
  EXPECT_EQ(dictionaryName(*xhtml), "XHTML 1.0 Strict");
  EXPECT_TRUE(xhtml->isXHTML);
  EXPECT_EQ(errorList(*xhtml), Strings{});
}

TEST_F(DoctypeSelectionTest, PublicIdentifierWhiteSpaceIsNormalized) {
  auto checker = select(
      u"<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01\n\t  Transitional//EN\" "
      u"\"http://www.w3.org/TR/html4/loose.dtd\">");
  EXPECT_EQ(dictionaryName(*checker), "HTML 4.01 Transitional");
  EXPECT_EQ(errorList(*checker), Strings{});
}

TEST_F(DoctypeSelectionTest, WhatMayComeBeforeTheDoctype) {
  EXPECT_EQ(errorList(*select(u"<!-- note -->\n" + kStrictDoctype)), Strings{});
  EXPECT_EQ(errorList(*select(u"\n" + kStrictDoctype)), Strings{"DoctypeMustBeTop@0+1"});
  EXPECT_EQ(errorList(*select(u"abc \n" + kStrictDoctype)), Strings{"DoctypeMustBeTop@0+5"});
  // An XML declaration first is fine for an HTML dictionary too.
  EXPECT_EQ(errorList(*select(u"<?xml version=\"1.0\"?>\n" + kStrictDoctype)), Strings{});
}

TEST_F(DoctypeSelectionTest, KeywordCase) {
  // Lower-case keywords: reported from the DOCTYPE's start to the public identifier; the
  // dictionary is still found.
  auto lower = select(
      u"<!doctype html public \"-//W3C//DTD HTML 4.01//EN\" "
      u"\"http://www.w3.org/TR/html4/strict.dtd\">");
  EXPECT_EQ(errorList(*lower), Strings{"MustCapitalLatterInDoctype@0+23"});
  EXPECT_EQ(dictionaryName(*lower), "HTML 4.01 Strict");

  // The html word may be in any case for HTML, must be lower case for XHTML.
  EXPECT_EQ(errorList(*select(u"<!DOCTYPE Html PUBLIC \"-//W3C//DTD HTML 4.01//EN\" "
                              u"\"http://www.w3.org/TR/html4/strict.dtd\">")),
            Strings{});
  auto xhtml = select(kXmlDeclaration +
                      u"<!DOCTYPE HTML PUBLIC \"-//W3C//DTD XHTML 1.0 Strict//EN\" "
                      u"\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd\">");
  EXPECT_EQ(errorList(*xhtml), Strings{"HtmlMustBeLowerCaseInXHTML@49+4"});
}

TEST_F(DoctypeSelectionTest, SystemIdentifier) {
  auto wrong = select(
      u"<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\" "
      u"\"http://www.w3.org/TR/html4/loose.dtd\">");
  EXPECT_EQ(errorList(*wrong), Strings{"WrongSystemIdentifier@51+36:HTML 4.01 Strict,"
                                       "http://www.w3.org/TR/html4/strict.dtd"});
  auto missing = select(u"<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">");
  EXPECT_EQ(errorList(*missing), Strings{"NoSystemIdentifier@0+63:HTML 4.01 Transitional,"
                                         "http://www.w3.org/TR/html4/loose.dtd"});
  // Single quotation marks are as good as double ones.
  EXPECT_EQ(errorList(*select(u"<!DOCTYPE HTML PUBLIC '-//W3C//DTD HTML 4.01//EN' "
                              u"'http://www.w3.org/TR/html4/strict.dtd'>")),
            Strings{});
}

TEST_F(DoctypeSelectionTest, UnknownOrMissingDoctypeFallsBackToTheDefault) {
  auto unknown = select(u"<!DOCTYPE HTML PUBLIC \"-//Nobody//DTD Nothing//EN\">");
  EXPECT_EQ(errorList(*unknown), Strings{"NoSuchHtmlDictionary@23+26"});
  EXPECT_EQ(dictionaryName(*unknown), "HTML 4.01 Transitional");

  EXPECT_EQ(errorList(*select(u"<html></html>")), Strings{"NoDoctypeDeclaration@0+0"});
  EXPECT_EQ(errorList(*select(u"")), Strings{"NoDoctypeDeclaration@0+0"});
  // Without PUBLIC the DOCTYPE does not count.
  EXPECT_EQ(errorList(*select(u"<!DOCTYPE html>\n<html></html>")),
            Strings{"NoDoctypeDeclaration@0+0"});
  EXPECT_EQ(errorList(*select(u"<!DOCTYPE html SYSTEM \"about:legacy-compat\">")),
            Strings{"NoDoctypeDeclaration@0+0"});
  // After an XML declaration, the place is the start of the next line.
  auto afterDeclaration = select(u"<?xml version=\"1.0\"?> <!-- x -->\n<html></html>");
  EXPECT_EQ(errorList(*afterDeclaration), Strings{"NoDoctypeDeclaration@33+0"});
  EXPECT_EQ(dictionaryName(*afterDeclaration), "HTML 4.01 Transitional");
}

TEST_F(DoctypeSelectionTest, SettingsDecideWhenTheDoctypeIsNotFollowed) {
  VmkUserDefaults& defaults = sharedVmkUserDefaults();
  ASSERT_TRUE(defaults.changeBoolValue(false, "Vmk_FollowsDoctype"));
  // The DOCTYPE is still checked, but the default dictionary is used.
  auto checker = select(kXmlDeclaration +
                        u"<!DOCTYPE HTML PUBLIC \"-//W3C//DTD XHTML 1.0 Strict//EN\" "
                        u"\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd\">");
  EXPECT_EQ(errorList(*checker), Strings{"HtmlMustBeLowerCaseInXHTML@49+4"});
  EXPECT_EQ(dictionaryName(*checker), "HTML 4.01 Transitional");
  EXPECT_FALSE(checker->isXHTML);

  ASSERT_TRUE(defaults.changeStringValue("XHTML 1.0 Strict", "Vmk_DefaultHtmlDictionary"));
  auto xhtml = select(kStrictDoctype);
  EXPECT_EQ(dictionaryName(*xhtml), "XHTML 1.0 Strict");
  EXPECT_TRUE(xhtml->isXHTML);
  EXPECT_EQ(errorList(*xhtml), Strings{"XMLVersionRequired@0+0"});

  ASSERT_TRUE(defaults.changeBoolValue(true, "Vmk_FollowsDoctype"));
  EXPECT_EQ(dictionaryName(*select(kStrictDoctype)), "HTML 4.01 Strict");
  // The default also serves documents without a DOCTYPE.
  EXPECT_EQ(dictionaryName(*select(u"<html></html>")), "XHTML 1.0 Strict");
}

TEST_F(DoctypeSelectionTest, NoDictionaryAtAll) {
  ASSERT_TRUE(
      sharedVmkUserDefaults().changeStringValue("No Such Dictionary", "Vmk_DefaultHtmlDictionary"));
  auto checker = select(kXmlDeclaration + u"<html></html>");
  EXPECT_EQ(checker->htmlDictionary(), nullptr);
  EXPECT_FALSE(checker->isXHTML);
  EXPECT_EQ(errorList(*checker), Strings{"NoDoctypeDeclaration@39+0"});
}

TEST_F(DoctypeSelectionTest, XmlDeclarationOfXhtmlDocuments) {
  const std::u16string body = kXhtmlStrictDoctype + u"\n<html></html>";
  // No declaration: version always, encoding only when the document is not UTF-8/16 or ASCII.
  EXPECT_EQ(errorList(*select(body)), Strings{"XMLVersionRequired@0+0"});
  EXPECT_EQ(errorList(*select(body, Encoding::utf16())), Strings{"XMLVersionRequired@0+0"});
  EXPECT_EQ(errorList(*select(body, Encoding::ascii())), Strings{"XMLVersionRequired@0+0"});
  EXPECT_EQ(errorList(*select(body, Encoding::isoLatin1())),
            (Strings{"XMLVersionRequired@0+0", "XMLEncodingRequired@0+0"}));

  // A declaration without an encoding: reported over the declaration and its line end.
  EXPECT_EQ(errorList(*select(u"<?xml version='1.0' ?>  \n" + body, Encoding::isoLatin1())),
            Strings{"XMLEncodingRequired@0+25"});
  EXPECT_EQ(errorList(*select(u"<?xml version=\"1.1\" encoding=\"utf-8\"?>\n" + body)),
            Strings{"WrongXmlVersion@15+3"});
  // A declaration without a version.
  EXPECT_EQ(errorList(*select(u"<?xml encoding=\"utf-8\"?>\n" + body)),
            Strings{"XMLVersionRequired@0+25"});

  // The declared encoding goes through the charset checks.
  auto sjis = select(u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + body, Encoding::shiftJIS());
  EXPECT_EQ(errorList(*sjis), Strings{"EncodingNotMatched@30+5:encoding,utf-8"});
  EXPECT_EQ(sjis->characterSetString, std::optional<UString>(u"utf-8"));
}

TEST_F(DoctypeSelectionTest, XmlDeclarationEncodingEndsAtItsOwnQuote) {
  const std::u16string body = kXhtmlStrictDoctype +
                              u"\n<html><head><meta http-equiv=\"Content-Type\" "
                              u"content=\"text/html; charset=UTF-8\" /></head></html>";
  for (const std::u16string declaration :
       {u"<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n",
        u"<?xml version='1.0' encoding='UTF-8' standalone='yes' ?>\n"}) {
    auto checker = select(declaration + body);
    EXPECT_EQ(errorList(*checker), Strings{}) << toUtf8(declaration);
    EXPECT_EQ(checker->characterSetString, std::optional<UString>(u"utf-8"));
  }
  // The name is still reported over its own range.
  auto unknown = select(u"<?xml version=\"1.0\" encoding=\"utf8\" standalone=\"no\"?>\n" + body);
  EXPECT_EQ(errorList(*unknown),
            (Strings{"UnSafeEncodingName@30+4:encoding,utf8",
                     "EncodingConflictBetweenXMLandMeta@" +
                         std::to_string(unknown->sourceString().find(u"UTF-8")) + "+5"}));
}

TEST_F(DoctypeSelectionTest, XmlAndMetaCharsetMustAgree) {
  auto checker = select(kXmlDeclaration + kXhtmlStrictDoctype +
                        u"\n<html><head><meta http-equiv=\"Content-Type\" "
                        u"content=\"text/html; charset=Shift_JIS\" /></head></html>");
  Strings errors = errorList(*checker);
  // The meta element's name, not the declaration's, is the one reported.
  const size_t at = checker->sourceString().find(u"Shift_JIS");
  const std::string range = "@" + std::to_string(at) + "+9";
  EXPECT_EQ(errors, (Strings{"EncodingConflictBetweenXMLandMeta" + range,
                             "EncodingNotMatched" + range + ":charset,shift_jis",
                             "JapneseEncodingButNoJapanese" + range + ":charset,shift_jis"}));
  EXPECT_EQ(checker->characterSetString, std::optional<UString>(u"utf-8"));
  EXPECT_TRUE(checker->isJapaneseEncoding);
}

// A small dictionary of our own, without a system identifier.
class SmallDictionarySelectionTest : public ShippedDictionariesTest {
 protected:
  static void SetUpTestSuite() {
    ShippedDictionariesTest::SetUpTestSuite();
    installDictionary(xhtmlElements(), "Test XHTML");
    initDictionaries();
  }
};

TEST_F(SmallDictionarySelectionTest, IdentifierLookupIgnoresCaseAndNeedsNoSystemIdentifier) {
  HeadlessDocument document(
      u"<?xml version=\"1.0\"?>\n<!DOCTYPE html PUBLIC \"-//velumark//dtd TEST//en\" "
      u"\"http://example.com/any.dtd\"><html></html>");
  auto checker = checkerFor(document);
  checker->determinHTMLDictionary();
  ASSERT_NE(checker->htmlDictionary(), nullptr);
  EXPECT_EQ(toUtf8(checker->htmlDictionary()->displayName()), "Test XHTML");
  EXPECT_TRUE(checker->isXHTML);
  EXPECT_EQ(errorList(*checker), Strings{});
}

// ---- Order of the XML declaration, DOCTYPE and html tag ----

class PrologueOrderTest : public ShippedDictionariesTest {
 protected:
  static Strings order(const std::u16string& text, const char* dictionary) {
    auto checker = scanText(text, VmkDictionary::initWithMenuName(toUtf16(dictionary)));
    EXPECT_NE(checker->htmlDictionary(), nullptr);
    checker->errorLocations().clear();
    checker->checkXmlDoctypeHtmlTagOrder();
    return errorList(*checker);
  }
  static Strings html(const std::u16string& text) { return order(text, "HTML 4.01 Strict"); }
  static Strings xhtml(const std::u16string& text) { return order(text, "XHTML 1.0 Strict"); }
};

TEST_F(PrologueOrderTest, DoctypeAndHtmlTag) {
  EXPECT_EQ(html(kStrictDoctype + u"\n<html><body></body></html>"), Strings{});
  EXPECT_EQ(html(u"<!-- c -->\n<html></html>"), Strings{});  // html alone is fine
  EXPECT_EQ(html(u"<head><title>t</title></head>"), Strings{"NoHtmlTag@0+0"});
  EXPECT_EQ(html(u"<?xml version=\"1.0\"?>" + kStrictDoctype + u"<HTML></HTML>"), Strings{});
  // A DOCTYPE not followed by an html start tag (an end tag does not count).
  EXPECT_EQ(html(kStrictDoctype + u"<head></head></html>"), Strings{"NoHtmlTagBeforeDoctype@0+90"});
  // The html start tag before the DOCTYPE, or twice.
  EXPECT_EQ(html(u"<html>" + kStrictDoctype + u"</html>"), Strings{"NoHtmlTagBeforeDoctype@0+6"});
  EXPECT_EQ(html(u"<html><body></body></html><html>"), Strings{"NoHtmlTagBeforeDoctype@0+6"});
}

TEST_F(PrologueOrderTest, OnlyTheFirstTwentyFiveEntriesCount) {
  std::u16string comments;
  for (int i = 0; i < 23; ++i) comments += u"<!--c-->";
  // DOCTYPE, 23 comments, html: the html tag is the 25th entry.
  EXPECT_EQ(html(kStrictDoctype + comments + u"<html></html>"), Strings{});
  EXPECT_EQ(html(kStrictDoctype + comments + u"<!--c--><html></html>"),
            Strings{"NoHtmlTagBeforeDoctype@0+90"});
  EXPECT_EQ(html(u"x" + comments + u"<!--c--><html></html>"), Strings{"NoHtmlTag@0+0"});
}

TEST_F(PrologueOrderTest, XmlDeclarationMustBeFirst) {
  const std::u16string rest = kXhtmlStrictDoctype + u"<html></html>";
  EXPECT_EQ(xhtml(kXmlDeclaration + rest), Strings{});
  EXPECT_EQ(xhtml(u"\n" + kXmlDeclaration + rest), Strings{"XmlTagMustBeFirst@1+38"});
  EXPECT_EQ(xhtml(u"<!-- c -->" + kXmlDeclaration + rest), Strings{"XmlTagMustBeFirst@10+38"});
  // With an HTML dictionary the declaration is named "?XML" and never reported.
  EXPECT_EQ(html(u"\n" + kXmlDeclaration + kStrictDoctype + u"<html></html>"), Strings{});
}

// ---- The dictionary name of a document, with the reuse rule ----

TEST_F(DoctypeSelectionTest, DoctypeNameOfADocumentReusesAnUnchangedRun) {
  auto checker = VmkHTMLChecker::initOneMore();
  HeadlessDocument strict(kStrictDoctype + u"<html></html>");
  HeadlessDocument none(u"<html></html>");
  EXPECT_EQ(checker->htmlDoctypeForDocument(strict), std::optional<UString>(u"HTML 4.01 Strict"));
  EXPECT_EQ(checker->sourceDocument(), &strict);

  // Unchanged: the last run answers, even after the settings changed.
  ASSERT_TRUE(sharedVmkUserDefaults().changeBoolValue(false, "Vmk_FollowsDoctype"));
  EXPECT_EQ(checker->htmlDoctypeForDocument(strict), std::optional<UString>(u"HTML 4.01 Strict"));
  // Edited: checked again.
  strict.textStorage().replaceCharactersInRange(Range(0, 0), u" ");
  EXPECT_EQ(checker->htmlDoctypeForDocument(strict),
            std::optional<UString>(u"HTML 4.01 Transitional"));
  // Another document is checked on its own.
  EXPECT_EQ(checker->htmlDoctypeForDocument(none),
            std::optional<UString>(u"HTML 4.01 Transitional"));
  EXPECT_EQ(checker->sourceDocument(), &none);

  ASSERT_TRUE(
      sharedVmkUserDefaults().changeStringValue("No Such Dictionary", "Vmk_DefaultHtmlDictionary"));
  none.textStorage().replaceCharactersInRange(Range(0, 0), u" ");
  EXPECT_EQ(checker->htmlDoctypeForDocument(none), std::nullopt);
}

}  // namespace
}  // namespace vmk::test
