// Attribute value checking: the predicates, the colour and link rules, and the answers of
// VmkDictionary::checkAttributeName on a hand-made dictionary whose entries cover every kind.
#include <gtest/gtest.h>

#include <unordered_set>

#include "dictionary/AttributeValueContext.h"
#include "dictionary/AttributeValuePredicates.h"
#include "dictionary/VmkDictionary.h"

namespace vmk {
namespace {

using Problem = std::optional<std::string_view>;

// A run with a few ids and charset names; references are "&amp;" and decimal ones only.
class FakeContext : public VmkAttributeValueContext {
 public:
  std::unordered_set<UString> ids{u"top", u"Main", u"a1"};
  bool isThisIDDefined(UStringView value) const override { return ids.contains(UString(value)); }
  bool isKnownCharsetName(UStringView lowerName) const override {
    return lowerName == u"utf-8" || lowerName == u"iso-8859-1" || lowerName == u"shift_jis";
  }
  int32_t isCharRef(UStringView text, size_t position) const override {
    UStringView rest = text.substr(position);
    if (rest.starts_with(u"&amp;")) return 5;
    if (rest.starts_with(u"&#")) {
      size_t i = 2;
      while (i < rest.size() && rest[i] >= u'0' && rest[i] <= u'9') ++i;
      if (i < rest.size() && rest[i] == u';') return int32_t(i + 1);
      return -int32_t(i);
    }
    return 0;
  }
};

PlistValue strings(std::initializer_list<const char*> items) {
  PlistArray array;
  for (const char* item : items) array.emplace_back(item);
  return array;
}

std::unique_ptr<VmkDictionary> makeDictionary(bool xml) {
  PlistDict element;
  element.set("TypeString", xml ? "XML" : "- -");
  element.set("ChildElements", strings({"#PCDATA"}));
  element.set("ParentElements", PlistArray{});
  element.set("Attributes", strings({"accesskey\tCDATA(Character)\t#IMPLIED",
                                     "charset\tCDATA(Charset)\t#IMPLIED",
                                     "accept-charset\tCDATA(Charsets)\t#IMPLIED",
                                     "size\tCDATA(Number)\t#IMPLIED",
                                     "border\tCDATA(Pixels)\t#IMPLIED",
                                     "width\tCDATA(Length)\t#IMPLIED",
                                     "coords\tCDATA(Coords)\t#IMPLIED",
                                     "cols\tCDATA(MultiLength)\t#IMPLIED",
                                     "rows\tCDATA(MultiLengths)\t#IMPLIED",
                                     "href\tCDATA(URI)\t#IMPLIED",
                                     "src\tCDATA(URL)\t#IMPLIED",
                                     "archive\tCDATA(UriList)\t#IMPLIED",
                                     "bgcolor\tCDATA(Color)\t#IMPLIED",
                                     "title\tCDATA(Text)\t#IMPLIED",
                                     "class\tCDATA\t#IMPLIED",
                                     "name\tNAME\t#IMPLIED",
                                     "lang\tNAME(LanguageCode)\t#IMPLIED",
                                     "id\tID\t#IMPLIED",
                                     "tok\tNMTOKEN\t#IMPLIED",
                                     "toks\tNMTOKENS\t#IMPLIED",
                                     "span\tNUMBER\t1",
                                     "for\tIDREF\t#IMPLIED",
                                     "headers\tIDREFS\t#IMPLIED",
                                     "checked\t(checked)\t#IMPLIED",
                                     "align\t(left|center|right)\t#IMPLIED",
                                     "version\tCDATA\t#FIXED'-//W3C//DTD HTML 4.01//EN'",
                                     "xmlns\tCDATA\t#FIXED\"http://www.w3.org/1999/xhtml\"",
                                     "twice\tNUMBER\t#IMPLIED",
                                     "twice\t(a|b)\t#IMPLIED",
                                     "bare\t#IMPLIED",
                                     "notab"}));
  PlistDict plain;
  plain.set("TypeString", xml ? "XML" : "- O");
  plain.set("ChildElements", strings({"#PCDATA"}));
  plain.set("ParentElements", PlistArray{});

  PlistDict table;
  table.set(xml ? "x" : "X", std::move(element));
  table.set(xml ? "plain" : "PLAIN", std::move(plain));
  PlistDict tree;
  tree.set("DoctypeName", "-//Test//DTD Attribute Values//EN");
  tree.set("DtdDictionary", std::move(table));
  return std::make_unique<VmkDictionary>(std::move(tree), u"Attribute Values");
}

class CheckAttributeTest : public ::testing::Test {
 protected:
  // The answer and the right value for one attribute of element x.
  Problem check(UStringView name, std::optional<UString> value, UStringView element = u"x") {
    right_ = u"(untouched)";
    return dictionary_->checkAttributeName(name, value, element, &right_, context_);
  }
  Problem check(UStringView name, const char16_t* value) { return check(name, UString(value)); }

  FakeContext context_;
  std::unique_ptr<VmkDictionary> dictionary_ = makeDictionary(false);
  std::optional<UString> right_;
};

TEST(AttributeValuePredicatesTest, NumbersNamesAndTokens) {
  EXPECT_TRUE(isNumberString(u"0"));
  EXPECT_TRUE(isNumberString(u"1234"));
  EXPECT_FALSE(isNumberString(u""));
  EXPECT_FALSE(isNumberString(u"12a"));
  EXPECT_FALSE(isNumberString(u"a12"));
  EXPECT_FALSE(isNumberString(u"-1"));

  EXPECT_TRUE(isNMTOKENString(u""));
  EXPECT_TRUE(isNMTOKENString(u"9a-b_c:d.e"));
  EXPECT_FALSE(isNMTOKENString(u"a b"));
  EXPECT_FALSE(isNMTOKENString(u"a/b"));
  EXPECT_FALSE(isNMTOKENString(u"\u00e9t\u00e9"));  // letters are ASCII ones

  EXPECT_TRUE(isNAMEString(u""));
  EXPECT_TRUE(isNAMEString(u"a9-b"));
  EXPECT_FALSE(isNAMEString(u"9a"));
  EXPECT_FALSE(isNAMEString(u"_a"));
  EXPECT_FALSE(isNAMEString(u"a+b"));
}

TEST(AttributeValuePredicatesTest, XmlNames) {
  // A name may start with a letter of any script, "_" or ":".
  for (const UStringView name : {u"_a0", u":x", u"a9-b.c", u"\u00e9t\u00e9", u"\u65e5\u672c",
                                 u"a\u00b7b\u0301", u"\U00010400x", u""})
    EXPECT_TRUE(isXMLNameString(name)) << toUtf8(name);
  for (const UStringView name : {u"9a", u"-a", u".a", u"\u0301a", u"a b", u"a+b", u"a/b", u"\u00d7",
                                 u"a\xd800", u"\U000F0000"})
    EXPECT_FALSE(isXMLNameString(name)) << toUtf8(name);
  // A token may also start with the characters that only follow in a name.
  EXPECT_TRUE(isXMLNmtokenString(u"9a-b_c:d.e"));
  EXPECT_TRUE(isXMLNmtokenString(u"-\u00e9.\u203f"));
  EXPECT_FALSE(isXMLNmtokenString(u"a b"));
  EXPECT_FALSE(isXMLNmtokenString(u"a,b"));
}

TEST(AttributeValuePredicatesTest, FixedDefaultsAndOmissibleEnumerations) {
  EXPECT_EQ(fixedValueAttribute(u"#FIXED'abc'"), u"abc");
  EXPECT_EQ(fixedValueAttribute(u"#FIXED\"http://x\""), u"http://x");
  // Greedy: up to the last quotation mark of the field, whatever kind it is.
  EXPECT_EQ(fixedValueAttribute(u"#FIXED'a'b\""), u"a'b");
  EXPECT_EQ(fixedValueAttribute(u"#FIXED''"), u"");
  EXPECT_EQ(fixedValueAttribute(u"#IMPLIED"), std::nullopt);
  EXPECT_EQ(fixedValueAttribute(u"#FIXED abc"), std::nullopt);
  EXPECT_EQ(fixedValueAttribute(u""), std::nullopt);

  EXPECT_TRUE(isOmissibleAttribute(u"checked", u"(checked)"));
  EXPECT_TRUE(isOmissibleAttribute(u"SELECTED", u"(selected)"));
  EXPECT_TRUE(isOmissibleAttribute(u"left", u"(LEFT|right)"));
  EXPECT_FALSE(isOmissibleAttribute(u"align", u"(left|right)"));
  EXPECT_FALSE(isOmissibleAttribute(u"checked", u"CDATA"));
  EXPECT_FALSE(isOmissibleAttribute(u"checked", u""));
}

TEST(AttributeValuePredicatesTest, Tokens) {
  EXPECT_EQ(listTokens(u" a, b,,c  d "), (std::vector<UString>{u"a", u"b", u"c", u"d"}));
  EXPECT_EQ(spaceSeparatedTokens(u"a,b  c"), (std::vector<UString>{u"a,b", u"c"}));
  EXPECT_EQ(enumerationTokens(u"(left|center|right)"),
            (std::vector<UString>{u"left", u"center", u"right"}));
  EXPECT_TRUE(listTokens(u" ,, ").empty());
  // Every kind of white space separates, other control characters do not.
  EXPECT_EQ(spaceSeparatedTokens(u"a\tb\vc\fd\re\nf\u001cg"),
            (std::vector<UString>{u"a", u"b", u"c", u"d", u"e", u"f\u001cg"}));
  EXPECT_EQ(spaceSeparatedTokens(u"a\u00a0b\u3000c"), (std::vector<UString>{u"a", u"b", u"c"}));
  EXPECT_EQ(enumerationTokens(u"(A | b,c)(d)"), (std::vector<UString>{u"A", u"b", u"c", u"d"}));
}

TEST(AttributeValuePredicatesTest, LinksInRuleOrder) {
  EXPECT_EQ(checkURLString(std::nullopt), "VoidURLValue");
  EXPECT_EQ(checkURLString(u""), "VoidURLValue");
  EXPECT_EQ(checkURLString(u"page.html?a=1&b=2#top"), std::nullopt);
  EXPECT_EQ(checkURLString(u"../dir/page.html"), std::nullopt);
  EXPECT_EQ(checkURLString(u"http://example.com/a%20b"), std::nullopt);
  EXPECT_EQ(checkURLString(u"mailto:someone@example.com"), std::nullopt);
  EXPECT_EQ(checkURLString(u"my page.html"), "SpaceContainedURLValue");
  EXPECT_EQ(checkURLString(u"dir\\page.html"), "SpaceContainedURLValue");
  // A space is found before a control character is even considered.
  EXPECT_EQ(checkURLString(u"a\tb c"), "SpaceContainedURLValue");
  EXPECT_EQ(checkURLString(u"a\tb"), "ControlContainedURLValue");
  EXPECT_EQ(checkURLString(u"caf\u00e9.html"), "ControlContainedURLValue");
  EXPECT_EQ(checkURLString(u"a\u007fb"), "ControlContainedURLValue");
  EXPECT_EQ(checkURLString(u"\U0001F600.html"), "ControlContainedURLValue");
  // A control character outranks the scheme and unsafe-character rules.
  EXPECT_EQ(checkURLString(u"javascript:\u00e9"), "ControlContainedURLValue");
  EXPECT_EQ(checkURLString(u"HTTP://example.com/"), "WrongSchemeInURL");
  EXPECT_EQ(checkURLString(u"javascript:void(0)"), "WrongSchemeInURL");
  EXPECT_EQ(checkURLString(u"javascript:a[0]"), "WrongSchemeInURL");
  EXPECT_EQ(checkURLString(u"page[1].html"), "UnSafeURLValue");
  EXPECT_EQ(checkURLString(u"a|b"), "UnSafeURLValue");
  EXPECT_EQ(checkURLString(u"a{b"), "UnSafeURLValue");
  EXPECT_EQ(checkURLString(u"a`b"), "UnSafeURLValue");
  EXPECT_EQ(checkURLString(u"a^b"), "UnSafeURLValue");
  EXPECT_EQ(checkURLString(u"a<b"), "UnSafeURLValue");
  EXPECT_EQ(checkURLString(u"x_1:y"), "WrongSchemeInURL");
  EXPECT_EQ(checkURLString(u"https:x"), std::nullopt);
  EXPECT_EQ(checkURLString(u"httpx:y"), "WrongSchemeInURL");
  EXPECT_EQ(checkURLString(u":x"), std::nullopt);
  EXPECT_EQ(checkURLString(u"a/b:c"), std::nullopt);
  EXPECT_EQ(checkURLString(u"<?= $base ?>ftp:x"), std::nullopt);
  EXPECT_EQ(checkURLString(u"<?= $base ?>javascript:x"), "WrongSchemeInURL");
}

TEST(AttributeValuePredicatesTest, ServerSideCodeInLinksIsIgnored) {
  EXPECT_EQ(checkURLString(u"<?php echo $url ?>"), std::nullopt);
  EXPECT_EQ(checkURLString(u"page.php?id=<?php echo $id ?>"), std::nullopt);
  // Everything up to a ">" goes, with or without the "<".
  EXPECT_EQ(checkURLString(u"bad name>good.html"), std::nullopt);
  // Only up to the first ">": what follows is judged.
  EXPECT_EQ(checkURLString(u"<?a?>b c"), "SpaceContainedURLValue");
  // The removal does not cross a line end, so the line feed stays and is judged.
  EXPECT_EQ(checkURLString(u"a\n>"), "ControlContainedURLValue");
}

TEST(AttributeValuePredicatesTest, Colors) {
  EXPECT_EQ(checkColorString(u"red"), std::nullopt);
  EXPECT_EQ(checkColorString(u"Red"), std::nullopt);
  EXPECT_EQ(checkColorString(u"SILVER"), std::nullopt);
  EXPECT_EQ(checkColorString(u"orange"), "UnSafeColorName");
  EXPECT_EQ(checkColorString(u"LightGrey"), "UnSafeColorName");
  EXPECT_EQ(checkColorString(u"lightgray"), "WrongColorValueAttribute");  // only the grey form
  EXPECT_EQ(checkColorString(u"#ff0000"), std::nullopt);
  EXPECT_EQ(checkColorString(u"#A0b1C2"), std::nullopt);
  EXPECT_EQ(checkColorString(u"ff0000"), "WrongHexColorValue");
  EXPECT_EQ(checkColorString(u"#fff"), "WrongColorValueAttribute");
  EXPECT_EQ(checkColorString(u"#ff00zz"), "WrongColorValueAttribute");
  EXPECT_EQ(checkColorString(u""), "WrongColorValueAttribute");
  // Six hexadecimal digits at the end of the text (or of a line) decide.
  EXPECT_EQ(checkColorString(u"x#123456"), std::nullopt);
  EXPECT_EQ(checkColorString(u"#1234567"), "WrongHexColorValue");
  EXPECT_EQ(checkColorString(u"#123456\nzz"), std::nullopt);
}

TEST(AttributeValuePredicatesTest, ColorTables) {
  EXPECT_EQ(gColors().size(), 16u);
  EXPECT_EQ(gColors2().size(), 140u);
  for (const UString& name : gColors()) EXPECT_TRUE(gColors2().contains(name));
  EXPECT_FALSE(gColors2().contains(u"grey"));
  EXPECT_FALSE(gColors2().contains(u"darkgrey"));
  EXPECT_TRUE(gColors2().contains(u"lightgrey"));
  EXPECT_FALSE(gColors2().contains(u"lightgray"));
  EXPECT_EQ(&gColors(), &gColors());  // built once
}

TEST_F(CheckAttributeTest, NoRecordNoAttributesOrUnknownAttribute) {
  EXPECT_EQ(check(u"anything", u"1", u"nosuch"), std::nullopt);
  EXPECT_EQ(check(u"anything", u"1", u"plain"), std::nullopt);
  EXPECT_EQ(check(u"unknown", u"[bad]"), std::nullopt);
  EXPECT_EQ(right_, std::nullopt);  // reset even when nothing is found
}

TEST_F(CheckAttributeTest, ElementAndAttributeNamesFoldCase) {
  EXPECT_EQ(check(u"SIZE", u"x", u"x"), "NumberValueAttribute");
  EXPECT_EQ(check(u"Size", u"x", u"X"), "NumberValueAttribute");
  auto xml = makeDictionary(true);
  std::optional<UString> right;
  EXPECT_EQ(xml->checkAttributeName(u"size", UString(u"x"), u"X", &right, context_),
            "NumberValueAttribute");
}

TEST_F(CheckAttributeTest, SingleCharacters) {
  EXPECT_EQ(check(u"accesskey", u""), std::nullopt);
  EXPECT_EQ(check(u"accesskey", u"k"), std::nullopt);
  EXPECT_EQ(check(u"accesskey", u"\u00e9"), std::nullopt);
  EXPECT_EQ(check(u"accesskey", u"&amp;"), std::nullopt);
  EXPECT_EQ(check(u"accesskey", u"&#65;xyz"), std::nullopt);  // whatever follows
  EXPECT_EQ(check(u"accesskey", u"ab"), "OneCharacterAttributeValue");
  EXPECT_EQ(right_, std::nullopt);
  EXPECT_EQ(check(u"accesskey", u"&#65"), "OneCharacterAttributeValue");
  EXPECT_EQ(check(u"accesskey", u"x&amp;"), "OneCharacterAttributeValue");
}

TEST_F(CheckAttributeTest, Charsets) {
  EXPECT_EQ(check(u"charset", u"UTF-8"), std::nullopt);
  EXPECT_EQ(check(u"charset", u"utf8"), "UnSafeEncodingName");
  EXPECT_EQ(right_, std::nullopt);
  EXPECT_EQ(check(u"charset", u""), "UnSafeEncodingName");
  EXPECT_EQ(check(u"charset", u"utf-8 "), "UnSafeEncodingName");
  EXPECT_EQ(check(u"accept-charset", u"utf-8  ISO-8859-1"), std::nullopt);
  EXPECT_EQ(check(u"accept-charset", u""), std::nullopt);
  EXPECT_EQ(check(u"accept-charset", u"utf-8 Latin9 EUC"), "UnSafeEncodingName");
  EXPECT_EQ(right_, u"latin9");
  // Comma is not a separator here.
  EXPECT_EQ(check(u"accept-charset", u"utf-8,shift_jis"), "UnSafeEncodingName");
  EXPECT_EQ(right_, u"utf-8,shift_jis");
}

TEST_F(CheckAttributeTest, NumbersAndLengths) {
  EXPECT_EQ(check(u"size", u"12"), std::nullopt);
  EXPECT_EQ(check(u"size", u"12px"), "NumberValueAttribute");
  EXPECT_EQ(right_, std::nullopt);
  EXPECT_EQ(check(u"span", u"2"), std::nullopt);
  EXPECT_EQ(check(u"span", u""), "NumberValueAttribute");
  EXPECT_EQ(right_, u"");
  EXPECT_EQ(check(u"span", u"two"), "NumberValueAttribute");
  EXPECT_EQ(right_, u"two");

  EXPECT_EQ(check(u"width", u"50%"), std::nullopt);
  EXPECT_EQ(check(u"width", u"50"), std::nullopt);
  EXPECT_EQ(check(u"border", u"0"), std::nullopt);
  EXPECT_EQ(check(u"width", u"50 %"), "LengthValueAttribte");
  EXPECT_EQ(check(u"width", u""), "LengthValueAttribte");
  EXPECT_EQ(check(u"width", u"%"), "LengthValueAttribte");
  EXPECT_EQ(check(u"border", u"1px"), "LengthValueAttribte");
  EXPECT_EQ(right_, std::nullopt);
  EXPECT_EQ(check(u"width", u"5%%"), "LengthValueAttribte");
  // Digits of other scripts are digits too.
  EXPECT_EQ(check(u"width", u"\u0661\u0662%"), std::nullopt);
  EXPECT_EQ(check(u"span", u"\u0661\u0662"), std::nullopt);
  EXPECT_EQ(check(u"cols", u"\u0661*"), std::nullopt);
  EXPECT_EQ(check(u"cols", u"1*\u0661"), "MultiLengthValueAttribute");

  EXPECT_EQ(check(u"coords", u"1,2,3"), std::nullopt);
  EXPECT_EQ(check(u"coords", u"10%, 20 ,30,"), std::nullopt);
  EXPECT_EQ(check(u"coords", u"1"), "LengthValueArrayAttribte");
  EXPECT_EQ(check(u"coords", u"1,a"), "LengthValueArrayAttribte");

  EXPECT_EQ(check(u"cols", u""), std::nullopt);
  EXPECT_EQ(check(u"cols", u"*"), std::nullopt);
  EXPECT_EQ(check(u"cols", u"2*"), std::nullopt);
  EXPECT_EQ(check(u"cols", u"30%"), std::nullopt);
  EXPECT_EQ(check(u"cols", u"**"), "MultiLengthValueAttribute");
  EXPECT_EQ(check(u"rows", u"*,2*,100"), std::nullopt);
  EXPECT_EQ(check(u"rows", u"*"), "MultiLengthValueArrayAttribute");
}

TEST_F(CheckAttributeTest, Links) {
  EXPECT_EQ(check(u"href", u"page.html?a=1&b=2"), std::nullopt);
  EXPECT_EQ(check(u"href", u"my page.html"), "SpaceContainedURLValue");
  EXPECT_EQ(right_, u"my page.html");
  EXPECT_EQ(check(u"src", u"HTTP://Example.com/"), "WrongSchemeInURL");
  EXPECT_EQ(right_, u"HTTP://Example.com/");
  EXPECT_EQ(check(u"href", u""), "VoidURLValue");
  EXPECT_EQ(right_, u"");

  EXPECT_EQ(check(u"archive", u"a.jar, b.jar"), std::nullopt);
  EXPECT_EQ(check(u"archive", u""), std::nullopt);
  // Tokens come from the lower-cased value: an upper-case scheme passes in a list.
  EXPECT_EQ(check(u"archive", u"HTTP://x/a.jar"), std::nullopt);
  EXPECT_EQ(check(u"archive", u"a.jar javascript:X b[1].jar"), "WrongSchemeInURL");
  EXPECT_EQ(right_, u"javascript:x");
}

TEST_F(CheckAttributeTest, ColorsHaveNoRightValue) {
  EXPECT_EQ(check(u"bgcolor", u"Navy"), std::nullopt);
  EXPECT_EQ(check(u"bgcolor", u"orange"), "UnSafeColorName");
  EXPECT_EQ(right_, std::nullopt);
  EXPECT_EQ(check(u"bgcolor", u"ff0000"), "WrongHexColorValue");
  EXPECT_EQ(check(u"bgcolor", u"#fff"), "WrongColorValueAttribute");
}

TEST_F(CheckAttributeTest, PlainAndUnknownKindsAreNotJudged) {
  EXPECT_EQ(check(u"title", u"<any> [text]"), std::nullopt);
  EXPECT_EQ(check(u"class", u"a b|c"), std::nullopt);
  EXPECT_EQ(check(u"lang", u"9 9"), std::nullopt);  // suffixed NAME is not NAME
  EXPECT_EQ(check(u"bare", u"whatever"), std::nullopt);
}

TEST_F(CheckAttributeTest, NamesTokensAndIds) {
  EXPECT_EQ(check(u"name", u"a1"), std::nullopt);
  EXPECT_EQ(check(u"name", u"1a"), "NameValueAttribute");
  EXPECT_EQ(right_, std::nullopt);
  EXPECT_EQ(check(u"id", u""), std::nullopt);
  EXPECT_EQ(check(u"id", u"my id"), "NameValueAttribute");
  EXPECT_EQ(check(u"tok", u"1a"), std::nullopt);
  EXPECT_EQ(check(u"tok", u"a b"), "MNTOKENAttribute");
  EXPECT_EQ(right_, u"a b");
  EXPECT_EQ(check(u"toks", u"a, b c"), std::nullopt);
  EXPECT_EQ(check(u"toks", u"a B/C d"), "MNTOKENAttribute");
  EXPECT_EQ(right_, u"b/c");

  EXPECT_EQ(check(u"for", u"top"), std::nullopt);
  EXPECT_EQ(check(u"for", u"Main"), std::nullopt);  // unchanged value
  EXPECT_EQ(check(u"for", u"TOP"), "ThisIDNotDefined");
  EXPECT_EQ(right_, u"TOP");
  EXPECT_EQ(check(u"headers", u"top a1"), std::nullopt);
  EXPECT_EQ(check(u"headers", u"top,A1"), std::nullopt);  // lowered to a1
  // The tokens are lowered before the lookup: an id with capitals is never found.
  EXPECT_EQ(check(u"headers", u"top Main"), "ThisIDNotDefined");
  EXPECT_EQ(right_, u"main");
}

TEST_F(CheckAttributeTest, Enumerations) {
  EXPECT_EQ(check(u"checked", u"checked"), std::nullopt);
  EXPECT_EQ(check(u"checked", u"CHECKED"), std::nullopt);
  EXPECT_EQ(check(u"checked", u"yes"), "BoolValueAttribute");
  EXPECT_EQ(right_, u"checked");
  EXPECT_EQ(check(u"Checked", u""), "BoolValueAttribute");
  EXPECT_EQ(right_, u"checked");
  EXPECT_EQ(check(u"align", u"Center"), std::nullopt);
  EXPECT_EQ(check(u"align", u"middle"), "MultiValueAttribute");
  EXPECT_EQ(right_, u"(left|center|right)");
}

TEST_F(CheckAttributeTest, ValuelessAttributes) {
  EXPECT_EQ(check(u"checked", std::nullopt), std::nullopt);
  EXPECT_EQ(check(u"align", std::nullopt), "AttributeValueMustBeSpecified");
  EXPECT_EQ(right_, std::nullopt);
  EXPECT_EQ(check(u"href", std::nullopt), "AttributeValueMustBeSpecified");
  EXPECT_EQ(check(u"bare", std::nullopt), "AttributeValueMustBeSpecified");
  // An entry without any TAB defines nothing.
  EXPECT_EQ(check(u"notab", std::nullopt), std::nullopt);
}

TEST_F(CheckAttributeTest, FixedValues) {
  EXPECT_EQ(check(u"version", u"-//W3C//DTD HTML 4.01//EN"), std::nullopt);
  EXPECT_EQ(check(u"version", u"-//w3c//dtd html 4.01//en"), "FixedValueAttribute");
  EXPECT_EQ(right_, u"-//W3C//DTD HTML 4.01//EN");
  EXPECT_EQ(check(u"xmlns", std::nullopt), "FixedValueAttribute");
  EXPECT_EQ(right_, u"http://www.w3.org/1999/xhtml");
  EXPECT_EQ(check(u"xmlns", u"http://www.w3.org/1999/xhtml"), std::nullopt);
}

TEST_F(CheckAttributeTest, EveryEntryOfTheNameIsChecked) {
  // First entry NUMBER, second (a|b): a value must pass both.
  EXPECT_EQ(check(u"twice", u"x"), "NumberValueAttribute");
  EXPECT_EQ(right_, u"x");
  EXPECT_EQ(check(u"twice", u"1"), "MultiValueAttribute");
  EXPECT_EQ(right_, u"(a|b)");
}

}  // namespace
}  // namespace vmk
