#include "support/TextEdits.h"

#include <algorithm>
#include <iterator>

namespace vmk {

namespace {

int64_t deltaOf(const TextEdit& edit) {
  return int64_t(edit.text.size()) - int64_t(edit.range.length);
}

}  // namespace

std::vector<TextEdit> ComposedEdits::takeEdits() {
  std::vector<TextEdit> ascending(std::make_move_iterator(edits_.rbegin()),
                                  std::make_move_iterator(edits_.rend()));
  edits_.clear();
  delta_ = 0;
  return ascending;
}

void ComposedEdits::replace(Range range, UStringView text) {
  const uint32_t size = length();
  const uint32_t c = std::min(range.location, size);
  const uint32_t d = c + std::min(range.length, size - c);

  // Edits from the lowest place up: those left of the range and apart from it, then those that
  // overlap or touch it, then the first one right of it.
  int64_t deltaLeft = 0;
  size_t k = edits_.size();
  while (k > 0) {
    const TextEdit& edit = edits_[k - 1];
    const int64_t end = int64_t(edit.range.location) + deltaLeft + int64_t(edit.text.size());
    if (end >= int64_t(c)) break;
    deltaLeft += deltaOf(edit);
    --k;
  }
  // edits_[k - 1] is the lowest edit that is not wholly left of the range.
  size_t high = k;  // one past the highest overlapping edit, counted as k is
  int64_t deltaAtHigh = deltaLeft;
  int64_t lastEnd = 0;
  while (high > 0) {
    const TextEdit& edit = edits_[high - 1];
    const int64_t start = int64_t(edit.range.location) + deltaAtHigh;
    if (start > int64_t(d)) break;
    lastEnd = start + int64_t(edit.text.size());
    deltaAtHigh += deltaOf(edit);
    --high;
  }

  TextEdit merged;
  if (high == k) {
    // Nothing overlaps: a new edit of the base.
    merged.range = Range(uint32_t(int64_t(c) - deltaLeft), d - c);
    merged.text = UString(text);
  } else {
    const TextEdit& first = edits_[k - 1];
    const TextEdit& last = edits_[high];
    const int64_t firstStart = int64_t(first.range.location) + deltaLeft;
    const uint32_t c0 = uint32_t(std::min<int64_t>(c, firstStart));
    const uint32_t c1 = uint32_t(std::max<int64_t>(d, lastEnd));
    const uint32_t b0 =
        int64_t(c) < firstStart ? uint32_t(int64_t(c) - deltaLeft) : first.range.location;
    const uint32_t b1 =
        int64_t(d) > lastEnd ? uint32_t(int64_t(d) - deltaAtHigh) : last.range.max();
    merged.text = read(Range(c0, c - c0));
    merged.text += text;
    merged.text += read(Range(d, c1 - d));
    merged.range = Range(b0, b1 - b0);
    edits_.erase(edits_.begin() + std::ptrdiff_t(high), edits_.begin() + std::ptrdiff_t(k));
  }
  delta_ += int64_t(text.size()) - int64_t(d - c);
  edits_.insert(edits_.begin() + std::ptrdiff_t(high), std::move(merged));
}

UString ComposedEdits::read(Range range) const {
  const uint32_t size = length();
  uint32_t cur = std::min(range.location, size);
  const uint32_t end = cur + std::min(range.length, size - cur);
  UString out;
  out.reserve(end - cur);
  int64_t deltaLeft = 0;
  for (size_t k = edits_.size(); k > 0 && cur < end; --k) {
    const TextEdit& edit = edits_[k - 1];
    const int64_t start = int64_t(edit.range.location) + deltaLeft;
    const int64_t editEnd = start + int64_t(edit.text.size());
    if (start > int64_t(cur)) {
      const uint32_t upTo = uint32_t(std::min<int64_t>(start, end));
      out.append(base_.substr(size_t(int64_t(cur) - deltaLeft), upTo - cur));
      cur = upTo;
    }
    if (cur < end && int64_t(cur) < editEnd) {
      const uint32_t upTo = uint32_t(std::min<int64_t>(editEnd, end));
      out.append(UStringView(edit.text).substr(size_t(int64_t(cur) - start), upTo - cur));
      cur = upTo;
    }
    deltaLeft += deltaOf(edit);
  }
  if (cur < end) out.append(base_.substr(size_t(int64_t(cur) - deltaLeft), end - cur));
  return out;
}

UChar16 ComposedEdits::characterAt(uint32_t location) const {
  if (location >= length()) return 0;
  if (edits_.empty()) return base_[location];
  const UString one = read(Range(location, 1));
  return one.empty() ? 0 : one[0];
}

std::optional<Range> ComposedEdits::currentRangeOfBase(Range baseRange) const {
  int64_t deltaLeft = 0;
  for (size_t k = edits_.size(); k > 0; --k) {
    const TextEdit& edit = edits_[k - 1];
    if (edit.range.location >= baseRange.max()) break;
    if (edit.range.max() > baseRange.location) return std::nullopt;
    deltaLeft += deltaOf(edit);
  }
  return Range(uint32_t(int64_t(baseRange.location) + deltaLeft), baseRange.length);
}

UString ComposedEdits::text() const {
  return applyEdits(base_, edits());
}

UString applyEdits(UStringView text, const std::vector<TextEdit>& ascending) {
  size_t size = text.size();
  for (const TextEdit& edit : ascending) size = size - edit.range.length + edit.text.size();
  UString out;
  out.reserve(size);
  size_t at = 0;
  for (const TextEdit& edit : ascending) {
    out.append(text.substr(at, edit.range.location - at));
    out.append(edit.text);
    at = edit.range.max();
  }
  out.append(text.substr(std::min(at, text.size())));
  return out;
}

}  // namespace vmk
