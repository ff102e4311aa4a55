#include "dictionary/DictionaryFolder.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "TestSupport.h"
#include "dictionary/VmkDictionary.h"
#include "support/Plist.h"

namespace vmk {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<UString>;

const fs::path kTestDictionaries = fs::path(VELUMARK_TEST_DATA) / "dictionaries";

void writeText(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << text;
}

// A private data folder and resource folder for each test.
class DictionaryFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "vmk-dictfolder-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    env_.set("XDG_DATA_HOME", (root_ / "data").string());
    env_.set("VELUMARK_RESOURCE_DIR", (root_ / "resources").string());
    shipped_ = root_ / "resources" / "dictionaries";
    installed_ = root_ / "data" / "velumark" / "dictionaries";
  }

  void TearDown() override {
    env_.restore();
    std::error_code ec;
    fs::remove_all(root_, ec);
  }

  void shipTestDictionary(const std::string& file, const std::string& as) {
    fs::create_directories(shipped_);
    fs::copy_file(kTestDictionaries / file, shipped_ / as);
  }

  fs::path root_, shipped_, installed_;
  testing::ScopedEnv env_;
};

TEST_F(DictionaryFolderTest, PathsFollowTheDataHome) {
  EXPECT_EQ(dictionariesFolderPath(), installed_.string());
  EXPECT_EQ(dictionaryPathForName(u"HTML 4.01 Strict"),
            (installed_ / "HTML 4.01 Strict.dict").string());
}

TEST_F(DictionaryFolderTest, InstallsAndListsWhenMissing) {
  writeText(shipped_ / "B.dict", "b");
  writeText(shipped_ / "a.dict", "a");
  writeText(shipped_ / ".hidden.dict", "hidden");
  writeText(shipped_ / "notes.txt", "notes");
  writeText(shipped_ / "Multi.part.dict", "multi");
  fs::permissions(shipped_ / "B.dict", fs::perms::owner_read | fs::perms::group_read,
                  fs::perm_options::replace);

  ASSERT_TRUE(createVelumarkXSupportDirectory());
  initDictionaries();

  EXPECT_EQ(htmlDictionaryNames(), (Names{u"a", u"B", u"Multi.part", u"notes"}));
  EXPECT_TRUE(fs::is_regular_file(installed_ / ".hidden.dict"));
  EXPECT_EQ(fs::status(installed_ / "B.dict").permissions(),
            fs::perms::owner_read | fs::perms::group_read);
  EXPECT_EQ(fs::last_write_time(installed_ / "a.dict"), fs::last_write_time(shipped_ / "a.dict"));
  // Nothing is left beside the installed folder.
  EXPECT_EQ(std::distance(fs::directory_iterator(installed_.parent_path()), {}), 1);
}

TEST_F(DictionaryFolderTest, ExistingFolderIsNeverUpdated) {
  writeText(shipped_ / "Shipped.dict", "new");
  writeText(shipped_ / "Mine.dict", "shipped version");
  writeText(installed_ / "Mine.dict", "user version");

  ASSERT_TRUE(createVelumarkXSupportDirectory());
  initDictionaries();

  EXPECT_EQ(htmlDictionaryNames(), (Names{u"Mine"}));
  EXPECT_FALSE(fs::exists(installed_ / "Shipped.dict"));
  std::ifstream mine(installed_ / "Mine.dict");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(mine), {}), "user version");
}

TEST_F(DictionaryFolderTest, FilesInTheFoldersPlacesAreReplaced) {
  writeText(root_ / "data" / "velumark", "a file where the support folder belongs");
  writeText(shipped_ / "One.dict", "1");
  ASSERT_TRUE(createVelumarkXSupportDirectory());
  EXPECT_TRUE(fs::is_directory(root_ / "data" / "velumark"));

  writeText(installed_, "a file where the dictionaries belong");
  initDictionaries();
  EXPECT_TRUE(fs::is_directory(installed_));
  EXPECT_EQ(htmlDictionaryNames(), (Names{u"One"}));
}

TEST_F(DictionaryFolderTest, NothingShippedInstallsNothing) {
  ASSERT_TRUE(createVelumarkXSupportDirectory());
  initDictionaries();
  EXPECT_TRUE(htmlDictionaryNames().empty());
  EXPECT_FALSE(fs::exists(installed_));

  // A later start with shipped dictionaries still installs them.
  writeText(shipped_ / "Later.dict", "later");
  initDictionaries();
  EXPECT_EQ(htmlDictionaryNames(), (Names{u"Later"}));
}

TEST_F(DictionaryFolderTest, SelectsByPublicIdentifierInNameOrder) {
  shipTestDictionary("Broken.dict", "Broken.dict");
  shipTestDictionary("HTML 4.01 Test.dict", "HTML 4.01 Test.dict");
  shipTestDictionary("XHTML 1.0 Test.dict", "XHTML 1.0 Test.dict");
  // The same public identifier in other case, under a name that sorts first only when case is
  // ignored.
  std::optional<PlistValue> tree = readPlistFile((kTestDictionaries / "HTML 4.01 Test.dict"));
  ASSERT_TRUE(tree && tree->isDict());
  tree->asDict()->set("DoctypeName", "-//w3c//dtd html 4.01//en");
  ASSERT_TRUE(writePlistFile((shipped_ / "Html 4.01 Alt.dict").string(), *tree));
  initDictionaries();
  ASSERT_EQ(htmlDictionaryNames(),
            (Names{u"Broken", u"Html 4.01 Alt", u"HTML 4.01 Test", u"XHTML 1.0 Test"}));

  auto html = VmkDictionary::initWithDoctypeName(u"-//W3C//DTD HTML 4.01//EN");
  ASSERT_NE(html, nullptr);
  EXPECT_EQ(html->displayName(), u"Html 4.01 Alt");
  EXPECT_EQ(html->endTagTypeForElement(u"BR"), kEndTagEmpty);

  auto xhtml = VmkDictionary::initWithDoctypeName(u"-//W3C//DTD XHTML 1.0 STRICT//EN");
  ASSERT_NE(xhtml, nullptr);
  EXPECT_EQ(xhtml->displayName(), u"XHTML 1.0 Test");
  EXPECT_EQ(VmkDictionary::initWithDoctypeName(u"-//W3C//DTD HTML 3.2//EN"), nullptr);

  // Files are read afresh: a removed file is no longer found.
  fs::remove(installed_ / "Html 4.01 Alt.dict");
  html = VmkDictionary::initWithDoctypeName(u"-//W3C//DTD HTML 4.01//EN");
  ASSERT_NE(html, nullptr);
  EXPECT_EQ(html->displayName(), u"HTML 4.01 Test");
}

// A dictionary file written by hand: `members` go into the root before the element table.
std::string handWrittenDictionary(const std::string& members) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n" + members +
         "<key>DtdDictionary</key><dict><key>BR</key><dict><key>TypeString</key>"
         "<string>- O</string><key>ChildElements</key><array><string>EMPTY</string></array>"
         "</dict></dict>\n</dict>\n</plist>\n";
}

TEST_F(DictionaryFolderTest, SelectsFilesWrittenInAnyForm) {
  const std::string id = "-//Test//DTD Odd//EN";
  // The identifier behind a reference, a comment and a character data section; after a decoy
  // in a comment; nested records holding the key are not the file's identifier.
  writeText(
      shipped_ / "A Reference.dict",
      handWrittenDictionary("<key>DoctypeName</key><string>-//Test//DTD Odd&#47;/EN</string>"));
  writeText(shipped_ / "B Decoy.dict",
            handWrittenDictionary("<!-- <key>DoctypeName</key><string>x</string> -->"
                                  "<key>DoctypeName</key><string>-//Test//DTD Decoy//EN</string>"));
  writeText(shipped_ / "C Nested.dict",
            handWrittenDictionary("<key>Extra</key><dict><key>DoctypeName</key>"
                                  "<string>-//Test//DTD Nested//EN</string></dict>"));
  writeText(
      shipped_ / "D Spaced.dict",
      handWrittenDictionary("<key>DoctypeName</key>\n\t<string>-//TEST//dtd SPACED//en</string>"));
  initDictionaries();

  auto found = VmkDictionary::initWithDoctypeName(toUtf16(id));
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->displayName(), u"A Reference");
  EXPECT_EQ(found->endTagTypeForElement(u"BR"), kEndTagEmpty);
  found = VmkDictionary::initWithDoctypeName(u"-//Test//DTD Decoy//EN");
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->displayName(), u"B Decoy");
  EXPECT_EQ(VmkDictionary::initWithDoctypeName(u"x"), nullptr);
  EXPECT_EQ(VmkDictionary::initWithDoctypeName(u"-//Test//DTD Nested//EN"), nullptr);
  found = VmkDictionary::initWithDoctypeName(u"-//Test//DTD Spaced//EN");
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->displayName(), u"D Spaced");
}

TEST_F(DictionaryFolderTest, SharedDictionariesAreReadOnceAndFollowTheFiles) {
  shipTestDictionary("HTML 4.01 Test.dict", "HTML 4.01 Test.dict");
  writeText(shipped_ / "Odd.dict",
            handWrittenDictionary("<key>DoctypeName</key><string>-//Test//DTD One//EN</string>"));
  initDictionaries();

  const auto html = VmkDictionary::sharedWithDoctypeName(u"-//W3C//DTD HTML 4.01//EN");
  ASSERT_NE(html, nullptr);
  EXPECT_EQ(html->displayName(), u"HTML 4.01 Test");
  EXPECT_EQ(VmkDictionary::sharedWithDoctypeName(u"-//w3c//dtd html 4.01//en"), html);
  EXPECT_EQ(VmkDictionary::sharedWithMenuName(u"HTML 4.01 Test"), html);
  EXPECT_EQ(VmkDictionary::sharedWithDoctypeName(u"-//W3C//DTD HTML 3.2//EN"), nullptr);
  EXPECT_EQ(VmkDictionary::sharedWithDoctypeName(u"-//W3C//DTD HTML 3.2//EN"), nullptr);
  EXPECT_EQ(VmkDictionary::sharedWithMenuName(u"../Odd"), nullptr);

  const auto odd = VmkDictionary::sharedWithDoctypeName(u"-//Test//DTD One//EN");
  ASSERT_NE(odd, nullptr);
  EXPECT_EQ(odd->displayName(), u"Odd");
  // Rewritten in place at once with the same size: only its bytes tell the change.
  writeText(installed_ / "Odd.dict",
            handWrittenDictionary("<key>DoctypeName</key><string>-//Test//DTD Two//EN</string>"));
  EXPECT_EQ(VmkDictionary::sharedWithDoctypeName(u"-//Test//DTD One//EN"), nullptr);
  const auto two = VmkDictionary::sharedWithDoctypeName(u"-//Test//DTD Two//EN");
  ASSERT_NE(two, nullptr);
  EXPECT_NE(two, odd);
  EXPECT_EQ(VmkDictionary::sharedWithMenuName(u"Odd"), two);
  // A dictionary held by a checker stays usable after its file is gone.
  fs::remove(installed_ / "Odd.dict");
  EXPECT_EQ(VmkDictionary::sharedWithDoctypeName(u"-//Test//DTD Two//EN"), nullptr);
  EXPECT_EQ(VmkDictionary::sharedWithMenuName(u"Odd"), nullptr);
  EXPECT_EQ(two->endTagTypeForElement(u"BR"), kEndTagEmpty);

  // Several threads asking at once get the one dictionary.
  std::vector<std::shared_ptr<const VmkDictionary>> found(4);
  {
    std::vector<std::thread> threads;
    for (auto& slot : found)
      threads.emplace_back([&slot] {
        slot = VmkDictionary::sharedWithDoctypeName(u"-//W3C//DTD HTML 4.01//EN");
        slot->linkableAttributeNameArray();
      });
    for (auto& thread : threads) thread.join();
  }
  for (const auto& dictionary : found) EXPECT_EQ(dictionary, html);
}

TEST_F(DictionaryFolderTest, LoadsByMenuName) {
  shipTestDictionary("Broken.dict", "Broken.dict");
  shipTestDictionary("XHTML 1.0 Test.dict", "XHTML 1.0 Test.dict");
  initDictionaries();

  auto xhtml = VmkDictionary::initWithMenuName(u"XHTML 1.0 Test");
  ASSERT_NE(xhtml, nullptr);
  EXPECT_EQ(xhtml->displayName(), u"XHTML 1.0 Test");
  EXPECT_TRUE(xhtml->isXML());
  EXPECT_EQ(VmkDictionary::initWithMenuName(u"Broken"), nullptr);
  EXPECT_EQ(VmkDictionary::initWithMenuName(u"Missing"), nullptr);
  // Names are file names in the folder, never paths out of it.
  EXPECT_EQ(VmkDictionary::initWithMenuName(u"../dictionaries/XHTML 1.0 Test"), nullptr);
  EXPECT_EQ(VmkDictionary::initWithMenuName(u""), nullptr);
}

TEST_F(DictionaryFolderTest, BrokenFilesAreNeverUsedAndTheNeededOneIsNamed) {
  shipTestDictionary("HTML 4.01 Test.dict", "HTML 4.01 Test.dict");
  const std::string good =
      handWrittenDictionary("<key>DoctypeName</key><string>-//Test//DTD Cut//EN</string>");
  // Cut short anywhere, even only its closing tag: the reader would take the rest.
  writeText(shipped_ / "Cut.dict", good.substr(0, good.rfind("</plist>")));
  writeText(shipped_ / "Empty.dict", "");
  writeText(shipped_ / "Garbage.dict", "\x7f\x01 not a dictionary");
  initDictionaries();

  DictionaryLoadProblem problem;
  EXPECT_EQ(VmkDictionary::sharedWithDoctypeName(u"-//test//dtd cut//en", &problem), nullptr);
  EXPECT_EQ(problem.name, u"Cut");
  EXPECT_EQ(problem.path, (installed_ / "Cut.dict").string());
  EXPECT_NE(problem.reason.find("not a well-formed property list"), std::string::npos);
  // Asked again, from what is kept, the same answer.
  problem = {};
  EXPECT_EQ(VmkDictionary::sharedWithDoctypeName(u"-//Test//DTD Cut//EN", &problem), nullptr);
  EXPECT_EQ(problem.name, u"Cut");
  EXPECT_EQ(VmkDictionary::initWithDoctypeName(u"-//Test//DTD Cut//EN"), nullptr);
  // Broken files that do not name the identifier are not the one a look-up needed.
  problem = {};
  EXPECT_EQ(VmkDictionary::sharedWithDoctypeName(u"-//W3C//DTD HTML 3.2//EN", &problem), nullptr);
  EXPECT_TRUE(problem.reason.empty());
  EXPECT_NE(VmkDictionary::sharedWithDoctypeName(u"-//W3C//DTD HTML 4.01//EN", &problem), nullptr);

  EXPECT_EQ(VmkDictionary::sharedWithMenuName(u"Empty", &problem), nullptr);
  EXPECT_EQ(problem.reason, "the file is empty");
  EXPECT_EQ(VmkDictionary::sharedWithMenuName(u"Garbage", &problem), nullptr);
  EXPECT_NE(problem.reason.find("not a well-formed property list"), std::string::npos);
  EXPECT_EQ(VmkDictionary::sharedWithMenuName(u"Missing", &problem), nullptr);
  EXPECT_EQ(problem.path, (installed_ / "Missing.dict").string());
  EXPECT_EQ(problem.reason, "no such dictionary is installed");
  EXPECT_EQ(VmkDictionary::initWithMenuName(u"Cut"), nullptr);

  // Mended, the file is used.
  writeText(installed_ / "Cut.dict", good);
  EXPECT_NE(VmkDictionary::sharedWithDoctypeName(u"-//Test//DTD Cut//EN"), nullptr);
}

TEST(DictionaryShapeTest, OnlyTheExpectedShapeLoads) {
  auto tree = [](const std::string& table, const std::string& root = "") {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>" + root +
           "<key>DtdDictionary</key><dict>" + table + "</dict></dict></plist>\n";
  };
  const std::string br =
      "<key>BR</key><dict><key>TypeString</key><string>- O</string><key>ChildElements</key>"
      "<array><string>EMPTY</string></array></dict>";
  auto reason = [](const std::string& bytes) {
    std::string why;
    return VmkDictionary::fromFileBytes(bytes, u"T", &why) ? std::string("loads") : why;
  };
  EXPECT_EQ(reason(tree(br)), "loads");
  // Keys other than the known ones are left alone.
  EXPECT_EQ(reason(tree("<key>P</key><dict><key>TypeString</key><string>- -</string>"
                        "<key>ChildElements</key><array><string>#PCDATA</string></array>"
                        "<key>ContentModel</key><string>(#PCDATA)*</string><key>Exclusions</key>"
                        "<array/><key>Attributes</key><array><string>id\tID\t#IMPLIED</string>"
                        "</array></dict>")),
            "loads");

  EXPECT_EQ(reason("<?xml version=\"1.0\"?><plist version=\"1.0\"><array/></plist>"),
            "its top level is not a dictionary");
  EXPECT_EQ(reason(tree(br, "<key>DoctypeName</key><integer>4</integer>")),
            "\"DoctypeName\" is not a string");
  EXPECT_EQ(reason("<?xml version=\"1.0\"?><plist version=\"1.0\"><dict/></plist>"),
            "it has no element table (\"DtdDictionary\")");
  EXPECT_EQ(reason(tree("")), "its element table (\"DtdDictionary\") is empty");
  EXPECT_EQ(reason(tree("<key>BR</key><string>x</string>")),
            "element 'BR': the record is not a dictionary");
  EXPECT_NE(reason(tree("<key>BR</key><dict><key>TypeString</key><string>-O</string>"
                        "<key>ChildElements</key><array/></dict>"))
                .find("\"TypeString\" is missing"),
            std::string::npos);
  EXPECT_EQ(reason(tree("<key>BR</key><dict><key>TypeString</key><string>- O</string>"
                        "<key>ChildElements</key><array><integer>1</integer></array></dict>")),
            "element 'BR': \"ChildElements\" is missing or not a list of names");
  EXPECT_EQ(reason(tree("<key>BR</key><dict><key>TypeString</key><string>- O</string>"
                        "<key>ChildElements</key><array/><key>Attributes</key><string>id</string>"
                        "</dict>")),
            "element 'BR': \"Attributes\" is not a list of entries");
  EXPECT_EQ(reason(tree(br + "<key>p</key><dict><key>TypeString</key><string>XML</string>"
                             "<key>ChildElements</key><array/></dict>")),
            "element 'p': XML and SGML records are mixed");
}

}  // namespace
}  // namespace vmk
