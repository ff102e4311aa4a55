// A real editor as the client: Debian's Neovim, started headless, opens a page, receives its
// diagnostics, asks for hover, types, applies a quick fix and formats; the test reads back
// what the editor saw and the buffer's text.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <nlohmann/json.hpp>

#include "TestSupport.h"

namespace vmk::testing {
namespace {

std::optional<std::string> findNeovim() {
  for (const char* candidate : {"/usr/bin/nvim", "/usr/local/bin/nvim"}) {
    if (::access(candidate, X_OK) == 0) return std::string(candidate);
  }
  return std::nullopt;
}

std::string quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}

const char* kPage =
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\" "
    "\"http://www.w3.org/TR/html4/loose.dtd\">\n"
    "<html><head><title>t</title></head>\n"
    "<body>\n"
    "<p>Fish & chips <img src=\"x.png\" alt=\"\"></p>\n"
    "</body></html>\n";

TEST(Neovim, DiagnosticsHoverTypingQuickFixAndFormatting) {
  const std::optional<std::string> nvim = findNeovim();
  if (!nvim) {
    GTEST_SKIP() << "nvim is not installed; scripts/install-deps.sh installs Debian's neovim";
  }
  TempFolder folder;
  const std::string page = folder.write("page.html", kPage);
  const std::string out = folder.file("seen.json");
  const std::string server = std::string(VELUMARK_BINARY_DIR) + "/bin/velumark-lsp";
  const std::string script = std::string(VELUMARK_TEST_DATA) + "/lsp/neovim_session.lua";
  const std::string command =
      "cd " + quoted(folder.path()) + " && HOME=" + quoted(folder.path()) +
      " XDG_CONFIG_HOME=" + quoted(folder.file("config")) +
      " XDG_DATA_HOME=" + quoted(folder.file("data")) +
      " XDG_STATE_HOME=" + quoted(folder.file("state")) + " VMK_LSP=" + quoted(server) +
      " VMK_OUT=" + quoted(out) + " timeout 120 " + quoted(*nvim) +
      " --headless -n -i NONE -u NONE -c " + quoted("luafile " + script) + " page.html" +
      " </dev/null >" + quoted(folder.file("nvim.log")) + " 2>&1";
  const int status = std::system(command.c_str());
  ASSERT_EQ(status, 0) << folder.read("nvim.log");

  std::ifstream in(out);
  ASSERT_TRUE(in) << "Neovim wrote nothing: " << folder.read("nvim.log");
  const nlohmann::json seen = nlohmann::json::parse(in);
  ASSERT_FALSE(seen.contains("error")) << seen.dump(2);
  EXPECT_TRUE(seen["got_diagnostics"].get<bool>());
  // "&" without a reference, on line 4 (0-based 3) at column 8.
  EXPECT_EQ(seen["diagnostics"], nlohmann::json::array({"H013@3:8"})) << seen.dump(2);
  EXPECT_NE(seen.value("hover", "").find("`<P>`  HTML 4.01 Transitional"), std::string::npos)
      << seen.dump(2);
  EXPECT_EQ(seen["after_typing"], nlohmann::json::array({"H013@3:10"})) << seen.dump(2);

  ASSERT_TRUE(seen.contains("after_fix")) << seen.dump(2);
  EXPECT_EQ(seen["actions"].size(), 1u) << seen.dump(2);
  EXPECT_EQ(seen["after_fix"][3], "  <p>Fish &amp; chips <img src=\"x.png\" alt=\"\"></p>");
  // Formatting: the beautifier's layout, tabs for the depth.
  ASSERT_TRUE(seen.contains("after_format")) << seen.dump(2);
  EXPECT_EQ(seen["after_format"],
            nlohmann::json::array({seen["after_fix"][0], "<html>", "\t<head>",
                                   "\t\t<title>t</title>", "\t</head>", "\t<body>",
                                   "\t\t<p>Fish &amp; chips <img src=\"x.png\" alt=\"\"></p>",
                                   "\t</body>", "</html>"}))
      << seen.dump(2);
}

}  // namespace
}  // namespace vmk::testing
