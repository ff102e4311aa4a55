// A literal, slow tree walk for the tests: recursive, one level per nesting level, following
// the prevTag / nextTag neighbours, with FindMyEndTag and the omitted-end-tag look-ahead walking
// the list, and depth increments applied entry by entry. The engine's walk must give the same
// pairs, depths and reports on every list.
#pragma once

#include "engine/NamePredicates.h"
#include "engine/TagTree.h"
#include "engine/VmkTagLocation.h"

namespace vmk::test {

class ReferenceTagTree {
 public:
  ReferenceTagTree(VmkTagLocationList& list, const TagTreeRules& rules,
                   const TagTreeReporter& report)
      : list_(list), rules_(rules), report_(report) {}

  void run() {
    if (list_.empty()) return;
    VmkTagLocation* t = list_.front().get();
    while (t) t = nextBrotherTagLocation(t);
  }

  static VmkTagLocation* findMyEndTag(const VmkTagLocationList& list, VmkTagLocation* tag) {
    const UString& n = tag->elementName();
    const UString e = u"/" + n;
    int count = 0;
    for (VmkTagLocation* p = tag->prevTag(list); p; p = p->prevTag(list)) {
      if (isEqualToString(p->elementName(), n, true)) ++count;
      if (isEqualToString(p->elementName(), e, true)) --count;
    }
    for (VmkTagLocation* p = tag->nextTag(list); p; p = p->nextTag(list)) {
      if (isEqualToString(p->elementName(), n, true)) {
        ++count;
      } else if (isEqualToString(p->elementName(), e, true)) {
        if (count == 0) return p;
        --count;
      }
    }
    return nullptr;
  }

 private:
  static bool isEnd(const VmkTagLocation* t) { return isEndTagName(t->elementName()); }
  static UString bare(const VmkTagLocation* t) { return t->elementName().substr(1); }
  bool knows(const UString& name) const {
    return rules_.isExistElement && rules_.isExistElement(name);
  }
  int child(const VmkTagLocation* c, const VmkTagLocation* t) const {
    return rules_.isChildElement ? rules_.isChildElement(c->elementName(), t->elementName()) : -1;
  }
  bool closes(const VmkTagLocation* c, const VmkTagLocation* t) const {
    return isEnd(c) && isEqualToString(bare(c), t->elementName(), true);
  }
  void pair(VmkTagLocation* t, VmkTagLocation* c) {
    t->setPairTag(c);
    c->setPairTag(t);
    c->setTagDepth(t->tagDepth());
    if (c == t->nextTag(list_) && !isEqualToString(t->elementName(), u"TD", true) &&
        !isEqualToString(t->elementName(), u"TEXTAREA", true) && !rules_.isXML)
      report_("NoDataBetweenStartAndEndTags", t->tagRange(), {t->elementName()});
  }
  void deepen(VmkTagLocation* first, VmkTagLocation* last) {
    for (VmkTagLocation* p = first; p && p != last; p = p->nextTag(list_))
      p->setTagDepth(p->tagDepth() + 1);
  }

  VmkTagLocation* nextBrotherTagLocation(VmkTagLocation* t) {
    const UString& name = t->elementName();
    if (isEnd(t)) {
      if (knows(bare(t))) report_("StartTagNotFound", t->tagRange(), {bare(t)});
      return t->nextTag(list_);
    }
    if (isSpecialElement(name) || isTextRunName(name)) return t->nextTag(list_);

    if (t->endTagType() == 0) {
      VmkTagLocation* first = t->nextTag(list_);
      VmkTagLocation* c = first;
      VmkTagLocation* last = first;
      while (c) {
        if (closes(c, t)) {
          last = c;
          pair(t, c);
          break;
        }
        if (isEnd(c) && c->endTagType() == 2) {
          if (knows(bare(c)) && !rules_.isXML)
            report_("NoEndTagForThisElement", c->tagRange(), {bare(c)});
          c = c->nextTag(list_);
          continue;
        }
        if (!isEnd(c) && child(c, t) != 0) {
          c = nextBrotherTagLocation(c);
          continue;
        }
        if (!findMyEndTag(list_, t)) {
          report_("EndTagNotFound", t->tagRange(), {name});
          if (c == first) return c;
          c = c->prevTag(list_);
          last = c;
          break;
        }
        if (!isEnd(c)) report_("CantBeChildElement", c->tagRange(), {c->elementName(), name});
        c = nextBrotherTagLocation(c);
      }
      deepen(first, last);
      if (!c) {
        report_("EndTagNotFound", t->tagRange(), {name});
        return nullptr;
      }
      return c->nextTag(list_);
    }

    if (t->endTagType() == 1) {
      VmkTagLocation* first = t->nextTag(list_);
      VmkTagLocation* c = first;
      VmkTagLocation* last = first;
      VmkTagLocation* result = nullptr;
      while (c) {
        if (closes(c, t)) {
          last = c;
          pair(t, c);
          result = c->nextTag(list_);
          break;
        }
        if (isEnd(c) && c->endTagType() == 2) {
          if (knows(bare(c))) report_("NoEndTagForThisElement", c->tagRange(), {bare(c)});
          c = c->nextTag(list_);
          continue;
        }
        if (isEnd(c) || child(c, t) == 0) {
          bool follows = false;
          for (VmkTagLocation* p = c; p; p = p->nextTag(list_)) {
            if (isEqualToString(p->elementName(), name, true)) break;
            if (isEqualToString(p->elementName(), u"/" + name, true)) {
              follows = true;
              break;
            }
          }
          if (!follows) {
            if (!dontWarnEvenIfNoEndTag(name))
              report_("EndTagMayBeOmitted", c->tagRange(), {c->elementName(), name});
            last = c;
            result = c;
            break;
          }
          report_("CantBeChildElement", c->tagRange(), {c->elementName(), name});
        }
        c = nextBrotherTagLocation(c);
      }
      deepen(first, last);
      return result;
    }
    return t->nextTag(list_);
  }

  VmkTagLocationList& list_;
  const TagTreeRules& rules_;
  const TagTreeReporter& report_;
};

}  // namespace vmk::test
