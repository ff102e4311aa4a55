#include "host/headless/HeadlessDocumentController.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace vmk {
namespace {

using testing::TempFolder;

TEST(DocumentControllerTest, OpensFilesOnceAndKeepsTheFrontOrder) {
  TempFolder folder;
  std::string a = folder.write("a.html", "<p>a</p>");
  std::string b = folder.write("b.txt", "b");
  HeadlessDocumentController controller;
  std::vector<std::string> opened;
  controller.setOpenListener(
      [&](HeadlessDocument& d) { opened.push_back(toUtf8(d.displayName())); });

  EXPECT_EQ(controller.nthDocument(1), nullptr);
  HostDocument* first = controller.openFile(a);
  ASSERT_NE(first, nullptr);
  HostDocument* second = controller.openFile(b);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(controller.nthDocument(1), second);
  EXPECT_EQ(controller.nthDocument(2), first);
  EXPECT_EQ(controller.nthDocument(3), nullptr);
  EXPECT_EQ(controller.nthDocument(0), nullptr);

  // The same file, under another spelling of its path, is the open document brought forward.
  EXPECT_EQ(controller.openFile(folder.path() + "/./a.html"), first);
  EXPECT_EQ(controller.documents(), (std::vector<HostDocument*>{first, second}));
  EXPECT_EQ(opened, (std::vector<std::string>{"a.html", "b.txt"}));

  // Selecting with toFront brings a document forward.
  second->setSelectedRange(Range(0, 1), true, true);
  EXPECT_EQ(controller.nthDocument(1), second);

  EXPECT_EQ(controller.openFile(folder.file("missing.html")), nullptr);
  EXPECT_NE(controller.lastError().find("missing.html"), std::string::npos);
}

TEST(DocumentControllerTest, CloseTellsTheListenerFirst) {
  HeadlessDocumentController controller;
  HeadlessDocument* kept = controller.addDocument(std::make_unique<HeadlessDocument>(u"one"));
  HeadlessDocument* closing = controller.addDocument(std::make_unique<HeadlessDocument>(u"two"));
  std::vector<UString> closedTexts;
  controller.setCloseListener([&](HeadlessDocument& d) { closedTexts.push_back(d.text()); });

  EXPECT_TRUE(controller.close(*closing));
  EXPECT_EQ(closedTexts, std::vector<UString>{u"two"});
  EXPECT_EQ(controller.nthDocument(1), kept);
  EXPECT_EQ(controller.count(), 1u);

  HeadlessDocument stranger(u"not mine");
  EXPECT_FALSE(controller.close(stranger));
  controller.closeAll();
  EXPECT_EQ(controller.count(), 0u);
  EXPECT_EQ(closedTexts.size(), 2u);
}

TEST(DocumentControllerTest, DocumentsOpenedByARelativePathAreKnownByTheirFullPath) {
  TempFolder folder;
  folder.write("page.html", "<p>x</p>");
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(folder.path());
  HeadlessDocumentController controller;
  HostDocument* page = controller.openFile("page.html");
  HostDocument* again = controller.openFile("./sub/../page.html");
  std::filesystem::current_path(before);
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(page->fileName(),
            std::filesystem::path(folder.path()).lexically_normal().string() + "/page.html");
  EXPECT_EQ(again, page);
}

TEST(DocumentControllerTest, OpensFileAddressesAndLoadedRemoteAddresses) {
  TempFolder folder;
  std::string path = folder.write("my page.html", "<p>x</p>");
  HeadlessDocumentController controller;
  HostDocument* local = controller.openURL("file://" + folder.path() + "/my%20page.html");
  ASSERT_NE(local, nullptr);
  EXPECT_EQ(local->fileName(), path);

  EXPECT_EQ(controller.openURL("http://127.0.0.1:9/index.html"), nullptr);

  std::map<std::string, std::string> site = {
      {"http://127.0.0.1:9/dir/index.html", "<!DOCTYPE html>\r\n<p>caf\xE9</p>\r\n"}};
  controller.setURLLoader([&](const std::string& address) -> std::optional<std::string> {
    auto found = site.find(address);
    if (found == site.end()) return std::nullopt;
    return found->second;
  });
  HostDocument* remote = controller.openURL("http://127.0.0.1:9/dir/index.html");
  ASSERT_NE(remote, nullptr);
  EXPECT_EQ(remote->remoteURL(), "http://127.0.0.1:9/dir/index.html");
  EXPECT_FALSE(remote->fileName());
  EXPECT_EQ(remote->displayName(), u"index.html");
  EXPECT_EQ(remote->textStorage().string(), u"<!DOCTYPE html>\n<p>caf\u00E9</p>\n");
  EXPECT_EQ(remote->openLineEndings(), kLineEndingsCRLF);
  EXPECT_EQ(remote->revertDocumentType(), kHTMLDocumentType);
  EXPECT_EQ(controller.openURL("http://127.0.0.1:9/dir/index.html"), remote);
  EXPECT_EQ(controller.openURL("http://127.0.0.1:9/gone.html"), nullptr);
}

TEST(DocumentControllerTest, AnOpenRemoteAddressBehindOthersIsThatDocumentBroughtForward) {
  HeadlessDocumentController controller;
  controller.setURLLoader([](const std::string& address) -> std::optional<std::string> {
    return "<p>" + address + "</p>";
  });
  HostDocument* a = controller.openURL("http://127.0.0.1:9/a.html");
  HostDocument* b = controller.openURL("http://127.0.0.1:9/b.html");
  HostDocument* c = controller.openURL("http://127.0.0.1:9/c.html");
  ASSERT_TRUE(a && b && c);
  EXPECT_EQ(controller.documents(), (std::vector<HostDocument*>{c, b, a}));
  // The last one, then one from the middle: each answer is the document asked for.
  EXPECT_EQ(controller.openURL("http://127.0.0.1:9/a.html"), a);
  EXPECT_EQ(controller.documents(), (std::vector<HostDocument*>{a, c, b}));
  EXPECT_EQ(controller.openURL("http://127.0.0.1:9/c.html"), c);
  EXPECT_EQ(controller.documents(), (std::vector<HostDocument*>{c, a, b}));
  EXPECT_EQ(controller.openURL("http://127.0.0.1:9/b.html"), b);
  EXPECT_EQ(b->remoteURL(), "http://127.0.0.1:9/b.html");
  EXPECT_EQ(controller.documents().size(), 3u);
}

TEST(DocumentControllerTest, FileAddresses) {
  EXPECT_EQ(filePathFromURL("file:///tmp/a%2Bb.html"), "/tmp/a+b.html");
  EXPECT_EQ(filePathFromURL("FILE://localhost/tmp/x.html#top"), "/tmp/x.html");
  EXPECT_EQ(filePathFromURL("file:///tmp/100%"), "/tmp/100%");
  EXPECT_FALSE(filePathFromURL("file://otherhost/tmp/x.html"));
  EXPECT_FALSE(filePathFromURL("http://127.0.0.1:9/x.html"));
}

}  // namespace
}  // namespace vmk
