// Formatting and the transformation commands: each answers edits of the buffer as the editor
// has it (formatting in its response, the commands as workspace/applyEdit requests), and the
// buffer changes only when the editor sends the change.
#include <gtest/gtest.h>

#include <algorithm>

#include "LspTestSupport.h"

namespace vmk::testing {
namespace {

const std::string& kUri = kPageUri;
const std::string& kHead = kTransitionalHead;
const std::string kPage = kHead +
                          "<html><head><title>t</title></head><body><div><p>Fish &amp; "
                          "<b>chips</b></p><pre>  keep\n   this</pre></div></body></html>\n";

json lspRange(int line, int character, int endLine, int endCharacter) {
  return {{"start", {{"line", line}, {"character", character}}},
          {"end", {{"line", endLine}, {"character", endCharacter}}}};
}

json formatting(TestClient& client, const std::string& uri = kUri) {
  return client.request(
      "textDocument/formatting",
      {{"textDocument", {{"uri", uri}}}, {"options", {{"tabSize", 4}, {"insertSpaces", true}}}});
}

// Replaces the whole buffer as an editor sends it after applying edits.
void replaceAll(TestClient& client, int version, const std::string& text) {
  client.notify("textDocument/didChange", {{"textDocument", {{"uri", kUri}, {"version", version}}},
                                           {"contentChanges", json::array({{{"text", text}}})}});
}

// The one workspace/applyEdit request the server sent, answered; its edits of kUri.
json appliedEditRequest(TestClient& client, std::string* label = nullptr) {
  std::vector<json> requests = client.take("workspace/applyEdit");
  EXPECT_EQ(requests.size(), 1u);
  if (requests.empty()) return json::array();
  if (label) *label = requests[0]["params"]["label"];
  client.send({{"jsonrpc", "2.0"}, {"id", requests[0]["id"]}, {"result", {{"applied", true}}}});
  return requests[0]["params"]["edit"]["changes"][kUri];
}

json command(TestClient& client, const std::string& name, json arguments) {
  return client.request("workspace/executeCommand",
                        {{"command", name}, {"arguments", std::move(arguments)}});
}

TEST(Formatting, TheWholeBufferIsBeautifiedWithTheUsersSettings) {
  TestClient client;
  const json init = client.initialize({{"settings", {{"ElementNameCase", 1}}}});
  const json& capabilities = init["result"]["capabilities"];
  EXPECT_TRUE(capabilities["documentFormattingProvider"].get<bool>());
  EXPECT_TRUE(capabilities["documentRangeFormattingProvider"].get<bool>());
  client.open(kUri, kPage);
  client.take("textDocument/publishDiagnostics");

  const json edits = formatting(client)["result"];
  ASSERT_TRUE(edits.is_array()) << edits.dump();
  // The DOCTYPE line is the same before and after: the edit starts after it.
  ASSERT_EQ(edits.size(), 1u);
  EXPECT_EQ(edits[0]["range"]["start"]["line"], 1);
  const std::string formatted = appliedEdits(kPage, edits);
  EXPECT_EQ(formatted, kHead +
                           "<HTML>\n\t<HEAD>\n\t\t<TITLE>t</TITLE>\n\t</HEAD>\n\t<BODY>\n"
                           "\t\t<DIV>\n\t\t\t<P>Fish &amp; <B>chips</B></P>\n"
                           "\t\t\t<PRE>  keep\n   this</PRE>\n\t\t</DIV>\n\t</BODY>\n</HTML>\n");
  // Nothing is changed until the editor sends the change; afterwards there is nothing to do.
  EXPECT_FALSE(formatting(client)["result"].empty());
  replaceAll(client, 2, formatted);
  EXPECT_EQ(formatting(client)["result"], json::array());

  // No alert was shown (the page has no structural errors to ask about, and none would be).
  EXPECT_TRUE(client.take("window/showMessageRequest").empty());
  EXPECT_EQ(formatting(client, "file:///nowhere/other.html")["error"]["code"], lsp::kInvalidParams);
}

TEST(Formatting, ARangeChangesOnlyTheItemsInsideIt) {
  const std::string page = kHead +
                           "<html><head><title>t</title></head><body>\n"
                           "<div><p>one</p></div>\n"
                           "<div><p>two</p></div>\n"
                           "</body></html>\n";
  TestClient client;
  client.initialize();
  client.open(kUri, page);
  client.take("textDocument/publishDiagnostics");
  const json response = client.request(
      "textDocument/rangeFormatting",
      {{"textDocument", {{"uri", kUri}}}, {"range", lspRange(3, 0, 3, 21)}, {"options", {}}});
  const std::string formatted = appliedEdits(page, response["result"]);
  EXPECT_EQ(formatted, kHead +
                           "<html><head><title>t</title></head><body>\n"
                           "<div><p>one</p></div>\n"
                           "\t\t<div>\n\t\t\t<p>two</p>\n\t\t</div>\n"
                           "</body></html>\n");
  // A range over the whole text formats the whole document.
  const json whole = client.request(
      "textDocument/rangeFormatting",
      {{"textDocument", {{"uri", kUri}}}, {"range", lspRange(0, 0, 6, 0)}, {"options", {}}});
  EXPECT_EQ(whole["result"], formatting(client)["result"]);
}

TEST(Commands, MinimizeComesBackAsAnEditOfTheBuffer) {
  const std::string page = kHead +
                           "<html>\n  <head>\n    <title>t</title>\n  </head>\n  <body>\n"
                           "    <p>a   b</p>\n<pre>  x\n  y</pre>\n  </body>\n</html>\n";
  TestClient client;
  const json init = client.initialize();
  const json names = init["result"]["capabilities"]["executeCommandProvider"]["commands"];
  for (const char* name :
       {"velumark.minimize", "velumark.toEntityReferences", "velumark.toEntityReferencesPlain"}) {
    EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << name;
  }
  client.open(kUri, page);
  client.take("textDocument/publishDiagnostics");
  const json response = command(client, "velumark.minimize", json::array({kUri}));
  ASSERT_TRUE(response.contains("result")) << response.dump();
  std::string label;
  const std::string minimized = appliedEdits(page, appliedEditRequest(client, &label));
  EXPECT_EQ(label, "Minimize HTML");
  EXPECT_EQ(minimized, kHead.substr(0, kHead.size() - 1) +
                           " <html> <head> <title>t</title> </head> <body> <p>a b</p> "
                           "<pre>  x\n  y</pre> </body> </html>");
  // Asked without a confirmation; the buffer is the editor's until it sends the change.
  EXPECT_TRUE(client.take("window/showMessageRequest").empty());
  replaceAll(client, 2, minimized);
  EXPECT_TRUE(command(client, "velumark.minimize", json::array({kUri})).contains("result"));
  EXPECT_TRUE(client.take("workspace/applyEdit").empty()) << "nothing left to minimize";
}

TEST(Commands, EntityReferencesOfARangeOrOfTheWholeBuffer) {
  const std::string page = kHead +
                           "<html><head><title>Caf\xC3\xA9</title>"
                           "<script type=\"text/javascript\">var s = '\xC3\xA9';</script></head>\n"
                           "<body><p title=\"na\xC3\xAFve\">\xC3\xA9t\xC3\xA9 \xC2\xA9</p></body>"
                           "</html>\n";
  // The page's positions in UTF-16 units: line 2 starts with "<body><p title=\"na" (18).
  TestClient client;
  client.initialize();
  client.open(kUri, page);
  client.take("textDocument/publishDiagnostics");

  // Markup-aware, whole buffer: text, titles and attribute values, but not the script.
  command(client, "velumark.toEntityReferences", json::array({kUri}));
  std::string label;
  std::string converted = appliedEdits(page, appliedEditRequest(client, &label));
  EXPECT_EQ(label, "To entity references");
  EXPECT_NE(converted.find("<title>Caf&eacute;</title>"), std::string::npos) << converted;
  EXPECT_NE(converted.find("var s = '\xC3\xA9';"), std::string::npos) << converted;
  EXPECT_NE(converted.find("title=\"na&iuml;ve\""), std::string::npos) << converted;
  EXPECT_NE(converted.find("&eacute;t&eacute; &copy;</p>"), std::string::npos) << converted;

  // A range (given with the address) limits the conversion; the plain one converts every
  // character in it, markup included.
  command(client, "velumark.toEntityReferencesPlain",
          json::array({{{"uri", kUri}, {"range", lspRange(2, 0, 2, 26)}}}));
  converted = appliedEdits(page, appliedEditRequest(client, &label));
  EXPECT_EQ(label, "To character references");
  EXPECT_NE(converted.find("<title>Caf\xC3\xA9</title>"), std::string::npos) << converted;
  EXPECT_NE(converted.find("\n&lt;body&gt;&lt;p title=&quot;na&iuml;ve&quot;&gt;&eacute;t&eacute; "
                           "\xC2\xA9</p>"),
            std::string::npos)
      << converted;

  // Commands name an open buffer.
  EXPECT_EQ(command(client, "velumark.minimize", json::array())["error"]["code"],
            lsp::kInvalidParams);
  EXPECT_EQ(command(client, "velumark.minimize",
                    json::array({"file:///nowhere/other.html"}))["error"]["code"],
            lsp::kInvalidParams);
}

}  // namespace
}  // namespace vmk::testing
