// Link checks from the editor: the document's links (with its markup) and the site from it,
// reported as diagnostics with their L numbers, with work-done progress, for pages the editor
// has not opened too.
#include <gtest/gtest.h>

#include "LspTestSupport.h"
#include "TestSupport.h"
#include "host/lsp/LspDocument.h"

namespace vmk::testing {
namespace {

const char* kHead =
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\" "
    "\"http://www.w3.org/TR/html4/loose.dtd\">\n<html><head><title>t</title></head><body>\n";

std::vector<std::string> codesOf(const json& publish) {
  std::vector<std::string> codes;
  for (const json& d : publish["params"]["diagnostics"]) codes.push_back(d["code"]);
  std::sort(codes.begin(), codes.end());
  return codes;
}

// The last diagnostics published for an address among the messages.
std::optional<json> lastFor(const std::vector<json>& published, const std::string& uri) {
  std::optional<json> last;
  for (const json& message : published) {
    if (message["params"]["uri"] == uri) last = message;
  }
  return last;
}

TEST(LinkChecks, TheDocumentsLinksAsDiagnosticsKeptThroughLaterChecks) {
  TempFolder site;
  site.write("there.html", std::string(kHead) + "<p>x</p></body></html>\n");
  const std::string page = std::string(kHead) +
                           "<p><a href=\"there.html\">a</a> <a href=\"missing.html\">b</a></p>\n" +
                           "</body></html>\n";
  const std::string uri = lsp::fileURIFromPath(site.write("page.html", page));
  TestClient client;
  client.initialize({{"debounce", 100}, {"settings", {{"CheckRemoteLinks", false}}}});
  client.open(uri, page);
  client.takeAll();
  const json response = client.request(
      "workspace/executeCommand",
      {{"command", "velumark.checkLinks"}, {"arguments", {uri}}, {"workDoneToken", "tok"}});
  EXPECT_TRUE(response.contains("result")) << response.dump();
  client.advance(5000);
  const std::vector<json> progress = client.take("$/progress");
  ASSERT_GE(progress.size(), 2u);
  EXPECT_EQ(progress.front()["params"]["token"], "tok");
  EXPECT_EQ(progress.front()["params"]["value"]["kind"], "begin");
  EXPECT_EQ(progress.back()["params"]["value"]["kind"], "end");
  std::optional<json> published = lastFor(client.take("textDocument/publishDiagnostics"), uri);
  ASSERT_TRUE(published);
  EXPECT_EQ(codesOf(*published), (std::vector<std::string>{"L002"})) << published->dump(2);
  const int column = (*published)["params"]["diagnostics"][0]["range"]["start"]["character"];

  // Typing and the check after it keep the link's diagnostic, moved with the text.
  client.change(uri, 2, 2, 0, 2, 0, "  ");
  client.advance(100);
  published = lastFor(client.take("textDocument/publishDiagnostics"), uri);
  ASSERT_TRUE(published);
  EXPECT_EQ(codesOf(*published), (std::vector<std::string>{"L002"}));
  EXPECT_EQ((*published)["params"]["diagnostics"][0]["range"]["start"],
            (json{{"line", 2}, {"character", column + 2}}));
}

TEST(LinkChecks, ASiteCheckShowsPagesTheEditorHasNotOpenedUntilTheNextCheck) {
  TempFolder site;
  site.write("sub.html", std::string(kHead) + "<p><a href=\"gone.html\">x</a></p></body></html>\n");
  const std::string page =
      std::string(kHead) + "<p><a href=\"sub.html\">a</a></p>\n</body></html>\n";
  const std::string uri = lsp::fileURIFromPath(site.write("page.html", page));
  const std::string subUri = lsp::fileURIFromPath(site.file("sub.html"));
  TestClient client;
  client.initialize({{"settings", {{"CheckRemoteLinks", false}, {"RecursiveMaxDepth", 2}}}});
  client.open(uri, page);
  client.takeAll();
  client.request("workspace/executeCommand",
                 {{"command", "velumark.checkSite"}, {"arguments", {{{"uri", uri}}}}});
  client.advance(60000);
  const std::vector<json> published = client.take("textDocument/publishDiagnostics");
  std::optional<json> sub = lastFor(published, subUri);
  ASSERT_TRUE(sub) << "no diagnostics for the page the check read";
  EXPECT_EQ(codesOf(*sub), (std::vector<std::string>{"L002"})) << sub->dump(2);
  // Requests about it are refused: the editor has not opened it.
  EXPECT_TRUE(client
                  .request("textDocument/hover", {{"textDocument", {{"uri", subUri}}},
                                                  {"position", {{"line", 0}, {"character", 0}}}})
                  .contains("error"));

  // The next check starts by clearing what the last one showed of such pages.
  client.request("workspace/executeCommand",
                 {{"command", "velumark.checkLinks"}, {"arguments", {uri}}});
  std::optional<json> cleared = lastFor(client.take("textDocument/publishDiagnostics"), subUri);
  ASSERT_TRUE(cleared);
  EXPECT_TRUE((*cleared)["params"]["diagnostics"].empty());
  client.advance(60000);
}

}  // namespace
}  // namespace vmk::testing
