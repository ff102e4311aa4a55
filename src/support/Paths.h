// Where things live on disk, and reading and writing whole files.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vmk {

std::string homeDirectory();            // $HOME, else the password database
std::string xdgConfigHome();            // $XDG_CONFIG_HOME, else ~/.config
std::string xdgDataHome();              // $XDG_DATA_HOME, else ~/.local/share
std::string velumarkConfigDirectory();  // xdgConfigHome()/velumark
std::string velumarkDataDirectory();    // xdgDataHome()/velumark

// The shipped resource folder: $VELUMARK_RESOURCE_DIR when set, else <exe dir>/../share/velumark
// (the build tree and the installed tree have the same shape), else the install prefix's.
std::string resourceDirectory();
// resourceDirectory() + "/" + relative.
std::string resourcePath(std::string_view relative);

// The whole content of a file; absent when it cannot be read (errorOut gets the reason).
std::optional<std::string> readFileContents(const std::string& path,
                                            std::string* errorOut = nullptr);
// The most bytes a document may have unless a caller says otherwise (1 GiB).
inline constexpr uint64_t kDefaultMaximumDocumentSize = uint64_t(1) << 30;
// The bytes of a document file. Only a regular file or a FIFO (a named pipe, or a pipe given
// by its path) is read: a folder, a device or a socket is refused before it is opened, and so
// is a file larger than maxSize bytes (a pipe is read no further than that). Absent with
// *errorOut, the reason alone (without the path).
std::optional<std::string> readDocumentFile(const std::string& path, uint64_t maxSize,
                                            std::string* errorOut = nullptr);
// The same for standard input, which may also be a terminal or a socket; a closed one says so.
std::optional<std::string> readStandardInput(uint64_t maxSize, std::string* errorOut = nullptr);
// Up to `limit` bytes from the start of a regular file; absent for anything else (a pipe or
// device is never read from, since what is read there is gone for the next reader). *sizeOut
// gets the file's size.
std::optional<std::string> readRegularFileStart(const std::string& path, size_t limit,
                                                uint64_t* sizeOut = nullptr);
// Reads a regular file from start to end in steps, without holding it whole: `consume` gets
// the bytes read and not yet used (`step` of them, or fewer once the end is reached, which
// `atEnd` tells; a file smaller than `step` comes whole, and so do its first 4 KB) and
// returns how many it used; the rest is handed again ahead of the next
// bytes. At the end it must use them all. It may return kStopReading to give up. False when
// the file is not a regular file or cannot be read, or when `consume` gave up or could not
// go on; *sizeOut gets the size the file had when opened.
inline constexpr size_t kStopReading = size_t(-1);
bool readRegularFileInSteps(
    const std::string& path, size_t step,
    const std::function<size_t(std::string_view bytes, bool atEnd)>& consume,
    uint64_t* sizeOut = nullptr);
// Writes a file atomically: a temporary file in the same folder, flushed, then renamed over
// the target. On failure the target is untouched, the temporary removed, and *errorOut says why.
bool writeFileAtomically(const std::string& path, std::string_view bytes,
                         std::string* errorOut = nullptr);
// Creates a folder and its parents; true when it exists afterwards.
bool makeDirectories(const std::string& path);

}  // namespace vmk
