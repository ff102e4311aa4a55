// A complete validation run over arbitrary bytes. The first byte picks the shipped dictionary
// the run uses (it is the only one installed, so a DOCTYPE cannot pick another); the rest is
// the document: decoded as UTF-8 by the headless host (VELUMARK_FUZZ_UTF16=0), or taken as raw
// UTF-16 code units, unpaired surrogates and all (VELUMARK_FUZZ_UTF16=1).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "FuzzSupport.h"
#include "engine/VmkHTMLChecker.h"
#include "engine/VmkTagLocation.h"
#include "host/headless/HeadlessDocument.h"
#include "support/Encoding.h"

#ifndef VELUMARK_FUZZ_UTF16
#define VELUMARK_FUZZ_UTF16 0
#endif

using namespace vmk;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::setUpProcess();
  fuzz::shippedDictionaryNames();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const auto& names = fuzz::shippedDictionaryNames();
  fuzz::useOnlyDictionary(names[data[0] % names.size()]);
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

  std::unique_ptr<HeadlessDocument> document;
  if (VELUMARK_FUZZ_UTF16) {
    document = std::make_unique<HeadlessDocument>(fuzz::rawUtf16Text(bytes), "fuzz.html",
                                                  Encoding::utf16LE());
  } else {
    document = HeadlessDocument::fromBytes(bytes, "fuzz.html", Encoding::utf8());
  }

  std::unique_ptr<VmkHTMLChecker> checker = VmkHTMLChecker::initOneMore();
  const int32_t kept = checker->validateHTMLForDocument(*document, false, false);

  // Every location the run reports lies inside the text it checked.
  const uint64_t length = checker->sourceString().size();
  if (kept < 0 || size_t(kept) != checker->errorLocations().size()) std::abort();
  for (const auto& location : checker->errorLocations()) {
    const Range range = location->errorRange();
    if (range.location != kNotFound && uint64_t(range.location) + range.length > length)
      std::abort();
    // The texts the results window shows.
    (void)location->errorTitle();
    (void)location->errorDescription();
    (void)location->errorParagraphIndex();
  }
  for (const auto& tag : checker->tagLocations()) {
    const Range range = tag->tagRange();
    if (uint64_t(range.location) + range.length > length) std::abort();
  }
  return 0;
}
