#include <sys/xattr.h>

#include <gtest/gtest.h>

#include "results/VmkErrorBrowser.h"
#include "results_test_support.h"
#include "support/Paths.h"
#include "support/Plist.h"

namespace vmk {
namespace {

using testing::PrivateSettingsFolder;
using testing::record;

class ResultExportTest : public ::testing::Test {
 protected:
  // Two documents: one still open, one checked and closed since (now named by its path).
  void fill() {
    store.mergeErrorLocations({record(open, "NoSuchElementName", 0, 7, {u"blink"}),
                               record(open, "WrongAmpersand", 12, 1)},
                              &open);
    store.addErrorLocation(record(closed, "NoAltAttributeForImg", 3, 4, {u"img", u"alt"}), &closed);
    store.replaceObjectFrom(&closed, std::string("/site/closed.html"));
  }
  std::string saved(int format) {
    const std::string path = (folder.root() / "Check Results.txt").string();
    std::string error;
    EXPECT_TRUE(store.saveResultTo(path, format, &error)) << error;
    return readFileContents(path).value_or("<unreadable>");
  }

  PrivateSettingsFolder folder;
  VmkErrorBrowser store;
  HeadlessDocument open{u"<blink>\nab\n& c", std::string("/site/open.html")};
  HeadlessDocument closed{u"<p><img src=x>"};
};

TEST_F(ResultExportTest, AnnotatedTextByteForByte) {
  fill();
  EXPECT_EQ(saved(0),
            "To jump to a error location, click the path name/URL with cmd key pressed.\n\n"
            "/site/open.html {loc:1,len:7}\n"
            "00001 (E) H002: Element <blink> is not defined in this document type\n\n"
            "/site/open.html {loc:13,len:1}\n"
            "00003 (C) H013: \"&\" does not start a character reference\n\n"
            "/site/closed.html {loc:4,len:4}\n"
            "00000 (E) H073: <img> has no \"alt\" text\n\n");
}

TEST_F(ResultExportTest, TabSeparatedTextByteForByte) {
  fill();
  EXPECT_EQ(saved(1),
            "/site/open.html\t00001\t(E)\tH002\tElement <blink> is not defined in this document "
            "type\n"
            "/site/open.html\t00003\t(C)\tH013\t\"&\" does not start a character reference\n"
            "/site/closed.html\t00000\t(E)\tH073\t<img> has no \"alt\" text\n");
  EXPECT_EQ(saved(7), saved(1));  // any format but 0 is tab-separated
}

TEST_F(ResultExportTest, EmptyStoreWritesTheHeaderOrNothing) {
  EXPECT_EQ(saved(0),
            "To jump to a error location, click the path name/URL with cmd key pressed.\n\n");
  EXPECT_EQ(saved(1), "");
}

TEST_F(ResultExportTest, UntitledDocumentsAreNamedByDisplayNameAndRemoteOnesByAddress) {
  HeadlessDocument remote(u"<p>");
  remote.setRemoteURL(std::string("http://example.org/a.html"));
  store.addErrorLocation(record(remote, "WrongAmpersand", 0, 1), &remote);
  store.addErrorLocation(record(closed, "WrongAmpersand", 0, 1), &closed);
  const std::string text = store.resultText(1);
  EXPECT_EQ(text.substr(0, text.find('\t')), "http://example.org/a.html");
  EXPECT_NE(text.find("\n" + toUtf8(closed.displayName()) + "\t00001\t(C)"), std::string::npos);
}

TEST_F(ResultExportTest, HostAttributeRecordIsStoredWhenTheFileSystemAllows) {
  fill();
  const std::string path = (folder.root() / "results.txt").string();
  ASSERT_TRUE(store.saveResultTo(path, 0));
  char buffer[4096];
  const ssize_t n = ::getxattr(path.c_str(), kOtherAttributesXattrName, buffer, sizeof buffer);
  if (n < 0) GTEST_SKIP() << "the file system keeps no user attributes here";
  auto plist = parsePlist(std::string_view(buffer, static_cast<size_t>(n)));
  ASSERT_TRUE(plist && plist->asDict());
  EXPECT_EQ(plist->asDict()->find("Encoding")->integerValue(), 4);
  EXPECT_NE(plist->asDict()->find("SavedDate")->asDate(), nullptr);
}

TEST_F(ResultExportTest, AnUnwritablePathIsReportedAndLeavesNothingBehind) {
  fill();
  std::string error;
  EXPECT_FALSE(store.saveResultTo((folder.root() / "missing" / "r.txt").string(), 0, &error));
  EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace vmk
