// The velumark command end to end: the built binary, run on a private settings and data folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "cli/CliTestSupport.h"
#include "support/Paths.h"

namespace {

namespace fs = std::filesystem;

using vmk::testing::RunResult;
using vmk::testing::shellQuoted;

class VelumarkCommandTest : public vmk::testing::CliTest {
 protected:
  void expectGccLinesAgreeWithJson(const std::string& page, size_t minimumErrors,
                                   size_t maximumErrors = SIZE_MAX);
};

const std::string kMistakes = "tests/data/cli/mistakes.html";
const std::string kClean = "tests/data/cli/clean.html";
const std::string kCautionOnly = "tests/data/cli/caution-only.html";

TEST_F(VelumarkCommandTest, GccFormatListsLocationsThenTheSummaryAndExitsByErrors) {
  RunResult r = run({"validate", kMistakes});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out,
            "tests/data/cli/mistakes.html:8:9: caution: H013 \"&\" does not start a character "
            "reference [WrongAmpersand]\n"
            "tests/data/cli/mistakes.html:9:17: error: H002 Element <BLINK> is not defined in "
            "this document type [NoSuchElementName]\n"
            "tests/data/cli/mistakes.html:9:26: error: H008 </BLINK> is not allowed inside <P> "
            "[CantBeChildElement]\n"
            "tests/data/cli/mistakes.html:9:27: error: H002 Element </BLINK> is not defined in "
            "this document type [NoSuchElementName]\n"
            "tests/data/cli/mistakes.html: HTML 4.01 Strict: 3 errors and 1 cautions were "
            "found!\n");
  EXPECT_EQ(r.err, "");

  r = run({"validate", "--quiet", kClean, kCautionOnly});
  EXPECT_EQ(r.status, 0);  // cautions alone do not fail
  EXPECT_EQ(r.out,
            "tests/data/cli/clean.html: HTML 4.01 Strict: Any errors and warnings were not "
            "found!\n"
            "tests/data/cli/caution-only.html: HTML 4.01 Strict: 1 cautions were found!\n");
}

TEST_F(VelumarkCommandTest, ColourFollowsTheOptionAndNoColor) {
  EXPECT_NE(run({"validate", "--color", "always", kMistakes}).out.find("\x1b["), std::string::npos);
  EXPECT_EQ(run({"validate", "--color", "never", kMistakes}).out.find("\x1b["), std::string::npos);
  // Standard output is a file here: auto means no colour.
  EXPECT_EQ(run({"validate", kMistakes}).out.find("\x1b["), std::string::npos);
}

TEST_F(VelumarkCommandTest, ControlCharactersOfTheDocumentDoNotReachTheTerminal) {
  // A tag name that would set the terminal's title and a C1 control sequence introducer.
  const std::string page = writeFile("escape.html",
                                     "<p><\x1b]0;owned\x07x>a</p>\n<p><y\xc2\x9b"
                                     "2J>b</p>\n");
  const RunResult r = run({"validate", "--color", "never", page});
  EXPECT_EQ(r.out.find('\x1b'), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find('\x07'), std::string::npos);
  EXPECT_EQ(r.out.find("\xc2\x9b"), std::string::npos);
  EXPECT_NE(r.out.find("Element <\xEF\xBF\xBD]0;OWNED\xEF\xBF\xBDX>"), std::string::npos) << r.out;
}

TEST_F(VelumarkCommandTest, JsonReportKeepsTheContract) {
  const RunResult r = run({"validate", "--format", "json", kCautionOnly, kMistakes});
  ASSERT_EQ(r.status, 1) << r.err;
  const auto report = nlohmann::ordered_json::parse(r.out);
  ASSERT_EQ(report["files"].size(), 2u);

  const auto& first = report["files"][0];
  std::vector<std::string> keys;
  for (auto it = first.begin(); it != first.end(); ++it) keys.push_back(it.key());
  EXPECT_EQ(keys, (std::vector<std::string>{"path", "dictionary", "encoding", "error_count",
                                            "caution_count", "errors"}));
  EXPECT_EQ(first["path"], kCautionOnly);
  EXPECT_EQ(first["dictionary"], "HTML 4.01 Strict");
  EXPECT_EQ(first["encoding"], "UTF-8");
  EXPECT_EQ(first["error_count"], 0);
  EXPECT_EQ(first["caution_count"], 1);
  // After two non-ASCII letters: columns count UTF-16 units, not bytes.
  const auto& amp = first["errors"][0];
  std::vector<std::string> errorKeys;
  for (auto it = amp.begin(); it != amp.end(); ++it) errorKeys.push_back(it.key());
  EXPECT_EQ(errorKeys, (std::vector<std::string>{"code", "number", "level", "fix", "location",
                                                 "length", "line", "column", "substrings", "title",
                                                 "description", "fix_edits"}));
  EXPECT_EQ(amp["code"], "WrongAmpersand");
  EXPECT_EQ(amp["number"], "H013");
  EXPECT_EQ(amp["level"], 1);
  EXPECT_EQ(amp["fix"], 1);
  EXPECT_EQ(amp["line"], 8);
  EXPECT_EQ(amp["column"], 8);
  EXPECT_EQ(amp["length"], 1);

  const auto& second = report["files"][1];
  EXPECT_EQ(second["error_count"], 3);
  uint64_t previous = 0;
  for (const auto& error : second["errors"]) {
    EXPECT_GE(error["location"].get<uint64_t>(), previous);
    previous = error["location"];
  }
  const auto& blink = second["errors"][1];
  EXPECT_EQ(blink["code"], "NoSuchElementName");
  EXPECT_EQ(blink["substrings"], nlohmann::json::array({"BLINK"}));
  EXPECT_EQ(blink["title"], "Element <BLINK> is not defined in this document type");
  EXPECT_EQ(blink["fix"], -1);
  EXPECT_EQ(blink["line"], 9);
  EXPECT_EQ(blink["column"], 17);
  EXPECT_FALSE(blink["description"].get<std::string>().empty());
}

TEST_F(VelumarkCommandTest, SarifReportNamesTheRulesUsed) {
  const RunResult r = run({"validate", "-f", "sarif", kMistakes});
  ASSERT_EQ(r.status, 1) << r.err;
  const auto log = nlohmann::json::parse(r.out);
  EXPECT_EQ(log["version"], "2.1.0");
  const auto& run0 = log["runs"][0];
  EXPECT_EQ(run0["tool"]["driver"]["rules"].size(), 3u);
  ASSERT_EQ(run0["results"].size(), 4u);
  const auto& result = run0["results"][1];
  EXPECT_EQ(result["ruleId"], "NoSuchElementName");
  EXPECT_EQ(run0["tool"]["driver"]["rules"][result["ruleIndex"].get<int>()]["id"],
            "NoSuchElementName");
  EXPECT_EQ(result["level"], "error");
  EXPECT_EQ(result["properties"]["repair"], -1);
  const auto& region = result["locations"][0]["physicalLocation"]["region"];
  EXPECT_EQ(region["startLine"], 9);
  EXPECT_EQ(region["startColumn"], 17);
  EXPECT_FALSE(run0["tool"]["driver"]["version"].get<std::string>().empty());
  EXPECT_EQ(run0["invocations"][0]["executionSuccessful"], true);
  // Rules show their message templates without the substrings of any one result.
  const auto& rule = run0["tool"]["driver"]["rules"][result["ruleIndex"].get<int>()];
  EXPECT_EQ(rule["shortDescription"]["text"],
            "Element <\u2026> is not defined in this document type");
}

TEST_F(VelumarkCommandTest, SarifRunNamesTheFilesItCouldNotRead) {
  const RunResult r = run({"validate", "-f", "sarif", "missing.html", kMistakes});
  EXPECT_EQ(r.status, 2);
  const auto log = nlohmann::json::parse(r.out);
  const auto& invocation = log["runs"][0]["invocations"][0];
  EXPECT_EQ(invocation["executionSuccessful"], false);
  ASSERT_EQ(invocation["toolExecutionNotifications"].size(), 1u);
  const auto& notification = invocation["toolExecutionNotifications"][0];
  EXPECT_EQ(notification["level"], "error");
  EXPECT_EQ(notification["message"]["text"],
            "cannot read 'missing.html': No such file or directory");
  EXPECT_EQ(notification["locations"][0]["physicalLocation"]["artifactLocation"]["uri"],
            "missing.html");
  EXPECT_EQ(log["runs"][0]["results"].size(), 4u);  // the other file is still reported

  // The error list shows templates the same way.
  EXPECT_NE(run({"errors", "list"})
                .out.find("NoSuchElementName                  Element <\u2026> "
                          "is not defined"),
            std::string::npos);
}

TEST_F(VelumarkCommandTest, ExportFormatsAreTheResultFiles) {
  const std::string annotated = (root_ / "results.txt").string();
  RunResult r = run({"validate", "-f", "annotated", "-o", annotated, kCautionOnly, kMistakes});
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_EQ(r.out, "");
  const std::string text = vmk::readFileContents(annotated).value_or("");
  // Documents are named by their full path, as the editor names them.
  EXPECT_TRUE(text.starts_with(
      "To jump to a error location, click the path name/URL with cmd key pressed.\n\n" +
      std::string(VELUMARK_SOURCE_DIR) + "/tests/data/cli/caution-only.html {loc:"));
  EXPECT_NE(text.find("00008 (C) H013: \"&\" does not start a character reference\n\n"),
            std::string::npos);

  r = run({"validate", "-f", "tsv", kMistakes});
  EXPECT_EQ(r.out.substr(0, r.out.find('\n') + 1),
            std::string(VELUMARK_SOURCE_DIR) +
                "/tests/data/cli/mistakes.html\t00008\t(C)\tH013\t\"&\" does not start a "
                "character reference\n");
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 4);
}

TEST_F(VelumarkCommandTest, UnreadableFilesAreReportedAndTheOthersStillChecked) {
  const RunResult r = run({"validate", "missing.html", kClean, "tests/data"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err,
            "velumark: cannot read 'missing.html': No such file or directory\n"
            "velumark: cannot read 'tests/data': Is a directory\n");
  EXPECT_NE(r.out.find("clean.html: HTML 4.01 Strict: Any errors"), std::string::npos);
}

TEST_F(VelumarkCommandTest, UsageErrorsExitWithTwo) {
  EXPECT_EQ(run({"validate", "--format", "xml", kClean}).status, 2);
  EXPECT_EQ(run({"validate"}).status, 2);
  EXPECT_EQ(run({"frobnicate"}).status, 2);
  const RunResult unknownEncoding = run({"validate", "--encoding", "no-such-charset", kClean});
  EXPECT_EQ(unknownEncoding.status, 2);
  EXPECT_EQ(unknownEncoding.err, "velumark: unknown encoding 'no-such-charset'\n");
  const RunResult help = run({"settings", "set", "--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("VALUE"), std::string::npos);
}

TEST_F(VelumarkCommandTest, UnknownDictionaryNamesListTheInstalledOnes) {
  RunResult r = run({"validate", "--dictionary", "HTML 9", kClean});
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(r.err.starts_with("velumark: unknown dictionary 'HTML 9'; installed: "));
  EXPECT_NE(r.err.find("HTML 4.01 Transitional"), std::string::npos);
  EXPECT_NE(r.err.find("XHTML 1.0 Strict"), std::string::npos);
  EXPECT_EQ(run({"dictionary", "HTML 9"}).err, r.err);

  r = run({"dictionaries"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("* HTML 4.01 Transitional  (default)\n"), std::string::npos);
  // Installed on first use into the private data folder.
  EXPECT_TRUE(fs::exists(root_ / "data" / "velumark" / "dictionaries" / "XHTML 1.0 Strict.dict"));
}

TEST_F(VelumarkCommandTest, DictionaryBrowserAsText) {
  RunResult r = run({"dictionary", "HTML 4.01 Strict"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("Public identifier: -//W3C//DTD HTML 4.01//EN\n"), std::string::npos);
  EXPECT_NE(r.out.find("\n  BLOCKQUOTE\n"), std::string::npos);

  r = run({"dictionary", "HTML 4.01 Strict", "img"});
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(r.out.starts_with("<IMG>  HTML 4.01 Strict\nEnd tag is both omissible.\n"));
  EXPECT_NE(r.out.find("\n* alt "), std::string::npos);
  EXPECT_NE(r.out.find("\n  longdesc "), std::string::npos);
  EXPECT_NE(r.out.find("Parents:\n"), std::string::npos);
  EXPECT_EQ(run({"dictionary", "HTML 4.01 Strict", "blink"}).status, 2);
}

// The codes of a JSON report's first file, and its encoding.
std::pair<std::string, std::vector<std::string>> encodingAndCodes(const std::string& json) {
  const auto report = nlohmann::json::parse(json);
  const auto& file = report["files"][0];
  std::vector<std::string> codes;
  for (const auto& error : file["errors"]) codes.push_back(error["code"]);
  return {file["encoding"], codes};
}

bool holds(const std::vector<std::string>& codes, const std::string& code) {
  return std::find(codes.begin(), codes.end(), code) != codes.end();
}

TEST_F(VelumarkCommandTest, PagesOpenInTheEncodingTheirBytesAreIn) {
  const std::string doctype =
      "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\" "
      "\"http://www.w3.org/TR/html4/strict.dtd\">\n";
  auto page = [&](const std::string& charset, const std::string& text) {
    return doctype +
           "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=" + charset +
           "\"><title>t</title></head><body><p>" + text + "</p></body></html>\n";
  };
  // A UTF-8 page that says iso-8859-1: the most common encoding mistake.
  RunResult r =
      run({"validate", "-f", "json", writeFile("utf8.html", page("iso-8859-1", "caf\xC3\xA9"))});
  auto [encoding, codes] = encodingAndCodes(r.out);
  EXPECT_EQ(encoding, "UTF-8");
  EXPECT_TRUE(holds(codes, "EncodingNotMatched")) << r.out;
  // The same page in ASCII is right as it is.
  r = run({"validate", "-f", "json", writeFile("ascii.html", page("iso-8859-1", "cafe"))});
  std::tie(encoding, codes) = encodingAndCodes(r.out);
  EXPECT_EQ(encoding, "ISO-8859-1");
  EXPECT_FALSE(holds(codes, "EncodingNotMatched")) << r.out;
  // A Shift_JIS page that says so.
  r = run({"validate", "-f", "json",
           writeFile("sjis.html", page("Shift_JIS", "\x93\xFA\x96\x7B\x8C\xEA"))});
  std::tie(encoding, codes) = encodingAndCodes(r.out);
  EXPECT_EQ(encoding, "Shift_JIS");
  EXPECT_FALSE(holds(codes, "EncodingNotMatched")) << r.out;
  // An HTML 4.01 page's XML declaration does not count.
  r = run({"validate", "-f", "json",
           writeFile("html.html",
                     "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n" + page("utf-8", "plain"))});
  std::tie(encoding, codes) = encodingAndCodes(r.out);
  EXPECT_EQ(encoding, "UTF-8");
  for (const char* code : {"EncodingNotMatched", "EncodingConflictBetweenXMLandMeta",
                           "UnSafeEncodingName", "JapneseEncodingButNoJapanese"})
    EXPECT_FALSE(holds(codes, code)) << code;
  // Asked for, an encoding wins over all of that.
  r = run({"validate", "-f", "json", "-e", "windows-1252", (root_ / "utf8.html").string()});
  EXPECT_EQ(encodingAndCodes(r.out).first, "windows-1252");
}

TEST_F(VelumarkCommandTest, XmlDeclarationWithStandalone) {
  const std::string page = writeFile(
      "standalone.html",
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n"
      "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Strict//EN\" "
      "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd\">\n"
      "<html xmlns=\"http://www.w3.org/1999/xhtml\"><head><meta http-equiv=\"Content-Type\" "
      "content=\"text/html; charset=UTF-8\" /><title>t</title></head><body><p>x</p></body>"
      "</html>\n");
  const RunResult r = run({"validate", "-f", "json", page});
  const auto codes = encodingAndCodes(r.out).second;
  EXPECT_FALSE(holds(codes, "UnSafeEncodingName")) << r.out;
  EXPECT_FALSE(holds(codes, "EncodingConflictBetweenXMLandMeta")) << r.out;
}

TEST_F(VelumarkCommandTest, ADictionaryThatCannotBeLoadedIsNamedAndFailsTheRun) {
  ASSERT_EQ(run({"dictionaries"}).status, 0);  // installs them
  const fs::path folder = root_ / "data" / "velumark" / "dictionaries";
  const fs::path transitional = folder / "HTML 4.01 Transitional.dict";
  const std::string bytes = vmk::readFileContents(transitional.string()).value_or("");
  ASSERT_GT(bytes.size(), 1000u);
  std::ofstream(transitional, std::ios::binary | std::ios::trunc)
      << bytes.substr(0, bytes.size() / 2);
  const std::string page =
      writeFile("transitional.html",
                "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\" "
                "\"http://www.w3.org/TR/html4/loose.dtd\">\n<html><head><title>t</title></head>"
                "<body><center>x</center></body></html>\n");
  // Needed by the DOCTYPE and as the default, it is named once.
  RunResult r = run({"validate", "-q", page});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "velumark: cannot load dictionary 'HTML 4.01 Transitional' from '" +
                       transitional.string() +
                       "': not a well-formed property list (truncated or damaged?)\n");
  EXPECT_NE(r.out.find("transitional.html: "), std::string::npos);  // the run went on

  r = run({"dictionaries"});
  EXPECT_NE(r.out.find("* HTML 4.01 Transitional  (default)  (cannot be loaded: not a "
                       "well-formed property list"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("\n  HTML 4.01 Strict\n"), std::string::npos);
  r = run({"dictionary", "HTML 4.01 Transitional"});
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(r.err.starts_with("velumark: cannot load dictionary 'HTML 4.01 Transitional'"));
  // Every other command that runs the engine says it too, once, and fails the same way; fix
  // repairs nothing against the wrong rules.
  r = run({"fix", "-o", (root_ / "fixed.html").string(), page});
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(r.err.ends_with("velumark: '" + page + "' was not repaired\n")) << r.err;
  EXPECT_FALSE(fs::exists(root_ / "fixed.html"));
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"tag", "name", "--selection", "130", page},
        {"links", "--no-remote", page}}) {
    r = run(args);
    EXPECT_EQ(r.status, 2) << args[0];
    EXPECT_EQ(r.err, "velumark: cannot load dictionary 'HTML 4.01 Transitional' from '" +
                         transitional.string() +
                         "': not a well-formed property list (truncated or damaged?)\n")
        << args[0];
  }

  // A default that names a dictionary no longer installed.
  ASSERT_EQ(run({"settings", "set", "Vmk_DefaultHtmlDictionary", "HTML 4.01 Strict"}).status, 0);
  fs::remove(folder / "HTML 4.01 Strict.dict");
  r = run({"validate", "-q", writeFile("bare.html", "<p>x</p>\n")});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "velumark: cannot load dictionary 'HTML 4.01 Strict' from '" +
                       (folder / "HTML 4.01 Strict.dict").string() +
                       "': no such dictionary is installed\n");
}

TEST_F(VelumarkCommandTest, OnlyFilesPipesAndStandardInputOfALimitedSizeAreRead) {
  RunResult r = run({"validate", "/dev/zero", kClean});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err,
            "velumark: cannot read '/dev/zero': it is a device; only files, pipes and standard "
            "input are read\n");
  EXPECT_NE(r.out.find("clean.html: HTML 4.01 Strict"), std::string::npos);  // the rest is read

  const std::string page = writeFile("page.html", "<p>" + std::string(3000, 'x') + "</p>\n");
  r = run({"validate", "-q", "--max-size", "2KB", page});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "velumark: cannot read '" + page +
                       "': it is larger than 2048 bytes, the most a document may have (see "
                       "--max-size)\n");
  EXPECT_NE(run({"validate", "-q", "--max-size", "4096", page}).status, 2);
  EXPECT_EQ(run({"validate", "--max-size", "3GB", page}).status, 2);
  // Standard input through a pipe, and the limit there too.
  r = run({"validate", "-q", "-"}, "", "< " + shellQuoted(page));
  EXPECT_NE(r.status, 2) << r.err;
  EXPECT_TRUE(r.out.starts_with("-: ")) << r.out;
  EXPECT_EQ(run({"validate", "-q", "--max-size", "1000", "-"}, "", "< " + shellQuoted(page)).status,
            2);
}

TEST_F(VelumarkCommandTest, StandardInputIsReadOnceAndAClosedOneSaysSo) {
  RunResult r = run({"validate", "-", kClean, "-"}, "", "< /dev/null");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "velumark: standard input ('-') can be checked only once\n");
  EXPECT_EQ(r.out, "");
  r = run({"validate", "-"}, "", "<&-");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "velumark: cannot read '-': standard input is closed\n");
  r = run({"validate", "-"}, "", "< /dev/zero");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err,
            "velumark: cannot read '-': standard input is not a file, a pipe or a "
            "terminal\n");
  EXPECT_NE(run({"validate", "-q", "-"}, "", "< /dev/null").status, 2);  // an empty document
}

TEST_F(VelumarkCommandTest, XhtmlNamesFollowTheXmlRules) {
  const std::string body =
      "<title>t</title></head><body><p id=\"_a0\">x</p><p "
      "id=\"\xC3\xA9t\xC3\xA9\">y</p><p id=\"9z\">z</p></body></html>\n";
  const std::string xhtml = writeFile(
      "names.xhtml",
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 "
      "Strict//EN\" \"http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd\">\n<html "
      "xmlns=\"http://www.w3.org/1999/xhtml\"><head>" +
          body);
  auto names = [&](const std::string& page) {
    std::vector<std::string> values;
    const auto report = nlohmann::json::parse(run({"validate", "-f", "json", page}).out);
    for (const auto& error : report["files"][0]["errors"]) {
      if (error["code"] == "NameValueAttribute") values.push_back(error["substrings"][1]);
    }
    return values;
  };
  // Only the value that starts with a digit is not an XML name.
  EXPECT_EQ(names(xhtml).size(), 1u);
  // An HTML document type keeps its own rule: an ASCII letter first, ASCII only.
  const std::string html = writeFile("names.html",
                                     "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\" "
                                     "\"http://www.w3.org/TR/html4/strict.dtd\">\n<html><head>" +
                                         body);
  EXPECT_EQ(names(html).size(), 3u);
}

TEST_F(VelumarkCommandTest, SettingsPersistBetweenRuns) {
  EXPECT_EQ(run({"settings", "get", "Vmk_FollowsDoctype"}).out, "true\n");
  EXPECT_EQ(run({"settings", "set", "FollowsDoctype", "false"}).status, 0);
  EXPECT_EQ(run({"settings", "get", "Vmk_FollowsDoctype"}).out, "false\n");
  EXPECT_TRUE(fs::exists(root_ / "config" / "velumark" / "org.velumark.VelumarkX.plist"));
  EXPECT_EQ(run({"settings", "set", "Vmk_DontIndentTags", "UL  Ol\tdl"}).status, 0);
  EXPECT_EQ(run({"settings", "get", "Vmk_DontIndentTags"}).out, "ul ol dl\n");
  EXPECT_EQ(run({"settings", "set", "Vmk_LinkTimeout", "30"}).status, 0);
  EXPECT_EQ(run({"settings", "get", "Vmk_LinkTimeout"}).out, "30.0\n");
  EXPECT_NE(run({"settings", "list"}).out.find("* Vmk_FollowsDoctype "), std::string::npos);

  // With the DOCTYPE not followed, the default dictionary is used.
  EXPECT_NE(run({"validate", "-q", kClean}).out.find("HTML 4.01 Transitional:"), std::string::npos);

  EXPECT_EQ(run({"settings", "reset", "validate"}).status, 0);
  EXPECT_EQ(run({"settings", "get", "Vmk_FollowsDoctype"}).out, "true\n");
  EXPECT_EQ(run({"settings", "get", "Vmk_LinkTimeout"}).out, "30.0\n");
  EXPECT_EQ(run({"settings", "reset"}).status, 0);
  EXPECT_EQ(run({"settings", "get", "Vmk_LinkTimeout"}).out, "60.0\n");
}

TEST_F(VelumarkCommandTest, SettingsRefuseUnknownKeysAndBadValues) {
  RunResult r = run({"settings", "set", "Vmk_NoSuchThing", "1"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "velumark: unknown setting 'Vmk_NoSuchThing' (see 'velumark settings list')\n");
  r = run({"settings", "set", "Vmk_BeforeNewCheck", "3"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err,
            "velumark: bad value '3' for Vmk_BeforeNewCheck: expected an integer from 0 to 2\n");
  EXPECT_EQ(run({"settings", "set", "Vmk_OpeningAutoCheck", "maybe"}).status, 2);
  EXPECT_EQ(run({"settings", "set", "Vmk_LinkTimeout", "-1"}).status, 2);
  EXPECT_EQ(run({"settings", "set", "Vmk_DefaultHtmlDictionary", "HTML 9"}).status, 2);
  EXPECT_EQ(run({"settings", "reset", "nonsense"}).status, 2);
  // Nothing was changed.
  EXPECT_EQ(run({"settings", "list"}).out.find("\n* Vmk_"), std::string::npos);

  // A settings file that cannot be written is a failure, also when resetting.
  fs::remove_all(root_ / "config");
  fs::create_directories(root_ / "config");
  writeFile("config/velumark", "a file where the settings folder belongs");
  for (const char* what : {"link", "Vmk_BeforeNewCheck"}) {
    r = run({"settings", "reset", what});
    EXPECT_EQ(r.status, 2) << what;
    EXPECT_NE(r.err.find("could not write settings file"), std::string::npos) << r.err;
  }
}

TEST_F(VelumarkCommandTest, IgnoreSwitchesErrorsOffForOneRunOnly) {
  RunResult r = run({"validate", "-q", "--ignore", "H002", "-i", "CantBeChildElement", kMistakes});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("1 cautions were found!"), std::string::npos);
  r = run({"validate", "-q", kMistakes});
  EXPECT_NE(r.out.find("3 errors and 1 cautions"), std::string::npos);
  EXPECT_EQ(run({"validate", "--ignore", "H999", kMistakes}).status, 2);

  // Codes ignore case as numbers do; a use may list several, separated by commas.
  r = run({"validate", "-q", "-i", "h002,cantbechildelement", kMistakes});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("1 cautions were found!"), std::string::npos);
  r = run({"validate", "-q", "--ignore=H002,H008,wrongampersand", kMistakes});
  EXPECT_NE(r.out.find("Any errors and warnings were not found!"), std::string::npos) << r.out;
  EXPECT_EQ(run({"validate", "-i", "H002,NoSuchCode", kMistakes}).status, 2);
  EXPECT_NE(run({"validate", "--help"}).out.find("one code or number per use"), std::string::npos);
}

TEST_F(VelumarkCommandTest, ErrorCatalogueChangesPersist) {
  EXPECT_EQ(run({"errors", "set", "H002", "--level", "1"}).status, 0);
  RunResult r = run({"validate", "-q", kMistakes});
  EXPECT_NE(r.out.find("1 errors and 3 cautions"), std::string::npos);
  r = run({"errors", "list"});
  EXPECT_NE(r.out.find("\nH002    1      -1      NoSuchElementName"), std::string::npos);

  // An error without repair keeps its flag of -1: asking for one is refused, and nothing
  // else of the request is done.
  r = run({"errors", "set", "NoSuchElementName", "--fix", "1", "--level", "0"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("stays -1"), std::string::npos);
  EXPECT_NE(run({"errors", "list"}).out.find("\nH002    1      -1      NoSuchElementName"),
            std::string::npos);
  EXPECT_EQ(run({"errors", "set", "WrongAmpersand", "--fix", "0"}).status, 0);
  EXPECT_NE(run({"errors", "list"}).out.find("\nH013    1      0       WrongAmpersand"),
            std::string::npos);
  EXPECT_EQ(run({"errors", "set", "H002"}).status, 2);
  EXPECT_EQ(run({"errors", "set", "H002", "--level", "5"}).status, 2);
}

TEST_F(VelumarkCommandTest, LinesAndColumnsAcrossLongTextsAndLineEnds) {
  // Bare ampersands on lines of many lengths, some far into the text (past the points where
  // line feeds counted in bulk are summed), with CRLF line ends; each report line must name
  // where its ampersand really is.
  const std::string head =
      "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\" "
      "\"http://www.w3.org/TR/html4/strict.dtd\">\r\n<html><head><title>t</title>"
      "</head><body>\r\n";
  std::string page = head;
  std::vector<std::pair<int, int>> expected;  // line, column of each ampersand
  int line = 3;
  for (int i = 0; i < 400; ++i, ++line) {
    // Long runs of empty lines and of plain text move the ampersands past 65535 * 8 units.
    const size_t filler = size_t(i % 7 == 0 ? 12000 : i % 5);
    page += "<p>" + std::string(filler, 'x') + "&</p>";
    expected.emplace_back(line, int(filler) + 4);
    if (i % 50 == 0) {
      page += "\r\n" + std::string(1000, '\n');  // a CR LF, then LFs of their own
      line += 1001;
    }
    page += "\r\n";
  }
  page += "</body></html>\r\n";
  ASSERT_GT(page.size(), size_t(65535 * 8 + 50000));
  const std::string path = writeFile("long.html", page);
  const RunResult r = run({"validate", "--color", "never", path});
  std::istringstream lines(r.out);
  std::string reported;
  size_t n = 0;
  while (std::getline(lines, reported) && n < expected.size()) {
    const std::string want = path + ":" + std::to_string(expected[n].first) + ":" +
                             std::to_string(expected[n].second) + ": caution: H013";
    EXPECT_EQ(reported.substr(0, want.size()), want) << n;
    ++n;
  }
  EXPECT_EQ(n, expected.size()) << r.out.substr(0, 400);
}

TEST_F(VelumarkCommandTest, JsonTextsMatchTheGccTexts) {
  // Titles with and without characters JSON must escape read back as the gcc report shows them.
  const std::string page = writeFile("quotes.html", "<p><a\\b>x</a\\b><c\"d>y<g\xc3\xa9h>w</p>\n");
  const RunResult gcc = run({"validate", "--color", "never", page});
  const RunResult json = run({"validate", "-f", "json", page});
  const auto report = nlohmann::json::parse(json.out);
  std::istringstream lines(gcc.out);
  std::string line;
  size_t n = 0;
  for (const auto& error : report["files"][0]["errors"]) {
    ASSERT_TRUE(std::getline(lines, line));
    const std::string title = error["title"];
    const std::string number = error["number"];
    const std::string tail = " " + number + " " + title + " [" + std::string(error["code"]) + "]";
    EXPECT_TRUE(line.ends_with(tail)) << line << " / " << tail;
    ++n;
  }
  EXPECT_GE(n, 4u);
}

TEST_F(VelumarkCommandTest, ManyErrorsAreReportedInLinearTime) {
  // 100,000 bare ampersands on 20,000 lines.
  std::string page =
      "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\" "
      "\"http://www.w3.org/TR/html4/strict.dtd\">\n<html><head><title>t</title>"
      "</head><body>\n";
  for (int line = 0; line < 20000; ++line) page += "<p>& & & & &</p>\n";
  page += "</body></html>\n";
  const std::string path = writeFile("many.html", page);
  const auto start = std::chrono::steady_clock::now();
  const RunResult r = run({"validate", "-f", "json", path});
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ASSERT_EQ(r.status, 0) << r.err;
  const auto report = nlohmann::json::parse(r.out);
  const auto& errors = report["files"][0]["errors"];
  ASSERT_EQ(errors.size(), 100000u);
  EXPECT_EQ(errors[99999]["line"], 20002);
  EXPECT_EQ(errors[99999]["column"], 12);
  EXPECT_LT(seconds, 120.0);
}

// Every line of the gcc report of `page` names the place and text that the JSON report gives
// for the same record, the places worked out here in the text as the document holds it (line
// ends LF).
void VelumarkCommandTest::expectGccLinesAgreeWithJson(const std::string& page, size_t minimumErrors,
                                                      size_t maximumErrors) {
  const std::string path = writeFile("large.html", page);
  const RunResult gcc = run({"validate", "--color", "never", path});
  const RunResult json = run({"validate", "-f", "json", path});
  const auto errors = nlohmann::json::parse(json.out)["files"][0]["errors"];
  ASSERT_GE(errors.size(), minimumErrors);
  ASSERT_LE(errors.size(), maximumErrors);
  std::string held;
  for (size_t i = 0; i < page.size(); ++i)
    if (!(page[i] == '\r' && i + 1 < page.size() && page[i + 1] == '\n')) held += page[i];
  size_t at = 0, lineNumber = 1, lineStart = 0;
  std::istringstream lines(gcc.out);
  std::string line;
  for (const auto& error : errors) {
    const size_t location = error["location"];
    for (; at < location; ++at) {
      if (held[at] == '\n') {
        ++lineNumber;
        lineStart = at + 1;
      }
    }
    ASSERT_EQ(error["line"], lineNumber);
    ASSERT_EQ(error["column"], location - lineStart + 1);
    ASSERT_TRUE(std::getline(lines, line));
    const std::string level = error["level"] == 1 ? "caution" : "error";
    const std::string want = path + ":" + std::to_string(int(error["line"])) + ":" +
                             std::to_string(int(error["column"])) + ": " + level + ": " +
                             std::string(error["number"]) + " " + std::string(error["title"]) +
                             " [" + std::string(error["code"]) + "]";
    ASSERT_EQ(line, want);
  }
  ASSERT_TRUE(std::getline(lines, line));
  EXPECT_EQ(line.substr(0, path.size() + 2), path + ": ");
  EXPECT_FALSE(std::getline(lines, line));
}

const std::string kStrictPageStart =
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\" "
    "\"http://www.w3.org/TR/html4/strict.dtd\">\n<html><head><title>t</title>"
    "</head><body>\n";

TEST_F(VelumarkCommandTest, LargeGccReportAgreesWithTheJsonRecords) {
  // Enough records for the gcc report to be rendered in two halves.
  std::string page = kStrictPageStart;
  for (int i = 0; i < 6000; ++i) {
    page += "<p>" + std::string(size_t(i % 13), 'x') + "& <b>&amp</b> <blink>&</blink></p>";
    page += i % 3 == 0 ? "\r\n" : "\n";
  }
  page += "</body></html>\n";
  expectGccLinesAgreeWithJson(page, 20000);
}

TEST_F(VelumarkCommandTest, ReportOfALargeTextWithFewRecordsAgreesWithTheJsonRecords) {
  // A few thousand records spread over more than a million units of text: also rendered in
  // two halves, most of the work being the walk through the lines.
  std::string page = kStrictPageStart;
  for (int i = 0; i < 30000; ++i) {
    page += "<p>" + std::string(size_t(20 + i % 17), 'x') + "</p>";
    page += i % 3 == 0 ? "\r\n" : "\n";
    if (i % 23 == 0) page += "<p><blink>x</blink>\n" + std::string(size_t(i % 7), ' ') + "&</p>\n";
  }
  page += "</body></html>\n";
  ASSERT_GT(page.size(), size_t(1) << 20);
  expectGccLinesAgreeWithJson(page, 2000, 8000);
}

}  // namespace

namespace {

TEST_F(VelumarkCommandTest, SetChangesASettingForOneRunOnly) {
  // The run takes the value; the settings file is never written, so the next run has the
  // user's value again.
  RunResult r = run({"validate", "-q", "--set", "Vmk_FollowsDoctype=false", kMistakes});
  EXPECT_NE(r.status, 2) << r.err;
  EXPECT_FALSE(fs::exists(root_ / "config" / "velumark" / "org.velumark.VelumarkX.plist"));
  r = run({"settings", "get", "Vmk_FollowsDoctype"});
  EXPECT_NE(r.out.find("true"), std::string::npos) << r.out;

  EXPECT_EQ(run({"validate", "--set", "NoSuchSetting=1", kMistakes}).status, 2);
  r = run({"validate", "--set", "FollowsDoctype=maybe", kMistakes});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("true or false"), std::string::npos) << r.err;
  r = run({"validate", "--set", "novalue", kMistakes});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("KEY=VALUE"), std::string::npos) << r.err;
}

TEST_F(VelumarkCommandTest, AReportIsNeverWrittenOverAnInput) {
  const std::string page = writeFile("page.html", "<p>x");
  const std::string before = vmk::readFileContents(page).value_or("");
  fs::create_symlink(page, root_ / "link.html");
  for (const std::string& output :
       {page, (root_ / "link.html").string(), (root_ / "." / "page.html").string()}) {
    RunResult r = run({"validate", "-o", output, page});
    EXPECT_EQ(r.status, 2) << output;
    EXPECT_NE(r.err.find("it is the input"), std::string::npos) << r.err;
    EXPECT_EQ(vmk::readFileContents(page).value_or(""), before);
  }
  EXPECT_NE(run({"validate", "-o", (root_ / "report.txt").string(), page}).status, 2);
}

}  // namespace
