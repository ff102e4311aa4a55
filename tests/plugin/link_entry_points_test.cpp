// The principal's link entry points: what they clear, which check they start, and the script
// form of the site check, whose mode and depth hold for that check only.
#include <gtest/gtest.h>

#include "host/Platform.h"
#include "host/RunLoop.h"
#include "host/headless/HeadlessDocumentController.h"
#include "host/headless/HeadlessPlatform.h"
#include "links/VmkLinkChecker.h"
#include "plugin/QkChecker.h"
#include "plugin_test_support.h"
#include "results/VmkErrorBrowser.h"
#include "settings/VmkUserDefaults.h"
#include "support/Paths.h"

namespace vmk {
namespace {

const char kPage[] =
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\" "
    "\"http://www.w3.org/TR/html4/strict.dtd\">\n"
    "<html><head><title>t</title></head><body><p><a href=\"gone.html\">g</a> "
    "<blink>x</blink></p></body></html>\n";

class LinkEntryPointsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setPlatform(&platform);
    principal.awakeFromNib();
    sharedErrorBrowser().clearAllErrors();
    const std::string path = (folders.root() / "page.html").string();
    writeFileAtomically(path, kPage);
    document = controller.openFile(path);
    ASSERT_NE(document, nullptr);
  }
  void TearDown() override {
    controller.closeAll();
    sharedErrorBrowser().clearAllErrors();
    setPlatform(nullptr);
  }
  void waitForEnd() {
    while (sharedLinkChecker().isChecking()) runLoop().runOnce(std::chrono::milliseconds(20));
  }
  std::vector<std::string> codes() {
    std::vector<std::string> list;
    if (const VmkResultEntry* entry = sharedErrorBrowser().entryForObject(document)) {
      for (const auto& record : entry->locations) list.push_back(record->errorCode());
    }
    std::sort(list.begin(), list.end());
    return list;
  }
  std::string summary() { return toUtf8(sharedErrorBrowser().headlessView().message()); }

  testing::PrivateFolders folders;
  HeadlessPlatform platform;
  HeadlessDocumentController controller;
  QkChecker principal{&controller};
  HostDocument* document = nullptr;
};

TEST_F(LinkEntryPointsTest, LinkCheckBothCheckAndTheScriptValidation) {
  principal.checkLinksFor(*document);
  waitForEnd();
  EXPECT_EQ(codes(), std::vector<std::string>{"LocalDocumentNotFound"});
  EXPECT_EQ(summary(), "Link Check: 1 errors were found!");
  EXPECT_EQ(platform.playedSounds().size(), 1u);

  principal.checkBothFor(*document);
  waitForEnd();
  const std::vector<std::string> both = codes();
  EXPECT_GT(both.size(), 1u);
  EXPECT_TRUE(summary().starts_with("Both Check: ")) << summary();

  principal.validateHTMLfor(*document, true, false);
  waitForEnd();
  EXPECT_EQ(codes(), both);
  principal.validateHTMLfor(*document, false, false);
  const std::vector<std::string> markupOnly = codes();
  EXPECT_EQ(std::count(markupOnly.begin(), markupOnly.end(), "LocalDocumentNotFound"), 0);
}

TEST_F(LinkEntryPointsTest, TheScriptedSiteCheckKeepsTheUsersSettings) {
  VmkUserDefaults& settings = sharedVmkUserDefaults();
  settings.changeIntValue(2, "Vmk_RecursiveCheckMode");
  const auto fileBefore = readFileContents(settings.settingsFilePath());

  principal.recursiveCheckFor(*document, 3, false, false, false);
  principal.recursiveCheckFor(*document, -1, true, true, false);
  EXPECT_FALSE(sharedLinkChecker().isChecking());

  principal.recursiveCheckFor(*document, 0, true, false, false);
  waitForEnd();
  // Links only: the markup error is neither shown nor counted.
  EXPECT_EQ(codes(), std::vector<std::string>{"LocalDocumentNotFound"});
  EXPECT_EQ(summary(), "Recursive Check: 1 errors were found!");
  EXPECT_EQ(settings.integerForKey("Vmk_RecursiveCheckMode"), 2);
  EXPECT_EQ(settings.integerForKey("Vmk_RecursiveMaxDepth"), 1);
  EXPECT_EQ(readFileContents(settings.settingsFilePath()), fileBefore);
}

}  // namespace
}  // namespace vmk
