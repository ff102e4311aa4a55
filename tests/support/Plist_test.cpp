#include "support/Plist.h"

#include <gtest/gtest.h>
#include <plist/plist.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "TestSupport.h"
#include "support/Paths.h"

namespace vmk {
namespace {

namespace fs = std::filesystem;

const std::string kData = std::string(VELUMARK_TEST_DATA) + "/support/";

class PlistFileTest : public ::testing::Test {
 protected:
  testing::TempFolder folder_;
  fs::path dir_{folder_.path()};
};

PlistValue sample() {
  PlistDict inner;
  inner.set("Flag", false);
  inner.set("Ratio", 0.125);
  PlistDict root;
  root.set("ErrorFix", -1);
  root.set("Big", int64_t(1) << 40);
  root.set("Min", std::numeric_limits<int64_t>::min());
  root.set("Name", "\xe6\x97\xa5\xe6\x9c\xac <&> \xf0\x9f\x98\x80");
  root.set("On", true);
  root.set("Real", -3.75);
  root.set("Date", PlistDate{1000000000.0});
  root.set("Blob", PlistData{{0, 1, 2, 255}});
  root.set("List", PlistArray{1, "two", PlistArray{}, PlistDict{}, inner});
  root.set("Empty", "");
  return root;
}

TEST(PlistTest, XmlRoundTripKeepsEveryKindAndKeyOrder) {
  PlistValue value = sample();
  auto back = parsePlist(plistToXml(value));
  ASSERT_TRUE(back);
  EXPECT_EQ(*back, value);
  EXPECT_EQ(back->asDict()->find("ErrorFix")->integerValue(), -1);
  std::vector<std::string> keys;
  for (const auto& [k, v] : *back->asDict()) keys.push_back(k);
  EXPECT_EQ(keys.front(), "ErrorFix");
  EXPECT_EQ(keys.back(), "Empty");
}

TEST(PlistTest, RealsKeepTheirPrecision) {
  for (double d : {0.1, 1e-7, 123456789.123, 2.0, -0.0, 1e300}) {
    auto back = parsePlist(plistToXml(PlistValue(d)));
    ASSERT_TRUE(back && back->isReal()) << d;
    EXPECT_EQ(back->realValue(), d);
  }
}

TEST(PlistTest, ReadsFileInItsOwnKeyOrder) {
  auto value = readPlistFile(kData + "ordered.plist");
  ASSERT_TRUE(value && value->isDict());
  const PlistDict& d = *value->asDict();
  ASSERT_EQ(d.size(), 3u);
  EXPECT_EQ(d.entries()[0].first, "Zeta");
  EXPECT_EQ(d.entries()[1].first, "Alpha");
  EXPECT_EQ(d.find("Zeta")->integerValue(), -1);
  EXPECT_EQ(*d.find("Alpha")->asString(), "caf\xc3\xa9 & <b>");
  const PlistArray& mid = *d.find("Mid")->asArray();
  ASSERT_EQ(mid.size(), 3u);
  EXPECT_TRUE(mid[0].boolValue());
  EXPECT_DOUBLE_EQ(mid[1].realValue(), 2.5);
  EXPECT_FALSE(mid[2].asDict()->find("Inner")->boolValue());
}

TEST(PlistTest, MalformedInputIsAbsent) {
  for (const char* name : {"truncated.plist", "garbage-binary.plist", "mismatched.plist",
                           "empty.plist", "no-such-file.plist"})
    EXPECT_FALSE(readPlistFile(kData + name)) << name;
  EXPECT_FALSE(parsePlist(""));
  EXPECT_FALSE(parsePlist("not a plist at all"));
  EXPECT_FALSE(parsePlist(std::string("bplist00") + std::string(64, '\xff')));
  std::string deep;
  for (int i = 0; i < 5000; ++i) deep += "<array>";
  EXPECT_FALSE(parsePlist("<plist>" + deep + "</plist>"));
  std::string huge(8 << 20, 'x');
  EXPECT_FALSE(parsePlist(huge));
}

// A damaged binary list whose key or string holds a NUL is refused, not an abort.
TEST(PlistTest, BinaryWithNulInStringsIsAbsent) {
  for (const char* xml : {"<plist><dict><key>aXb</key><true/></dict></plist>",
                          "<plist><array><string>aXb</string></array></plist>"}) {
    plist_t root = nullptr;
    plist_from_xml(xml, uint32_t(strlen(xml)), &root);
    ASSERT_TRUE(root);
    char* raw = nullptr;
    uint32_t length = 0;
    plist_to_bin(root, &raw, &length);
    plist_free(root);
    std::string bin(raw, length);
    free(raw);
    ASSERT_TRUE(parsePlist(bin)) << xml;
    bin[bin.find("aXb") + 1] = '\0';
    EXPECT_FALSE(parsePlist(bin)) << xml;
  }
}

TEST(PlistTest, DictionaryEditing) {
  PlistDict d;
  d.set("a", 1);
  d.set("b", 2);
  d.set("a", 3);  // replaced in place
  EXPECT_EQ(d.entries()[0].first, "a");
  EXPECT_EQ(d.find("a")->integerValue(), 3);
  EXPECT_TRUE(d.erase("a"));
  EXPECT_FALSE(d.erase("a"));
  EXPECT_FALSE(d.contains("a"));
  EXPECT_EQ(d.size(), 1u);
}

TEST(PlistTest, ConvertingReaders) {
  EXPECT_TRUE(PlistValue("YES").boolValue());
  EXPECT_TRUE(PlistValue("true").boolValue());
  EXPECT_TRUE(PlistValue(" 12").boolValue());
  EXPECT_FALSE(PlistValue("NO").boolValue());
  EXPECT_FALSE(PlistValue("000").boolValue());
  EXPECT_EQ(PlistValue("42px").integerValue(), 42);
  EXPECT_EQ(PlistValue("-7").integerValue(), -7);
  EXPECT_DOUBLE_EQ(PlistValue("1.5").realValue(), 1.5);
  EXPECT_EQ(PlistValue(2.9).integerValue(), 2);
  EXPECT_EQ(PlistValue(true).integerValue(), 1);
  EXPECT_DOUBLE_EQ(PlistValue(3).realValue(), 3.0);
  EXPECT_FALSE(PlistValue(PlistArray{1}).boolValue());
  EXPECT_EQ(PlistValue(PlistDict{}).integerValue(), 0);
  EXPECT_TRUE(PlistValue(size_t(3)).isInteger());
  EXPECT_TRUE(PlistValue(std::string_view("s")).isString());
  EXPECT_TRUE(PlistValue(false).isBool());
}

TEST_F(PlistFileTest, WriteThenRead) {
  const std::string path = (dir_ / "settings.plist").string();
  std::string error;
  ASSERT_TRUE(writePlistFile(path, sample(), &error)) << error;
  auto back = readPlistFile(path);
  ASSERT_TRUE(back);
  EXPECT_EQ(*back, sample());
  EXPECT_EQ(fs::directory_iterator(dir_)->path().filename(), "settings.plist");  // no leftovers
}

TEST_F(PlistFileTest, FailedWriteLeavesOldFile) {
  const std::string path = (dir_ / "settings.plist").string();
  ASSERT_TRUE(writePlistFile(path, PlistValue("old")));
  // A parent that is a regular file fails for every user, root included.
  std::string error;
  EXPECT_FALSE(writePlistFile(path + "/child.plist", PlistValue("new"), &error));
  EXPECT_NE(error.find("child.plist"), std::string::npos);
  if (::geteuid() != 0) {
    fs::permissions(dir_, fs::perms::owner_write, fs::perm_options::remove);
    error.clear();
    EXPECT_FALSE(writePlistFile(path, PlistValue("new"), &error));
    EXPECT_FALSE(error.empty());
    fs::permissions(dir_, fs::perms::owner_write, fs::perm_options::add);
  }
  EXPECT_EQ(*readPlistFile(path), PlistValue("old"));
}

}  // namespace
}  // namespace vmk
