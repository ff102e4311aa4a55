#include "dictionary/AttributeValuePredicates.h"

#include <array>

#include "support/Regex.h"

namespace vmk {

namespace {

constexpr std::array<std::string_view, 16> kSafeColorNames = {
    "aqua", "black", "blue",   "fuchsia", "gray",   "green", "lime",  "maroon",
    "navy", "olive", "purple", "red",     "silver", "teal",  "white", "yellow"};

constexpr std::array<std::string_view, 140> kUnsafeColorNames = {"aliceblue",
                                                                 "antiquewhite",
                                                                 "aqua",
                                                                 "aquamarine",
                                                                 "azure",
                                                                 "beige",
                                                                 "bisque",
                                                                 "black",
                                                                 "blanchedalmond",
                                                                 "blue",
                                                                 "blueviolet",
                                                                 "brown",
                                                                 "burlywood",
                                                                 "cadetblue",
                                                                 "chartreuse",
                                                                 "chocolate",
                                                                 "coral",
                                                                 "cornflowerblue",
                                                                 "cornsilk",
                                                                 "crimson",
                                                                 "cyan",
                                                                 "darkblue",
                                                                 "darkcyan",
                                                                 "darkgoldenrod",
                                                                 "darkgray",
                                                                 "darkgreen",
                                                                 "darkkhaki",
                                                                 "darkmagenta",
                                                                 "darkolivegreen",
                                                                 "darkorange",
                                                                 "darkorchid",
                                                                 "darkred",
                                                                 "darksalmon",
                                                                 "darkseagreen",
                                                                 "darkslateblue",
                                                                 "darkslategray",
                                                                 "darkturquoise",
                                                                 "darkviolet",
                                                                 "deeppink",
                                                                 "deepskyblue",
                                                                 "dimgray",
                                                                 "dodgerblue",
                                                                 "firebrick",
                                                                 "floralwhite",
                                                                 "forestgreen",
                                                                 "fuchsia",
                                                                 "gainsboro",
                                                                 "ghostwhite",
                                                                 "gold",
                                                                 "goldenrod",
                                                                 "gray",
                                                                 "green",
                                                                 "greenyellow",
                                                                 "honeydew",
                                                                 "hotpink",
                                                                 "indianred",
                                                                 "indigo",
                                                                 "ivory",
                                                                 "khaki",
                                                                 "lavender",
                                                                 "lavenderblush",
                                                                 "lawngreen",
                                                                 "lemonchiffon",
                                                                 "lightblue",
                                                                 "lightcoral",
                                                                 "lightcyan",
                                                                 "lightgoldenrodyellow",
                                                                 "lightgreen",
                                                                 "lightgrey",
                                                                 "lightpink",
                                                                 "lightsalmon",
                                                                 "lightseagreen",
                                                                 "lightskyblue",
                                                                 "lightslategray",
                                                                 "lightsteelblue",
                                                                 "lightyellow",
                                                                 "lime",
                                                                 "limegreen",
                                                                 "linen",
                                                                 "magenta",
                                                                 "maroon",
                                                                 "mediumaquamarine",
                                                                 "mediumblue",
                                                                 "mediumorchid",
                                                                 "mediumpurple",
                                                                 "mediumseagreen",
                                                                 "mediumslateblue",
                                                                 "mediumspringgreen",
                                                                 "mediumturquoise",
                                                                 "mediumvioletred",
                                                                 "midnightblue",
                                                                 "mintcream",
                                                                 "mistyrose",
                                                                 "moccasin",
                                                                 "navajowhite",
                                                                 "navy",
                                                                 "oldlace",
                                                                 "olive",
                                                                 "olivedrab",
                                                                 "orange",
                                                                 "orangered",
                                                                 "orchid",
                                                                 "palegoldenrod",
                                                                 "palegreen",
                                                                 "paleturquoise",
                                                                 "palevioletred",
                                                                 "papayawhip",
                                                                 "peachpuff",
                                                                 "peru",
                                                                 "pink",
                                                                 "plum",
                                                                 "powderblue",
                                                                 "purple",
                                                                 "red",
                                                                 "rosybrown",
                                                                 "royalblue",
                                                                 "saddlebrown",
                                                                 "salmon",
                                                                 "sandybrown",
                                                                 "seagreen",
                                                                 "seashell",
                                                                 "sienna",
                                                                 "silver",
                                                                 "skyblue",
                                                                 "slateblue",
                                                                 "slategray",
                                                                 "snow",
                                                                 "springgreen",
                                                                 "steelblue",
                                                                 "tan",
                                                                 "teal",
                                                                 "thistle",
                                                                 "tomato",
                                                                 "turquoise",
                                                                 "violet",
                                                                 "wheat",
                                                                 "white",
                                                                 "whitesmoke",
                                                                 "yellow",
                                                                 "yellowgreen"};

std::unordered_set<UString> makeNameSet(std::span<const std::string_view> names) {
  std::unordered_set<UString> set;
  set.reserve(names.size());
  for (std::string_view name : names) set.insert(toUtf16(name));
  return set;
}

constexpr bool isAsciiLetter(UChar16 c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}
constexpr bool isAsciiDigit(UChar16 c) {
  return c >= u'0' && c <= u'9';
}

// Lower case of a value; ASCII text (the usual case) takes the cheap mapping.
UString lowerValue(UStringView text) {
  for (UChar16 c : text) {
    if (c >= 0x80) return lowercase(text);
  }
  return asciiLowercase(text);
}

bool isAsciiOnly(UStringView text) {
  for (UChar16 c : text) {
    if (c >= 0x80) return false;
  }
  return true;
}

// White space as the expressions' "\\s" class has it within ASCII.
constexpr bool isAsciiSpace(UChar16 c) {
  return c == u' ' || (c >= 0x09 && c <= 0x0D);
}

// The maximal runs of units that are not separators; absent unless the text is ASCII, where
// the expressions' classes and these tests agree.
template <typename Separator>
std::optional<std::vector<UString>> asciiTokens(UStringView text, Separator isSeparator) {
  std::vector<UString> result;
  size_t start = 0;
  bool inToken = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const UChar16 c = text[i];
    if (c >= 0x80) return std::nullopt;
    const bool separator = isSeparator(c);
    if (!separator && !inToken) {
      start = i;
      inToken = true;
    } else if (separator && inToken) {
      result.emplace_back(text.substr(start, i - start));
      inToken = false;
    }
  }
  if (inToken) result.emplace_back(text.substr(start));
  return result;
}

std::vector<UString> tokens(const Regex& pattern, UStringView text) {
  std::vector<UString> result;
  for (const RegexMatch& match : pattern.allMatches(text)) {
    const Range range = match.range(0);
    result.emplace_back(text.substr(range.location, range.length));
  }
  return result;
}

}  // namespace

std::span<const std::string_view> safeColorNameList() {
  return kSafeColorNames;
}
std::span<const std::string_view> unsafeColorNameList() {
  return kUnsafeColorNames;
}

const std::unordered_set<UString>& gColors() {
  static const std::unordered_set<UString> names = makeNameSet(kSafeColorNames);
  return names;
}

const std::unordered_set<UString>& gColors2() {
  static const std::unordered_set<UString> names = makeNameSet(kUnsafeColorNames);
  return names;
}

std::optional<UString> fixedValueAttribute(UStringView defaultField) {
  // Nearly every default is "#IMPLIED", "#REQUIRED" or a plain value: skip the search.
  if (defaultField.find(u"#FIXED") == UStringView::npos) return std::nullopt;
  static const Regex& fixed = Regex::cached("#FIXED['\"](.*)['\"]");
  const auto match = fixed.firstMatch(defaultField);
  if (!match) return std::nullopt;
  return match->text(defaultField, 1);
}

bool isOmissibleAttribute(UStringView name, UStringView type) {
  if (type.empty() || type.front() != u'(') return false;
  for (const UString& token : enumerationTokens(lowerValue(type))) {
    if (isEqualToString(token, name, true)) return true;
  }
  return false;
}

bool isCharRefString(UStringView text, const VmkAttributeValueContext& context) {
  return context.isCharRef(text, 0) > 0;
}

bool isNumberString(UStringView text) {
  // ASCII text: the first run of digits covers the text when every unit is a digit.
  if (isAsciiOnly(text)) {
    for (UChar16 c : text) {
      if (!isAsciiDigit(c)) return false;
    }
    return !text.empty();
  }
  static const Regex& digits = Regex::cached("\\d+");
  const auto match = digits.firstMatch(text);
  return match && match->range(0).length == text.size();
}

bool isNMTOKENString(UStringView text) {
  for (UChar16 c : text) {
    if (!isAsciiLetter(c) && !isAsciiDigit(c) && c != u'-' && c != u'_' && c != u':' && c != u'.') {
      return false;
    }
  }
  return true;
}

bool isNAMEString(UStringView text) {
  if (!text.empty() && !isAsciiLetter(text.front())) return false;
  return isNMTOKENString(text);
}

namespace {

bool isXMLNameStartCharacter(char32_t c) {
  return c == U':' || c == U'_' || (c >= U'A' && c <= U'Z') || (c >= U'a' && c <= U'z') ||
         (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) ||
         (c >= 0x370 && c <= 0x37D) || (c >= 0x37F && c <= 0x1FFF) ||
         (c >= 0x200C && c <= 0x200D) || (c >= 0x2070 && c <= 0x218F) ||
         (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) ||
         (c >= 0xF900 && c <= 0xFDCF) || (c >= 0xFDF0 && c <= 0xFFFD) ||
         (c >= 0x10000 && c <= 0xEFFFF);
}

bool isXMLNameCharacter(char32_t c) {
  return isXMLNameStartCharacter(c) || c == U'-' || c == U'.' || (c >= U'0' && c <= U'9') ||
         c == 0xB7 || (c >= 0x300 && c <= 0x36F) || (c >= 0x203F && c <= 0x2040);
}

// The characters of the text in order, each to `accept` with whether it is the first; false
// as soon as one is refused or a surrogate is unpaired.
template <typename Accept>
bool everyCharacter(UStringView text, Accept accept) {
  bool first = true;
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (char32_t(text[i + 1]) - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      return false;
    }
    if (!accept(c, first)) return false;
    first = false;
  }
  return true;
}

}  // namespace

bool isXMLNmtokenString(UStringView text) {
  return everyCharacter(text, [](char32_t c, bool) { return isXMLNameCharacter(c); });
}

bool isXMLNameString(UStringView text) {
  return everyCharacter(text, [](char32_t c, bool first) {
    return first ? isXMLNameStartCharacter(c) : isXMLNameCharacter(c);
  });
}

bool isUnsafeURLCharacter(UChar16 unit) {
  switch (unit) {
    case u'<':
    case u'>':
    case u'[':
    case u']':
    case u'^':
    case u'`':
    case u'|':
    case u'{':
    case u'}':
      return true;
    default:
      return false;
  }
}

namespace {

bool isAsciiWordUnit(UChar16 c) {
  return isAsciiLetter(c) || isAsciiDigit(c) || c == u'_';
}

// Calls test at the start of every line of the text (0 and after each LF) until it answers
// true.
template <typename Test>
bool anyLineStart(UStringView text, Test test) {
  for (size_t start = 0;;) {
    if (test(text.substr(start))) return true;
    const size_t feed = text.find(u'\n', start);
    if (feed == UStringView::npos) return false;
    start = feed + 1;
  }
}

// "^[\w\d]+:" (any case) and "^(http|https|...):" for texts of ASCII units only, where the
// word class is [A-Za-z0-9_]; absent for other texts.
std::optional<bool> asciiSchemeIsUnknown(UStringView text) {
  if (text.find(u':') == UStringView::npos) return false;  // neither pattern can match
  for (UChar16 c : text) {
    if (c >= 0x80) return std::nullopt;
  }
  const bool anyScheme = anyLineStart(text, [](UStringView line) {
    size_t n = 0;
    while (n < line.size() && isAsciiWordUnit(line[n])) ++n;
    return n > 0 && n < line.size() && line[n] == u':';
  });
  if (!anyScheme) return false;
  static constexpr std::u16string_view kKnown[] = {u"http:", u"https:",  u"ftp:",  u"gopher:",
                                                   u"nntp:", u"telnet:", u"wais:", u"mailto:",
                                                   u"news:", u"file:"};
  const bool knownScheme = anyLineStart(text, [](UStringView line) {
    for (UStringView scheme : kKnown) {
      if (line.starts_with(scheme)) return true;
    }
    return false;
  });
  return !knownScheme;
}

}  // namespace

AttributeValueProblem checkURLString(std::optional<UStringView> link) {
  if (!link || link->empty()) return "VoidURLValue";
  const UStringView text = *link;

  // Server-side code in a link ("<?php ... ?>") is not part of the address. The "<" of the
  // pattern is optional, so any text up to a ">" on its line goes as well. Every match ends
  // with a ">": without one the text stays as it is.
  static const Regex& serverCode = Regex::cached("<?.*?>");
  UString strippedText;
  UStringView stripped = text;
  if (text.find(u'>') != UStringView::npos) {
    strippedText = serverCode.replaceAllFixed(text, u"");
    stripped = strippedText;
  }

  bool control = false;
  bool unsafe = false;
  for (UChar16 c : stripped) {
    if (c == u' ' || c == u'\\') return "SpaceContainedURLValue";
    if (c <= 0x1F || c >= 0x7F) control = true;
    if (isUnsafeURLCharacter(c)) unsafe = true;
  }
  if (control) return "ControlContainedURLValue";

  static const Regex& anyScheme = Regex::cached("^[\\w\\d]+:", Regex::kIgnoreCase);
  static const Regex& knownScheme =
      Regex::cached("^(http|https|ftp|gopher|nntp|telnet|wais|mailto|news|file):");
  if (const std::optional<bool> unknown = asciiSchemeIsUnknown(stripped)) {
    if (*unknown) return "WrongSchemeInURL";
  } else if (anyScheme.matches(stripped) && !knownScheme.matches(stripped)) {
    return "WrongSchemeInURL";
  }

  if (unsafe) return "UnSafeURLValue";
  return std::nullopt;
}

AttributeValueProblem checkColorString(UStringView text) {
  const UString lower = lowerValue(text);
  if (gColors().contains(lower)) return std::nullopt;
  if (gColors2().contains(lower)) return "UnSafeColorName";

  static const Regex& hashColor = Regex::cached("#[0-9A-Fa-f]{6}$");
  if (hashColor.matches(text)) return std::nullopt;
  static const Regex& bareHex = Regex::cached("[0-9A-Fa-f]{6}$");
  if (bareHex.matches(text)) return "WrongHexColorValue";
  return "WrongColorValueAttribute";
}

std::vector<UString> spaceSeparatedTokens(UStringView text) {
  if (auto result = asciiTokens(text, isAsciiSpace)) return std::move(*result);
  static const Regex& pattern = Regex::cached("[^\\s]+");
  return tokens(pattern, text);
}

std::vector<UString> listTokens(UStringView text) {
  if (auto result = asciiTokens(text, [](UChar16 c) { return isAsciiSpace(c) || c == u','; }))
    return std::move(*result);
  static const Regex& pattern = Regex::cached("[^\\s,]+");
  return tokens(pattern, text);
}

std::vector<UString> enumerationTokens(UStringView text) {
  if (auto result = asciiTokens(text, [](UChar16 c) {
        return isAsciiSpace(c) || c == u',' || c == u'|' || c == u'(' || c == u')';
      }))
    return std::move(*result);
  static const Regex& pattern = Regex::cached("[^\\s,\\|\\(\\)]+");
  return tokens(pattern, text);
}

}  // namespace vmk
