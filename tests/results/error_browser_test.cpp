#include "results/VmkErrorBrowser.h"

#include <gtest/gtest.h>

#include "host/headless/HeadlessDocument.h"
#include "host/headless/HeadlessPlatform.h"
#include "results_test_support.h"

namespace vmk {
namespace {

using testing::PrivateSettingsFolder;
using testing::record;

// A store whose re-checks are only counted.
class TestBrowser : public VmkErrorBrowser {
 public:
  std::vector<HostDocument*> revalidated;

 protected:
  void revalidateDocument(HostDocument& document, bool) override {
    revalidated.push_back(&document);
  }
};

class ErrorBrowserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gDoAutoCheck = false;
    gAutoCorrectingErros = false;
  }
  PrivateSettingsFolder folder;
  TestBrowser store;
  HeadlessDocument doc{UString(300, u'x'), std::string("/tmp/page.html")};
};

TEST_F(ErrorBrowserTest, ListExistsOnlyAfterAddMergeOrCountAndClearAllDiscardsIt) {
  EXPECT_EQ(store.errorResultArray(), nullptr);
  int errors = -1, cautions = -1;
  store.getErrorCount(errors, cautions, &doc);
  ASSERT_NE(store.errorResultArray(), nullptr);
  EXPECT_EQ(errors, 0);
  EXPECT_EQ(cautions, 0);
  store.addErrorLocation(record(doc, "NoSuchElementName", 1, 2), &doc);
  store.clearAllErrors();
  EXPECT_EQ(store.errorResultArray(), nullptr);
}

TEST_F(ErrorBrowserTest, AddAndMergeAppendRecordsAndMoveTheEntryToTheEnd) {
  HeadlessDocument other(u"<p>", std::string("/tmp/other.html"));
  auto a = record(doc, "NoSuchElementName", 10, 2);
  auto b = record(other, "WrongAmpersand", 1, 1);
  auto c = record(doc, "EndTagMayBeOmitted", 20, 3);
  store.addErrorLocation(a, &doc);
  store.addErrorLocation(b, &other);
  store.mergeErrorLocations({c}, &doc);

  const auto& list = *store.errorResultArray();
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].object, ResultObject(&other));
  EXPECT_EQ(list[1].object, ResultObject(&doc));
  EXPECT_EQ(list[1].locations, (VmkErrorLocationList{a, c}));
  EXPECT_EQ(list[1].digest, doc.md5DigestString());
  EXPECT_TRUE(store.view().isItemExpanded(&doc));

  int errors = 0, cautions = 0;
  store.getErrorCount(errors, cautions, &doc);
  EXPECT_EQ(errors, 1);
  EXPECT_EQ(cautions, 1);

  store.clearErrorLocationsForObject(&doc);
  EXPECT_EQ(store.entryForObject(&doc), nullptr);
  EXPECT_NE(store.entryForObject(&other), nullptr);
}

TEST_F(ErrorBrowserTest, EditsMoveGrowOrLeaveRecords) {
  auto r = record(doc, "NoSuchElementName", 100, 5);
  store.addErrorLocation(r, &doc);

  store.documentDidEdited(doc, Range(10, 3), 3);  // insertion before the record
  EXPECT_EQ(r->errorRange(), Range(103, 5));
  store.documentDidEdited(doc, Range(105, 3), 3);  // insertion inside it
  EXPECT_EQ(r->errorRange(), Range(103, 8));
  store.documentDidEdited(doc, Range(120, 4), 4);  // typing after its end
  EXPECT_EQ(r->errorRange(), Range(103, 8));
  EXPECT_EQ(store.entryForObject(&doc)->digest, doc.md5DigestString());
}

TEST_F(ErrorBrowserTest, DeletionsShrinkOrDropRecords) {
  auto shrinking = record(doc, "NoSuchElementName", 100, 5);
  store.addErrorLocation(shrinking, &doc);
  store.documentDidEdited(doc, Range(99, 0), -2);  // (99, 2) deleted
  EXPECT_EQ(shrinking->errorRange(), Range(100, 3));
  EXPECT_EQ(store.entryForObject(&doc)->locations.size(), 1u);

  auto dropped = record(doc, "NoSuchElementName", 100, 5);
  auto after = record(doc, "WrongAmpersand", 200, 1);
  store.clearErrorLocationsForObject(&doc);
  store.mergeErrorLocations({dropped, after}, &doc);
  store.documentDidEdited(doc, Range(98, 0), -10);  // (98, 10) deleted
  EXPECT_EQ(dropped->errorRange(), Range(98, 0));
  EXPECT_EQ(after->errorRange(), Range(190, 1));
  const VmkResultEntry* entry = store.entryForObject(&doc);
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->locations, VmkErrorLocationList{after});
  EXPECT_EQ(entry->digest, std::string());
}

TEST_F(ErrorBrowserTest, MovedRecordsGetTheirLineIndexRecomputed) {
  HeadlessDocument lines(u"a\nb\nc<x>", std::string("/tmp/lines.html"));
  auto r = record(lines, "NoSuchElementName", 5, 3);
  store.addErrorLocation(r, &lines);
  EXPECT_EQ(r->errorParagraphIndex(), 2);
  // The host edits first, then reports: the first line feed was removed.
  lines.textStorage().replaceCharactersInRange(Range(1, 1), u"");
  store.documentDidEdited(lines, Range(1, 0), -1);
  EXPECT_EQ(r->errorRange(), Range(4, 3));
  EXPECT_EQ(r->cachedErrorParagraphIndex(), 1);
}

TEST_F(ErrorBrowserTest, AboveOneHundredFiftyRecordsEditsAreDeferredToARecheck) {
  VmkErrorLocationList many;
  for (uint32_t i = 0; i < 150; ++i) many.push_back(record(doc, "WrongAmpersand", 100 + i, 1));
  store.mergeErrorLocations(many, &doc);
  store.documentDidEdited(doc, Range(0, 1), 1);
  EXPECT_EQ(many.front()->errorRange(), Range(101, 1));
  EXPECT_FALSE(gDoAutoCheck);

  auto extra = record(doc, "WrongAmpersand", 290, 1);
  store.addErrorLocation(extra, &doc);  // 151 records
  store.documentDidEdited(doc, Range(0, 1), 1);
  EXPECT_EQ(many.front()->errorRange(), Range(101, 1));
  EXPECT_EQ(extra->errorRange(), Range(290, 1));
  EXPECT_TRUE(gDoAutoCheck);

  // While repair edits, even a long list is followed.
  gDoAutoCheck = false;
  gAutoCorrectingErros = true;
  store.documentDidEdited(doc, Range(0, 1), 1);
  EXPECT_EQ(extra->errorRange(), Range(291, 1));
  EXPECT_FALSE(gDoAutoCheck);

  // The deferred re-check happens when the results window becomes key.
  gAutoCorrectingErros = false;
  sharedVmkUserDefaults().changeBoolValue(false, "Vmk_ActivatedAutoCheck");
  store.documentDidEdited(doc, Range(0, 1), 1);
  doc.textStorage().replaceCharactersInRange(Range(0, 0), u"y");
  store.didBecomeKeyWindow(&doc);
  EXPECT_FALSE(gDoAutoCheck);
  EXPECT_EQ(store.revalidated, std::vector<HostDocument*>{&doc});
  EXPECT_EQ(store.entryForObject(&doc), nullptr);
}

TEST_F(ErrorBrowserTest, BecomingKeyLeavesAnUnchangedDocumentAlone) {
  store.addErrorLocation(record(doc, "WrongAmpersand", 1, 1), &doc);
  store.didBecomeKeyWindow(&doc);
  EXPECT_TRUE(store.revalidated.empty());
  ASSERT_NE(store.entryForObject(&doc), nullptr);
}

TEST_F(ErrorBrowserTest, ClosingKeepsSavedResultsUnderTheFileAndDropsUntitledOnes) {
  auto r = record(doc, "NoSuchElementName", 5, 2);
  store.addErrorLocation(r, &doc);
  const std::string checkedDigest = doc.md5DigestString();
  store.replaceObjectFrom(&doc, std::string("/tmp/page.html"));
  const VmkResultEntry* entry = store.entryForObject(std::string("/tmp/page.html"));
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->digest, checkedDigest);
  EXPECT_EQ(r->parent(), ErrorParent(std::string("/tmp/page.html")));
  EXPECT_TRUE(store.view().isItemExpanded(std::string("/tmp/page.html")));

  HeadlessDocument untitled(u"<p>");
  store.addErrorLocation(record(untitled, "WrongAmpersand", 0, 1), &untitled);
  store.replaceObjectFrom(&untitled, std::monostate{});
  EXPECT_EQ(store.entryForObject(&untitled), nullptr);
  EXPECT_EQ(store.errorResultArray()->size(), 1u);
}

TEST_F(ErrorBrowserTest, ReopeningReconnectsRecordsAndAsksForACheckOnlyWhenChanged) {
  const UString text = doc.text();
  auto r = record(doc, "NoSuchElementName", 5, 2);
  store.addErrorLocation(r, &doc);
  store.replaceObjectFrom(&doc, std::string("/tmp/page.html"));

  HeadlessDocument same(text, std::string("/tmp/page.html"));
  EXPECT_FALSE(store.documentDidOpened(same));
  EXPECT_EQ(r->parent(), ErrorParent(&same));
  EXPECT_NE(store.entryForObject(&same), nullptr);

  store.replaceObjectFrom(&same, std::string("file:///tmp/page.html"));
  HeadlessDocument changed(text + u"!", std::string("/tmp/page.html"));
  EXPECT_TRUE(store.documentDidOpened(changed));
  EXPECT_EQ(r->parent(), ErrorParent(&changed));
  EXPECT_EQ(store.entryForObject(&changed)->digest, changed.md5DigestString());

  HeadlessDocument unrelated(text, std::string("/tmp/elsewhere.html"));
  EXPECT_TRUE(store.documentDidOpened(unrelated));
}

TEST_F(ErrorBrowserTest, SummariesForTheFourOutcomes) {
  EXPECT_EQ(VmkErrorBrowser::errorSummaryForError(0, 0),
            u"Any errors and warnings were not found!");
  EXPECT_EQ(VmkErrorBrowser::errorSummaryForError(0, 2), u"2 cautions were found!");
  EXPECT_EQ(VmkErrorBrowser::errorSummaryForError(3, 0), u"3 errors were found!");
  EXPECT_EQ(VmkErrorBrowser::errorSummaryForError(3, 2), u"3 errors and 2 cautions were found!");
}

TEST_F(ErrorBrowserTest, SummaryLineNamesTheDoctypeAndPlaysTheMatchingSound) {
  HeadlessPlatform sounds;
  setPlatform(&sounds);
  store.startSpiningBall();
  VmkErrorLocationList list{record(doc, "NoSuchElementName", 1, 1),
                            record(doc, "WrongAmpersand", 2, 1)};
  store.dispErrorSummary(list, UString(u"HTML 4.01 Transitional"), true);
  EXPECT_EQ(store.headlessView().message(),
            u"HTML 4.01 Transitional: 1 errors and 1 cautions were found!");
  EXPECT_FALSE(store.headlessView().busy());
  store.dispErrorSummary({}, std::nullopt, false);
  EXPECT_EQ(store.headlessView().message(), u"Any errors and warnings were not found!");
  sharedVmkUserDefaults().changeStringValue("", "Vmk_CautionSoundName");
  store.dispErrorSummaryForError(0, 1, std::nullopt, true);
  setPlatform(nullptr);
  EXPECT_EQ(sounds.playedSounds(), std::vector<std::string>{"ErrorSound"});
}

TEST_F(ErrorBrowserTest, DeletingRowsReplacesOrRemovesTheEntry) {
  auto a = record(doc, "NoSuchElementName", 1, 1);
  auto b = record(doc, "WrongAmpersand", 5, 1);
  store.mergeErrorLocations({a, b}, &doc);
  const std::optional<std::string> digest = store.entryForObject(&doc)->digest;

  store.deleteRowItem(a);
  const VmkResultEntry* entry = store.entryForObject(&doc);
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->locations, VmkErrorLocationList{b});
  EXPECT_EQ(entry->digest, digest);
  EXPECT_TRUE(store.view().isItemExpanded(&doc));

  store.deleteRowItem(b);  // the last row of the entry: the entry goes
  EXPECT_EQ(store.entryForObject(&doc), nullptr);
  // The deleted row was the last one; the row above (the now-gone entry's place) is empty.
  EXPECT_TRUE(store.rowItems().empty());
}

TEST_F(ErrorBrowserTest, DescriptionsOfRowsAndSelectionOfRecords) {
  auto r = record(doc, "NoSuchElementName", 7, 3, {u"blink"});
  store.addErrorLocation(r, &doc);
  store.selectHTMLSourceForRowItem(r, true);
  EXPECT_EQ(doc.selectedRange(), Range(7, 3));
  EXPECT_EQ(
      store.headlessView().description(),
      u"\nH002:  Element <blink> is not defined in this document type\n\n" + r->errorDescription());
  store.setErrorDescriptionForItem(ResultObject(&doc));
  EXPECT_EQ(store.headlessView().description(), u"\n/tmp/page.html\n\n1 errors were found!");
}

}  // namespace
}  // namespace vmk
