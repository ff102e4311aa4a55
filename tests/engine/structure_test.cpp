// The element structure checks: text directly inside elements, end tags of empty XHTML
// elements, and the order of html sections, head content, table parts and base. The
// expectations that depend on the document type come from the DTD text and are checked
// against the dictionaries made from those DTDs.
#include <gtest/gtest.h>

#include <chrono>
#include <set>

#include "EngineTestSupport.h"
#include "engine/LinkVocabulary.h"

namespace vmk::test {
namespace {

using Strings = std::vector<std::string>;

std::unique_ptr<VmkDictionary> shipped(const std::string& name) {
  auto dictionary = VmkDictionary::fromFile(
      std::string(VELUMARK_BINARY_DIR) + "/share/velumark/dictionaries/" + name + ".dict",
      toUtf16(name));
  EXPECT_NE(dictionary, nullptr) << name;
  return dictionary;
}

// Gives the entry whose tag text begins with `tagStart` one attribute written as
// name="value" inside it (the attribute step is not what is tested here).
void giveAttribute(VmkHTMLChecker& checker, const std::u16string& tagStart,
                   const std::u16string& name, const std::u16string& value) {
  const UString& text = checker.sourceString();
  for (auto& entry : checker.tagLocations()) {
    Range r = entry->tagRange();
    if (text.compare(r.location, tagStart.size(), tagStart) != 0) continue;
    const std::u16string written = name + u"=\"" + value + u"\"";
    size_t at = text.find(written, r.location);
    ASSERT_TRUE(at != std::u16string::npos && at < r.max());
    // The record views the checker's text, as the records the checker makes do.
    VmkAttribute attribute;
    attribute.nameRange = Range(uint32_t(at), uint32_t(name.size()));
    attribute.name = UStringView(text).substr(attribute.nameRange.location, name.size());
    attribute.valueRange = Range(uint32_t(at + name.size() + 2), uint32_t(value.size()));
    attribute.value = UStringView(text).substr(attribute.valueRange.location, value.size());
    if (!entry->attributes()) entry->setAttributes(VmkAttributeList{});
    entry->attributes()->push_back(attribute);
    return;
  }
  FAIL() << "no tag " << toUtf8(tagStart);
}

const std::set<std::string> kStructureCodes = {
    "DataCantBeInserted", "XHTMLDuplicateEndTag",          "HtmlEndTagNotFound",
    "WrongElementsOrder", "HeadElementIsRecomended",       "NoTitleTagInHead",
    "BodyEndTagNotFound", "BaseTagMustBeTopInHeadSection", "BaseURLMustBeAbsolute"};

// The errors of this check only, as "Code@loc+len[:subs]".
Strings structureErrors(const VmkHTMLChecker& checker) {
  Strings out;
  for (const std::string& e : errorList(checker))
    if (kStructureCodes.count(e.substr(0, e.find('@')))) out.push_back(e);
  return out;
}

// A scanned and walked checker, ready for the two passes.
std::unique_ptr<VmkHTMLChecker> prepared(const std::u16string& text,
                                         std::unique_ptr<VmkDictionary> dictionary) {
  auto checker = scanText(text, std::move(dictionary));
  checker->errorLocations().clear();
  return checker;
}

Strings runBothPasses(VmkHTMLChecker& checker) {
  checker.checkElementReleations();
  checker.checkSpecialTagsOrder();
  return structureErrors(checker);
}

Strings check(const std::u16string& text, const std::string& dictionaryName) {
  auto checker = prepared(text, shipped(dictionaryName));
  return runBothPasses(*checker);
}

// "Code@loc+len" for the n-th occurrence of `needle` in `text`, with ":subs" when given.
std::string at(const std::string& code, const std::u16string& text, const std::u16string& needle,
               const Strings& subs = {}, int occurrence = 0) {
  size_t pos = text.find(needle);
  while (occurrence-- > 0) pos = text.find(needle, pos + 1);
  EXPECT_NE(pos, std::u16string::npos) << toUtf8(needle);
  std::string s = code + "@" + std::to_string(pos) + "+" + std::to_string(needle.size());
  if (!subs.empty()) {
    s += ":";
    for (size_t i = 0; i < subs.size(); ++i) s += (i ? "," : "") + subs[i];
  }
  return s;
}

const std::u16string kHead = u"<head><title>t</title></head>";

// ---- Text standing directly inside an element ----

TEST(StructureText, BodyTakesTextInTransitionalButNotInStrict) {
  // Strict: <!ELEMENT BODY O O (%block;|SCRIPT)+ ...>; Transitional: (%flow;)*.
  const std::u16string text = u"<html>" + kHead + u"<body>Hello<p>x</p></body></html>";
  EXPECT_EQ(check(text, "HTML 4.01 Strict"),
            (Strings{at("DataCantBeInserted", text, u"Hello", {"", "BODY"})}));
  EXPECT_EQ(check(text, "HTML 4.01 Transitional"), Strings{});
}

TEST(StructureText, TableRowTakesOnlyCellsWhileCellsTakeText) {
  const std::u16string text =
      u"<table><tr>oops<td>fine <b>bold</b></td>again</tr></table><div>text</div>";
  EXPECT_EQ(check(text, "HTML 4.01 Transitional"),
            (Strings{at("DataCantBeInserted", text, u"oops", {"", "TR"}),
                     at("DataCantBeInserted", text, u"again", {"", "TR"})}));
  // XHTML names are stored in lower case.
  EXPECT_EQ(check(text, "XHTML 1.0 Strict"),
            (Strings{at("DataCantBeInserted", text, u"oops", {"", "tr"}),
                     at("DataCantBeInserted", text, u"again", {"", "tr"})}));
}

TEST(StructureText, WhiteSpaceAndRawTextAreNotData) {
  const std::u16string text =
      u"<html><head>\n <title>t</title>\n <script type=\"text/javascript\">if (a < b) x();"
      u"</script>\n</head>\n<body>\n <table>\n  <tr>\n   <td>x</td>\n  </tr>\n </table>\n"
      u"</body>\n</html>";
  EXPECT_EQ(check(text, "HTML 4.01 Strict"), Strings{});
}

TEST(StructureText, TextInsideUndeclaredElementsOrWithoutDictionaryIsNotJudged) {
  auto none = prepared(u"<tr>text</tr>", nullptr);
  EXPECT_EQ(runBothPasses(*none), Strings{});
  // A test dictionary whose element has no child list: the child test cannot tell, and only
  // a plain yes lets text stand there.
  auto dictionary = makeDictionary({{"X", "- -", {}}, {"Y", "- -", {"#PCDATA"}}});
  const std::u16string text = u"<x>a</x><y>b</y>";
  auto c = prepared(text, std::move(dictionary));
  EXPECT_EQ(runBothPasses(*c), (Strings{at("DataCantBeInserted", text, u"a", {"", "X"})}));
}

// ---- End tags of empty elements in XHTML ----

TEST(StructureEmptyEndTags, SelfClosedEmptyElementFollowedByItsEndTag) {
  const std::u16string text = u"<p>a<br/></br>b<img src=\"i.png\" alt=\"\" /></p>";
  EXPECT_EQ(check(text, "XHTML 1.0 Strict"),
            (Strings{at("XHTMLDuplicateEndTag", text, u"</br>", {"br"})}));
  // Every one of them, however many end tags of either kind come between.
  const std::u16string twice = u"<p>a<br/></br></p><p>b</p><p><br/></br></p>";
  EXPECT_EQ(check(twice, "XHTML 1.0 Strict"),
            (Strings{at("XHTMLDuplicateEndTag", twice, u"</br>", {"br"}),
                     at("XHTMLDuplicateEndTag", twice, u"</br>", {"br"}, 1)}));
  // An HTML dictionary reports such end tags elsewhere, never with this code.
  EXPECT_EQ(check(u"<p>a<br></br>b</p>", "HTML 4.01 Strict"), Strings{});
  // End tags of elements that are not empty are left to the tree walk.
  EXPECT_EQ(check(u"<div>a</p></div>", "XHTML 1.0 Strict"), Strings{});
}

// ---- Sections of html ----

TEST(StructureSections, HeadAfterBodyIsOutOfOrder) {
  const std::u16string text = u"<html><body><p>x</p></body>" + kHead + u"</html>";
  EXPECT_EQ(check(text, "HTML 4.01 Strict"),
            (Strings{at("WrongElementsOrder", text, u"<head>", {"HEAD", "HTML"})}));
  EXPECT_EQ(check(text, "XHTML 1.0 Strict"),
            (Strings{at("WrongElementsOrder", text, u"<head>", {"head", "html"})}));
}

TEST(StructureSections, TwoBodiesPassAfterNoHeadButNotAfterAHead) {
  const std::u16string bodies = u"<body><p>1</p></body><body><p>2</p></body>";
  const std::u16string third = u"<body><p>3</p></body>";
  const std::u16string noHead = u"<html>" + bodies + third + u"</html>";
  EXPECT_EQ(check(noHead, "HTML 4.01 Transitional"),
            (Strings{at("WrongElementsOrder", noHead, u"<body>", {"BODY", "HTML"}, 2),
                     at("HeadElementIsRecomended", noHead, u"<html>")}));
  const std::u16string withHead = u"<html>" + kHead + bodies + u"</html>";
  EXPECT_EQ(check(withHead, "HTML 4.01 Transitional"),
            (Strings{at("WrongElementsOrder", withHead, u"<body>", {"BODY", "HTML"}, 1)}));
}

TEST(StructureSections, HeadAnywhereAfterHtmlCountsAsPresent) {
  const std::u16string bare = u"<html><body><p>x</p></body></html>";
  EXPECT_EQ(check(bare, "HTML 4.01 Strict"),
            (Strings{at("HeadElementIsRecomended", bare, u"<html>")}));
  // A head misplaced inside the body still counts; only its own rules apply to it.
  const std::u16string nested = u"<html><body><div><head></head></div></body></html>";
  EXPECT_EQ(check(nested, "HTML 4.01 Strict"),
            (Strings{at("NoTitleTagInHead", nested, u"<head>")}));
  // Entries before the html start tag do not.
  const std::u16string before = u"<head><title>t</title></head><html><body><p>x</p></body></html>";
  EXPECT_EQ(check(before, "HTML 4.01 Strict"),
            (Strings{at("HeadElementIsRecomended", before, u"<html>")}));
}

TEST(StructureSections, MissingEndTagsOfHtmlAndBody) {
  // No "</html>" anywhere: only that is said of html (no head is asked for).
  const std::u16string text = u"<html><body><p>x";
  EXPECT_EQ(check(text, "HTML 4.01 Strict"), (Strings{at("HtmlEndTagNotFound", text, u"<html>"),
                                                      at("BodyEndTagNotFound", text, u"<body>")}));
  // Omitted start tags are fine when the end tags come.
  const std::u16string closed = u"<html>" + kHead + u"<body><p>x</p></body></html>";
  EXPECT_EQ(check(closed, "HTML 4.01 Strict"), Strings{});
}

// ---- Title of head ----

TEST(StructureHead, TitleMustBeAtTheFirstLevelOfHead) {
  const std::u16string none = u"<html><head><meta name=\"a\" content=\"b\"></head></html>";
  EXPECT_EQ(check(none, "HTML 4.01 Strict"), (Strings{at("NoTitleTagInHead", none, u"<head>")}));
  // A title inside an object of the head is one level too deep.
  const std::u16string deep =
      u"<html><head><object data=\"x\"><title>t</title></object></head></html>";
  EXPECT_EQ(check(deep, "HTML 4.01 Strict"), (Strings{at("NoTitleTagInHead", deep, u"<head>")}));
  const std::u16string fine =
      u"<html><head><meta name=\"a\" content=\"b\"><TITLE>t</TITLE></head></html>";
  EXPECT_EQ(check(fine, "HTML 4.01 Strict"), Strings{});
}

// ---- Parts of a table ----

TEST(StructureTable, PartsInTheirOrderPass) {
  const std::u16string text =
      u"<table><caption>c</caption><colgroup><col></colgroup><thead><tr><th>h</th></tr>"
      u"</thead><tfoot><tr><td>f</td></tr></tfoot><tbody><tr><td>1</td></tr></tbody>"
      u"<tbody><tr><td>2</td></tr></tbody></table>";
  EXPECT_EQ(check(text, "HTML 4.01 Strict"), Strings{});
}

TEST(StructureTable, PartsAfterTheBodyAreOutOfOrder) {
  const std::u16string text =
      u"<table><tbody><tr><td>1</td></tr></tbody><tfoot><tr><td>f</td></tr></tfoot>"
      u"<caption>c</caption></table>";
  EXPECT_EQ(check(text, "HTML 4.01 Strict"),
            (Strings{at("WrongElementsOrder", text, u"<tfoot>", {"TFOOT", "TABLE"}),
                     at("WrongElementsOrder", text, u"<caption>", {"CAPTION", "TABLE"})}));
  const std::u16string twoCaptions =
      u"<table><caption>a</caption><caption>b</caption><tr><td>1</td></tr></table>";
  EXPECT_EQ(
      check(twoCaptions, "XHTML 1.0 Strict"),
      (Strings{at("WrongElementsOrder", twoCaptions, u"<caption>", {"caption", "table"}, 1)}));
}

TEST(StructureTable, NestedTablesKeepTheirOwnOrder) {
  // The inner caption follows the outer rows, but it belongs to the inner table.
  const std::u16string text =
      u"<table><tr><td><table><caption>c</caption><tr><td>x</td></tr></table></td></tr>"
      u"</table>";
  EXPECT_EQ(check(text, "HTML 4.01 Strict"), Strings{});
}

// ---- base ----

TEST(StructureBase, UrlAttributesOfLinkableElementsBeforeBase) {
  const std::u16string text =
      u"<html><head><title>t</title><link rel=\"x\" href=\"s.css\">"
      u"<base href=\"http://example.com/\"></head></html>";
  auto c = prepared(text, shipped("HTML 4.01 Strict"));
  giveAttribute(*c, u"<link", u"rel", u"x");
  giveAttribute(*c, u"<link", u"href", u"s.css");
  giveAttribute(*c, u"<base", u"href", u"http://example.com/");
  EXPECT_EQ(
      runBothPasses(*c),
      (Strings{at("BaseTagMustBeTopInHeadSection", text, u"<base href=\"http://example.com/\">")}));
}

TEST(StructureBase, OtherAttributesAndElementsDoNotCount) {
  // script is not a linkable element; rel of link holds no URL.
  const std::u16string text =
      u"<html><head><title>t</title><script src=\"a.js\"></script><link rel=\"x\">"
      u"<base href=\"http://example.com/\"><link href=\"s.css\"></head></html>";
  auto c = prepared(text, shipped("HTML 4.01 Transitional"));
  giveAttribute(*c, u"<script", u"src", u"a.js");
  giveAttribute(*c, u"<link rel", u"rel", u"x");
  giveAttribute(*c, u"<base", u"href", u"http://example.com/");
  giveAttribute(*c, u"<link href", u"href", u"s.css");
  EXPECT_EQ(runBothPasses(*c), Strings{});
}

TEST(StructureBase, OnlyTheHttpSchemeIsAbsolute) {
  struct Case {
    std::u16string href;
    bool accepted;
  } cases[] = {{u"http://", true},
               {u"HTTP://Example.com/dir/", true},
               {u"https://example.com/", false},
               {u"http:/x", false},
               {u"dir/", false},
               {u"", false}};
  for (const Case& k : cases) {
    const std::u16string text = u"<head><title>t</title><base href=\"" + k.href + u"\"></head>";
    auto c = prepared(text, shipped("HTML 4.01 Strict"));
    giveAttribute(*c, u"<base", u"href", k.href);
    const size_t value = text.find(u"href=\"") + 6;
    Strings expected;
    if (!k.accepted)
      expected.push_back("BaseURLMustBeAbsolute@" + std::to_string(value) + "+" +
                         std::to_string(k.href.size()));
    EXPECT_EQ(runBothPasses(*c), expected) << toUtf8(k.href);
  }
}

TEST(StructureBase, HrefWithoutValueIsReportedAtItsName) {
  const std::u16string text = u"<head><title>t</title><base href></head>";
  auto c = prepared(text, shipped("HTML 4.01 Strict"));
  VmkAttribute href;
  href.name = u"href";
  href.nameRange = Range(uint32_t(text.find(u"href")), 4);
  for (auto& e : c->tagLocations())
    if (e->elementName() == u"BASE") e->setAttributes(VmkAttributeList{href});
  EXPECT_EQ(runBothPasses(*c), (Strings{at("BaseURLMustBeAbsolute", text, u"href")}));
}

// ---- References in text runs ----

TEST(StructureCharRefs, RunsTheScanMetNoAmpersandInAreSkippedWithoutLosingAnError) {
  // "&" in text, in attribute values, comments, raw text, CDATA sections, a tag named like a
  // text run, and in runs on both sides of where a second scanning thread starts: the errors
  // are those of searching every run (the scan's record set aside), with one thread or two.
  std::u16string body;
  for (int i = 0; i < 40; ++i) {
    body += u"<p title=\"a&b\">plain text " + std::u16string(size_t(i % 5) * 9, u'x') + u"</p>\n";
    body += u"<p>bare & here, &amp; fine, &copy missing</p><!-- & in a comment -->\n";
    body += u"<script>if (a && b) x();</script><style>p{}</style>\n";
    body += u"<div>&#169; and &#xZZ; <#DATA a=&b> tail &</div>\n";
    if (i % 7 == 3) body += u"<p><![CDATA[ a & b ]]> after & too</p>\n";
  }
  for (const std::string name : {"HTML 4.01 Transitional", "XHTML 1.0 Transitional"}) {
    const bool xml = name[0] == 'X';
    const std::u16string text =
        (xml ? u"<html xmlns=\"http://www.w3.org/1999/xhtml\"><head><title>t</title></head><body>"
             : u"<html><head><title>t</title></head><body>") +
        body + u"</body></html>";
    for (bool twoThreads : {false, true}) {
      Strings lists[2];
      for (bool searchAll : {false, true}) {
        auto checker = VmkHTMLChecker::initOneMore();
        checker->initialize();
        if (twoThreads) checker->setParallelLimits(1, size_t(1) << 30);
        checker->setSourceString(text);
        auto dictionary = shipped(name);
        checker->isXHTML = dictionary && dictionary->isXML();
        checker->setHtmlDictionary(std::move(dictionary));
        checker->makeTagLocationsArray();
        checker->makeElementFiliation();
        checker->errorLocations().clear();
        if (searchAll) (void)checker->tagLocations();  // the record no longer trusted
        checker->checkElementReleations();
        lists[searchAll] = errorList(*checker);
      }
      EXPECT_EQ(lists[0], lists[1]) << name << (twoThreads ? ", two threads" : "");
      EXPECT_GT(lists[0].size(), 100u) << name;
    }
  }
}

// ---- The list as a whole ----

TEST(StructureList, EmptyListReportsNothingAtAll) {
  auto c = prepared(u"", shipped("XHTML 1.0 Strict"));
  c->checkElementReleations();
  c->checkSpecialTagsOrder();
  EXPECT_EQ(errorList(*c), Strings{});
}

TEST(StructureList, DeepNestingStaysFast) {
  // Many nested tables and blocks: each element's content is looked at once, not once per
  // enclosing element.
  constexpr int kDepth = 20000;
  std::u16string text;
  for (int i = 0; i < kDepth; ++i) text += u"<table><tr><td><div>x";
  for (int i = 0; i < kDepth; ++i) text += u"</div></td></tr></table>";
  auto c = prepared(text, shipped("HTML 4.01 Strict"));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(runBothPasses(*c), Strings{});
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

// ---- The link vocabulary ----

TEST(LinkVocabulary, ListsInTheirOrderAndLookupsIgnoringCase) {
  EXPECT_EQ(gLinkableTags().size(), 17u);
  EXPECT_EQ(gLinkableTags().names().front(), u"a");
  EXPECT_EQ(gLinkableTags().names().back(), u"base");
  EXPECT_EQ(gUrlAttributes().size(), 13u);
  EXPECT_EQ(gUrlAttributes().names()[1], u"background-image");
  EXPECT_EQ(gCdataTags().size(), 7u);

  EXPECT_TRUE(gLinkableTags().containsIgnoringCase(u"IMG"));
  EXPECT_FALSE(gLinkableTags().contains(u"IMG"));
  EXPECT_TRUE(gLinkableTags().contains(u"img"));
  EXPECT_FALSE(gLinkableTags().containsIgnoringCase(u"im"));
  EXPECT_FALSE(gUrlAttributes().containsIgnoringCase(u"script"));
  // Case folding beyond ASCII answers as the text comparison does: the long s folds to s.
  EXPECT_EQ(gUrlAttributes().containsIgnoringCase(u"\u017Frc"),
            isEqualToString(u"\u017Frc", u"src", true));
  EXPECT_TRUE(gUrlAttributes().containsIgnoringCase(u"CODEBASE"));
}

}  // namespace
}  // namespace vmk::test
