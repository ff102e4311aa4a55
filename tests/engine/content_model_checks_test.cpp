// The strict content checks inside a validation run, with the shipped dictionaries.
#include <gtest/gtest.h>

#include <string>

#include "EngineTestSupport.h"
#include "doctype_shipped.h"
#include "host/headless/HeadlessDocument.h"
#include "settings/VmkUserDefaults.h"

namespace vmk::test {
namespace {

constexpr char16_t kStrict[] =
    u"<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\" "
    u"\"http://www.w3.org/TR/html4/strict.dtd\">\n";

class ContentModelChecks : public ShippedDictionariesTest {
 protected:
  void SetUp() override { sharedVmkUserDefaults().changeBoolValue(true, "Vmk_StrictDTDChecks"); }
  void TearDown() override {
    sharedVmkUserDefaults().removeObjectForKey("Vmk_StrictDTDChecks");
    ShippedDictionariesTest::TearDown();
  }
  std::vector<std::string> codesOf(const std::u16string& text) {
    HeadlessDocument document(text);
    auto checker = VmkHTMLChecker::initOneMore();
    checker->validateHTMLForDocument(document, false, false);
    return errorCodes(*checker);
  }
};

size_t count(const std::vector<std::string>& codes, const std::string& code) {
  return size_t(std::count(codes.begin(), codes.end(), code));
}

TEST_F(ContentModelChecks, AMillionNestedElementsPass) {
  std::u16string text = kStrict;
  text += u"<title>t</title><div>";
  for (int i = 0; i < 1000000; ++i) text += u"<span>";
  text += u"x";
  for (int i = 0; i < 1000000; ++i) text += u"</span>";
  text += u"</div>";
  const std::vector<std::string> codes = codesOf(text);
  EXPECT_EQ(count(codes, "RequiredElementMissing") + count(codes, "ElementOutOfPlace") +
                count(codes, "ExcludedElement"),
            0u);
}

TEST_F(ContentModelChecks, InferredElementsEndWhereTheirParentTakesTheNextEntry) {
  // HEAD and BODY are inferred around TITLE and P; TBODY around TR.
  EXPECT_EQ(codesOf(std::u16string(kStrict) + u"<title>t</title><p>a<table><tr><td>1</table><p>b"),
            (std::vector<std::string>{"EndTagMayBeOmitted", "EndTagMayBeOmitted",
                                      "NoHtmlTagBeforeDoctype"}));
  // A TR before the CAPTION: TBODY is inferred, and the CAPTION after it is out of place,
  // which the order check reports (once).
  std::vector<std::string> codes =
      codesOf(std::u16string(kStrict) +
              u"<title>t</title><table><tr><td>1</td></tr><caption>c</caption></table>");
  EXPECT_EQ(count(codes, "WrongElementsOrder"), 1u);
  EXPECT_EQ(count(codes, "ElementOutOfPlace") + count(codes, "RequiredElementMissing"), 0u);
  // Text in BODY of the Strict type is the text check's report alone.
  codes = codesOf(std::u16string(kStrict) + u"<title>t</title>text<p>x");
  EXPECT_EQ(count(codes, "RequiredElementMissing") + count(codes, "ElementOutOfPlace"), 0u);
}

TEST_F(ContentModelChecks, NothingIsCheckedWithTheSettingOff) {
  sharedVmkUserDefaults().changeBoolValue(false, "Vmk_StrictDTDChecks");
  const std::vector<std::string> codes =
      codesOf(std::u16string(kStrict) + u"<title>t</title><ul></ul><pre><big>x</big></pre>");
  EXPECT_EQ(count(codes, "RequiredElementMissing") + count(codes, "ExcludedElement"), 0u);
}

}  // namespace
}  // namespace vmk::test
