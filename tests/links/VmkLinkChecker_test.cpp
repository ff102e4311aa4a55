#include "links/VmkLinkChecker.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "LinkTestSupport.h"
#include "TestHttpServer.h"
#include "dictionary/DictionaryFolder.h"
#include "errors/ErrorCatalogue.h"
#include "host/Platform.h"
#include "host/headless/HeadlessDocumentController.h"
#include "host/headless/HeadlessPlatform.h"
#include "links/NetworkSession.h"
#include "plugin/plugin_test_support.h"
#include "results/VmkErrorBrowser.h"
#include "settings/VmkUserDefaults.h"
#include "support/Paths.h"

namespace vmk {
namespace {

std::string html(const std::string& body) {
  return "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\n"
         "<html><head><title>t</title></head><body>\n" +
         body + "\n</body></html>\n";
}

class LinkCheckerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setPlatform(&platform);
    initDictionaries();
    sharedErrorBrowser().clearAllErrors();
    checker.setDocumentController(&controller);
    checker.addCheckEndedHandler([this] { ++ended; });
    controller.setURLLoader(
        [this](const std::string& address) -> std::optional<HeadlessDocumentController::LoadedURL> {
          if (address.find("broken") != std::string::npos) return std::nullopt;
          std::optional<FetchedPage> page = fetchPage(address, 5, 1 << 20);
          if (!page) return std::nullopt;
          return HeadlessDocumentController::LoadedURL(page->bytes, page->charset);
        });
  }
  void TearDown() override {
    controller.closeAll();
    sharedErrorBrowser().clearAllErrors();
    setPlatform(nullptr);
  }

  VmkUserDefaults& settings() { return sharedVmkUserDefaults(); }

  HeadlessDocument* page(const std::string& name, const std::string& text) {
    const std::string path = (folders.root() / name).string();
    writeFileAtomically(path, text);
    return controller.openFile(path, std::nullopt);
  }
  HeadlessDocument* untitled(const std::string& text) {
    return controller.addDocument(std::make_unique<HeadlessDocument>(toUtf16(text)));
  }
  void checkLinks(HostDocument* document, bool withHTML = false) {
    ASSERT_NE(document, nullptr);
    sharedErrorBrowser().clearErrorLocationsForObject(document);
    checker.checkLinkForDocument(*document, withHTML, false);
    ASSERT_TRUE(testing::runLoopUntil([this] { return !checker.isChecking(); }));
  }
  void checkSite(HostDocument* document, int mode, int depth) {
    ASSERT_NE(document, nullptr);
    checker.setRunOnlySetting("Vmk_RecursiveCheckMode", mode);
    checker.setRunOnlySetting("Vmk_RecursiveMaxDepth", depth);
    checker.startRecursiveCheckFrom(*document, false);
    ASSERT_TRUE(testing::runLoopUntil([this] { return !checker.isChecking(); }));
  }
  // "Code:substring|substring" of the document's records in text order; only link codes
  // unless told otherwise.
  std::vector<std::string> found(HostDocument* document, bool all = false) {
    std::vector<std::string> lines;
    const VmkResultEntry* entry = sharedErrorBrowser().entryForObject(document);
    if (!entry) return lines;
    VmkErrorLocationList records = entry->locations;
    sortErrorLocations(records);
    for (const auto& record : records) {
      if (!all && !toUtf8(record->errorNumber()).starts_with("L")) continue;
      std::string line = record->errorCode() + ":";
      if (record->subStrings()) {
        for (size_t i = 0; i < record->subStrings()->size(); ++i) {
          line += (i ? "|" : "") + toUtf8((*record->subStrings())[i]);
        }
      }
      lines.push_back(line);
    }
    return lines;
  }
  std::string summary() { return toUtf8(sharedErrorBrowser().headlessView().message()); }
  std::vector<std::string> checkedNames() {
    std::vector<std::string> names;
    for (HostDocument* d : checker.checkedDocuments()) {
      std::string name = d->remoteURL().value_or(d->fileName().value_or("?"));
      names.push_back(name.substr(name.rfind('/') + 1));
    }
    // After the start page, pages come in the order their probes were answered.
    if (!names.empty()) std::sort(names.begin() + 1, names.end());
    return names;
  }

  testing::PrivateFolders folders;
  testing::NoProxyEnvironment noProxy;
  HeadlessPlatform platform;
  HeadlessDocumentController controller;
  test::TestHttpServer server;
  NetworkSession session{runLoop()};
  VmkLinkChecker checker{&session};
  int ended = 0;
};

TEST_F(LinkCheckerTest, EveryAnswerClassGivesItsCodeAndSubstrings) {
  const std::string s = server.origin();
  HeadlessDocument* d =
      untitled(html("<a href=\"" + s + "/html\">ok</a>\n<a href=\"" + s +
                    "/status/404\">x</a>\n<a href=\"" + s + "/status/418\">x</a>\n<img src=\"" + s +
                    "/status/503\" alt=\"\">\n<a href=\"" + s + "/status/301\">x</a>\n<a href=\"" +
                    s + "/nolocation/302\">x</a>\n<a href=\"" + s + "/continue/410\">x</a>\n" +
                    // A status past 599 counts as an answer without error.
                    "<a href=\"" + s + "/status/600\">x</a>"));
  checkLinks(d);
  EXPECT_EQ(found(d), (std::vector<std::string>{
                          "ClientError:404 Not Found|" + s + "/status/404",
                          "ClientError:418 Unknown status code|" + s + "/status/418",
                          "ServerError:503 Service Unavailable|" + s + "/status/503",
                          "Redirection:301 Moved Permanently|" + s + "/target/301",
                          "Redirection:302 Moved Temporarily|" + s + "/nolocation/302",
                          "ClientError:410 Gone|" + s + "/continue/410",
                      }));
  EXPECT_EQ(checker.totalCount(), 8);
  EXPECT_EQ(checker.finishedCount(), 8);
  EXPECT_EQ(checker.errorCount(), 4);
  EXPECT_EQ(checker.cautionCount(), 2);
  EXPECT_EQ(summary(), "Link Check: 4 errors and 2 cautions were found!");
  EXPECT_EQ(ended, 1);
  // Redirects are not followed: the target was never asked for.
  EXPECT_EQ(server.requestCount("/target/301"), 0u);
  // The record's range is the attribute value's.
  const VmkResultEntry* entry = sharedErrorBrowser().entryForObject(d);
  const UString& text = d->text();
  for (const auto& record : entry->locations) {
    const Range r = record->errorRange();
    EXPECT_TRUE(toUtf8(text.substr(r.location, r.length)).starts_with(s)) << record->errorCode();
  }
}

TEST_F(LinkCheckerTest, LocalLinksBaseElementAndFragments) {
  const std::string s = server.origin();
  writeFileAtomically((folders.root() / "there.html").string(), html(""));
  HeadlessDocument* d = page("index.html", html("<a href=\"there.html\">a</a>\n"
                                                "<a href=\"missing%20file.html\">b</a>\n"
                                                "<a href=\"#top\">c</a>\n"
                                                "<base href=\"" +
                                                s +
                                                "/status/\">\n"
                                                "<a href=\"404\">d</a>"));
  checkLinks(d);
  EXPECT_EQ(found(d), (std::vector<std::string>{"LocalDocumentNotFound:missing file.html",
                                                "ClientError:404 Not Found|" + s + "/status/404"}));
  EXPECT_EQ(checker.totalCount(), 4);
  // The base itself is never probed.
  EXPECT_EQ(server.requestCount("/status/"), 0u);
  EXPECT_EQ(server.totalRequests(), 1u);
}

TEST_F(LinkCheckerTest, LocalAndRemoteSwitchesDecideWhatIsProbedAndCounted) {
  const std::string s = server.origin();
  const std::string text =
      html("<a href=\"missing.html\">a</a> <a href=\"" + s + "/status/404\">b</a>");
  settings().changeBoolValue(false, "Vmk_CheckLocalLinks");
  HeadlessDocument* d = page("a.html", text);
  checkLinks(d);
  EXPECT_EQ(checker.totalCount(), 1);
  EXPECT_EQ(found(d), std::vector<std::string>{"ClientError:404 Not Found|" + s + "/status/404"});

  settings().changeBoolValue(true, "Vmk_CheckLocalLinks");
  settings().changeBoolValue(false, "Vmk_CheckRemoteLinks");
  server.clearLog();
  checkLinks(d);
  EXPECT_EQ(checker.totalCount(), 1);
  EXPECT_EQ(found(d), std::vector<std::string>{"LocalDocumentNotFound:missing.html"});
  EXPECT_EQ(server.totalRequests(), 0u);

  // With every link switched off the check ends at once with the empty summary.
  settings().changeBoolValue(false, "Vmk_CheckLocalLinks");
  checkLinks(d);
  EXPECT_EQ(checker.totalCount(), 0);
  EXPECT_EQ(summary(), "Link Check: Any errors and warnings were not found!");
}

TEST_F(LinkCheckerTest, LinksThatCannotBeAskedFor) {
  HeadlessDocument* d =
      untitled(html("<a href=\"rel/a.html\">a</a>\n"
                    "<a href=\"mailto:someone@example.org\">b</a>\n"
                    "<a href=\"a b.html\">c</a>\n"
                    "<a href=\"#here\">d</a>"));
  checkLinks(d);
  EXPECT_EQ(found(d),
            (std::vector<std::string>{"NoAbsolutePath:rel/a.html",
                                      "CantCheckThisURL:mailto:someone@example.org",
                                      "CantCheckThisURL:a b.html", "NoAbsolutePath:#here"}));
  EXPECT_EQ(checker.errorCount(), 2);
  EXPECT_EQ(checker.cautionCount(), 2);

  settings().changeBoolValue(false, "Vmk_WarnUnsupportedProtocol");
  checkLinks(d);
  EXPECT_EQ(found(d),
            (std::vector<std::string>{"NoAbsolutePath:rel/a.html", "NoAbsolutePath:#here"}));
  EXPECT_EQ(checker.finishedCount(), 4);
}

TEST_F(LinkCheckerTest, TheSameLinkTwiceIsProbedTwice) {
  const std::string link = "<a href=\"" + server.url("/status/404") + "\">x</a>";
  HeadlessDocument* d = untitled(html(link + link));
  checkLinks(d);
  EXPECT_EQ(checker.totalCount(), 2);
  EXPECT_EQ(found(d).size(), 2u);
  EXPECT_EQ(server.requestCount("/status/404"), 2u);
}

TEST_F(LinkCheckerTest, ACodeSwitchedOffRecordsNothingButTheProbeIsMade) {
  ASSERT_EQ(setErrorLevelForThisError(settings(), "ClientError", 0), ErrorSettingResult::Changed);
  HeadlessDocument* d = untitled(html("<a href=\"" + server.url("/status/404") + "\">x</a>"));
  checkLinks(d);
  EXPECT_TRUE(found(d).empty());
  EXPECT_EQ(checker.finishedCount(), 1);
  EXPECT_EQ(checker.errorCount(), 0);
  EXPECT_EQ(server.requestCount("/status/404"), 1u);
}

TEST_F(LinkCheckerTest, ATimeOutIsAnOtherLinkErrorWithinTheSetTime) {
  settings().changeFloatValue(1.0, "Vmk_LinkTimeout");
  HeadlessDocument* d = untitled(html("<a href=\"" + server.url("/slow/5000") + "\">x</a>"));
  const auto started = std::chrono::steady_clock::now();
  checkLinks(d);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
  const std::vector<std::string> lines = found(d);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(lines[0].starts_with("OtherLinkError:")) << lines[0];
  EXPECT_NE(lines[0].find("timed out"), std::string::npos) << lines[0];
  EXPECT_TRUE(lines[0].ends_with("|" + server.url("/slow/5000"))) << lines[0];
}

TEST_F(LinkCheckerTest, ProbesThatFinishAtOnceDoNotEndTheCheckDuringTheScan) {
  writeFileAtomically((folders.root() / "b.html").string(), "");
  HeadlessDocument* d = page("a.html", html("<a href=\"b.html\">1</a><a href=\"b.html\">2</a>"
                                            "<a href=\"" +
                                            server.url("/html") + "\">3</a>"));
  checker.checkLinkForDocument(*d, false, false);
  EXPECT_TRUE(checker.isChecking());
  EXPECT_EQ(checker.totalCount(), 3);
  EXPECT_EQ(checker.finishedCount(), 2);
  EXPECT_EQ(ended, 0);
  ASSERT_TRUE(testing::runLoopUntil([this] { return !checker.isChecking(); }));
  EXPECT_EQ(ended, 1);
}

TEST_F(LinkCheckerTest, CancelEndsWithWhatWasCountedAndLateAnswersAreIgnored) {
  const std::string slow = "<a href=\"" + server.url("/slow/1500") + "\">x</a>";
  HeadlessDocument* d = untitled(html(slow + slow + "<a href=\"x.html\">y</a>"));
  checker.checkLinkForDocument(*d, false, false);
  ASSERT_TRUE(testing::runLoopUntil([this] { return server.totalRequests() == 2; }));
  checker.cancelClicked();
  EXPECT_FALSE(checker.isChecking());
  EXPECT_EQ(checker.finishedCount(), 3);
  EXPECT_EQ(summary(), "Link Check: 1 errors were found!");
  testing::runLoopUntil([] { return false; }, std::chrono::milliseconds(300));
  EXPECT_EQ(found(d), std::vector<std::string>{"NoAbsolutePath:x.html"});
  EXPECT_EQ(ended, 1);
}

TEST_F(LinkCheckerTest, ADocumentClosedDuringItsCheckGetsNoLateRecords) {
  HeadlessDocument* d =
      untitled(html("<a href=\"" + server.url("/slow/300?status=404") + "\">x</a>"));
  checker.checkLinkForDocument(*d, false, false);
  ASSERT_TRUE(testing::runLoopUntil([this] { return server.totalRequests() == 1; }));
  checker.documentWillClose(*d);
  controller.close(*d);
  EXPECT_FALSE(checker.isChecking());
  EXPECT_TRUE(checker.checkedDocuments().empty());
  testing::runLoopUntil([] { return false; }, std::chrono::milliseconds(500));
  EXPECT_EQ(sharedErrorBrowser().entryForObject(d), nullptr);
  EXPECT_EQ(checker.errorCount(), 0);
  EXPECT_EQ(ended, 1);
}

TEST_F(LinkCheckerTest, ANewCheckSilentlyReplacesARunningOne) {
  HeadlessDocument* first = untitled(html("<a href=\"" + server.url("/slow/300") +
                                          "\">x</a>"
                                          "<a href=\"" +
                                          server.url("/status/404") + "\">y</a>"));
  checker.checkLinkForDocument(*first, false, false);
  HeadlessDocument* second = untitled(html("<a href=\"" + server.url("/status/500") + "\">z</a>"));
  checkLinks(second);
  testing::runLoopUntil([] { return false; }, std::chrono::milliseconds(500));
  EXPECT_TRUE(found(first).empty());
  EXPECT_EQ(found(second).size(), 1u);
  EXPECT_EQ(checker.totalCount(), 1);
  EXPECT_EQ(ended, 1);
}

TEST_F(LinkCheckerTest, TheCombinedCheckCountsTheMarkupToo) {
  HeadlessDocument* d = page("both.html", html("<blink>x</blink><a href=\"gone.html\">a</a>"));
  checkLinks(d, true);
  int errors = 0;
  int cautions = 0;
  sharedErrorBrowser().getErrorCount(errors, cautions, d);
  EXPECT_EQ(checker.errorCount(), errors);
  EXPECT_GE(found(d, true).size(), 2u);
  EXPECT_TRUE(summary().starts_with("Both Check: ")) << summary();
}

TEST_F(LinkCheckerTest, ADocumentWithoutTagsEndsWithoutADisplay) {
  HeadlessDocument* d = untitled("just words, no markup\n");
  checker.checkLinkForDocument(*d, false, false);
  EXPECT_FALSE(checker.isChecking());
  EXPECT_EQ(ended, 0);
  EXPECT_EQ(summary(), "");
}

// ---- Site check ----

class SiteCheckTest : public LinkCheckerTest {
 protected:
  void SetUp() override {
    LinkCheckerTest::SetUp();
    other = std::make_unique<test::TestHttpServer>("127.0.0.2");
    const std::string elsewhere = other->url("/status/404");
    server.addPage("/site/index.html", "text/html; charset=utf-8",
                   html("<a href=\"a.html\">a</a> <a href=\"b.html#x\">b</a> "
                        "<a href=\"b.html?q=1\">b</a> <a href=\"index.html\">self</a> "
                        "<img src=\"img.png\" alt=\"\"> <a href=\"missing.html\">m</a> "
                        "<a href=\"" +
                        elsewhere + "\">other</a>"));
    server.addPage(
        "/site/a.html", "text/html",
        html("<blink>old</blink> <a href=\"c.html\">c</a> <a href=\"missing2.html\">m</a>"));
    server.addPage("/site/b.html", "text/html; charset=iso-8859-1", html("no links"));
    server.addPage("/site/c.html", "text/html", html("<a href=\"d.html\">d</a>"));
    server.addPage("/site/img.png", "image/png", "png");
    start = controller.openURL(server.url("/site/index.html"));
    server.clearLog();
  }
  std::vector<std::string> allLinkErrors() {
    std::vector<std::string> lines;
    for (HostDocument* d : checker.checkedDocuments()) {
      for (const std::string& line : found(d)) lines.push_back(line);
    }
    return lines;
  }
  std::unique_ptr<test::TestHttpServer> other;
  HostDocument* start = nullptr;
};

TEST_F(SiteCheckTest, DepthOneChecksTheStartPageAndThePagesItLinksTo) {
  checkSite(start, 1, 1);
  EXPECT_EQ(checkedNames(), (std::vector<std::string>{"index.html", "a.html", "b.html"}));
  const std::string s = server.origin();
  EXPECT_EQ(allLinkErrors(), (std::vector<std::string>{
                                 "ClientError:404 Not Found|" + s + "/site/missing.html",
                                 "ClientError:404 Not Found|" + other->origin() + "/status/404",
                                 "ClientError:404 Not Found|" + s + "/site/missing2.html"}));
  // Probe plus opening for the pages; the probe only for the image, the start page's own link
  // and the page of depth 2.
  EXPECT_EQ(server.requestCount("/site/a.html"), 2u);
  EXPECT_EQ(server.requestCount("/site/b.html"), 2u);
  EXPECT_EQ(server.requestCount("/site/b.html?q=1"), 1u);
  EXPECT_EQ(server.requestCount("/site/index.html"), 1u);
  EXPECT_EQ(server.requestCount("/site/img.png"), 1u);
  EXPECT_EQ(server.requestCount("/site/c.html"), 1u);
  EXPECT_EQ(server.requestCount("/site/d.html"), 0u);
  EXPECT_EQ(other->requestCount("/status/404"), 1u);
  EXPECT_EQ(summary(), "Recursive Check: 3 errors were found!");
  EXPECT_EQ(ended, 1);
  // Mode 1 counts no markup errors (a.html has one).
  EXPECT_EQ(checker.errorCount(), 3);
}

TEST_F(SiteCheckTest, DepthZeroAndDepthTwo) {
  checkSite(start, 1, 0);
  EXPECT_EQ(checkedNames(), std::vector<std::string>{"index.html"});
  EXPECT_EQ(server.requestCount("/site/a.html"), 1u);

  server.clearLog();
  checkSite(start, 1, 2);
  EXPECT_EQ(checkedNames(), (std::vector<std::string>{"index.html", "a.html", "b.html", "c.html"}));
  EXPECT_EQ(server.requestCount("/site/d.html"), 1u);
}

TEST_F(SiteCheckTest, MarkupOnlyRecordsNoLinkErrorsAndLeavesOtherHostsAlone) {
  for (int depth : {0, 1}) {
    other->clearLog();
    checkSite(start, 0, depth);
    EXPECT_TRUE(allLinkErrors().empty()) << depth;
    EXPECT_EQ(other->totalRequests(), 0u);
  }
  // The pages are still found through their links; their markup is counted.
  EXPECT_EQ(checkedNames(), (std::vector<std::string>{"index.html", "a.html", "b.html"}));
  EXPECT_GE(checker.errorCount(), 1);

  checkSite(start, 2, 1);
  EXPECT_EQ(allLinkErrors().size(), 3u);
  EXPECT_GE(checker.errorCount(), 4);
}

TEST_F(SiteCheckTest, StartingClearsAllResultsAndTheSettingsHoldForTheCheckOnly) {
  HeadlessDocument* unrelated = untitled(html("<a href=\"x.html\">x</a>"));
  checkLinks(unrelated);
  ASSERT_FALSE(found(unrelated).empty());
  checkSite(start, 2, 0);
  EXPECT_EQ(sharedErrorBrowser().entryForObject(unrelated), nullptr);
  EXPECT_EQ(settings().integerForKey("Vmk_RecursiveCheckMode"), 1);
  EXPECT_EQ(settings().integerForKey("Vmk_RecursiveMaxDepth"), 1);
  EXPECT_TRUE(settings().boolForKey("Vmk_OpeningAutoCheck"));
  EXPECT_FALSE(settings().hasTemporaryValue("Vmk_OpeningAutoCheck"));
  EXPECT_FALSE(std::filesystem::exists(settings().settingsFilePath()));
}

TEST_F(SiteCheckTest, WhileRunningThePagesAreOpenedWithoutTheAutomaticCheck) {
  checker.setRunOnlySetting("Vmk_RecursiveCheckMode", 1);
  checker.startRecursiveCheckFrom(*start, false);
  EXPECT_FALSE(settings().boolForKey("Vmk_OpeningAutoCheck"));
  EXPECT_EQ(settings().integerForKey("Vmk_RecursiveCheckMode"), 1);
  ASSERT_TRUE(testing::runLoopUntil([this] { return !checker.isChecking(); }));
  EXPECT_TRUE(settings().boolForKey("Vmk_OpeningAutoCheck"));
}

TEST_F(SiteCheckTest, APageThatCannotBeOpenedCancelsTheCheck) {
  server.addPage("/site/broken.html", "text/html", html("x"));
  server.addPage(
      "/site/gateway.html", "text/html",
      html("<a href=\"broken.html\">b</a> <a href=\"" + server.url("/slow/2000") + "\">slow</a>"));
  HostDocument* d = controller.openURL(server.url("/site/gateway.html"));
  checkSite(d, 1, 1);
  ASSERT_EQ(platform.alerts().size(), 1u);
  EXPECT_EQ(toUtf8(platform.alerts()[0].title), "The check was canceled.");
  EXPECT_EQ(
      toUtf8(platform.alerts()[0].message),
      "An exceptional error occured when processing \"" + server.url("/site/broken.html") + "\".");
  EXPECT_EQ(ended, 1);
  EXPECT_TRUE(summary().starts_with("Recursive Check: ")) << summary();
}

TEST_F(SiteCheckTest, AStartPageWithoutTagsEndsAtOnce) {
  server.addPage("/site/plain.html", "text/html", "nothing but words");
  HostDocument* d = controller.openURL(server.url("/site/plain.html"));
  checker.startRecursiveCheckFrom(*d, false);
  EXPECT_FALSE(checker.isChecking());
  EXPECT_EQ(ended, 1);
  EXPECT_EQ(summary(), "Recursive Check: Any errors and warnings were not found!");
}

TEST_F(SiteCheckTest, ALocalSiteFollowsItsHTMLFilesByExtension) {
  std::filesystem::create_directories(folders.root() / "site");
  writeFileAtomically((folders.root() / "site/two.xhtml").string(),
                      html("<a href=\"gone.html\">g</a>"));
  writeFileAtomically((folders.root() / "site/pic.png").string(), "png");
  HeadlessDocument* root =
      page("site/one.html", html("<a href=\"two.xhtml\">2</a> <img src=\"pic.png\" alt=\"\">"));
  checkSite(root, 1, 1);
  EXPECT_EQ(checkedNames(), (std::vector<std::string>{"one.html", "two.xhtml"}));
  EXPECT_EQ(allLinkErrors(), std::vector<std::string>{"LocalDocumentNotFound:gone.html"});
}

}  // namespace
}  // namespace vmk
