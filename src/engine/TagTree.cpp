#include "engine/TagTree.h"

#include <algorithm>
#include <unordered_map>

#include "engine/NamePredicates.h"

namespace vmk {
namespace {

constexpr int32_t kNone = -1;

class TagTreeWalker {
 public:
  TagTreeWalker(VmkTagLocationList& list, const TagNameIndex& index, const TagTreeRules& rules,
                const TagTreeReporter& report)
      : list_(list),
        index_(index),
        rules_(rules),
        report_(report),
        n_(int32_t(list.size())),
        depthDelta_(list.size() + 1, 0) {
    // Per spelling: a name that never opens an element with content (a declaration, comment,
    // processing instruction or text run).
    plainName_.resize(size_t(spellings_));
    for (int32_t k = 0; k < spellings_; ++k) {
      const UString& name = index_.spellingText(k);
      plainName_[size_t(k)] = isSpecialElement(name) || isTextRunName(name);
    }
  }

  void run(std::vector<int32_t>* depths, ContentEnds* contentEnds) {
    contentEnds_ = contentEnds;
    if (contentEnds_) contentEnds_->clear();
    int32_t t = n_ > 0 ? 0 : kNone;
    while (t != kNone) t = nextBrotherTagLocation(t);
    if (contentEnds_) std::sort(contentEnds_->begin(), contentEnds_->end());
    // Each finished element added one to the depth of the entries in [first, last); the
    // difference array holds those ranges. Once read, its slot holds the entry's depth.
    int32_t depth = 0;
    for (int32_t i = 0; i < n_; ++i) {
      depth += depthDelta_[size_t(i)];
      VmkTagLocation& entry = at(i);
      entry.setTagDepth(entry.tagDepth() + depth);
      entry.setListIndex(uint32_t(i));
      depthDelta_[size_t(i)] = entry.tagDepth();
    }
    if (depths) {
      depthDelta_.resize(size_t(n_));
      *depths = std::move(depthDelta_);
    }
  }

 private:
  // One element being processed: the state of its loop over the entries inside it.
  struct Frame {
    int32_t tag;      // T
    bool required;    // end tag required (type 0) rather than omissible (type 1)
    int32_t first;    // the entry after T
    int32_t current;  // c
    int32_t last;
    int32_t result;  // omissible elements: the entry to return
  };

  enum class Step { Call, Finish, ReturnNow };

  VmkTagLocation& at(int32_t i) { return *list_[size_t(i)]; }
  int32_t following(int32_t i) const { return i + 1 < n_ ? i + 1 : kNone; }
  UStringView nameOf(int32_t i) { return at(i).elementName(); }
  UStringView elementOf(int32_t i) {  // the name without the "/" of an end tag
    UStringView name = nameOf(i);
    return isEndTagName(name) ? name.substr(1) : name;
  }
  bool isEnd(int32_t i) const { return index_.isEndTag(size_t(i)); }
  bool knows(UStringView element) const {
    return rules_.isExistElement && rules_.isExistElement(element);
  }
  // The dictionary's answer depends on the two names only: asked once per pair of
  // spellings.
  int childTest(int32_t child, int32_t parent) {
    if (!rules_.isChildElement) return -1;
    const int32_t c = index_.spellingKey(size_t(child));
    const int32_t p = index_.spellingKey(size_t(parent));
    int8_t* slot;
    if (spellings_ <= kDenseSpellings) {
      if (childAnswers_.empty())
        childAnswers_.assign(size_t(spellings_) * size_t(spellings_), kUnasked);
      slot = &childAnswers_[size_t(c) * size_t(spellings_) + size_t(p)];
    } else {
      slot = &sparseChildAnswers_.try_emplace((uint64_t(uint32_t(c)) << 32) | uint32_t(p), kUnasked)
                  .first->second;
    }
    if (*slot == kUnasked) *slot = int8_t(rules_.isChildElement(nameOf(child), nameOf(parent)));
    return *slot;
  }
  void report(std::string_view code, int32_t entry, std::vector<UString> subStrings) {
    report_(code, at(entry).tagRange(), std::move(subStrings));
  }

  // Entries that are not elements with content: end tags (stray here), declarations,
  // comments, text and elements without a required or omissible end tag.
  bool isLeaf(int32_t t, int32_t& next) {
    if (isEnd(t)) {
      UStringView element = elementOf(t);
      if (knows(element)) report("StartTagNotFound", t, {UString(element)});
      next = following(t);
      return true;
    }
    if (plainName_[size_t(index_.spellingKey(size_t(t)))]) {
      next = following(t);
      return true;
    }
    int32_t type = at(t).endTagType();
    if (type == 0 || type == 1) return false;
    next = following(t);
    return true;
  }

  Frame open(int32_t t) {
    int32_t first = following(t);
    return Frame{t, at(t).endTagType() == 0, first, first, first, kNone};
  }

  // Pairs T with its end tag c.
  void pair(Frame& f, int32_t c) {
    VmkTagLocation& start = at(f.tag);
    VmkTagLocation& end = at(c);
    f.last = c;
    start.setPairTag(&end);
    end.setPairTag(&start);
    // No finished element has added to T's or c's depth yet (ranges of finished elements
    // end before the entries still to be visited), so this is T's depth at this moment.
    end.setTagDepth(start.tagDepth());
    UStringView name = start.elementName();
    if (c == f.first && !isEqualToString(name, u"TD", true) &&
        !isEqualToString(name, u"TEXTAREA", true) && !rules_.isXML)
      report("NoDataBetweenStartAndEndTags", f.tag, {UString(name)});
  }

  // The element with a required end tag cannot find it: it ends before c.
  Step endTagNotFound(Frame& f, int32_t& returned) {
    report("EndTagNotFound", f.tag, {UString(nameOf(f.tag))});
    if (f.current == f.first) {
      if (contentEnds_) contentEnds_->emplace_back(f.tag, f.first);
      returned = f.current;
      return Step::ReturnNow;
    }
    f.current = f.current - 1;
    f.last = f.current;
    return Step::Finish;
  }

  // Runs T's loop until it needs to process a nested element (Call, with `callee`), or
  // leaves the loop (Finish), or returns at once (ReturnNow, with `returned`).
  Step advance(Frame& f, int32_t& callee, int32_t& returned) {
    while (f.current != kNone) {
      const int32_t c = f.current;
      if (f.required) {
        if (isEnd(c)) {
          if (index_.sameElementName(size_t(c), size_t(f.tag))) {
            pair(f, c);
            return Step::Finish;
          }
          if (at(c).endTagType() == 2) {
            UStringView element = elementOf(c);
            if (knows(element) && !rules_.isXML)
              report("NoEndTagForThisElement", c, {UString(element)});
            f.current = following(c);
            continue;
          }
          if (index_.findMyEndTag(size_t(f.tag)) == kNone) return endTagNotFound(f, returned);
          callee = c;
          return Step::Call;
        }
        if (childTest(c, f.tag) != 0) {
          callee = c;
          return Step::Call;
        }
        if (index_.findMyEndTag(size_t(f.tag)) == kNone) return endTagNotFound(f, returned);
        report("CantBeChildElement", c, {UString(nameOf(c)), UString(nameOf(f.tag))});
        callee = c;
        return Step::Call;
      }

      // End tag may be omitted.
      if (isEnd(c) && index_.sameElementName(size_t(c), size_t(f.tag))) {
        pair(f, c);
        f.result = following(c);
        return Step::Finish;
      }
      if (isEnd(c) && at(c).endTagType() == 2) {
        UStringView element = elementOf(c);
        if (knows(element)) report("NoEndTagForThisElement", c, {UString(element)});
        f.current = following(c);
        continue;
      }
      if (isEnd(c) || childTest(c, f.tag) == 0) {
        if (!index_.endTagFollows(size_t(f.tag), size_t(c))) {
          UStringView name = nameOf(f.tag);
          if (!dontWarnEvenIfNoEndTag(name))
            report("EndTagMayBeOmitted", c, {UString(nameOf(c)), UString(name)});
          f.last = c;
          f.result = c;
          return Step::Finish;
        }
        report("CantBeChildElement", c, {UString(nameOf(c)), UString(nameOf(f.tag))});
      }
      callee = c;
      return Step::Call;
    }
    return Step::Finish;
  }

  // After T's loop: depth of the entries inside, and the entry after the element.
  int32_t finish(Frame& f) {
    if (contentEnds_ && !at(f.tag).pairTag()) {
      contentEnds_->emplace_back(f.tag, f.current == kNone ? n_ : f.last);
    }
    if (f.first != kNone && f.last > f.first) {
      depthDelta_[size_t(f.first)] += 1;
      depthDelta_[size_t(f.last)] -= 1;
    }
    if (!f.required) return f.result;
    if (f.current == kNone) {
      report("EndTagNotFound", f.tag, {UString(nameOf(f.tag))});
      return kNone;
    }
    return following(f.current);
  }

  // Processes the element that begins at t and everything inside it; returns its next
  // sibling, or kNone when the walk must stop.
  int32_t nextBrotherTagLocation(int32_t t) {
    int32_t returned = kNone;
    if (isLeaf(t, returned)) return returned;
    stack_.push_back(open(t));
    for (;;) {
      int32_t callee = kNone;
      Step step = advance(stack_.back(), callee, returned);
      if (step == Step::Call) {
        int32_t next = kNone;
        if (isLeaf(callee, next))
          stack_.back().current = next;
        else
          stack_.push_back(open(callee));
        continue;
      }
      if (step == Step::Finish) returned = finish(stack_.back());
      stack_.pop_back();
      if (stack_.empty()) return returned;
      stack_.back().current = returned;
    }
  }

  VmkTagLocationList& list_;
  const TagNameIndex& index_;
  const TagTreeRules& rules_;
  const TagTreeReporter& report_;
  const int32_t n_;
  static constexpr int8_t kUnasked = -2;
  static constexpr int32_t kDenseSpellings = 512;
  const int32_t spellings_ = index_.spellingCount();
  std::vector<uint8_t> plainName_;
  std::vector<int8_t> childAnswers_;
  std::unordered_map<uint64_t, int8_t> sparseChildAnswers_;
  std::vector<int32_t> depthDelta_;
  std::vector<Frame> stack_;
  ContentEnds* contentEnds_ = nullptr;
};

}  // namespace

void walkTagTree(VmkTagLocationList& list, const TagNameIndex& index, const TagTreeRules& rules,
                 const TagTreeReporter& report, std::vector<int32_t>* depths,
                 ContentEnds* contentEnds) {
  TagTreeWalker(list, index, rules, report).run(depths, contentEnds);
}

}  // namespace vmk
