// Handing an address to the desktop's opener (xdg-open, or the program VELUMARK_OPENER names),
// run directly rather than through a shell.
#pragma once

#include <string>

namespace vmk::cli {

// True for the addresses the command hands on: http, https and file addresses (the scheme in
// any case), never a text that starts with "-" (which the opener would read as an option).
bool isOpenableAddress(const std::string& address);

// Runs the opener with the address as its only argument and waits for it. False, with *error
// saying why, when the address is not openable, the opener cannot be started or it fails.
bool openWithDesktop(const std::string& address, std::string* error);

}  // namespace vmk::cli
