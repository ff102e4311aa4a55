#include "transform/EntityReferenceCommands.h"

#include <optional>
#include <vector>

#include "dictionary/VmkDictionary.h"
#include "engine/VmkHTMLChecker.h"
#include "errors/MessageTables.h"
#include "host/HostDocument.h"
#include "host/Platform.h"
#include "transform/CharacterReferenceConversion.h"

namespace vmk {

namespace {

UString commandName() {
  return localizedString(kVelumarkXTable, "'To Entity Reference'");
}

// The range a command works on: the selection, or after confirmation the whole text; absent
// when the confirmation was declined.
std::optional<Range> chosenRange(HostDocument& document) {
  const size_t length = document.textStorage().string().size();
  Range range = document.selectedRange();
  if (range.length == 0) {
    if (!wholeDocumentConfirmFor(commandName())) return std::nullopt;
    return Range(0, uint32_t(length));
  }
  if (range.location > length) range.location = uint32_t(length);
  range.length = std::min<uint32_t>(range.length, uint32_t(length - range.location));
  return range;
}

Range intersection(Range a, Range b) {
  const uint32_t start = std::max(a.location, b.location);
  const uint32_t end = std::min(a.max(), b.max());
  return end > start ? Range(start, end - start) : Range(start, 0);
}

bool isComment(const UString& name) {
  return name.size() >= 3 && name.compare(0, 3, u"!--") == 0;
}

// The place of every item's parent: the nearest earlier item whose depth is smaller (-1 when
// none), found with a stack of the items that may still be parents, so that the list is walked
// once.
std::vector<int32_t> parentPlaces(const VmkTagLocationList& list) {
  std::vector<int32_t> parents(list.size(), -1);
  std::vector<int32_t> open;
  for (size_t i = 0; i < list.size(); ++i) {
    const int32_t depth = list[i]->tagDepth();
    while (!open.empty() && list[size_t(open.back())]->tagDepth() >= depth) open.pop_back();
    if (!open.empty()) parents[i] = open.back();
    open.push_back(int32_t(i));
  }
  return parents;
}

}  // namespace

bool wholeDocumentConfirmFor(const UString& name) {
  const UString format = localizedString(
      kVelumarkXTable, "%@ will be carried out for the whole document. Are you sure?");
  UString title;
  const size_t marker = format.find(u"%@");
  if (marker == UString::npos) {
    title = format;
  } else {
    title = format.substr(0, marker) + name + format.substr(marker + 2);
  }
  const AlertButton answer = platform().runAlert(
      title,
      localizedString(kVelumarkXTable,
                      "If not, push Cancel button, select the area you want and retry."),
      {localizedString(kVelumarkXTable, "OK"), localizedString(kVelumarkXTable, "Cancel")});
  return answer == AlertButton::First;
}

TransformOutcome toEntityReferenceFor(HostDocument& document, bool unconditionally) {
  return toEntityReferenceFor(document, unconditionally, sharedHTMLChecker());
}

TransformOutcome toEntityReferenceFor(HostDocument& document, bool unconditionally,
                                      VmkHTMLChecker& checker) {
  if (!unconditionally) return toSmartEntityReferenceFor(document, checker);
  const std::optional<Range> range = chosenRange(document);
  if (!range) return TransformOutcome::Declined;
  std::optional<UString> converted =
      toDirectCharRefString(substringWithRange(document.textStorage().string(), *range));
  if (!converted) return TransformOutcome::Unchanged;
  return replaceTextInDocumentWithString(document, *range, *converted)
             ? TransformOutcome::Changed
             : TransformOutcome::Unchanged;
}

TransformOutcome toSmartEntityReferenceFor(HostDocument& document) {
  return toSmartEntityReferenceFor(document, sharedHTMLChecker());
}

TransformOutcome toSmartEntityReferenceFor(HostDocument& document, VmkHTMLChecker& checker) {
  const std::optional<Range> chosen = chosenRange(document);
  if (!chosen) return TransformOutcome::Declined;
  checker.ensureCurrentRunFor(document);
  const VmkTagLocationList& list = checker.tagLocations();
  const VmkDictionary* dictionary = checker.htmlDictionary();
  // The checker's text keeps the characters of the run while the document is edited (asked
  // for again after each edit); the walk goes from the end, so every range still to be
  // visited keeps its place.
  const std::vector<int32_t> parents = parentPlaces(list);

  bool changed = false;
  auto convert = [&](Range range) {
    const Range part = intersection(range, *chosen);
    if (part.length == 0) return;
    const UStringView text = checker.sourceString();
    std::optional<UString> converted =
        toCharRefString(substringWithRange(text, part), text, part.location);
    if (converted && replaceTextInDocumentWithString(document, part, *converted)) changed = true;
  };
  // Elements whose content the dictionary gives as character data (the W3C dictionaries
  // write it "CDATA", others "#CDATA").
  auto holdsCharacterData = [&](const VmkTagLocation& parent) {
    if (!dictionary) return false;
    const UString& name = parent.elementName();
    return dictionary->isChildElement(u"#CDATA", name) == 1 ||
           dictionary->isChildElement(u"CDATA", name) == 1;
  };

  for (size_t i = list.size(); i-- > 0;) {
    const VmkTagLocation& item = *list[i];
    if (isOpenEndedTag(item)) continue;
    const UString& name = item.elementName();
    if (item.isTextRun() || isComment(name)) {
      const bool leftAlone =
          item.tagDepth() != 0 && parents[i] >= 0 && holdsCharacterData(*list[size_t(parents[i])]);
      if (!leftAlone) convert(item.tagRange());
    }
    if (const VmkAttributeList* attributes = item.attributes()) {
      for (size_t k = attributes->size(); k-- > 0;) {
        const VmkAttribute& attribute = (*attributes)[k];
        if (attribute.hasValue()) convert(attribute.valueRange);
      }
    }
  }
  return changed ? TransformOutcome::Changed : TransformOutcome::Unchanged;
}

}  // namespace vmk
