#include "dictionary/ContentAutomata.h"

#include <gtest/gtest.h>

#include <random>

namespace vmk {
namespace {

const std::vector<UString> kNames = {u"A", u"B", u"C", u"D", u"ROOT"};

// Whether the model (the last element's) takes the sequence of names, one letter each.
bool accepts(const UString& model, std::u16string_view sequence, bool mustCompile = true) {
  ContentAutomata automata(kNames, {u"EMPTY", u"EMPTY", u"EMPTY", u"EMPTY", model});
  const ContentAutomata::Automaton& a = automata.automaton(4);
  if (mustCompile) {
    EXPECT_EQ(a.kind, ContentAutomata::Kind::kModel) << toUtf8(model);
  }
  int32_t state = 0;
  for (char16_t c : sequence) {
    state = automata.step(a, state, automata.elementNumber(UString(1, c)));
    if (state == ContentAutomata::kNoState) return false;
  }
  return automata.accepts(a, state);
}

TEST(ContentAutomataTest, EachOperator) {
  EXPECT_TRUE(accepts(u"(A,B)", u"AB"));
  EXPECT_FALSE(accepts(u"(A,B)", u"BA"));
  EXPECT_FALSE(accepts(u"(A,B)", u"A"));
  EXPECT_TRUE(accepts(u"(A|B)", u"B"));
  EXPECT_FALSE(accepts(u"(A|B)", u"AB"));
  EXPECT_TRUE(accepts(u"(A?,B)", u"B"));
  EXPECT_TRUE(accepts(u"(A*,B)", u"AAAB"));
  EXPECT_FALSE(accepts(u"(A+,B)", u"B"));
  EXPECT_TRUE(accepts(u"(A+,B)", u"AAB"));
  EXPECT_TRUE(accepts(u"(A|B)*", u""));
  EXPECT_TRUE(accepts(u"(A|B)+", u"BABA"));
  EXPECT_FALSE(accepts(u"(A|B)+", u""));
  EXPECT_TRUE(accepts(u"(A&B&C)", u"CAB"));
  EXPECT_FALSE(accepts(u"(A&B&C)", u"CA"));
  EXPECT_FALSE(accepts(u"(A&B)", u"ABA"));
  EXPECT_TRUE(accepts(u"(#PCDATA|A)*", u"AA"));
  EXPECT_TRUE(accepts(u"(#PCDATA)", u""));
  EXPECT_TRUE(accepts(u"(A,(B|C)*,D)", u"ACBCD"));
}

TEST(ContentAutomataTest, HeadAndFramesetModels) {
  const std::vector<UString> names = {u"TITLE", u"BASE",     u"FRAMESET",
                                      u"FRAME", u"NOFRAMES", u"HEAD"};
  ContentAutomata automata(names, {u"(#PCDATA)", u"EMPTY", u"((FRAMESET|FRAME)+&NOFRAMES?)",
                                   u"EMPTY", u"(#PCDATA)", u"(TITLE&BASE?)"});
  auto run = [&](int32_t element, std::vector<UString> sequence) {
    const ContentAutomata::Automaton& a = automata.automaton(element);
    int32_t state = 0;
    for (const UString& name : sequence) {
      state = automata.step(a, state, automata.elementNumber(name));
      if (state == ContentAutomata::kNoState) return false;
    }
    return automata.accepts(a, state);
  };
  EXPECT_TRUE(run(5, {u"TITLE"}));
  EXPECT_TRUE(run(5, {u"BASE", u"TITLE"}));
  EXPECT_TRUE(run(5, {u"TITLE", u"BASE"}));
  EXPECT_FALSE(run(5, {u"BASE"}));
  EXPECT_FALSE(run(5, {u"TITLE", u"TITLE"}));
  EXPECT_TRUE(run(2, {u"FRAME", u"FRAME", u"NOFRAMES"}));
  EXPECT_TRUE(run(2, {u"NOFRAMES", u"FRAMESET"}));
  EXPECT_FALSE(run(2, {u"FRAME", u"NOFRAMES", u"FRAME"}));
  EXPECT_TRUE(automata.automaton(0).mixed);
  EXPECT_FALSE(automata.automaton(5).mixed);
  // What may come first in HEAD.
  std::vector<int32_t> first = automata.expected(automata.automaton(5), 0);
  EXPECT_EQ(first, (std::vector<int32_t>{0, 1}));
}

// A reference matcher that tries every way through the model.
struct RefNode {
  char type = 'n';  // 'n' name, ',', '|', '&'
  char occurrence = 0;
  char16_t name = 0;
  std::vector<RefNode> members;
};

// Every end position reachable by matching node from pos.
void ends(const RefNode& node, std::u16string_view s, size_t pos, std::vector<size_t>& out);

void once(const RefNode& node, std::u16string_view s, size_t pos, std::vector<size_t>& out) {
  if (node.type == 'n') {
    if (pos < s.size() && s[pos] == node.name) out.push_back(pos + 1);
    return;
  }
  if (node.type == '|') {
    for (const RefNode& m : node.members) ends(m, s, pos, out);
    return;
  }
  if (node.type == ',') {
    std::vector<size_t> current{pos};
    for (const RefNode& m : node.members) {
      std::vector<size_t> next;
      for (size_t p : current) ends(m, s, p, next);
      std::sort(next.begin(), next.end());
      next.erase(std::unique(next.begin(), next.end()), next.end());
      current = std::move(next);
    }
    out.insert(out.end(), current.begin(), current.end());
    return;
  }
  // '&': every order.
  std::vector<size_t> order(node.members.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  do {
    RefNode sequence;
    sequence.type = ',';
    for (size_t i : order) sequence.members.push_back(node.members[i]);
    once(sequence, s, pos, out);
  } while (std::next_permutation(order.begin(), order.end()));
}

void ends(const RefNode& node, std::u16string_view s, size_t pos, std::vector<size_t>& out) {
  if (node.occurrence == '?' || node.occurrence == '*') out.push_back(pos);
  if (node.occurrence == '*' || node.occurrence == '+') {
    std::vector<size_t> frontier{pos};
    std::vector<bool> seen(s.size() + 1, false);
    while (!frontier.empty()) {
      size_t p = frontier.back();
      frontier.pop_back();
      std::vector<size_t> next;
      once(node, s, p, next);
      for (size_t q : next) {
        if (!seen[q]) {
          seen[q] = true;
          out.push_back(q);
          frontier.push_back(q);
        }
      }
    }
    return;
  }
  once(node, s, pos, out);
}

RefNode randomNode(std::mt19937& rng, int depth) {
  RefNode node;
  std::uniform_int_distribution<int> pick(0, 9);
  if (depth >= 3 || pick(rng) < 4) {
    node.name = char16_t(u'A' + pick(rng) % 4);
  } else {
    const char types[] = {',', '|', '&'};
    node.type = types[pick(rng) % 3];
    int count = 1 + pick(rng) % 3;
    for (int i = 0; i < count; ++i) node.members.push_back(randomNode(rng, depth + 1));
  }
  const char occurrences[] = {0, 0, '?', '*', '+'};
  node.occurrence = occurrences[pick(rng) % 5];
  return node;
}

UString write(const RefNode& node) {
  UString out;
  if (node.type == 'n') {
    out = UString(1, node.name);
  } else {
    out = u"(";
    for (size_t i = 0; i < node.members.size(); ++i) {
      if (i) out += char16_t(node.type);
      out += write(node.members[i]);
    }
    out += u")";
  }
  if (node.occurrence) out += char16_t(node.occurrence);
  return out;
}

TEST(ContentAutomataTest, RandomModelsAgreeWithBacktracking) {
  std::mt19937 rng(2024);
  int checked = 0;
  for (int round = 0; round < 300; ++round) {
    RefNode root = randomNode(rng, 0);
    if (root.type == 'n') {  // a model is a group
      RefNode group;
      group.type = ',';
      group.members.push_back(root);
      root = group;
    }
    const UString model = write(root);
    // "&" groups in "&" groups can pass the position limit; those models are left unchecked.
    ContentAutomata compiled(kNames, {model});
    if (compiled.automaton(0).kind != ContentAutomata::Kind::kModel) continue;
    for (int k = 0; k < 20; ++k) {
      std::u16string sequence;
      int length = int(rng() % 7);
      for (int i = 0; i < length; ++i) sequence += char16_t(u'A' + rng() % 4);
      std::vector<size_t> reached;
      ends(root, sequence, 0, reached);
      bool expected = std::find(reached.begin(), reached.end(), sequence.size()) != reached.end();
      ASSERT_EQ(accepts(model, sequence), expected) << toUtf8(model) << " on " << toUtf8(sequence);
      ++checked;
    }
  }
  EXPECT_GT(checked, 4000);
}

TEST(ContentAutomataTest, HostileModelsAreLeftUnchecked) {
  auto kind = [](const UString& model) {
    ContentAutomata automata(kNames, {model});
    return automata.automaton(0).kind;
  };
  using Kind = ContentAutomata::Kind;
  EXPECT_EQ(kind(u"EMPTY"), Kind::kEmpty);
  EXPECT_EQ(kind(u"ANY"), Kind::kAny);
  EXPECT_EQ(kind(u"CDATA"), Kind::kCharacterData);
  EXPECT_EQ(kind(u"(A,B|C)"), Kind::kUnchecked);  // mixed connectors
  EXPECT_EQ(kind(u"(A"), Kind::kUnchecked);
  EXPECT_EQ(kind(u"(A))"), Kind::kUnchecked);
  EXPECT_EQ(kind(u""), Kind::kUnchecked);
  EXPECT_EQ(kind(u"A"), Kind::kUnchecked);
  // Depth over 32.
  EXPECT_EQ(kind(UString(33, u'(') + u"A" + UString(33, u')')), Kind::kUnchecked);
  EXPECT_EQ(kind(UString(32, u'(') + u"A" + UString(32, u')')), Kind::kModel);
  // More than 512 positions.
  UString many = u"(A";
  for (int i = 0; i < 512; ++i) many += u",B";
  EXPECT_EQ(kind(many + u")"), Kind::kUnchecked);
  // An "&" group of six members.
  EXPECT_EQ(kind(u"(A&B&C&D&A&B)"), Kind::kUnchecked);
  // More than 1024 states: optional names in a long sequence over two symbols each make
  // many distinct position sets.
  UString states = u"(";
  for (int i = 0; i < 200; ++i) states += UString(i ? u"," : u"") + u"(A|B)?,(A|C)?,D?";
  EXPECT_EQ(kind(states + u")"), Kind::kUnchecked);
  // Unchecked and ANY take everything.
  ContentAutomata automata(kNames, {u"(A"});
  EXPECT_EQ(automata.step(automata.automaton(0), 0, 3), 0);
  EXPECT_TRUE(automata.accepts(automata.automaton(0), 0));
}

}  // namespace
}  // namespace vmk
