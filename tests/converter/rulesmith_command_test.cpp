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
using ::testing::Not;

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
  // The mini DTD carries deliberate faults (undefined entities, attributes of no element).
  ASSERT_EQ(run(forPath(dtd())), kRulesmithWarnings) << errors_.str();
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
  ASSERT_EQ(run(options), kRulesmithWarnings) << errors_.str();
  EXPECT_EQ(monitor_.str(), "");
  std::optional<PlistValue> file =
      readPlistFile((dir_ / "out/deeper/Mini Dictionary.dict").string());
  ASSERT_TRUE(file);
  EXPECT_EQ(*file->asDict()->find("DoctypeName")->asString(), "-//X//DTD Other//EN");
  EXPECT_FALSE(file->asDict()->contains("SystemIdentifier"));

  // A second run with another name writes a second file with the same table.
  options.displayName = "Second";
  ASSERT_EQ(run(options), kRulesmithWarnings);
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

void writeText(const fs::path& path, std::string_view text) {
  ASSERT_TRUE(writeFileAtomically(path.string(), text));
}

TEST_F(RulesmithCommandTest, BrokenDeclarationsAreWarnedWithFileAndLine) {
  const fs::path broken = dir_ / "broken.dtd";
  writeText(broken,
            "<!-- a DTD with\n     faults -->\n"
            "<!ELEMENT P - O (#PCDATA)\n"  // 3: no ">"
            "<!ELEMENT B - - (#PCDATA)>\n"
            "<!ATTLIST B x CDATA #IMPLID\n"       // 5: unknown keyword
            "   y (a|b) #implied>\n"              // SGML keywords ignore case
            "<!ENTITY % loop \"%loop; more\">\n"  // 7: refers to itself
            "<!ELEMENT I - - (%inline;)*>\n"      // 8: not defined
            "<!ATTLIST Q z CDATA #IMPLIED>\n");   // 9: no such element
  RulesmithOptions options = forPath(broken.string());
  options.quiet = true;
  EXPECT_EQ(run(options), kRulesmithWarnings);
  const std::string file = broken.string();
  EXPECT_EQ(errors_.str(),
            file + ":7: warning: parameter entity %loop; refers to itself\n" + file +
                ":8: warning: parameter entity %inline; is not defined\n" + file +
                ":3: warning: the declaration of element P has no closing \">\"\n" + file +
                ":5: warning: attribute x of B has an unknown default keyword \"#IMPLID\"\n" +
                file +
                ":9: warning: attributes are declared for Q, which has no element declaration\n" +
                "rulesmith: 5 warnings: the dictionary may be incomplete\n");
  EXPECT_EQ(monitor_.str(), "");
  // The dictionary is written all the same, and the element after the broken one is kept.
  std::optional<PlistValue> written = readPlistFile((dir_ / "broken.dict").string());
  ASSERT_TRUE(written);
  EXPECT_TRUE(written->asDict()->find("DtdDictionary")->asDict()->contains("B"));
}

TEST_F(RulesmithCommandTest, ADtdWithoutElementsWritesNothing) {
  writeText(dir_ / "empty.dtd", "");
  writeText(dir_ / "entities.dtd", "<!ENTITY % a \"b\">\n");
  EXPECT_EQ(run(forPath((dir_ / "empty.dtd").string())), kRulesmithWarnings);
  EXPECT_THAT(errors_.str(), HasSubstr("declares no element: nothing was written"));
  EXPECT_FALSE(fs::exists(dir_ / "empty.dict"));
  EXPECT_EQ(run(forPath((dir_ / "entities.dtd").string())), kRulesmithWarnings);
  EXPECT_FALSE(fs::exists(dir_ / "entities.dict"));
}

TEST_F(RulesmithCommandTest, ExternalDeclarationsLeftUnreadAreWarned) {
  // Like a frameset DTD converted without --resolve-external: the DTD it builds on is not
  // read. Entity sets (character entities) are not needed and give no warning.
  writeText(dir_ / "base.dtd", "<!ELEMENT BASE - - (#PCDATA)>\n");
  writeText(dir_ / "lat1.ent", "<!ENTITY nbsp CDATA \"&#160;\">\n");
  const fs::path outer = dir_ / "outer.dtd";
  writeText(outer,
            "<!ENTITY % lat1 PUBLIC \"-//TEST//ENTITIES Latin 1//EN\" \"lat1.ent\">\n%lat1;\n"
            "<!ELEMENT OUTER - - (BASE)>\n"
            "<!ENTITY % base PUBLIC \"-//TEST//DTD Base//EN\" \"base.dtd\">\n"
            "%base;\n");
  RulesmithOptions options = forPath(outer.string());
  options.quiet = true;
  EXPECT_EQ(run(options), kRulesmithWarnings);
  EXPECT_THAT(errors_.str(),
              HasSubstr(outer.string() + ":5: warning: external parameter entity %base; is not "
                                         "read, so the declarations it holds are missing"));
  EXPECT_THAT(errors_.str(), Not(HasSubstr("%lat1;")));

  options.resolveExternal = true;
  options.catalogs = {(dir_ / "none.soc").string()};
  writeText(dir_ / "none.soc", "");
  EXPECT_EQ(run(options), kRulesmithOk) << errors_.str();
  EXPECT_EQ(errors_.str(), "");
}

TEST_F(RulesmithCommandTest, WarningsInAnIncludedFileNameThatFile) {
  fs::create_directories(dir_ / "mod");
  writeText(dir_ / "mod" / "inner.mod",
            "<!-- inner -->\n\n<!ELEMENT INNER - - (#PCDATA)>\n<!ATTLIST INNER a CDATA #BAD>\n");
  const fs::path outer = dir_ / "outer.dtd";
  writeText(outer,
            "<!ENTITY % inner SYSTEM \"mod/inner.mod\">\n%inner;\n"
            "<!ENTITY % gone SYSTEM \"mod/gone.mod\">\n%gone;\n"
            "<!ELEMENT OUTER - - (INNER)>\n");
  RulesmithOptions options = forPath(outer.string());
  options.quiet = true;
  options.resolveExternal = true;
  options.catalogs = {(dir_ / "none.soc").string()};
  writeText(dir_ / "none.soc", "");
  EXPECT_EQ(run(options), kRulesmithWarnings);
  EXPECT_THAT(errors_.str(), HasSubstr("/mod/inner.mod:4: warning: attribute a of INNER has an "
                                       "unknown default keyword \"#BAD\""));
  EXPECT_THAT(errors_.str(), HasSubstr(outer.string() + ":4: warning: external entity gone"));
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
  writeText(dir_ / "clean.dtd", "<!ELEMENT CLEAN - - (#PCDATA)>\n");
  EXPECT_EQ(status("-q \"" + (dir_ / "clean.dtd").string() + "\""), 0);
  EXPECT_EQ(status("-q \"" + dtd() + "\""), 1);
  EXPECT_EQ(status("--version"), 0);
  writeText(dir_ / "bad.dtd", "<!ELEMENT BAD - - (#PCDATA)\n");
  EXPECT_EQ(status("-q \"" + (dir_ / "bad.dtd").string() + "\""), 1);
  EXPECT_TRUE(fs::exists(dir_ / "bad.dict"));
  EXPECT_EQ(status("-q \"" + (dir_ / "none.txt").string() + "\""), 2);
  EXPECT_EQ(status("--no-such-option \"" + dtd() + "\""), 2);
  EXPECT_EQ(status("-q --system \"\" --name Empty \"" + dtd() + "\""), 1);
  std::optional<PlistValue> file = readPlistFile((dir_ / "Empty.dict").string());
  ASSERT_TRUE(file);
  EXPECT_FALSE(file->asDict()->contains("SystemIdentifier"));
}

}  // namespace
}  // namespace vmk
