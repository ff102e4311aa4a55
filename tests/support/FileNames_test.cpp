#include "support/FileNames.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "TestSupport.h"

namespace vmk {
namespace {

TEST(DisplayFileName, NameThenFolder) {
  EXPECT_EQ(toUtf8(displayFileName(u"/Users/a/site/index.html")), "index.html  -  /Users/a/site");
  EXPECT_EQ(toUtf8(displayFileName(u"/index.html")), "index.html  -  /");
  EXPECT_EQ(toUtf8(displayFileName(u"index.html")), "index.html  -  ");
}

TEST(CleanedUpPath, ResolvesLinksAndTidies) {
  testing::TempFolder folder;
  const std::string real = folder.write("page.html", "x");
  const std::string link = folder.file("link.html");
  std::filesystem::create_symlink(real, link);
  const std::string canonicalReal = std::filesystem::canonical(real).string();
  EXPECT_EQ(cleanedUpPath(link), canonicalReal);
  EXPECT_EQ(cleanedUpPath(folder.path() + "/./sub/../page.html"), canonicalReal);
  // A path that is not a link stays itself (a relative one too), only tidied.
  EXPECT_EQ(cleanedUpPath("/no/such//folder/./x.html"), "/no/such/folder/x.html");
  EXPECT_EQ(cleanedUpPath("no-such-dir/../x.html"), "x.html");
  EXPECT_EQ(cleanedUpPath(""), "");
}

}  // namespace
}  // namespace vmk
