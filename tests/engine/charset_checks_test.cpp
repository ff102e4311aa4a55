// The declared charset against the known names and the encoding the editor opened the
// document with, and the Japanese flag that switches on the machine-dependent character test.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "EngineTestSupport.h"
#include "doctype_shipped.h"

namespace vmk::test {
namespace {

using Strings = std::vector<std::string>;

class CharsetCheckTest : public ::testing::Test {
 protected:
  // Runs the meta charset check on a document opened in `encoding`.
  std::unique_ptr<VmkHTMLChecker> check(const std::u16string& text, Encoding encoding) {
    document_ = std::make_unique<HeadlessDocument>(text, std::nullopt, encoding);
    auto checker = VmkHTMLChecker::initOneMore();
    checker->initialize();
    checker->setSourceDocument(document_.get());
    checker->setSourceString(text);
    checker->htmlEncoding = encoding;
    checker->checkMetaCharset();
    return checker;
  }
  static std::u16string meta(const std::u16string& charset, const std::u16string& body = u"") {
    return u"<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=" +
           charset + u"\"></head><body>" + body + u"</body></html>";
  }
  // "Code@loc+len:subs" with the range located at the first occurrence of `name`.
  static std::string at(const std::string& code, const std::u16string& text,
                        const std::u16string& name, const std::string& subs = "") {
    size_t where = text.find(name);
    return code + "@" + std::to_string(where) + "+" + std::to_string(name.size()) +
           (subs.empty() ? "" : ":" + subs);
  }

  std::unique_ptr<HeadlessDocument> document_;
};

const std::u16string kJapanese = u"\u65e5\u672c\u8a9e";

TEST_F(CharsetCheckTest, ShiftJISNameAgainstTheOpeningEncoding) {
  const std::u16string text = meta(u"shift_jis", kJapanese);
  for (const char* opened : {"Shift_JIS", "windows-31j", "MS_Kanji", "ibm-943_P130-1999"}) {
    auto checker = check(text, Encoding::fromName(opened));
    EXPECT_EQ(errorList(*checker), Strings{}) << opened;
    EXPECT_TRUE(checker->isJapaneseEncoding);
    EXPECT_EQ(checker->characterSetString, std::optional<UString>(u"shift_jis"));
    EXPECT_TRUE(checker->htmlEncoding.isShiftJISGroup());
  }
  auto utf8 = check(text, Encoding::utf8());
  EXPECT_EQ(errorList(*utf8),
            Strings{at("EncodingNotMatched", text, u"shift_jis", "charset,shift_jis")});
  EXPECT_TRUE(utf8->isJapaneseEncoding);
}

TEST_F(CharsetCheckTest, EachJapaneseGroupNeedsItsOwnEncoding) {
  EXPECT_EQ(errorList(*check(meta(u"EUC-JP", kJapanese), Encoding::eucJP())), Strings{});
  EXPECT_EQ(errorList(*check(meta(u"x0208", kJapanese), Encoding::iso2022JP())), Strings{});
  EXPECT_EQ(
      errorList(*check(meta(u"iso-2022-jp-2", kJapanese), Encoding::fromName("ISO-2022-JP-2"))),
      Strings{});
  const std::u16string euc = meta(u"EUC-JP", kJapanese);
  EXPECT_EQ(errorList(*check(euc, Encoding::shiftJIS())),
            Strings{at("EncodingNotMatched", euc, u"EUC-JP", "charset,euc-jp")});
  const std::u16string jis = meta(u"ISO-2022-JP", kJapanese);
  EXPECT_EQ(errorList(*check(jis, Encoding::eucJP())),
            Strings{at("EncodingNotMatched", jis, u"ISO-2022-JP", "charset,iso-2022-jp")});
}

TEST_F(CharsetCheckTest, UnicodeNamesAreComparedOtherNamesAreNot) {
  EXPECT_EQ(errorList(*check(meta(u"UTF-8"), Encoding::utf8())), Strings{});
  EXPECT_EQ(errorList(*check(meta(u"utf-16"), Encoding::utf16LE())), Strings{});
  const std::u16string utf8 = meta(u"UTF-8");
  EXPECT_EQ(errorList(*check(utf8, Encoding::isoLatin1())),
            Strings{at("EncodingNotMatched", utf8, u"UTF-8", "charset,utf-8")});
  const std::u16string utf16 = meta(u"utf-16");
  EXPECT_EQ(errorList(*check(utf16, Encoding::utf8())),
            Strings{at("EncodingNotMatched", utf16, u"utf-16", "charset,utf-16")});
  // Names other than the Japanese ones, utf-8 and utf-16 are not compared.
  EXPECT_EQ(errorList(*check(meta(u"iso-8859-1"), Encoding::utf8())), Strings{});
  EXPECT_EQ(errorList(*check(meta(u"utf-16le"), Encoding::utf8())), Strings{});
  EXPECT_EQ(errorList(*check(meta(u"windows-1252"), Encoding::shiftJIS())), Strings{});
}

TEST_F(CharsetCheckTest, OtherNamesAreComparedWhenTheTextIsNotAscii) {
  // A UTF-8 page that declares iso-8859-1 shows its accents garbled in a browser.
  const std::u16string latin1 = meta(u"iso-8859-1", u"caf\u00e9");
  EXPECT_EQ(errorList(*check(latin1, Encoding::utf8())),
            Strings{at("EncodingNotMatched", latin1, u"iso-8859-1", "charset,iso-8859-1")});
  // Opened as declared, under another of its names, or ASCII only: nothing.
  EXPECT_EQ(errorList(*check(latin1, Encoding::isoLatin1())), Strings{});
  EXPECT_EQ(errorList(*check(meta(u"latin1", u"caf\u00e9"), Encoding::isoLatin1())), Strings{});
  EXPECT_EQ(errorList(*check(meta(u"iso-8859-1", u"cafe"), Encoding::utf8())), Strings{});
  // A name the platform does not map is not compared.
  EXPECT_EQ(errorList(*check(meta(u"iso-10646-utf-1", u"caf\u00e9"), Encoding::utf8())), Strings{});
}

TEST_F(CharsetCheckTest, UnregisteredNames) {
  const std::u16string sjis = meta(u"X-SJIS", kJapanese);
  auto checker = check(sjis, Encoding::utf8());
  // No comparison with the document's encoding, and not treated as Japanese.
  EXPECT_EQ(errorList(*checker),
            Strings{at("UnSafeCharacterSetValue", sjis, u"X-SJIS", "x-sjis,Shift_JIS")});
  EXPECT_FALSE(checker->isJapaneseEncoding);
  EXPECT_EQ(checker->characterSetString, std::optional<UString>(u"x-sjis"));

  const std::u16string euc = meta(u"x-euc-jp", kJapanese);
  EXPECT_EQ(errorList(*check(euc, Encoding::eucJP())),
            Strings{at("UnSafeCharacterSetValue", euc, u"x-euc-jp", "x-euc-jp,EUC-JP")});

  // The keyword is given as written, the name in lower case.
  const std::u16string utf8 =
      u"<meta http-equiv=\"Content-Type\" content=\"text/html; CharSet=UTF8\">";
  auto unknown = check(utf8, Encoding::utf8());
  EXPECT_EQ(errorList(*unknown), Strings{at("UnSafeEncodingName", utf8, u"UTF8", "CharSet,utf8")});
  EXPECT_FALSE(unknown->htmlEncoding.valid() && unknown->htmlEncoding.isShiftJISGroup());
}

TEST_F(CharsetCheckTest, JapaneseNameOnATextWithoutJapanese) {
  const std::u16string ascii = meta(u"Shift_JIS", u"plain text");
  EXPECT_EQ(errorList(*check(ascii, Encoding::shiftJIS())),
            Strings{at("JapneseEncodingButNoJapanese", ascii, u"Shift_JIS", "charset,shift_jis")});
  // Accented Latin letters are Mac OS Roman too; a single kana is not.
  const std::u16string latin = meta(u"euc-jp", u"caf\u00e9 \u00c5");
  EXPECT_EQ(errorList(*check(latin, Encoding::eucJP())),
            Strings{at("JapneseEncodingButNoJapanese", latin, u"euc-jp", "charset,euc-jp")});
  EXPECT_EQ(errorList(*check(meta(u"euc-jp", u"\u3042"), Encoding::eucJP())), Strings{});
}

TEST_F(CharsetCheckTest, OnlyTheCanonicalMetaFormIsFound) {
  for (const char16_t* text :
       {u"<meta http-equiv='Content-Type' content='text/html; charset=utf8'>",
        u"<meta content=\"text/html; charset=utf8\" http-equiv=\"Content-Type\">",
        u"<meta http-equiv=\"Content-Type\" content=\"application/xhtml+xml; charset=utf8\">",
        u"<meta charset=\"utf8\">"}) {
    auto checker = check(text, Encoding::utf8());
    EXPECT_EQ(errorList(*checker), Strings{}) << toUtf8(std::u16string(text));
    EXPECT_FALSE(checker->characterSetString);
    EXPECT_EQ(checker->htmlEncoding, Encoding::utf8());  // as the host reported it
  }
  // Any case, line breaks inside the element, a closing slash; only the first element counts.
  const std::u16string text =
      u"<META\nHTTP-EQUIV = \"content-type\"\n CONTENT=\"TEXT/HTML;charset=utf8\" />"
      u"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=bogus\">";
  EXPECT_EQ(errorList(*check(text, Encoding::utf8())),
            Strings{at("UnSafeEncodingName", text, u"utf8", "charset,utf8")});
}

TEST_F(CharsetCheckTest, DeclaredNameBecomesTheEncoding) {
  EXPECT_TRUE(check(meta(u"EUC-JP", kJapanese), Encoding::utf8())->htmlEncoding.isEUCJP());
  EXPECT_EQ(check(meta(u"iso-8859-2"), Encoding::utf8())->htmlEncoding,
            Encoding::fromName("iso-8859-2"));
  // A name with no encoding: the table checks still run, the encoding becomes invalid.
  auto unknown = check(meta(u"csunknown8bit"), Encoding::utf8());
  EXPECT_EQ(errorList(*unknown), Strings{});
  EXPECT_FALSE(unknown->htmlEncoding.valid());
}

// ---- A Shift_JIS document as the headless host opens it, checked from end to end ----

class ShiftJISDocumentTest : public ShippedDictionariesTest {};

const std::set<std::string> kCharacterCodes = {
    "MachineDependantCharacter",         "UnSafeKatakana",     "EncodingNotMatched",
    "JapneseEncodingButNoJapanese",      "UnSafeEncodingName", "UnSafeCharacterSetValue",
    "EncodingConflictBetweenXMLandMeta", "WrongAmpersand",     "SemiColonLacked"};

Strings characterErrors(const VmkHTMLChecker& checker) {
  Strings out;
  for (const std::string& e : errorList(checker))
    if (kCharacterCodes.count(e.substr(0, e.find('@')))) out.push_back(e);
  return out;
}

TEST_F(ShiftJISDocumentTest, MachineDependentCharacterAndHalfwidthKatakana) {
  const std::string path = std::string(VELUMARK_TEST_DATA) + "/engine/chars/shift_jis.html";
  auto document = HeadlessDocument::open(path, Encoding::shiftJIS());
  ASSERT_NE(document, nullptr);
  ASSERT_TRUE(document->openNSEncoding().isShiftJISGroup());
  const UString& text = document->textStorage().string();
  const size_t circled = text.find(u'\u2460');
  const size_t katakana = text.find(u'\uff71');
  ASSERT_NE(circled, UString::npos);
  ASSERT_NE(katakana, UString::npos);

  auto checker = VmkHTMLChecker::initOneMore();
  checker->validateHTMLForDocument(*document, false, false);
  EXPECT_EQ(toUtf8(checker->htmlDictionary()->displayName()), "HTML 4.01 Strict");
  EXPECT_TRUE(checker->isJapaneseEncoding);
  EXPECT_EQ(characterErrors(*checker),
            (Strings{"MachineDependantCharacter@" + std::to_string(circled) + "+1",
                     "UnSafeKatakana@" + std::to_string(katakana) + "+1"}));

  // The same characters in a document that declares no Japanese charset: only the katakana.
  HeadlessDocument plain(UString(u"<p>") + u"\u2460\uff71</p>");
  checker->validateHTMLForDocument(plain, false, false);
  EXPECT_FALSE(checker->isJapaneseEncoding);
  EXPECT_EQ(characterErrors(*checker), Strings{"UnSafeKatakana@4+1"});
}

}  // namespace
}  // namespace vmk::test
