// The white-space rewrites of the beautifier and the minimizer. White space here is ASCII
// white space only (tab, line feed, vertical tab, form feed, carriage return, space): a
// no-break space or an ideographic space is text and stays. "Line start" is the start of the
// text or the place after a line feed; "line end" is the end of the text or the place before a
// line feed. Each rewrite appends its result to `out`.
#pragma once

#include "support/Text.h"

namespace vmk {

constexpr bool isAsciiWhiteSpace(UChar16 c) {
  return c == u' ' || (c >= u'\t' && c <= u'\r');
}
constexpr bool isSpaceOrTab(UChar16 c) {
  return c == u' ' || c == u'\t';
}

// True when the text holds only white space (also when it is empty).
bool isAllWhiteSpace(UStringView text);

// Every run of white space becomes one space.
void collapseWhiteSpace(UStringView text, UString& out);
// Runs of line feeds and tabs that begin at a line start are removed.
void deleteLineStartFeedsAndTabs(UStringView text, UString& out);
// Runs of white space that begin at a line start are removed.
void deleteLineStartWhiteSpace(UStringView text, UString& out);
// A run of white space that reaches a line end becomes one space, as far as the last line end
// it reaches; what follows that line end in the run stays (so "a \n\nb" gives "a \nb").
void oneSpaceForLineEndWhiteSpace(UStringView text, UString& out);

}  // namespace vmk
