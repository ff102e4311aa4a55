// The principal's entry points that need no window: renaming, the host and update version
// checks, the colour text, the toolbar identifiers, element help, the dictionaries menu and
// the tag commands it forwards.
#include <gtest/gtest.h>

#include <cmath>

#include "dictionary/DictionaryFolder.h"
#include "host/headless/HeadlessDocumentController.h"
#include "host/headless/HeadlessPlatform.h"
#include "plugin/ColorValue.h"
#include "plugin/ElementHelp.h"
#include "plugin/HostVersion.h"
#include "plugin/PluginInfo.h"
#include "plugin/QkChecker.h"
#include "plugin/QkDictBrowser.h"
#include "plugin/ToolbarItems.h"
#include "plugin_test_support.h"
#include "results/VmkErrorBrowser.h"
#include "support/Paths.h"
#include "transform/TagCommands.h"

namespace vmk {
namespace {

const char kPage[] =
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\" "
    "\"http://www.w3.org/TR/html4/strict.dtd\">\n"
    "<html><head><title>t</title></head><body><p class=a>x</p></body></html>\n";

class PrincipalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setPlatform(&platform);
    principal.awakeFromNib();
    controller.setCloseListener([this](HeadlessDocument& d) { principal.documentDidClosed(d); });
    sharedVmkUserDefaults().changeBoolValue(false, "Vmk_OpeningAutoCheck");
    path = (folders.root() / "page.html").string();
    writeFileAtomically(path, kPage);
  }
  void TearDown() override {
    controller.closeAll();
    sharedErrorBrowser().clearAllErrors();
    setPlatform(nullptr);
  }
  // The page, open, with the caret at the first occurrence of `at` (plus `offset`).
  HeadlessDocument& openPage(std::u16string_view at, uint32_t offset = 0) {
    HeadlessDocument* document = controller.openFile(path, std::nullopt);
    EXPECT_NE(document, nullptr);
    const size_t place = document->text().find(at);
    document->setSelectedRange(Range(uint32_t(place) + offset, 0), false);
    return *document;
  }

  testing::PrivateFolders folders;
  HeadlessPlatform platform;
  HeadlessDocumentController controller;
  QkChecker principal{&controller};
  std::string path;
};

TEST_F(PrincipalTest, ARenamedDocumentWithAFileIsShownAgain) {
  HeadlessDocument& document = openPage(u"<p");
  HeadlessDocument* untitled =
      controller.addDocument(std::make_unique<HeadlessDocument>(toUtf16(kPage)));
  const int before = sharedErrorBrowser().headlessView().reloadCount();
  principal.documentNameChanged(*untitled);
  EXPECT_EQ(sharedErrorBrowser().headlessView().reloadCount(), before);
  principal.documentNameChanged(document);
  EXPECT_EQ(sharedErrorBrowser().headlessView().reloadCount(), before + 1);
}

TEST_F(PrincipalTest, VersionString) {
  EXPECT_EQ(QkChecker::versionString(), "0.1.0");
}

TEST(HostVersionTest, HostsOlderThan136AreAskedToUninstall) {
  const HostVersionCheck old = checkHostVersion("1.35");
  EXPECT_FALSE(old.hostIsRecentEnough);
  EXPECT_EQ(old.title, u"Quilldesk X needs to be updated for this Velumark X");
  EXPECT_EQ(old.message,
            u"Quilldesk X Rev.1.36 or later is required in order to attach this Velumark X "
            u"plugin. Uninstall Velumark and update your Quilldesk X.");
  EXPECT_EQ(old.buttons, std::vector<UString>{u"Uninstall Velumark"});
  for (const char* version : {"1.36", "1.4", "2", "1.36.1", " 1.5b2"})
    EXPECT_TRUE(checkHostVersion(version).hostIsRecentEnough) << version;
  for (const char* version : {"1.3.6", "", "x1.5", "0.99"})
    EXPECT_FALSE(checkHostVersion(version).hostIsRecentEnough) << version;
}

TEST_F(PrincipalTest, TooOldAHostGetsTheAlertAndTheRemovalFlag) {
  EXPECT_TRUE(principal.checkHostVersion("1.36"));
  EXPECT_TRUE(platform.alerts().empty());
  EXPECT_FALSE(principal.removeVelumark());
  EXPECT_FALSE(principal.checkHostVersion("1.35"));
  ASSERT_EQ(platform.alerts().size(), 1u);
  EXPECT_EQ(platform.alerts()[0].buttons, std::vector<UString>{u"Uninstall Velumark"});
  EXPECT_TRUE(principal.removeVelumark());
}

TEST(UpdateVersionTest, NumbersDecideAndDottedPartsBreakTies) {
  using enum UpdateOutcome;
  EXPECT_EQ(compareUpdateVersions("0.1.0", std::nullopt), UpToDate);
  EXPECT_EQ(compareUpdateVersions("0.1.0", "0.1.0"), UpToDate);
  EXPECT_EQ(compareUpdateVersions("0.1.0", "0.0.9"), UpToDate);
  EXPECT_EQ(compareUpdateVersions("0.1.0", "0.2"), NewVersion);
  EXPECT_EQ(compareUpdateVersions("0.1.0", "0.1.1"), NewVersion);
  EXPECT_EQ(compareUpdateVersions("0.1.1", "0.1"), UpToDate);
  EXPECT_EQ(compareUpdateVersions("1.36", "1.4"), NewVersion);  // as numbers
  EXPECT_EQ(compareUpdateVersions("0.1.0", "soon"), UpToDate);
}

TEST_F(PrincipalTest, UpdateNotice) {
  PlistDict versions;
  auto offer = [&](const char* version) {
    PlistDict entry;
    entry.set("version", version);
    entry.set("url", "http://127.0.0.1:9/velumark.tar.gz");
    versions.set(std::string(kVelumarkBundleIdentifier), PlistValue(entry));
  };
  EXPECT_TRUE(principal.checkForUpdatesAndNotifyIfUnsuccessful(false, versions));
  EXPECT_TRUE(platform.alerts().empty());
  EXPECT_TRUE(principal.checkForUpdatesAndNotifyIfUnsuccessful(true, versions));
  ASSERT_EQ(platform.alerts().size(), 1u);
  EXPECT_EQ(platform.alerts()[0].title, u"Velumark X is up to date");

  offer("0.2.0");
  platform.clearRecords();
  platform.queueAlertAnswers({AlertButton::First, AlertButton::Second, AlertButton::Third});
  EXPECT_TRUE(principal.checkForUpdatesAndNotifyIfUnsuccessful(false, versions));
  ASSERT_EQ(platform.alerts().size(), 1u);
  EXPECT_EQ(platform.alerts()[0].buttons,
            (std::vector<UString>{u"Download and Show History", u"Cancel", u"Download"}));
  EXPECT_EQ(platform.openedURLs(), (std::vector<std::string>{"http://127.0.0.1:9/velumark.tar.gz",
                                                             "https://velumark.org/history.html"}));
  principal.checkForUpdatesAndNotifyIfUnsuccessful(false, versions);  // Cancel
  EXPECT_EQ(platform.openedURLs().size(), 2u);
  principal.checkForUpdatesAndNotifyIfUnsuccessful(false, versions);  // Download
  EXPECT_EQ(platform.openedURLs().size(), 3u);
  EXPECT_EQ(platform.openedURLs().back(), "http://127.0.0.1:9/velumark.tar.gz");
}

TEST(ColorValueTest, ComponentsAreTruncated) {
  EXPECT_EQ(quotedHTMLColorValue(1.0, 0.5, 0.0), u"\"#FF7F00\"");
  EXPECT_EQ(htmlColorValue(0.999, 0.003, 0.004), u"#FE0001");
  EXPECT_EQ(htmlColorValue(-1, 2, std::nan("")), u"#00FF00");
}

TEST_F(PrincipalTest, TheColourReplacesTheFrontDocumentsSelection) {
  EXPECT_FALSE(principal.colorPanelOKClicked(1, 1, 1));
  HeadlessDocument& document = openPage(u"a>");
  document.setSelectedRange(Range(document.selectedRange().location, 1), false);
  EXPECT_TRUE(principal.colorPanelOKClicked(1.0, 0.5, 0.0));
  EXPECT_NE(document.text().find(u"<p class=\"#FF7F00\">"), UString::npos);
  EXPECT_TRUE(document.canUndo());
}

TEST(ToolbarItemsTest, IdentifiersInTheirOrder) {
  std::vector<std::string_view> identifiers;
  for (const ToolbarItemModel& item : kDocumentToolbarItems) identifiers.push_back(item.identifier);
  EXPECT_EQ(identifiers, (std::vector<std::string_view>{
                             "ValidateHTML Item Identifier", "LinkCheck Item Identifier",
                             "BothkCheck Item Identifier", "RecursiveCheck Item Identifier",
                             "Beautify Item Identifier", "Minimize Item Identifier"}));
  EXPECT_EQ(kDocumentToolbarItems[2].image, "BothCheckIcon");
}

TEST_F(PrincipalTest, ElementHelpPages) {
  const std::string base(kElementReferenceBaseAddress);
  EXPECT_EQ(elementHelpAddress(u"P"), base + "block/p.html");
  EXPECT_EQ(elementHelpAddress(u"/td"), base + "tables/td.html");
  EXPECT_EQ(elementHelpAddress(u"!DOCTYPE"), base + "structure.html#doc");
  EXPECT_EQ(elementHelpAddress(u"blink"), base + "alist.html");
  EXPECT_EQ(elementHelpAddress(u"#data"), base + "alist.html");
  EXPECT_EQ(principal.openWDGHelpForElement(u"link"), base + "head/link.html");
  EXPECT_EQ(platform.openedURLs(), std::vector<std::string>{base + "head/link.html"});
}

TEST_F(PrincipalTest, DictionariesMenuOpensTheBrowserAndShowsTheFolder) {
  const std::vector<DictionariesMenuItem> menu = principal.dictionariesMenu();
  const auto& names = principal.htmlDictionaryNames();
  ASSERT_EQ(menu.size(), names.size() + 2);
  for (size_t i = 0; i < names.size(); ++i) {
    EXPECT_EQ(menu[i].kind, DictionariesMenuItem::Kind::Dictionary);
    EXPECT_EQ(menu[i].title, names[i]);
  }
  EXPECT_EQ(menu[names.size()].kind, DictionariesMenuItem::Kind::Separator);
  EXPECT_EQ(menu.back().kind, DictionariesMenuItem::Kind::ShowFolder);
  EXPECT_EQ(menu.back().title, u"Show in Finder");

  QkDictBrowser& browser = QkDictBrowser::sharedDictBrowser();
  const int opened = browser.openCount();
  EXPECT_TRUE(
      principal.openHTMLDictionary({DictionariesMenuItem::Kind::Dictionary, u"XHTML 1.0 Strict"}));
  EXPECT_EQ(browser.openCount(), opened + 1);
  EXPECT_EQ(browser.title(), u"XHTML 1.0 Strict");
  EXPECT_FALSE(principal.openHTMLDictionaryWithName(u"No Such Dictionary"));
  EXPECT_FALSE(principal.openHTMLDictionary(menu[names.size()]));

  EXPECT_TRUE(principal.openHTMLDictionary(menu.back()));
  EXPECT_EQ(platform.revealedFolders(), std::vector<std::string>{dictionariesFolderPath()});
}

TEST_F(PrincipalTest, TagCommandsThroughThePrincipal) {
  HeadlessDocument& document = openPage(u"p class", 1);
  EXPECT_EQ(principal.selectTagFor(document), kStartTag);
  EXPECT_EQ(document.selectedRange().length, 11u);  // <p class=a>, wide
  EXPECT_EQ(principal.getTagNameFor(document), u"p");
  EXPECT_TRUE(principal.selectPairTagFor(document));
  EXPECT_EQ(principal.getTagNameFor(document), u"/p");
  EXPECT_TRUE(principal.htmlElementHelpFor(document));
  QkDictBrowser& browser = QkDictBrowser::sharedDictBrowser();
  EXPECT_EQ(browser.title(), u"HTML 4.01 Strict");
  EXPECT_EQ(browser.currentElement(), u"P");

  EXPECT_TRUE(principal.selectElementFor(document));
  EXPECT_EQ(document.selectedRange().length, 16u);  // <p class=a>x</p>
  document.setSelectedRange(Range(document.selectedRange().location + 1, 0), false);
  EXPECT_TRUE(principal.setAttribute(u"title", u"x y", document));
  EXPECT_NE(document.text().find(u"<p class=a title=\"x y\">"), UString::npos);
  EXPECT_TRUE(principal.isEmptyElement(u"br", document));
  EXPECT_FALSE(principal.isInElement(u"p", document));
  EXPECT_EQ(platform.beepCount(), 0);
}

}  // namespace
}  // namespace vmk
