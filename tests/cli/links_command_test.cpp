// velumark links and velumark site end to end: the built binary against the tests' own
// loopback server.
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/CliTestSupport.h"
#include "links/TestHttpServer.h"
#include "support/Paths.h"

namespace {

namespace fs = std::filesystem;
using vmk::testing::RunResult;

std::string page(const std::string& body) {
  return "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\" "
         "\"http://www.w3.org/TR/html4/loose.dtd\">\n<html><head><title>t</title></head><body>\n" +
         body + "\n</body></html>\n";
}

class LinksCommandTest : public vmk::testing::CliTest {
 protected:
  // The tests name their files relative to the test's folder.
  void SetUp() override {
    CliTest::SetUp();
    workingFolder_ = root_.string();
  }

  vmk::test::TestHttpServer server;
};

TEST_F(LinksCommandTest, LinkErrorsAreOrdinaryEntriesAtTheAttributeValue) {
  const std::string s = server.origin();
  writeFile("there.html", page(""));
  writeFile("a.html", page("<a href=\"" + s +
                           "/status/404\">x</a>\n<a href=\"there.html\">ok</a> "
                           "<a href=\"gone.html\">g</a>\n<a href=\"mailto:a@b.example\">m</a>"));
  RunResult r = run({"links", "a.html"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out,
            "a.html:3:10: error: L006 Link is broken (404 Not Found) [ClientError]\n"
            "a.html:4:38: error: L002 Linked file \"gone.html\" not found "
            "[LocalDocumentNotFound]\n"
            "a.html:5:10: caution: L004 This link cannot be checked: mailto:a@b.example "
            "[CantCheckThisURL]\n"
            "a.html: Link Check: 2 errors and 1 cautions were found!\n");
  // Standard error is not a terminal: no progress line.
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(server.requestCount("/status/404"), 1u);
}

TEST_F(LinksCommandTest, SwitchesAndSetChangeTheRunOnly) {
  const std::string s = server.origin();
  writeFile("a.html", page("<a href=\"" + s +
                           "/status/404\">x</a> <a href=\"gone.html\">g</a> "
                           "<a href=\"javascript:void(0)\">j</a>"));
  RunResult remoteOff = run({"links", "--no-remote", "a.html"});
  EXPECT_EQ(remoteOff.status, 1);
  EXPECT_EQ(remoteOff.out.find("ClientError"), std::string::npos);
  EXPECT_EQ(remoteOff.out.find("CantCheckThisURL"), std::string::npos);
  RunResult localOff = run({"links", "--no-local", "--no-warn-unsupported", "a.html"});
  EXPECT_EQ(localOff.out.find("LocalDocumentNotFound"), std::string::npos);
  EXPECT_EQ(localOff.out.find("CantCheckThisURL"), std::string::npos);
  EXPECT_NE(localOff.out.find("ClientError"), std::string::npos);
  RunResult set =
      run({"links", "--set", "CheckRemoteLinks=false", "--set", "CheckLocalLinks=false", "a.html"});
  EXPECT_EQ(set.status, 0);
  EXPECT_EQ(set.out, "a.html: Link Check: Any errors and warnings were not found!\n");
  EXPECT_EQ(server.requestCount("/status/404"), 1u);
  EXPECT_FALSE(fs::exists(root_ / "config" / "velumark" / "org.velumark.VelumarkX.plist"));
}

TEST_F(LinksCommandTest, TimeOutWithHtmlAndADocumentWithoutTags) {
  writeFile("slow.html",
            page("<a href=\"" + server.url("/slow/4000") + "\">s</a> <blink>b</blink>"));
  const auto started = std::chrono::steady_clock::now();
  RunResult r = run({"links", "--with-html", "--timeout", "1", "slow.html"});
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("[OtherLinkError]"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("slow.html: Both Check: "), std::string::npos) << r.out;
  // The markup errors are reported too.
  EXPECT_NE(r.out.find("[NoSuchElementName]"), std::string::npos) << r.out;

  writeFile("words.txt", "no markup at all\n");
  RunResult words = run({"links", "words.txt"});
  EXPECT_EQ(words.status, 0);
  EXPECT_EQ(words.out, "words.txt: Link Check: Any errors and warnings were not found!\n");
}

TEST_F(LinksCommandTest, SiteFromAnAddressListsEveryPageInCheckOrder) {
  server.addPage("/s/index.html", "text/html; charset=utf-8",
                 page("<a href=\"one.html\">1</a> <a href=\"gone.html\">g</a>"));
  server.addPage("/s/one.html", "text/html", page("<a href=\"two.html\">2</a>"));
  server.addPage("/s/two.html", "text/html", page("end"));
  const std::string start = server.url("/s/index.html");
  RunResult r = run({"site", "--depth", "1", "--mode", "links", "--format", "json", start});
  EXPECT_EQ(r.status, 1);
  const nlohmann::json report = nlohmann::json::parse(r.out);
  ASSERT_EQ(report["files"].size(), 2u) << r.out;
  EXPECT_EQ(report["files"][0]["path"], start);
  EXPECT_EQ(report["files"][1]["path"], server.url("/s/one.html"));
  EXPECT_EQ(report["files"][0]["errors"][0]["code"], "ClientError");
  EXPECT_EQ(server.requestCount("/s/two.html"), 1u);  // probed, not opened

  RunResult deeper = run({"site", "--depth", "2", start});
  EXPECT_NE(deeper.out.find(server.url("/s/two.html") + ": "), std::string::npos) << deeper.out;
  EXPECT_NE(deeper.out.find("Recursive Check: 1 errors were found!"), std::string::npos)
      << deeper.out;
}

TEST_F(LinksCommandTest, SiteFromAFileNamesThePagesByTheirPaths) {
  writeFile("site/index.html", page("<a href=\"sub/page.html\">p</a> <blink>x</blink>"));
  writeFile("site/sub/page.html", page("<a href=\"../missing.html\">m</a>"));
  RunResult html = run({"site", "--mode", "html", "--format", "json", "site/index.html"});
  const nlohmann::json report = nlohmann::json::parse(html.out);
  ASSERT_EQ(report["files"].size(), 2u) << html.out;
  EXPECT_EQ(report["files"][0]["path"], "site/index.html");
  EXPECT_EQ(report["files"][1]["path"], (fs::canonical(root_) / "site/sub/page.html").string());
  // Markup only: the broken link of the second page is not reported.
  EXPECT_EQ(html.out.find("LocalDocumentNotFound"), std::string::npos);
  EXPECT_EQ(html.status, 1);

  RunResult links = run({"site", "--mode", "links", "site/index.html"});
  EXPECT_NE(links.out.find("Linked file \"../missing.html\" not found"), std::string::npos)
      << links.out;
  EXPECT_EQ(links.out.find("blink"), std::string::npos) << links.out;
}

TEST_F(LinksCommandTest, ASiteStartThatCannotBeReadIsAUsageError) {
  RunResult r = run({"site", "missing.html"});
  EXPECT_EQ(r.status, 2);
  RunResult remote = run({"site", "http://127.0.0.1:1/none.html"});
  EXPECT_EQ(remote.status, 2);
  EXPECT_NE(remote.err.find("cannot load"), std::string::npos) << remote.err;
}

}  // namespace
