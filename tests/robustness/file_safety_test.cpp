// Every writer of the system — whole files, document saving, the settings store, rulesmith
// and the velumark command — writes atomically: when the write fails (the disk fills up, the
// folder cannot be written) the old file stays byte for byte, no temporary file is left
// behind, and the failure is reported (false, an error text, a non-zero exit status).
//
// A full disk is simulated with a lowered file-size limit (writes beyond it fail with EFBIG;
// root is not exempt) and, where mounting is permitted, with a small tmpfs (ENOSPC). A folder
// that cannot be written is simulated with a path whose parent is a regular file (ENOTDIR),
// since the tests may run as root, for whom permission bits do not count.
#include <gtest/gtest.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstring>
#include <sstream>

#include "RobustnessSupport.h"
#include "converter/RulesmithCommand.h"
#include "host/headless/HeadlessDocument.h"
#include "settings/VmkUserDefaults.h"
#include "support/Paths.h"
#include "support/Plist.h"

namespace vmk::robustness {
namespace {

constexpr std::string_view kOriginal = "the original content, which must survive\n";
constexpr size_t kSmallLimit = 16;  // smaller than anything the writers write

class FileSafetyTest : public ::testing::Test {
 protected:
  TempFolder folder;

  // An existing file with kOriginal.
  std::string original(std::string_view name) {
    const std::string path = folder.file(name);
    writeFile(path, kOriginal);
    return path;
  }
  // The file still holds kOriginal and the folder holds nothing but the named files.
  void expectIntact(const std::string& path, std::vector<std::string> names) {
    EXPECT_EQ(readFile(path), kOriginal) << path;
    std::sort(names.begin(), names.end());
    EXPECT_EQ(folderEntries(folder.path()), names) << "a temporary file was left behind";
  }
  std::string underRegularFile(std::string_view name) {
    writeFile(folder.file("plain-file"), "x");
    return folder.file("plain-file/" + std::string(name));
  }
};

TEST_F(FileSafetyTest, WholeFileWriteOnAFullDisk) {
  const std::string path = original("a.txt");
  std::string error;
  {
    FileSizeLimit limit(kSmallLimit);
    EXPECT_FALSE(writeFileAtomically(path, std::string(4096, 'n'), &error));
  }
  EXPECT_NE(error, "");
  expectIntact(path, {"a.txt"});
  EXPECT_FALSE(writeFileAtomically(underRegularFile("a.txt"), "new", &error));
}

TEST_F(FileSafetyTest, DocumentSaveOnAFullDisk) {
  const std::string path = original("page.html");
  HeadlessDocument document(u"<html><body>" + UString(4096, u'x') + u"</body></html>", path);
  std::string error;
  {
    FileSizeLimit limit(kSmallLimit);
    EXPECT_FALSE(document.saveToFile(path, &error));
    EXPECT_FALSE(document.saveDocument(&error));
  }
  EXPECT_NE(error, "");
  expectIntact(path, {"page.html"});
  EXPECT_FALSE(document.saveToFile(underRegularFile("page.html"), &error));
}

TEST_F(FileSafetyTest, SettingsWriteOnAFullDisk) {
  const std::string path = folder.file("settings.plist");
  {
    VmkUserDefaults store(path);
    ASSERT_TRUE(store.changeIntValue(1, "Vmk_BeforeNewCheck"));
  }
  const std::string before = readFile(path);
  {
    VmkUserDefaults store(path);
    FileSizeLimit limit(kSmallLimit);
    EXPECT_FALSE(store.changeStringValue(std::string(4096, 'n'), "Vmk_DefaultHtmlDictionary"));
  }
  EXPECT_EQ(readFile(path), before);
  EXPECT_EQ(folderEntries(folder.path()), std::vector<std::string>{"settings.plist"});
  // A value that the file cannot keep is refused, not cut short.
  {
    VmkUserDefaults store(path);
    EXPECT_FALSE(store.changeStringValue(std::string("a\0b", 3), "Vmk_DefaultHtmlDictionary"));
  }
  EXPECT_EQ(readFile(path), before);
  VmkUserDefaults elsewhere(underRegularFile("settings.plist"));
  EXPECT_FALSE(elsewhere.changeIntValue(1, "Vmk_BeforeNewCheck"));
}

TEST_F(FileSafetyTest, RulesmithOnAFullDisk) {
  writeFile(folder.file("mini.dtd"),
            readFile(std::string(VELUMARK_TEST_DATA) + "/converter/sgml_basic.dtd"));
  const std::string dictionary = original("mini.dict");
  RulesmithOptions options;
  options.dtdPath = folder.file("mini.dtd");
  options.quiet = true;
  std::ostringstream monitor, errors;
  {
    FileSizeLimit limit(kSmallLimit);
    EXPECT_EQ(runRulesmith(options, monitor, errors), kRulesmithWriteFailed);
  }
  EXPECT_NE(errors.str(), "");
  expectIntact(dictionary, {"mini.dict", "mini.dtd"});

  options.outputDir = underRegularFile("dictionaries");
  EXPECT_EQ(runRulesmith(options, monitor, errors), kRulesmithWriteFailed);
}

TEST_F(FileSafetyTest, RulesmithProgramOnAFullDisk) {
  if (programPath("rulesmith").empty()) GTEST_SKIP() << "rulesmith was not built";
  writeFile(folder.file("mini.dtd"),
            readFile(std::string(VELUMARK_TEST_DATA) + "/converter/sgml_basic.dtd"));
  const std::string dictionary = original("mini.dict");
  const ProgramResult result =
      runProgram("rulesmith", {"--quiet", folder.file("mini.dtd")}, {}, kSmallLimit);
  EXPECT_EQ(result.status, kRulesmithWriteFailed) << result.err;
  EXPECT_NE(result.err, "");
  expectIntact(dictionary, {"mini.dict", "mini.dtd"});
}

class VelumarkProgramTest : public FileSafetyTest {
 protected:
  void SetUp() override {
    if (programPath("velumark").empty()) GTEST_SKIP() << "velumark was not built";
    writeFile(folder.file("page.html"), "<html><body><p>text</body></html>\n");
  }
  std::vector<std::string> environment() const {
    return {"XDG_CONFIG_HOME=" + home.file("config"), "XDG_DATA_HOME=" + home.file("data")};
  }
  std::string settingsFile() const {
    return home.file("config") + "/velumark/org.velumark.VelumarkX.plist";
  }
  // Makes a settings file through the command and answers its bytes.
  std::string settingsBefore() {
    const ProgramResult made =
        runProgram("velumark", {"settings", "set", "Vmk_BeforeNewCheck", "1"}, environment());
    EXPECT_EQ(made.status, 0) << made.err;
    return readFile(settingsFile());
  }
  TempFolder home;
};

TEST_F(VelumarkProgramTest, ReportOutputOnAFullDisk) {
  const std::string report = original("report.txt");
  const ProgramResult result =
      runProgram("velumark", {"validate", folder.file("page.html"), "--output", report},
                 environment(), kSmallLimit);
  EXPECT_NE(result.status, 0);
  EXPECT_LT(result.status, 128) << "killed by a signal";
  EXPECT_NE(result.err, "");
  expectIntact(report, {"page.html", "report.txt"});

  const ProgramResult elsewhere = runProgram(
      "velumark", {"validate", folder.file("page.html"), "--output", underRegularFile("r.txt")},
      environment());
  EXPECT_NE(elsewhere.status, 0);
  EXPECT_LT(elsewhere.status, 128);
}

TEST_F(VelumarkProgramTest, SettingsSetOnAFullDisk) {
  const std::string before = settingsBefore();
  ASSERT_NE(before, "");
  const ProgramResult result = runProgram(
      "velumark", {"settings", "set", "Vmk_BeforeNewCheck", "2"}, environment(), kSmallLimit);
  EXPECT_NE(result.status, 0);
  EXPECT_LT(result.status, 128);
  EXPECT_EQ(readFile(settingsFile()), before);
  EXPECT_EQ(folderEntries(home.file("config") + "/velumark"),
            std::vector<std::string>{"org.velumark.VelumarkX.plist"});
}

TEST_F(VelumarkProgramTest, ErrorsSetOnAFullDisk) {
  const std::string before = settingsBefore();
  const ProgramResult result =
      runProgram("velumark", {"errors", "set", "NoDoctypeDeclaration", "--level", "2"},
                 environment(), kSmallLimit);
  EXPECT_NE(result.status, 0) << result.err;
  EXPECT_LT(result.status, 128);
  EXPECT_EQ(readFile(settingsFile()), before);
}

// A real full disk: a tmpfs of 64 KiB, when this process may mount one.
TEST_F(FileSafetyTest, WritesOnARealFullDisk) {
  const std::string disk = folder.file("disk");
  ASSERT_TRUE(makeDirectories(disk));
  if (mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=64k") != 0)
    GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
  struct Unmount {
    std::string path;
    ~Unmount() { umount2(path.c_str(), MNT_DETACH); }
  } unmount{disk};
  const std::string path = disk + "/a.txt";
  writeFile(path, kOriginal);
  std::string error;
  EXPECT_FALSE(writeFileAtomically(path, std::string(256 << 10, 'n'), &error));
  EXPECT_NE(error.find("space"), std::string::npos) << error;
  EXPECT_EQ(readFile(path), kOriginal);
  EXPECT_EQ(folderEntries(disk), std::vector<std::string>{"a.txt"});

  HeadlessDocument document(UString(200 << 10, u'x'), path);
  EXPECT_FALSE(document.saveDocument(&error));
  EXPECT_EQ(readFile(path), kOriginal);
}

}  // namespace
}  // namespace vmk::robustness
