#include "host/lsp/MarkupContext.h"

namespace vmk::lsp {
namespace {

// Tags longer than this are not looked into.
constexpr uint32_t kLookBack = 8192;

bool isSpace(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

}  // namespace

bool isNameCharacter(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
         c == u'-' || c == u'_' || c == u'.' || c == u':';
}

std::optional<TagAtPlace> tagAt(UStringView text, uint32_t offset) {
  const uint32_t size = static_cast<uint32_t>(text.size());
  if (offset > size) offset = size;
  const uint32_t floor = offset > kLookBack ? offset - kLookBack : 0;
  uint32_t p = offset;
  // The ">" at the offset belongs to the tag it closes.
  if (p < size && text[p] == u'>' && p > 0) --p;
  for (;;) {
    if (p < size && text[p] == u'<') break;
    if (p < size && text[p] == u'>' && p != offset) return std::nullopt;
    if (p == floor) return std::nullopt;
    --p;
  }
  TagAtPlace tag;
  tag.tagStart = p;
  uint32_t q = p + 1;
  if (q < size && text[q] == u'/') {
    tag.endTag = true;
    ++q;
  }
  // Comments, declarations and processing instructions are no tags.
  if (q < size && (text[q] == u'!' || text[q] == u'?')) return std::nullopt;
  const uint32_t nameStart = q;
  while (q < size && isNameCharacter(text[q])) ++q;
  tag.name = Range(nameStart, q - nameStart);
  for (uint32_t r = q; r < size && r - q < kLookBack; ++r) {
    if (text[r] == u'>') {
      tag.closed = true;
      if (offset > r) return std::nullopt;
      break;
    }
    if (text[r] == u'<') break;
  }
  return tag;
}

CompletionPlace completionPlaceAt(UStringView text, uint32_t offset) {
  CompletionPlace place;
  const uint32_t size = static_cast<uint32_t>(text.size());
  if (offset > size) return place;
  // The tag the offset is in, looked for from just before it (a "<" typed last counts).
  const uint32_t floor = offset > kLookBack ? offset - kLookBack : 0;
  uint32_t p = offset;
  bool found = false;
  while (p > floor) {
    --p;
    if (text[p] == u'>') return place;
    if (text[p] == u'<') {
      found = true;
      break;
    }
  }
  if (!found) return place;
  uint32_t q = p + 1;
  if (q < offset && text[q] == u'/') {
    place.endTag = true;
    ++q;
  }
  if (q < size && (text[q] == u'!' || text[q] == u'?')) return place;
  const uint32_t nameStart = q;
  while (q < offset && isNameCharacter(text[q])) ++q;
  auto wordEnd = [&](uint32_t from) {
    while (from < size && isNameCharacter(text[from])) ++from;
    return from;
  };
  if (q == offset) {
    place.kind = CompletionPlace::Kind::ElementName;
    place.word = Range(nameStart, wordEnd(offset) - nameStart);
    return place;
  }
  if (place.endTag || q == nameStart) return place;
  // Inside the start tag after its name: an attribute name when the offset is not within a
  // value.
  place.elementName = UString(text.substr(nameStart, q - nameStart));
  char16_t quote = 0;
  bool afterEquals = false;
  uint32_t wordStart = offset;
  for (uint32_t r = q; r < offset; ++r) {
    const char16_t c = text[r];
    if (quote) {
      if (c == quote) quote = 0;
      continue;
    }
    if (c == u'"' || c == u'\'') {
      if (afterEquals) quote = c;
      afterEquals = false;
      wordStart = offset;
      continue;
    }
    if (c == u'=') {
      afterEquals = true;
      wordStart = offset;
      continue;
    }
    if (isSpace(c)) {
      wordStart = offset;
      continue;
    }
    if (afterEquals) {
      // An unquoted value runs to the next space.
      uint32_t s = r;
      while (s < offset && !isSpace(text[s])) ++s;
      r = s - 1;
      if (s == offset) return place;
      afterEquals = false;
      continue;
    }
    if (wordStart == offset) wordStart = r;
  }
  if (quote || afterEquals) return place;
  if (wordStart != offset) {
    for (uint32_t r = wordStart; r < offset; ++r) {
      if (!isNameCharacter(text[r])) return place;
    }
  }
  place.kind = CompletionPlace::Kind::AttributeName;
  place.word = Range(wordStart, wordEnd(offset) - wordStart);
  return place;
}

}  // namespace vmk::lsp
