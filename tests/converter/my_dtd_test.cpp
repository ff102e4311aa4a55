#include "converter/MyDtd.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>

#include "converter/ContentModelSyntax.h"
#include "support/Paths.h"

namespace vmk {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::UnorderedElementsAre;

std::string dataPath(const std::string& name) {
  return std::string(VELUMARK_TEST_DATA) + "/converter/" + name;
}

std::unique_ptr<MyDtd> convert(std::string_view text) {
  auto dtd = std::make_unique<MyDtd>();
  dtd->setSourceData(text);
  dtd->ParseDTD();
  return dtd;
}

std::unique_ptr<MyDtd> convertFile(const std::string& name) {
  std::optional<std::string> data = readFileContents(dataPath(name));
  EXPECT_TRUE(data) << name;
  return convert(data.value_or(""));
}

const DtdElementRecord& element(const MyDtd& dtd, const std::string& name) {
  static const DtdElementRecord kNone;
  auto it = dtd.elements().find(name);
  EXPECT_NE(it, dtd.elements().end()) << name << " missing";
  return it == dtd.elements().end() ? kNone : it->second;
}

std::vector<std::string> attributes(const MyDtd& dtd, const std::string& name) {
  const DtdElementRecord& record = element(dtd, name);
  return record.attributes.value_or(std::vector<std::string>{});
}

TEST(MyDtdTest, SgmlDtdIdentifiersSectionsAndEntities) {
  auto dtd = convertFile("sgml_basic.dtd");
  EXPECT_EQ(dtd->doctypeName(), "-//TEST//DTD Mini HTML 1.0//EN");
  EXPECT_EQ(dtd->systemIdentifier(), "http://example.org/mini.dtd");
  EXPECT_FALSE(dtd->isXML());
  // First definition wins; references inside replacement texts are expanded when declared,
  // undefined ones dropped.
  EXPECT_EQ(dtd->entities().at("URI"), "CDATA");
  EXPECT_EQ(dtd->entities().at("attrs"), "id ID #IMPLIED class CDATA #IMPLIED lang NAME #IMPLIED ");
  // The IGNORE section nested in an INCLUDE section kept the first "extra".
  EXPECT_EQ(dtd->entities().at("extra"), "| SPAN");
  EXPECT_FALSE(dtd->elements().contains("OLD"));
  EXPECT_FALSE(dtd->elements().contains("GONE"));
  // The first element declaration keeps its case, later ones are upper-cased.
  EXPECT_EQ(element(*dtd, "Kept").typeString, "- O");
  EXPECT_TRUE(dtd->elements().contains("SPAN"));
  EXPECT_FALSE(dtd->elements().contains("span"));
}

TEST(MyDtdTest, SgmlElementsOmissionContentAndGroups) {
  auto dtd = convertFile("sgml_basic.dtd");
  EXPECT_EQ(element(*dtd, "HTML").typeString, "O O");
  EXPECT_THAT(element(*dtd, "HTML").childElements, ElementsAre("HEAD", "BODY"));
  EXPECT_THAT(element(*dtd, "HEAD").childElements, ElementsAre("TITLE", "META"));
  EXPECT_THAT(element(*dtd, "BODY").childElements, ElementsAre("P", "TABLE", "INS", "DEL"));
  EXPECT_THAT(element(*dtd, "TD").childElements, ElementsAre("P", "#PCDATA", "EM", "BR"));
  EXPECT_THAT(element(*dtd, "TABLE").childElements,
              ElementsAre("CAPTION", "COL", "COLGROUP", "TBODY"));
  EXPECT_EQ(element(*dtd, "TABLE").typeString, "- -");
  EXPECT_EQ(element(*dtd, "TBODY").typeString, "O O");
  EXPECT_THAT(element(*dtd, "BR").childElements, ElementsAre("EMPTY"));
  EXPECT_EQ(element(*dtd, "BR").typeString, "- O");
  // A name group declares each name; each gets the same content.
  EXPECT_THAT(element(*dtd, "INS").childElements, ElementsAre("#PCDATA", "EM", "BR"));
  EXPECT_EQ(element(*dtd, "DEL").childElements, element(*dtd, "INS").childElements);
  EXPECT_THAT(element(*dtd, "EM").childElements, ElementsAre("#PCDATA", "EM", "BR", "SPAN"));
  // A typed CDATA content gives the keyword and the entity name.
  EXPECT_THAT(element(*dtd, "SCRIPT").childElements, ElementsAre("CDATA", "NUMBER"));
  // Parents, including an element that contains itself.
  EXPECT_THAT(element(*dtd, "TR").parentElements, ElementsAre("TBODY"));
  EXPECT_THAT(element(*dtd, "TBODY").parentElements, ElementsAre("TABLE"));
  EXPECT_THAT(element(*dtd, "SPAN").parentElements, ElementsAre("EM", "SPAN"));
  EXPECT_THAT(element(*dtd, "HTML").parentElements, IsEmpty());
}

TEST(MyDtdTest, SgmlAttributes) {
  auto dtd = convertFile("sgml_basic.dtd");
  // The later declaration's entries come first.
  EXPECT_THAT(attributes(*dtd, "TABLE"),
              ElementsAre("border\tNUMBER\t#IMPLIED", "id\tID\t#IMPLIED", "class\tCDATA\t#IMPLIED",
                          "lang\tNAME\t#IMPLIED", "href\tCDATA(URI)\t#IMPLIED",
                          "width\tCDATA(Number)\t#REQUIRED", "cols\tNUMBER(Count)\t#IMPLIED",
                          "align\t(left|center|right)\t#IMPLIED", "frame\t(void|box)\tbox",
                          "summary\tCDATA\t\"a table\"", "version\tCDATA\t#FIXED\"1.0\""));
  EXPECT_THAT(attributes(*dtd, "TR"), ElementsAre("valign\t(top|bottom)\t#IMPLIED"));
  EXPECT_EQ(attributes(*dtd, "TD"), attributes(*dtd, "TR"));
  EXPECT_FALSE(element(*dtd, "BR").attributes.has_value());
  EXPECT_FALSE(dtd->elements().contains("NOWHERE"));
}

TEST(MyDtdTest, SgmlMonitorLines) {
  auto dtd = convertFile("sgml_basic.dtd");
  const std::string& monitor = dtd->monitorText();
  EXPECT_THAT(monitor, HasSubstr("\nThe conversion started...\n\n"));
  EXPECT_THAT(monitor, HasSubstr("DOCTYPE \"-//TEST//DTD Mini HTML 1.0//EN\"\n"));
  EXPECT_THAT(monitor, HasSubstr("System Identifier \"http://example.org/mini.dtd\"\n\n"));
  EXPECT_THAT(monitor, HasSubstr("*** No element definition while attributes exist: NOWHERE\n"));
  EXPECT_THAT(monitor, HasSubstr("*** Unresoleved Entity assignment: flow\n"));
  // Unresolved references are reported from the last to the first.
  size_t more = monitor.find("*** Unresolved Entity more definition in replaceEntity().\n");
  size_t flow = monitor.find("*** Unresolved Entity flow definition in replaceEntity().\n");
  ASSERT_NE(more, std::string::npos);
  ASSERT_NE(flow, std::string::npos);
  EXPECT_LT(more, flow);
  EXPECT_TRUE(monitor.ends_with("\nThe conversion finished..."));
}

TEST(MyDtdTest, XmlDtdKeepsCase) {
  auto dtd = convertFile("xml_basic.dtd");
  EXPECT_EQ(dtd->doctypeName(), "-//TEST//DTD Mini XHTML 1.0//EN");
  EXPECT_EQ(dtd->systemIdentifier(), "http://example.org/mini-xhtml.dtd");
  EXPECT_TRUE(dtd->isXML());
  for (const auto& [name, record] : dtd->elements()) EXPECT_EQ(record.typeString, "XML") << name;
  EXPECT_THAT(element(*dtd, "p").childElements, ElementsAre("#PCDATA", "em", "br"));
  EXPECT_THAT(element(*dtd, "br").childElements, ElementsAre("EMPTY"));
  EXPECT_THAT(element(*dtd, "em").parentElements, UnorderedElementsAre("em", "p"));
  EXPECT_THAT(attributes(*dtd, "html"),
              ElementsAre("xmlns\tCDATA(URI)\t#FIXED'http://www.w3.org/1999/xhtml'",
                          "xml:lang\tNMTOKEN\t#IMPLIED"));
  EXPECT_THAT(attributes(*dtd, "p"), ElementsAre("Align\t(left|right)\t#IMPLIED"));
}

TEST(MyDtdTest, NoSystemIdentifierAndFirstDeclarationCase) {
  auto dtd = convertFile("no_system.dtd");
  EXPECT_EQ(dtd->doctypeName(), "-//TEST//DTD No System//EN");
  EXPECT_FALSE(dtd->systemIdentifier().has_value());
  EXPECT_THAT(dtd->monitorText(), HasSubstr("No System Identifier\n\n"));
  // "Root" is the first declaration and keeps its case, its content does not; "child" is
  // upper-cased, so the two names meet.
  EXPECT_THAT(element(*dtd, "Root").childElements, ElementsAre("CHILD"));
  EXPECT_THAT(element(*dtd, "CHILD").parentElements, ElementsAre("Root"));
}

TEST(MyDtdTest, LineEndsAreConverted) {
  MyDtd dtd;
  dtd.setSourceData("a\r\nb\rc\n\r\nd");
  EXPECT_EQ(dtd.sourceString(), u"a\nb\nc\n\nd");
  EXPECT_EQ(dtd.sourceData(), "a\r\nb\rc\n\r\nd");
  auto converted = convert("<!ELEMENT A - -\r\n (B)>\r<!ELEMENT B - O EMPTY>\r\n");
  EXPECT_THAT(element(*converted, "A").childElements, ElementsAre("B"));
}

TEST(MyDtdTest, StripComment) {
  MyDtd dtd;
  dtd.setSourceString(u"<!-- one\n--> <!ELEMENT A - - (B) -- note\n more -- >\n\n\nx  \t\ny");
  dtd.stripComment();
  EXPECT_EQ(dtd.sourceString(), u" <!ELEMENT A - - (B)  >\nx\ny");
}

TEST(MyDtdTest, MarkedSectionsByEntity) {
  auto dtd = convert(
      "<!ENTITY % On \"INCLUDE\">\n<!ENTITY % Off \"IGNORE\">\n"
      "<![ %On; [ <!ELEMENT A - - EMPTY> <![ %Off; [ <!ELEMENT B - - EMPTY> ]]>\n"
      "<![%On;[ <!ELEMENT C - - EMPTY> ]]> ]]>\n"
      "<![ %Unknown; [ <!ELEMENT D - - EMPTY> ]]>\n"
      "<![ CDATA [ <!ELEMENT E - - EMPTY> ]]>\n"
      "<!ELEMENT F - - EMPTY>\n");
  std::vector<std::string> names;
  for (const auto& [name, record] : dtd->elements()) names.push_back(name);
  EXPECT_THAT(names, ElementsAre("A", "C", "F"));
  EXPECT_THAT(dtd->monitorText(), HasSubstr("*** Entity Unknown not found in ExtractEntity().\n"));
}

TEST(MyDtdTest, IncludedSectionKeepsTextBeforeALaterBracket) {
  // Only the keyword's bracket opens the section: a "[" in its content is content.
  auto dtd = convert("<![ INCLUDE [ <!ELEMENT A - - EMPTY> <!ATTLIST A x CDATA \"[1]\"> ]]>\n");
  EXPECT_THAT(attributes(*dtd, "A"), ElementsAre("x\tCDATA\t\"[1]\""));
}

TEST(MyDtdTest, ReplaceEntityTypedWordsAndBackToBackReferences) {
  MyDtd dtd;
  dtd.setSourceString(
      u"<!ENTITY % T \"CDATA\"><!ENTITY % N \"NUMBER\"><!ENTITY % M \"NAME\">"
      u"<!ENTITY % I \"ID\"><!ENTITY % a \"(x|y)\"><!ENTITY % b \"B\">\n");
  dtd.extractEntity();
  dtd.setSourceString(u"%T; %N; %M; %I; %a;%b; (%b;)");
  dtd.replaceEntity();
  EXPECT_EQ(dtd.sourceString(), u"CDATA(T) NUMBER(N) NAME(M) ID (x|y) (B)");
}

TEST(MyDtdTest, RemoveEntityTag) {
  MyDtd dtd;
  dtd.setSourceString(u"<!ENTITY % a \"x\">\n  <!ENTITY b\n CDATA \"y\">\n<!ELEMENT A - - EMPTY>");
  dtd.removeEntityTag();
  EXPECT_EQ(dtd.sourceString(), u"<!ELEMENT A - - EMPTY>");
}

TEST(MyDtdTest, NotUtf8GivesEmptyTable) {
  auto dtd = convertFile("latin1.dtd");
  EXPECT_TRUE(dtd->elements().empty());
  EXPECT_EQ(dtd->doctypeName(), "-//W3C//DTD " + std::string(10, '?') + "//EN");
  EXPECT_FALSE(dtd->systemIdentifier().has_value());
  EXPECT_THAT(dtd->monitorText(), HasSubstr("not UTF-8"));
}

// Inputs that must end the conversion without overflow or unbounded work.
TEST(MyDtdRobustnessTest, GarbageAndUnterminatedInput) {
  std::string garbage;
  uint32_t seed = 12345;
  for (int i = 0; i < 200000; ++i) {
    seed = seed * 1103515245u + 12345u;
    garbage += char(seed >> 24);
  }
  EXPECT_TRUE(convert(garbage)->elements().empty());

  // Valid UTF-8 made of the converter's own punctuation.
  std::string soup;
  const char* pieces[] = {"<![", "]]>", "<!ELEMENT ", "<!ATTLIST ", "<!ENTITY % ", "(", ")",
                          "%",   ";",   "\"",         "'",          "--",          "|", ">",
                          "-",   "O",   " ",          "\n",         "x",           "[", "+"};
  for (int i = 0; i < 50000; ++i) {
    seed = seed * 1103515245u + 12345u;
    soup += pieces[(seed >> 16) % std::size(pieces)];
  }
  convert(soup);

  for (std::string_view text :
       {"<![ INCLUDE [ <!ELEMENT A - - (B", "<![ %x; [", "<![", "<!ENTITY % a \"unterminated",
        "<!ENTITY % a", "<!ENTITY %", "<!ELEMENT (A|B", "<!ELEMENT A - ", "<!ELEMENT A - - (B|%c",
        "<!ATTLIST A x (a|b", "<!ATTLIST A x CDATA \"open", "<!ATTLIST A x CDATA #FIXED 'open",
        "<!ATTLIST (A", "<!ELEMENT A - - (B)>\n<!ATTLIST A %x; y CDATA #IMPLIED"}) {
    auto dtd = convert(text);
    EXPECT_THAT(dtd->monitorText(), HasSubstr("The conversion finished...")) << text;
  }
  auto dtd = convert("<!ELEMENT A - - (B)>\n<!ATTLIST A %x; y CDATA #IMPLIED>");
  EXPECT_THAT(attributes(*dtd, "A"), ElementsAre("y\tCDATA\t#IMPLIED"));
}

TEST(MyDtdRobustnessTest, HugeAndSelfReferencingEntities) {
  std::string big(10u << 20, 'x');
  auto dtd = convert("<!ENTITY % big \"" + big + "\">\n<!ELEMENT A - - (%big;)>\n");
  EXPECT_EQ(dtd->entities().at("big").size(), big.size());
  EXPECT_THAT(element(*dtd, "A").childElements, ElementsAre(std::string(big.size(), 'X')));

  auto self = convert("<!ENTITY % s \"a %s; b\">\n<!ELEMENT A - - (%s;)>\n");
  EXPECT_EQ(self->entities().at("s"), "a  b");

  // Each level doubles the text: the expansion stops at a bound instead of exhausting memory.
  std::string doubling = "<!ENTITY % e0 \"" + std::string(1024, 'x') + "\">\n";
  for (int i = 1; i <= 24; ++i) {
    doubling += "<!ENTITY % e" + std::to_string(i) + " \"%e" + std::to_string(i - 1) + ";%e" +
                std::to_string(i - 1) + ";\">\n";
  }
  doubling += "<!ELEMENT A - - (%e24;|%e24;|%e24;|%e24;|%e24;|%e24;|%e24;|%e24;)>\n";
  auto grown = convert(doubling);
  EXPECT_THAT(grown->monitorText(), HasSubstr("too long"));
  EXPECT_THAT(grown->monitorText(), HasSubstr("The conversion finished..."));
}

TEST(MyDtdRobustnessTest, DeeplyNestedMarkedSections) {
  constexpr int kDepth = 10000;
  std::string open, close;
  for (int i = 0; i < kDepth; ++i) {
    open += "<![ INCLUDE [\n";
    close += "]]>\n";
  }
  auto start = std::chrono::steady_clock::now();
  auto included = convert(open + "<!ELEMENT DEEP - - EMPTY>\n" + close);
  EXPECT_TRUE(included->elements().contains("DEEP"));
  auto ignored = convert("<![ IGNORE [\n" + open + "<!ELEMENT DEEP - - EMPTY>\n" + close +
                         "]]>\n<!ELEMENT AFTER - - EMPTY>\n");
  EXPECT_FALSE(ignored->elements().contains("DEEP"));
  EXPECT_TRUE(ignored->elements().contains("AFTER"));
  auto unterminated = convert(open + "<!ELEMENT DEEP - - EMPTY>\n");
  EXPECT_TRUE(unterminated->elements().contains("DEEP"));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

TEST(ContentModelSyntaxTest, ModelsAreWrittenWithoutSpaceAndExceptionsApart) {
  std::string problem;
  auto parse = [&](std::string_view text, bool xml = false) {
    problem.clear();
    std::optional<ParsedContentModel> m = parseContentModel(text, xml, &problem);
    return m ? m->model : "! " + problem;
  };
  EXPECT_EQ(parse("( caption? , (col*|colgroup*) ,tbody+ )"), "(CAPTION?,(COL*|COLGROUP*),TBODY+)");
  EXPECT_EQ(parse("(title & base?)"), "(TITLE&BASE?)");
  EXPECT_EQ(parse("cdata(Script)"), "CDATA");
  EXPECT_EQ(parse("EMPTY"), "EMPTY");
  EXPECT_EQ(parse("(#pcdata|b)*"), "(#PCDATA|B)*");
  EXPECT_EQ(parse("(#PCDATA|b)*", true), "(#PCDATA|b)*");
  // "+" binds to the group only right after it; with a space it starts an inclusion.
  std::optional<ParsedContentModel> body =
      parseContentModel("(p|div)+ +(ins|del)", false, &problem);
  ASSERT_TRUE(body);
  EXPECT_EQ(body->model, "(P|DIV)+");
  EXPECT_THAT(body->inclusions, ElementsAre("INS", "DEL"));
  std::optional<ParsedContentModel> spaced =
      parseContentModel("(p|div) +(ins) -(a)", false, &problem);
  ASSERT_TRUE(spaced);
  EXPECT_EQ(spaced->model, "(P|DIV)");
  EXPECT_THAT(spaced->inclusions, ElementsAre("INS"));
  EXPECT_THAT(spaced->exclusions, ElementsAre("A"));

  EXPECT_EQ(parse("(a,b|c)"), "! a group mixes connectors");
  EXPECT_EQ(parse("(a,b"), "! unclosed \"(\"");
  EXPECT_EQ(parse("(a) *"), "! unexpected text after the model");
  EXPECT_EQ(parse("(a) +(b)", true), "! unexpected text after the model");
  EXPECT_EQ(parse("FOO"), "! unknown keyword");
  EXPECT_EQ(parse("(a) -(b) -(c)"), "! a second exception group");
  EXPECT_EQ(parse(std::string(100, '(') + "a" + std::string(100, ')')),
            "! groups nested too deeply");
}

TEST(MyDtdTest, AModelThatCannotBeReadHasNoKeyAndAWarning) {
  auto dtd = convert(
      "<!ELEMENT OK - - (A|B)* -(C)>\n<!ELEMENT BAD - - (A,B|C)>\n<!ELEMENT A - - EMPTY>\n");
  EXPECT_EQ(element(*dtd, "OK").contentModel, "(A|B)*");
  EXPECT_THAT(element(*dtd, "OK").exclusions, ElementsAre("C"));
  EXPECT_FALSE(element(*dtd, "BAD").contentModel);
  EXPECT_THAT(element(*dtd, "BAD").childElements, ElementsAre("A", "B", "C"));  // as before
  ASSERT_EQ(dtd->warnings().size(), 1u);
  EXPECT_EQ(dtd->warnings()[0].line, 2u);
  EXPECT_EQ(dtd->warnings()[0].message,
            "the content model of BAD cannot be read (a group mixes connectors)");
  PlistDict table = dtd->elementDictionary();
  EXPECT_FALSE(table.find("BAD")->asDict()->contains("ContentModel"));
  EXPECT_EQ(*table.find("OK")->asDict()->find("ContentModel")->asString(), "(A|B)*");
  EXPECT_FALSE(table.find("OK")->asDict()->contains("Inclusions"));
}

}  // namespace
}  // namespace vmk
