// The rewrites are single forward scans: a large page has hundreds of thousands of text runs
// and tags, and each goes through one of them. tests/transform/WhiteSpaceRules_test.cpp
// compares them with the equivalent line-anchored patterns.
#include "transform/WhiteSpaceRules.h"

namespace vmk {

namespace {

size_t whiteSpaceRunEnd(UStringView text, size_t from) {
  while (from < text.size() && isAsciiWhiteSpace(text[from])) ++from;
  return from;
}

bool atLineStart(UStringView text, size_t i) {
  return i == 0 || text[i - 1] == u'\n';
}

}  // namespace

bool isAllWhiteSpace(UStringView text) {
  return whiteSpaceRunEnd(text, 0) == text.size();
}

void collapseWhiteSpace(UStringView text, UString& out) {
  size_t i = 0;
  while (i < text.size()) {
    size_t start = i;
    while (i < text.size() && !isAsciiWhiteSpace(text[i])) ++i;
    out.append(text.substr(start, i - start));
    if (i == text.size()) break;
    i = whiteSpaceRunEnd(text, i);
    out.push_back(u' ');
  }
}

namespace {

// Copies `text` without the runs of `deleted` characters that start a line.
template <typename Deleted>
void deleteLineStartRuns(UStringView text, UString& out, Deleted deleted) {
  size_t copied = 0;
  size_t i = 0;
  while (i < text.size()) {
    if (deleted(text[i]) && atLineStart(text, i)) {
      out.append(text.substr(copied, i - copied));
      while (i < text.size() && deleted(text[i])) ++i;
      copied = i;
      continue;
    }
    const size_t next = findCodeUnit(text, u'\n', i);
    if (next == UStringView::npos) break;
    i = next + 1;
  }
  if (copied < text.size()) out.append(text.substr(copied));
}

}  // namespace

void deleteLineStartFeedsAndTabs(UStringView text, UString& out) {
  deleteLineStartRuns(text, out, [](UChar16 c) { return c == u'\n' || c == u'\t'; });
}

void deleteLineStartWhiteSpace(UStringView text, UString& out) {
  deleteLineStartRuns(text, out, [](UChar16 c) { return isAsciiWhiteSpace(c); });
}

void oneSpaceForLineEndWhiteSpace(UStringView text, UString& out) {
  size_t copied = 0;
  size_t i = 0;
  while (i < text.size()) {
    if (!isAsciiWhiteSpace(text[i])) {
      ++i;
      continue;
    }
    const size_t start = i;
    const size_t end = whiteSpaceRunEnd(text, i);
    // The last line end the run reaches: the end of the text, or a line feed inside the run
    // (the place before it); none when the run is followed by text on its last line.
    size_t lineEnd = end == text.size() ? end : 0;
    if (lineEnd == 0) {
      for (size_t k = end - 1; k > start; --k) {
        if (text[k] == u'\n') {
          lineEnd = k;
          break;
        }
      }
    }
    if (lineEnd > start) {
      out.append(text.substr(copied, start - copied));
      out.push_back(u' ');
      copied = lineEnd;
    }
    i = end;
  }
  if (copied < text.size()) out.append(text.substr(copied));
}

}  // namespace vmk
