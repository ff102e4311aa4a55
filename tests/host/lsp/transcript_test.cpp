// A whole conversation with the server, as an editor holds it: initialize, open a page, get
// its diagnostics, type (the diagnostics follow the text, then the quiet-time check refreshes
// them), ask for hover and completion, close, shut down.
#include <gtest/gtest.h>

#include <algorithm>

#include <filesystem>
#include "LspTestSupport.h"

#include "results/VmkErrorBrowser.h"
#include "settings/VmkUserDefaults.h"

namespace vmk::testing {
namespace {

const std::string& kUri = kPageUri;
const std::string kPage = kTransitionalHead +
                          "<html><head><title>t</title></head>\n"
                          "<body>\n"
                          "<p>a <img src=\"x.png\"></p>\n"
                          "</body></html>\n";

TEST(Transcript, OpenTypeHoverCompleteClose) {
  TestClient client;
  const json init = client.initialize({{"debounce", 300}});
  const json& capabilities = init["result"]["capabilities"];
  EXPECT_EQ(capabilities["positionEncoding"], "utf-16");
  EXPECT_EQ(capabilities["textDocumentSync"]["change"], 2);
  EXPECT_TRUE(capabilities["hoverProvider"].get<bool>());

  client.open(kUri, kPage, 1);
  std::vector<json> published = client.take("textDocument/publishDiagnostics");
  ASSERT_EQ(published.size(), 1u);
  EXPECT_EQ(published[0]["params"]["uri"], kUri);
  EXPECT_EQ(published[0]["params"]["version"], 1);
  EXPECT_EQ(diagnosticStrings(published[0]), (std::vector<std::string>{"H073@3:5-3:22"}));
  const json& diagnostic = published[0]["params"]["diagnostics"][0];
  EXPECT_EQ(diagnostic["source"], "velumark");
  EXPECT_EQ(diagnostic["severity"], 1);  // an error
  EXPECT_EQ(diagnostic["message"], "<IMG> has no \"alt\" text");
  EXPECT_EQ(diagnostic["data"]["errorCode"], "NoAltAttributeForImg");
  EXPECT_FALSE(diagnostic["data"]["description"].get<std::string>().empty());
  // The element page's address is only written into the diagnostic; nothing requests it.
  EXPECT_EQ(diagnostic["codeDescription"]["href"],
            "https://reference.velumark.org/html40/special/img.html");

  // Typing before the image moves its diagnostic at once; the check comes after the quiet
  // time, not before.
  client.change(kUri, 2, 3, 0, 3, 0, "XY");
  published = client.take("textDocument/publishDiagnostics");
  ASSERT_EQ(published.size(), 1u);
  EXPECT_EQ(published[0]["params"]["version"], 2);
  EXPECT_EQ(diagnosticStrings(published[0]), (std::vector<std::string>{"H073@3:7-3:24"}));
  client.advance(299);
  EXPECT_TRUE(client.take("textDocument/publishDiagnostics").empty());
  // More typing starts the quiet time again.
  client.change(kUri, 3, 3, 2, 3, 2, "Z");
  client.take("textDocument/publishDiagnostics");
  client.advance(299);
  EXPECT_TRUE(client.take("textDocument/publishDiagnostics").empty());
  client.advance(1);
  published = client.take("textDocument/publishDiagnostics");
  ASSERT_EQ(published.size(), 1u);
  EXPECT_EQ(diagnosticStrings(published[0]), (std::vector<std::string>{"H073@3:8-3:25"}));

  // Deleting the image leaves its diagnostic on no text until the check drops it.
  client.change(kUri, 4, 3, 8, 3, 25, "");
  published = client.take("textDocument/publishDiagnostics");
  ASSERT_EQ(published.size(), 1u);
  EXPECT_EQ(diagnosticStrings(published[0]), (std::vector<std::string>{"H073@3:8-3:8"}));
  client.advance(300);
  published = client.take("textDocument/publishDiagnostics");
  ASSERT_EQ(published.size(), 1u);
  EXPECT_TRUE(diagnosticStrings(published[0]).empty());

  // Hover on an element name: the dictionary's rules for it.
  const json position{{"line", 3}, {"character", 4}};
  json hover = client.request("textDocument/hover",
                              {{"textDocument", {{"uri", kUri}}}, {"position", position}});
  ASSERT_TRUE(hover["result"].is_object()) << hover.dump();
  const std::string value = hover["result"]["contents"]["value"];
  EXPECT_NE(value.find("`<P>`  HTML 4.01 Transitional"), std::string::npos) << value;
  EXPECT_NE(value.find("End tag is both omissible."), std::string::npos);
  EXPECT_NE(value.find("`align`"), std::string::npos);
  EXPECT_NE(value.find("**Parents:**"), std::string::npos);
  EXPECT_EQ(hover["result"]["range"]["start"], (json{{"line", 3}, {"character", 3}}));

  // Completion of attribute names inside the start tag, required ones first.
  client.change(kUri, 5, 3, 8, 3, 8, "<img s");
  const json complete = client.request(
      "textDocument/completion",
      {{"textDocument", {{"uri", kUri}}}, {"position", {{"line", 3}, {"character", 14}}}});
  std::vector<std::string> labels;
  for (const json& item : complete["result"]["items"]) labels.push_back(item["label"]);
  EXPECT_EQ(labels, (std::vector<std::string>{"src", "style"}));

  // Closing clears the buffer's diagnostics.
  client.notify("textDocument/didClose", {{"textDocument", {{"uri", kUri}}}});
  published = client.take("textDocument/publishDiagnostics");
  ASSERT_EQ(published.size(), 1u);
  EXPECT_TRUE(published[0]["params"]["diagnostics"].empty());

  EXPECT_TRUE(client.request("shutdown")["result"].is_null());
  client.notify("exit");
  EXPECT_EQ(client.server().exitCode(), 0);
}

TEST(Transcript, SavingChecksAtOnce) {
  TestClient client;
  client.initialize({{"validateOnType", false}});
  client.open(kUri, kPage);
  client.take("textDocument/publishDiagnostics");
  client.change(kUri, 2, 3, 21, 3, 21, " alt=\"\"");
  // The moved diagnostic only; no check is due while typing checks are off.
  EXPECT_EQ(client.take("textDocument/publishDiagnostics").size(), 1u);
  client.advance(10000);
  EXPECT_TRUE(client.take("textDocument/publishDiagnostics").empty());
  client.notify("textDocument/didSave", {{"textDocument", {{"uri", kUri}}}});
  std::vector<json> published = client.take("textDocument/publishDiagnostics");
  ASSERT_EQ(published.size(), 1u);
  EXPECT_TRUE(diagnosticStrings(published[0]).empty());
}

// A page with more records than edits are followed for.
std::string pageWithImages(int images) {
  std::string page =
      "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\" "
      "\"http://www.w3.org/TR/html4/loose.dtd\">\n<html><head><title>t</title></head><body>\n";
  for (int i = 0; i < images; ++i) page += "<p><img src=\"x.png\"></p>\n";
  return page + "</body></html>\n";
}

TEST(Transcript, AboveTheTrackingLimitTheServerChecksInsteadOfPublishingStaleRanges) {
  TestClient client;
  client.initialize({{"debounce", 300}});
  client.open(kUri, pageWithImages(151));
  std::vector<json> published = client.take("textDocument/publishDiagnostics");
  ASSERT_EQ(published.size(), 1u);
  ASSERT_EQ(published[0]["params"]["diagnostics"].size(), 151u);
  client.change(kUri, 2, 2, 0, 2, 0, "X");
  EXPECT_TRUE(client.take("textDocument/publishDiagnostics").empty());
  client.advance(300);
  published = client.take("textDocument/publishDiagnostics");
  ASSERT_EQ(published.size(), 1u);
  EXPECT_EQ(published[0]["params"]["diagnostics"][0]["range"]["start"],
            (json{{"line", 2}, {"character", 4}}));

  // At the limit the ranges follow the edit.
  TestClient small;
  small.initialize({{"debounce", 300}});
  small.open(kUri, pageWithImages(150));
  small.take("textDocument/publishDiagnostics");
  small.change(kUri, 2, 2, 0, 2, 0, "X");
  published = small.take("textDocument/publishDiagnostics");
  ASSERT_EQ(published.size(), 1u);
  EXPECT_EQ(published[0]["params"]["diagnostics"][0]["range"]["start"],
            (json{{"line", 2}, {"character", 4}}));
}

TEST(Transcript, ReopeningAnUnchangedBufferTakesOverItsResults) {
  TestClient client;
  client.initialize();
  client.open(kUri, kPage);
  EXPECT_EQ(client.take("textDocument/publishDiagnostics").size(), 1u);
  client.notify("textDocument/didClose", {{"textDocument", {{"uri", kUri}}}});
  client.take("textDocument/publishDiagnostics");
  // The results live on under the file's path until it is opened again.
  const VmkResultEntry* kept =
      sharedErrorBrowser().entryForObject(std::string("/nowhere/page.html"));
  ASSERT_NE(kept, nullptr);
  client.open(kUri, kPage);
  std::vector<json> published = client.take("textDocument/publishDiagnostics");
  ASSERT_EQ(published.size(), 1u);
  EXPECT_EQ(diagnosticStrings(published[0]), (std::vector<std::string>{"H073@3:5-3:22"}));
}

TEST(Transcript, ConfigurationChangesSettingsAndChecksAgain) {
  TestClient client;
  client.initialize({{"debounce", 0}, {"errors", {{"H073", 0}}}});
  client.open(kUri, kPage);
  std::vector<json> published = client.take("textDocument/publishDiagnostics");
  ASSERT_EQ(published.size(), 1u);
  EXPECT_TRUE(diagnosticStrings(published[0]).empty());
  // A new configuration replaces the old: the error is back to its level.
  client.notify("workspace/didChangeConfiguration",
                {{"settings", {{"velumark", {{"settings", {{"FollowsDoctype", true}}}}}}}});
  client.advance(0);
  published = client.take("textDocument/publishDiagnostics");
  ASSERT_EQ(published.size(), 1u);
  EXPECT_EQ(diagnosticStrings(published[0]), (std::vector<std::string>{"H073@3:5-3:22"}));
  // Values that do not fit are reported in the log and left out.
  client.notify("workspace/didChangeConfiguration",
                {{"settings", {{"debounce", "soon"}, {"settings", {{"NoSuchThing", 1}}}}}});
  EXPECT_EQ(client.take("window/logMessage").size(), 2u);
  // None of it reached the settings file.
  EXPECT_FALSE(std::filesystem::exists(VmkUserDefaults::defaultSettingsFilePath()));
}

TEST(Transcript, StrictChecksAreASettingOfTheServer) {
  const std::string page =
      "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\" "
      "\"http://www.w3.org/TR/html4/strict.dtd\">\n"
      "<html><head><title>t</title></head><body><ul></ul></body></html>\n";
  auto hasIncompleteList = [](const json& message) {
    const std::vector<std::string> found = diagnosticStrings(message);
    return std::any_of(found.begin(), found.end(),
                       [](const std::string& d) { return d.starts_with("H081@"); });
  };
  TestClient client;
  client.initialize({{"debounce", 0}});
  client.open(kUri, page);
  std::vector<json> published = client.take("textDocument/publishDiagnostics");
  ASSERT_EQ(published.size(), 1u);
  EXPECT_FALSE(hasIncompleteList(published[0]));
  client.notify("workspace/didChangeConfiguration",
                {{"settings", {{"settings", {{"StrictDTDChecks", true}}}}}});
  client.advance(0);
  published = client.take("textDocument/publishDiagnostics");
  ASSERT_EQ(published.size(), 1u);
  EXPECT_TRUE(hasIncompleteList(published[0]));
}

}  // namespace
}  // namespace vmk::testing
