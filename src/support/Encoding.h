// Text encodings (ICU). An Encoding is identified by its canonical ICU converter name.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "support/Text.h"

namespace vmk {

class Encoding {
 public:
  Encoding() = default;  // invalid

  // IANA (or ICU) charset name -> encoding, e.g. "shift_jis", "MS_Kanji", "euc-jp", "utf-8",
  // "macintosh", "iso-8859-1". An unknown name gives an invalid encoding.
  static Encoding fromName(std::string_view ianaName);
  static Encoding fromName(UStringView ianaName);

  static Encoding utf8();
  static Encoding utf16();  // with byte order mark on output, big-endian without one
  static Encoding utf16LE();
  static Encoding utf16BE();
  static Encoding ascii();
  static Encoding isoLatin1();
  static Encoding windowsLatin1();  // windows-1252
  static Encoding macRoman();
  static Encoding shiftJIS();
  static Encoding eucJP();
  static Encoding iso2022JP();

  bool valid() const { return !name_.empty(); }
  // The canonical ICU converter name ("" when invalid).
  const std::string& name() const { return name_; }
  // The preferred IANA (MIME) name, falling back to the ICU name.
  std::string ianaName() const;

  // Identity tests used by the character checks.
  bool isUTF8() const;
  bool isUTF16() const;  // any UTF-16 form
  bool isASCII() const;
  bool isEUCJP() const;
  bool isShiftJISGroup() const;   // Shift_JIS and its vendor variants (windows-31j, ...)
  bool isISO2022JPGroup() const;  // ISO-2022-JP and its variants
  bool isJapanese() const { return isEUCJP() || isShiftJISGroup() || isISO2022JPGroup(); }

  // True when every ASCII byte decodes to the same character on its own, whatever bytes
  // surround it, so that bytes all below 0x80 give the same text as in UTF-8 (ISO-8859-*,
  // windows-125*, EUC-JP; not ISO-2022-JP, UTF-7, HZ, EBCDIC, nor ICU's Shift_JIS, which
  // swaps three control codes).
  bool keepsAscii() const;

  // bytes -> UTF-16. strict: absent when a byte sequence is illegal or unmappable;
  // otherwise those become U+FFFD.
  std::optional<UString> decode(std::string_view bytes, bool strict = false) const;
  // UTF-16 -> bytes; unmappable characters become the converter's substitute.
  std::string encodeLossy(UStringView text) const;
  // UTF-16 -> bytes; absent when any character cannot be converted without loss.
  std::optional<std::string> encodeLossless(UStringView text) const;
  // True when the text converts to this encoding without loss.
  bool canConvertWithoutLoss(UStringView text) const;

  friend bool operator==(const Encoding&, const Encoding&) = default;

 private:
  explicit Encoding(std::string canonical) : name_(std::move(canonical)) {}
  std::string name_;
};

// Strict UTF-8 decoding appended to `out`; false (with `out` holding part of the text) at the
// first ill-formed sequence, including one cut off at the end.
bool appendUtf8Strictly(std::string_view bytes, UString& out);
// How many of the bytes end on a character boundary: all of them, or all but a last sequence
// that more bytes would complete (for decoding a file in steps).
size_t completeUtf8Prefix(std::string_view bytes);

}  // namespace vmk
