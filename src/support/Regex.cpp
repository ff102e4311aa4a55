// Regular expressions over UTF-16LE buffers with Oniguruma (Ruby syntax).
#include "support/Regex.h"

#include <oniguruma.h>

#include <map>
#include <mutex>
#include <string>
#include <utility>

namespace vmk {
namespace {

// Oniguruma works on bytes; our texts are arrays of little-endian UTF-16 units.
static_assert(sizeof(char16_t) == 2);

void initializeOniguruma() {
  static const bool done = [] {
    OnigEncoding encodings[] = {ONIG_ENCODING_UTF16_LE};
    onig_initialize(encodings, 1);
    return true;
  }();
  (void)done;
}

const OnigUChar* bytes(const char16_t* p) {
  return reinterpret_cast<const OnigUChar*>(p);
}

bool isHighSurrogate(char16_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}
bool isLowSurrogate(char16_t c) {
  return c >= 0xDC00 && c <= 0xDFFF;
}

struct RegionDeleter {
  void operator()(OnigRegion* region) const { onig_region_free(region, 1); }
};
using RegionPtr = std::unique_ptr<OnigRegion, RegionDeleter>;

// Clamps a search range to the text: [start, end) in code units.
std::pair<uint32_t, uint32_t> clampRange(UStringView text, Range range) {
  const auto size = uint32_t(text.size());
  if (!range.found() || range.location > size) return {size + 1, size};  // empty, never searched
  uint32_t end = range.length > size - range.location ? size : range.location + range.length;
  return {range.location, end};
}

// Oniguruma reads a high surrogate together with the unit after it, even when that unit lies
// past the end of the search. When the searched part ends in a high surrogate, search a copy in
// which that unit is U+FFFD instead: same length, same ranges, nothing read out of bounds.
UStringView searchableText(UStringView text, uint32_t end, UString& storage) {
  if (end == 0 || !isHighSurrogate(text[end - 1])) return text;
  storage.assign(text.substr(0, end));
  storage.back() = 0xFFFD;
  return storage;
}

}  // namespace

Range RegexMatch::range(size_t group) const {
  return group < groups_.size() ? groups_[group] : Range::notFound();
}

std::optional<UString> RegexMatch::text(UStringView searched, size_t group) const {
  Range r = range(group);
  if (!r.found()) return std::nullopt;
  return UString(substringWithRange(searched, r));
}

struct Regex::Impl {
  OnigRegex reg = nullptr;
  ~Impl();

  // One search over text[0, end) starting at start; fills region. True on a match.
  bool search(UStringView text, uint32_t start, uint32_t end, OnigRegion* region) const {
    const char16_t* base = text.data();
    onig_region_clear(region);
    int r = onig_search(reg, bytes(base), bytes(base + end), bytes(base + start), bytes(base + end),
                        region, ONIG_OPTION_NONE);
    // ONIG_MISMATCH, or an error such as the backtracking limit: no match either way.
    return r >= 0;
  }

  static RegexMatch toMatch(const OnigRegion* region, uint32_t end) {
    std::vector<Range> groups;
    groups.reserve(size_t(region->num_regs));
    for (int i = 0; i < region->num_regs; ++i) {
      if (region->beg[i] == ONIG_REGION_NOTPOS || region->end[i] < region->beg[i] ||
          uint64_t(region->end[i]) > uint64_t(end) * 2) {
        groups.push_back(Range::notFound());
      } else {
        groups.emplace_back(uint32_t(region->beg[i] / 2),
                            uint32_t((region->end[i] - region->beg[i]) / 2));
      }
    }
    return RegexMatch(std::move(groups));
  }
};

namespace {

// Oniguruma may search with one pattern from several threads at once, but patterns must not be
// made or freed at the same time.
std::mutex& compileMutex() {
  static std::mutex mutex;
  return mutex;
}

void compileInto(OnigRegex* reg, UStringView pattern, unsigned options) {
  initializeOniguruma();
  std::lock_guard<std::mutex> lock(compileMutex());
  OnigOptionType onigOptions = ONIG_OPTION_NONE;
  if (options & Regex::kIgnoreCase) onigOptions |= ONIG_OPTION_IGNORECASE;
  if (options & Regex::kMultiline) onigOptions |= ONIG_OPTION_MULTILINE;
  OnigErrorInfo info{};
  int r = onig_new(reg, bytes(pattern.data()), bytes(pattern.data() + pattern.size()), onigOptions,
                   ONIG_ENCODING_UTF16_LE, ONIG_SYNTAX_RUBY, &info);
  if (r != ONIG_NORMAL) {
    OnigUChar message[ONIG_MAX_ERROR_MESSAGE_LEN] = {};
    onig_error_code_to_str(message, r, &info);
    *reg = nullptr;
    throw RegexError(std::string(reinterpret_cast<const char*>(message)) + " in /" +
                     toUtf8(pattern) + "/");
  }
}

}  // namespace

Regex::Impl::~Impl() {
  if (!reg) return;
  std::lock_guard<std::mutex> lock(compileMutex());
  onig_free(reg);
}

Regex::Regex(UStringView pattern, unsigned options) : impl_(new Impl), options_(options) {
  compileInto(&impl_->reg, pattern, options);
}

Regex::Regex(std::string_view utf8Pattern, unsigned options)
    : Regex(UStringView(toUtf16(utf8Pattern)), options) {}

Regex::~Regex() = default;
Regex::Regex(Regex&&) noexcept = default;
Regex& Regex::operator=(Regex&&) noexcept = default;

const Regex& Regex::cached(std::string_view utf8Pattern, unsigned options) {
  static std::mutex mutex;
  static std::map<std::pair<std::string, unsigned>, std::unique_ptr<Regex>, std::less<>> cache;
  std::lock_guard<std::mutex> lock(mutex);
  auto key = std::make_pair(std::string(utf8Pattern), options);
  auto it = cache.find(key);
  if (it == cache.end()) {
    auto compiled = std::make_unique<Regex>(utf8Pattern, options);  // may throw: nothing stored
    it = cache.emplace(std::move(key), std::move(compiled)).first;
  }
  return *it->second;
}

std::optional<RegexMatch> Regex::firstMatch(UStringView text) const {
  return firstMatch(text, Range(0, uint32_t(text.size())));
}

std::optional<RegexMatch> Regex::firstMatch(UStringView text, Range searchRange) const {
  if (!impl_) return std::nullopt;
  auto [start, end] = clampRange(text, searchRange);
  if (start > end) return std::nullopt;
  UString storage;
  UStringView searched = searchableText(text, end, storage);
  RegionPtr region(onig_region_new());
  if (!impl_->search(searched, start, end, region.get())) return std::nullopt;
  return Impl::toMatch(region.get(), end);
}

void Regex::forEachMatch(UStringView text, Range searchRange,
                         const std::function<bool(const RegexMatch&)>& fn) const {
  if (!impl_) return;
  auto [start, end] = clampRange(text, searchRange);
  UString storage;
  UStringView searched = searchableText(text, end, storage);
  RegionPtr region(onig_region_new());
  uint32_t position = start;
  while (position <= end) {
    if (!impl_->search(searched, position, end, region.get())) return;
    RegexMatch match = Impl::toMatch(region.get(), end);
    if (!match.range(0).found()) return;
    Range whole = match.range(0);
    if (!fn(match)) return;
    uint32_t next = whole.max();
    if (whole.length == 0) {
      // Step over the empty match, keeping a surrogate pair together.
      next +=
          (next + 1 < text.size() && isHighSurrogate(text[next]) && isLowSurrogate(text[next + 1]))
              ? 2
              : 1;
    }
    position = next;
  }
}

std::vector<RegexMatch> Regex::allMatches(UStringView text) const {
  return allMatches(text, Range(0, uint32_t(text.size())));
}

std::vector<RegexMatch> Regex::allMatches(UStringView text, Range searchRange) const {
  std::vector<RegexMatch> out;
  forEachMatch(text, searchRange, [&out](const RegexMatch& m) {
    out.push_back(m);
    return true;
  });
  return out;
}

UString Regex::replaceAllFixed(UStringView text, UStringView replacement) const {
  UString out;
  uint32_t copied = 0;
  forEachMatch(text, Range(0, uint32_t(text.size())), [&](const RegexMatch& m) {
    Range r = m.range(0);
    out.append(text.substr(copied, r.location - copied));
    out.append(replacement);
    copied = r.max();
    return true;
  });
  out.append(text.substr(copied));
  return out;
}

UString Regex::replaceAllTemplate(UStringView text, UStringView replacementTemplate) const {
  UString out;
  uint32_t copied = 0;
  forEachMatch(text, Range(0, uint32_t(text.size())), [&](const RegexMatch& m) {
    Range r = m.range(0);
    out.append(text.substr(copied, r.location - copied));
    for (size_t i = 0; i < replacementTemplate.size(); ++i) {
      char16_t c = replacementTemplate[i];
      if (c == u'\\' && i + 1 < replacementTemplate.size()) {
        char16_t next = replacementTemplate[i + 1];
        if (next >= u'0' && next <= u'9') {
          Range g = m.range(size_t(next - u'0'));
          if (g.found()) out.append(substringWithRange(text, g));
          ++i;
          continue;
        }
        if (next == u'\\') {
          out += u'\\';
          ++i;
          continue;
        }
      }
      out += c;
    }
    copied = r.max();
    return true;
  });
  out.append(text.substr(copied));
  return out;
}

}  // namespace vmk
