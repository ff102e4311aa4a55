// Element structure checks: text and empty end tags inside elements, and the document-level
// order of html, head, body, table and base.
//
// Both passes ask which entries form the direct content of an element (see DirectContent),
// and what an entry's name is: answered once per distinct name (by the name index's spelling
// keys), so that most entries of a large list are never looked at.
#include <algorithm>
#include <atomic>
#include <map>
#include <unordered_map>

#include "dictionary/VmkDictionary.h"
#include "engine/DirectContent.h"
#include "engine/ElementCheckWork.h"
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
  checkElementReleations(DirectContent(tagLocations_));
}

void VmkHTMLChecker::checkElementReleations(const DirectContent& content) {
  if (tagLocations_.empty()) return;
  ElementCheckWork work(*this, content);
  checkElementChunks(work);
  addElementCheckErrors(work);
}

void VmkHTMLChecker::checkElementChunks(ElementCheckWork& work) {
  constexpr auto relaxed = std::memory_order_relaxed;
  const VmkDictionary* dictionary = htmlDictionary_.get();
  const ThreadSinkRestorer restorer;
  for (;;) {
    const size_t chunk = work.nextChunk.fetch_add(1);
    if (chunk >= work.chunkErrors.size()) break;
    threadErrorSink_ = &work.chunkErrors[chunk];
    const size_t from = chunk * ElementCheckWork::kChunk;
    const size_t to = std::min(work.size, from + ElementCheckWork::kChunk);
    size_t ampersandCursor = 0;
    if (scanNotesKnown_) {
      const std::vector<uint32_t>& runs = scanNotes_.ampersandRuns;
      ampersandCursor =
          size_t(std::lower_bound(runs.begin(), runs.end(), uint32_t(from)) - runs.begin());
    }
    for (size_t i = from; i < to; ++i) {
      ElementCheckWork::Facts& f = work.factsOf(i);
      if (f.textRun) {
        // Only an "&" can be reported in a text run: runs the scan met none in are not
        // searched.
        if (!textRunMayHoldAmpersand(i, ampersandCursor)) continue;
        const VmkTagLocation& run = *tagLocations_[i];
        if (i > 0) {
          ElementCheckWork::Facts& p = work.factsOf(i - 1);
          int8_t bare = p.bareAmpersandsAfter.load(relaxed);
          if (bare < 0) {
            bare = textAfterHoldsBareAmpersands(tagLocations_[i - 1]->elementName()) ? 1 : 0;
            p.bareAmpersandsAfter.store(bare, relaxed);
          }
          if (bare == 0) checkCharRefInTextRun(run);
        } else {
          checkCharRefFor(run);
        }
        continue;
      }
      if (f.endTag) {
        if (!isXHTML) continue;
        const int8_t known = f.emptyElementEnd.load(relaxed);
        if (known == 0) continue;
        const VmkTagLocation& tag = *tagLocations_[i];
        const bool emptyElementEnd = tag.endTagType() == kEndTagEmpty;
        if (work.rulesFollowNames && known < 0)
          f.emptyElementEnd.store(emptyElementEnd ? 1 : 0, relaxed);
        if (emptyElementEnd && !tag.pairTag())
          registerAnErrorWithCode("XHTMLDuplicateEndTag", tag.tagRange(),
                                  std::vector<UString>{tag.elementName().substr(1)});
        continue;
      }
      if (!dictionary) continue;

      auto [first, last] = work.content.of(i);
      for (const int32_t* c = first; c != last; ++c) {
        if (!work.factsOf(size_t(*c)).textRun) continue;
        const UString& name = tagLocations_[i]->elementName();
        int8_t takesText = f.takesText.load(relaxed);
        if (takesText < 0) {
          if (!dictionary->isExistElement(name))
            takesText = 2;
          else
            takesText = dictionary->isChildElement(u"#PCDATA", name) == 1 ||
                                dictionary->isChildElement(u"CDATA", name) == 1
                            ? 1
                            : 0;
          f.takesText.store(takesText, relaxed);
        }
        if (takesText != 0) break;
        registerAnErrorWithCode("DataCantBeInserted", tagLocations_[size_t(*c)]->tagRange(),
                                std::vector<UString>{UString(), name});
      }
    }
  }
}

void VmkHTMLChecker::addElementCheckErrors(ElementCheckWork& work) {
  for (ErrorSink& chunk : work.chunkErrors) appendErrors(chunk);
  work.chunkErrors.clear();
}

void VmkHTMLChecker::checkSpecialTagsOrder() {
  if (tagLocations_.empty()) return;
  checkSpecialTagsOrder(DirectContent(tagLocations_));
}

void VmkHTMLChecker::checkSpecialTagsOrder(const DirectContent& content) {
  if (tagLocations_.empty()) return;
  checkXmlDoctypeHtmlTagOrder();

  const size_t n = tagLocations_.size();
  const TagNameIndex& index = currentTagNameIndex();
  // Per spelling (a large list has hundreds of thousands of entries and a few dozen spellings).
  struct Facts {
    bool skipped = false;  // a text run or an end tag
    bool section = false;  // named like a section of html
    bool linkable = false;
    OrderName kind = OrderName::kOther;
  };
  const size_t spellings = size_t(index.spellingCount());
  std::vector<Facts> facts(spellings);
  for (size_t k = 0; k < spellings; ++k) {
    const UString& name = index.spellingText(int32_t(k));
    Facts& f = facts[k];
    f.skipped = isTextRunName(name) || isEndTagName(name);
    f.section = ruleFor(kSectionRules, name) != nullptr;
    f.linkable = gLinkableTags().containsIgnoringCase(name);
    f.kind = orderNameOf(name);
  }
  // Per spelling: whether the loop below looks at its entries. Linkable elements are looked at
  // until an attribute holding a URL was met in one of them.
  std::vector<uint8_t> lookedAt(spellings);
  auto decideLooks = [&](bool linkables) {
    for (size_t k = 0; k < spellings; ++k) {
      const Facts& f = facts[k];
      lookedAt[k] = !f.skipped && (f.kind != OrderName::kOther || (f.linkable && linkables));
    }
  };
  decideLooks(true);
  auto spellingOf = [&](size_t i) { return size_t(index.spellingKey(i)); };

  // The last entry named HEAD, at any depth; and, made when an html element asks for them, the
  // entries named like a section of html, by depth, in source order.
  int64_t lastHead = -1;
  for (size_t i = n; i-- > 0;) {
    if (facts[spellingOf(i)].kind == OrderName::kHead) {
      lastHead = int64_t(i);
      break;
    }
  }
  std::map<int32_t, std::vector<int32_t>> sectionsByDepth;
  bool sectionsMade = false;

  // Whether an attribute holding a URL was met so far in a linkable element: once one was,
  // linkable elements need no further look.
  bool urlAttributeMet = false;

  for (size_t i = 0; i < n; ++i) {
    if (!lookedAt[spellingOf(i)]) continue;
    const Facts& f = facts[spellingOf(i)];
    VmkTagLocation& tag = *tagLocations_[i];
    const UString& name = tag.elementName();
    const int32_t depth = tag.tagDepth() + 1;
    const OrderName kind = f.kind;

    if (kind == OrderName::kHtml) {
      if (!tag.pairTag() && !FindMyEndTag(tag)) {
        registerAnErrorWithCode("HtmlEndTagNotFound", tag.tagRange());
      } else {
        if (!sectionsMade) {
          sectionsMade = true;
          for (size_t j = 0; j < n; ++j)
            if (facts[spellingOf(j)].section)
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
      if (urlAttributeMet) registerAnErrorWithCode("BaseTagMustBeTopInHeadSection", tag.tagRange());
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

    if (f.linkable && !urlAttributeMet && tag.attributes()) {
      for (const VmkAttribute& attribute : *tag.attributes())
        if (gUrlAttributes().containsIgnoringCase(attribute.name)) urlAttributeMet = true;
      if (urlAttributeMet) decideLooks(false);
    }
  }
}

}  // namespace vmk
