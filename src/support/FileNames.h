// Path texts as the results window and the link checks show and compare them.
#pragma once

#include <string>

#include "support/Text.h"

namespace vmk {

// "name  -  folder": the last path component, two spaces, a hyphen, two spaces, and the path
// without that component ("/a/b/c.html" gives "c.html  -  /a/b").
UString displayFileName(UStringView path);

// The path with its symbolic links resolved and its "." and ".." components and repeated
// separators removed. A path that does not exist is only tidied; one that is not a link stays
// itself apart from that tidying.
std::string cleanedUpPath(const std::string& path);

}  // namespace vmk
