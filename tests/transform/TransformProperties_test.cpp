// Properties of the three transformations over every sample page and many generated ones:
// what a validation finds afterwards, beautifying twice, and which characters change.
#include <filesystem>
#include <random>
#include <set>

#include "engine/VmkHTMLChecker.h"
#include "transform/Beautifier.h"
#include "transform/CharacterReferenceConversion.h"
#include "transform/EntityReferenceCommands.h"
#include "transform/Minimizer.h"
#include "transform/TransformTestSupport.h"
#include "transform/WhiteSpaceRules.h"

namespace vmk::test {
namespace {

// Codes about white space that a transformation could bring and that the properties below
// would allow. None of the pages needs one: white space alone between two tags stays one space,
// so no element that held nothing comes to hold text.
const std::set<std::string> kWhiteSpaceCodes = {};

struct Page {
  std::string name;
  UString text;
};

std::vector<Page> samplePages() {
  std::vector<Page> pages;
  const std::string folders[] = {std::string(VELUMARK_SOURCE_DIR) + "/resources/samples",
                                 std::string(VELUMARK_TEST_DATA) + "/engine/pages",
                                 std::string(VELUMARK_TEST_DATA) + "/cli"};
  for (const std::string& folder : folders) {
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      if (entry.path().extension() != ".html") continue;
      std::unique_ptr<HeadlessDocument> document = HeadlessDocument::open(entry.path().string());
      if (document) pages.push_back({entry.path().filename().string(), document->text()});
    }
  }
  return pages;
}

// A page of nested blocks, inline elements, lists, preformatted text, scripts, comments and
// references, with white space of every kind between and inside them.
class PageMaker {
 public:
  explicit PageMaker(unsigned seed) : random_(seed) {}

  UString page() {
    out_ = UString(kHtml401) + u"<html>\n<head>\n<title>T " + number() + u"</title>" + space() +
           u"<script type=\"text/javascript\">\n  var a = 1;\n\tif (a < 2) { a++; }\n</script>\n"
           u"</head>" +
           space() + u"<body>";
    blocks(3);
    out_ += u"</body>\n</html>\n";
    return out_;
  }

 private:
  UString number() { return toUString(int64_t(pick(1000))); }
  size_t pick(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random_); }
  UString space() {
    static const char16_t* kSpaces[] = {u"", u" ", u"\n", u"\n\n\t\t", u"\t", u"  \n  "};
    return kSpaces[pick(std::size(kSpaces))];
  }
  UString words() {
    static const char16_t* kWords[] = {u"plain",           u"caf\u00E9",   u"a\u00A0b",
                                       u"Tom &amp; Jerry", u"&copy; 2024", u"x &lt; y",
                                       u"one\ntwo",        u"end  \n"};
    UString text;
    for (size_t n = 1 + pick(3); n > 0; --n)
      text += UString(kWords[pick(std::size(kWords))]) + u" ";
    return text;
  }
  void inlines() {
    for (size_t n = 1 + pick(3); n > 0; --n) {
      switch (pick(6)) {
        case 0:
          out_ += u"<b>" + words() + u"</b>" + space();
          break;
        case 1:
          out_ += u"<a href=page" + number() + u".html title='t " + number() + u"'>" + words() +
                  u"</a> ";
          break;
        case 2:
          out_ += u"<br>" + space();
          break;
        case 3:
          out_ += u"<img src=\"i.png\" alt=\"an  image\"\n  width=10>";
          break;
        case 4:
          out_ += u"<input type=checkbox checked  disabled>";
          break;
        default:
          out_ += words();
      }
    }
  }
  void blocks(int depth) {
    for (size_t n = 1 + pick(4); n > 0; --n) {
      out_ += space();
      switch (depth > 0 ? pick(6) : 0) {
        case 0:
          out_ += u"<p>";
          inlines();
          out_ += u"</p>";
          break;
        case 1:
          out_ += u"<div class=\"c\">";
          blocks(depth - 1);
          out_ += space() + u"</div>";
          break;
        case 2:
          out_ += u"<pre>\n\tcode  line\n\n  <b>bold</b>\tend\n</pre>";
          break;
        case 3:
          out_ += u"<ul>" + space() + u"<li>" + words() + space() + u"<li>";
          inlines();
          out_ += u"</ul>";
          break;
        case 4:
          out_ += u"<!--  a\n  comment \u00E9 -->";
          break;
        default:
          out_ += u"<table summary=\"s\">" + space() + u"<tr><td>" + words() + u"</td>" + space() +
                  u"<td></td></tr></table>";
      }
    }
  }

  std::mt19937 random_;
  UString out_;
};

UString withoutWhiteSpace(UStringView text) {
  UString out;
  for (UChar16 c : text)
    if (!isAsciiWhiteSpace(c)) out.push_back(c);
  return out;
}

std::string withoutSpacesBeforeLineBreaks(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') {
      while (!out.empty() && out.back() == ' ') out.pop_back();
    }
    out.push_back(c);
  }
  return out;
}

// The references the conversions write, decoded (others stay as they are).
UString decoded(UStringView text) {
  UString out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'&') {
      const size_t semicolon = text.find(u';', i);
      if (semicolon != UStringView::npos && semicolon - i <= 8) {
        const std::string name = toUtf8(text.substr(i + 1, semicolon - i - 1));
        UChar16 c = name == "lt" ? u'<' : name == "gt" ? u'>' : name == "amp" ? u'&' : 0;
        for (UChar16 l = 0xA0; l <= 0xFF && !c; ++l)
          if (latin1EntityName(l) == name) c = l;
        if (c) {
          out.push_back(c);
          i = semicolon;
          continue;
        }
      }
    }
    out.push_back(text[i]);
  }
  return out;
}

class TransformProperties : public TransformTest {
 protected:
  std::vector<Page> pages() {
    std::vector<Page> all = samplePages();
    for (unsigned seed = 1; seed <= 60; ++seed) {
      all.push_back({"generated page " + std::to_string(seed), PageMaker(seed).page()});
    }
    return all;
  }
  // Codes the transformed text gives that the original did not, white-space codes aside.
  std::vector<std::string> newCodes(const UString& original, const UString& transformed) {
    const std::vector<std::string> before = errorCodesOf(original);
    std::vector<std::string> added;
    for (const std::string& code : errorCodesOf(transformed)) {
      if (std::find(before.begin(), before.end(), code) == before.end() &&
          !kWhiteSpaceCodes.count(code)) {
        added.push_back(code);
      }
    }
    return added;
  }
  bool hasStructuralErrors(const UString& text) {
    HeadlessDocument document(text);
    std::unique_ptr<VmkHTMLChecker> fresh = VmkHTMLChecker::initOneMore();
    fresh->validateHTMLForDocument(document, false, false);
    return fresh->structualErrorCount > 0;
  }
};

TEST_F(TransformProperties, BeautifyingKeepsTheMarkupValidAndSettles) {
  int settledPages = 0;
  const std::vector<Page> all = pages();
  for (const Page& page : all) {
    SCOPED_TRACE(page.name);
    const UString once = u16(beautified(page.text));
    EXPECT_EQ(newCodes(page.text, once), std::vector<std::string>());
    // With structural errors the layout follows depths that the beautified text changes, so
    // only pages without them must settle. They do after one pass but for one thing: a text
    // run followed by an end tag that begins a new line takes in that line break and the
    // indentation after it, and the next pass turns the line break's white space into a space
    // ("after\n\t</div>" becomes "after \n\t</div>"). From the second pass on nothing changes.
    if (hasStructuralErrors(page.text)) continue;
    ++settledPages;
    const std::string twice = beautified(once);
    EXPECT_EQ(withoutSpacesBeforeLineBreaks(twice), withoutSpacesBeforeLineBreaks(u8(once)));
    EXPECT_EQ(beautified(u16(twice)), twice);
  }
  // Most generated pages have no structural errors.
  EXPECT_GT(settledPages, int(all.size()) / 2);
}

TEST_F(TransformProperties, BeautifyingChangesOnlyWhiteSpace) {
  set("Vmk_EncloseAttributeValue", "false");
  for (const Page& page : pages()) {
    SCOPED_TRACE(page.name);
    EXPECT_EQ(u8(withoutWhiteSpace(u16(beautified(page.text)))), u8(withoutWhiteSpace(page.text)));
  }
}

TEST_F(TransformProperties, MinimizingKeepsTheMarkupValidAndChangesOnlyWhiteSpace) {
  for (const Page& page : pages()) {
    SCOPED_TRACE(page.name);
    const UString once = u16(minimized(page.text));
    EXPECT_EQ(newCodes(page.text, once), std::vector<std::string>());
    EXPECT_EQ(u8(withoutWhiteSpace(once)), u8(withoutWhiteSpace(page.text)));
    EXPECT_EQ(u8(once), minimized(once));
    EXPECT_LE(once.size(), page.text.size());
  }
}

// The minimizer lays out from the scanner's list alone; the checks after the scan (depths,
// pairs, attribute records) must not be what its output depends on.
TEST_F(TransformProperties, TheScannersListMinimizesAsACheckedRunDoes) {
  for (const Page& page : pages()) {
    SCOPED_TRACE(page.name);
    HeadlessDocument document(page.text);
    std::unique_ptr<VmkHTMLChecker> checker = VmkHTMLChecker::initOneMore();
    // Both runs in two parts, as on a large page.
    checker->setParallelLimits(0, 0);
    checker->validateHTMLForDocument(document, false, false);
    const UString checked = minimizeTagList(checker->tagLocations(), checker->sourceString());
    checker->initialize();
    checker->ensureTagListFor(document);
    EXPECT_EQ(u8(minimizeTagList(checker->tagLocations(), checker->sourceString())), u8(checked));
    // A list made so is no check: asking for a current run checks the text.
    EXPECT_TRUE(checker->ensureCurrentRunFor(document));
  }
}

TEST_F(TransformProperties, EntityReferencesDecodeToTheOriginal) {
  for (const Page& page : pages()) {
    SCOPED_TRACE(page.name);
    platform().queueAlertAnswers({AlertButton::First});
    const UString converted = u16(smartEntities(page.text));
    // A reference without its ";" gets one; otherwise only references were written.
    if (page.text.find(u"&copy ") == UString::npos) {
      EXPECT_EQ(u8(decoded(converted)), u8(decoded(page.text)));
    }
    for (UChar16 c : converted) EXPECT_FALSE(c >= 0xA0 && c <= 0xFF) << page.name;
  }
}

}  // namespace
}  // namespace vmk::test
