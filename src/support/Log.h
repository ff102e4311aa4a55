// Problems of the program itself (not of the checked document): one line on standard error.
#pragma once

#include <string_view>

namespace vmk {

// Writes "velumark: <message>" and a line feed to standard error.
void logPluginProblem(std::string_view message);

}  // namespace vmk
