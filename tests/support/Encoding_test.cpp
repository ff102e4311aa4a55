#include "support/Encoding.h"

#include <gtest/gtest.h>

namespace vmk {
namespace {

TEST(EncodingTest, NamesAndAliases) {
  EXPECT_EQ(Encoding::fromName("shift_jis"), Encoding::shiftJIS());
  EXPECT_EQ(Encoding::fromName("MS_Kanji"), Encoding::shiftJIS());
  EXPECT_EQ(Encoding::fromName("x-sjis"), Encoding::shiftJIS());
  EXPECT_EQ(Encoding::fromName("Windows-31J"), Encoding::shiftJIS());
  EXPECT_EQ(Encoding::fromName("EUC-JP"), Encoding::eucJP());
  EXPECT_EQ(Encoding::fromName("iso-2022-jp"), Encoding::iso2022JP());
  EXPECT_EQ(Encoding::fromName("UTF8"), Encoding::utf8());
  EXPECT_EQ(Encoding::fromName(u" utf-8 "), Encoding::utf8());
  EXPECT_EQ(Encoding::fromName("latin1"), Encoding::isoLatin1());
  EXPECT_EQ(Encoding::fromName("cp1252"), Encoding::windowsLatin1());
  EXPECT_EQ(Encoding::fromName("ascii"), Encoding::ascii());
  EXPECT_EQ(Encoding::fromName("x-mac-roman"), Encoding::macRoman());
  for (const char* bad : {"", "bogus-charset", "utf-9", "x-mac-japanese-nonsense"})
    EXPECT_FALSE(Encoding::fromName(bad).valid()) << bad;
  EXPECT_FALSE(Encoding().valid());

  EXPECT_EQ(Encoding::fromName("ms_kanji").ianaName(), "Shift_JIS");
  EXPECT_EQ(Encoding::fromName("macintosh").ianaName(), "macintosh");
  EXPECT_EQ(Encoding::fromName("euc-jp").ianaName(), "EUC-JP");
  EXPECT_EQ(Encoding::windowsLatin1().ianaName(), "windows-1252");
  EXPECT_EQ(Encoding::fromName("us-ascii").ianaName(), "US-ASCII");
  EXPECT_EQ(Encoding().ianaName(), "");
}

TEST(EncodingTest, IdentityGroups) {
  for (const char* n : {"Shift_JIS", "windows-31j", "cp932", "ibm-943", "sjis"})
    EXPECT_TRUE(Encoding::fromName(n).isShiftJISGroup()) << n;
  for (const char* n : {"ISO-2022-JP", "ISO-2022-JP-1", "ISO-2022-JP-2"})
    EXPECT_TRUE(Encoding::fromName(n).isISO2022JPGroup()) << n;
  for (const char* n : {"UTF-16", "UTF-16LE", "UTF-16BE"})
    EXPECT_TRUE(Encoding::fromName(n).isUTF16()) << n;
  EXPECT_TRUE(Encoding::fromName("x-euc-jp").isEUCJP());
  EXPECT_TRUE(Encoding::fromName("euc-jp").isJapanese());
  EXPECT_TRUE(Encoding::fromName("utf-8").isUTF8());
  EXPECT_TRUE(Encoding::fromName("US-ASCII").isASCII());
  for (const Encoding& e : {Encoding::utf8(), Encoding::isoLatin1(), Encoding::macRoman()}) {
    EXPECT_FALSE(e.isJapanese()) << e.name();
    EXPECT_FALSE(e.isUTF16()) << e.name();
  }
  EXPECT_FALSE(Encoding::utf8().isASCII());
  EXPECT_FALSE(Encoding::shiftJIS().isEUCJP());
}

TEST(EncodingTest, LosslessConversion) {
  const UString e = u"caf\u00e9";
  EXPECT_FALSE(Encoding::ascii().encodeLossless(e));
  EXPECT_FALSE(Encoding::ascii().canConvertWithoutLoss(e));
  EXPECT_EQ(Encoding::isoLatin1().encodeLossless(e), "caf\xe9");
  EXPECT_EQ(Encoding::macRoman().encodeLossless(e), "caf\x8e");
  EXPECT_EQ(Encoding::windowsLatin1().encodeLossless(u"\u20ac"), "\x80");
  EXPECT_FALSE(Encoding::isoLatin1().canConvertWithoutLoss(u"\u20ac"));
  EXPECT_EQ(Encoding::shiftJIS().encodeLossless(u"\u65e5\u672c"), "\x93\xfa\x96\x7b");
  EXPECT_EQ(Encoding::eucJP().encodeLossless(u"\u65e5"), "\xc6\xfc");
  EXPECT_EQ(Encoding::iso2022JP().encodeLossless(u"\u65e5"), "\x1b$BF|\x1b(B");
  EXPECT_FALSE(Encoding::shiftJIS().canConvertWithoutLoss(u"\U0001F600"));
  EXPECT_TRUE(Encoding::utf8().canConvertWithoutLoss(u"\U0001F600"));
  // Lossy output substitutes instead of failing.
  EXPECT_EQ(Encoding::ascii().encodeLossy(e).size(), 4u);
  EXPECT_EQ(Encoding().encodeLossy(e), "");
  EXPECT_FALSE(Encoding().encodeLossless(e));
}

TEST(EncodingTest, Decoding) {
  EXPECT_EQ(Encoding::macRoman().decode("\x8e\x8a\xa5"), UString(u"\u00e9\u00e4\u2022"));
  EXPECT_EQ(Encoding::shiftJIS().decode("\x93\xfa\x96\x7b"), UString(u"\u65e5\u672c"));
  EXPECT_EQ(Encoding::iso2022JP().decode("\x1b$BF|\x1b(B!"), UString(u"\u65e5!"));
  EXPECT_EQ(Encoding::utf16().decode(std::string("\xff\xfe"
                                                 "a\0",
                                                 4)),
            UString(u"a"));
  EXPECT_EQ(Encoding::utf16BE().decode(std::string("\0a", 2)), UString(u"a"));
  // Illegal sequences: U+FFFD, or nothing when strict.
  EXPECT_EQ(Encoding::utf8().decode("a\xff"
                                    "b"),
            UString(u"a\uFFFDb"));
  EXPECT_FALSE(
      Encoding::utf8().decode("a\xff"
                              "b",
                              true));
  EXPECT_FALSE(Encoding::utf8().decode("a\xe6\x97", true));  // cut short
  // Strict UTF-8 takes surrogates and over-long forms as illegal, keeps a byte order mark and
  // noncharacters, and decodes four-byte forms into pairs.
  EXPECT_FALSE(Encoding::utf8().decode("\xed\xa0\x80", true));
  EXPECT_FALSE(Encoding::utf8().decode("\xc0\x80", true));
  EXPECT_FALSE(Encoding::utf8().decode("\xf4\x90\x80\x80", true));
  EXPECT_EQ(Encoding::utf8().decode("\xef\xbb\xbfx\xef\xbf\xbe", true), UString(u"\uFEFFx\uFFFE"));
  EXPECT_EQ(Encoding::utf8().decode("\xf0\x9f\x98\x80\xc3\xa9", true),
            UString(u"\U0001F600\u00e9"));
  // Long ASCII stretches around other characters, and ill-formed bytes after them.
  const std::string ascii(40, 'a');
  EXPECT_EQ(Encoding::utf8().decode(ascii +
                                        "\xc3\xa9"
                                        "b\xe6\x97\xa5" +
                                        ascii,
                                    true),
            toUtf16(ascii) + u"\u00e9b\u65e5" + toUtf16(ascii));
  EXPECT_FALSE(Encoding::utf8().decode(ascii + "\xe6\x97" + ascii, true));
  EXPECT_FALSE(Encoding::utf8().decode(ascii + ascii + "\xff", true));
  EXPECT_FALSE(Encoding::ascii().decode("\x80", true));
  EXPECT_EQ(Encoding::ascii().decode("\x80"), UString(u"\uFFFD"));
  EXPECT_EQ(Encoding::utf8().decode("", true), UString());
  EXPECT_FALSE(Encoding().decode("abc"));
}

TEST(EncodingTest, StrictUtf8AgreesWithTheConverterAtEveryCut) {
  // Non-ASCII characters and ill-formed bytes on each side of the places where widened ASCII
  // is handed on (every few thousand units) and where vector steps end (every 16 bytes).
  const Encoding utf8 = Encoding::utf8();
  for (size_t prefix : {size_t(0), size_t(15), size_t(16), size_t(17), size_t(4079), size_t(4095),
                        size_t(4096), size_t(4097), size_t(8191), size_t(8192)}) {
    for (std::string_view middle : {"\xc3\xa9", "\xe6\x97\xa5x\xf0\x9f\x98\x80", "\r\n"}) {
      const std::string bytes = std::string(prefix, 'a') + std::string(middle) +
                                std::string(prefix % 37, 'b') + std::string(middle);
      EXPECT_EQ(utf8.decode(bytes, true), utf8.decode(bytes, false)) << prefix;
    }
    EXPECT_FALSE(utf8.decode(std::string(prefix, 'a') + "\xe6\x97", true)) << prefix;
    EXPECT_FALSE(utf8.decode(std::string(prefix, 'a') + "\x80" + std::string(40, 'c'), true));
  }
  // A text of many megabytes (its buffer gets large pages) with a character every so often.
  std::string large;
  while (large.size() < (9u << 20)) large += std::string(1000, 'z') + "\xc3\xa9\n";
  const std::optional<UString> decoded = utf8.decode(large, true);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(*decoded, utf8.decode(large, false));
}

TEST(EncodingTest, Utf8DecodedInStepsMatchesTheWholeDecoding) {
  // Every way of cutting a text with sequences of each length, ASCII runs long and short, and
  // ill-formed bytes: the steps, each cut where completeUtf8Prefix says, give what one strict
  // decoding gives, and fail where it fails.
  const Encoding utf8 = Encoding::utf8();
  std::string valid;
  for (int i = 0; i < 40; ++i) {
    valid += std::string(size_t(i % 19), 'a');
    valid += i % 4 == 0   ? "\xc3\xa9"
             : i % 4 == 1 ? "\xe6\x97\xa5"
             : i % 4 == 2 ? "\xf0\x9f\x98\x80"
                          : "<p>";
  }
  const std::string invalid[] = {valid + "\xe6\x97", valid.substr(0, 50) + "\x80" + valid,
                                 valid.substr(0, 30) + "\xed\xa0\x80" + valid};
  auto inSteps = [](std::string_view bytes, size_t step) -> std::optional<UString> {
    UString out;
    std::string held;
    for (size_t at = 0; at < bytes.size(); at += step) {
      held += bytes.substr(at, step);
      const bool last = at + step >= bytes.size();
      const size_t complete = last ? held.size() : completeUtf8Prefix(held);
      if (!appendUtf8Strictly(std::string_view(held).substr(0, complete), out)) return std::nullopt;
      held.erase(0, complete);
    }
    return out;
  };
  for (size_t step = 1; step <= 9; ++step) {
    EXPECT_EQ(inSteps(valid, step), utf8.decode(valid, true)) << step;
    for (const std::string& bad : invalid) EXPECT_FALSE(inSteps(bad, step)) << step;
  }
  EXPECT_EQ(completeUtf8Prefix("ab\xf0\x9f\x98"), 2u);
  EXPECT_EQ(completeUtf8Prefix("ab\xf0\x9f\x98\x80"), 6u);
  EXPECT_EQ(completeUtf8Prefix("\x80\x80\x80\x80\x80"), 5u);  // ill-formed: left to the decoder
  EXPECT_EQ(completeUtf8Prefix(""), 0u);
}

TEST(EncodingTest, Utf16ByteOrder) {
  // Output starts with a byte order mark; input without one reads as big-endian.
  const Encoding utf16 = Encoding::utf16();
  std::string bytes = utf16.encodeLossy(u"a\u00e9");
  ASSERT_EQ(bytes.size(), 6u);
  EXPECT_EQ(utf16.decode(bytes), UString(u"a\u00e9"));
  EXPECT_TRUE(bytes.starts_with("\xff\xfe") || bytes.starts_with("\xfe\xff"));
  EXPECT_EQ(utf16.decode(std::string("\0a", 2)), UString(u"a"));
  EXPECT_EQ(Encoding::utf16LE().encodeLossy(u"a"), std::string("a\0", 2));
}

TEST(EncodingKeepsAsciiTest, StatefulAndNonAsciiEncodingsDoNot) {
  for (const char* name :
       {"UTF-8", "US-ASCII", "ISO-8859-1", "windows-1252", "EUC-JP", "KOI8-R", "macintosh"})
    EXPECT_TRUE(Encoding::fromName(name).keepsAscii()) << name;
  for (const char* name : {"ISO-2022-JP", "UTF-7", "HZ-GB-2312", "ibm037", "UTF-16LE"})
    EXPECT_FALSE(Encoding::fromName(name).keepsAscii()) << name;
}

}  // namespace
}  // namespace vmk
