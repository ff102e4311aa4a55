// velumark beautify, minimize and entities end to end: the built binary on files of a private
// folder, with standard input that is not a terminal.
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/Paths.h"

namespace {

namespace fs = std::filesystem;

std::string quoted(const std::string& text) {
  std::string q = "'";
  for (char c : text) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

const std::string kDoctype = "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">";

class TransformCommandsTest : public ::testing::Test {
 protected:
  struct Result {
    int status = -1;
    std::string out;
    std::string err;
  };

  void SetUp() override {
    root_ = fs::temp_directory_path() /
            ("velumark-transform-cli-" + std::to_string(::getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    fs::create_directories(root_);
  }
  void TearDown() override { fs::remove_all(root_); }

  Result run(const std::vector<std::string>& args) {
    std::string command = "env HOME=" + quoted(root_.string()) +
                          " XDG_CONFIG_HOME=" + quoted((root_ / "config").string()) +
                          " XDG_DATA_HOME=" + quoted((root_ / "data").string()) + " " +
                          quoted(std::string(VELUMARK_BINARY_DIR) + "/bin/velumark");
    for (const std::string& arg : args) command += " " + quoted(arg);
    command += " </dev/null >" + quoted((root_ / "stdout").string()) + " 2>" +
               quoted((root_ / "stderr").string());
    Result result;
    const int raw = std::system(command.c_str());
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = vmk::readFileContents((root_ / "stdout").string()).value_or("");
    result.err = vmk::readFileContents((root_ / "stderr").string()).value_or("");
    return result;
  }
  std::string write(const std::string& name, const std::string& content) {
    const fs::path path = root_ / name;
    std::ofstream(path, std::ios::binary) << content;
    return path.string();
  }
  std::string read(const std::string& path) { return vmk::readFileContents(path).value_or(""); }

  fs::path root_;
};

TEST_F(TransformCommandsTest, BeautifyWritesTheWholeDocumentInItsOwnLineEnds) {
  const std::string page = write("a.html", kDoctype + "\r\n<div><p>x</p></div>\r\n");
  Result r = run({"beautify", page});
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
  const std::string page = write("m.html", original);
  Result r = run({"minimize", page});
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
  EXPECT_EQ(read(page), kDoctype + " <p>a b</p>");
}

TEST_F(TransformCommandsTest, EntitiesOnTheWholeDocumentNeedTheConfirmation) {
  const std::string original = kDoctype + "\n<p title=\"\xE9\">caf\xE9 & co</p>\n";
  const std::string page = write("e.html", original);  // windows-1252
  Result r = run({"entities", page});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, original);
  EXPECT_NE(r.err.find("'To Entity Reference' will be carried out for the whole document."),
            std::string::npos)
      << r.err;

  const std::string out = (root_ / "out.html").string();
  r = run({"entities", "--yes", "-o", out, page});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(read(out), kDoctype + "\n<p title=\"&eacute;\">caf&eacute; &amp; co</p>\n");

  r = run(
      {"entities", "--plain", "--selection", std::to_string(kDoctype.size() + 1) + ":19", page});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, kDoctype + "\n&lt;p title=&quot;&eacute;&quot;&gt;caf&eacute; &amp; co</p>\n");

  // Nothing to change: exit 0, the text as it was; an output over the input is refused.
  const std::string plain = write("plain.html", kDoctype + "\n<p>x</p>\n");
  r = run({"entities", "--yes", plain});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, kDoctype + "\n<p>x</p>\n");
  EXPECT_EQ(run({"entities", "--yes", "-o", plain, plain}).status, 2);
}

}  // namespace
