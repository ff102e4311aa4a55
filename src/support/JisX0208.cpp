// The JIS X 0208 repertoire taken from ICU's converters: the standard mapping from the IBM
// EUC-JP table, the vendor mapping from the Shift_JIS table, each restricted to the code
// points of JIS X 0208 proper.
#include "support/JisX0208.h"

#include <unicode/ucnv.h>
#include <unicode/uset.h>

#include <bitset>
#include <memory>

#include "support/Log.h"

namespace vmk {
namespace {

using Units = std::bitset<0x10000>;

// JIS X 0208 assigns rows 1 to 8 (non-kanji) and 16 to 84 (kanji); 9 to 15 are left empty
// (vendors put their own symbols in row 13) and 85 to 94 hold vendor and user characters.
bool isJisX0208Row(int row) {
  return (row >= 1 && row <= 8) || (row >= 16 && row <= 84);
}

// The JIS row of a two-byte Shift_JIS code, 0 when it is not one.
int shiftJISRow(unsigned char lead, unsigned char trail) {
  if (!((lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC))) return 0;
  if (trail < 0x40 || trail > 0xFC || trail == 0x7F) return 0;
  int l = lead >= 0xE0 ? lead - 0x40 : lead;
  return (l - 0x81) * 2 + 1 + (trail >= 0x9F ? 1 : 0);
}

// The JIS row of a two-byte EUC-JP code set 1 code, 0 when it is not one.
int eucJPRow(unsigned char lead, unsigned char trail) {
  if (lead < 0xA1 || lead > 0xFE || trail < 0xA1 || trail > 0xFE) return 0;
  return lead - 0xA0;
}

struct ConverterCloser {
  void operator()(UConverter* c) const { ucnv_close(c); }
};
struct SetCloser {
  void operator()(USet* s) const { uset_close(s); }
};

// Adds every BMP character that the converter maps round trip onto a two-byte code whose row
// belongs to JIS X 0208.
void addRows(const char* converterName, int (*rowOf)(unsigned char, unsigned char), Units& units) {
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<UConverter, ConverterCloser> converter(ucnv_open(converterName, &status));
  if (U_FAILURE(status) || !converter) {
    logPluginProblem(std::string("Failed to open the converter ") + converterName);
    return;
  }
  std::unique_ptr<USet, SetCloser> set(uset_openEmpty());
  ucnv_getUnicodeSet(converter.get(), set.get(), UCNV_ROUNDTRIP_SET, &status);
  if (U_FAILURE(status)) return;
  ucnv_setFromUCallBack(converter.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr,
                        &status);
  int32_t ranges = uset_getItemCount(set.get());
  for (int32_t i = 0; i < ranges; ++i) {
    UChar32 start = 0, end = 0;
    status = U_ZERO_ERROR;
    if (uset_getItem(set.get(), i, &start, &end, nullptr, 0, &status) != 0) continue;
    for (UChar32 c = std::max<UChar32>(start, 0x80); c <= end && c <= 0xFFFF; ++c) {
      if (c >= 0xD800 && c <= 0xDFFF) continue;
      UChar unit = UChar(c);
      char bytes[8];
      status = U_ZERO_ERROR;
      ucnv_resetFromUnicode(converter.get());
      int32_t n = ucnv_fromUChars(converter.get(), bytes, sizeof bytes, &unit, 1, &status);
      if (U_FAILURE(status) || n != 2) continue;
      if (isJisX0208Row(rowOf((unsigned char)bytes[0], (unsigned char)bytes[1]))) units.set(c);
    }
  }
}

Units buildTable() {
  Units units;
  for (unsigned c = 0; c < 0x80; ++c) units.set(c);
  // JIS X 0201: the Roman set's yen sign and overline, and the katakana.
  units.set(0x00A5);
  units.set(0x203E);
  // JIS X 0208 1-81, 1-82 and 2-44 in the standard mapping; the converters below only hold
  // their vendor forms (U+FFE0, U+FFE1, U+FFE2).
  units.set(0x00A2);
  units.set(0x00A3);
  units.set(0x00AC);
  for (unsigned c = 0xFF61; c <= 0xFF9F; ++c) units.set(c);
  addRows("ibm-33722_P120-1999", eucJPRow, units);
  addRows("ibm-943_P15A-2003", shiftJISRow, units);
  return units;
}

}  // namespace

bool isShiftJISX0208Unit(UChar16 unit) {
  static const Units table = buildTable();
  return table.test(unit);
}

}  // namespace vmk
