#include "transform/Beautifier.h"

#include <algorithm>

#include "engine/ResultsDisplay.h"
#include "engine/VmkHTMLChecker.h"
#include "errors/MessageTables.h"
#include "host/HostDocument.h"
#include "host/Platform.h"
#include "host/ScriptCommand.h"
#include "settings/VmkUserDefaults.h"
#include "support/FreeMemory.h"
#include "transform/WhiteSpaceRules.h"

namespace vmk {

namespace {

std::vector<UString> lowerCaseNames(const VmkUserDefaults& defaults, std::string_view key) {
  std::vector<UString> names;
  for (const std::string& name : defaults.stringArrayForKey(key)) {
    names.push_back(lowercase(toUtf16(name)));
  }
  return names;
}

bool inNames(const std::vector<UString>& names, UStringView lowerName) {
  return std::find(names.begin(), names.end(), lowerName) != names.end();
}

UString withNameCase(UStringView name, int nameCase) {
  if (nameCase == 1) return uppercase(name);
  if (nameCase == 2) return lowercase(name);
  return UString(name);
}

constexpr bool isTagWhiteSpace(UChar16 c) {
  return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

// The layout of one walk over the items.
class Layout {
 public:
  Layout(const VmkTagLocationList& list, UStringView text, const BeautifySettings& settings)
      : list_(list), text_(text), settings_(settings) {
    out_.reserve(text.size() + text.size() / 4 + 64);
  }

  // Lays out items [first, ...) until the item that starts at or after `stopAt`; returns the
  // place of that item (list end when the walk ran to the end).
  size_t walk(size_t first, size_t stopAt) {
    const size_t count = itemsWithRanges(list_);
    covered_ = list_[first]->tagRange().location;
    for (size_t i = first; i < count; ++i) {
      const VmkTagLocation& item = *list_[i];
      if (i > first && item.tagRange().location >= stopAt) return i;
      if (item.tagRange().location > covered_) {
        gap(substringWithRange(text_, Range(covered_, item.tagRange().location - covered_)), item);
      }
      i = emitItem(i);
      covered_ = list_[i]->tagRange().max();
    }
    return list_.size();
  }

  // The uncovered white space that ends a selection region.
  void finishRegion(size_t regionEnd) {
    if (regionEnd > covered_) {
      const UStringView rest = substringWithRange(text_, Range(covered_, regionEnd - covered_));
      if (insidePre_) {
        out_ += rest;
      } else if (!endsWithWhiteSpace()) {
        out_.push_back(rest.find(u'\n') != UStringView::npos ? u'\n' : u' ');
      }
    } else if (pendingSpace_ && !insidePre_ && !endsWithWhiteSpace()) {
      out_.push_back(u' ');
    }
    pendingSpace_ = false;
  }

  // What follows the last item: text that no tag ended, or a tag whose ">" never came. Its
  // leading white space becomes a line break or a space; the rest is written as it stands.
  void trailing() {
    if (covered_ >= text_.size()) return;
    const UStringView rest = text_.substr(covered_);
    if (insidePre_) {
      out_ += rest;
      return;
    }
    size_t lead = 0;
    while (lead < rest.size() && isAsciiWhiteSpace(rest[lead])) ++lead;
    const bool lineBreak = rest.substr(0, lead).find(u'\n') != UStringView::npos;
    if (lead > 0 && !endsWithWhiteSpace()) out_.push_back(lineBreak ? u'\n' : u' ');
    if (lead == rest.size()) return;
    if (pendingSpace_ && lead == 0 && !endsWithWhiteSpace()) out_.push_back(u' ');
    out_ += rest.substr(lead);
  }

  size_t covered() const { return covered_; }
  UString take() { return std::move(out_); }

 private:
  bool endsWithLineFeed() const { return !out_.empty() && out_.back() == u'\n'; }
  bool endsWithWhiteSpace() const { return !out_.empty() && isAsciiWhiteSpace(out_.back()); }

  void indent(int32_t depth) {
    if (settings_.indentWithHierarchy && depth > 0) out_.append(size_t(depth), u'\t');
  }
  void beginNewLine(int32_t depth) {
    if (!out_.empty() && !endsWithLineFeed()) out_.push_back(u'\n');
    indent(depth);
  }

  // Text between two items that no item covers: white space, or CDATA sections (and stray
  // ">") with white space around them. Inside pre it is content and stays as it is; elsewhere
  // white space alone stands for one space, and the rest is written as it stands.
  void gap(UStringView text, const VmkTagLocation& next) {
    if (insidePre_) {
      out_ += text;
      return;
    }
    size_t lead = 0;
    while (lead < text.size() && isAsciiWhiteSpace(text[lead])) ++lead;
    if (lead == text.size()) {
      pendingSpace_ = true;
      return;
    }
    size_t end = text.size();
    while (end > lead && isAsciiWhiteSpace(text[end - 1])) --end;
    if (endsWithLineFeed()) {
      indent(next.isEndTag() ? next.tagDepth() + 1 : next.tagDepth());
    } else if ((lead > 0 || pendingSpace_) && !endsWithWhiteSpace()) {
      out_.push_back(u' ');
    }
    out_ += text.substr(lead, end - lead);
    pendingSpace_ = end < text.size();
  }

  // The layout class of an item, worked out once per spelling of its name.
  int layoutClass(const VmkTagLocation& item) {
    const UString* key = &item.elementName();
    auto found = classes_.find(key);
    if (found != classes_.end()) return found->second;
    lowercaseNameInto(item.elementName(), lower_);
    int kind;
    if (!lower_.empty() && (lower_[0] == u'!' || lower_[0] == u'?')) {
      kind = settings_.newlineTypeForElement(UStringView(lower_).substr(0, 3));
      if (kind == -1) kind = 0;
    } else {
      kind = settings_.newlineTypeForElement(lower_);
      if (kind == -1) kind = kLayoutNewLineBeforeStart | kLayoutNewLineBeforeEnd;
    }
    classes_.emplace(key, kind);
    return kind;
  }

  // The pre flag as the item's name changes it.
  void followPre(const VmkTagLocation& item) {
    const UString& name = item.elementName();
    if (isNamedIgnoringCase(name, u"pre")) insidePre_ = true;
    if (isNamedIgnoringCase(name, u"/pre")) insidePre_ = false;
  }

  void emitTag(const VmkTagLocation& item) {
    const UString& name = item.elementName();
    if (!name.empty() && (name[0] == u'!' || name[0] == u'?')) {
      out_ += substringWithRange(text_, item.tagRange());
    } else {
      out_ += beautifyTagString(item, text_, settings_);
    }
  }

  // The line break after a tag (none inside pre).
  void afterTag(const VmkTagLocation& item, int kind) {
    if (insidePre_) return;
    const UString& name = item.elementName();
    if (name.empty()) return;
    const UChar16 c = name[0];
    const bool normal =
        (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'/' || c == u'!';
    const bool end = c == u'/';
    if ((normal && end && (kind & kLayoutNewLineBeforeStart)) ||
        (normal && !end && (kind & kLayoutBreakAfterStart)) || c == u'?') {
      if (!endsWithLineFeed()) out_.push_back(u'\n');
    }
  }

  // Lays out item i (and the end tag after it when the item is an element's only text);
  // returns the place of the last item used.
  size_t emitItem(size_t i) {
    const VmkTagLocation& item = *list_[i];
    const VmkTagLocation* prev = i > 0 ? list_[i - 1].get() : nullptr;
    if (item.isTextRun()) {
      emitText(item, prev, i);
      const VmkTagLocation* next = i + 1 < list_.size() ? list_[i + 1].get() : nullptr;
      if (prev && next && !isOpenEndedTag(*next) && isWholeContentBetween(*prev, *next)) {
        followPre(*next);
        emitTag(*next);
        afterTag(*next, layoutClass(*next));
        return i + 1;
      }
      return i;
    }
    const bool preBefore = insidePre_;
    followPre(item);
    const int kind = layoutClass(item);
    if (!preBefore) {
      const int bit = item.isEndTag() ? kLayoutNewLineBeforeEnd : kLayoutNewLineBeforeStart;
      if ((kind & bit) || endsWithLineFeed()) {
        beginNewLine(item.tagDepth());
      } else if (endsWithWhiteSpace()) {
        // A text run that ended in white space has written its one space already; a second
        // one would only double the gap before every inline tag.
      } else if (prev && prev->isTextRun() && prev->tagRange().length > 0 &&
                 isSpaceOrTab(text_[prev->tagRange().max() - 1])) {
        out_.push_back(u' ');
      } else if (pendingSpace_) {
        out_.push_back(u' ');
      }
    }
    pendingSpace_ = false;
    emitTag(item);
    afterTag(item, kind);
    return i;
  }

  void emitText(const VmkTagLocation& item, const VmkTagLocation* prev, size_t i) {
    const UStringView text = substringWithRange(text_, item.tagRange());
    const bool endedWithLineFeed = endsWithLineFeed();
    if (pendingSpace_ && !endsWithWhiteSpace() && !insidePre_) out_.push_back(u' ');
    pendingSpace_ = false;
    if (insidePre_) {
      // Preformatted text is written as it is; only the white space that ends the whole
      // content of a pre element becomes one space.
      const VmkTagLocation* next = i + 1 < list_.size() ? list_[i + 1].get() : nullptr;
      const bool endsPre = prev && next && !isOpenEndedTag(*next) &&
                           isWholeContentBetween(*prev, *next) &&
                           isNamedIgnoringCase(next->elementName(), u"/pre");
      size_t end = text.size();
      if (endsPre) {
        while (end > 0 && isAsciiWhiteSpace(text[end - 1])) --end;
      }
      out_ += text.substr(0, end);
      if (end < text.size()) out_.push_back(u' ');
      return;
    }
    if (endedWithLineFeed) indent(item.tagDepth());
    const bool rawText = prev && isRawTextElementName(prev->elementName());
    if (settings_.deleteTabAndLfFromData && !rawText) {
      collapseWhiteSpace(text, out_);
      return;
    }
    if (endedWithLineFeed) {
      scratch_.clear();
      deleteLineStartFeedsAndTabs(text, scratch_);
      oneSpaceForLineEndWhiteSpace(scratch_, out_);
    } else {
      oneSpaceForLineEndWhiteSpace(text, out_);
    }
  }

  const VmkTagLocationList& list_;
  UStringView text_;
  const BeautifySettings& settings_;
  UString out_;
  UString scratch_;
  UString lower_;
  bool insidePre_ = false;
  // White space that no item covers stood between the last item and the next.
  bool pendingSpace_ = false;
  // The end of the text the layout has taken in.
  size_t covered_ = 0;
  std::unordered_map<const UString*, int> classes_;
};

UString confirmationText(std::string_view key) {
  return localizedString(kVelumarkXTable, key);
}

}  // namespace

BeautifySettings BeautifySettings::current() {
  const VmkUserDefaults& defaults = sharedVmkUserDefaults();
  BeautifySettings s;
  s.indentWithHierarchy = defaults.boolForKey("Vmk_AutoIndentWithHierarchy");
  s.indentWidth = defaults.realForKey("Vmk_AutoIndentWidth");
  s.tagInOneLine = defaults.boolForKey("Vmk_SetTagInOneLine");
  s.deleteTabAndLfFromData = defaults.boolForKey("Vmk_DeleteTabAndLfFromData");
  s.encloseAttributeValue = defaults.boolForKey("Vmk_EncloseAttributeValue");
  s.elementNameCase = int(defaults.integerForKey("Vmk_ElementNameCase"));
  s.attributeNameCase = int(defaults.integerForKey("Vmk_AttributeNameCase"));
  s.dontIndentTags = lowerCaseNames(defaults, "Vmk_DontIndentTags");
  s.indentAtStartTags = lowerCaseNames(defaults, "Vmk_IndentAtStartTags");
  s.lineBreakAfterStartTags = lowerCaseNames(defaults, "Vmk_LineBreakAfterStartTags");
  s.indentAndLineBreakTags = lowerCaseNames(defaults, "Vmk_IndentAndLineBreakTags");
  return s;
}

int BeautifySettings::newlineTypeForElement(UStringView elementName) const {
  if (!elementName.empty() && elementName[0] == u'/') elementName.remove_prefix(1);
  const UString lower = lowercase(elementName);
  if (inNames(dontIndentTags, lower)) return 0;
  if (inNames(indentAtStartTags, lower)) return kLayoutNewLineBeforeStart;
  if (inNames(lineBreakAfterStartTags, lower)) return kLayoutBreakAfterStart;
  if (inNames(indentAndLineBreakTags, lower)) {
    return kLayoutNewLineBeforeStart | kLayoutBreakAfterStart;
  }
  return -1;
}

int newlineTypeForElement(UStringView elementName) {
  return BeautifySettings::current().newlineTypeForElement(elementName);
}

UString beautifyTagString(const VmkTagLocation& tag, UStringView text,
                          const BeautifySettings& settings) {
  const UStringView whole = substringWithRange(text, tag.tagRange());
  size_t end = whole.size();
  if (end > 0 && whole[end - 1] == u'>') --end;
  if (end > 0 && whole[end - 1] == u'/') --end;
  const UStringView closing = whole.substr(end);
  const UStringView inner = whole.substr(0, end);

  size_t i = 0;
  if (i < end && inner[i] == u'<') ++i;
  while (i < end && isTagWhiteSpace(inner[i])) ++i;

  UString out;
  out.reserve(whole.size() + 8);
  out.push_back(u'<');
  size_t nameStart = i;
  while (i < end && !isTagWhiteSpace(inner[i])) ++i;
  out += withNameCase(inner.substr(nameStart, i - nameStart), settings.elementNameCase);

  // White space from i; appends the separator (one space, or the white space as written) and
  // returns the place after it. `always`: a separator even when there is no white space.
  auto separator = [&](size_t from, bool always) {
    size_t to = from;
    while (to < end && isTagWhiteSpace(inner[to])) ++to;
    if (to == end && always) return to;
    if (to > from || always) {
      if (settings.tagInOneLine) {
        out.push_back(u' ');
      } else {
        out += inner.substr(from, to - from);
      }
    }
    return to;
  };
  // A processing instruction from i ("<?" ... "?>", or to the end), taken whole.
  auto instructionEnd = [&](size_t from) {
    size_t k = from + 2;
    while (k + 1 < end && !(inner[k] == u'?' && inner[k + 1] == u'>')) ++k;
    return k + 1 < end ? k + 2 : end;
  };
  auto startsInstruction = [&](size_t at) {
    return at + 1 < end && inner[at] == u'<' && inner[at + 1] == u'?';
  };

  while (i < end) {
    i = separator(i, true);
    if (i >= end) break;
    if (startsInstruction(i)) {
      const size_t stop = instructionEnd(i);
      out += inner.substr(i, stop - i);
      i = stop;
      continue;
    }
    size_t nameEnd = i;
    while (nameEnd < end && !isTagWhiteSpace(inner[nameEnd]) && inner[nameEnd] != u'=' &&
           inner[nameEnd] != u'>') {
      ++nameEnd;
    }
    // A ">" left inside a tag (after an instruction in a name) is part of the name, so that
    // the walk always moves on.
    if (nameEnd == i && inner[i] == u'>') ++nameEnd;
    out += withNameCase(inner.substr(i, nameEnd - i), settings.attributeNameCase);
    i = separator(nameEnd, false);
    if (i >= end || inner[i] != u'=') continue;
    out.push_back(u'=');
    i = separator(i + 1, false);
    if (i >= end) {
      if (settings.encloseAttributeValue) out += u"\"\"";
      break;
    }
    const UChar16 quote = inner[i];
    if (quote == u'"' || quote == u'\'') {
      size_t close = i + 1;
      while (close < end && inner[close] != quote) ++close;
      const size_t stop = close < end ? close + 1 : end;
      out += inner.substr(i, stop - i);
      i = stop;
      continue;
    }
    size_t valueEnd = startsInstruction(i) ? instructionEnd(i) : i;
    while (valueEnd < end && !isTagWhiteSpace(inner[valueEnd])) ++valueEnd;
    const UStringView value = inner.substr(i, valueEnd - i);
    if (settings.encloseAttributeValue) {
      out.push_back(u'"');
      out += value;
      out.push_back(u'"');
    } else {
      out += value;
    }
    i = valueEnd;
  }
  if (!closing.empty() && closing[0] == u'/') out.push_back(u' ');
  out += closing;
  return out;
}

UString beautifyTagString(const VmkTagLocation& tag) {
  return beautifyTagString(tag, sharedHTMLChecker().sourceString(), BeautifySettings::current());
}

std::optional<BeautifiedRegion> beautifyTagList(const VmkTagLocationList& list, UStringView text,
                                                std::optional<Range> selection,
                                                const BeautifySettings& settings) {
  const size_t count = itemsWithRanges(list);
  if (count == 0) return std::nullopt;
  size_t first = 0;
  size_t stopAt = text.size() + 1;
  if (selection) {
    const uint32_t selectionStart = selection->location;
    stopAt = selection->max();
    while (first < count && list[first]->tagRange().max() <= selectionStart) ++first;
    if (first == count || list[first]->tagRange().location >= stopAt) return std::nullopt;
  }
  size_t regionStart = list[first]->tagRange().location;
  while (regionStart > 1 && isSpaceOrTab(text[regionStart - 1])) --regionStart;

  Layout layout(list, text, settings);
  const size_t stop = layout.walk(first, stopAt);
  size_t regionEnd = text.size();
  if (stop < list.size()) {
    regionEnd = list[stop]->tagRange().location;
    while (regionEnd > layout.covered() && isSpaceOrTab(text[regionEnd - 1])) --regionEnd;
    layout.finishRegion(regionEnd);
  } else {
    layout.trailing();
  }
  return BeautifiedRegion{Range(uint32_t(regionStart), uint32_t(regionEnd - regionStart)),
                          layout.take()};
}

TransformOutcome beautifyHTMLForDocument(HostDocument& document, bool whole) {
  return beautifyHTMLForDocument(document, whole, sharedHTMLChecker());
}

TransformOutcome beautifyHTMLForDocument(HostDocument& document, bool whole,
                                         VmkHTMLChecker& checker) {
  const Range selected = document.selectedRange();
  if (selected.length == 0 && !whole) {
    const AlertButton answer = platform().runAlert(
        confirmationText("The whole HTML document will be beautified. Are you sure?"), UString(),
        {confirmationText("Go on"), confirmationText("Cancel")});
    if (answer != AlertButton::First) return TransformOutcome::Declined;
  }
  // The document's own text decides whether the selection is all of it (the checker's copy
  // may still be another document's).
  const size_t documentLength = document.textStorage().string().size();
  const bool wholeDocument = whole || selected.length == 0 || selected.length >= documentLength;

  checker.ensureCurrentRunFor(document);
  if (checker.tagLocations().empty()) return TransformOutcome::Unchanged;
  if (checker.structualErrorCount > 0 && !startedByScriptCommand()) {
    const AlertButton answer = platform().runAlert(
        confirmationText("Detected Structural Errors"),
        confirmationText("The HTML may not be beautified correctly because some errors were "
                         "detected on the hierarchy structure."),
        {confirmationText("Go on"), confirmationText("Cancel")});
    if (answer != AlertButton::First) return TransformOutcome::Declined;
  }

  const BeautifySettings settings = BeautifySettings::current();
  const UStringView text = checker.sourceString();
  std::optional<Range> selection;
  if (!wholeDocument) selection = selected;
  std::optional<BeautifiedRegion> region =
      beautifyTagList(checker.tagLocations(), text, selection, settings);
  if (wholeDocument) document.setTabWidth(settings.indentWidth);
  if (!region || substringWithRange(text, region->replaced) == region->text) {
    return TransformOutcome::Unchanged;
  }

  // The run describes a text that is about to go: its list and its copy of the text are let go
  // before the document takes the new text (a large page's worth each).
  checker.initialize();
  giveBackFreeMemory();
  gAutoCorrectingErros = true;
  replaceTextInDocumentWithString(document, region->replaced, region->text, true);
  gAutoCorrectingErros = false;
  region.reset();
  giveBackFreeMemory();

  resultsDisplay().clearErrorLocationsForDocument(document);
  checker.validateHTMLForDocument(document, true, false);
  return TransformOutcome::Changed;
}

}  // namespace vmk
