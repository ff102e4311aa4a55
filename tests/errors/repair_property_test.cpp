// Over generated pages: after correct-all, a second correct-all changes nothing, and no error
// code appears that the page did not have, except where a repair must bring one (named below).
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "RepairTestSupport.h"

namespace vmk::test {
namespace {

// Codes a repair may bring: the repairs rewrite what they are told to, and the new text can
// meet another rule.
const std::set<std::string> kBroughtByRepairs = {
    // "< p>" loses its space and becomes a tag; "<d" after "c <" one of an unknown element.
    "NoSuchElementName",
    "CantBeChildElement",
    "StartTagNotFound",
    "EndTagNotFound",
    "EndTagMayBeOmitted",
    "NoEndTagForThisElement",
    "DataCantBeInserted",
    // A head added to a body-only page may hold nothing more than the notes of its title.
    "NoDataBetweenStartAndEndTags",
    // The head and title checks run only on an html element that has its end tag: adding that
    // end tag lets them speak.
    "HeadElementIsRecomended",
    "NoTitleTagInHead",
};

// As `velumark fix` does: correct all again while the check after it still lists repairable
// errors that earlier repairs brought to light (at most four rounds).
std::string settle(VmkHTMLChecker& checker, HeadlessDocument& document) {
  const ScriptCommandScope script;
  for (int round = 0; round < 4; ++round) {
    const std::string before = document.md5DigestString();
    correctAllErrorsForDocument(checker, document, false);
    bool repairable = false;
    for (const auto& location : checker.errorLocations()) repairable |= location->errorFix() == 1;
    if (!repairable || document.md5DigestString() == before) break;
  }
  return toUtf8(document.text());
}

std::string generatedPage(std::mt19937& random, bool xhtml) {
  static const std::vector<std::string> kPieces = {
      "<p>a & b</p>",
      "<p>&copy c</p>",
      "<p>< b>x</b></p>",
      "<p><img src=a/b.gif></p>",
      "<p><img src=\"x/y.png\"></p>",
      "<p><a href=\"a b\">x</a></p>",
      "<p><a href=\"a^b\">x</a></p>",
      "<p title=\"a>b\">x</p>",
      "<p onclick=f(\"x\")>y</p>",
      "<P>x</P>",
      "<p><a HREF=\"x\">y</a></p>",
      "<p>x<br></br>y</p>",
      "<p>x</p></br>",
      "<p><a href=\"x\"/>y</a></p>",
      "<p>plain text</p>",
      "<form action=\"a\"><div><input type=\"checkbox\" name=\"c\" checked /></div></form>",
      "<script language=\"JavaScript\">x=1</script>",
      "<p><span>a &reg b & c</span></p>",
  };
  std::string page;
  const int prologue = int(random() % 4);
  if (xhtml) {
    if (prologue != 0) page += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    if (prologue != 1) page += kXhtml10;
    page += "<html xmlns=\"http://www.w3.org/1999/xhtml\">";
    if (prologue != 2) page += kXHead;
  } else {
    if (prologue != 0) page += kHtml401Loose;
    if (prologue != 1) page += "<html>";
    if (prologue != 2) page += kHead;
  }
  page += "<body>\n";
  const int count = 3 + int(random() % 12);
  for (int i = 0; i < count; ++i) page += kPieces[random() % kPieces.size()] + "\n";
  if (random() % 3) page += "</body>";
  if (random() % 3) page += "</html>\n";
  return page;
}

TEST_F(RepairTest, ASecondCorrectAllChangesNothingAndBringsNoNewErrors) {
  std::mt19937 random(2024);
  for (int round = 0; round < 60; ++round) {
    const std::string page = generatedPage(random, round % 2 == 1);
    open(page);
    const std::vector<std::string> found = codes();
    const std::set<std::string> before(found.begin(), found.end());
    open(page);
    const std::string once = settle(*checker_, *document_);
    for (const std::string& code : codes()) {
      EXPECT_TRUE(before.count(code) || kBroughtByRepairs.count(code))
          << code << " is new after repair of:\n"
          << page << "\nrepaired:\n"
          << once;
    }
    open(once);
    EXPECT_EQ(settle(*checker_, *document_), once) << page;
  }
}

}  // namespace
}  // namespace vmk::test
