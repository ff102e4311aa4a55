// Timing of the scanner and the tree walk on large documents.
//
//   python3 gen_large.py --size 10 -o large.html
//   bench_engine [--dict PATH] [--xhtml-dict PATH] [--full] [FILE...]
//
// Each FILE (UTF-8) is scanned and walked with the HTML dictionary, or with the XHTML one when
// the text has an XML declaration. Then synthetic shapes that are hard for a recursive or
// list-walking implementation are timed: deep nesting, many unclosed elements, stray end tags.
// --open times only the opening of each FILE as a document. --full also times a whole silent
// validation run of each FILE, by one thread and by two, and
// each pass of a run on its own.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "dictionary/VmkDictionary.h"
#include "engine/DirectContent.h"
#include "engine/VmkHTMLChecker.h"
#include "host/headless/HeadlessDocument.h"
#include "support/Paths.h"

using namespace vmk;

namespace {

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::unique_ptr<VmkDictionary> loadDictionary(const std::string& path) {
  auto dictionary = VmkDictionary::fromFile(path, toUtf16("bench"));
  if (!dictionary) std::fprintf(stderr, "bench_engine: cannot read dictionary %s\n", path.c_str());
  return dictionary;
}

void timeScanAndWalk(const char* label, const UString& text, const std::string& dictionaryPath) {
  auto checker = VmkHTMLChecker::initOneMore();
  checker->initialize();
  checker->setSourceString(text);
  auto dictionary = loadDictionary(dictionaryPath);
  checker->isXHTML = dictionary && dictionary->isXML();
  checker->setHtmlDictionary(std::move(dictionary));

  auto start = std::chrono::steady_clock::now();
  checker->makeTagLocationsArray();
  double scan = secondsSince(start);
  size_t scanErrors = checker->errorLocations().size();
  start = std::chrono::steady_clock::now();
  checker->makeElementFiliation();
  double walk = secondsSince(start);

  int32_t maxDepth = 0;
  for (const auto& e : checker->tagLocations()) maxDepth = std::max(maxDepth, e->tagDepth());
  std::printf(
      "%-34s %6.2f M units %9zu entries  scan %7.3f s  walk %7.3f s  errors %zu+%zu  depth %d\n",
      label, double(text.size()) / 1e6, checker->tagLocations().size(), scan, walk, scanErrors,
      checker->errorLocations().size() - scanErrors, maxDepth);
}

void timeFullRun(const char* label, const UString& text) {
  HeadlessDocument document(text);
  for (bool parallel : {false, true}) {
    auto checker = VmkHTMLChecker::initOneMore();
    checker->setParallelChecks(parallel);
    auto start = std::chrono::steady_clock::now();
    int32_t errors = checker->validateHTMLForDocument(document, false, false);
    std::printf("%-34s full silent run, %s %7.3f s  errors %d\n", label,
                parallel ? "two threads" : "one thread ", secondsSince(start), errors);
  }

  // The passes of a run one after another, each timed.
  auto checker = VmkHTMLChecker::initOneMore();
  checker->initialize();
  checker->setSourceDocument(&document);
  checker->setSourceString(text);
  auto timed = [&](const char* pass, auto&& fn) {
    auto start = std::chrono::steady_clock::now();
    fn();
    std::printf("    %-24s %7.3f s\n", pass, secondsSince(start));
  };
  timed("dictionary", [&] { checker->determinHTMLDictionary(); });
  timed("scanner", [&] { checker->makeTagLocationsArray(); });
  timed("tree walk", [&] { checker->makeElementFiliation(); });
  timed("direct content", [&] { DirectContent content(checker->tagLocations()); });
  timed("element checks", [&] { checker->checkElementReleations(); });
  timed("attribute checks", [&] { checker->checkAttributeNamesAndValues(); });
  timed("order checks", [&] { checker->checkSpecialTagsOrder(); });
  timed("sort", [&] { sortErrorLocations(checker->errorLocations()); });
}

UString repeat(std::u16string_view piece, int times) {
  UString out;
  out.reserve(piece.size() * size_t(times));
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  std::string htmlDictionary = resourcePath("dictionaries/HTML 4.01 Transitional.dict");
  std::string xhtmlDictionary = resourcePath("dictionaries/XHTML 1.0 Transitional.dict");
  bool full = false;
  bool openOnly = false;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--dict") && i + 1 < argc)
      htmlDictionary = argv[++i];
    else if (!std::strcmp(argv[i], "--xhtml-dict") && i + 1 < argc)
      xhtmlDictionary = argv[++i];
    else if (!std::strcmp(argv[i], "--full"))
      full = true;
    else if (!std::strcmp(argv[i], "--open"))
      openOnly = true;
    else
      files.push_back(argv[i]);
  }

  if (openOnly) {
    // Opening a document as the command does: reading, decoding, line ends, digest.
    for (const std::string& path : files) {
      for (int round = 0; round < 5; ++round) {
        auto start = std::chrono::steady_clock::now();
        std::string error;
        auto document = HeadlessDocument::open(path, std::nullopt, &error);
        const double opened = secondsSince(start);
        if (!document) {
          std::fprintf(stderr, "bench_engine: %s\n", error.c_str());
          return 1;
        }
        start = std::chrono::steady_clock::now();
        const std::string digest = document->md5DigestString();
        std::printf("%-34s open %7.4f s  digest %7.4f s\n", path.c_str(), opened,
                    secondsSince(start));
      }
    }
    return 0;
  }

  for (const std::string& path : files) {
    std::string error;
    auto bytes = readFileContents(path, &error);
    if (!bytes) {
      std::fprintf(stderr, "bench_engine: %s: %s\n", path.c_str(), error.c_str());
      return 1;
    }
    UString text = toUtf16(*bytes);
    bool xml = bytes->rfind("<?xml", 0) == 0;
    timeScanAndWalk(path.c_str(), text, xml ? xhtmlDictionary : htmlDictionary);
    if (full) timeFullRun(path.c_str(), text);
  }

  constexpr int n = 100000;
  struct Shape {
    const char* label;
    UString text;
  };
  const Shape shapes[] = {
      {"nested div, closed", repeat(u"<div>", n) + u"x" + repeat(u"</div>", n)},
      {"nested div, never closed", repeat(u"<div>x", n)},
      {"unclosed b before stray end tags", repeat(u"<b>x</i>", n)},
      {"unclosed p before div", repeat(u"<p>x<div>", n)},
      {"unclosed li in ul, stray end", u"<ul>" + repeat(u"<li><span>x</em>", n) + u"</ul>"},
      {"unclosed tr before b", repeat(u"<tr><b>", n)},
  };
  for (const Shape& shape : shapes) timeScanAndWalk(shape.label, shape.text, htmlDictionary);
  return 0;
}
