#include "host/lsp/LspDocument.h"

#include <algorithm>
#include <cctype>

#include "host/headless/DocumentFile.h"
#include "support/Digest.h"

namespace vmk::lsp {

const UString& LspTextStorage::string() const {
  return document_.text_;
}
void LspTextStorage::beginEditing() {
  document_.beginEditing();
}
void LspTextStorage::endEditing() {
  document_.endEditing();
}
void LspTextStorage::replaceCharactersInRange(Range range, UStringView withString) {
  document_.replaceCharacters(range, withString);
}

bool LspTextView::shouldChangeTextInRange(Range range, const UString* /*replacement*/) {
  const size_t size = document_.text_.size();
  return range.location <= size && range.length <= size - range.location;
}

LspDocument::LspDocument(std::string uri, UStringView text, std::optional<std::string> path,
                         Encoding encoding, bool isHTML)
    : uri_(std::move(uri)),
      path_(std::move(path)),
      text_(text),
      encoding_(std::move(encoding)),
      isHTML_(isHTML) {
  normalizeLineEndingsInPlace(text_);
}

const std::vector<uint32_t>& LspDocument::lineStarts() const {
  if (lineStartsVersion_ != textVersion_) {
    lineStarts_.clear();
    lineStarts_.push_back(0);
    const char16_t* data = text_.data();
    const size_t size = text_.size();
    for (size_t i = 0; i < size; ++i) {
      if (data[i] == u'\n') lineStarts_.push_back(static_cast<uint32_t>(i + 1));
    }
    lineStartsVersion_ = textVersion_;
  }
  return lineStarts_;
}

uint32_t LspDocument::lineCount() const {
  return static_cast<uint32_t>(lineStarts().size());
}

uint32_t LspDocument::offsetAt(Position position) const {
  const std::vector<uint32_t>& starts = lineStarts();
  const uint32_t size = static_cast<uint32_t>(text_.size());
  if (position.line >= starts.size()) return size;
  const uint32_t start = starts[position.line];
  // The line's end is before its line feed (or the end of the text on the last line).
  const uint32_t end = position.line + 1 < starts.size() ? starts[position.line + 1] - 1 : size;
  return start + std::min(position.character, end - start);
}

Position LspDocument::positionAt(uint32_t offset) const {
  const std::vector<uint32_t>& starts = lineStarts();
  offset = std::min(offset, static_cast<uint32_t>(text_.size()));
  const auto after = std::upper_bound(starts.begin(), starts.end(), offset);
  const uint32_t line = static_cast<uint32_t>(after - starts.begin() - 1);
  return Position{line, offset - starts[line]};
}

void LspDocument::applyChange(std::optional<std::pair<Position, Position>> range,
                              UStringView newText) {
  UString text(newText);
  normalizeLineEndingsInPlace(text);
  Range replaced(0, static_cast<uint32_t>(text_.size()));
  if (range) {
    uint32_t from = offsetAt(range->first);
    uint32_t to = offsetAt(range->second);
    if (to < from) std::swap(from, to);
    replaced = Range(from, to - from);
  }
  replaceTextInDocument(*this, replaced, text, true);
}

void LspDocument::replaceCharacters(Range range, UStringView replacement) {
  const uint32_t size = static_cast<uint32_t>(text_.size());
  const uint32_t location = std::min(range.location, size);
  const Range clamped(location, std::min(range.length, size - location));
  beginEditing();
  if (observer_) observer_(clamped, replacement);
  text_.replace(clamped.location, clamped.length, replacement);
  ++textVersion_;
  const int64_t delta = static_cast<int64_t>(replacement.size()) - clamped.length;
  const uint32_t newEnd = clamped.location + static_cast<uint32_t>(replacement.size());
  if (!groupTouched_) {
    groupRange_ = Range(clamped.location, static_cast<uint32_t>(replacement.size()));
  } else {
    // Where the group's earlier range lies now: offsets inside the replaced characters move
    // to the ends of the new ones.
    auto map = [&](uint32_t offset, bool isStart) -> uint32_t {
      if (offset <= clamped.location) return offset;
      if (offset >= clamped.max()) return static_cast<uint32_t>(offset + delta);
      return isStart ? clamped.location : newEnd;
    };
    const uint32_t start = std::min(map(groupRange_.location, true), clamped.location);
    const uint32_t end = std::max(map(groupRange_.max(), false), newEnd);
    groupRange_ = Range(start, end - start);
  }
  groupTouched_ = true;
  groupDelta_ += delta;
  // The selection follows the text.
  auto follow = [&](uint32_t offset) -> uint32_t {
    if (offset <= clamped.location) return offset;
    if (offset >= clamped.max()) return static_cast<uint32_t>(offset + delta);
    return newEnd;
  };
  const uint32_t selStart = follow(selection_.location);
  const uint32_t selEnd = std::max(selStart, follow(selection_.max()));
  selection_ = Range(selStart, selEnd - selStart);
  endEditing();
}

void LspDocument::endEditing() {
  if (editDepth_ == 0) return;
  if (--editDepth_ > 0 || !groupTouched_) return;
  const Range edited = groupRange_;
  const int64_t delta = groupDelta_;
  groupTouched_ = false;
  groupDelta_ = 0;
  if (editListener_) {
    EditListener listener = editListener_;
    listener(*this, edited, delta);
  }
}

void LspDocument::setSelectedRange(Range range, bool /*withScroll*/) {
  const uint32_t size = static_cast<uint32_t>(text_.size());
  const uint32_t location = std::min(range.location, size);
  selection_ = Range(location, std::min(range.length, size - location));
}

void LspDocument::setSelectedRange(Range range, bool withScroll, bool /*toFront*/) {
  setSelectedRange(range, withScroll);
}

std::string LspDocument::md5DigestString() const {
  if (!digest_ || digest_->first != textVersion_) {
    digest_.emplace(textVersion_, digestHex(UStringView(text_)));
  }
  return digest_->second;
}

std::optional<std::string> LspDocument::remoteURL() const {
  if (path_) return std::nullopt;
  // Buffers without a file (untitled ones, or ones of another scheme) are known by their
  // address.
  if (uri_.rfind("untitled:", 0) == 0) return std::nullopt;
  return uri_;
}

UString LspDocument::displayName() const {
  if (path_) return toUtf16(lastPathComponent(*path_));
  std::string_view address = uri_;
  if (size_t cut = address.find_first_of("?#"); cut != std::string_view::npos) {
    address = address.substr(0, cut);
  }
  std::string name = lastPathComponent(address);
  if (const size_t colon = name.rfind(':'); colon != std::string::npos) name.erase(0, colon + 1);
  return name.empty() ? UString(u"Untitled") : toUtf16(name);
}

bool LspDocument::saveDocument(std::string* errorOut) {
  if (errorOut) *errorOut = "the editor saves its buffers";
  return false;
}

namespace {

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::optional<std::string> pathFromFileURI(std::string_view uri) {
  constexpr std::string_view kScheme = "file://";
  if (uri.size() < kScheme.size()) return std::nullopt;
  for (size_t i = 0; i < kScheme.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(uri[i])) != kScheme[i]) return std::nullopt;
  }
  std::string_view rest = uri.substr(kScheme.size());
  // "file://localhost/path" and "file:///path"; another host is no local file.
  const size_t slash = rest.find('/');
  if (slash == std::string_view::npos) return std::nullopt;
  const std::string_view host = rest.substr(0, slash);
  if (!host.empty() && host != "localhost") return std::nullopt;
  rest = rest.substr(slash);
  if (size_t cut = rest.find_first_of("?#"); cut != std::string_view::npos) {
    rest = rest.substr(0, cut);
  }
  std::string path;
  path.reserve(rest.size());
  for (size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] == '%' && i + 2 < rest.size()) {
      const int high = hexValue(rest[i + 1]);
      const int low = hexValue(rest[i + 2]);
      if (high >= 0 && low >= 0) {
        const char c = static_cast<char>(high * 16 + low);
        if (c == '\0') return std::nullopt;
        path += c;
        i += 2;
        continue;
      }
    }
    path += rest[i];
  }
  return path;
}

std::string fileURIFromPath(std::string_view path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string uri = "file://";
  for (const char raw : path) {
    const unsigned char c = static_cast<unsigned char>(raw);
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '/' || c == '-' || c == '_' || c == '.' || c == '~';
    if (plain) {
      uri += raw;
    } else {
      uri += '%';
      uri += kHex[c >> 4];
      uri += kHex[c & 15];
    }
  }
  return uri;
}

}  // namespace vmk::lsp
