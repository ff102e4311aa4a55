// velumark tag ... end to end: the built binary on a private settings and data folder, with
// the desktop opener replaced by a script that records what it was given.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/CliTestSupport.h"
#include "support/Paths.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

using vmk::testing::RunResult;
using vmk::testing::shellQuoted;

const std::string kPage =
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\" "
    "\"http://www.w3.org/TR/html4/strict.dtd\">\r\n"
    "<html><head><title>t</title></head><body>\r\n"
    "<p class=a><a href=\"sub/x.html\">link</a> <a href=\"javascript:go()\">js</a>"
    "<b>bold</p>\r\n"
    "<form action=\"f\"><p><input type=checkbox checked></p></form>\r\n"
    "</body></html>\r\n";

class TagCommandTest : public vmk::testing::CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    page_ = writeFile("page.html", kPage);
    // The text the commands see: line ends as LF.
    for (char c : kPage)
      if (c != '\r') text_ += c;
    opener_ = writeFile(
        "opener.sh",
        "#!/bin/sh\nprintf '%s\\n' \"$@\" >> \"$(dirname \"$0\")/opened\"\necho chatter\n");
    fs::permissions(opener_, fs::perms::owner_all);
  }

  // Runs `velumark tag` with the arguments; `input`, when given, is its standard input.
  RunResult run(std::vector<std::string> args, const std::string& input = "") {
    args.insert(args.begin(), "tag");
    return CliTest::run(args, "VELUMARK_OPENER=" + shellQuoted(opener_),
                        input.empty() ? "" : "<" + shellQuoted(writeFile("stdin", input)));
  }
  // The position of `what` in the LF text, plus `offset`, as a --selection argument.
  std::string at(const std::string& what, size_t offset = 0) const {
    return std::to_string(text_.find(what) + offset);
  }
  json range(const std::string& what) const { return json::array({text_.find(what), what.size()}); }
  std::string opened() const { return readFile((root_ / "opened").string()); }

  std::string page_;
  std::string text_;
  std::string opener_;
};

TEST_F(TagCommandTest, SelectionsOfTagsPartnersAndElements) {
  RunResult r = run({"select", "-s", at("<p class", 2), page_});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.answer(), (json{{"selection", range("<p class=a>")}, {"result", 1}}));
  r = run({"select", "--narrow", "--selection", at("</a>", 4), page_});
  EXPECT_EQ(r.answer(), (json{{"selection", range("/a")}, {"result", 2}}));
  r = run({"select", "-s", at("link", 1) + ":2", page_});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.answer()["result"], 0);

  // A caret at the end of "<p class=a>" and the start of "<a>" belongs to the first.
  r = run({"pair", "-s", at("<a href=\"sub"), page_});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.answer(), (json{{"selection", range("</p>")}}));
  r = run({"pair", "-s", at("<a href=\"sub", 1), page_});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.answer(), (json{{"selection", json::array({text_.find("</a>"), 4})}}));
  r = run({"element", "-s", at("<a href=\"sub", 1), page_});
  EXPECT_EQ(r.answer(), (json{{"selection", range("<a href=\"sub/x.html\">link</a>")}}));

  // No end tag: the element is selected as far as its content goes, with a beep.
  r = run({"pair", "-s", at("<b>", 1), page_});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.answer()["beep"], true);
  r = run({"element", "-s", at("<b>", 1), page_});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.answer(), (json{{"selection", range("<b>")}, {"beep", true}}));
}

TEST_F(TagCommandTest, NamesAttributesAndQuestions) {
  RunResult r = run({"name", "-s", at("<input", 3), page_});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.answer(), (json{{"result", "input"}}));
  EXPECT_EQ(run({"name", "-s", at("bold", 1), page_}).answer(), (json{{"result", "#data"}}));

  r = run({"attributes", "-s", at("<input", 3), page_});
  EXPECT_EQ(r.answer(), (json{{"result",
                               {{{"atrb", "type"}, {"value", "checkbox"}},
                                {{"atrb", "checked"}, {"value", "checked"}}}}}));
  r = run({"attributes", "-s", at("<p class") + ":20", page_});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.answer(), (json{{"result", nullptr}}));

  r = run({"in-element", "form", "-s", at("<input"), page_});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.answer(), (json{{"result", true}}));
  r = run({"in-element", "form", "-s", at("<form", 1), page_});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.answer(), (json{{"result", false}}));
  EXPECT_EQ(run({"empty-element", "INPUT", page_}).answer(), (json{{"result", true}}));
  EXPECT_EQ(run({"empty-element", "p", page_}).status, 1);
}

TEST_F(TagCommandTest, SelectAndSetAttributes) {
  RunResult r = run({"select-attribute", "TYPE", "-s", at("<input", 2), page_});
  EXPECT_EQ(r.answer(), (json{{"selection", range("type=checkbox")}}));
  r = run({"select-attribute", "type", "--value-only", "-s", at("<input", 2), page_});
  EXPECT_EQ(r.answer(), (json{{"selection", range("checkbox")}}));
  EXPECT_EQ(run({"select-attribute", "id", "-s", at("<input", 2), page_}).status, 1);

  // Without --output or --in-place nothing is written.
  r = run({"set-attribute", "title", "a \"b\"", "-s", at("<p class", 1), page_});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.answer()["changed"], true);
  EXPECT_EQ(vmk::readFileContents(page_).value_or(""), kPage);

  const std::string out = (root_ / "out.html").string();
  r = run({"set-attribute", "title", "a \"b\"", "-s", at("<p class", 1), "-o", out, page_});
  EXPECT_EQ(r.status, 0) << r.err;
  std::string expected = kPage;
  expected.replace(expected.find("<p class=a>"), 11, "<p class=a title='a \"b\"'>");
  EXPECT_EQ(vmk::readFileContents(out).value_or(""), expected);  // CR LF kept

  // Removing in place; an output that is the input is refused.
  EXPECT_EQ(run({"set-attribute", "checked", "", "-s", at("<input", 2), "-o", page_, page_}).status,
            2);
  r = run({"set-attribute", "checked", "", "-s", at("<input", 2), "--in-place", page_});
  EXPECT_EQ(r.status, 0) << r.err;
  expected = kPage;
  expected.replace(expected.find(" checked>"), 9, " >");
  EXPECT_EQ(vmk::readFileContents(page_).value_or(""), expected);

  // Not a start tag: a beep, nothing changed.
  r = run({"set-attribute", "class", "x", "-s", at("</a>", 1), "--in-place", page_});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.answer()["beep"], true);
  EXPECT_EQ(vmk::readFileContents(page_).value_or(""), expected);
}

TEST_F(TagCommandTest, HelpAndJumpOpenOnlySafeAddresses) {
  RunResult r = run({"help", "-s", at("<b>", 1), page_});
  EXPECT_EQ(r.status, 0);
  const std::string help = r.answer()["url"];
  EXPECT_TRUE(help.ends_with("/fontstyle/b.html")) << help;
  EXPECT_EQ(opened(), "");
  r = run({"help", "--open", "-s", at("<b>", 1), page_});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(opened(), help + "\n");

  const std::string target = "file://" + root_.string() + "/sub/x.html";
  r = run({"jump", at("sub/", 2), "--open", page_});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.answer(), (json{{"url", target}}));
  EXPECT_EQ(opened(), help + "\n" + target + "\n");
  EXPECT_EQ(run({"jump", at("link"), page_}).answer(), (json{{"url", nullptr}}));

  // Neither a script address nor a text the opener would take for an option is handed on.
  r = run({"jump", at("javascript"), "--open", page_});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.answer(), (json{{"url", "javascript:go()"}}));
  EXPECT_NE(r.err.find("refusing to open"), std::string::npos);
  const std::string dash = "<p><a href=\"--help\">x</a>";
  r = run({"jump", "13", "--open", "-"}, dash);
  EXPECT_EQ(r.status, 2) << r.out;
  EXPECT_EQ(r.answer(), (json{{"url", "--help"}}));
  EXPECT_EQ(opened(), help + "\n" + target + "\n");
}

TEST_F(TagCommandTest, ConsultPrintsTheDictionaryEntry) {
  RunResult r = run({"consult", "-s", at("</a>", 1), page_});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.rfind("<A>  HTML 4.01 Strict\n", 0), 0u) << r.out;
  EXPECT_NE(r.out.find("href"), std::string::npos);
}

TEST_F(TagCommandTest, UsageProblems) {
  EXPECT_EQ(run({"select", "-s", "x", page_}).status, 2);
  EXPECT_EQ(run({"select", "-s", "1:", page_}).status, 2);
  EXPECT_EQ(run({"select", "-s", std::to_string(text_.size()) + ":1", page_}).status, 2);
  EXPECT_EQ(run({"select", (root_ / "missing.html").string()}).status, 2);
  EXPECT_EQ(run({"jump", "99999", page_}).status, 2);
  EXPECT_EQ(run({"select", "-d", "No Such Dictionary", page_}).status, 2);
  EXPECT_EQ(run({"frobnicate", page_}).status, 2);
}

}  // namespace
