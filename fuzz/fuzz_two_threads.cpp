// The two-thread parts of a validation run against one thread, on arbitrary short texts: the
// limits are lowered so that every text is scanned from two places and checked by two threads.
// The first byte picks the shipped dictionary, the rest is the document (UTF-8). Any difference
// in the entries, their links, depths, pairs and attribute records, or in the errors and their
// order, stops the program.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSupport.h"
#include "engine/VmkHTMLChecker.h"
#include "engine/VmkTagLocation.h"
#include "host/headless/HeadlessDocument.h"
#include "support/Encoding.h"

using namespace vmk;

namespace {

std::string indexOf(const VmkTagLocation* tag) {
  return tag ? std::to_string(tag->listIndex()) : "-";
}

std::vector<std::string> outcome(const VmkHTMLChecker& checker) {
  std::vector<std::string> lines;
  const VmkTagLocationList& list = checker.tagLocations();
  for (size_t i = 0; i < list.size(); ++i) {
    const VmkTagLocation& tag = *list[i];
    if (tag.listIndex() != i) std::abort();
    std::string line = toUtf8(tag.elementName()) + " " + std::to_string(tag.tagRange().location) +
                       "+" + std::to_string(tag.tagRange().length) + " " +
                       std::to_string(tag.tagDepth()) + " " + std::to_string(tag.endTagType()) +
                       " " + indexOf(tag.prevTag(list)) + " " + indexOf(tag.nextTag(list)) + " " +
                       indexOf(tag.pairTag());
    if (const VmkAttributeList* attributes = tag.attributes()) {
      for (const VmkAttribute& a : *attributes) {
        line += " " + toUtf8(a.name) + "@" + std::to_string(a.nameRange.location);
        if (a.value) line += "=" + toUtf8(*a.value) + "@" + std::to_string(a.valueRange.location);
      }
    }
    lines.push_back(std::move(line));
  }
  for (const auto& error : checker.errorLocations()) {
    std::string line = error->errorCode() + " " + std::to_string(error->errorRange().location) +
                       "+" + std::to_string(error->errorRange().length);
    if (error->subStrings())
      for (const UString& sub : *error->subStrings()) line += " " + toUtf8(sub);
    lines.push_back(std::move(line));
  }
  lines.push_back("structural " + std::to_string(checker.structualErrorCount));
  lines.push_back("ids " + std::to_string(checker.idArray.size()));
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::setUpProcess();
  fuzz::shippedDictionaryNames();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const auto& names = fuzz::shippedDictionaryNames();
  fuzz::useOnlyDictionary(names[data[0] % names.size()]);
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  std::unique_ptr<HeadlessDocument> document =
      HeadlessDocument::fromBytes(bytes, "fuzz.html", Encoding::utf8());

  std::vector<std::string> results[2];
  for (int threads = 1; threads <= 2; ++threads) {
    std::unique_ptr<VmkHTMLChecker> checker = VmkHTMLChecker::initOneMore();
    checker->setParallelChecks(threads == 2);
    checker->setParallelLimits(1, 1);
    checker->validateHTMLForDocument(*document, false, false);
    results[threads - 1] = outcome(*checker);
  }
  if (results[0] != results[1]) {
    for (size_t i = 0; i < results[0].size() && i < results[1].size(); ++i) {
      if (results[0][i] == results[1][i]) continue;
      std::fprintf(stderr, "one thread:  %s\ntwo threads: %s\n", results[0][i].c_str(),
                   results[1][i].c_str());
      break;
    }
    std::abort();
  }
  return 0;
}
