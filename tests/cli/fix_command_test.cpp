// velumark fix end to end: the built binary on a private settings and data folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "cli/CliTestSupport.h"
#include "support/Paths.h"

namespace {

namespace fs = std::filesystem;

using vmk::testing::RunResult;
using vmk::testing::shellQuoted;

class FixCommandTest : public vmk::testing::CliTest {};

const std::string kDoctype =
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\" "
    "\"http://www.w3.org/TR/html4/strict.dtd\">";
const std::string kPage =
    kDoctype + "\r\n<html><head><title>t</title></head>\r\n<body><p>a & b</p></body></html>\r\n";

TEST_F(FixCommandTest, WritesTheRepairedDocumentToStandardOutputKeepingItsLineEnds) {
  const std::string page = writeFile("page.html", kPage);
  RunResult r = run({"fix", page});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, kDoctype +
                       "\r\n<html><head><title>t</title></head>\r\n<body><p>a &amp; b</p>"
                       "</body></html>\r\n");
  EXPECT_NE(r.err.find("were not found"), std::string::npos) << r.err;
  // Standard input to standard output.
  r = run({"fix", "-"}, "", "<" + shellQuoted(page));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("a &amp; b"), std::string::npos);
}

TEST_F(FixCommandTest, ErrorsLeftExitOneAndAreReportedOnStandardError) {
  const std::string page =
      writeFile("left.html", kDoctype +
                                 "\n<html><head><title>t</title></head><body><p><foo>x</foo>"
                                 " & y</p></body></html>\n");
  RunResult r = run({"fix", "--format", "json", page});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("x</foo> &amp; y"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("\"NoSuchElementName\""), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("WrongAmpersand"), std::string::npos) << r.err;
}

TEST_F(FixCommandTest, InPlaceOnlyWhenChangedAndAFailedWriteLeavesTheFile) {
  const std::string page = writeFile("page.html", kPage);
  const std::string clean = writeFile("clean.html", kDoctype +
                                                        "\n<html><head><title>t</title>"
                                                        "</head><body><p>x</p></body></html>\n");
  const auto before = fs::last_write_time(clean);
  EXPECT_EQ(run({"fix", "--in-place", clean}).status, 0);
  EXPECT_EQ(fs::last_write_time(clean), before);

  // A write that fails half way (the file size limit stops it): the file stays as it was.
  std::string large = kDoctype + "\n<html><head><title>t</title></head><body>\n";
  for (int i = 0; i < 200; ++i) large += "<p>a & b</p>\n";
  const std::string big = writeFile("big.html", large + "</body></html>\n");
  RunResult r = run({"fix", "--in-place", big}, "sh -c 'ulimit -f 1; exec \"$0\" \"$@\"'");
  EXPECT_NE(r.status, 0);
  EXPECT_EQ(vmk::readFileContents(big).value_or(""), large + "</body></html>\n");

  EXPECT_EQ(run({"fix", "--in-place", page}).status, 0);
  EXPECT_NE(vmk::readFileContents(page).value_or("").find("a &amp; b</p></body></html>\r\n"),
            std::string::npos);
  // An output that is the input is refused.
  EXPECT_EQ(run({"fix", "-o", page, page}).status, 2);
}

TEST_F(FixCommandTest, ShiftJisStaysShiftJis) {
  const std::string page = writeFile(
      "sjis.html", kDoctype +
                       "\n<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
                       "charset=Shift_JIS\"><title>t</title></head><body><p>\x82\xa0 & "
                       "\xb1</p></body></html>\n");
  RunResult r = run({"fix", "-o", (root_ / "out.html").string(), page});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(vmk::readFileContents((root_ / "out.html").string()).value_or(""),
            kDoctype +
                "\n<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
                "charset=Shift_JIS\"><title>t</title></head><body><p>\x82\xa0 &amp; "
                "\x83\x41</p></body></html>\n");
}

TEST_F(FixCommandTest, ValidateReportsTheEditsOfEachRepair) {
  const std::string page = writeFile("page.html", kPage);
  RunResult json = run({"validate", "-f", "json", page});
  EXPECT_NE(json.out.find("\"fix_edits\":[{\"location\":"), std::string::npos) << json.out;
  EXPECT_NE(json.out.find("\"text\":\"&amp;\"}]"), std::string::npos) << json.out;
  RunResult sarif = run({"validate", "-f", "sarif", page});
  EXPECT_NE(sarif.out.find("\"fixes\":[{\"description\""), std::string::npos) << sarif.out;
  EXPECT_NE(sarif.out.find("\"replacements\":[{\"deletedRegion\":{\"charOffset\":"),
            std::string::npos);
  EXPECT_NE(sarif.out.find("\"insertedContent\":{\"text\":\"&amp;\"}"), std::string::npos);
}

// After fix, a second fix changes nothing, and no error appears that the page did not have.
TEST_F(FixCommandTest, ASecondFixChangesNothing) {
  for (const std::string& sample :
       {std::string("tests/data/engine/pages/mistakes-html401-strict.html"),
        std::string("tests/data/engine/pages/mistakes-xhtml10-strict.html"),
        std::string("tests/data/engine/pages/transitional-html401.html"),
        std::string("tests/data/cli/mistakes.html")}) {
    const std::string once = (root_ / "once.html").string();
    const std::string twice = (root_ / "twice.html").string();
    run({"fix", "-o", once, sample});
    run({"fix", "-o", twice, once});
    EXPECT_EQ(vmk::readFileContents(once).value_or("1"), vmk::readFileContents(twice).value_or("2"))
        << sample;
    const RunResult before = run({"validate", "-f", "json", sample});
    const RunResult after = run({"validate", "-f", "json", once});
    for (size_t at = after.out.find("\"code\":"); at != std::string::npos;
         at = after.out.find("\"code\":", at + 1)) {
      const std::string code = after.out.substr(at, after.out.find(',', at) - at);
      EXPECT_NE(before.out.find(code), std::string::npos) << sample << " " << code;
    }
  }
}

}  // namespace
