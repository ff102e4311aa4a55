// Times the conversion of a DTD (default: the HTML 4.01 Transitional DTD of w3c-sgml-lib).
//   bench_converter [FILE.dtd [RUNS]]
// Prints the fastest and the median run in milliseconds; no file is written.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "converter/MyDtd.h"
#include "support/Paths.h"

int main(int argc, char** argv) {
  std::string path =
      argc > 1 ? argv[1] : "/usr/share/xml/w3c-sgml-lib/schema/dtd/REC-html401-19991224/loose.dtd";
  int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
  std::optional<std::string> data = vmk::readFileContents(path);
  if (!data) {
    std::fprintf(stderr, "bench_converter: cannot read %s\n", path.c_str());
    return 2;
  }
  std::vector<double> times;
  size_t elements = 0;
  for (int i = 0; i < runs; ++i) {
    auto start = std::chrono::steady_clock::now();
    vmk::MyDtd dtd;
    dtd.setSourceData(*data);
    dtd.ParseDTD();
    vmk::PlistDict table = dtd.elementDictionary();
    times.push_back(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count());
    elements = table.size();
  }
  std::sort(times.begin(), times.end());
  std::printf("%s: %zu elements, %d runs, fastest %.2f ms, median %.2f ms\n", path.c_str(),
              elements, runs, times.front(), times[times.size() / 2]);
  return 0;
}
