// The strict content checks: each element's content against its content model, and against
// the exclusions and inclusions of the elements around it, as a validator that reads the DTD
// itself sees them. On only with "Vmk_StrictDTDChecks".
//
// One pass over the list after the tree walk, which decided where each element's content ends
// (entryContentEnds_), so that the tree is the walk's. A stack of open elements holds, per
// element, its automaton and state; elements whose start tag may be omitted and that the
// document leaves out (HTML, HEAD, BODY, TBODY) are inferred where the content needs them and
// end where their parent's content does, or before an entry only their parent takes.
#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "dictionary/ContentAutomata.h"
#include "dictionary/VmkDictionary.h"
#include "engine/NamePredicates.h"
#include "engine/TagTree.h"
#include "engine/VmkHTMLChecker.h"

namespace vmk {

namespace {

using Automaton = ContentAutomata::Automaton;

constexpr int32_t kDocument = -1;     // the element number of the frame of the whole list
constexpr int32_t kUnasked = -3;      // a spelling not looked up yet
constexpr int32_t kNoElement = -2;    // a spelling that names no element of the dictionary
constexpr int kMaxInferredChain = 3;  // document -> HTML -> HEAD, TABLE -> TBODY

struct Frame {
  int32_t entry;    // the start tag's place in the list; -1 for inferred and document frames
  int32_t element;  // element number, kDocument for the document
  const Automaton* automaton;
  int32_t state;
  int32_t contentEnd;  // the place of the first entry after the content
  bool inferred;
  int32_t context;  // index of the exclusions and inclusions in force inside
};

// The exclusions and inclusions in force inside an element: its own and its ancestors'.
struct Context {
  ContentAutomata::ElementSet excluded;
  ContentAutomata::ElementSet included;
};

bool isBlankText(UStringView text) {
  return std::all_of(text.begin(), text.end(), [](char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
  });
}

class ContentModelPass {
 public:
  ContentModelPass(VmkHTMLChecker& checker, const VmkDictionary& dictionary,
                   const ContentAutomata& automata, const VmkTagLocationList& list,
                   const TagNameIndex& index, const ContentEnds& unpairedEnds, UStringView text)
      : checker_(checker),
        dictionary_(dictionary),
        automata_(automata),
        list_(list),
        index_(index),
        unpairedEnds_(unpairedEnds),
        text_(text),
        elementOfSpelling_(size_t(index.spellingCount()), kUnasked) {
    for (int32_t e = 0; e < automata_.elementCount(); ++e) {
      const Automaton& a = automata_.automaton(e);
      if (a.omissibleStart && a.kind == ContentAutomata::Kind::kModel) omissible_.push_back(e);
    }
    contexts_.push_back(Context());
  }

  void run() {
    const int32_t n = int32_t(list_.size());
    frames_.push_back(Frame{-1, kDocument, &automata_.document(), 0, n, false, 0});
    for (int32_t j = 0; j < n; ++j) {
      while (frames_.size() > 1 && frames_.back().contentEnd <= j) closeFrame(j);
      const int32_t spelling = index_.spellingKey(size_t(j));
      if (index_.isEndTag(size_t(j))) continue;
      const VmkTagLocation& entry = *list_[size_t(j)];
      if (isTextRunName(entry.elementName())) {
        text(j, entry);
        continue;
      }
      const int32_t element = elementOf(spelling, entry.elementName());
      if (element < 0) continue;  // comments, declarations, unknown elements
      child(j, element);
      const int32_t end = contentEnd(j, entry);
      if (end >= 0) openFrame(j, element, std::max(end, j + 1), false);
    }
    while (frames_.size() > 1) closeFrame(n);
  }

 private:
  // Where the content of the element at j ends, as the walk decided; -1 when the walk opened
  // no element there. Asked with ascending j.
  int32_t contentEnd(int32_t j, const VmkTagLocation& entry) {
    const int32_t type = entry.endTagType();
    if (type != 0 && type != 1) return -1;
    if (const VmkTagLocation* end = entry.pairTag()) return int32_t(end->listIndex());
    while (unpairedCursor_ < unpairedEnds_.size() && unpairedEnds_[unpairedCursor_].first < j) {
      ++unpairedCursor_;
    }
    if (unpairedCursor_ < unpairedEnds_.size() && unpairedEnds_[unpairedCursor_].first == j) {
      return unpairedEnds_[unpairedCursor_].second;
    }
    return -1;
  }

  int32_t elementOf(int32_t spelling, const UString& name) {
    int32_t& slot = elementOfSpelling_[size_t(spelling)];
    if (slot == kUnasked) {
      slot = kNoElement;
      if (!isSpecialElement(name) && !isEndTagName(name)) {
        int32_t e = automata_.elementNumber(dictionary_.foldElementName(name));
        if (e >= 0) slot = e;
      }
    }
    return slot;
  }

  UString nameOf(const Frame& frame) const {
    return frame.entry >= 0 ? list_[size_t(frame.entry)]->elementName()
                            : automata_.elementName(frame.element);
  }

  void openFrame(int32_t entry, int32_t element, int32_t contentEnd, bool inferred) {
    const Automaton& a = automata_.automaton(element);
    int32_t context = frames_.back().context;
    if (!a.exclusions.empty() || !a.inclusions.empty()) {
      Context made = contexts_[size_t(context)];
      auto add = [](ContentAutomata::ElementSet& into, const ContentAutomata::ElementSet& from) {
        if (into.size() < from.size()) into.resize(from.size());
        for (size_t w = 0; w < from.size(); ++w) into[w] |= from[w];
      };
      add(made.excluded, a.exclusions);
      add(made.included, a.inclusions);
      contexts_.push_back(std::move(made));
      context = int32_t(contexts_.size() - 1);
    }
    frames_.push_back(Frame{entry, element, &a, 0, contentEnd, inferred, context});
  }

  // Ends the top element before the entry at place `before` (the list's length at the end).
  void closeFrame(int32_t before) {
    const Frame frame = frames_.back();
    frames_.pop_back();
    if (frame.context != frames_.back().context) contexts_.pop_back();
    if (automata_.accepts(*frame.automaton, frame.state)) return;
    const UString name = nameOf(frame);
    if (isEqualToString(name, u"HEAD", true)) return;  // a missing TITLE has its own report
    Range range;
    if (frame.inferred) {
      const int32_t at = std::min(before, int32_t(list_.size()) - 1);
      range = list_[size_t(at)]->tagRange();
    } else {
      const VmkTagLocation& start = *list_[size_t(frame.entry)];
      range = start.pairTag() ? start.pairTag()->tagRange() : start.tagRange();
    }
    checker_.registerAnErrorWithCode("RequiredElementMissing", range,
                                     std::vector<UString>{name, expected(frame)});
  }

  UString expected(const Frame& frame) const {
    UString out;
    for (int32_t e : automata_.expected(*frame.automaton, frame.state)) {
      if (!out.empty()) out += u'|';
      out += automata_.elementName(e);
    }
    return out;
  }

  // The elements whose start tags may be omitted that, opened in this order from `state` of
  // `from`, take `element` first or include it; empty when there are none.
  const std::vector<int32_t>& inferredChain(const Frame& frame, int32_t element) {
    const Automaton& from = *frame.automaton;
    const int32_t state = frame.state;
    // States are fewer than 2^16 and so are elements.
    const uint64_t key = (uint64_t(uint32_t(frame.element + 1)) << 32) |
                         (uint64_t(uint32_t(state)) << 16) | uint64_t(uint32_t(element));
    auto [it, added] = chains_.try_emplace(key);
    if (added) {
      std::vector<int32_t> chain;
      if (findChain(from, state, element, kMaxInferredChain, chain)) it->second = chain;
    }
    return it->second;
  }

  bool findChain(const Automaton& from, int32_t state, int32_t element, int depth,
                 std::vector<int32_t>& chain) {
    if (from.kind != ContentAutomata::Kind::kModel || depth == 0) return false;
    for (int32_t x : omissible_) {
      if (automata_.step(from, state, x) == ContentAutomata::kNoState) continue;
      const Automaton& inner = automata_.automaton(x);
      chain.push_back(x);
      if (automata_.step(inner, 0, element) != ContentAutomata::kNoState ||
          ContentAutomata::contains(inner.inclusions, element) ||
          findChain(inner, 0, element, depth - 1, chain)) {
        return true;
      }
      chain.pop_back();
    }
    return false;
  }

  // Closes the inferred frames above frames_[level].
  void closeAbove(size_t level, int32_t before) {
    while (frames_.size() > level + 1) closeFrame(before);
  }

  void child(int32_t j, int32_t element) {
    const Context& context = contexts_[size_t(frames_.back().context)];
    if (ContentAutomata::contains(context.excluded, element)) {
      for (size_t k = frames_.size(); k-- > 1;) {
        if (ContentAutomata::contains(frames_[k].automaton->exclusions, element)) {
          checker_.registerAnErrorWithCode(
              "ExcludedElement", list_[size_t(j)]->tagRange(),
              std::vector<UString>{list_[size_t(j)]->elementName(), nameOf(frames_[k])});
          return;
        }
      }
      return;
    }
    for (size_t level = frames_.size() - 1;; --level) {
      Frame& frame = frames_[level];
      const int32_t next = automata_.step(*frame.automaton, frame.state, element);
      if (next != ContentAutomata::kNoState) {
        closeAbove(level, j);
        frames_.back().state = next;
        return;
      }
      const std::vector<int32_t>& chain = inferredChain(frame, element);
      if (!chain.empty()) {
        const std::vector<int32_t> opened = chain;  // the cache may grow while frames close
        closeAbove(level, j);
        for (int32_t x : opened) {
          Frame& parent = frames_.back();
          parent.state = automata_.step(*parent.automaton, parent.state, x);
          openFrame(-1, x, parent.contentEnd, true);
        }
        Frame& inner = frames_.back();
        const int32_t taken = automata_.step(*inner.automaton, inner.state, element);
        if (taken != ContentAutomata::kNoState) inner.state = taken;
        return;
      }
      if (ContentAutomata::contains(contexts_[size_t(frame.context)].included, element)) {
        closeAbove(level, j);
        return;
      }
      if (!frame.inferred || level == 0) break;
    }
    // Not allowed here. The parent is the nearest element the document writes.
    size_t parentLevel = frames_.size() - 1;
    while (parentLevel > 0 && frames_[parentLevel].inferred) --parentLevel;
    if (parentLevel == 0) return;  // the top level reports nothing
    const Frame& parent = frames_[parentLevel];
    const VmkTagLocation& entry = *list_[size_t(j)];
    const UString parentName = nameOf(parent);
    if (dictionary_.isChildElement(entry.elementName(), parentName) == 0) return;  // H008
    UString next = expected(frames_.back());
    if (next.empty()) next = u"/" + parentName;
    checker_.registerAnErrorWithCode("ElementOutOfPlace", entry.tagRange(),
                                     std::vector<UString>{entry.elementName(), parentName, next});
  }

  // Text never advances a model. Where the open element takes none, the text may end inferred
  // elements or open an inferred one that takes it; otherwise it is the text checks' report.
  void text(int32_t j, const VmkTagLocation& entry) {
    const Frame& top = frames_.back();
    if (top.automaton->mixed || top.automaton->kind != ContentAutomata::Kind::kModel) return;
    const Range range = entry.tagRange();
    if (range.max() > text_.size() || isBlankText(text_.substr(range.location, range.length))) {
      return;
    }
    for (size_t level = frames_.size() - 1;; --level) {
      Frame& frame = frames_[level];
      if (frame.automaton->mixed) {
        closeAbove(level, j);
        return;
      }
      if (frame.automaton->kind == ContentAutomata::Kind::kModel) {
        for (int32_t x : omissible_) {
          const Automaton& inner = automata_.automaton(x);
          if (!inner.mixed) continue;
          const int32_t next = automata_.step(*frame.automaton, frame.state, x);
          if (next == ContentAutomata::kNoState) continue;
          closeAbove(level, j);
          Frame& parent = frames_.back();
          parent.state = next;
          openFrame(-1, x, parent.contentEnd, true);
          return;
        }
      }
      if (!frame.inferred || level == 0) return;
    }
  }

  VmkHTMLChecker& checker_;
  const VmkDictionary& dictionary_;
  const ContentAutomata& automata_;
  const VmkTagLocationList& list_;
  const TagNameIndex& index_;
  const ContentEnds& unpairedEnds_;
  size_t unpairedCursor_ = 0;
  UStringView text_;
  std::vector<int32_t> elementOfSpelling_;
  std::vector<int32_t> omissible_;  // elements whose start tag may be omitted
  std::vector<Frame> frames_;
  std::vector<Context> contexts_;
  std::unordered_map<uint64_t, std::vector<int32_t>> chains_;
};

}  // namespace

void VmkHTMLChecker::checkContentModels() {
  if (!contentAutomata_ || !htmlDictionary_ || tagLocations_.empty()) return;
  // The walk made the name index; the order pass may be asking it at the same time.
  const TagNameIndex& index = tagNameIndex_ ? *tagNameIndex_ : currentTagNameIndex();
  ContentModelPass(*this, *htmlDictionary_, *contentAutomata_, tagLocations_, index,
                   entryContentEnds_, sourceBuffer())
      .run();
}

void VmkHTMLChecker::dropElementsReportedOutOfOrder(ErrorSink& strict,
                                                    const VmkErrorLocationList& order) {
  std::unordered_set<uint32_t> reported;
  for (const VmkErrorLocationRef& error : order) {
    if (error->errorCode() == "WrongElementsOrder") reported.insert(error->errorRange().location);
  }
  if (reported.empty()) return;
  std::erase_if(strict.errors, [&](const VmkErrorLocationRef& error) {
    return error->errorCode() != "RequiredElementMissing" &&
           reported.contains(error->errorRange().location);
  });
}

}  // namespace vmk
