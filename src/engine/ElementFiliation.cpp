// The checker's side of the tree walk: dictionary questions, error registration and the
// name index kept for FindMyEndTag.
#include "dictionary/VmkDictionary.h"
#include "engine/NamePredicates.h"
#include "engine/TagTree.h"
#include "engine/VmkHTMLChecker.h"

namespace vmk {

void VmkHTMLChecker::makeElementFiliation() {
  if (tagLocations_.empty()) return;
  tagNameIndex_ = std::make_unique<TagNameIndex>(tagLocations_, scannedEntryNames());
  const VmkDictionary* dictionary = htmlDictionary_.get();
  TagTreeRules rules;
  if (dictionary) {
    rules.isExistElement = [dictionary](UStringView element) {
      return dictionary->isExistElement(element);
    };
    rules.isChildElement = [dictionary](UStringView child, UStringView parent) {
      return dictionary->isChildElement(child, parent);
    };
  }
  rules.isXML = isXHTML;
  walkTagTree(
      tagLocations_, *tagNameIndex_, rules,
      [this](std::string_view code, Range range, std::vector<UString> subStrings) {
        registerAnErrorWithCode(code, range, std::move(subStrings));
      },
      &entryDepths_, contentAutomata_ ? &entryContentEnds_ : nullptr);
}

VmkTagLocation* VmkHTMLChecker::FindMyEndTag(const VmkTagLocation& tag) {
  const uint32_t i = tag.listIndex();
  if (i >= tagLocations_.size() || tagLocations_[i].get() != &tag) return nullptr;

  if (tag.isEndTag()) {
    // Not asked by the checks; counted directly, "/" + name against "//" + name.
    const UString& name = tag.elementName();
    const UString endName = u"/" + name;
    int32_t count = 0;
    for (uint32_t j = 0; j < i; ++j) {
      const UString& other = tagLocations_[j]->elementName();
      if (isEqualToString(other, name, true))
        ++count;
      else if (isEqualToString(other, endName, true))
        --count;
    }
    for (size_t j = i + 1; j < tagLocations_.size(); ++j) {
      const UString& other = tagLocations_[j]->elementName();
      if (isEqualToString(other, name, true)) {
        ++count;
      } else if (isEqualToString(other, endName, true)) {
        if (count == 0) return tagLocations_[j].get();
        --count;
      }
    }
    return nullptr;
  }

  int32_t found = currentTagNameIndex().findMyEndTag(i);
  return found == TagNameIndex::kNone ? nullptr : tagLocations_[size_t(found)].get();
}

const TagNameIndex& VmkHTMLChecker::currentTagNameIndex() {
  if (!tagNameIndex_ || tagNameIndex_->size() != tagLocations_.size())
    tagNameIndex_ = std::make_unique<TagNameIndex>(tagLocations_, scannedEntryNames());
  return *tagNameIndex_;
}

}  // namespace vmk
