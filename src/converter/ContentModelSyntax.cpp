#include "converter/ContentModelSyntax.h"

namespace vmk {

namespace {

// Nesting deeper than this is not a DTD a dictionary is made from.
constexpr int kMaxGroupDepth = 64;

bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool isNameChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_' || c == ':';
}

std::string upper(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  return out;
}

class Reader {
 public:
  Reader(std::string_view text, bool xml) : text_(text), xml_(xml) {}

  std::optional<ParsedContentModel> read(std::string* problem) {
    ParsedContentModel result;
    skipSpaces();
    if (at('(')) {
      std::optional<std::string> group = readGroup(0);
      if (!group) return fail(problem);
      result.model = std::move(*group);
    } else {
      std::string_view word = readName();
      std::string keyword = xml_ ? std::string(word) : upper(word);
      bool declared = keyword == "EMPTY" || keyword == "ANY" ||
                      (!xml_ && (keyword == "CDATA" || keyword == "RCDATA"));
      if (!declared) return fail(problem, word.empty() ? "no content model" : "unknown keyword");
      // A typed CDATA, as the entity replacement writes it: CDATA(Script).
      if (at('(') && (keyword == "CDATA" || keyword == "RCDATA")) {
        size_t close = text_.find(')', pos_);
        if (close == std::string_view::npos) return fail(problem, "unclosed \"(\"");
        pos_ = close + 1;
      }
      result.model = std::move(keyword);
    }
    // Exceptions: exclusions and inclusions, in either order, each once.
    bool sawInclusions = false;
    bool sawExclusions = false;
    for (;;) {
      skipSpaces();
      if (pos_ >= text_.size()) break;
      const char sign = text_[pos_];
      if ((sign != '+' && sign != '-') || xml_)
        return fail(problem, "unexpected text after the model");
      bool& seen = sign == '+' ? sawInclusions : sawExclusions;
      if (seen) return fail(problem, "a second exception group");
      seen = true;
      ++pos_;
      skipSpaces();
      if (!at('(')) return fail(problem, "an exception without its group");
      ++pos_;
      std::vector<std::string>& names = sign == '+' ? result.inclusions : result.exclusions;
      for (;;) {
        skipSpaces();
        std::string_view name = readName();
        if (name.empty()) return fail(problem, "an exception group without a name");
        names.push_back(upper(name));
        skipSpaces();
        if (at(')')) {
          ++pos_;
          break;
        }
        if (!at('|')) return fail(problem, "an exception group not joined by \"|\"");
        ++pos_;
      }
    }
    return result;
  }

 private:
  std::optional<ParsedContentModel> fail(std::string* problem, std::string_view why = {}) {
    if (problem && (problem->empty() || !why.empty())) {
      if (!why.empty()) *problem = std::string(why);
      if (problem->empty()) *problem = "unexpected text";
    }
    return std::nullopt;
  }

  bool at(char c) const { return pos_ < text_.size() && text_[pos_] == c; }
  void skipSpaces() {
    while (pos_ < text_.size() && isSpace(text_[pos_])) ++pos_;
  }
  std::string_view readName() {
    size_t start = pos_;
    while (pos_ < text_.size() && isNameChar(text_[pos_])) ++pos_;
    return text_.substr(start, pos_ - start);
  }
  // An occurrence indicator right after a name or ")".
  void readOccurrence(std::string& out) {
    if (at('?') || at('*') || at('+')) out += text_[pos_++];
  }

  // A group at "(": its members joined by one connector, with its occurrence indicator.
  std::optional<std::string> readGroup(int depth) {
    if (depth >= kMaxGroupDepth) {
      problem_ = "groups nested too deeply";
      return std::nullopt;
    }
    ++pos_;  // "("
    std::string out = "(";
    char connector = 0;
    for (;;) {
      skipSpaces();
      if (at('(')) {
        std::optional<std::string> inner = readGroup(depth + 1);
        if (!inner) return std::nullopt;
        out += *inner;
      } else if (at('#')) {
        ++pos_;
        std::string_view word = readName();
        if ((xml_ ? std::string(word) : upper(word)) != "PCDATA") {
          problem_ = "unknown keyword";
          return std::nullopt;
        }
        out += "#PCDATA";
      } else {
        std::string_view name = readName();
        if (name.empty()) {
          problem_ = pos_ < text_.size() ? std::string("unexpected \"") + text_[pos_] + "\""
                                         : std::string("unclosed \"(\"");
          return std::nullopt;
        }
        out += xml_ ? std::string(name) : upper(name);
        readOccurrence(out);
      }
      skipSpaces();
      if (at(')')) {
        ++pos_;
        out += ')';
        readOccurrence(out);
        return out;
      }
      if (at(',') || at('|') || at('&')) {
        if (connector != 0 && connector != text_[pos_]) {
          problem_ = "a group mixes connectors";
          return std::nullopt;
        }
        connector = text_[pos_++];
        out += connector;
        continue;
      }
      problem_ = pos_ < text_.size() ? std::string("unexpected \"") + text_[pos_] + "\""
                                     : std::string("unclosed \"(\"");
      return std::nullopt;
    }
  }

  std::string_view text_;
  bool xml_;
  size_t pos_ = 0;

 public:
  std::string problem_;
};

}  // namespace

std::optional<ParsedContentModel> parseContentModel(std::string_view text, bool xml,
                                                    std::string* problem) {
  Reader reader(text, xml);
  std::string why;
  std::optional<ParsedContentModel> result = reader.read(&why);
  if (!result && problem) *problem = !reader.problem_.empty() ? reader.problem_ : why;
  return result;
}

}  // namespace vmk
