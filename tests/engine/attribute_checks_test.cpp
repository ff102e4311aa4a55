// Attribute checks of a validation run: the attribute records of each tag, their lexical
// problems, unknown and required attributes, ids, and the reports of value problems with their
// ranges and substrings. Expectations that depend on the document type come from the HTML 4.01
// and XHTML 1.0 DTDs, through the dictionaries shipped with the program.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "EngineTestSupport.h"
#include "dictionary/VmkDictionary.h"
#include "engine/AttributeEditorNames.h"
#include "engine/VmkHTMLChecker.h"

namespace vmk {
namespace {

using test::errorList;
using Errors = std::vector<std::string>;

constexpr const char* kTransitional = "HTML 4.01 Transitional";
constexpr const char* kStrict = "HTML 4.01 Strict";
constexpr const char* kXStrict = "XHTML 1.0 Strict";
constexpr const char* kXTransitional = "XHTML 1.0 Transitional";

std::unique_ptr<VmkDictionary> shippedDictionary(const std::string& name) {
  const std::string path =
      std::string(VELUMARK_BINARY_DIR) + "/share/velumark/dictionaries/" + name + ".dict";
  auto dictionary = VmkDictionary::fromFile(path, toUtf16(name));
  EXPECT_NE(dictionary, nullptr) << path;
  return dictionary;
}

// Scans the text with the dictionary and runs the attribute step alone: the list holds only
// what that step reported.
std::unique_ptr<VmkHTMLChecker> checkAttributes(const std::u16string& text,
                                                std::unique_ptr<VmkDictionary> dictionary) {
  auto checker = VmkHTMLChecker::initOneMore();
  checker->initialize();
  checker->setSourceString(text);
  checker->isXHTML = dictionary && dictionary->isXML();
  checker->setHtmlDictionary(std::move(dictionary));
  checker->makeTagLocationsArray();
  checker->errorLocations().clear();
  checker->checkAttributeNamesAndValues();
  return checker;
}

Errors attributeErrors(const std::u16string& text, const std::string& dictionary) {
  return errorList(*checkAttributes(text, shippedDictionary(dictionary)));
}

// The records of the first tag.
const VmkAttributeList& firstRecords(const VmkHTMLChecker& checker) {
  static const VmkAttributeList none;
  const auto& attributes = checker.tagLocations().at(0)->attributes();
  return attributes ? *attributes : none;
}

// Names and values are literals, which outlive the records.
VmkAttribute record(const char16_t* name, Range nameRange, std::optional<UStringView> value = {},
                    Range valueRange = {}) {
  return VmkAttribute{name, nameRange, value, valueRange};
}

// ---- Records ----

TEST(AttributeRecordsTest, NamesValuesAndRanges) {
  auto checker =
      checkAttributes(u"<img SRC = \"a.png\" alt='' ismap>", shippedDictionary(kTransitional));
  EXPECT_EQ(firstRecords(*checker),
            (VmkAttributeList{record(u"src", {5, 3}, u"a.png", {12, 5}),
                              record(u"alt", {19, 3}, u"", {24, 0}), record(u"ismap", {26, 5})}));
  EXPECT_EQ(errorList(*checker), Errors{});
}

TEST(AttributeRecordsTest, RecordsViewTheTextTheyWereMadeFrom) {
  auto checker = checkAttributes(u"<img SRC=\"a.png\" alt=x>", shippedDictionary(kTransitional));
  const VmkAttributeList& records = firstRecords(*checker);
  ASSERT_EQ(records.size(), 2u);
  // The names outlive the pass that lowered them; the values are the text at their ranges.
  EXPECT_EQ(records[0].name, u"src");
  EXPECT_EQ(records[0].value->data(), checker->sourceString().data() + 10);
  // A new text starts without the old list, whose records view the old text.
  checker->setSourceString(u"<p>");
  EXPECT_TRUE(checker->tagLocations().empty());
}

TEST(AttributeRecordsTest, ValuelessAttributeBeforeSlashEnd) {
  auto html = checkAttributes(u"<input disabled/>", shippedDictionary(kTransitional));
  EXPECT_EQ(firstRecords(*html), (VmkAttributeList{record(u"disabled", {7, 8})}));
  EXPECT_EQ(errorList(*html), Errors{});

  auto xhtml = checkAttributes(u"<input disabled/>", shippedDictionary(kXStrict));
  EXPECT_EQ(firstRecords(*xhtml), (VmkAttributeList{record(u"disabled", {7, 8})}));
  EXPECT_EQ(errorList(*xhtml), Errors{"CantOmitAttributeNameInXhtml@7+8:disabled"});
}

TEST(AttributeRecordsTest, TagsWithoutAttributesAndOtherEntriesGetNoList) {
  auto checker = checkAttributes(
      u"<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\"><?xml version=\"1.0\"?>"
      u"<!-- a=b --><p>text</p >",
      shippedDictionary(kStrict));
  for (const auto& tag : checker->tagLocations()) {
    EXPECT_EQ(tag->attributes(), nullptr) << toUtf8(tag->elementName());
  }
  EXPECT_EQ(errorList(*checker), Errors{});
}

TEST(AttributeRecordsTest, StrayGreaterThanLeftByServerCodeEndsTheScan) {
  // The embedded instruction keeps the tag open; its "?>" is left between the names.
  auto checker = checkAttributes(u"<p <?php x ?>>", shippedDictionary(kStrict));
  std::vector<UString> names;
  for (const VmkAttribute& a : firstRecords(*checker)) names.emplace_back(a.name);
  EXPECT_EQ(names, (std::vector<UString>{u"<?php", u"x", u"?"}));
}

// ---- Quotation marks ----

TEST(AttributeQuotesTest, UnquotedValuesInHTML) {
  EXPECT_EQ(attributeErrors(u"<a href=page.html>x</a>", kTransitional), Errors{});
  EXPECT_EQ(attributeErrors(u"<a href=/dir/page.html>x</a>", kTransitional),
            Errors{"NeedsQuotationMarks@8+14"});
  EXPECT_EQ(attributeErrors(u"<a href=page_2.html>x</a>", kTransitional),
            Errors{"NeedsQuotationMarks@8+11"});

  const UString letters72(72, u'a');
  EXPECT_EQ(attributeErrors(u"<td abbr=" + letters72 + u">", kTransitional), Errors{});
  EXPECT_EQ(attributeErrors(u"<td abbr=" + letters72 + u"b>", kTransitional),
            Errors{"NeedsQuotationMarks@9+73"});
  // "=" right before the end of the tag: an empty value, accepted without quotes in HTML.
  auto empty = checkAttributes(u"<td abbr=>", shippedDictionary(kTransitional));
  EXPECT_EQ(firstRecords(*empty), (VmkAttributeList{record(u"abbr", {4, 4}, u"", {9, 0})}));
  EXPECT_EQ(errorList(*empty), Errors{});
}

TEST(AttributeQuotesTest, EveryUnquotedValueInXHTML) {
  EXPECT_EQ(attributeErrors(u"<a href=page.html>x</a>", kXStrict),
            Errors{"NeedsQuotationMarks@8+9"});
  EXPECT_EQ(attributeErrors(u"<td abbr=>", kXStrict), Errors{"NeedsQuotationMarks@9+0"});
}

TEST(AttributeQuotesTest, MissingClosingQuotationMark) {
  auto checker = checkAttributes(u"<p title=\"abc>", shippedDictionary(kStrict));
  EXPECT_EQ(errorList(*checker), Errors{"NoRightQuotationMark@10+3"});
  EXPECT_EQ(firstRecords(*checker), (VmkAttributeList{record(u"title", {3, 5}, u"abc", {10, 3})}));

  // A bare ">" in a quoted value ends the tag; the value is what came before it.
  auto early = checkAttributes(u"<p title=\"a>b\">", shippedDictionary(kStrict));
  EXPECT_EQ(errorList(*early), Errors{"NoRightQuotationMark@10+1"});
  EXPECT_EQ(firstRecords(*early), (VmkAttributeList{record(u"title", {3, 5}, u"a", {10, 1})}));

  // The scan goes on after the unterminated value: the next name is still read.
  auto single = checkAttributes(u"<p title='x id=\"y\">", shippedDictionary(kStrict));
  EXPECT_EQ(errorList(*single), Errors{"NoRightQuotationMark@10+8"});
}

TEST(AttributeQuotesTest, ServerSideCodeInsideQuotedValues) {
  auto checker = checkAttributes(u"<a href=\"<?php echo $u ?>\" title=\"<?= $t ?>\">x</a>",
                                 shippedDictionary(kTransitional));
  EXPECT_EQ(errorList(*checker), Errors{});
  EXPECT_EQ(firstRecords(*checker),
            (VmkAttributeList{record(u"href", {3, 4}, u"<?php echo $u ?>", {9, 16}),
                              record(u"title", {27, 5}, u"<?= $t ?>", {34, 9})}));
}

TEST(AttributeQuotesTest, ServerSideCodeHoldingGreaterThanIsReadWhole) {
  // The scanner would end such a tag early, so the record is given its whole range here.
  const UString text = u"<p title=\"<?php if ($a > 1) echo '\"'; ?>\">";
  auto checker = VmkHTMLChecker::initOneMore();
  checker->initialize();
  checker->setSourceString(text);
  checker->setHtmlDictionary(shippedDictionary(kStrict));
  auto tag = std::make_unique<VmkTagLocation>();
  tag->setElementName(u"P");
  tag->setTagRange(Range(0, uint32_t(text.size())));
  checker->tagLocations().push_back(std::move(tag));
  checker->checkAttributeNamesAndValues();

  EXPECT_EQ(errorList(*checker), Errors{});
  EXPECT_EQ(firstRecords(*checker),
            (VmkAttributeList{record(u"title", {3, 5}, u"<?php if ($a > 1) echo '\"'; ?>",
                                     {10, uint32_t(text.size() - 12)})}));
}

// ---- Names ----

TEST(AttributeNamesTest, DuplicatesAreReportedAtTheRepeatedName) {
  EXPECT_EQ(attributeErrors(u"<img src=\"a.png\" alt=\"\" SRC=\"b.png\">", kTransitional),
            Errors{"DuplicateAttributes@24+3:IMG,SRC"});
  // A third occurrence is reported once, like the second.
  EXPECT_EQ(attributeErrors(u"<p id=a ID=b Id=c>", kStrict),
            (Errors{"DuplicateAttributes@8+2:P,ID", "DuplicateAttributes@13+2:P,Id"}));
}

TEST(AttributeNamesTest, UpperCaseNamesInXHTML) {
  auto checker = checkAttributes(u"<input type=\"checkbox\" Checked=\"checked\" />",
                                 shippedDictionary(kXStrict));
  EXPECT_EQ(errorList(*checker), Errors{"AttributeNameShouldLowercase@23+7:Checked"});
  EXPECT_EQ(firstRecords(*checker)[1].name, u"checked");
  EXPECT_EQ(attributeErrors(u"<input type=\"checkbox\" Checked=\"checked\">", kTransitional),
            Errors{});
}

TEST(AttributeNamesTest, UnknownAndEditorAttributes) {
  EXPECT_EQ(attributeErrors(u"<td xpos=\"10\">", kTransitional),
            Errors{"ThisAttributeNotDefinedInDtd@4+9:TD,xpos"});
  EXPECT_EQ(attributeErrors(u"<td XPOS='10'>", kTransitional),
            Errors{"ThisAttributeNotDefinedInDtd@4+9:TD,xpos"});
  EXPECT_EQ(attributeErrors(u"<td xpos=10>", kTransitional),
            Errors{"ThisAttributeNotDefinedInDtd@4+7:TD,xpos"});
  EXPECT_EQ(attributeErrors(u"<td cool>", kTransitional),
            Errors{"ThisAttributeNotDefinedInDtd@4+4:TD,cool"});
  EXPECT_EQ(attributeErrors(u"<td foo=\"1\">", kTransitional),
            Errors{"NoSuchAttribute@4+3:TD,foo"});
  // What Transitional allows and Strict does not.
  EXPECT_EQ(attributeErrors(u"<td bgcolor=\"red\" nowrap>", kTransitional), Errors{});
  EXPECT_EQ(attributeErrors(u"<td bgcolor=\"red\" nowrap>", kStrict),
            (Errors{"NoSuchAttribute@4+7:TD,bgcolor", "NoSuchAttribute@18+6:TD,nowrap"}));
  // Undeclared elements are reported by the scanner; their attributes are not questioned.
  EXPECT_EQ(attributeErrors(u"<blink foo=\"1\">", kStrict), Errors{});
  EXPECT_EQ(gEditorAttributeArray().size(), 12u);
}

TEST(AttributeNamesTest, WithoutDictionaryOnlyTheLexicalRulesApply) {
  auto checker = checkAttributes(u"<img foo=/x align=middle>", nullptr);
  EXPECT_EQ(errorList(*checker), Errors{"NeedsQuotationMarks@9+2"});
}

// ---- Ids ----

TEST(AttributeIdsTest, RepeatedIdsAndReferencesAcrossTheDocument) {
  auto checker = checkAttributes(
      u"<label for=\"f\">L</label><p id=\"a\">x</p><p id=\"a\">y</p><input id=\"f\">",
      shippedDictionary(kTransitional));
  EXPECT_EQ(errorList(*checker), Errors{"ThisIDAlreadyDefined@46+1:P,id,a"});
  EXPECT_EQ(checker->idArray, (std::vector<UString>{u"a", u"f"}));
  EXPECT_TRUE(checker->isThisIDDefined(u"f"));
  EXPECT_FALSE(checker->isThisIDDefined(u"F"));
}

TEST(AttributeIdsTest, ReferencesToMissingIds) {
  EXPECT_EQ(attributeErrors(u"<label for=\"nowhere\">", kTransitional),
            Errors{"ThisIDNotDefined@12+7:nowhere"});
  // Tokens of a list are lowered before the lookup; the message shows the value as written.
  EXPECT_EQ(
      attributeErrors(u"<th id=\"c1\">a<th id=\"Col2\">b<td headers=\"C1 Col2\">", kTransitional),
      Errors{"ThisIDNotDefined@41+7:C1 Col2"});
  EXPECT_EQ(attributeErrors(u"<th id=\"c1\">a<td headers=\"c1\">", kTransitional), Errors{});
}

TEST(AttributeIdsTest, ValuelessIdIsNotCollected) {
  auto checker = checkAttributes(u"<p id>x</p><p id=\"\">", shippedDictionary(kStrict));
  EXPECT_EQ(checker->idArray, (std::vector<UString>{u""}));
}

TEST(AttributeIdsTest, IndexFollowsTheListAcrossRuns) {
  auto checker = checkAttributes(u"<p id=\"a\"><p id=\"b\">", shippedDictionary(kStrict));
  EXPECT_TRUE(checker->isThisIDDefined(u"b"));
  checker->idArray = {u"z"};
  EXPECT_FALSE(checker->isThisIDDefined(u"b"));
  EXPECT_TRUE(checker->isThisIDDefined(u"z"));
}

// ---- Required attributes ----

TEST(RequiredAttributesTest, SpecialCodesAndTheGeneralOne) {
  EXPECT_EQ(attributeErrors(u"<img src=\"a.png\">", kTransitional),
            Errors{"NoAltAttributeForImg@0+17:IMG,alt"});
  EXPECT_EQ(attributeErrors(u"<img src=\"a.png\" />", kXStrict),
            Errors{"NoAltAttributeForImg@0+19:img,alt"});
  EXPECT_EQ(attributeErrors(u"<area href=\"a.html\">", kStrict),
            Errors{"NoAltAttributeForArea@0+20:AREA,alt"});
  EXPECT_EQ(attributeErrors(u"<style>p {}</style>", kStrict),
            Errors{"NoTypeAttributeForStyle@0+7:STYLE,type"});
  EXPECT_EQ(attributeErrors(u"<script></script>", kXTransitional),
            Errors{"NoTypeAttributeForScript@0+8:script,type"});
  EXPECT_EQ(attributeErrors(u"<form>", kStrict), Errors{"NoRequiredAttribute@0+6:FORM,action"});
  EXPECT_EQ(attributeErrors(u"<img>", kStrict),
            (Errors{"NoRequiredAttribute@0+5:IMG,src", "NoAltAttributeForImg@0+5:IMG,alt"}));
  // Presence ignores case and needs no value.
  EXPECT_EQ(attributeErrors(u"<IMG SRC=\"a.png\" ALT>", kStrict),
            Errors{"AttributeValueMustBeSpecified@17+3:alt"});
  EXPECT_EQ(attributeErrors(u"<textarea rows=\"2\" cols=\"3\"></textarea>", kStrict), Errors{});
}

// ---- Values ----

TEST(AttributeValuesTest, FixedValues) {
  EXPECT_EQ(attributeErrors(u"<html version=\"x\">", kTransitional),
            Errors{"FixedValueAttribute@15+1:version,-//W3C//DTD HTML 4.01 Transitional//EN"});
  EXPECT_EQ(
      attributeErrors(u"<html version=\"-//W3C//DTD HTML 4.01 Transitional//EN\">", kTransitional),
      Errors{});
  // No value to point at: the place right after the name.
  EXPECT_EQ(attributeErrors(u"<html version>", kTransitional),
            Errors{"FixedValueAttribute@13+0:version,-//W3C//DTD HTML 4.01 Transitional//EN"});
  // Only the Transitional DTD declares the attribute.
  EXPECT_EQ(attributeErrors(u"<html version=\"x\">", kStrict),
            Errors{"NoSuchAttribute@6+7:HTML,version"});
  EXPECT_EQ(attributeErrors(u"<html xmlns=\"http://www.w3.org/1999/XHTML\">", kXStrict),
            Errors{"FixedValueAttribute@13+28:xmlns,http://www.w3.org/1999/xhtml"});
  EXPECT_EQ(attributeErrors(u"<html xmlns=\"http://www.w3.org/1999/xhtml\">", kXStrict), Errors{});
}

TEST(AttributeValuesTest, MissingValuesAndEnumerations) {
  EXPECT_EQ(attributeErrors(u"<td align>", kTransitional),
            Errors{"AttributeValueMustBeSpecified@4+5:align"});
  EXPECT_EQ(attributeErrors(u"<option selected>", kStrict), Errors{});
  EXPECT_EQ(attributeErrors(u"<option selected>", kXStrict),
            Errors{"CantOmitAttributeNameInXhtml@8+8:selected"});
  EXPECT_EQ(attributeErrors(u"<input type=\"checkbox\" checked=\"yes\">", kStrict),
            Errors{"BoolValueAttribute@32+3:checked"});
  EXPECT_EQ(attributeErrors(u"<input type=CHECKBOX checked=checked>", kStrict), Errors{});
  EXPECT_EQ(attributeErrors(u"<p align=\"middle\">", kTransitional),
            Errors{"MultiValueAttribute@10+6:align,(left|center|right|justify)"});
  EXPECT_EQ(attributeErrors(u"<p align=\"Center\">", kTransitional), Errors{});
}

TEST(AttributeValuesTest, CharactersCharsetsNumbersAndLengths) {
  EXPECT_EQ(attributeErrors(u"<a accesskey=\"ab\">", kStrict),
            Errors{"OneCharacterAttributeValue@14+2:A,accesskey"});
  EXPECT_EQ(attributeErrors(u"<a accesskey=\"&amp;\">", kStrict), Errors{});
  EXPECT_EQ(attributeErrors(u"<a charset=\"utf8x\">", kStrict),
            Errors{"UnSafeEncodingName@12+5:charset"});
  EXPECT_EQ(attributeErrors(u"<a charset=\"Shift_JIS\">", kStrict), Errors{});
  EXPECT_EQ(attributeErrors(u"<form action=\"a\" accept-charset=\"utf-8 bogus\">", kStrict),
            Errors{"UnSafeEncodingName@33+11:accept-charset,bogus"});
  EXPECT_EQ(attributeErrors(u"<td rowspan=\"two\">", kStrict),
            Errors{"NumberValueAttribute@13+3:TD,rowspan"});
  EXPECT_EQ(attributeErrors(u"<td rowspan=\"two\">", kXStrict),
            Errors{"NumberValueAttribute@13+3:td,rowspan"});
  EXPECT_EQ(attributeErrors(u"<td width=\"50 %\">", kTransitional),
            Errors{"LengthValueAttribte@11+4:width"});
  EXPECT_EQ(attributeErrors(u"<td width=\"50%\">", kTransitional), Errors{});
  EXPECT_EQ(attributeErrors(u"<col width=\"**\">", kStrict),
            Errors{"MultiLengthValueAttribute@12+2:width"});
  EXPECT_EQ(attributeErrors(u"<col width=\"2*\">", kStrict), Errors{});
}

TEST(AttributeValuesTest, Links) {
  EXPECT_EQ(attributeErrors(u"<a href=\"my page.html\">", kStrict),
            Errors{"SpaceContainedURLValue@9+12:href,my page.html"});
  EXPECT_EQ(attributeErrors(u"<a href=\"\">", kStrict), Errors{"VoidURLValue@9+0:href,"});
  EXPECT_EQ(attributeErrors(u"<a href=\"javascript:go()\">", kStrict),
            Errors{"WrongSchemeInURL@9+15:href,javascript:go()"});
  EXPECT_EQ(attributeErrors(u"<a href=\"caf\u00e9.html\">", kStrict),
            Errors{"ControlContainedURLValue@9+9:href,caf\u00e9.html"});
}

TEST(AttributeValuesTest, UnsafeCharacterOfALink) {
  EXPECT_EQ(attributeErrors(u"<a href=\"a|b.html\">", kStrict),
            Errors{"UnSafeURLValue@10+1:href,|,%7C"});
  EXPECT_EQ(attributeErrors(u"<a href=\"page[1].html\">", kStrict),
            Errors{"UnSafeURLValue@13+1:href,[,%5B"});
  EXPECT_EQ(attributeErrors(u"<img src=\"a{b}.png\" alt=\"\">", kStrict),
            Errors{"UnSafeURLValue@11+1:src,{,%7B"});
  // Server-side code is not part of the link: the character after it is the one reported.
  EXPECT_EQ(attributeErrors(u"<a href=\"<?php x ?>a^b\">", kStrict),
            Errors{"UnSafeURLValue@20+1:href,^,%5E"});
}

TEST(AttributeValuesTest, Colors) {
  EXPECT_EQ(attributeErrors(u"<td bgcolor=\"Red\">", kTransitional), Errors{});
  EXPECT_EQ(attributeErrors(u"<td bgcolor=\"#ff0000\">", kTransitional), Errors{});
  EXPECT_EQ(attributeErrors(u"<td bgcolor=\"orange\">", kTransitional),
            Errors{"UnSafeColorName@13+6:bgcolor,orange"});
  EXPECT_EQ(attributeErrors(u"<td bgcolor=\"ff0000\">", kTransitional),
            Errors{"WrongHexColorValue@13+6"});
  EXPECT_EQ(attributeErrors(u"<td bgcolor=\"#fff\">", kTransitional),
            Errors{"WrongColorValueAttribute@13+4:bgcolor,#fff"});
}

TEST(AttributeValuesTest, NamesAndTokens) {
  EXPECT_EQ(attributeErrors(u"<p id=\"1x\">", kStrict), Errors{"NameValueAttribute@7+2:P,id"});
  EXPECT_EQ(attributeErrors(u"<p lang=\"en us\">", kXStrict),
            Errors{"MNTOKENAttribute@9+5:p,lang,en us"});
  EXPECT_EQ(attributeErrors(u"<p lang=\"en-US\" xml:lang=\"en-US\">", kXStrict), Errors{});
}

// ---- Size ----

TEST(AttributeScaleTest, OneTagWithManyAttributesStaysLinear) {
  constexpr int kCount = 100000;
  UString distinct = u"<p";
  UString repeated = u"<p";
  for (int i = 0; i < kCount; ++i) {
    distinct += u" a" + toUtf16(std::to_string(i)) + u"=\"1\"";
    repeated += u" title=\"t\"";
  }
  distinct += u">";
  repeated += u">";

  const auto started = std::chrono::steady_clock::now();
  auto many = checkAttributes(distinct, shippedDictionary(kStrict));
  auto same = checkAttributes(repeated, shippedDictionary(kStrict));
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

  EXPECT_EQ(firstRecords(*many).size(), size_t(kCount));
  EXPECT_EQ(many->errorLocations().size(), size_t(kCount));      // every name is unknown
  EXPECT_EQ(same->errorLocations().size(), size_t(kCount - 1));  // one per repetition
  EXPECT_LT(seconds, 20.0);
}

TEST(AttributeScaleTest, ManyIdsAndReferences) {
  constexpr int kCount = 20000;
  UString text;
  for (int i = 0; i < kCount; ++i) {
    const UString n = toUtf16(std::to_string(i));
    text += u"<label for=\"i" + n + u"\">x</label><input id=\"i" + n + u"\">";
  }
  auto checker = checkAttributes(text, shippedDictionary(kStrict));
  EXPECT_EQ(errorList(*checker), Errors{});
  EXPECT_EQ(checker->idArray.size(), size_t(kCount));
}

}  // namespace
}  // namespace vmk
