#include "plugin/QkChecker.h"

#include <gtest/gtest.h>

#include "engine/VmkHTMLChecker.h"
#include "host/headless/HeadlessDocumentController.h"
#include "host/headless/HeadlessPlatform.h"
#include "plugin_test_support.h"
#include "results/VmkErrorBrowser.h"
#include "support/Paths.h"

namespace vmk {
namespace {

const char kPage[] =
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\" "
    "\"http://www.w3.org/TR/html4/strict.dtd\">\n"
    "<html><head><title>t</title></head><body><p>a & b <blink>x</blink></p></body></html>\n";

class QkCheckerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setPlatform(&platform);
    principal.awakeFromNib();
    controller.setOpenListener([this](HeadlessDocument& d) { principal.documentDidOpened(d); });
    controller.setCloseListener([this](HeadlessDocument& d) { principal.documentDidClosed(d); });
    sharedErrorBrowser().clearAllErrors();
    path = (folders.root() / "page.html").string();
    writeFileAtomically(path, kPage);
  }
  void TearDown() override {
    controller.closeAll();
    sharedErrorBrowser().clearAllErrors();
    setPlatform(nullptr);
  }

  testing::PrivateFolders folders;
  HeadlessPlatform platform;
  HeadlessDocumentController controller;
  QkChecker principal{&controller};
  std::string path;
};

TEST_F(QkCheckerTest, StartUpInstallsTheDictionariesAndBecomesThePrincipal) {
  EXPECT_EQ(gQkCheckerInstance, &principal);
  const auto& names = principal.htmlDictionaryNames();
  EXPECT_NE(std::find(names.begin(), names.end(), u"HTML 4.01 Strict"), names.end());
  EXPECT_TRUE(std::filesystem::exists(principal.dictionaryPathWithName(u"HTML 4.01 Strict")));
}

TEST_F(QkCheckerTest, OpeningAnHtmlFileChecksItOnceAndClosingKeepsItsResults) {
  HostDocument* document = controller.openFile(path);
  ASSERT_NE(document, nullptr);
  const VmkResultEntry* entry = sharedErrorBrowser().entryForObject(document);
  ASSERT_NE(entry, nullptr);
  const size_t found = entry->locations.size();
  EXPECT_GE(found, 2u);
  EXPECT_EQ(principal.frontmostDocument(), document);

  const std::string fileName = document->fileName().value_or("");
  controller.close(*document);
  entry = sharedErrorBrowser().entryForObject(fileName);
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->locations.size(), found);
  EXPECT_EQ(entry->locations.front()->parent(), ErrorParent(fileName));

  // Opened again unchanged: the results come back without a new check.
  HostDocument* again = controller.openFile(path);
  ASSERT_NE(again, nullptr);
  entry = sharedErrorBrowser().entryForObject(again);
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->locations.front()->parent(), ErrorParent(again));
  EXPECT_EQ(sharedErrorBrowser().errorResultArray()->size(), 1u);
}

TEST_F(QkCheckerTest, WithoutOpeningAutoCheckNothingIsChecked) {
  sharedVmkUserDefaults().changeBoolValue(false, "Vmk_OpeningAutoCheck");
  HostDocument* document = controller.openFile(path);
  ASSERT_NE(document, nullptr);
  EXPECT_EQ(sharedErrorBrowser().entryForObject(document), nullptr);
}

TEST_F(QkCheckerTest, ClosingAnUntitledDocumentDropsItsResults) {
  HeadlessDocument* untitled =
      controller.addDocument(std::make_unique<HeadlessDocument>(toUtf16(kPage)));
  principal.validateHTMLfor(*untitled, false, false);
  ASSERT_NE(sharedErrorBrowser().entryForObject(untitled), nullptr);
  controller.close(*untitled);
  EXPECT_TRUE(sharedErrorBrowser().errorResultArray()->empty());
}

TEST_F(QkCheckerTest, ScriptingEntryPoints) {
  sharedVmkUserDefaults().changeBoolValue(false, "Vmk_OpeningAutoCheck");
  HostDocument* document = controller.openFile(path);
  ASSERT_NE(document, nullptr);
  EXPECT_EQ(principal.htmlDoctypeForDocument(*document), UString(u"HTML 4.01 Strict"));
  const int32_t count = principal.validateHTMLfor(*document, false, true);
  EXPECT_EQ(static_cast<size_t>(count),
            sharedErrorBrowser().entryForObject(document)->locations.size());
  EXPECT_EQ(platform.playedSounds(), std::vector<std::string>{"ErrorSound"});
  // Validating again replaces the results rather than adding to them.
  principal.validateHTMLfor(*document, false, false);
  EXPECT_EQ(static_cast<size_t>(count),
            sharedErrorBrowser().entryForObject(document)->locations.size());

  const std::string saved = (folders.root() / "results.txt").string();
  EXPECT_TRUE(principal.svaeErrorResultsTo(saved, 1));
  EXPECT_EQ(readFileContents(saved).value_or(""), sharedErrorBrowser().resultText(1));
  EXPECT_FALSE(principal.svaeErrorResultsTo(std::nullopt, 1));
  EXPECT_EQ(sharedVmkUserDefaults().integerForKey("Vmk_CheckResultSaveFormat"), 1);

  principal.clearErrorResults();
  EXPECT_EQ(sharedErrorBrowser().errorResultArray(), nullptr);
}

TEST_F(QkCheckerTest, EditsReachTheResultStore) {
  sharedVmkUserDefaults().changeBoolValue(false, "Vmk_OpeningAutoCheck");
  HeadlessDocument* document = controller.openFile(path, std::nullopt);
  ASSERT_NE(document, nullptr);
  document->setEditListener(
      [this](HostDocument& d, Range r, int64_t n) { principal.documentDidEdited(d, r, n); });
  principal.validateHTMLfor(*document, false, false);
  const VmkErrorLocationRef last = sharedErrorBrowser().entryForObject(document)->locations.back();
  const Range before = last->errorRange();
  ASSERT_TRUE(replaceTextInDocument(*document, Range(0, 0), u"\n\n"));
  EXPECT_EQ(last->errorRange(), Range(before.location + 2, before.length));
}

}  // namespace
}  // namespace vmk
