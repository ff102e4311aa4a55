#include "dictionary/ContentAutomata.h"

#include <algorithm>
#include <map>
#include <optional>

#include "dictionary/VmkDictionary.h"

namespace vmk {

namespace {

constexpr int32_t kCharacterData = -2;  // the symbol of #PCDATA
constexpr size_t kWords = ContentAutomata::kMaxPositions / 64;
using Positions = std::array<uint64_t, kWords>;

struct Node {
  enum class Type : uint8_t { kLeaf, kSequence, kChoice, kAll };
  Type type = Type::kLeaf;
  char occurrence = 0;  // 0, '?', '*' or '+'
  int32_t symbol = ContentAutomata::kNotAnElement;
  std::vector<Node> members;
};

// Reads a model text as the dictionary stores it.
class ModelReader {
 public:
  ModelReader(UStringView text, const std::function<int32_t(UStringView)>& number)
      : text_(text), number_(number) {}

  std::optional<Node> readGroup(int depth) {
    if (depth > ContentAutomata::kMaxDepth || !at(u'(')) return std::nullopt;
    ++pos_;
    Node group;
    char16_t connector = 0;
    for (;;) {
      if (at(u'(')) {
        std::optional<Node> inner = readGroup(depth + 1);
        if (!inner) return std::nullopt;
        group.members.push_back(std::move(*inner));
      } else {
        size_t start = pos_;
        while (pos_ < text_.size() && !isDelimiter(text_[pos_])) ++pos_;
        if (pos_ == start) return std::nullopt;
        UStringView name = text_.substr(start, pos_ - start);
        Node leaf;
        leaf.symbol = name == u"#PCDATA" ? kCharacterData : number_(name);
        if (leaf.symbol != kCharacterData) leaf.occurrence = readOccurrence();
        group.members.push_back(std::move(leaf));
      }
      if (at(u')')) {
        ++pos_;
        group.type = connector == u','   ? Node::Type::kSequence
                     : connector == u'&' ? Node::Type::kAll
                                         : Node::Type::kChoice;
        group.occurrence = readOccurrence();
        return group;
      }
      if (!at(u',') && !at(u'|') && !at(u'&')) return std::nullopt;
      if (connector != 0 && connector != text_[pos_]) return std::nullopt;
      connector = text_[pos_++];
    }
  }
  bool atEnd() const { return pos_ == text_.size(); }

 private:
  static bool isDelimiter(char16_t c) {
    return c == u'(' || c == u')' || c == u'|' || c == u',' || c == u'&' || c == u'?' ||
           c == u'*' || c == u'+';
  }
  bool at(char16_t c) const { return pos_ < text_.size() && text_[pos_] == c; }
  char readOccurrence() {
    if (at(u'?') || at(u'*') || at(u'+')) return char(text_[pos_++]);
    return 0;
  }

  UStringView text_;
  const std::function<int32_t(UStringView)>& number_;
  size_t pos_ = 0;
};

// "&" groups become the choice of the sequences of their members in every order.
bool expandAllGroups(Node& node) {
  for (Node& member : node.members)
    if (!expandAllGroups(member)) return false;
  if (node.type != Node::Type::kAll) return true;
  if (node.members.size() > size_t(ContentAutomata::kMaxInterleaved)) return false;
  std::vector<size_t> order(node.members.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  Node choice;
  choice.type = Node::Type::kChoice;
  choice.occurrence = node.occurrence;
  do {
    Node sequence;
    sequence.type = Node::Type::kSequence;
    for (size_t i : order) sequence.members.push_back(node.members[i]);
    choice.members.push_back(std::move(sequence));
  } while (std::next_permutation(order.begin(), order.end()));
  node = std::move(choice);
  return true;
}

// The positions of a model and what follows each (Glushkov's construction).
class Positioner {
 public:
  struct Facts {
    bool nullable = true;
    Positions first{};
    Positions last{};
  };

  std::optional<Facts> visit(const Node& node) {
    Facts facts;
    if (node.type == Node::Type::kLeaf) {
      if (node.symbol != kCharacterData) {
        if (symbols_.size() >= size_t(ContentAutomata::kMaxPositions)) return std::nullopt;
        const size_t p = symbols_.size();
        symbols_.push_back(node.symbol);
        follow_.emplace_back();
        facts.nullable = false;
        set(facts.first, p);
        set(facts.last, p);
      } else {
        mixed_ = true;
      }
    } else {
      bool firstMember = true;
      for (const Node& member : node.members) {
        std::optional<Facts> m = visit(member);
        if (!m) return std::nullopt;
        if (node.type == Node::Type::kChoice) {
          facts.nullable = firstMember ? m->nullable : facts.nullable || m->nullable;
          orInto(facts.first, m->first);
          orInto(facts.last, m->last);
        } else if (firstMember) {
          facts = *m;
        } else {
          forEach(facts.last, [&](size_t p) { orInto(follow_[p], m->first); });
          if (facts.nullable) orInto(facts.first, m->first);
          if (m->nullable) {
            orInto(facts.last, m->last);
          } else {
            facts.last = m->last;
          }
          facts.nullable = facts.nullable && m->nullable;
        }
        firstMember = false;
      }
    }
    if (node.occurrence == '*' || node.occurrence == '+') {
      forEach(facts.last, [&](size_t p) { orInto(follow_[p], facts.first); });
    }
    if (node.occurrence == '*' || node.occurrence == '?') facts.nullable = true;
    return facts;
  }

  static void set(Positions& s, size_t p) { s[p / 64] |= uint64_t(1) << (p % 64); }
  static void orInto(Positions& into, const Positions& from) {
    for (size_t w = 0; w < kWords; ++w) into[w] |= from[w];
  }
  static bool any(const Positions& s) {
    return std::any_of(s.begin(), s.end(), [](uint64_t w) { return w != 0; });
  }
  template <class Fn>
  static void forEach(const Positions& s, Fn fn) {
    for (size_t w = 0; w < kWords; ++w) {
      for (uint64_t bits = s[w]; bits != 0; bits &= bits - 1) {
        fn(w * 64 + size_t(__builtin_ctzll(bits)));
      }
    }
  }

  std::vector<int32_t> symbols_;
  std::vector<Positions> follow_;
  bool mixed_ = false;
};

ContentAutomata::ElementSet elementSet(const std::vector<UString>& names,
                                       const ContentAutomata& automata) {
  ContentAutomata::ElementSet set;
  for (const UString& name : names) {
    int32_t e = automata.elementNumber(name);
    if (e < 0) continue;
    set.resize(size_t(automata.elementCount() + 63) / 64);
    set[size_t(e) / 64] |= uint64_t(1) << (size_t(e) % 64);
  }
  return set;
}

}  // namespace

ContentAutomata::Automaton ContentAutomata::compile(
    UStringView model, const std::function<int32_t(UStringView)>& number, int32_t elementCount) {
  Automaton automaton;
  if (model == u"EMPTY") {
    automaton.kind = Kind::kEmpty;
    return automaton;
  }
  if (model == u"ANY") {
    automaton.kind = Kind::kAny;
    automaton.mixed = true;
    return automaton;
  }
  if (model == u"CDATA" || model == u"RCDATA") {
    automaton.kind = Kind::kCharacterData;
    automaton.mixed = true;
    return automaton;
  }
  ModelReader reader(model, number);
  std::optional<Node> root = reader.readGroup(1);
  if (!root || !reader.atEnd() || !expandAllGroups(*root)) return automaton;
  Positioner positioner;
  std::optional<Positioner::Facts> facts = positioner.visit(*root);
  if (!facts) return automaton;

  // Per symbol, the positions that carry it.
  std::unordered_map<int32_t, Positions> bySymbol;
  for (size_t p = 0; p < positioner.symbols_.size(); ++p) {
    if (positioner.symbols_[p] >= 0) Positioner::set(bySymbol[positioner.symbols_[p]], p);
  }
  std::vector<std::pair<int32_t, Positions>> symbols(bySymbol.begin(), bySymbol.end());
  std::sort(symbols.begin(), symbols.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });

  // Subset construction. State 0 is the start, whose successors are the model's first
  // positions; every other state is a set of positions.
  const size_t columns = size_t(elementCount);
  std::map<Positions, int32_t> ids;
  std::vector<Positions> states(1);
  automaton.accepting.push_back(facts->nullable ? 1 : 0);
  automaton.next.assign(columns, kNoState);
  for (size_t s = 0; s < states.size(); ++s) {
    Positions reach{};
    if (s == 0) {
      reach = facts->first;
    } else {
      Positioner::forEach(states[s],
                          [&](size_t p) { Positioner::orInto(reach, positioner.follow_[p]); });
    }
    for (const auto& [symbol, carriers] : symbols) {
      Positions target;
      for (size_t w = 0; w < kWords; ++w) target[w] = reach[w] & carriers[w];
      if (!Positioner::any(target)) continue;
      auto [it, added] = ids.try_emplace(target, int32_t(states.size()));
      if (added) {
        if (states.size() >= size_t(kMaxStates)) return Automaton();
        states.push_back(target);
        bool accepting = false;
        for (size_t w = 0; w < kWords; ++w) accepting |= (target[w] & facts->last[w]) != 0;
        automaton.accepting.push_back(accepting ? 1 : 0);
        automaton.next.resize(states.size() * columns, kNoState);
      }
      automaton.next[s * columns + size_t(symbol)] = it->second;
    }
  }
  automaton.kind = Kind::kModel;
  automaton.mixed = positioner.mixed_;
  automaton.stateCount = int32_t(states.size());
  return automaton;
}

ContentAutomata::ContentAutomata(const VmkDictionary& dictionary) {
  const std::vector<VmkElementRecord>& records = dictionary.elementRecords();
  names_.reserve(records.size());
  for (const VmkElementRecord& record : records) {
    numbers_.try_emplace(record.name, int32_t(names_.size()));
    names_.push_back(record.name);
  }
  auto number = [this](UStringView name) { return elementNumber(name); };
  automata_.reserve(records.size());
  for (const VmkElementRecord& record : records) {
    Automaton& automaton = automata_.emplace_back();
    if (record.contentModel) {
      hasModels_ = true;
      automaton = compile(*record.contentModel, number, elementCount());
    }
    automaton.omissibleStart =
        record.typeString && (*record.typeString == u"O -" || *record.typeString == u"O O");
    automaton.inclusions = elementSet(record.inclusions, *this);
    automaton.exclusions = elementSet(record.exclusions, *this);
  }
  document_ = compile(dictionary.isXML() ? u"(html)" : u"(HTML)", number, elementCount());
}

ContentAutomata::ContentAutomata(const std::vector<UString>& elements,
                                 const std::vector<UString>& models) {
  for (const UString& name : elements) {
    numbers_.try_emplace(name, int32_t(names_.size()));
    names_.push_back(name);
  }
  auto number = [this](UStringView name) { return elementNumber(name); };
  for (size_t i = 0; i < elements.size(); ++i) {
    automata_.push_back(i < models.size() ? compile(models[i], number, elementCount())
                                          : Automaton());
    hasModels_ = hasModels_ || i < models.size();
  }
}

int32_t ContentAutomata::elementNumber(UStringView name) const {
  auto it = numbers_.find(UString(name));
  return it == numbers_.end() ? kNotAnElement : it->second;
}

std::vector<int32_t> ContentAutomata::expected(const Automaton& automaton, int32_t state) const {
  std::vector<int32_t> out;
  if (automaton.kind != Kind::kModel) return out;
  for (int32_t e = 0; e < elementCount(); ++e) {
    if (automaton.next[size_t(state) * names_.size() + size_t(e)] != kNoState) out.push_back(e);
  }
  return out;
}

}  // namespace vmk
