// Where things live on disk, and reading and writing whole files.
#pragma once

#include <cstdint>
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
// Up to `limit` bytes from the start of a regular file; absent for anything else (a pipe or
// device is never read from, since what is read there is gone for the next reader). *sizeOut
// gets the file's size.
std::optional<std::string> readRegularFileStart(const std::string& path, size_t limit,
                                                uint64_t* sizeOut = nullptr);
// Writes a file atomically: a temporary file in the same folder, flushed, then renamed over
// the target. On failure the target is untouched, the temporary removed, and *errorOut says why.
bool writeFileAtomically(const std::string& path, std::string_view bytes,
                         std::string* errorOut = nullptr);
// Creates a folder and its parents; true when it exists afterwards.
bool makeDirectories(const std::string& path);

}  // namespace vmk
