// Opening and saving headless documents: encoding detection, byte order marks, line ends.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "TestSupport.h"
#include "host/headless/DocumentFile.h"
#include "host/headless/HeadlessDocument.h"
#include "support/Digest.h"

namespace vmk {
namespace {

using testing::TempFolder;

class DocumentFileTest : public ::testing::Test {
 protected:
  // Writes the bytes, opens them, and checks that an unchanged save gives the same bytes.
  std::unique_ptr<HeadlessDocument> openRoundTrip(const std::string& name, const std::string& bytes,
                                                  std::optional<Encoding> forced = {}) {
    std::string path = folder.write(name, bytes);
    std::string error;
    auto document = HeadlessDocument::open(path, forced, &error);
    EXPECT_TRUE(document) << error;
    if (!document) return nullptr;
    EXPECT_TRUE(document->saveToFile(folder.file("copy-" + name), &error)) << error;
    EXPECT_EQ(folder.read("copy-" + name), bytes) << "unchanged save of " << name;
    return document;
  }
  TempFolder folder;
};

TEST_F(DocumentFileTest, Utf8WithAndWithoutByteOrderMark) {
  auto plain = openRoundTrip("plain.html", "<p>caf\xC3\xA9</p>\n");
  ASSERT_TRUE(plain);
  EXPECT_TRUE(plain->openNSEncoding().isUTF8());
  EXPECT_FALSE(plain->hasByteOrderMark());
  EXPECT_EQ(plain->text(), u"<p>caf\u00E9</p>\n");
  EXPECT_EQ(plain->revertDocumentType(), kHTMLDocumentType);
  EXPECT_EQ(plain->displayName(), u"plain.html");

  auto marked = openRoundTrip("bom.txt", "\xEF\xBB\xBF<!doctype html>\n<p>\xE2\x82\xAC</p>\n");
  ASSERT_TRUE(marked);
  EXPECT_TRUE(marked->openNSEncoding().isUTF8());
  EXPECT_TRUE(marked->hasByteOrderMark());
  EXPECT_EQ(marked->text(), u"<!doctype html>\n<p>\u20AC</p>\n");  // the mark is not text
  EXPECT_EQ(marked->revertDocumentType(), kHTMLDocumentType);      // by content
}

TEST_F(DocumentFileTest, Utf16WithByteOrderMark) {
  auto little = openRoundTrip("le.html", std::string("\xFF\xFE<\0p\0>\0\xAC\x20\n\0", 12));
  ASSERT_TRUE(little);
  EXPECT_EQ(little->openNSEncoding(), Encoding::utf16LE());
  EXPECT_EQ(little->text(), u"<p>\u20AC\n");
  EXPECT_TRUE(little->hasByteOrderMark());

  auto big = openRoundTrip("be.html", std::string("\xFE\xFF\0<\0p\0>\x20\xAC\0\r\0\n", 14));
  ASSERT_TRUE(big);
  EXPECT_EQ(big->openNSEncoding(), Encoding::utf16BE());
  EXPECT_EQ(big->text(), u"<p>\u20AC\n");
  EXPECT_EQ(big->openLineEndings(), kLineEndingsCRLF);
}

// Without a mark, UTF-16 is known by the zero bytes beside the ASCII ones of the markup; it
// is saved back without a mark. Text that only looks like it at the start but does not decode,
// or that does not start with markup, is read the usual way.
TEST_F(DocumentFileTest, Utf16WithoutByteOrderMark) {
  auto widen = [](const std::u16string& text, bool little) {
    std::string bytes;
    for (const char16_t unit : text) {
      const char low = char(unit & 0xFF), high = char(unit >> 8);
      bytes += little ? low : high;
      bytes += little ? high : low;
    }
    return bytes;
  };
  const std::u16string page =
      u"\r\n<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\">\r\n"
      u"<p>caf\u00E9 \u65E5\u672C</p>\r\n";
  for (const bool little : {true, false}) {
    auto document =
        openRoundTrip(little ? "le-nomark.html" : "be-nomark.html", widen(page, little));
    ASSERT_TRUE(document);
    EXPECT_EQ(document->openNSEncoding(), little ? Encoding::utf16LE() : Encoding::utf16BE());
    EXPECT_FALSE(document->hasByteOrderMark());
    EXPECT_EQ(document->openLineEndings(), kLineEndingsCRLF);
    EXPECT_EQ(document->text(),
              u"\n<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\">\n"
              u"<p>caf\u00E9 \u65E5\u672C</p>\n");
  }
  // A lone high surrogate: not UTF-16 after all.
  std::string broken = widen(u"<p>x</p>", true) + std::string("\x00\xD8", 2) + widen(u"<p>", true);
  auto fallback = openRoundTrip("broken.html", broken);
  ASSERT_TRUE(fallback);
  EXPECT_FALSE(fallback->openNSEncoding().isUTF16());
  // Mostly not ASCII units, or no markup first: not taken for UTF-16.
  auto binary = openRoundTrip("binary.html", std::string("<\0\x01\x02\x03\x04\x05\x06", 8));
  ASSERT_TRUE(binary);
  EXPECT_FALSE(binary->openNSEncoding().isUTF16());
  auto text = openRoundTrip("text.html", widen(u"plain words", true));
  ASSERT_TRUE(text);
  EXPECT_FALSE(text->openNSEncoding().isUTF16());
}

TEST_F(DocumentFileTest, DeclaredCharsets) {
  auto latin1 = openRoundTrip(
      "latin1.html",
      "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=ISO-8859-1\">"
      "</head><body>caf\xE9</body></html>\n");
  ASSERT_TRUE(latin1);
  EXPECT_EQ(latin1->openNSEncoding(), Encoding::isoLatin1());
  EXPECT_NE(latin1->text().find(u"caf\u00E9"), UString::npos);

  // Shift_JIS "日本語" in an XML declaration, and in an HTML5-style meta element.
  const std::string japanese = "\x93\xFA\x96\x7B\x8C\xEA";
  auto xml = openRoundTrip(
      "sjis.xhtml", "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n<p>" + japanese + "</p>\n");
  ASSERT_TRUE(xml);
  EXPECT_TRUE(xml->openNSEncoding().isShiftJISGroup());
  EXPECT_NE(xml->text().find(u"\u65E5\u672C\u8A9E"), UString::npos);
  auto meta = openRoundTrip("sjis.html", "<head><META charset='shift_jis'></head>" + japanese);
  ASSERT_TRUE(meta);
  EXPECT_TRUE(meta->openNSEncoding().isShiftJISGroup());

  // A declaration the bytes do not match is ignored, and so is an unknown one.
  auto wrong = openRoundTrip("wrong.html", "<meta charset=\"utf-8\">caf\xE9");
  ASSERT_TRUE(wrong);
  EXPECT_EQ(wrong->openNSEncoding(), Encoding::windowsLatin1());
  auto unknown = openRoundTrip("unknown.html", "<meta charset=\"x-no-such\">caf\xC3\xA9");
  ASSERT_TRUE(unknown);
  EXPECT_TRUE(unknown->openNSEncoding().isUTF8());
  // A UTF-16 declaration read as ASCII cannot be true.
  auto utf16 = openRoundTrip("utf16.html", "<?xml version=\"1.0\" encoding=\"UTF-16\"?><p/>");
  ASSERT_TRUE(utf16);
  EXPECT_TRUE(utf16->openNSEncoding().isUTF8());
}

TEST_F(DocumentFileTest, FallsBackToWindows1252) {
  auto document = openRoundTrip("cp1252.htm", "caf\xE9 \x93quoted\x94\n");
  ASSERT_TRUE(document);
  EXPECT_EQ(document->openNSEncoding(), Encoding::windowsLatin1());
  EXPECT_EQ(document->text(), u"caf\u00E9 \u201Cquoted\u201D\n");
  EXPECT_FALSE(document->hadDecodingErrors());
}

TEST_F(DocumentFileTest, ForcedEncodingComesFirst) {
  auto forced = openRoundTrip("forced.html", "<meta charset=utf-8>\xC3\xA9", Encoding::isoLatin1());
  ASSERT_TRUE(forced);
  EXPECT_EQ(forced->openNSEncoding(), Encoding::isoLatin1());
  EXPECT_EQ(forced->text(), u"<meta charset=utf-8>\u00C3\u00A9");

  // Even over a byte order mark: its bytes are then characters.
  auto marked = openRoundTrip("marked.html", "\xEF\xBB\xBF\xC3\xA9", Encoding::isoLatin1());
  ASSERT_TRUE(marked);
  EXPECT_EQ(marked->openNSEncoding(), Encoding::isoLatin1());
  EXPECT_EQ(marked->text(), u"\u00EF\u00BB\u00BF\u00C3\u00A9");
  // A mark of the forced encoding stays a mark.
  auto same = openRoundTrip("same.html", "\xEF\xBB\xBF\xC3\xA9", Encoding::utf8());
  ASSERT_TRUE(same);
  EXPECT_EQ(same->text(), u"\u00E9");
}

TEST_F(DocumentFileTest, Utf8BytesOutweighTheDeclaration) {
  const std::string latin1Meta =
      "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\">";
  // Non-ASCII UTF-8: UTF-8, whatever is declared.
  auto utf8 = openRoundTrip("utf8.html", latin1Meta + "<p>caf\xC3\xA9</p>\n");
  ASSERT_TRUE(utf8);
  EXPECT_TRUE(utf8->openNSEncoding().isUTF8());
  EXPECT_NE(utf8->text().find(u"caf\u00E9"), UString::npos);
  // ASCII only: the declaration counts.
  auto ascii = openRoundTrip("ascii.html", latin1Meta + "<p>cafe</p>\n");
  ASSERT_TRUE(ascii);
  EXPECT_EQ(ascii->openNSEncoding(), Encoding::isoLatin1());
  // ASCII declared as an encoding that reads ASCII bytes its own way is decoded by it.
  auto jis = openRoundTrip("jis.html", "<meta charset=\"iso-2022-jp\"><p>\x1B$BF|\x1B(B</p>");
  ASSERT_TRUE(jis);
  EXPECT_TRUE(jis->openNSEncoding().isISO2022JPGroup());
  EXPECT_NE(jis->text().find(u"\u65E5"), UString::npos);

  // An HTML document's XML declaration names no encoding; an XHTML one's comes first.
  const std::string declaration = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n";
  const std::string meta =
      "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">";
  auto html = openRoundTrip(
      "html.html", declaration +
                       "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\">\n<html><head>" + meta +
                       "</head></html>\n");
  ASSERT_TRUE(html);
  EXPECT_TRUE(html->openNSEncoding().isUTF8());
  auto xhtml = openRoundTrip(
      "xhtml.html", declaration +
                        "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Strict//EN\" "
                        "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd\">\n<html><head>" +
                        meta + "</head></html>\n");
  ASSERT_TRUE(xhtml);
  EXPECT_TRUE(xhtml->openNSEncoding().isShiftJISGroup());
  // An unknown first declaration gives way to the next one.
  auto next = openRoundTrip(
      "next.html", "<?xml version=\"1.0\" encoding=\"x-none\"?><html>" + latin1Meta + "</html>");
  ASSERT_TRUE(next);
  EXPECT_EQ(next->openNSEncoding(), Encoding::isoLatin1());
}

TEST_F(DocumentFileTest, LineEndsAreRestoredOnSave) {
  auto crlf = openRoundTrip("crlf.html", "<p>\r\none\r\n</p>\r\n");
  ASSERT_TRUE(crlf);
  EXPECT_EQ(crlf->openLineEndings(), kLineEndingsCRLF);
  EXPECT_EQ(crlf->text(), u"<p>\none\n</p>\n");

  auto cr = openRoundTrip("cr.html", "<p>\rone\r</p>");
  ASSERT_TRUE(cr);
  EXPECT_EQ(cr->openLineEndings(), kLineEndingsCR);
  EXPECT_EQ(cr->text(), u"<p>\none\n</p>");

  auto none = openRoundTrip("none.html", "<p>");
  ASSERT_TRUE(none);
  EXPECT_EQ(none->openLineEndings(), kLineEndingsLF);

  // Edited text gets the file's line ends too.
  ASSERT_TRUE(replaceTextInDocument(*crlf, Range(8, 0), u"two\n"));
  std::string error;
  ASSERT_TRUE(crlf->saveDocument(&error)) << error;
  EXPECT_EQ(folder.read("crlf.html"), "<p>\r\none\r\ntwo\r\n</p>\r\n");
  EXPECT_FALSE(crlf->isDocumentEdited());
}

TEST_F(DocumentFileTest, LossySaveIsRefusedAndTheFileKept) {
  const std::string bytes =
      "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\">\r\ncaf\xE9\r\n";
  std::string path = folder.write("latin1.html", bytes);
  auto document = HeadlessDocument::open(path);
  ASSERT_TRUE(document);
  ASSERT_EQ(document->openNSEncoding(), Encoding::isoLatin1());

  ASSERT_TRUE(replaceTextInDocument(*document, Range(document->text().size(), 0), u"\u65E5\n"));
  std::string error;
  EXPECT_FALSE(document->saveDocument(&error));
  EXPECT_NE(error.find("ISO-8859-1"), std::string::npos) << error;
  EXPECT_NE(error.find("\xE6\x97\xA5"), std::string::npos) << error;  // names the character
  EXPECT_EQ(folder.read("latin1.html"), bytes);
  EXPECT_TRUE(document->isDocumentEdited());

  // Back to Latin-1 text, the save goes through.
  ASSERT_TRUE(document->undo());
  EXPECT_TRUE(document->saveDocument(&error)) << error;
  EXPECT_EQ(folder.read("latin1.html"), bytes);

  // A changed encoding is used for the next save.
  ASSERT_TRUE(replaceTextInDocument(*document, Range(document->text().size(), 0), u"\u65E5"));
  document->setOpenNSEncoding(Encoding::utf8());
  EXPECT_TRUE(document->saveDocument(&error)) << error;
  EXPECT_EQ(folder.read("latin1.html"),
            "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\">\r\n"
            "caf\xC3\xA9\r\n\xE6\x97\xA5");
}

TEST_F(DocumentFileTest, BadBytesAreNotSavedOverSilently) {
  std::string bytes = "\xEF\xBB\xBFok \xFF here";
  std::string path = folder.write("bad.html", bytes);
  auto document = HeadlessDocument::open(path);
  ASSERT_TRUE(document);
  EXPECT_TRUE(document->hadDecodingErrors());
  EXPECT_EQ(document->text(), u"ok \uFFFD here");
  std::string error;
  EXPECT_FALSE(document->saveDocument(&error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(folder.read("bad.html"), bytes);

  // Once the loss is accepted the replacement character is written.
  document->acceptDecodingErrors();
  EXPECT_TRUE(document->saveDocument(&error)) << error;
  EXPECT_EQ(folder.read("bad.html"), "\xEF\xBB\xBFok \xEF\xBF\xBD here");

  // Decoding from memory works the same way.
  auto fromMemory = HeadlessDocument::fromBytes("caf\xE9\r\n", std::string("/x/y.txt"));
  EXPECT_EQ(fromMemory->text(), u"caf\u00E9\n");
  EXPECT_EQ(fromMemory->openLineEndings(), kLineEndingsCRLF);
  EXPECT_EQ(fromMemory->fileName(), "/x/y.txt");
}

TEST_F(DocumentFileTest, OpenAndSaveFailures) {
  std::string error;
  EXPECT_FALSE(HeadlessDocument::open(folder.file("missing.html"), {}, &error));
  EXPECT_NE(error.find("missing.html"), std::string::npos);

  HeadlessDocument untitled(u"text");
  error.clear();
  EXPECT_FALSE(untitled.saveDocument(&error));
  EXPECT_FALSE(error.empty());

  HeadlessDocument inMissingFolder(u"text", folder.file("no/such/folder/x.html"));
  error.clear();
  EXPECT_FALSE(inMissingFolder.saveDocument(&error));
  EXPECT_FALSE(error.empty());
}

TEST_F(DocumentFileTest, LineEndsWhereverTheyFall) {
  // CR, CRLF and LF around the edges of vector steps and decoding chunks, first in memory and
  // then through a file in encodings that are and are not looked at byte by byte.
  for (size_t at : {size_t(0), size_t(1), size_t(7), size_t(8), size_t(9), size_t(4095),
                    size_t(4096), size_t(4097)}) {
    for (std::string_view end : {"\r", "\r\n", "\n", "\r\r\n", "\n\r"}) {
      const std::string bytes = std::string(at, 'x') + std::string(end) + "y" + std::string(end);
      UString text = toUtf16(bytes);
      const UString expected = normalizeLineEndings(text);
      normalizeLineEndingsInPlace(text);
      EXPECT_EQ(text, expected) << at;
      for (const Encoding& encoding : {Encoding::utf8(), Encoding::isoLatin1()}) {
        DecodedDocument decoded = decodeDocumentBytes(bytes, encoding);
        EXPECT_EQ(decoded.text, expected) << at << " " << encoding.name();
        EXPECT_EQ(decoded.lineEndings, detectLineEndings(toUtf16(bytes)));
      }
    }
  }
  // Detected UTF-8 without a CR keeps its text as it is, with one it is normalized.
  EXPECT_EQ(decodeDocumentBytes("<p>\xc3\xa9\n</p>").text, u"<p>\u00e9\n</p>");
  DecodedDocument crlf = decodeDocumentBytes("<p>\xc3\xa9\r\n</p>\r");
  EXPECT_EQ(crlf.text, u"<p>\u00e9\n</p>\n");
  EXPECT_EQ(crlf.lineEndings, kLineEndingsCRLF);
  // Bytes that are not UTF-8 (windows-1252) with lone CRs.
  DecodedDocument cr = decodeDocumentBytes("caf\xe9\rx\r");
  EXPECT_EQ(cr.text, u"caf\u00e9\nx\n");
  EXPECT_EQ(cr.lineEndings, kLineEndingsCR);
}

TEST_F(DocumentFileTest, Utf8FilesDecodedAsReadMatchTheWholeFileDecoding) {
  // Past the first step of reading (1 MiB) with a character of each length across it.
  std::string large = "<!DOCTYPE html>\r\n<p>";
  while (large.size() < (1u << 20) - 2) large += "text \xc3\xa9 more\r\n";
  large.resize((1u << 20) - 2, 'x');
  for (std::string_view across : {"\xf0\x9f\x98\x80", "\xe6\x97\xa5", "\xc3\xa9"}) {
    large += across;
    large += "<b>tail</b>\n";
  }
  struct Case {
    std::string name, bytes;
    bool decodedAsRead;
  };
  const Case cases[] = {
      {"large", large, true},
      {"bom", "\xEF\xBB\xBF<p>\xc3\xa9</p>\r\n", true},
      {"declared", "<meta charset=\"utf-8\"><p>\xe6\x97\xa5</p>", true},
      {"declared-utf16", "<meta charset=\"utf-16\"><p>\xe6\x97\xa5</p>", true},
      {"unknown-charset", "<meta charset=\"no-such\"><p>x</p>", true},
      {"empty", "", true},
      {"latin1", "<meta charset=\"iso-8859-1\"><p>\xe9</p>", false},
      {"ascii-latin1", "<meta charset=\"iso-8859-1\"><p>e\r\n</p>", true},
      {"utf8-latin1", "<meta charset=\"iso-8859-1\"><p>\xc3\xa9</p>", true},
      {"ascii-jis", "<meta charset=\"iso-2022-jp\"><p>e</p>", false},
      {"bad", large.substr(0, 3000000) + "\xff", false},
      {"utf16", std::string("\xFF\xFE<\0p\0>\0", 8), false},
      {"utf16-no-bom", std::string("<\0p\0>\0a\0b\0c\0<\0/\0p\0>\0", 20), false},
  };
  for (const Case& c : cases) {
    const std::string path = folder.write(c.name, c.bytes);
    const std::optional<DecodedDocument> asRead = decodeUtf8DocumentFile(path);
    const DecodedDocument whole = decodeDocumentBytes(c.bytes);
    ASSERT_EQ(asRead.has_value(), c.decodedAsRead) << c.name;
    if (asRead) {
      EXPECT_EQ(asRead->text, whole.text) << c.name;
      EXPECT_EQ(asRead->encoding, whole.encoding) << c.name;
      EXPECT_EQ(asRead->lineEndings, whole.lineEndings) << c.name;
      EXPECT_EQ(asRead->hasBOM, whole.hasBOM) << c.name;
      EXPECT_FALSE(asRead->decodingErrors) << c.name;
      // A digest worked out on the way, unless line ends changed the text afterwards.
      if (asRead->digest) {
        EXPECT_EQ(*asRead->digest, digestHex(UStringView(whole.text))) << c.name;
      }
      EXPECT_EQ(asRead->digest.has_value(), c.bytes.find('\r') == std::string::npos) << c.name;
    }
    // Opening takes whichever way fits and ends with the same document.
    std::string error;
    auto document = HeadlessDocument::open(path, std::nullopt, &error);
    ASSERT_TRUE(document) << error;
    EXPECT_EQ(document->text(), whole.text) << c.name;
    EXPECT_EQ(document->openNSEncoding(), whole.encoding) << c.name;
    EXPECT_EQ(document->hadDecodingErrors(), whole.decodingErrors) << c.name;
    EXPECT_EQ(document->md5DigestString(), digestHex(UStringView(whole.text))) << c.name;
  }
  EXPECT_FALSE(decodeUtf8DocumentFile(folder.path()));
  EXPECT_FALSE(decodeUtf8DocumentFile(folder.file("missing")));
}

TEST(DocumentFileHelpersTest, LineEndsAndNames) {
  EXPECT_EQ(detectLineEndings(u"a\r\nb\rc\n"), kLineEndingsCRLF);
  EXPECT_EQ(detectLineEndings(u"a\rb\r\n"), kLineEndingsCR);
  EXPECT_EQ(detectLineEndings(u"a\nb\r\n"), kLineEndingsLF);
  EXPECT_EQ(detectLineEndings(u"abc\r"), kLineEndingsCR);
  EXPECT_EQ(normalizeLineEndings(u"a\r\nb\rc\n\r"), u"a\nb\nc\n\n");
  for (UString text : {UString(u"a\r\nb\rc\n\r"), UString(u"\r\r\n\n"), UString(u"plain\n")}) {
    const UString expected = normalizeLineEndings(text);
    normalizeLineEndingsInPlace(text);
    EXPECT_EQ(text, expected);
  }
  EXPECT_EQ(restoreLineEndings(u"a\nb\n", kLineEndingsCRLF), u"a\r\nb\r\n");
  EXPECT_EQ(restoreLineEndings(u"a\nb\n", kLineEndingsCR), u"a\rb\r");

  using Names = std::vector<std::string>;
  EXPECT_EQ(declaredCharsetNames("<?xml version='1.0' encoding='EUC-JP'?>"), Names{"EUC-JP"});
  EXPECT_EQ(declaredCharsetNames("<meta content=\"text/html;charset=koi8-r\" "
                                 "http-equiv=\"Content-Type\">"),
            Names{"koi8-r"});
  EXPECT_EQ(declaredCharsetNames("<?xml version='1.0' encoding='EUC-JP'?><meta charset=utf-8>"),
            (Names{"EUC-JP", "utf-8"}));
  EXPECT_EQ(declaredCharsetNames("<?xml version='1.0' encoding='EUC-JP'?><!DOCTYPE HTML PUBLIC "
                                 "'-//W3C//DTD HTML 4.01//EN'><meta charset=utf-8>"),
            Names{"utf-8"});
  EXPECT_EQ(declaredCharsetNames("<p>charset=utf-8</p>"), Names{});
  EXPECT_EQ(declaredCharsetNames(std::string(5000, ' ') + "<meta charset=utf-8>"), Names{});

  EXPECT_EQ(lastPathComponent("/a/b/c.html"), "c.html");
  EXPECT_EQ(lastPathComponent("/a/b/"), "b");
  EXPECT_EQ(lastPathComponent("c"), "c");
  EXPECT_FALSE(isHTMLDocument(std::string("/x/readme.txt"), u"hello <html>"));
  EXPECT_TRUE(isHTMLDocument(std::nullopt, u"  <!DocType HTML PUBLIC>"));
}

}  // namespace
}  // namespace vmk
