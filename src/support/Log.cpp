// One line on standard error for problems of the program itself.
#include "support/Log.h"

#include <cstdio>
#include <string>

namespace vmk {

void logPluginProblem(std::string_view message) {
  std::string line = "velumark: ";
  line.append(message);
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

}  // namespace vmk
