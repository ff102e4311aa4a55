// Time and peak memory of validation runs and DTD conversions over huge and hostile inputs, at
// full size. Each case runs in a child process of its own so that its peak resident size is
// its own.
//
//   bench_huge_inputs [CASE...]     all cases when none is named
//
// Output: one line per case: name, input size, seconds of the run (generation excluded), peak
// resident size of the child (input included) and that peak per megabyte of input.
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "converter/MyDtd.h"
#include "dictionary/DictionaryFolder.h"
#include "engine/VmkHTMLChecker.h"
#include "host/headless/HeadlessDocument.h"
#include "settings/VmkUserDefaults.h"

using namespace vmk;

namespace {

struct Measure {
  double seconds = 0;
  size_t inputBytes = 0;
  size_t errors = 0;
};

std::string repeat(std::string_view text, size_t times) {
  std::string out;
  out.reserve(text.size() * times);
  for (size_t i = 0; i < times; ++i) out += text;
  return out;
}

// A realistic page body, repeated up to the wanted size in bytes.
std::string realisticDocument(size_t bytes) {
  static constexpr std::string_view kBlock =
      "<div class=\"entry\" id=\"e%\"><h2>Heading &amp; more</h2>\n"
      "<p>Some <b>bold</b> and <i>italic</i> text with a <a href=\"page.html#x\">link</a>, "
      "an image <img src=\"a.png\" alt=\"\" width=\"10\" height=\"10\"> and &copy; &#169;.\n"
      "<table border=\"1\"><tr><td>one<td>two</tr></table>\n"
      "<ul><li>first<li>second</ul><!-- note --></div>\n";
  std::string out =
      "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\" "
      "\"http://www.w3.org/TR/html4/loose.dtd\">\n<html><head><title>big</title></head><body>\n";
  out.reserve(bytes + kBlock.size() * 2);
  size_t n = 0;
  while (out.size() < bytes) {
    std::string block(kBlock);
    block.replace(block.find('%'), 1, std::to_string(n++));
    out += block;
  }
  return out + "</body></html>\n";
}

Measure validateBytes(const std::string& bytes) {
  auto document = HeadlessDocument::fromBytes(bytes, std::string("huge.html"));
  auto checker = VmkHTMLChecker::initOneMore();
  const auto start = std::chrono::steady_clock::now();
  checker->validateHTMLForDocument(*document, false, false);
  Measure m;
  m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  m.inputBytes = bytes.size();
  m.errors = checker->errorLocations().size();
  return m;
}

Measure convertDtd(const std::string& bytes) {
  MyDtd dtd;
  dtd.setSourceData(bytes);
  const auto start = std::chrono::steady_clock::now();
  dtd.ParseDTD();
  Measure m;
  m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  m.inputBytes = bytes.size();
  m.errors = dtd.elements().size();
  return m;
}

struct Case {
  const char* name;
  std::function<Measure()> run;
};

std::vector<Case> cases() {
  constexpr size_t MB = 1 << 20;
  return {
      {"document-25MB", [] { return validateBytes(realisticDocument(25 * MB)); }},
      {"document-50MB", [] { return validateBytes(realisticDocument(50 * MB)); }},
      {"document-100MB", [] { return validateBytes(realisticDocument(100 * MB)); }},
      {"nested-1000000",
       [] {
         return validateBytes("<html><body>" + repeat("<div>", 1000000) +
                              repeat("</div>", 1000000) + "</body></html>");
       }},
      {"attributes-100000",
       [] {
         std::string tag = "<p";
         for (int i = 0; i < 100000; ++i) tag += " a" + std::to_string(i) + "=\"v\"";
         return validateBytes("<html><body>" + tag + ">x</p></body></html>");
       }},
      {"attribute-value-10MB",
       [] {
         return validateBytes("<html><body><a href=\"" + std::string(10 * MB, 'a') +
                              "\">x</a></body></html>");
       }},
      {"comment-10MB",
       [] {
         return validateBytes("<html><body><!--" + repeat("- <p> -", 10 * MB / 7) +
                              "--></body></html>");
       }},
      {"unterminated-comment-10MB",
       [] { return validateBytes("<html><body><!--" + repeat("- <p> -", 10 * MB / 7)); }},
      {"nul-bytes-10MB", [] { return validateBytes(std::string(10 * MB, '\0')); }},
      {"less-than-10MB", [] { return validateBytes(std::string(10 * MB, '<')); }},
      {"greater-than-10MB", [] { return validateBytes(std::string(10 * MB, '>')); }},
      {"dtd-self-reference",
       [] {
         return convertDtd(
             "<!ENTITY % a \"%a; %a;\">\n<!ELEMENT P - O (%a;)>\n<!ATTLIST P x (%a;) #IMPLIED>\n");
       }},
      {"dtd-marked-sections-10000",
       [] {
         return convertDtd("<!ENTITY % on \"INCLUDE\">\n" + repeat("<![ %on; [\n", 10000) +
                           "<!ELEMENT P - O (#PCDATA)>\n" + repeat("]]>\n", 10000));
       }},
  };
}

void setUpHome() {
  char pattern[] = "/tmp/velumark-bench-XXXXXX";
  if (!mkdtemp(pattern)) std::exit(1);
  static std::string home = pattern;
  setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
  setenv("XDG_DATA_HOME", (home + "/data").c_str(), 1);
  std::atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);
  });
  VmkUserDefaults::resetSharedForTesting();
  initDictionaries();
}

}  // namespace

int main(int argc, char** argv) {
  setUpHome();
  std::printf("%-28s %10s %10s %12s %12s %10s\n", "case", "input MB", "seconds", "peak RSS MB",
              "RSS/input", "result");
  for (const Case& c : cases()) {
    bool wanted = argc < 2;
    for (int i = 1; i < argc; ++i) wanted |= std::strcmp(argv[i], c.name) == 0;
    if (!wanted) continue;
    int fds[2];
    if (pipe(fds) != 0) return 1;
    const pid_t pid = fork();
    if (pid == 0) {
      close(fds[0]);
      const Measure m = c.run();
      if (write(fds[1], &m, sizeof m) != ssize_t(sizeof m)) _exit(2);
      _exit(0);
    }
    close(fds[1]);
    Measure m;
    const bool got = read(fds[0], &m, sizeof m) == ssize_t(sizeof m);
    close(fds[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    if (!got || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      std::printf("%-28s FAILED (status %d)\n", c.name, status);
      continue;
    }
    const double inputMB = double(m.inputBytes) / (1 << 20);
    const double peakMB = double(usage.ru_maxrss) / 1024;
    std::printf("%-28s %10.2f %10.2f %12.1f %12.1f %10zu\n", c.name, inputMB, m.seconds, peakMB,
                inputMB > 0 ? peakMB / inputMB : 0.0, m.errors);
    std::fflush(stdout);
  }
  return 0;
}
