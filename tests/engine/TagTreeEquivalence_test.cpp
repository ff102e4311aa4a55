// The engine's walk (iterative, indexed) against the literal recursive walk on thousands of
// random tag lists: same pairs, depths and reports in the same order.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "EngineTestSupport.h"
#include "ReferenceTagTree.h"
#include "engine/TagNameIndex.h"
#include "engine/TagTree.h"

namespace vmk::test {
namespace {

struct Report {
  std::string code;
  Range range;
  std::vector<UString> subStrings;
  friend bool operator==(const Report&, const Report&) = default;
};

struct Outcome {
  std::vector<int64_t> pairs;
  std::vector<int32_t> depths;
  std::vector<Report> reports;
};

VmkTagLocationList cloneList(const VmkTagLocationList& list) {
  VmkTagLocationList copy;
  for (const auto& e : list) {
    auto c = std::make_unique<VmkTagLocation>();
    c->setElementName(e->elementName());
    c->setTagRange(e->tagRange());
    c->setEndTagType(e->endTagType());
    c->setListIndex(uint32_t(copy.size()));
    copy.push_back(std::move(c));
  }
  return copy;
}

Outcome outcomeOf(const VmkTagLocationList& list, std::vector<Report> reports) {
  Outcome out;
  for (const auto& e : list) {
    out.pairs.push_back(e->pairTag() ? int64_t(e->pairTag()->listIndex()) : -1);
    out.depths.push_back(e->tagDepth());
  }
  out.reports = std::move(reports);
  return out;
}

Outcome runEngine(VmkTagLocationList& list, const TagTreeRules& rules) {
  std::vector<Report> reports;
  TagNameIndex index(list);
  walkTagTree(list, index, rules, [&](std::string_view code, Range r, std::vector<UString> s) {
    reports.push_back({std::string(code), r, std::move(s)});
  });
  return outcomeOf(list, std::move(reports));
}

Outcome runReference(VmkTagLocationList& list, const TagTreeRules& rules) {
  std::vector<Report> reports;
  TagTreeReporter report = [&](std::string_view code, Range r, std::vector<UString> s) {
    reports.push_back({std::string(code), r, std::move(s)});
  };
  ReferenceTagTree(list, rules, report).run();
  return outcomeOf(list, std::move(reports));
}

std::string describe(const VmkTagLocationList& list) {
  std::string s;
  for (const auto& e : list)
    s += toUtf8(e->elementName()) + "(" + std::to_string(e->endTagType()) + ") ";
  return s;
}

// Random lists: names from a small pool with case variants (and names equal only under case
// folding), nesting that is mostly but not always closed, stray and mismatched end tags, text,
// comments and declarations; random end-tag rules, known names and child relations.
class RandomTrial {
 public:
  explicit RandomTrial(uint32_t seed) : rng_(seed) {}

  VmkTagLocationList makeList() {
    static const std::vector<UString> kPool = {u"A",  u"a",   u"B",  u"LI",     u"li", u"P",
                                               u"p",  u"DIV", u"K",  u"\u212A", u"TD", u"TEXTAREA",
                                               u"BR", u"X",   u"SS", u"\u00DF"};
    for (const UString& name : kPool) {
      types_[name] = pick({0, 0, 1, 1, 2, -1});
      known_[name] = pick({1, 1, 1, 0}) == 1;
    }
    VmkTagLocationList list;
    std::vector<UString> open;
    const int length = pick({0, 1, 2, 5, 10, 20, 40, 80});
    for (int i = 0; i < length; ++i) {
      UString name;
      int32_t type = 2;
      int what = uniform(0, 99);
      if (what < 32) {
        name = kPool[size_t(uniform(0, int(kPool.size()) - 1))];
        type = types_[name];
        open.push_back(name);
      } else if (what < 55 && !open.empty()) {
        UString closed = open.back();
        open.pop_back();
        if (uniform(0, 4) == 0) closed = kPool[size_t(uniform(0, int(kPool.size()) - 1))];
        name = u"/" + closed;
        type = types_.count(closed) ? types_[closed] : -1;
      } else if (what < 62) {
        UString stray = kPool[size_t(uniform(0, int(kPool.size()) - 1))];
        name = u"/" + stray;
        type = types_[stray];
      } else if (what < 70 && !open.empty()) {
        open.pop_back();  // left unclosed
        continue;
      } else if (what < 88) {
        name = u"#DATA";
      } else {
        // "/#DATA": an end tag named like the text runs.
        static const std::vector<UString> kOther = {u"!--x", u"!DOCTYPE", u"?xml",
                                                    u"",     u"/",        u"/#DATA"};
        name = kOther[size_t(uniform(0, int(kOther.size()) - 1))];
        type = -1;
      }
      auto e = std::make_unique<VmkTagLocation>();
      e->setElementName(name);
      e->setEndTagType(type);
      e->setTagRange(Range(uint32_t(list.size()), 1));
      e->setListIndex(uint32_t(list.size()));
      list.push_back(std::move(e));
    }
    return list;
  }

  TagTreeRules rules() {
    TagTreeRules r;
    r.isExistElement = [this](UStringView name) {
      auto it = known_.find(UString(name));
      return it != known_.end() && it->second;
    };
    r.isChildElement = [this](UStringView child, UStringView parent) {
      auto key = std::make_pair(UString(child), UString(parent));
      auto it = children_.find(key);
      if (it == children_.end()) it = children_.emplace(key, pick({1, 1, 1, 0, 0, -1})).first;
      return it->second;
    };
    r.isXML = uniform(0, 3) == 0;
    return r;
  }

 private:
  int uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  int pick(std::initializer_list<int> values) {
    return *(values.begin() + uniform(0, int(values.size()) - 1));
  }

  std::mt19937 rng_;
  std::map<UString, int32_t> types_;
  std::map<UString, bool> known_;
  std::map<std::pair<UString, UString>, int> children_;
};

TEST(TagTreeEquivalence, RandomListsGiveTheSameOutcomeAsTheLiteralWalk) {
  for (uint32_t seed = 1; seed <= 6000; ++seed) {
    RandomTrial trial(seed);
    VmkTagLocationList list = trial.makeList();
    VmkTagLocationList copy = cloneList(list);
    TagTreeRules rules = trial.rules();
    Outcome fast = runEngine(list, rules);
    Outcome slow = runReference(copy, rules);
    ASSERT_EQ(fast.pairs, slow.pairs) << "seed " << seed << ": " << describe(list);
    ASSERT_EQ(fast.depths, slow.depths) << "seed " << seed << ": " << describe(list);
    ASSERT_EQ(fast.reports.size(), slow.reports.size())
        << "seed " << seed << ": " << describe(list);
    ASSERT_TRUE(fast.reports == slow.reports) << "seed " << seed << ": " << describe(list);
  }
}

TEST(TagTreeEquivalence, FindMyEndTagAgreesWithNameCounting) {
  for (uint32_t seed = 1; seed <= 2000; ++seed) {
    RandomTrial trial(seed);
    VmkTagLocationList list = trial.makeList();
    TagNameIndex index(list);
    for (size_t i = 0; i < list.size(); ++i) {
      if (list[i]->isEndTag()) continue;
      VmkTagLocation* expected = ReferenceTagTree::findMyEndTag(list, list[i].get());
      int32_t found = index.findMyEndTag(i);
      ASSERT_EQ(found, expected ? int32_t(expected->listIndex()) : TagNameIndex::kNone)
          << "seed " << seed << " entry " << i << ": " << describe(list);
    }
  }
}

// Whole documents: the scanner's list walked by the engine and by the literal walk.
TEST(TagTreeEquivalence, ScannedDocumentsGiveTheSameOutcome) {
  static const std::vector<std::u16string> kTokens = {
      u"<p>",         u"</p>",     u"<li>",       u"</li>",
      u"<ul>",        u"</ul>",    u"<div>",      u"</div>",
      u"<b>",         u"</b>",     u"<a>",        u"</A>",
      u"<br>",        u"</br>",    u"<img>",      u"<td>",
      u"</td>",       u"x",        u"<!-- c -->", u"<textarea>",
      u"</textarea>", u"<foo>",    u"</foo>",     u"<table>",
      u"<tr>",        u"</table>", u" ",          u"<script>s</script>"};
  std::mt19937 rng(7);
  for (int trial = 0; trial < 1500; ++trial) {
    std::u16string text;
    int length = std::uniform_int_distribution<int>(0, 60)(rng);
    for (int i = 0; i < length; ++i)
      text += kTokens[std::uniform_int_distribution<size_t>(0, kTokens.size() - 1)(rng)];
    bool xml = trial % 3 == 0;
    auto checker = scanText(
        text, xml ? makeDictionary(xhtmlElements(), "Test XHTML") : makeDictionary(htmlElements()),
        false);
    size_t scanErrors = checker->errorLocations().size();
    VmkTagLocationList copy = cloneList(checker->tagLocations());
    checker->makeElementFiliation();

    std::vector<Report> engineReports;
    for (size_t i = scanErrors; i < checker->errorLocations().size(); ++i) {
      const auto& e = checker->errorLocations()[i];
      engineReports.push_back(
          {e->errorCode(), e->errorRange(), e->subStrings().value_or(std::vector<UString>{})});
    }
    Outcome fast = outcomeOf(checker->tagLocations(), engineReports);

    const VmkDictionary* dictionary = checker->htmlDictionary();
    TagTreeRules rules;
    rules.isExistElement = [&](UStringView n) { return dictionary->isExistElement(n); };
    rules.isChildElement = [&](UStringView c, UStringView p) {
      return dictionary->isChildElement(c, p);
    };
    rules.isXML = xml;
    Outcome slow = runReference(copy, rules);
    std::string doc = toUtf8(text);
    ASSERT_EQ(fast.pairs, slow.pairs) << doc;
    ASSERT_EQ(fast.depths, slow.depths) << doc;
    ASSERT_TRUE(fast.reports == slow.reports) << doc;
  }
}

}  // namespace
}  // namespace vmk::test
