// velumark validate --strict end to end: content models and exclusions of the shipped
// dictionaries, reported where a strict validator reports them; nothing of it without the
// option; dictionaries made before content models were written.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/CliTestSupport.h"
#include "support/Paths.h"
#include "support/Plist.h"

namespace {

namespace fs = std::filesystem;

using Lines = std::vector<std::string>;

using vmk::testing::RunResult;

Lines splitLines(const std::string& text) {
  Lines lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

bool isStrictLine(const std::string& line) {
  return line.find(": H081 ") != std::string::npos || line.find(": H082 ") != std::string::npos ||
         line.find(": H083 ") != std::string::npos;
}

class StrictChecksCommandTest : public vmk::testing::CliTest {
 protected:
  // The strict checks' lines of one page.
  Lines strictLines(const std::string& page) {
    RunResult r = run({"validate", "--strict", page});
    EXPECT_EQ(r.err, "");
    Lines lines;
    for (const std::string& line : splitLines(r.out))
      if (isStrictLine(line)) lines.push_back(line);
    return lines;
  }
};

const std::string kDir = "tests/data/cli/strict/";

TEST_F(StrictChecksCommandTest, ExclusionsAtTheExcludedStartTag) {
  const std::string page = kDir + "excluded.html";
  EXPECT_EQ(strictLines(page),
            (Lines{page + ":3:9: error: H083 <FONT> is not allowed anywhere inside <PRE> "
                          "[ExcludedElement]",
                   page + ":4:21: error: H083 <A> is not allowed anywhere inside <A> "
                          "[ExcludedElement]",
                   page + ":5:23: error: H083 <FORM> is not allowed anywhere inside <FORM> "
                          "[ExcludedElement]",
                   page + ":6:32: error: H083 <INPUT> is not allowed anywhere inside <BUTTON> "
                          "[ExcludedElement]",
                   page + ":7:17: error: H083 <LABEL> is not allowed anywhere inside <LABEL> "
                          "[ExcludedElement]"}));
}

TEST_F(StrictChecksCommandTest, IncompleteElementsAtTheirEndTagsAndOutOfPlaceChildren) {
  const std::string page = kDir + "incomplete.html";
  EXPECT_EQ(
      strictLines(page),
      (Lines{page + ":3:5: error: H081 <UL> is incomplete: <LI> expected [RequiredElementMissing]",
             page + ":4:38: error: H081 <SELECT> is incomplete: <OPTGROUP|OPTION> expected "
                    "[RequiredElementMissing]",
             page + ":5:18: error: H081 <MAP> is incomplete: <ADDRESS|AREA|BLOCKQUOTE|DIV|DL|"
                    "FIELDSET|FORM|H1|H2|H3|H4|H5|H6|HR|NOSCRIPT|OL|P|PRE|TABLE|UL> expected "
                    "[RequiredElementMissing]",
             page + ":6:12: error: H081 <TR> is incomplete: <TD|TH> expected "
                    "[RequiredElementMissing]",
             page + ":7:8: error: H081 <TABLE> is incomplete: <CAPTION|COL|COLGROUP|TBODY|TFOOT|"
                    "THEAD> expected [RequiredElementMissing]",
             page + ":8:28: error: H081 <TABLE> is incomplete: <COL|COLGROUP|TBODY|TFOOT|THEAD> "
                    "expected [RequiredElementMissing]",
             page + ":9:11: error: H082 <P> is not allowed at this point inside <FIELDSET> "
                    "[ElementOutOfPlace]"}));
  const std::string second = kDir + "second-title.html";
  EXPECT_EQ(strictLines(second),
            (Lines{second + ":2:29: error: H082 <TITLE> is not allowed at this point inside "
                            "<HEAD> [ElementOutOfPlace]"}));
}

TEST_F(StrictChecksCommandTest, OmittedTagsInclusionsAndUnclosedElementsGiveNothing) {
  for (const char* name : {"omitted.html", "script-first.html", "unclosed-dl.html"}) {
    EXPECT_EQ(strictLines(kDir + name), Lines{}) << name;
  }
}

TEST_F(StrictChecksCommandTest, XhtmlHasNoExclusionsAndHeadIsLeftToTheTitleCheck) {
  const std::string excluded = kDir + "xhtml-excluded.html";
  EXPECT_EQ(strictLines(excluded),
            (Lines{excluded + ":5:5: error: H081 <ul> is incomplete: <li> expected "
                              "[RequiredElementMissing]"}));
  const std::string incomplete = kDir + "xhtml-incomplete.html";
  RunResult r = run({"validate", "--strict", incomplete});
  EXPECT_NE(r.out.find("H017"), std::string::npos);
  EXPECT_EQ(r.out.find("<head> is incomplete"), std::string::npos);
  EXPECT_EQ(strictLines(incomplete),
            (Lines{incomplete + ":3:5: error: H081 <ul> is incomplete: <li> expected "
                                "[RequiredElementMissing]",
                   incomplete + ":5:21: error: H081 <select> is incomplete: <optgroup|option> "
                                "expected [RequiredElementMissing]"}));
}

TEST_F(StrictChecksCommandTest, WithoutTheOptionTheReportsAreThoseOfBefore) {
  for (const auto& entry : fs::directory_iterator(fs::path(VELUMARK_SOURCE_DIR) / kDir)) {
    const std::string page = kDir + entry.path().filename().string();
    RunResult plain = run({"validate", page});
    RunResult strict = run({"validate", "--strict", page});
    Lines plainLines = splitLines(plain.out);
    Lines strictLines = splitLines(strict.out);
    ASSERT_FALSE(plainLines.empty());
    for (const std::string& line : plainLines) EXPECT_FALSE(isStrictLine(line)) << line;
    // Apart from the strict lines, the ids compared ignoring case and the summary, the same.
    std::erase_if(strictLines, [](const std::string& line) {
      return isStrictLine(line) || line.find("H040") != std::string::npos;
    });
    std::erase_if(plainLines,
                  [](const std::string& line) { return line.find("H040") != std::string::npos; });
    plainLines.pop_back();
    strictLines.pop_back();
    EXPECT_EQ(plainLines, strictLines) << page;
  }
}

TEST_F(StrictChecksCommandTest, TheDictionaryCommandShowsTheModelAndExceptions) {
  RunResult r = run({"dictionary", "HTML 4.01 Strict", "pre"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("\nContent model:\n  (#PCDATA|TT|I|B|"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\nExclusions:\n  IMG, OBJECT, BIG, SMALL, SUB, SUP\n"), std::string::npos);
  EXPECT_EQ(r.out.find("Inclusions:"), std::string::npos);
}

TEST_F(StrictChecksCommandTest, IdsOfSgmlDocumentTypesDifferingOnlyInCase) {
  const std::string page = kDir + "ids.html";
  EXPECT_EQ(run({"validate", page}).out.find("H040"), std::string::npos);
  EXPECT_NE(run({"validate", "--strict", page})
                .out.find(page + ":4:8: error: H040 ID \"index-PWD\" is already defined"),
            std::string::npos);
  // XHTML ids stay case-sensitive.
  const std::string xhtml = (root_ / "ids-x.html").string();
  std::ofstream(xhtml) << "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Strict//EN\" "
                          "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd\">\n"
                          "<html xmlns=\"http://www.w3.org/1999/xhtml\"><head><title>t</title>"
                          "</head><body><p id=\"a\">a</p><p id=\"A\">b</p></body></html>\n";
  EXPECT_EQ(run({"validate", "--strict", xhtml}).out.find("H040"), std::string::npos);
}

TEST_F(StrictChecksCommandTest, ADictionaryWithoutModelsIsNotedOnceAndChecksNothingMore) {
  // A user's folder installed before models were written: the same files without the keys.
  ASSERT_EQ(run({"dictionaries"}).status, 0);  // installs the shipped ones
  const fs::path folder = root_ / "data" / "velumark" / "dictionaries";
  for (const auto& entry : fs::directory_iterator(folder)) {
    std::optional<vmk::PlistValue> file = vmk::readPlistFile(entry.path().string());
    ASSERT_TRUE(file && file->asDict());
    vmk::PlistDict& table = *file->asDict()->find("DtdDictionary")->asDict();
    vmk::PlistDict stripped;
    for (const auto& [name, record] : table.entries()) {
      vmk::PlistDict old;
      for (const auto& [key, value] : record.asDict()->entries()) {
        if (key != "ContentModel" && key != "Inclusions" && key != "Exclusions") {
          old.append(key, value);
        }
      }
      stripped.append(name, vmk::PlistValue(std::move(old)));
    }
    file->asDict()->set("DtdDictionary", vmk::PlistValue(std::move(stripped)));
    ASSERT_TRUE(vmk::writePlistFile(entry.path().string(), *file));
  }
  const std::string a = kDir + "incomplete.html";
  const std::string b = kDir + "second-title.html";
  RunResult plain = run({"validate", a, b});
  RunResult strict = run({"validate", "--strict", a, b});
  EXPECT_EQ(strict.err,
            "velumark: dictionary 'HTML 4.01 Strict' has no content models; they are not "
            "checked\n");
  EXPECT_EQ(strict.out, plain.out);
  EXPECT_EQ(strict.status, plain.status);
}

}  // namespace
