#include "transform/Minimizer.h"

#include "engine/ResultsDisplay.h"
#include "engine/VmkHTMLChecker.h"
#include "errors/MessageTables.h"
#include "host/HostDocument.h"
#include "host/Platform.h"
#include "support/FreeMemory.h"
#include "transform/WhiteSpaceRules.h"

namespace vmk {

namespace {

class Minimizing {
 public:
  Minimizing(const VmkTagLocationList& list, UStringView text) : list_(list), text_(text) {
    out_.reserve(text.size());
  }

  UString run() {
    const size_t count = itemsWithRanges(list_);
    for (size_t i = 0; i < count; ++i) {
      const VmkTagLocation& item = *list_[i];
      const uint32_t start = item.tagRange().location;
      if (start > covered_) gap(text_.substr(covered_, start - covered_), i == 0);
      i = emitItem(i);
      covered_ = list_[i]->tagRange().max();
    }
    trailing(count < list_.size());
    return std::move(out_);
  }

 private:
  void followPre(const VmkTagLocation& item) {
    const UString& name = item.elementName();
    if (isNamedIgnoringCase(name, u"pre")) insidePre_ = true;
    if (isNamedIgnoringCase(name, u"/pre")) insidePre_ = false;
  }

  bool endsWithSpace() const { return !out_.empty() && out_.back() == u' '; }

  // Text no item covers: white space and CDATA sections (or a stray ">"). White space there
  // becomes one space (none before the first item); the rest stays.
  void gap(UStringView text, bool leading) {
    if (insidePre_) {
      out_ += text;
      return;
    }
    size_t lead = 0;
    while (lead < text.size() && isAsciiWhiteSpace(text[lead])) ++lead;
    if (lead > 0 && !leading && !endsWithSpace()) out_.push_back(u' ');
    if (lead == text.size()) return;
    size_t end = text.size();
    while (end > lead && isAsciiWhiteSpace(text[end - 1])) --end;
    out_ += text.substr(lead, end - lead);
    if (end < text.size()) out_.push_back(u' ');
  }

  void emitTag(const VmkTagLocation& item) {
    collapseWhiteSpace(substringWithRange(text_, item.tagRange()), out_);
  }

  size_t emitItem(size_t i) {
    const VmkTagLocation& item = *list_[i];
    followPre(item);
    if (!item.isTextRun()) {
      emitTag(item);
      return i;
    }
    const VmkTagLocation* prev = i > 0 ? list_[i - 1].get() : nullptr;
    const UStringView text = substringWithRange(text_, item.tagRange());
    if (insidePre_) {
      out_ += text;
    } else if (prev && isRawTextElementName(prev->elementName())) {
      rawText(text);
    } else {
      collapseWhiteSpace(text, out_);
    }
    const VmkTagLocation* next = i + 1 < list_.size() ? list_[i + 1].get() : nullptr;
    if (prev && next && !isOpenEndedTag(*next) && isWholeContentBetween(*prev, *next)) {
      followPre(*next);
      emitTag(*next);
      return i + 1;
    }
    return i;
  }

  void rawText(UStringView text) {
    scratch_.clear();
    deleteLineStartWhiteSpace(text, scratch_);
    oneSpaceForLineEndWhiteSpace(scratch_, out_);
  }

  // After the last item: text that no tag ended (collapsed like other text, or kept as raw
  // text after a raw-text start tag), or a tag whose ">" never came (kept as it stands).
  void trailing(bool openEndedTag) {
    if (covered_ >= text_.size()) return;
    const UStringView rest = text_.substr(covered_);
    if (insidePre_) {
      out_ += rest;
      return;
    }
    size_t lead = 0;
    while (lead < rest.size() && isAsciiWhiteSpace(rest[lead])) ++lead;
    if (lead == rest.size()) return;
    const VmkTagLocation* last = list_.empty() ? nullptr : list_.back().get();
    if (openEndedTag) {
      if (lead > 0 && !out_.empty() && !endsWithSpace()) out_.push_back(u' ');
      out_ += rest.substr(lead);
    } else if (last && isRawTextElementName(last->elementName())) {
      rawText(rest);
    } else {
      collapseWhiteSpace(rest, out_);
    }
  }

  const VmkTagLocationList& list_;
  UStringView text_;
  UString out_;
  UString scratch_;
  bool insidePre_ = false;
  size_t covered_ = 0;
};

}  // namespace

UString minimizeTagList(const VmkTagLocationList& list, UStringView text) {
  return Minimizing(list, text).run();
}

UString minimizeConfirmationTitle(size_t n, size_t m) {
  const int64_t percent = n == 0 ? 0 : int64_t(uint64_t(m) * 100 / uint64_t(n));
  const UString format = localizedString(
      kVelumarkXTable, "You can decrease the size of HTML from %ld bytes to %ld bytes (%ld%%).");
  const int64_t values[] = {int64_t(n), int64_t(m), percent};
  UString title;
  size_t next = 0;
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] == u'%' && i + 1 < format.size() && format[i + 1] == u'%') {
      title.push_back(u'%');
      ++i;
    } else if (format.compare(i, 3, u"%ld") == 0) {
      if (next < 3) title += toUString(values[next++]);
      i += 2;
    } else {
      title.push_back(format[i]);
    }
  }
  return title;
}

TransformOutcome minimizeHTMLForDocument(HostDocument& document, bool withConfirm) {
  return minimizeHTMLForDocument(document, withConfirm, sharedHTMLChecker());
}

TransformOutcome minimizeHTMLForDocument(HostDocument& document, bool withConfirm,
                                         VmkHTMLChecker& checker) {
  if (document.textStorage().string().empty()) return TransformOutcome::Unchanged;
  // Minimizing reads only the items and their names: the scanner's list is enough.
  checker.ensureTagListFor(document);
  if (checker.tagLocations().empty()) return TransformOutcome::Unchanged;

  UString output = minimizeTagList(checker.tagLocations(), checker.sourceString());
  if (withConfirm) {
    const AlertButton answer = platform().runAlert(
        minimizeConfirmationTitle(document.textStorage().string().size(), output.size()),
        localizedString(kVelumarkXTable, "Do you want to minimize?"),
        {localizedString(kVelumarkXTable, "Yes"), localizedString(kVelumarkXTable, "Cancel")});
    if (answer != AlertButton::First) return TransformOutcome::Declined;
  }
  const uint32_t length = uint32_t(checker.sourceString().size());
  if (output == checker.sourceString()) return TransformOutcome::Unchanged;

  // The run describes a text that is about to go (see beautifyHTMLForDocument).
  checker.initialize();
  giveBackFreeMemory();
  gAutoCorrectingErros = true;
  replaceTextInDocumentWithString(document, Range(0, length), output, true);
  gAutoCorrectingErros = false;
  output = UString();

  resultsDisplay().updateResultsForDocument(document);
  return TransformOutcome::Changed;
}

}  // namespace vmk
