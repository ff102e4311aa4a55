// velumark beautify, minimize and entities end to end: the built binary on files of a private
// folder, with standard input that is not a terminal.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cli/CliTestSupport.h"

namespace {

namespace fs = std::filesystem;

using vmk::testing::RunResult;

const std::string kDoctype = "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">";

class TransformCommandsTest : public vmk::testing::CliTest {
 protected:
  // Standard input is never a terminal here.
  RunResult run(const std::vector<std::string>& args) {
    return CliTest::run(args, "", "</dev/null");
  }
};

TEST_F(TransformCommandsTest, BeautifyWritesTheWholeDocumentInItsOwnLineEnds) {
  const std::string page = writeFile("a.html", kDoctype + "\r\n<div><p>x</p></div>\r\n");
  RunResult r = run({"beautify", page});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, kDoctype + "\r\n<div>\r\n\t<p>x</p>\r\n</div>\r\n");
  EXPECT_EQ(r.err, "");

  const std::string selection = std::to_string(kDoctype.size() + 1) + ":19";
  r = run({"beautify", "--set", "Vmk_ElementNameCase=1", "--selection", selection, page});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, kDoctype + "\r\n<DIV>\r\n\t<P>x</P>\r\n</DIV>\r\n");

  EXPECT_EQ(run({"beautify", "--selection", "3", page}).status, 2);
  EXPECT_EQ(run({"beautify", "--selection", "1:9999", page}).status, 2);
}

TEST_F(TransformCommandsTest, MinimizeAsksOnlyWithConfirm) {
  const std::string original = kDoctype + "\n<p>a\n\n   b</p>\n";
  const std::string page = writeFile("m.html", original);
  RunResult r = run({"minimize", page});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, kDoctype + " <p>a b</p>");

  // No terminal and no --yes: answered no, the document written as it was.
  r = run({"minimize", "--confirm", page});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, original);
  EXPECT_NE(r.err.find("You can decrease the size of HTML from 79 bytes to 74 bytes (93%). "
                       "Do you want to minimize?"),
            std::string::npos)
      << r.err;

  r = run({"minimize", "--confirm", "--yes", "--in-place", page});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(readFile(page), kDoctype + " <p>a b</p>");
}

TEST_F(TransformCommandsTest, EntitiesOnTheWholeDocumentNeedTheConfirmation) {
  const std::string original = kDoctype + "\n<p title=\"\xE9\">caf\xE9 & co</p>\n";
  const std::string page = writeFile("e.html", original);  // windows-1252
  RunResult r = run({"entities", page});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, original);
  EXPECT_NE(r.err.find("'To Entity Reference' will be carried out for the whole document."),
            std::string::npos)
      << r.err;

  const std::string out = (root_ / "out.html").string();
  r = run({"entities", "--yes", "-o", out, page});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(readFile(out), kDoctype + "\n<p title=\"&eacute;\">caf&eacute; &amp; co</p>\n");

  r = run(
      {"entities", "--plain", "--selection", std::to_string(kDoctype.size() + 1) + ":19", page});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, kDoctype + "\n&lt;p title=&quot;&eacute;&quot;&gt;caf&eacute; &amp; co</p>\n");

  // Nothing to change: exit 0, the text as it was; an output over the input is refused.
  const std::string plain = writeFile("plain.html", kDoctype + "\n<p>x</p>\n");
  r = run({"entities", "--yes", plain});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, kDoctype + "\n<p>x</p>\n");
  EXPECT_EQ(run({"entities", "--yes", "-o", plain, plain}).status, 2);
}

}  // namespace
