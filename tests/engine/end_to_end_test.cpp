// Whole documents through a complete validation run, with the dictionaries made from the W3C
// DTDs installed and chosen by each document's DOCTYPE: clean pages give no error at all, and
// pages with known mistakes give exactly those mistakes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "EngineTestSupport.h"
#include "dictionary/DictionaryFolder.h"
#include "doctype_shipped.h"
#include "host/headless/HeadlessDocument.h"

namespace vmk::test {
namespace {

using Strings = std::vector<std::string>;

class EndToEnd : public ShippedDictionariesTest {
 protected:
  // Opens a page of the test data as the editor would and checks it silently; the errors as
  // "Code@loc+len[:subs]", in order of position.
  Strings validatePage(const std::string& name, std::optional<Encoding> encoding = {}) {
    std::string error;
    document_ = HeadlessDocument::open(std::string(VELUMARK_TEST_DATA) + "/engine/pages/" + name,
                                       encoding, &error);
    EXPECT_NE(document_, nullptr) << error;
    if (!document_) return {"(not opened)"};
    checker_ = VmkHTMLChecker::initOneMore();
    const int32_t kept = checker_->validateHTMLForDocument(*document_, false, false);
    Strings errors = errorList(*checker_);
    EXPECT_EQ(size_t(kept), errors.size());
    std::sort(errors.begin(), errors.end(), byPosition);
    return errors;
  }

  const UString& text() const { return document_->textStorage().string(); }

  // "Code@loc+len[:subs]" for a range given by the n-th occurrence of `needle`, or by a part
  // of it: `offset` code units in, `length` long.
  std::string at(const std::string& code, const std::u16string& needle, const Strings& subs = {},
                 int occurrence = 0, size_t offset = 0,
                 std::optional<size_t> length = std::nullopt) const {
    size_t pos = text().find(needle);
    while (occurrence-- > 0 && pos != std::u16string::npos) pos = text().find(needle, pos + 1);
    EXPECT_NE(pos, std::u16string::npos) << toUtf8(needle);
    return format(code, pos + offset, length.value_or(needle.size() - offset), subs);
  }

  static std::string format(const std::string& code, size_t location, size_t length,
                            const Strings& subs = {}) {
    std::string s = code + "@" + std::to_string(location) + "+" + std::to_string(length);
    if (!subs.empty()) {
      s += ":";
      for (size_t i = 0; i < subs.size(); ++i) s += (i ? "," : "") + subs[i];
    }
    return s;
  }

  static bool byPosition(const std::string& a, const std::string& b) {
    auto location = [](const std::string& s) {
      return std::stoul(s.substr(s.find('@') + 1, s.find('+') - s.find('@') - 1));
    };
    return location(a) != location(b) ? location(a) < location(b) : a < b;
  }

  std::unique_ptr<HeadlessDocument> document_;
  std::unique_ptr<VmkHTMLChecker> checker_;
};

TEST_F(EndToEnd, CleanHtml401StrictPageHasNoError) {
  EXPECT_EQ(validatePage("clean-html401-strict.html"), Strings{});
  ASSERT_NE(checker_->htmlDictionary(), nullptr);
  EXPECT_EQ(checker_->htmlDictionary()->displayName(), u"HTML 4.01 Strict");
  EXPECT_FALSE(checker_->isXHTML);
  EXPECT_EQ(checker_->structualErrorCount, 0);
}

TEST_F(EndToEnd, CleanXhtml10StrictPageHasNoError) {
  EXPECT_EQ(validatePage("clean-xhtml10-strict.html"), Strings{});
  ASSERT_NE(checker_->htmlDictionary(), nullptr);
  EXPECT_EQ(checker_->htmlDictionary()->displayName(), u"XHTML 1.0 Strict");
  EXPECT_TRUE(checker_->isXHTML);
  EXPECT_EQ(checker_->structualErrorCount, 0);
}

TEST_F(EndToEnd, Html401StrictPageWithMistakes) {
  Strings errors = validatePage("mistakes-html401-strict.html");
  const size_t textStart = text().find(u"<body>") + 6;
  const size_t textEnd = text().find(u"<p align");
  Strings expected = {
      // base after a link that holds an address, and with a scheme other than http
      at("BaseTagMustBeTopInHeadSection", u"<base href=\"https://example.com/\">"),
      at("BaseURLMustBeAbsolute", u"https://example.com/"),
      // text directly inside body (Strict: block content only)
      format("DataCantBeInserted", textStart, textEnd - textStart, {"", "BODY"}),
      // align is not an attribute of p in Strict
      at("NoSuchAttribute", u"align", {"P", "align"}),
      // a bare ampersand, and a reference without its semicolon
      at("WrongAmpersand", u"& Jerry", {}, 0, 0, 1),
      at("SemiColonLacked", u"&copy"),
      // tfoot after tbody
      at("WrongElementsOrder", u"<tfoot>", {"TFOOT", "TABLE"}),
      // img without its required alt
      at("NoAltAttributeForImg", u"<img src=\"a.png\">", {"IMG", "alt"}),
  };
  std::sort(expected.begin(), expected.end(), byPosition);
  EXPECT_EQ(errors, expected);
}

TEST_F(EndToEnd, Xhtml10StrictPageWithMistakes) {
  Strings errors = validatePage("mistakes-xhtml10-strict.html");
  Strings expected = {
      at("NoTitleTagInHead", u"<head>"),
      // the end tag of an empty element after its self-closed tag; an empty element that is
      // not self-closed
      at("XHTMLDuplicateEndTag", u"</br>", {"br"}),
      at("DontUseThisEndTagInXHTML", u"<br>", {"br"}),
      // a minimized attribute
      at("CantOmitAttributeNameInXhtml", u"checked", {"checked"}),
      // caption after the rows
      at("WrongElementsOrder", u"<caption>", {"caption", "table"}),
  };
  std::sort(expected.begin(), expected.end(), byPosition);
  EXPECT_EQ(errors, expected);
}

TEST_F(EndToEnd, TheDoctypeDecidesWhichMarkupIsAllowed) {
  // Presentational attributes and text directly in body are Transitional only.
  EXPECT_EQ(validatePage("transitional-html401.html"), Strings{});
  EXPECT_EQ(checker_->htmlDictionary()->displayName(), u"HTML 4.01 Transitional");

  // The same page declared Strict.
  UString strict = text();
  const UString loose =
      u"\"-//W3C//DTD HTML 4.01 Transitional//EN\" \"http://www.w3.org/TR/html4/loose.dtd\"";
  strict.replace(strict.find(loose), loose.size(),
                 u"\"-//W3C//DTD HTML 4.01//EN\" \"http://www.w3.org/TR/html4/strict.dtd\"");
  document_ = std::make_unique<HeadlessDocument>(strict, "strict.html");
  checker_ = VmkHTMLChecker::initOneMore();
  checker_->validateHTMLForDocument(*document_, false, false);
  Strings errors = errorList(*checker_);
  std::sort(errors.begin(), errors.end(), byPosition);
  EXPECT_EQ(checker_->htmlDictionary()->displayName(), u"HTML 4.01 Strict");
  const std::u16string body = u"<body bgcolor=\"white\">";
  const size_t textStart = text().find(body) + body.size();
  const size_t textEnd = text().find(u"<p align");
  Strings expected = {
      at("NoSuchAttribute", u"bgcolor", {"BODY", "bgcolor"}),
      format("DataCantBeInserted", textStart, textEnd - textStart, {"", "BODY"}),
      at("NoSuchAttribute", u"align", {"P", "align"}),
      at("NoSuchAttribute", u"border", {"IMG", "border"}),
  };
  EXPECT_EQ(errors, expected);
}

TEST_F(EndToEnd, ShiftJisPageWithMachineDependentAndHalfWidthCharacters) {
  // Opened as Shift_JIS, declaring Shift_JIS: the NEC circled digit one is outside JIS X 0208
  // and the half-width katakana is unsafe; the kanji and kana around them are fine.
  Strings errors = validatePage("shift-jis-html401.html", Encoding::shiftJIS());
  EXPECT_EQ(errors,
            (Strings{at("MachineDependantCharacter", u"\u2460"), at("UnSafeKatakana", u"\uFF71")}));
  EXPECT_EQ(document_->openNSEncoding(), Encoding::shiftJIS());
}

}  // namespace
}  // namespace vmk::test
