#include "converter/MyDtd.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <unordered_set>

#include "converter/ContentModelSyntax.h"
#include "converter/EntityCatalog.h"
#include "support/Encoding.h"
#include "support/Paths.h"
#include "support/Regex.h"

namespace vmk {

namespace fs = std::filesystem;

namespace {

constexpr size_t npos = std::string::npos;
// An entity's expanded text, and the whole text after references are replaced, stop growing
// here: a DTD whose entities refer to each other many times over cannot exhaust memory.
constexpr size_t kMaxEntityTextSize = 16u << 20;
constexpr size_t kMaxExpandedTextSize = 64u << 20;
constexpr size_t kMaxWarnedNameSize = 32;

// A place mark: kMarkStart, the mark's number in decimal, kMarkEnd. Neither byte occurs in a
// DTD, and neither is a name character, so the scanners step over marks like any other byte
// they do not place.
constexpr char kMarkStart = '\x01';
constexpr char kMarkEnd = '\x02';
constexpr uint32_t kNoPlace = UINT32_MAX;

// The number of the last mark at or before pos, kNoPlace when there is none.
template <class View>
uint32_t placeBefore(View text, size_t pos) {
  if (text.empty()) return kNoPlace;
  size_t at = text.rfind(typename View::value_type(kMarkStart), std::min(pos, text.size() - 1));
  if (at == View::npos) return kNoPlace;
  uint64_t number = 0;
  size_t k = at + 1;
  for (; k < text.size() && text[k] >= '0' && text[k] <= '9' && number < kNoPlace; ++k) {
    number = number * 10 + uint64_t(text[k] - '0');
  }
  if (k == at + 1 || k >= text.size() || text[k] != kMarkEnd || number >= kNoPlace) return kNoPlace;
  return uint32_t(number);
}

// Where the declaration whose keyword starts at from ends: at its ">" (*closed set), or, when
// it has none, where the next declaration or place mark starts or the text ends. Quoted
// literals are stepped over.
size_t declarationEnd(const std::string& buf, size_t from, bool* closed) {
  *closed = false;
  size_t i = from + 2;
  while (i < buf.size()) {
    char c = buf[i];
    if (c == '>') {
      *closed = true;
      return i;
    }
    if (c == kMarkStart || (c == '<' && i + 1 < buf.size() && buf[i + 1] == '!')) return i;
    if (c == '"' || c == '\'') {
      size_t close = buf.find(c, i + 1);
      if (close == npos) return buf.size();
      i = close + 1;
      continue;
    }
    ++i;
  }
  return buf.size();
}

// Whether a parameter entity's public identifier names an entity set (character entities,
// which no dictionary needs): its public text class is ENTITIES.
bool isEntitySet(const std::string& publicId, const std::string& systemId) {
  if (publicId.empty()) return systemId.ends_with(".ent");
  // "-//OWNER//CLASS text//LANGUAGE", "+//OWNER//..." or "OWNER//CLASS ...".
  size_t from = publicId.starts_with("-//") || publicId.starts_with("+//") ? 3 : 0;
  size_t owner = publicId.find("//", from);
  return owner != npos && publicId.compare(owner + 2, 9, "ENTITIES ") == 0;
}

bool isKnownAttributeType(std::string_view type) {
  static const std::unordered_set<std::string_view> kTypes = {
      "CDATA",  "ID",      "IDREF",   "IDREFS",   "NAME",   "NAMES",    "NMTOKEN", "NMTOKENS",
      "NUMBER", "NUMBERS", "NUTOKEN", "NUTOKENS", "ENTITY", "ENTITIES", "NOTATION"};
  size_t paren = type.find('(');
  if (paren != std::string_view::npos) {
    // A semantic type kept by the entity replacement: CDATA(URI), NUMBER(Pixels), NAME(...).
    std::string_view base = type.substr(0, paren);
    return type.size() > paren + 2 && type.back() == ')' &&
           type.find_first_of("()", paren + 1) == type.size() - 1 &&
           (base == "CDATA" || base == "NUMBER" || base == "NAME");
  }
  return kTypes.contains(type);
}

bool isSpacer(char c) {
  return c == ' ' || c == '\r' || c == '\n' || c == '\t';
}

bool isDelimiter(char c) {
  switch (c) {
    case ' ':
    case '\r':
    case '\n':
    case '\t':
    case ')':
    case '|':
    case ';':
    case '"':
    case '>':
    case ',':
      return true;
    default:
      return false;
  }
}

bool isAsciiAlnum(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

bool isNameChar(char c) {
  return isAsciiAlnum(c) || c == '#' || c == '-' || c == ':' || c == '_';
}

bool isTypeWordChar(char c) {
  return isAsciiAlnum(c) || c == '(' || c == ')' || c == '.' || c == '-';
}

bool startsAt(const std::string& buf, size_t i, std::string_view s) {
  return i <= buf.size() && buf.compare(i, s.size(), s) == 0;
}

void skipSpacers(const std::string& buf, size_t& i) {
  while (i < buf.size() && isSpacer(buf[i])) ++i;
}

size_t delimiterFrom(const std::string& buf, size_t i, size_t limit) {
  while (i < limit && !isDelimiter(buf[i])) ++i;
  return i;
}

std::string asciiUpper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  return s;
}

std::string asciiLower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return s;
}

// CR LF and lone CR become LF.
std::string convertLineEnds(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r') {
      out += '\n';
      if (i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    } else {
      out += bytes[i];
    }
  }
  return out;
}

// Strict UTF-8 reading; absent when the bytes are not UTF-8. A byte order mark is dropped.
std::optional<UString> decodeUtf8(std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  if (bytes.empty()) return UString();
  return Encoding::utf8().decode(bytes, true);
}

UString stripComments(UStringView text) {
  // Comment declarations, then comments inside declarations, then blank lines and trailing
  // blanks.
  static const Regex kCommentDeclaration("<!--.+?-->", Regex::kMultiline);
  static const Regex kComment("--.+?--", Regex::kMultiline);
  static const Regex kBlankLines("\n{2,}");
  static const Regex kTrailingBlanks("[ \t]+\n");
  UString s = kCommentDeclaration.replaceAllFixed(text, u"");
  s = kComment.replaceAllFixed(s, u"");
  s = kBlankLines.replaceAllFixed(s, u"\n");
  return kTrailingBlanks.replaceAllFixed(s, u"\n");
}

// A quoted literal starting at i (which holds the quotation mark): its text without the
// marks; i moves past the closing mark, or to the end when there is none.
std::string readLiteral(const std::string& buf, size_t& i) {
  char mark = buf[i];
  size_t close = buf.find(mark, i + 1);
  if (close == npos) close = buf.size();
  std::string text = buf.substr(i + 1, close - i - 1);
  i = std::min(close + 1, buf.size());
  return text;
}

std::string cut(std::string_view s, size_t max) {
  return std::string(s.substr(0, max));
}

}  // namespace

MyDtd::MyDtd() {
  entities_.reserve(100);
}

MyDtd::~MyDtd() = default;

void MyDtd::setSourceData(std::string_view bytes) {
  sourceData_.assign(bytes);
  std::optional<UString> text = decodeUtf8(convertLineEnds(bytes));
  sourceValid_ = text.has_value();
  sourceString_ = text ? std::move(*text) : UString();
}

void MyDtd::enableExternalEntities(const std::string& dtdPath, const EntityCatalog* catalog) {
  resolveExternal_ = true;
  dtdPath_ = dtdPath;
  catalog_ = catalog;
}

void MyDtd::addWarning(uint32_t place, std::string message) {
  if (warnings_.size() > kMaxWarnings) return;
  if (warnings_.size() == kMaxWarnings) {
    warnings_.push_back(
        {placeFiles_.empty() ? sourcePath_ : placeFiles_[0], 0, "more warnings were left out"});
    return;
  }
  DtdWarning warning;
  if (place < places_.size() && places_[place].file < placeFiles_.size()) {
    warning.file = placeFiles_[places_[place].file];
    warning.line = places_[place].line;
  } else {
    warning.file = sourcePath_;
  }
  warning.message = std::move(message);
  warnings_.push_back(std::move(warning));
}

void MyDtd::warnAt(std::string_view text, size_t pos, std::string message) {
  if (warnings_.size() > kMaxWarnings) return;  // the search for the place is not free
  addWarning(placeBefore(text, pos), std::move(message));
}

void MyDtd::warnAt(UStringView text, size_t pos, std::string message) {
  if (warnings_.size() > kMaxWarnings) return;
  addWarning(placeBefore(text, pos), std::move(message));
}

std::string MyDtd::markPlaces(std::string_view text, uint32_t fileIndex) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  uint32_t line = 1;
  size_t i = 0;
  const size_t n = text.size();
  auto mark = [&] {
    out += kMarkStart;
    out += std::to_string(places_.size());
    out += kMarkEnd;
    places_.push_back({fileIndex, line});
  };
  auto copyTo = [&](size_t end) {
    end = std::min(end, n);
    for (; i < end; ++i) {
      if (text[i] == '\n') ++line;
      out += text[i];
    }
  };
  auto after = [&](size_t found, size_t length) { return found == npos ? n : found + length; };
  // A "%" continues the reference before it unless a delimiter of references precedes it; a
  // mark there would split what the reference pattern takes as one.
  auto endsReference = [](char c) {
    return std::string_view(" \t\n)>|\",").find(c) != std::string_view::npos;
  };
  while (i < n) {
    char c = text[i];
    if (text.substr(i, 4) == "<!--") {
      copyTo(after(text.find("-->", i + 4), 3));
      continue;
    }
    if (c == '<' && i + 1 < n && text[i + 1] == '!') {
      mark();
      const bool section = i + 2 < n && text[i + 2] == '[';
      copyTo(i + (section ? 3 : 2));
      while (i < n) {
        char d = text[i];
        if (d == '"' || d == '\'') {
          copyTo(after(text.find(d, i + 1), 1));
        } else if (d == '-' && i + 1 < n && text[i + 1] == '-') {
          copyTo(after(text.find("--", i + 2), 2));
        } else if (d == '<' && i + 1 < n && text[i + 1] == '!') {
          break;  // the declaration has no ">"
        } else if (d == '>' || (section && d == '[')) {
          copyTo(i + 1);
          break;
        } else {
          copyTo(i + 1);
        }
      }
      continue;
    }
    if (c == '%' && (i == 0 || endsReference(text[i - 1]))) mark();
    copyTo(i + 1);
  }
  return out;
}

void MyDtd::dispWarning(std::string_view text) {
  monitorText_ += text;
  if (monitorView_) monitorView_(text);
}

void MyDtd::ParseDTD() {
  dispWarning("\nThe conversion started...\n\n");
  placeFiles_.assign(1, sourcePath_);
  places_.clear();
  if (!sourceValid_) {
    dispWarning("*** The file is not UTF-8 text: nothing can be converted.\n");
    addWarning(kNoPlace, "the file is not UTF-8 text");
  }
  extractDoctypeName();
  sourceString_ = toUtf16(markPlaces(toUtf8(sourceString_), 0));
  stripComment();
  extractEntity();
  replaceEntity();
  removeEntityTag();
  makeElementData();
  makeAttributeData();
  makeParentData();
  dispWarning("\nThe conversion finished...");
}

void MyDtd::extractDoctypeName() {
  static const Regex kPublicId("-//(.*)//DTD (.*)//EN");
  static const Regex kDoctype(
      R"re(<!DOCTYPE\s+HTML\s+PUBLIC\s+"-//(.*?)//DTD (.*?)//EN"\s+"(.*?.dtd)"\s*>)re",
      Regex::kIgnoreCase | Regex::kMultiline);
  static const Regex kSystem(R"re(SYSTEM:?\s+"(.*?\.dtd)")re");

  if (std::optional<RegexMatch> m = kPublicId.firstMatch(sourceString_)) {
    doctypeName_ = toUtf8(*m->text(sourceString_));
  } else {
    doctypeName_ = "-//W3C//DTD " + std::string(10, '?') + "//EN";
  }
  dispWarning("DOCTYPE \"" + *doctypeName_ + "\"\n");

  if (std::optional<RegexMatch> m = kDoctype.firstMatch(sourceString_)) {
    systemIdentifier_ = toUtf8(*m->text(sourceString_, 3));
  } else if (std::optional<RegexMatch> s = kSystem.firstMatch(sourceString_)) {
    systemIdentifier_ = toUtf8(*s->text(sourceString_, 1));
  } else {
    systemIdentifier_.reset();
    dispWarning("No System Identifier\n\n");
    return;
  }
  dispWarning("System Identifier \"" + *systemIdentifier_ + "\"\n\n");
}

void MyDtd::stripComment() {
  sourceString_ = stripComments(sourceString_);
}

std::optional<std::string> MyDtd::resolveExternal(const ExternalEntity& entity) const {
  std::error_code ec;
  auto existing = [&](const fs::path& p) -> std::optional<std::string> {
    if (fs::is_regular_file(p, ec)) return fs::weakly_canonical(p, ec).string();
    return std::nullopt;
  };
  const std::string& sys = entity.systemId;
  if (!sys.empty() && sys.find("://") == npos) {
    fs::path p(sys);
    if (p.is_relative()) p = fs::path(entity.baseDirectory) / p;
    if (auto found = existing(p)) return found;
  }
  if (catalog_) {
    if (!entity.publicId.empty()) {
      if (auto file = catalog_->fileForPublicId(entity.publicId))
        if (auto found = existing(*file)) return found;
    }
    if (!sys.empty()) {
      if (auto file = catalog_->fileForSystemId(sys))
        if (auto found = existing(*file)) return found;
    }
  }
  return std::nullopt;
}

std::optional<std::string> MyDtd::loadExternalText(const std::string& path) {
  std::error_code ec;
  uintmax_t size = fs::file_size(path, ec);
  if (ec || size > kMaxExternalFileSize) {
    dispWarning("*** External file \"" + path + "\" is too large or unreadable.\n");
    return std::nullopt;
  }
  std::string error;
  std::optional<std::string> bytes = readFileContents(path, &error);
  if (!bytes) {
    dispWarning("*** External file \"" + path + "\" cannot be read: " + error + "\n");
    return std::nullopt;
  }
  std::optional<UString> text = decodeUtf8(convertLineEnds(*bytes));
  if (!text) {
    dispWarning("*** External file \"" + path + "\" is not UTF-8 text.\n");
    return std::nullopt;
  }
  placeFiles_.push_back(path);
  return toUtf8(
      stripComments(toUtf16(markPlaces(toUtf8(*text), uint32_t(placeFiles_.size() - 1)))));
}

// One forward scan over the bytes: marked sections are opened or blanked, parameter entity
// declarations are recorded (first definition wins) and, when external entities are enabled,
// references to them are replaced by the files' texts, which are then scanned in turn.
void MyDtd::extractEntity() {
  std::string buf = toUtf8(sourceString_);

  // Position of "<![" -> position of its "]]>" (npos when unterminated). A scan for one end
  // records the ends of the sections nested in it, so deep nesting stays linear.
  std::unordered_map<size_t, size_t> sectionEnds;
  auto findSectionEnd = [&](size_t open) -> size_t {
    if (auto it = sectionEnds.find(open); it != sectionEnds.end()) return it->second;
    std::vector<size_t> inner;
    size_t j = open + 3;
    while (j < buf.size()) {
      if (startsAt(buf, j, "<![")) {
        inner.push_back(j);
        j += 3;
      } else if (startsAt(buf, j, "]]>")) {
        if (inner.empty()) return sectionEnds[open] = j;
        sectionEnds[inner.back()] = j;
        inner.pop_back();
        j += 3;
      } else {
        ++j;
      }
    }
    for (size_t q : inner) sectionEnds[q] = npos;
    return sectionEnds[open] = npos;
  };
  auto blank = [&](size_t from, size_t to) {
    std::fill(buf.begin() + long(from), buf.begin() + long(std::min(to, buf.size())), ' ');
  };

  // Files whose text is being scanned, innermost last; end is where the text stops in buf.
  struct Include {
    size_t end;
    std::string path;
  };
  std::vector<Include> includes;
  size_t includedBytes = 0;
  std::unordered_set<std::string> warnedExternals;
  if (resolveExternal_) {
    std::error_code ec;
    includes.push_back({npos, fs::weakly_canonical(dtdPath_, ec).string()});
  }
  auto currentDirectory = [&]() -> std::string {
    return includes.empty() ? std::string() : fs::path(includes.back().path).parent_path().string();
  };

  size_t i = 0;
  while (i < buf.size()) {
    while (includes.size() > 1 && includes.back().end <= i) includes.pop_back();

    if (startsAt(buf, i, "<![")) {
      size_t end = findSectionEnd(i);
      size_t limit = end == npos ? buf.size() : end;
      size_t k = i + 3;
      skipSpacers(buf, k);
      bool include = false;
      if (k < limit && buf[k] == '%') {
        size_t nameEnd = delimiterFrom(buf, k + 1, limit);
        std::string name = buf.substr(k + 1, nameEnd - k - 1);
        auto it = entities_.find(name);
        if (it == entities_.end()) {
          dispWarning("*** Entity " + name + " not found in ExtractEntity().\n");
          warnAt(buf, i,
                 "parameter entity %" + name +
                     "; controlling a marked section is not defined: the section is left out");
        } else {
          include = it->second == "INCLUDE";
        }
      } else {
        size_t wordEnd = k;
        while (wordEnd < limit && isAsciiAlnum(buf[wordEnd])) ++wordEnd;
        include = std::string_view(buf).substr(k, wordEnd - k) == "INCLUDE";
      }
      // The opening bracket: the first "[" after the keyword, before any nested section.
      size_t bracket = npos;
      for (size_t j = k; j < limit; ++j) {
        if (startsAt(buf, j, "<![") || startsAt(buf, j, "]]>")) break;
        if (buf[j] == '[') {
          bracket = j;
          break;
        }
      }
      if (end == npos) warnAt(buf, i, "a marked section has no closing \"]]>\"");
      if (include && bracket != npos) {
        blank(i, bracket + 1);
        if (end != npos) blank(end, end + 3);
        i = bracket + 1;
      } else {
        size_t stop = end == npos ? buf.size() : end + 3;
        blank(i, stop);
        i = stop;
      }
      continue;
    }

    if (startsAt(buf, i, "<!ENTITY %")) {
      const size_t n = buf.size();
      size_t nameStart = std::min(i + 11, n);
      size_t q = nameStart;
      while (q < n && !isSpacer(buf[q])) ++q;
      std::string name = buf.substr(nameStart, q - nameStart);

      std::optional<ExternalEntity> external;
      {
        size_t k = q;
        skipSpacers(buf, k);
        bool isPublic = startsAt(buf, k, "PUBLIC");
        if (isPublic || startsAt(buf, k, "SYSTEM")) {
          ExternalEntity e;
          e.baseDirectory = currentDirectory();
          k += 6;
          skipSpacers(buf, k);
          if (k < n && (buf[k] == '"' || buf[k] == '\'')) {
            (isPublic ? e.publicId : e.systemId) = readLiteral(buf, k);
            skipSpacers(buf, k);
            if (isPublic && k < n && (buf[k] == '"' || buf[k] == '\'')) {
              e.systemId = readLiteral(buf, k);
            }
          }
          external = std::move(e);
        }
      }

      if (name.empty()) warnAt(buf, i, "a parameter entity declaration has no name");
      size_t quote = buf.find_first_of("\"'", q);
      if (size_t gt = buf.find('>', q); quote == npos || (gt != npos && gt < quote)) {
        warnAt(buf, i, "the declaration of parameter entity %" + name + "; has no quoted text");
      }
      size_t after = n;
      std::string text;
      bool truncated = false;
      if (quote != npos) {
        char mark = buf[quote];
        size_t close = buf.find(mark, quote + 1);
        if (close == npos) close = n;
        size_t k = quote + 1;
        auto append = [&](std::string_view piece) {
          if (text.size() + piece.size() > kMaxEntityTextSize) {
            text.append(piece.substr(0, kMaxEntityTextSize - text.size()));
            truncated = true;
          } else {
            text.append(piece);
          }
        };
        while (k < close && !truncated) {
          if (buf[k] == '%') {
            size_t refEnd = delimiterFrom(buf, k + 1, close);
            std::string reference = buf.substr(k + 1, refEnd - k - 1);
            auto it = entities_.find(reference);
            if (it != entities_.end()) {
              append(it->second);
            } else if (reference == name) {
              warnAt(buf, i, "parameter entity %" + name + "; refers to itself");
            } else {
              warnAt(buf, i,
                     "parameter entity %" + reference + "; used in the text of %" + name +
                         "; is not defined (yet)");
            }
            k = refEnd < close && buf[refEnd] == ';' ? refEnd + 1 : refEnd;
          } else if (startsAt(buf, k, "--") && k + 1 < close) {
            size_t commentEnd = buf.find("--", k + 2);
            k = commentEnd == npos || commentEnd + 2 > close ? close : commentEnd + 2;
          } else {
            // A run of plain bytes up to the next reference or possible comment.
            size_t next = std::min(close, buf.find_first_of("%-", k + 1));
            append(std::string_view(buf).substr(k, next - k));
            k = next;
          }
        }
        after = close < n ? close + 1 : n;
      }
      size_t gt = buf.find('>', after);
      if (gt == npos) {
        warnAt(buf, i, "the declaration of parameter entity %" + name + "; has no closing \">\"");
      }
      i = gt == npos ? n : gt + 1;
      if (truncated) {
        dispWarning("*** Entity " + name + " is too long: its text was cut.\n");
        warnAt(buf, i, "parameter entity %" + name + "; is too long: its text was cut");
      }
      if (quote != npos && !entities_.contains(name)) {
        entities_.emplace(name, std::move(text));
        if (external) {
          if (!isEntitySet(external->publicId, external->systemId)) externalNames_.insert(name);
          if (resolveExternal_) externalEntities_.emplace(name, std::move(*external));
        }
      }
      continue;
    }

    if (!resolveExternal_ && buf[i] == '%' && !externalNames_.empty()) {
      size_t nameEnd = delimiterFrom(buf, i + 1, buf.size());
      std::string name = buf.substr(i + 1, nameEnd - i - 1);
      if (externalNames_.contains(name) && warnedExternals.insert(name).second) {
        warnAt(buf, i,
               "external parameter entity %" + name +
                   "; is not read, so the declarations it holds are missing "
                   "(--resolve-external reads it)");
      }
      ++i;
      continue;
    }

    if (resolveExternal_ && buf[i] == '%') {
      size_t nameEnd = delimiterFrom(buf, i + 1, buf.size());
      std::string name = buf.substr(i + 1, nameEnd - i - 1);
      auto ext = externalEntities_.find(name);
      if (ext == externalEntities_.end()) {
        ++i;
        continue;
      }
      size_t refEnd = nameEnd < buf.size() && buf[nameEnd] == ';' ? nameEnd + 1 : nameEnd;
      auto skipWith = [&](const std::string& warning) {
        if (warnedExternals.insert(name + "\n" + warning).second) {
          dispWarning(warning);
          std::string message = warning.substr(4, warning.size() - 5);  // without "*** ", "\n"
          message[0] = char(std::tolower(static_cast<unsigned char>(message[0])));
          warnAt(buf, i, std::move(message));
        }
        i = refEnd;
      };
      std::optional<std::string> path = resolveExternal(ext->second);
      if (!path) {
        skipWith("*** External entity " + name + " (" +
                 (ext->second.publicId.empty() ? ext->second.systemId : ext->second.publicId) +
                 ") has no local file.\n");
        continue;
      }
      if (std::any_of(includes.begin(), includes.end(),
                      [&](const Include& inc) { return inc.path == *path; })) {
        skipWith("*** External entity " + name + " includes \"" + *path +
                 "\" within itself: not read again.\n");
        continue;
      }
      if (includes.size() > kMaxIncludeDepth) {
        skipWith("*** External entity " + name + " is nested too deeply.\n");
        continue;
      }
      std::optional<std::string> text = loadExternalText(*path);
      if (!text) {
        warnAt(buf, i,
               "external parameter entity %" + name + "; (\"" + *path + "\") cannot be read");
        i = refEnd;
        continue;
      }
      if (includedBytes + text->size() > kMaxExternalTotalSize) {
        skipWith("*** External entity " + name +
                 " is not read: the included texts are too large.\n");
        continue;
      }
      includedBytes += text->size();
      buf.replace(i, refEnd - i, *text);
      for (Include& inc : includes) {
        if (inc.end != npos) inc.end = inc.end - (refEnd - i) + text->size();
      }
      includes.push_back({i + text->size(), *path});
      sectionEnds.clear();
      dispWarning("Included %" + name + "; from \"" + *path + "\"\n");
      continue;
    }
    ++i;
  }
  sourceString_ = toUtf16(buf);
}

void MyDtd::replaceEntity() {
  static const Regex kReference(R"(%([^ \t\n)>|",]+))");
  const UString& src = sourceString_;
  UString out;
  out.reserve(src.size());
  std::unordered_map<std::string, UString> replacements;
  std::vector<std::string> unresolved;
  bool tooLarge = false;
  uint32_t last = 0;
  // Matches are taken one at a time: a text made of references would otherwise hold a match
  // record per reference.
  kReference.forEachMatch(src, Range(0, uint32_t(src.size())), [&](const RegexMatch& m) {
    Range whole = m.range();
    out.append(src, last, whole.location - last);
    last = whole.max();
    UStringView group = substringWithRange(src, m.range(1));
    std::string name = toUtf8(group.substr(0, group.find(u';')));
    auto it = entities_.find(name);
    if (it == entities_.end()) {
      // A reference inside an entity declaration was warned about when the declaration was read.
      size_t open = warnings_.size() > kMaxWarnings ? UStringView::npos
                                                    : UStringView(src).rfind(u"<!", whole.location);
      bool inEntityDeclaration = open != UStringView::npos &&
                                 UStringView(src).substr(open, 8) == u"<!ENTITY" &&
                                 UStringView(src).find(u'>', open) > whole.location;
      if (!inEntityDeclaration) {
        warnAt(UStringView(src), whole.location, "parameter entity %" + name + "; is not defined");
      }
      unresolved.push_back(std::move(name));
      out.append(src, whole.location, whole.length);
      return true;
    }
    auto cached = replacements.find(name);
    if (cached == replacements.end()) {
      const std::string& text = it->second;
      bool typed = text == "CDATA" || text == "NUMBER" || text == "NAME";
      cached = replacements.emplace(name, toUtf16(typed ? text + "(" + name + ")" : text)).first;
    }
    if (out.size() + cached->second.size() > kMaxExpandedTextSize) {
      if (!tooLarge) {
        warnAt(UStringView(src), whole.location,
               "the expanded text is too large: references from here on are kept");
      }
      tooLarge = true;
      out.append(src, whole.location, whole.length);
      return true;
    }
    out += cached->second;
    return true;
  });
  out.append(src, last);
  sourceString_ = std::move(out);
  // The references are reported from the last to the first.
  for (auto it = unresolved.rbegin(); it != unresolved.rend(); ++it) {
    dispWarning("*** Unresolved Entity " + *it + " definition in replaceEntity().\n");
  }
  if (tooLarge) dispWarning("*** The expanded text is too large: some references were kept.\n");
}

void MyDtd::removeEntityTag() {
  static const Regex kEntityDeclaration(R"(<!ENTITY.+?>\s*)", Regex::kMultiline);
  sourceString_ = kEntityDeclaration.replaceAllFixed(sourceString_, u"");
}

void MyDtd::makeElementData() {
  const std::string buf = toUtf8(sourceString_);
  bool firstDeclaration = true;
  size_t i = 0;
  while ((i = buf.find("<!ELEMENT ", i)) != npos) {
    const size_t declaration = i;
    bool closed = false;
    const size_t n = declarationEnd(buf, i, &closed);
    i += 10;
    skipSpacers(buf, i);
    const bool keepCase = mFlagXML_ || firstDeclaration;
    firstDeclaration = false;

    std::vector<std::string> names;
    if (i < n && buf[i] == '(') {
      ++i;
      while (i < n) {
        char c = buf[i];
        if (isSpacer(c) || c == '|') {
          ++i;
        } else if (c == ')') {
          ++i;
          break;
        } else if (c == '>') {
          break;
        } else if (isNameChar(c)) {
          size_t start = i;
          while (i < n && isNameChar(buf[i])) ++i;
          std::string name = buf.substr(start, i - start);
          names.push_back(keepCase ? name : asciiUpper(name));
        } else {
          dispWarning(std::string("*** Unexpected \"") + c + "\" in an element name group.\n");
          warnAt(
              buf, declaration,
              std::string("unexpected \"") + c + "\" in the name group of an element declaration");
          ++i;
        }
      }
    } else {
      size_t start = i;
      while (i < n && !isSpacer(buf[i])) ++i;
      std::string name = buf.substr(start, i - start);
      names.push_back(keepCase ? name : asciiUpper(name));
    }

    const std::string shownName = names.empty() ? std::string() : names.front();
    if (names.empty() || std::find(names.begin(), names.end(), std::string()) != names.end()) {
      warnAt(buf, declaration, "an element declaration without a name");
    }
    if (!closed) {
      warnAt(buf, declaration, "the declaration of element " + shownName + " has no closing \">\"");
    }

    skipSpacers(buf, i);
    std::string typeString;
    if (i < n && (buf[i] == '-' || buf[i] == 'O')) {
      typeString = buf.substr(i, std::min<size_t>(3, n - i));
      i = std::min(i + 3, n);
    } else {
      typeString = "XML";
      mFlagXML_ = true;
    }

    skipSpacers(buf, i);
    std::string modelProblem;
    std::optional<ParsedContentModel> model = parseContentModel(
        std::string_view(buf).substr(i, std::max(i, n) - i), mFlagXML_, &modelProblem);
    // An unresolved reference in the model was warned about already.
    if (!model && closed && buf.find('%', i) >= n) {
      warnAt(buf, declaration,
             "the content model of " + shownName + " cannot be read (" + modelProblem + ")");
    }
    std::vector<std::string> children;
    std::unordered_set<std::string> listed;  // the names in children
    bool includeMode = true;
    auto isOneOf = [&](std::string_view set) { return i < n && set.find(buf[i]) != npos; };
    while (i < n) {
      const size_t start = i;
      while (i < n && (buf[i] == '(' || isSpacer(buf[i]))) ++i;
      if (i < n && isNameChar(buf[i])) {
        size_t nameStart = i;
        while (i < n && isNameChar(buf[i])) ++i;
        std::string name = buf.substr(nameStart, i - nameStart);
        if (!mFlagXML_) name = asciiUpper(std::move(name));
        if (includeMode) {
          if (listed.insert(name).second) children.push_back(std::move(name));
        } else if (listed.erase(name)) {
          children.erase(std::find(children.begin(), children.end(), name));
        }
      }
      if (isOneOf("*+?&")) {
        ++i;
        skipSpacers(buf, i);
      }
      if (i < n && buf[i] == '>') break;
      if (isOneOf("|,")) {
        ++i;
        skipSpacers(buf, i);
      }
      if (i < n && buf[i] == ')') {
        ++i;
        skipSpacers(buf, i);
        if (isOneOf("*&?")) {
          ++i;
          skipSpacers(buf, i);
        }
        if (i < n && buf[i] == '+') {
          includeMode = true;
          ++i;
          skipSpacers(buf, i);
        }
        if (i < n && buf[i] == '-') {
          includeMode = false;
          ++i;
          skipSpacers(buf, i);
        }
        if (i < n && buf[i] == '>') break;
      } else {
        while (i < n && (isSpacer(buf[i]) || std::string_view("*+&?|,)").find(buf[i]) != npos)) ++i;
      }
      if (i < n && buf[i] == '%') {
        size_t nameEnd = delimiterFrom(buf, i + 1, n);
        dispWarning("*** Unresoleved Entity assignment: " +
                    cut(std::string_view(buf).substr(i + 1, nameEnd - i - 1), kMaxWarnedNameSize) +
                    "\n");
        ++i;
      }
      if (i == start) ++i;  // a byte no rule places: step over it
    }

    for (const std::string& name : names) {
      DtdElementRecord& record = elements_[name];
      record.typeString = typeString;
      record.childElements = children;
      record.contentModel.reset();
      record.inclusions.clear();
      record.exclusions.clear();
      if (model) {
        record.contentModel = model->model;
        record.inclusions = model->inclusions;
        record.exclusions = model->exclusions;
      }
    }
    i = n;
  }
}

void MyDtd::makeAttributeData() {
  const std::string buf = toUtf8(sourceString_);
  // The entries of each declaration, and per element the declarations naming it, in order.
  // A later declaration's entries come first: the lists are joined once at the end, so that
  // many declarations for one element stay linear.
  std::vector<std::vector<std::string>> declarations;
  std::unordered_map<DtdElementRecord*, std::vector<size_t>> declaredFor;
  std::vector<DtdElementRecord*> declaredOrder;
  size_t i = 0;
  while ((i = buf.find("<!ATTLIST ", i)) != npos) {
    const size_t declaration = i;
    bool closed = false;
    const size_t n = declarationEnd(buf, i, &closed);
    i += 10;
    skipSpacers(buf, i);
    std::vector<std::string> elementNames;
    auto addElementName = [&](std::string name) {
      elementNames.push_back(mFlagXML_ ? std::move(name) : asciiUpper(std::move(name)));
    };
    if (i < n && buf[i] == '(') {
      ++i;
      while (i < n && buf[i] != ')' && buf[i] != '>') {
        if (isNameChar(buf[i])) {
          size_t start = i;
          while (i < n && isNameChar(buf[i])) ++i;
          addElementName(buf.substr(start, i - start));
        } else {
          ++i;  // spacers, "|", and anything else that cannot be placed
        }
      }
      if (i < n && buf[i] == ')') ++i;
    } else {
      size_t start = i;
      while (i < n && !isSpacer(buf[i])) ++i;
      addElementName(buf.substr(start, i - start));
    }
    std::string shownNames;
    for (const std::string& name : elementNames)
      shownNames += (shownNames.empty() ? "" : "|") + name;
    if (!closed) {
      warnAt(buf, declaration, "the attribute list of " + shownNames + " has no closing \">\"");
    }

    skipSpacers(buf, i);
    std::vector<std::string> entries;
    while (i < n && buf[i] != '>') {
      if (!isNameChar(buf[i])) {
        // Nothing an attribute definition starts with: step over it (an unresolved reference
        // as a whole, so that its name is not taken for an attribute).
        if (buf[i] == '%') {
          i = delimiterFrom(buf, i + 1, n);
          if (i < n && buf[i] == ';') ++i;
        } else {
          warnAt(
              buf, declaration,
              std::string("unexpected \"") + buf[i] + "\" in the attribute list of " + shownNames);
          ++i;
        }
        skipSpacers(buf, i);
        continue;
      }
      std::string entry;
      size_t start = i;
      while (i < n && isNameChar(buf[i])) ++i;
      std::string name = buf.substr(start, i - start);
      entry += mFlagXML_ ? name : asciiLower(name);
      entry += '\t';

      skipSpacers(buf, i);
      const size_t typeStart = entry.size();
      if (i < n && buf[i] == '(') {
        int depth = 0;
        while (i < n) {
          char c = buf[i++];
          if (!isSpacer(c)) entry += c;
          if (c == '(') {
            ++depth;
          } else if (c == ')' && --depth == 0) {
            break;
          }
        }
      } else {
        while (i < n && isTypeWordChar(buf[i])) entry += buf[i++];
        std::string type(std::string_view(entry).substr(typeStart));
        if (!mFlagXML_) type = asciiUpper(std::move(type));
        if (!isKnownAttributeType(type) && !(type.empty() && i < n && buf[i] == '%')) {
          warnAt(buf, declaration,
                 "attribute " + name + " of " + shownNames + " has an unknown type \"" +
                     std::string(type) + "\"");
        }
      }
      const bool notation = std::string_view(entry).substr(typeStart) == "NOTATION";
      entry += '\t';

      skipSpacers(buf, i);
      const size_t defaultStart = entry.size();
      if (i < n && buf[i] == '"') {
        size_t close = buf.find('"', i + 1);
        size_t stop = close == npos ? n : close + 1;
        entry.append(buf, i, stop - i);
        i = stop;
      } else {
        while (i < n && isNameChar(buf[i])) entry += buf[i++];
        static const std::unordered_set<std::string_view> kKeywords = {
            "#REQUIRED", "#IMPLIED", "#FIXED", "#CURRENT", "#CONREF"};
        std::string value(std::string_view(entry).substr(defaultStart));
        if (!mFlagXML_) value = asciiUpper(std::move(value));  // SGML keywords ignore case
        if (value.starts_with('#') && !kKeywords.contains(value)) {
          warnAt(buf, declaration,
                 "attribute " + name + " of " + shownNames + " has an unknown default keyword \"" +
                     std::string(value) + "\"");
        } else if (value.empty() && !notation && !(i < n && (buf[i] == '\'' || buf[i] == '%'))) {
          warnAt(buf, declaration, "attribute " + name + " of " + shownNames + " has no default");
        }
      }
      skipSpacers(buf, i);
      if (i < n && (buf[i] == '"' || buf[i] == '\'')) {
        size_t close = buf.find(buf[i], i + 1);
        size_t stop = close == npos ? n : close + 1;
        entry.append(buf, i, stop - i);
        i = stop;
      }
      entries.push_back(std::move(entry));
      skipSpacers(buf, i);
    }

    declarations.push_back(std::move(entries));
    for (const std::string& element : elementNames) {
      auto it = elements_.find(element);
      if (it == elements_.end()) {
        dispWarning("*** No element definition while attributes exist: " + element + "\n");
        // XML allows attributes of an element a DTD does not declare (modules declare them for
        // elements that a DTD made of them may leave out); SGML does not.
        if (!mFlagXML_) {
          warnAt(buf, declaration,
                 "attributes are declared for " + element + ", which has no element declaration");
        }
        continue;
      }
      auto [slot, added] = declaredFor.try_emplace(&it->second);
      if (added) declaredOrder.push_back(&it->second);
      slot->second.push_back(declarations.size() - 1);
    }
    i = n;
  }

  for (DtdElementRecord* record : declaredOrder) {
    const std::vector<size_t>& indices = declaredFor[record];
    std::vector<std::string> list;
    for (auto d = indices.rbegin(); d != indices.rend(); ++d) {
      list.insert(list.end(), declarations[*d].begin(), declarations[*d].end());
    }
    if (record->attributes) {
      list.insert(list.end(), record->attributes->begin(), record->attributes->end());
    }
    record->attributes = std::move(list);
  }
}

void MyDtd::makeParentData() {
  for (auto& [name, record] : elements_) record.parentElements.clear();
  for (const auto& [parent, record] : elements_) {
    for (const std::string& child : record.childElements) {
      auto it = elements_.find(child);
      if (it != elements_.end()) it->second.parentElements.push_back(parent);
    }
  }
}

PlistDict MyDtd::elementDictionary() const {
  PlistDict table;
  for (const auto& [name, record] : elements_) {
    PlistDict r;
    r.set("TypeString", record.typeString);
    r.set("ChildElements", PlistArray(record.childElements.begin(), record.childElements.end()));
    r.set("ParentElements", PlistArray(record.parentElements.begin(), record.parentElements.end()));
    if (record.attributes) {
      r.set("Attributes", PlistArray(record.attributes->begin(), record.attributes->end()));
    }
    if (record.contentModel) r.set("ContentModel", *record.contentModel);
    if (!record.inclusions.empty()) {
      r.set("Inclusions", PlistArray(record.inclusions.begin(), record.inclusions.end()));
    }
    if (!record.exclusions.empty()) {
      r.set("Exclusions", PlistArray(record.exclusions.begin(), record.exclusions.end()));
    }
    table.append(name, std::move(r));  // the names of the map are distinct
  }
  return table;
}

}  // namespace vmk
