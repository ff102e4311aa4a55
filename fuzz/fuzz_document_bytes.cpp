// A document file's bytes of any kind opened as the editor opens them (byte order marks, UTF-16
// without one, declared charsets, UTF-8, windows-1252; or an encoding the first byte chooses, as
// the command's --encoding does), then saved back: what was read without a replaced byte is
// written in its encoding, with its line ends and mark, and reads back as the same text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "host/headless/DocumentFile.h"

using namespace vmk;

namespace {

// The encodings a user names most: each a different kind of converter.
const char* const kForced[] = {"UTF-8",       "UTF-16LE",   "UTF-16BE",     "Shift_JIS", "EUC-JP",
                               "ISO-2022-JP", "ISO-8859-1", "windows-1252", "KOI8-R",    "GB18030"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte: below 32 the bytes are opened as found, else with a named encoding.
  std::optional<Encoding> forced;
  if (data[0] >= 32) forced = Encoding::fromName(kForced[data[0] % std::size(kForced)]);
  const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);

  const DecodedDocument decoded = decodeDocumentBytes(bytes, forced);
  if (!decoded.encoding.valid()) std::abort();
  // Line ends are held as LF alone.
  if (decoded.text.find(u'\r') != UString::npos) std::abort();
  if (decoded.decodingErrors) return 0;

  std::string error;
  const std::optional<std::string> saved = encodeDocumentText(
      decoded.text, decoded.encoding, decoded.lineEndings, decoded.hasBOM, &error);
  if (!saved) return 0;  // refused with a reason, the file left as it was
  const DecodedDocument again = decodeDocumentBytes(*saved, decoded.encoding);
  if (again.decodingErrors || again.text != decoded.text) std::abort();
  return 0;
}
