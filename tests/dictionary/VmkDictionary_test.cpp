#include "dictionary/VmkDictionary.h"

#include <gtest/gtest.h>

#include "dictionary/AttributeTypes.h"

namespace vmk {
namespace {

using Names = std::vector<UString>;

std::unique_ptr<VmkDictionary> loadTestDictionary(const std::string& name) {
  auto dictionary = VmkDictionary::fromFile(
      std::string(VELUMARK_TEST_DATA) + "/dictionaries/" + name + ".dict", toUtf16(name));
  EXPECT_NE(dictionary, nullptr) << name;
  return dictionary;
}

PlistValue strings(std::initializer_list<const char*> items) {
  PlistArray array;
  for (const char* item : items) array.emplace_back(item);
  return array;
}

PlistDict record(const char* type, PlistValue children) {
  PlistDict r;
  r.set("TypeString", type);
  r.set("ChildElements", std::move(children));
  r.set("ParentElements", PlistArray{});
  return r;
}

PlistDict withAttributes(PlistDict r, PlistValue attributes) {
  r.set("Attributes", std::move(attributes));
  return r;
}

std::unique_ptr<VmkDictionary> fromTable(PlistDict table) {
  PlistDict tree;
  tree.set("DoctypeName", "-//Test//DTD Test//EN");
  tree.set("DtdDictionary", std::move(table));
  return std::make_unique<VmkDictionary>(std::move(tree), u"Test");
}

class SgmlDictionaryTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { html_ = loadTestDictionary("HTML 4.01 Test").release(); }
  static void TearDownTestSuite() {
    delete html_;
    html_ = nullptr;
  }
  static VmkDictionary* html_;
};
VmkDictionary* SgmlDictionaryTest::html_ = nullptr;

class XmlDictionaryTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { xhtml_ = loadTestDictionary("XHTML 1.0 Test").release(); }
  static void TearDownTestSuite() {
    delete xhtml_;
    xhtml_ = nullptr;
  }
  static VmkDictionary* xhtml_;
};
VmkDictionary* XmlDictionaryTest::xhtml_ = nullptr;

TEST_F(SgmlDictionaryTest, IdentifiersAndDoctypeTag) {
  EXPECT_EQ(html_->displayName(), u"HTML 4.01 Test");
  EXPECT_EQ(html_->publicIdentifier(), u"-//W3C//DTD HTML 4.01//EN");
  EXPECT_EQ(html_->systemIdentifier(), u"http://www.w3.org/TR/html4/strict.dtd");
  EXPECT_EQ(html_->doctypeTag(),
            u"<!DOCTYPE html PUBLIC \"-//W3C//DTD HTML 4.01//EN\" "
            u"\"http://www.w3.org/TR/html4/strict.dtd\">");
  EXPECT_FALSE(html_->isXML());
}

TEST(VmkDictionaryTest, DoctypeTagWithoutSystemIdentifierOrPublicIdentifier) {
  auto dictionary = fromTable({});
  EXPECT_EQ(dictionary->systemIdentifier(), std::nullopt);
  EXPECT_EQ(dictionary->doctypeTag(), u"<!DOCTYPE html PUBLIC \"-//Test//DTD Test//EN\">");

  VmkDictionary anonymous(PlistDict{}, u"None");
  EXPECT_EQ(anonymous.publicIdentifier(), std::nullopt);
  EXPECT_EQ(anonymous.doctypeTag(), std::nullopt);
}

TEST_F(SgmlDictionaryTest, UnfoldedQuestionsTakeTheNameAsGiven) {
  EXPECT_TRUE(html_->isExistElement(u"TABLE"));
  EXPECT_FALSE(html_->isExistElement(u"table"));
  EXPECT_EQ(html_->endTagTypeForElement(u"br"), kEndTagNotInDictionary);
  EXPECT_TRUE(html_->isCDATAElement(u"SCRIPT"));
  EXPECT_FALSE(html_->isCDATAElement(u"script"));
  EXPECT_FALSE(html_->isCDATAElement(u"TITLE"));  // #PCDATA is not CDATA
}

TEST_F(SgmlDictionaryTest, EndTagTypes) {
  EXPECT_EQ(html_->endTagTypeForElement(u"TABLE"), kEndTagRequired);
  EXPECT_EQ(html_->endTagTypeForElement(u"P"), kEndTagOmissible);
  EXPECT_EQ(html_->endTagTypeForElement(u"TBODY"), kEndTagOmissible);
  EXPECT_EQ(html_->endTagTypeForElement(u"BR"), kEndTagEmpty);
  EXPECT_EQ(html_->endTagTypeForElement(u"COL"), kEndTagEmpty);
  EXPECT_EQ(html_->endTagTypeForElement(u"BLINK"), kEndTagNotInDictionary);
}

TEST(VmkDictionaryTest, EndTagTypeOfUnusualRecords) {
  PlistDict table;
  table.set("START", record("O -", strings({"#PCDATA"})));
  table.set("FORCEDEMPTY", record("- -", strings({"EMPTY"})));
  table.set("LATEEMPTY", record("- -", strings({"#PCDATA", "EMPTY"})));
  table.set("NOCHILDREN", record("O O", PlistArray{}));
  table.set("NOTYPE", PlistDict{});
  table.set("NOTARECORD", "text");
  auto dictionary = fromTable(std::move(table));
  EXPECT_EQ(dictionary->endTagTypeForElement(u"START"), kEndTagRequired);
  EXPECT_EQ(dictionary->endTagTypeForElement(u"FORCEDEMPTY"), kEndTagEmpty);
  EXPECT_EQ(dictionary->endTagTypeForElement(u"LATEEMPTY"), kEndTagRequired);
  EXPECT_EQ(dictionary->endTagTypeForElement(u"NOCHILDREN"), kEndTagOmissible);
  EXPECT_EQ(dictionary->endTagTypeForElement(u"NOTYPE"), kEndTagOmissible);
  EXPECT_TRUE(dictionary->isExistElement(u"NOTARECORD"));
  EXPECT_EQ(dictionary->isChildElement(u"START", u"NOTARECORD"), -1);
  EXPECT_FALSE(dictionary->canContainAttribute(u"id", u"NOTARECORD"));
}

TEST_F(SgmlDictionaryTest, ChildRules) {
  EXPECT_EQ(html_->isChildElement(u"P", u"BODY"), 1);
  EXPECT_EQ(html_->isChildElement(u"p", u"body"), 1);  // both names folded
  EXPECT_EQ(html_->isChildElement(u"TABLE", u"P"), 0);
  // INS and DEL may appear anywhere, even where the parent does not list them.
  EXPECT_EQ(html_->isChildElement(u"ins", u"TITLE"), 1);
  EXPECT_EQ(html_->isChildElement(u"Del", u"br"), 1);
  // ...but only inside a known parent.
  EXPECT_EQ(html_->isChildElement(u"INS", u"BLINK"), -1);
  // A row directly in a table: through the omissible body group, one level only.
  EXPECT_EQ(html_->isChildElement(u"tr", u"table"), 1);
  EXPECT_EQ(html_->isChildElement(u"TD", u"TABLE"), 0);
  // CAPTION lists A, but CAPTION's tags are required: no shortcut.
  EXPECT_EQ(html_->isChildElement(u"A", u"TABLE"), 0);
  // HEAD is an omissible child of HTML: its children count.
  EXPECT_EQ(html_->isChildElement(u"TITLE", u"HTML"), 1);
  EXPECT_EQ(html_->isChildElement(u"BLINK", u"P"), -1);
  EXPECT_EQ(html_->isChildElement(u"P", u"BLINK"), -1);
  // Content keywords are listed like names.
  EXPECT_EQ(html_->isChildElement(u"#PCDATA", u"P"), 1);
}

TEST(VmkDictionaryTest, ChildRulesWithoutChildList) {
  PlistDict table;
  PlistDict bare;
  bare.set("TypeString", "- -");
  table.set("BARE", std::move(bare));
  PlistDict wrongKind;
  wrongKind.set("TypeString", "- -");
  wrongKind.set("ChildElements", "P");
  table.set("WRONG", std::move(wrongKind));
  table.set("EMPTYLIST", record("- -", PlistArray{}));
  table.set("P", record("- O", strings({"#PCDATA"})));
  auto dictionary = fromTable(std::move(table));
  EXPECT_EQ(dictionary->isChildElement(u"P", u"BARE"), -1);
  EXPECT_EQ(dictionary->isChildElement(u"P", u"WRONG"), -1);
  EXPECT_EQ(dictionary->isChildElement(u"P", u"EMPTYLIST"), 0);
  EXPECT_EQ(dictionary->isChildElement(u"INS", u"BARE"), 1);
}

TEST_F(SgmlDictionaryTest, AttributeQuestionsFoldNames) {
  EXPECT_TRUE(html_->canContainAttribute(u"SUMMARY", u"table"));
  EXPECT_TRUE(html_->canContainAttribute(u"href", u"A"));
  EXPECT_FALSE(html_->canContainAttribute(u"hreff", u"A"));
  EXPECT_FALSE(html_->canContainAttribute(u"class", u"TBODY"));    // no attribute list
  EXPECT_TRUE(html_->canContainAttribute(u"anything", u"BLINK"));  // unknown element

  EXPECT_EQ(html_->requiredAttributesForElement(u"img"), (Names{u"src", u"alt"}));
  EXPECT_EQ(html_->requiredAttributesForElement(u"SCRIPT"), (Names{u"type"}));
  EXPECT_EQ(html_->requiredAttributesForElement(u"P"), std::nullopt);
  EXPECT_EQ(html_->requiredAttributesForElement(u"TBODY"), std::nullopt);
  EXPECT_EQ(html_->requiredAttributesForElement(u"BLINK"), std::nullopt);
}

TEST_F(SgmlDictionaryTest, LinkableAttributesInFileOrder) {
  EXPECT_EQ(html_->linkableAttributeNameArray(),
            (Names{u"head\tprofile", u"body\tbackground", u"script\tsrc", u"a\thref", u"img\tsrc",
                   u"img\tlongdesc", u"img\tusemap", u"ins\tcite", u"del\tcite"}));
}

TEST_F(XmlDictionaryTest, XmlCaseRules) {
  EXPECT_TRUE(xhtml_->isXML());
  EXPECT_TRUE(xhtml_->isExistElement(u"table"));
  EXPECT_FALSE(xhtml_->isExistElement(u"TABLE"));
  EXPECT_EQ(xhtml_->endTagTypeForElement(u"p"), kEndTagRequired);
  EXPECT_EQ(xhtml_->endTagTypeForElement(u"br"), kEndTagEmpty);
  EXPECT_FALSE(xhtml_->isCDATAElement(u"script"));

  // Parents are folded to lower case; children are taken as given.
  EXPECT_EQ(xhtml_->isChildElement(u"a", u"P"), 1);
  EXPECT_EQ(xhtml_->isChildElement(u"A", u"p"), -1);
  // No INS/DEL exception: the parent's list decides.
  EXPECT_EQ(xhtml_->isChildElement(u"ins", u"p"), 1);
  EXPECT_EQ(xhtml_->isChildElement(u"ins", u"title"), 0);
  EXPECT_EQ(xhtml_->isChildElement(u"INS", u"title"), -1);
  // tbody is not omissible in XML: no shortcut.
  EXPECT_EQ(xhtml_->isChildElement(u"tr", u"table"), 1);
  EXPECT_EQ(xhtml_->isChildElement(u"td", u"table"), 0);

  EXPECT_TRUE(xhtml_->canContainAttribute(u"href", u"A"));
  EXPECT_FALSE(xhtml_->canContainAttribute(u"HREF", u"a"));  // attribute names not folded
  EXPECT_TRUE(xhtml_->canContainAttribute(u"xml:lang", u"HTML"));
  EXPECT_EQ(xhtml_->requiredAttributesForElement(u"IMG"), (Names{u"src", u"alt"}));
  EXPECT_EQ(xhtml_->doctypeTag(),
            u"<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Strict//EN\" "
            u"\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd\">");
}

TEST(VmkDictionaryTest, IsXMLLooksAtTheFirstRecordOfTheFile) {
  PlistDict sgmlFirst;
  sgmlFirst.set("zz", record("- -", strings({"#PCDATA"})));
  sgmlFirst.set("aa", record("XML", strings({"#PCDATA"})));
  EXPECT_FALSE(fromTable(std::move(sgmlFirst))->isXML());

  PlistDict xmlFirst;
  xmlFirst.set("zz", record("XML", strings({"#PCDATA"})));
  xmlFirst.set("AA", record("- -", strings({"#PCDATA"})));
  EXPECT_TRUE(fromTable(std::move(xmlFirst))->isXML());

  EXPECT_FALSE(fromTable({})->isXML());
}

TEST(VmkDictionaryTest, ExtractAttributeData) {
  std::optional<UString> name = u"old", type = u"old", def = u"old";
  VmkDictionary::extractAttributeData(u"noTab", &name, &type, &def);
  EXPECT_EQ(name, std::nullopt);
  EXPECT_EQ(type, std::nullopt);
  EXPECT_EQ(def, std::nullopt);

  VmkDictionary::extractAttributeData(u"align\t(left|right)", &name, &type, &def);
  EXPECT_EQ(name, u"align");
  EXPECT_EQ(type, std::nullopt);
  EXPECT_EQ(def, std::nullopt);

  VmkDictionary::extractAttributeData(u"value\tCDATA\t#FIXED'a\tb'", &name, &type, &def);
  EXPECT_EQ(name, u"value");
  EXPECT_EQ(type, u"CDATA");
  EXPECT_EQ(def, u"#FIXED'a\tb'");  // later TABs stay in the default

  VmkDictionary::extractAttributeData(u"\t\t", &name, &type, &def);
  EXPECT_EQ(name, u"");
  EXPECT_EQ(type, u"");
  EXPECT_EQ(def, u"");

  VmkDictionary::extractAttributeData(u"a\tb\tc", nullptr, &type, nullptr);
  EXPECT_EQ(type, u"b");
}

TEST(VmkDictionaryTest, IrregularAttributeEntries) {
  PlistArray attributes;
  attributes.emplace_back("notab");
  attributes.emplace_back("onetab\tCDATA");
  attributes.emplace_back(int64_t(7));
  attributes.emplace_back("first\tCDATA\t#REQUIRED");
  attributes.emplace_back("list\tCDATA(UriList)\t#IMPLIED");
  attributes.emplace_back("loose\tCDATA(URL)\t #REQUIRED");
  attributes.emplace_back("list\tCDATA(UriList)\t#IMPLIED");
  attributes.emplace_back("text\tCDATA(Text)\t#REQUIRED");
  attributes.emplace_back("uri\tNAME(URI)\t#IMPLIED");
  PlistDict table;
  table.set("OBJECT", withAttributes(record("- -", strings({"#PCDATA"})), std::move(attributes)));
  table.set("WRONG", withAttributes(record("- -", strings({"#PCDATA"})), "src\tCDATA\t#REQUIRED"));
  auto dictionary = fromTable(std::move(table));

  EXPECT_FALSE(dictionary->canContainAttribute(u"notab", u"object"));
  EXPECT_TRUE(dictionary->canContainAttribute(u"onetab", u"object"));
  EXPECT_TRUE(dictionary->canContainAttribute(u"FIRST", u"object"));
  EXPECT_EQ(dictionary->requiredAttributesForElement(u"object"), (Names{u"first", u"text"}));
  EXPECT_EQ(dictionary->linkableAttributeNameArray(),
            (Names{u"object\tlist", u"object\tloose", u"object\tlist"}));

  EXPECT_FALSE(dictionary->canContainAttribute(u"src", u"WRONG"));
  EXPECT_EQ(dictionary->requiredAttributesForElement(u"WRONG"), std::nullopt);

  const VmkElementRecord* object = dictionary->foldedElementRecord(u"object");
  ASSERT_NE(object, nullptr);
  EXPECT_EQ(object->attributes.size(), 8u);
  EXPECT_EQ(object->attributesByLowerName.at(u"list"), (std::vector<size_t>{3, 5}));
  EXPECT_FALSE(object->attributesByLowerName.contains(u"notab"));
}

TEST(VmkDictionaryTest, MalformedTreesAnswerWithoutFailing) {
  EXPECT_EQ(VmkDictionary::fromPlist(strings({"a"}), u"Array"), nullptr);

  PlistDict wrongTable;
  wrongTable.set("DoctypeName", int64_t(4));
  wrongTable.set("DtdDictionary", strings({"P"}));
  VmkDictionary dictionary(std::move(wrongTable), u"Odd");
  EXPECT_EQ(dictionary.publicIdentifier(), std::nullopt);
  EXPECT_FALSE(dictionary.isXML());
  EXPECT_FALSE(dictionary.isExistElement(u"P"));
  EXPECT_EQ(dictionary.isChildElement(u"P", u"BODY"), -1);
  EXPECT_TRUE(dictionary.canContainAttribute(u"id", u"P"));
  EXPECT_TRUE(dictionary.linkableAttributeNameArray().empty());
  EXPECT_EQ(dictionary.rawDictionary().size(), 2u);
}

TEST(AttributeTypesTest, IsCDATAAttribute) {
  std::optional<UString> kind = u"old";
  EXPECT_TRUE(isCDATAAttribute(u"CDATA", &kind));
  EXPECT_EQ(kind, std::nullopt);
  EXPECT_TRUE(isCDATAAttribute(u"CDATA(URI)", &kind));
  EXPECT_EQ(kind, u"URI");
  EXPECT_FALSE(isCDATAAttribute(u"NAME(LanguageCode)", &kind));
  EXPECT_FALSE(isCDATAAttribute(u"(cdata|other)"));
  EXPECT_FALSE(isCDATAAttribute(u""));
}

}  // namespace
}  // namespace vmk
