#include "links/VmkURL.h"

#include <gtest/gtest.h>

namespace vmk {
namespace {

std::string resolved(const std::string& reference, const std::string& base) {
  std::optional<VmkURL> b = VmkURL::parse(base);
  std::optional<VmkURL> url = VmkURL::parse(reference, b ? &*b : nullptr);
  return url ? url->absoluteString() : "<none>";
}

TEST(VmkURLResolution, RelativeReferencesFollowTheGenericRules) {
  const std::string base = "http://a/b/c/d;p?q";
  EXPECT_EQ(resolved("g", base), "http://a/b/c/g");
  EXPECT_EQ(resolved("./g", base), "http://a/b/c/g");
  EXPECT_EQ(resolved("g/", base), "http://a/b/c/g/");
  EXPECT_EQ(resolved("/g", base), "http://a/g");
  EXPECT_EQ(resolved("//g", base), "http://g");
  EXPECT_EQ(resolved("?y", base), "http://a/b/c/d;p?y");
  EXPECT_EQ(resolved("#s", base), "http://a/b/c/d;p?q#s");
  EXPECT_EQ(resolved("", base), "http://a/b/c/d;p?q");
  EXPECT_EQ(resolved("../g", base), "http://a/b/g");
  EXPECT_EQ(resolved("../../../g", base), "http://a/g");
  EXPECT_EQ(resolved("g;x=1/../y", base), "http://a/b/c/y");
  // An absolute reference is kept as written.
  EXPECT_EQ(resolved("HTTPS://Other/./x", base), "HTTPS://Other/./x");
  EXPECT_EQ(resolved("mailto:someone@example.org", base), "mailto:someone@example.org");
}

TEST(VmkURLResolution, WithoutABaseTheReferenceStaysRelative) {
  std::optional<VmkURL> url = VmkURL::parse("pages/a.html", nullptr);
  ASSERT_TRUE(url);
  EXPECT_FALSE(url->hasScheme());
  EXPECT_EQ(url->absoluteString(), "pages/a.html");
}

TEST(VmkURLParsing, CharactersOutsideAURLMakeItNoURL) {
  for (const char* bad :
       {"a b.html", "x\"y", "caf\xc3\xa9.html", "%zz", "50%", "a#b#c", "<x>", "/p[1]"}) {
    EXPECT_FALSE(VmkURL::parse(bad)) << bad;
  }
  EXPECT_TRUE(VmkURL::parse("a%20b.html?x=1&amp;y=2#top"));
}

TEST(VmkURLParsing, AuthorityPartsAndIPv6Hosts) {
  std::optional<VmkURL> url = VmkURL::parse("http://user@[::1]:8080/p?q#f");
  ASSERT_TRUE(url);
  EXPECT_EQ(*url->scheme(), "http");
  EXPECT_EQ(url->host(), "[::1]");
  EXPECT_EQ(url->port().value_or(""), "8080");
  EXPECT_EQ(url->userInfo().value_or(""), "user");
  EXPECT_EQ(url->path(), "/p");
  EXPECT_EQ(url->query().value_or(""), "q");
  EXPECT_EQ(url->fragment().value_or(""), "f");
}

TEST(VmkURLFiles, FileURLsEncodeAndDecodeThePath) {
  const VmkURL file = VmkURL::fileURLWithPath("/tmp/a b/caf\xc3\xa9#1.html");
  EXPECT_EQ(file.absoluteString(), "file:///tmp/a%20b/caf%C3%A9%231.html");
  EXPECT_TRUE(file.isFileURL());
  EXPECT_EQ(file.decodedPath(), "/tmp/a b/caf\xc3\xa9#1.html");
  std::optional<VmkURL> link = VmkURL::parse("img/missing%20one.png#x", &file);
  ASSERT_TRUE(link);
  EXPECT_EQ(link->absoluteString(), "file:///tmp/a%20b/img/missing%20one.png#x");
  EXPECT_EQ(link->relativePath(), "img/missing one.png");
}

TEST(VmkURLPages, PageIdentityDropsQueryFragmentAndUserButKeepsThePort) {
  auto page = [](const char* text) { return VmkURL::parse(text)->pageIdentity().absoluteString(); };
  EXPECT_EQ(page("http://u@h:8080/a/b.html?x=1#top"), "http://h:8080/a/b.html");
  EXPECT_EQ(page("http://h:8080/a/b.html"), "http://h:8080/a/b.html");
  // A site's root is taken whole.
  EXPECT_EQ(page("http://h:81/?x=1"), "http://h:81/?x=1");
  EXPECT_EQ(page("http://h"), "http://h");
  EXPECT_EQ(page("file:///site/index.html#a"), "file:///site/index.html");
}

}  // namespace
}  // namespace vmk
