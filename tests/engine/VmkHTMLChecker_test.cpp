// The validation run: registration and levels, the display protocol, the reuse rule and the
// independence of extra checkers.
#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "engine/ResultsDisplay.h"
#include "errors/ErrorCatalogue.h"
#include "host/headless/HeadlessDocument.h"
#include "settings/VmkUserDefaults.h"

namespace vmk::test {
namespace {

using Strings = std::vector<std::string>;

// Records every call of the run as one line.
class RecordingDisplay : public ResultsDisplay {
 public:
  void startSpiningBall() override { calls.push_back("start"); }
  void stopSpiningBall() override { calls.push_back("stop"); }
  void clearAllErrors() override { calls.push_back("clear"); }
  void collapseAllItemsExceptFor(HostDocument& document) override {
    calls.push_back("collapse");
    collapsedFor = &document;
  }
  void dispErrorMessage(const UString& text) override {
    calls.push_back("message:" + toUtf8(text));
  }
  void mergeErrorLocations(const VmkErrorLocationList& list, HostDocument& document) override {
    calls.push_back("merge:" + std::to_string(list.size()));
    merged = list;
    mergedFor = &document;
  }
  void dispErrorSummary(const VmkErrorLocationList& list, const std::optional<UString>& doctypeName,
                        bool withSound) override {
    calls.push_back("summary:" + std::to_string(list.size()) + ":" +
                    (doctypeName ? toUtf8(*doctypeName) : "-") + ":" +
                    (withSound ? "sound" : "quiet"));
  }

  Strings calls;
  VmkErrorLocationList merged;
  HostDocument* mergedFor = nullptr;
  HostDocument* collapsedFor = nullptr;
};

class CheckerRun : public ::testing::Test {
 protected:
  void SetUp() override {
    installDictionary(htmlElements(), "Test HTML");
    VmkUserDefaults& defaults = sharedVmkUserDefaults();
    defaults.changeStringValue("Test HTML", "Vmk_DefaultHtmlDictionary");
    defaults.changeIntValue(0, "Vmk_BeforeNewCheck");
    setResultsDisplay(&display_);
  }
  void TearDown() override {
    setResultsDisplay(nullptr);
    VmkUserDefaults& defaults = sharedVmkUserDefaults();
    defaults.removeObjectForKey("Vmk_DefaultHtmlDictionary");
    defaults.removeObjectForKey("Vmk_BeforeNewCheck");
    defaults.removeObjectForKey(kErrorDictionaryArrayKey);
    VmkUserDefaults::resetSharedForTesting();
  }

  static size_t count(const VmkHTMLChecker& c, const std::string& code) {
    Strings codes = errorCodes(c);
    return size_t(std::count(codes.begin(), codes.end(), code));
  }

  RecordingDisplay display_;
};

// ---- Registration and levels ----

TEST_F(CheckerRun, RegistrationKeepsLevelledErrorsWithTheirDocument) {
  HeadlessDocument doc(u"x");
  auto c = VmkHTMLChecker::initOneMore();
  c->setSourceDocument(&doc);
  c->registerAnErrorWithCode("SpaceBeforeElementName", Range(3, 2));
  c->registerAnErrorWithCode("NoSuchElementName", Range(5, 1), std::vector<UString>{u"FOO"});
  c->registerAnErrorWithCode("NotACatalogueCode", Range(0, 1));
  ASSERT_EQ(errorList(*c), (Strings{"SpaceBeforeElementName@3+2", "NoSuchElementName@5+1:FOO"}));
  EXPECT_EQ(c->errorLocations()[0]->parentDocument(), &doc);
  EXPECT_FALSE(c->errorLocations()[0]->subStrings().has_value());
  EXPECT_EQ(c->structualErrorCount, 1);
}

TEST_F(CheckerRun, ErrorSwitchedOffIsDroppedButStillCountsAsStructural) {
  auto c = VmkHTMLChecker::initOneMore();
  c->registerAnErrorWithCode("NoSuchElementName", Range(0, 1));
  ASSERT_EQ(setErrorLevelForThisError(sharedVmkUserDefaults(), "NoSuchElementName", 0),
            ErrorSettingResult::Changed);
  ASSERT_EQ(setErrorLevelForThisError(sharedVmkUserDefaults(), "SpaceBeforeElementName", 0),
            ErrorSettingResult::Changed);
  // The change applies at once, also to a checker that already looked the level up.
  c->registerAnErrorWithCode("NoSuchElementName", Range(1, 1));
  c->registerAnErrorWithCode("SpaceBeforeElementName", Range(2, 1));
  EXPECT_EQ(errorList(*c), Strings{"NoSuchElementName@0+1"});
  EXPECT_EQ(c->structualErrorCount, 2);

  // Through a whole run: the return value counts only what was kept.
  HeadlessDocument doc(u"<foo>< p>x</p>");
  int32_t kept = c->validateHTMLForDocument(doc, false, false);
  EXPECT_EQ(kept, int32_t(c->errorLocations().size()));
  EXPECT_EQ(count(*c, "NoSuchElementName"), 0u);
  EXPECT_EQ(count(*c, "SpaceBeforeElementName"), 0u);
  EXPECT_EQ(c->structualErrorCount, 1);
}

TEST_F(CheckerRun, StructuralCodes) {
  for (const char* code :
       {"NoCDATAEndMark", "NoSuchElementName", "LtMarkInTag", "EndTagCantBeOmitted",
        "LeftLtMarkNotFound", "StartTagNotFound", "NoEndTagForThisElement", "EndTagNotFound"})
    EXPECT_TRUE(VmkHTMLChecker::isStructuralError(code)) << code;
  for (const char* code : {"SpaceBeforeElementName", "CantBeChildElement", "EndTagMayBeOmitted",
                           "WrongTagEnd", "NoDataBetweenStartAndEndTags"})
    EXPECT_FALSE(VmkHTMLChecker::isStructuralError(code)) << code;
}

// ---- The run and the display ----

TEST_F(CheckerRun, RunUsesTheDefaultDictionaryAndFillsItsLists) {
  HeadlessDocument doc(u"<div>< b>x</b></div>");
  auto c = VmkHTMLChecker::initOneMore();
  int32_t n = c->validateHTMLForDocument(doc, false, false);
  ASSERT_NE(c->htmlDictionary(), nullptr);
  EXPECT_EQ(toUtf8(c->htmlDictionary()->displayName()), "Test HTML");
  EXPECT_EQ(c->sourceDocument(), &doc);
  EXPECT_EQ(c->sourceString(), doc.text());
  EXPECT_EQ(entryNames(*c), (Strings{"DIV", "B", "#DATA", "/B", "/DIV"}));
  EXPECT_EQ(count(*c, "SpaceBeforeElementName"), 1u);
  EXPECT_EQ(n, int32_t(c->errorLocations().size()));
  EXPECT_EQ(c->lastMD5String(), doc.md5DigestString());
  // The run's text is the document's as it was when checked, also after an edit and a close.
  doc.textStorage().replaceCharactersInRange(Range(0, 5), u"<p>");
  EXPECT_EQ(c->sourceString(), u"<div>< b>x</b></div>");
  {
    auto closing = std::make_unique<HeadlessDocument>(u"<p>gone</p>");
    auto other = VmkHTMLChecker::initOneMore();
    other->validateHTMLForDocument(*closing, false, false);
    closing.reset();
    EXPECT_EQ(other->sourceString(), u"<p>gone</p>");
    EXPECT_EQ(entryNames(*other), (Strings{"P", "#DATA", "/P"}));
  }
}

// A dictionary loaded ahead of a run (while the document is read) is the one the run uses: the
// run finds it kept instead of reading the file again. A guess that misses costs nothing.
TEST_F(CheckerRun, PreloadedDictionaryIsTheOneTheRunUses) {
  VmkHTMLChecker::preloadDictionary("<!DOCTYPE HTML PUBLIC \"-//No Such//DTD//EN\">\n<p>", true,
                                    u"Test HTML");
  const auto kept = VmkDictionary::sharedWithMenuName(u"Test HTML");
  ASSERT_NE(kept, nullptr);
  HeadlessDocument doc(u"<div>x</div>");
  auto c = VmkHTMLChecker::initOneMore();
  c->validateHTMLForDocument(doc, false, false);
  EXPECT_EQ(c->htmlDictionary(), kept.get());
  // A missing default dictionary or a start that is not text leaves nothing behind.
  VmkHTMLChecker::preloadDictionary(std::string("\xff\xfe<\0!\0", 6), false, u"Missing");
  VmkHTMLChecker::preloadDictionary("", true, u"");
  c->validateHTMLForDocument(doc, false, false);
  EXPECT_EQ(c->htmlDictionary(), kept.get());
}

TEST_F(CheckerRun, DisplayOffLeavesTheResultStoreAlone) {
  HeadlessDocument doc(u"<foo>");
  auto c = VmkHTMLChecker::initOneMore();
  int32_t n = c->validateHTMLForDocument(doc, false, true);
  EXPECT_GT(n, 0);
  EXPECT_EQ(display_.calls, (Strings{"start", "stop"}));
}

TEST_F(CheckerRun, DisplayOnMergesSortedErrorsAndShowsTheSummary) {
  // The walk reports the unclosed div (at 0) after the scanner's report of foo (at 6).
  HeadlessDocument doc(u"<div><foo>x");
  auto c = VmkHTMLChecker::initOneMore();
  int32_t n = c->validateHTMLForDocument(doc, true, false);
  ASSERT_GE(n, 2);
  ASSERT_EQ(display_.calls.size(), 5u);
  EXPECT_EQ(display_.calls[0], "start");
  EXPECT_EQ(display_.calls[1], "message:Validating HTML...");
  EXPECT_EQ(display_.calls[2], "merge:" + std::to_string(n));
  EXPECT_EQ(display_.calls[3], "summary:" + std::to_string(n) + ":Test HTML:quiet");
  EXPECT_EQ(display_.calls[4], "stop");
  EXPECT_EQ(display_.mergedFor, &doc);
  for (size_t i = 1; i < display_.merged.size(); ++i)
    EXPECT_LE(display_.merged[i - 1]->errorRange().location,
              display_.merged[i]->errorRange().location);
}

TEST_F(CheckerRun, DisplayOnWithoutErrorsShowsOnlyTheSummary) {
  auto c = VmkHTMLChecker::initOneMore();
  // Prologue errors are switched off so that the document is clean.
  for (const auto& entry : factoryErrorCatalogue())
    setErrorLevelForThisError(sharedVmkUserDefaults(), entry.errorKey, 0);
  HeadlessDocument doc(u"<div>x</div>");
  EXPECT_EQ(c->validateHTMLForDocument(doc), 0);
  EXPECT_EQ(display_.calls,
            (Strings{"start", "message:Validating HTML...", "summary:0:Test HTML:sound", "stop"}));
}

TEST_F(CheckerRun, BeforeNewCheckClearsOrCollapsesOlderResults) {
  HeadlessDocument doc(u"<div>x</div>");
  auto c = VmkHTMLChecker::initOneMore();
  sharedVmkUserDefaults().changeIntValue(1, "Vmk_BeforeNewCheck");
  c->validateHTMLForDocument(doc, true, false);
  EXPECT_EQ(display_.calls[1], "clear");

  display_.calls.clear();
  sharedVmkUserDefaults().changeIntValue(2, "Vmk_BeforeNewCheck");
  c->validateHTMLForDocument(doc, true, false);
  EXPECT_EQ(display_.calls[1], "collapse");
  EXPECT_EQ(display_.collapsedFor, &doc);

  // Display off never touches older results.
  display_.calls.clear();
  c->validateHTMLForDocument(doc, false, false);
  EXPECT_EQ(display_.calls, (Strings{"start", "stop"}));
}

TEST_F(CheckerRun, WithoutAnyDictionaryEveryTagIsUnknown) {
  sharedVmkUserDefaults().changeStringValue("No Such Dictionary", "Vmk_DefaultHtmlDictionary");
  HeadlessDocument doc(u"<p>x</p>");
  auto c = VmkHTMLChecker::initOneMore();
  c->validateHTMLForDocument(doc, true, false);
  EXPECT_EQ(c->htmlDictionary(), nullptr);
  EXPECT_FALSE(c->isXHTML);
  EXPECT_EQ(count(*c, "NoSuchElementName"), 2u);
  EXPECT_NE(std::find(display_.calls.begin(), display_.calls.end(),
                      "summary:" + std::to_string(c->errorLocations().size()) + ":-:quiet"),
            display_.calls.end());
}

TEST_F(CheckerRun, EmptyDocument) {
  HeadlessDocument doc(u"");
  auto c = VmkHTMLChecker::initOneMore();
  c->validateHTMLForDocument(doc, false, false);
  EXPECT_TRUE(c->tagLocations().empty());
  EXPECT_EQ(count(*c, "NoDoctypeDeclaration"), 1u);
}

TEST_F(CheckerRun, EveryRunStartsFromAResetState) {
  HeadlessDocument japanese(
      u"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">\u2460",
      std::nullopt, Encoding::shiftJIS());
  HeadlessDocument plain(u"<p>\u2460</p>");
  auto c = VmkHTMLChecker::initOneMore();
  c->validateHTMLForDocument(japanese, false, false);
  EXPECT_TRUE(c->isJapaneseEncoding);
  EXPECT_EQ(count(*c, "MachineDependantCharacter"), 1u);

  c->idArray.push_back(u"stale");
  c->validateHTMLForDocument(plain, false, false);
  EXPECT_FALSE(c->isJapaneseEncoding);
  EXPECT_EQ(count(*c, "MachineDependantCharacter"), 0u);
  EXPECT_TRUE(c->idArray.empty());
  EXPECT_EQ(c->sourceDocument(), &plain);
}

// ---- Reuse of the last run ----

TEST_F(CheckerRun, LastRunIsReusedOnlyForTheSameUnchangedDocument) {
  HeadlessDocument doc(u"<div>x</div>");
  HeadlessDocument other(u"<div>x</div>");
  auto c = VmkHTMLChecker::initOneMore();
  EXPECT_FALSE(c->isLastRunCurrentFor(doc));
  EXPECT_TRUE(c->ensureCurrentRunFor(doc));               // checked
  EXPECT_FALSE(c->ensureCurrentRunFor(doc));              // reused
  EXPECT_EQ(display_.calls, (Strings{"start", "stop"}));  // silently

  ASSERT_TRUE(replaceTextInDocument(doc, Range(5, 1), u"y"));
  EXPECT_FALSE(c->isLastRunCurrentFor(doc));
  EXPECT_TRUE(c->ensureCurrentRunFor(doc));
  EXPECT_EQ(c->sourceString(), u"<div>y</div>");
  EXPECT_FALSE(c->ensureCurrentRunFor(doc));

  // Same text, another document object.
  EXPECT_TRUE(c->ensureCurrentRunFor(other));
  EXPECT_EQ(c->sourceDocument(), &other);

  // An explicit run always checks afresh.
  display_.calls.clear();
  c->validateHTMLForDocument(other, false, false);
  EXPECT_EQ(display_.calls, (Strings{"start", "stop"}));
}

TEST_F(CheckerRun, ExtraCheckersDoNotDisturbTheSharedOne) {
  VmkHTMLChecker& shared = VmkHTMLChecker::sharedHTMLChecker();
  EXPECT_EQ(&VmkHTMLChecker::init(), &shared);
  EXPECT_EQ(&sharedHTMLChecker(), &shared);

  HeadlessDocument first(u"<div>x</div>");
  HeadlessDocument second(u"<p>y");
  shared.validateHTMLForDocument(first, false, false);
  auto extra = VmkHTMLChecker::initOneMore();
  ASSERT_NE(extra.get(), &shared);
  extra->validateHTMLForDocument(second, false, false);
  EXPECT_EQ(shared.sourceDocument(), &first);
  EXPECT_TRUE(shared.isLastRunCurrentFor(first));
  EXPECT_EQ(extra->sourceDocument(), &second);
  shared.initialize();
}

}  // namespace
}  // namespace vmk::test
