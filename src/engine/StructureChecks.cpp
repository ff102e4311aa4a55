// Element structure checks: text and empty end tags inside elements, and the document-level
// order of html, head, body, table and base.
//
// Both passes ask which entries form the direct content of an element: the entries after it,
// up to the first one that is not deeper than it, whose depth is exactly one more. An entry c
// belongs to the direct content of at most one entry, the nearest one before c that is less
// deep than c (when its depth is exactly one less), so the content of every element is
// gathered once for the whole list and no element's content is walked again per ancestor.
#include <algorithm>
#include <map>
#include <unordered_map>

#include "dictionary/VmkDictionary.h"
#include "engine/LinkVocabulary.h"
#include "engine/NamePredicates.h"
#include "engine/VmkHTMLChecker.h"

namespace vmk {
namespace {

// Tag names compared ignoring case with an ASCII name.
bool nameIs(UStringView name, UStringView asciiName) {
  if (name.size() == asciiName.size()) {
    size_t i = 0;
    for (; i < name.size() && name[i] < 0x80; ++i) {
      UChar16 a = name[i], b = asciiName[i];
      if (a >= u'A' && a <= u'Z') a = UChar16(a + 32);
      if (b >= u'A' && b <= u'Z') b = UChar16(b + 32);
      if (a != b) return false;
    }
    if (i == name.size()) return true;
  } else if (isAsciiText(name)) {
    return false;
  }
  // Full case folding can map other letters onto ASCII ones.
  return isEqualToString(name, asciiName, true);
}

// The names the order pass acts on.
enum class OrderName { kOther, kHtml, kHead, kBody, kTable, kBase };

OrderName orderNameOf(UStringView name) {
  if (name.empty()) return OrderName::kOther;
  // Most names are ruled out by their first letter alone.
  switch (name[0]) {
    case u'h':
    case u'H':
      if (nameIs(name, u"HTML")) return OrderName::kHtml;
      if (nameIs(name, u"HEAD")) return OrderName::kHead;
      return OrderName::kOther;
    case u'b':
    case u'B':
      if (nameIs(name, u"BODY")) return OrderName::kBody;
      if (nameIs(name, u"BASE")) return OrderName::kBase;
      return OrderName::kOther;
    case u't':
    case u'T':
      return nameIs(name, u"TABLE") ? OrderName::kTable : OrderName::kOther;
    default:
      break;
  }
  if (name[0] < 0x80) return OrderName::kOther;
  if (nameIs(name, u"HTML")) return OrderName::kHtml;
  if (nameIs(name, u"HEAD")) return OrderName::kHead;
  if (nameIs(name, u"BODY")) return OrderName::kBody;
  if (nameIs(name, u"TABLE")) return OrderName::kTable;
  if (nameIs(name, u"BASE")) return OrderName::kBase;
  return OrderName::kOther;
}

// The direct content of every entry of a tag list, in source order.
class DirectContent {
 public:
  explicit DirectContent(const VmkTagLocationList& list) {
    const size_t n = list.size();
    std::vector<int32_t> parent(n, -1);
    std::vector<int32_t> counts(n + 1, 0);
    // Entries before the current one with strictly increasing depth: the candidates for the
    // nearest less deep entry of whatever comes next.
    std::vector<int32_t> open;
    for (size_t i = 0; i < n; ++i) {
      const int32_t depth = list[i]->tagDepth();
      while (!open.empty() && list[size_t(open.back())]->tagDepth() >= depth) open.pop_back();
      if (!open.empty() && list[size_t(open.back())]->tagDepth() == depth - 1) {
        parent[i] = open.back();
        ++counts[size_t(open.back()) + 1];
      }
      open.push_back(int32_t(i));
    }
    start_.assign(n + 1, 0);
    for (size_t i = 0; i < n; ++i) start_[i + 1] = start_[i] + counts[i + 1];
    children_.resize(size_t(start_[n]));
    std::vector<int32_t> fill(start_.begin(), start_.end() - 1);
    for (size_t i = 0; i < n; ++i)
      if (parent[i] >= 0) children_[size_t(fill[size_t(parent[i])]++)] = int32_t(i);
  }

  // Indices of the entries in the direct content of entry i, in source order.
  std::pair<const int32_t*, const int32_t*> of(size_t i) const {
    const int32_t* base = children_.data();
    return {base + start_[i], base + start_[i + 1]};
  }

 private:
  std::vector<int32_t> start_;  // per entry, the first of its children in children_
  std::vector<int32_t> children_;
};

// One row of a state machine over the parts of an element: a part name is accepted while the
// state is at most `acceptedUpTo`; `next` gives the new state from the old one.
struct OrderRule {
  UStringView name;
  int acceptedUpTo;
  int (*next)(int state);
};

// The sections of html.
constexpr OrderRule kSectionRules[] = {
    {u"HEAD", 0, [](int) { return 1; }},
    {u"BODY", 1, [](int s) { return s + 1; }},
    {u"FRAMESET", 1, [](int s) { return s + 1; }},
    {u"PLAINTEXT", 2, [](int s) { return s + 1; }},
};

// The parts of a table.
constexpr OrderRule kTableRules[] = {
    {u"CAPTION", 0, [](int) { return 1; }},  {u"COL", 2, [](int) { return 2; }},
    {u"COLGROUP", 2, [](int) { return 2; }}, {u"THEAD", 2, [](int) { return 3; }},
    {u"TFOOT", 3, [](int) { return 4; }},    {u"TBODY", 5, [](int) { return 5; }},
    {u"TR", 5, [](int) { return 5; }},
};

template <size_t N>
const OrderRule* ruleFor(const OrderRule (&rules)[N], UStringView name) {
  for (const OrderRule& rule : rules)
    if (nameIs(name, rule.name)) return &rule;
  return nullptr;
}

constexpr UStringView kAbsoluteBasePrefix = u"http://";

}  // namespace

void VmkHTMLChecker::checkElementReleations() {
  if (tagLocations_.empty()) return;
  const VmkDictionary* dictionary = htmlDictionary_.get();
  const DirectContent content(tagLocations_);
  // Per element name: text may stand directly inside it.
  std::unordered_map<UString, bool> takesText;

  for (size_t i = 0; i < tagLocations_.size(); ++i) {
    const VmkTagLocation& tag = *tagLocations_[i];
    const UString& name = tag.elementName();

    if (tag.isTextRun()) {
      checkCharRefFor(tag);
      continue;
    }
    if (tag.isEndTag()) {
      if (isXHTML && !tag.pairTag() && tag.endTagType() == kEndTagEmpty)
        registerAnErrorWithCode("XHTMLDuplicateEndTag", tag.tagRange(),
                                std::vector<UString>{name.substr(1)});
      continue;
    }
    if (!dictionary) continue;

    auto [first, last] = content.of(i);
    bool known = false, asked = false, allowsText = false;
    for (const int32_t* c = first; c != last; ++c) {
      const VmkTagLocation& child = *tagLocations_[size_t(*c)];
      if (!child.isTextRun()) continue;
      if (!asked) {
        asked = true;
        known = dictionary->isExistElement(name);
        if (known) {
          auto it = takesText.find(name);
          if (it == takesText.end())
            it = takesText
                     .emplace(name, dictionary->isChildElement(u"#PCDATA", name) == 1 ||
                                        dictionary->isChildElement(u"CDATA", name) == 1)
                     .first;
          allowsText = it->second;
        }
      }
      if (!known || allowsText) break;
      registerAnErrorWithCode("DataCantBeInserted", child.tagRange(),
                              std::vector<UString>{UString(), name});
    }
  }
}

void VmkHTMLChecker::checkSpecialTagsOrder() {
  if (tagLocations_.empty()) return;
  checkXmlDoctypeHtmlTagOrder();

  const size_t n = tagLocations_.size();
  const DirectContent content(tagLocations_);

  // The last entry named HEAD, at any depth; and, made when an html element asks for them, the
  // entries named like a section of html, by depth, in source order.
  int64_t lastHead = -1;
  for (size_t i = n; i-- > 0 && lastHead < 0;)
    if (orderNameOf(tagLocations_[i]->elementName()) == OrderName::kHead) lastHead = int64_t(i);
  std::map<int32_t, std::vector<int32_t>> sectionsByDepth;
  bool sectionsMade = false;

  // Attributes holding URLs met so far in linkable elements.
  uint64_t urlAttributeCount = 0;

  for (size_t i = 0; i < n; ++i) {
    VmkTagLocation& tag = *tagLocations_[i];
    const UString& name = tag.elementName();
    if (tag.isTextRun() || tag.isEndTag()) continue;
    const int32_t depth = tag.tagDepth() + 1;
    const OrderName kind = orderNameOf(name);

    if (kind == OrderName::kHtml) {
      if (!tag.pairTag() && !FindMyEndTag(tag)) {
        registerAnErrorWithCode("HtmlEndTagNotFound", tag.tagRange());
      } else {
        if (!sectionsMade) {
          sectionsMade = true;
          for (size_t j = 0; j < n; ++j)
            if (ruleFor(kSectionRules, tagLocations_[j]->elementName()))
              sectionsByDepth[tagLocations_[j]->tagDepth()].push_back(int32_t(j));
        }
        if (auto it = sectionsByDepth.find(depth); it != sectionsByDepth.end()) {
          const std::vector<int32_t>& sections = it->second;
          int state = 0;
          for (auto s = std::upper_bound(sections.begin(), sections.end(), int32_t(i));
               s != sections.end(); ++s) {
            const VmkTagLocation& section = *tagLocations_[size_t(*s)];
            const OrderRule* rule = ruleFor(kSectionRules, section.elementName());
            if (state <= rule->acceptedUpTo)
              state = rule->next(state);
            else
              registerAnErrorWithCode("WrongElementsOrder", section.tagRange(),
                                      std::vector<UString>{section.elementName(), name});
          }
        }
        if (lastHead <= int64_t(i))
          registerAnErrorWithCode("HeadElementIsRecomended", tag.tagRange());
      }
    } else if (kind == OrderName::kHead) {
      auto [first, last] = content.of(i);
      bool hasTitle = false;
      for (const int32_t* c = first; c != last && !hasTitle; ++c)
        hasTitle = nameIs(tagLocations_[size_t(*c)]->elementName(), u"TITLE");
      if (!hasTitle) registerAnErrorWithCode("NoTitleTagInHead", tag.tagRange());
    } else if (kind == OrderName::kBody) {
      if (!tag.pairTag() && !FindMyEndTag(tag))
        registerAnErrorWithCode("BodyEndTagNotFound", tag.tagRange());
    } else if (kind == OrderName::kTable) {
      auto [first, last] = content.of(i);
      int state = 0;
      for (const int32_t* c = first; c != last; ++c) {
        const VmkTagLocation& part = *tagLocations_[size_t(*c)];
        const OrderRule* rule = ruleFor(kTableRules, part.elementName());
        if (!rule) continue;
        if (state <= rule->acceptedUpTo)
          state = rule->next(state);
        else
          registerAnErrorWithCode("WrongElementsOrder", part.tagRange(),
                                  std::vector<UString>{part.elementName(), name});
      }
    } else if (kind == OrderName::kBase) {
      if (urlAttributeCount > 0)
        registerAnErrorWithCode("BaseTagMustBeTopInHeadSection", tag.tagRange());
      if (tag.attributes()) {
        for (const VmkAttribute& attribute : *tag.attributes()) {
          if (!nameIs(attribute.name, u"href")) continue;
          // An href written without a value names no address at all; it is reported at its
          // name, the only place it has.
          if (!attribute.value) {
            registerAnErrorWithCode("BaseURLMustBeAbsolute", attribute.nameRange);
            continue;
          }
          UStringView prefix = UStringView(*attribute.value).substr(0, kAbsoluteBasePrefix.size());
          if (!nameIs(prefix, kAbsoluteBasePrefix))
            registerAnErrorWithCode("BaseURLMustBeAbsolute", attribute.valueRange);
        }
      }
    }

    if (tag.attributes() && gLinkableTags().containsIgnoringCase(name)) {
      for (const VmkAttribute& attribute : *tag.attributes())
        if (gUrlAttributes().containsIgnoringCase(attribute.name)) ++urlAttributeCount;
    }
  }
}

}  // namespace vmk
