// What the fuzz programs share: a private settings and data folder for the process, the list
// of shipped dictionaries, a way to make one of them the dictionary of the next validation
// run, and ways to turn fuzz bytes into text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "support/Text.h"

namespace vmk {
class VmkDictionary;
}

namespace vmk::fuzz {

// Points XDG_CONFIG_HOME and XDG_DATA_HOME at a private folder (VELUMARK_FUZZ_WORKDIR when
// set, else a new temporary folder removed at exit) and keeps the shared settings store from
// writing its file. Idempotent; every other helper calls it first.
void setUpProcess();
// The private folder.
const std::string& workDirectory();

// Display names of the shipped dictionaries (sorted); never empty, or the process aborts
// with a message pointing at the missing build step.
const std::vector<std::string>& shippedDictionaryNames();
// The shipped dictionary file of a display name.
std::string shippedDictionaryPath(const std::string& name);

// Makes the named dictionary the only installed one and the default of the settings, so that
// the next validation run reads that file alone whatever DOCTYPE the text names.
void useOnlyDictionary(const std::string& name);
// Installs one dictionary file with the given bytes (under the display name "Fuzz") as the
// only installed dictionary and the default of the settings.
void useDictionaryBytes(std::string_view bytes);

// A shipped dictionary kept in memory for the whole process (index modulo their number).
const VmkDictionary& loadedDictionary(size_t index);

// Bytes as text: UTF-8 (ill-formed sequences become U+FFFD) or raw UTF-16 code units (pairs
// of bytes, little-endian; an odd last byte is dropped).
UString utf8Text(std::string_view bytes);
UString rawUtf16Text(std::string_view bytes);

// A fixed document that touches most checks (DOCTYPE, meta charset, tables, forms, ids,
// references).
std::string_view sampleDocument();

// Writes bytes to a file, replacing it; aborts when it cannot (the fuzz folder is private).
void writeFileOrDie(const std::string& path, std::string_view bytes);

}  // namespace vmk::fuzz
