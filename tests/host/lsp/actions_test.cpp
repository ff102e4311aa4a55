// Quick fixes and correcting everything: each is worked out on a scratch copy and comes back as
// edits for the editor to make; the server's buffer changes only when the editor sends the
// change.
#include <gtest/gtest.h>

#include "LspTestSupport.h"
#include "host/lsp/LspEdits.h"

namespace vmk::testing {
namespace {

const std::string& kUri = kPageUri;
const std::string kPage = kTransitionalHead +
                          "<html><head><title>t</title></head>\n"
                          "<body>\n"
                          "<p>Fish & chips <img src=\"x.png\" alt=\"\"></p><blink>x</blink>\n"
                          "</body></html>\n";

json codeActions(TestClient& client, int line, int from, int to, json only = nullptr) {
  json context{{"diagnostics", json::array()}};
  if (!only.is_null()) context["only"] = only;
  return client.request("textDocument/codeAction",
                        {{"textDocument", {{"uri", kUri}}},
                         {"range",
                          {{"start", {{"line", line}, {"character", from}}},
                           {"end", {{"line", line}, {"character", to}}}}},
                         {"context", context}})["result"];
}

TEST(CodeActions, AQuickFixPerRepairableLocationAsMinimalEdits) {
  TestClient client;
  client.initialize();
  client.open(kUri, kPage);
  client.take("textDocument/publishDiagnostics");
  const json actions = codeActions(client, 3, 8, 8, json::array({"quickfix"}));
  ASSERT_EQ(actions.size(), 1u) << actions.dump(2);
  EXPECT_EQ(actions[0]["kind"], "quickfix");
  EXPECT_EQ(actions[0]["diagnostics"][0]["code"], "H013");
  const json edits = actions[0]["edit"]["changes"][kUri];
  // Only the new characters, after the "&".
  EXPECT_EQ(edits, json::parse(R"([{"range":{"start":{"line":3,"character":9},
                                              "end":{"line":3,"character":9}},
                                    "newText":"amp;"}])"));
  // The buffer stays as the editor has it.
  const json again = codeActions(client, 3, 0, 60, json::array({"quickfix"}));
  EXPECT_EQ(again.size(), 1u) << "BLINK has no repair";

  // The editor applies it: the next check no longer finds the ampersand.
  client.change(kUri, 2, 3, 9, 3, 9, "amp;");
  client.advance(300);
  const std::vector<json> published = client.take("textDocument/publishDiagnostics");
  ASSERT_FALSE(published.empty());
  for (const std::string& diagnostic : diagnosticStrings(published.back())) {
    EXPECT_EQ(diagnostic.rfind("H013", 0), std::string::npos) << diagnostic;
  }
}

TEST(CodeActions, EditsAreMinimalAndNeverSplitASurrogatePair) {
  const UString text = u"ab\U0001F600cd";
  auto minimal = [&](Range range, std::u16string_view with) {
    std::optional<TextEdit> edit = lsp::minimalEdit(text, TextEdit{range, UString(with)});
    return edit ? std::to_string(edit->range.location) + "+" + std::to_string(edit->range.length) +
                      ":" + toUtf8(edit->text)
                : std::string("none");
  };
  EXPECT_EQ(minimal(Range(0, 6), u"ab\U0001F600cd"), "none");
  EXPECT_EQ(minimal(Range(0, 6), u"abXcd"), "2+2:X");
  // The emoji and another one that shares its first half: the pair is replaced whole.
  EXPECT_EQ(minimal(Range(0, 6), u"ab\U0001F601cd"), "2+2:\U0001F601");
  EXPECT_EQ(minimal(Range(1, 0), u"Z"), "1+0:Z");
}

TEST(CodeActions, CorrectAllAsASourceAction) {
  TestClient client;
  client.initialize();
  const std::string page =
      "<HTML><HEAD><TITLE>t</TITLE></HEAD><BODY><P>a & b <IMG SRC=x.png></BODY></HTML>\n";
  client.open(kUri, page);
  client.take("textDocument/publishDiagnostics");
  const json actions = codeActions(client, 0, 0, 0, json::array({"source"}));
  ASSERT_EQ(actions.size(), 1u) << actions.dump(2);
  EXPECT_EQ(actions[0]["kind"], "source.fixAll.velumark");
  const std::string fixed = appliedEdits(page, actions[0]["edit"]["changes"][kUri]);
  EXPECT_NE(fixed.find("a &amp; b"), std::string::npos) << fixed;
  // Nothing asked for: no source action among the quick fixes.
  EXPECT_TRUE(codeActions(client, 0, 0, 0, json::array({"refactor"})).empty());
  // The store keeps no results of the scratch copies.
  client.notify("textDocument/didClose", {{"textDocument", {{"uri", kUri}}}});
}

}  // namespace
}  // namespace vmk::testing
