#include "converter/RulesmithCommand.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sstream>

#include "support/Paths.h"
#include "support/Plist.h"

namespace vmk {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

class RulesmithCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("rulesmith-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    fs::copy_file(std::string(VELUMARK_TEST_DATA) + "/converter/sgml_basic.dtd", dir_ / "mini.dtd");
  }
  void TearDown() override { fs::remove_all(dir_); }

  int run(RulesmithOptions options) {
    monitor_.str("");
    errors_.str("");
    return runRulesmith(options, monitor_, errors_);
  }
  std::string dtd() const { return (dir_ / "mini.dtd").string(); }
  static RulesmithOptions forPath(const std::string& path) {
    RulesmithOptions options;
    options.dtdPath = path;
    return options;
  }

  fs::path dir_;
  std::ostringstream monitor_;
  std::ostringstream errors_;
};

TEST_F(RulesmithCommandTest, DefaultsComeFromTheDtd) {
  ASSERT_EQ(run(forPath(dtd())), kRulesmithOk) << errors_.str();
  std::optional<PlistValue> file = readPlistFile((dir_ / "mini.dict").string());
  ASSERT_TRUE(file);
  const PlistDict& top = *file->asDict();
  EXPECT_EQ(*top.find("ApplicationName")->asString(), "Velumark X");
  EXPECT_TRUE(top.find("VersionNumber")->isReal());
  EXPECT_EQ(top.find("VersionNumber")->realValue(), 1.0);
  EXPECT_EQ(*top.find("DoctypeName")->asString(), "-//TEST//DTD Mini HTML 1.0//EN");
  EXPECT_EQ(*top.find("SystemIdentifier")->asString(), "http://example.org/mini.dtd");
  const PlistDict& table = *top.find("DtdDictionary")->asDict();
  const PlistDict& tbody = *table.find("TBODY")->asDict();
  EXPECT_EQ(*tbody.find("TypeString")->asString(), "O O");
  EXPECT_EQ(*tbody.find("ParentElements")->asArray(), PlistArray{"TABLE"});
  EXPECT_FALSE(tbody.contains("Attributes"));
  EXPECT_TRUE(table.find("TABLE")->asDict()->contains("Attributes"));
  EXPECT_THAT(monitor_.str(), HasSubstr("The conversion finished..."));
}

TEST_F(RulesmithCommandTest, NamesAndFolderFromOptions) {
  RulesmithOptions options = forPath(dtd());
  options.displayName = "Mini Dictionary";
  options.publicId = "-//X//DTD Other//EN";
  options.systemId = "";
  options.outputDir = (dir_ / "out" / "deeper").string();
  options.quiet = true;
  ASSERT_EQ(run(options), kRulesmithOk) << errors_.str();
  EXPECT_EQ(monitor_.str(), "");
  std::optional<PlistValue> file =
      readPlistFile((dir_ / "out/deeper/Mini Dictionary.dict").string());
  ASSERT_TRUE(file);
  EXPECT_EQ(*file->asDict()->find("DoctypeName")->asString(), "-//X//DTD Other//EN");
  EXPECT_FALSE(file->asDict()->contains("SystemIdentifier"));

  // A second run with another name writes a second file with the same table.
  options.displayName = "Second";
  ASSERT_EQ(run(options), kRulesmithOk);
  std::optional<PlistValue> second = readPlistFile((dir_ / "out/deeper/Second.dict").string());
  ASSERT_TRUE(second);
  EXPECT_EQ(*second->asDict()->find("DtdDictionary"), *file->asDict()->find("DtdDictionary"));
}

TEST_F(RulesmithCommandTest, RefusesBadInput) {
  fs::copy_file(dtd(), dir_ / "mini.txt");
  EXPECT_EQ(run(forPath((dir_ / "mini.txt").string())), kRulesmithBadInput);
  EXPECT_THAT(errors_.str(), HasSubstr("must end in \".dtd\""));
  fs::copy_file(dtd(), dir_ / "upper.DTD");
  EXPECT_EQ(run(forPath((dir_ / "upper.DTD").string())), kRulesmithBadInput);
  EXPECT_EQ(run(forPath((dir_ / "missing.dtd").string())), kRulesmithBadInput);
  EXPECT_THAT(errors_.str(), HasSubstr("cannot read"));
  RulesmithOptions badName = forPath(dtd());
  badName.displayName = "a/b";
  EXPECT_EQ(run(badName), kRulesmithBadInput);
  EXPECT_FALSE(fs::exists(dir_ / "mini.dict"));
}

TEST_F(RulesmithCommandTest, ReportsAFailedWrite) {
  // The target's place is taken by a folder: the write fails and is reported.
  fs::create_directories(dir_ / "mini.dict");
  EXPECT_EQ(run(forPath(dtd())), kRulesmithWriteFailed);
  EXPECT_THAT(errors_.str(), HasSubstr("cannot write"));
  RulesmithOptions intoFile = forPath(dtd());
  intoFile.outputDir = dtd();  // a file, not a folder
  EXPECT_EQ(run(intoFile), kRulesmithWriteFailed);
}

TEST_F(RulesmithCommandTest, ProgramHelpAndStatuses) {
  std::string program = std::string(VELUMARK_BINARY_DIR) + "/bin/rulesmith";
  if (!fs::exists(program)) GTEST_SKIP() << "rulesmith is not built";
  FILE* pipe = popen(("\"" + program + "\" --help").c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string help;
  char buffer[4096];
  while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) help.append(buffer, n);
  EXPECT_EQ(pclose(pipe), 0);
  EXPECT_THAT(help, HasSubstr("--resolve-external"));
  EXPECT_THAT(help, HasSubstr("--output-dir"));
  auto status = [&](const std::string& args) {
    int raw = std::system(("\"" + program + "\" " + args + " 2>/dev/null").c_str());
    return WEXITSTATUS(raw);
  };
  EXPECT_EQ(status("-q \"" + dtd() + "\""), 0);
  EXPECT_EQ(status("-q \"" + (dir_ / "none.txt").string() + "\""), 2);
  EXPECT_EQ(status("--no-such-option \"" + dtd() + "\""), 2);
  EXPECT_EQ(status("-q --system \"\" --name Empty \"" + dtd() + "\""), 0);
  std::optional<PlistValue> file = readPlistFile((dir_ / "Empty.dict").string());
  ASSERT_TRUE(file);
  EXPECT_FALSE(file->asDict()->contains("SystemIdentifier"));
}

}  // namespace
}  // namespace vmk
