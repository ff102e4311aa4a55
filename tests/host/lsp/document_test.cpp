// The editor's buffers as host documents: positions in UTF-16 units by line, the editor's
// changes through the editing protocol, and what the text around a place is.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "host/lsp/LspDocument.h"
#include "host/lsp/LspDocumentController.h"
#include "host/lsp/MarkupContext.h"

namespace vmk::testing {
namespace {

using lsp::CompletionPlace;
using lsp::LspDocument;
using lsp::Position;

std::unique_ptr<LspDocument> document(std::u16string_view text) {
  return std::make_unique<LspDocument>("file:///x/a.html", text, "/x/a.html", Encoding::utf8(),
                                       true);
}

TEST(LspDocument, PositionsCountUtf16UnitsAndReadAnyLineEndAsOne) {
  // "é" is one unit, the emoji two; CRLF and CR become LF.
  auto doc = document(u"a\u00e9\U0001F600b\r\ncd\rlast");
  EXPECT_EQ(doc->text(), u"a\u00e9\U0001F600b\ncd\nlast");
  EXPECT_EQ(doc->lineCount(), 3u);
  EXPECT_EQ(doc->offsetAt({0, 4}), 4u);   // before "b"
  EXPECT_EQ(doc->offsetAt({0, 99}), 5u);  // a column past the end: the end of the line
  EXPECT_EQ(doc->offsetAt({1, 1}), 7u);
  EXPECT_EQ(doc->offsetAt({9, 0}), doc->text().size());
  EXPECT_EQ(doc->positionAt(7), (Position{1, 1}));
  EXPECT_EQ(doc->positionAt(5), (Position{0, 5}));  // the line feed ends line 0
  EXPECT_EQ(doc->positionAt(6), (Position{1, 0}));
  EXPECT_EQ(doc->positionAt(1000), (Position{2, 4}));
}

TEST(LspDocument, ChangesGoThroughTheEditingProtocolAndReportTheirRange) {
  auto doc = document(u"<p>one\n<p>two\n");
  std::vector<std::string> heard;
  doc->setEditListener([&](LspDocument&, Range range, int64_t change) {
    heard.push_back(std::to_string(range.location) + "+" + std::to_string(range.length) + ":" +
                    std::to_string(change));
  });
  const std::string before = doc->md5DigestString();
  doc->applyChange(std::make_pair(Position{1, 3}, Position{1, 6}), u"2\r\n");
  EXPECT_EQ(doc->text(), u"<p>one\n<p>2\n\n");
  doc->applyChange(std::make_pair(Position{0, 6}, Position{0, 3}), u"");  // reversed range
  EXPECT_EQ(doc->text(), u"<p>\n<p>2\n\n");
  doc->applyChange(std::nullopt, u"whole");
  EXPECT_EQ(doc->text(), u"whole");
  EXPECT_EQ(heard, (std::vector<std::string>{"10+2:-1", "3+0:-3", "0+5:-5"}));
  EXPECT_NE(doc->md5DigestString(), before);
  EXPECT_EQ(doc->positionAt(5), (Position{0, 5}));
}

TEST(LspDocument, AddressesAndNames) {
  EXPECT_EQ(lsp::pathFromFileURI("file:///home/me/a%20b.html"), "/home/me/a b.html");
  EXPECT_EQ(lsp::pathFromFileURI("file://localhost/x.html?q#f"), "/x.html");
  EXPECT_EQ(lsp::pathFromFileURI("file://elsewhere/x.html"), std::nullopt);
  EXPECT_EQ(lsp::pathFromFileURI("file:///a%00b"), std::nullopt);
  EXPECT_EQ(lsp::pathFromFileURI("untitled:Untitled-1"), std::nullopt);
  EXPECT_EQ(lsp::fileURIFromPath("/home/me/a b#.html"), "file:///home/me/a%20b%23.html");
  EXPECT_EQ(lsp::pathFromFileURI(lsp::fileURIFromPath("/t/\xC3\xA9 %.html")), "/t/\xC3\xA9 %.html");

  LspDocument untitled("untitled:Untitled-1", u"", std::nullopt, Encoding::utf8(), false);
  EXPECT_EQ(untitled.remoteURL(), std::nullopt);
  EXPECT_EQ(untitled.displayName(), u"Untitled-1");
  LspDocument remote("https://127.0.0.1:9/dir/page.html?x", u"", std::nullopt, Encoding::utf8(),
                     false);
  EXPECT_EQ(remote.remoteURL(), "https://127.0.0.1:9/dir/page.html?x");
  EXPECT_EQ(remote.displayName(), u"page.html");
}

TEST(LspDocument, BuffersGetTheEncodingOfTheirFile) {
  TempFolder folder;
  const std::string latin = folder.write("latin.html", "<p>caf\xE9</p>");
  auto fromFile = lsp::makeDocument(lsp::fileURIFromPath(latin), u"<p>caf\u00e9</p>", "html");
  EXPECT_EQ(fromFile->openNSEncoding().ianaName(), "windows-1252");
  EXPECT_EQ(fromFile->revertDocumentType(), kHTMLDocumentType);
  // Without a file: what the text would be read in once saved.
  auto declared = lsp::makeDocument(
      "untitled:1", u"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">",
      "plaintext");
  EXPECT_EQ(declared->openNSEncoding().ianaName(), "Shift_JIS");
  EXPECT_EQ(declared->revertDocumentType(), 0);
  auto plain = lsp::makeDocument("untitled:2", u"<!DOCTYPE html>", "");
  EXPECT_EQ(plain->openNSEncoding().ianaName(), "UTF-8");
  EXPECT_EQ(plain->revertDocumentType(), kHTMLDocumentType);
}

TEST(LspDocumentController, FrontDocumentFirstAndFilesReadFromDisk) {
  TempFolder folder;
  const std::string path = folder.write("page.html", "<p>on disk");
  lsp::LspDocumentController controller;
  LspDocument& a = controller.add(document(u"a"));
  LspDocument& b = controller.add(
      std::make_unique<LspDocument>("file:///x/b.html", u"b", "/x/b.html", Encoding::utf8(), true));
  EXPECT_EQ(controller.nthDocument(1), &b);
  controller.touch(a);
  EXPECT_EQ(controller.nthDocument(1), &a);
  EXPECT_EQ(controller.nthDocument(3), nullptr);

  int opened = 0;
  controller.setOpenListener([&](LspDocument&) { ++opened; });
  HostDocument* read = controller.openFile(path);
  ASSERT_NE(read, nullptr);
  EXPECT_EQ(read->textStorage().string(), u"<p>on disk");
  EXPECT_FALSE(controller.find(read)->openInEditor());
  EXPECT_EQ(controller.openURL(lsp::fileURIFromPath(path)), read);  // open already
  EXPECT_EQ(opened, 1);
  EXPECT_EQ(controller.openFile(folder.file("missing.html")), nullptr);
  EXPECT_EQ(controller.openURL("http://127.0.0.1:1/x.html"), nullptr);
  controller.remove(b);
  EXPECT_EQ(controller.count(), 2u);
}

// ---- the text around a place ----

std::string placeAt(std::u16string_view textWithCaret) {
  const size_t caret = textWithCaret.find(u'|');
  UString text(textWithCaret);
  text.erase(caret, 1);
  const CompletionPlace place = lsp::completionPlaceAt(text, static_cast<uint32_t>(caret));
  const std::string word = toUtf8(UStringView(text).substr(place.word.location, place.word.length));
  switch (place.kind) {
    case CompletionPlace::Kind::ElementName:
      return std::string(place.endTag ? "end " : "element ") + "'" + word + "'";
    case CompletionPlace::Kind::AttributeName:
      return "attribute of " + toUtf8(place.elementName) + " '" + word + "'";
    default:
      return "none";
  }
}

TEST(MarkupContext, WhatIsBeingTyped) {
  EXPECT_EQ(placeAt(u"<|"), "element ''");
  EXPECT_EQ(placeAt(u"x <ta|ble>"), "element 'table'");
  EXPECT_EQ(placeAt(u"</d|"), "end 'd'");
  EXPECT_EQ(placeAt(u"<img |"), "attribute of img ''");
  EXPECT_EQ(placeAt(u"<img src=\"a b\" al|t"), "attribute of img 'alt'");
  EXPECT_EQ(placeAt(u"<img src=a.png w|"), "attribute of img 'w'");
  EXPECT_EQ(placeAt(u"<img src=\"a |b\""), "none");  // inside a value
  EXPECT_EQ(placeAt(u"<img src=|"), "none");
  EXPECT_EQ(placeAt(u"<img src=a.p|ng"), "none");
  EXPECT_EQ(placeAt(u"<p>text |"), "none");
  EXPECT_EQ(placeAt(u"<!-- <|"), "element ''");  // a "<" inside a comment still starts a name
  EXPECT_EQ(placeAt(u"<!DOC|"), "none");
  EXPECT_EQ(placeAt(u"</p |"), "none");
  EXPECT_EQ(placeAt(u"|"), "none");
}

TEST(MarkupContext, TheTagAPlaceIsIn) {
  const std::u16string text = u"a <IMG src=x> b </p>";
  auto tag = lsp::tagAt(text, 3);
  ASSERT_TRUE(tag);
  EXPECT_EQ(tag->tagStart, 2u);
  EXPECT_EQ(tag->name, Range(3, 3));
  EXPECT_TRUE(tag->closed);
  EXPECT_TRUE(lsp::tagAt(text, 12));  // the ">" belongs to the tag
  EXPECT_FALSE(lsp::tagAt(text, 13));
  EXPECT_FALSE(lsp::tagAt(text, 0));
  auto end = lsp::tagAt(text, 18);
  ASSERT_TRUE(end);
  EXPECT_TRUE(end->endTag);
  EXPECT_EQ(end->name, Range(18, 1));
  EXPECT_FALSE(lsp::tagAt(u"<!-- x -->", 5));
}

}  // namespace
}  // namespace vmk::testing
