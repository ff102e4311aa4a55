// The tag scanner: one pass over the checked text, by index, turning it into the tag list.
#include <limits>
#include <unordered_map>

#include "dictionary/VmkDictionary.h"
#include "engine/NamePredicates.h"
#include "engine/VmkHTMLChecker.h"

namespace vmk {
namespace {

// The dictionary's answers for one stored tag name, asked once per distinct name.
struct NameFacts {
  bool exists = false;  // the element (name without "/") is in the dictionary
  int32_t endTagType = -1;
  bool rawText = false;  // the name itself holds raw character data
};

class NameFactsCache {
 public:
  explicit NameFactsCache(const VmkDictionary* dictionary) : dictionary_(dictionary) {}

  const NameFacts& factsFor(const UString& name) {
    auto it = cache_.find(name);
    if (it != cache_.end()) return it->second;
    NameFacts facts;
    if (dictionary_) {
      UStringView element = isEndTagName(name) ? UStringView(name).substr(1) : UStringView(name);
      facts.exists = dictionary_->isExistElement(element);
      if (facts.exists) facts.endTagType = dictionary_->endTagTypeForElement(element);
      facts.rawText = dictionary_->isCDATAElement(name);
    }
    return cache_.emplace(name, facts).first->second;
  }

 private:
  const VmkDictionary* dictionary_;
  std::unordered_map<UString, NameFacts> cache_;
};

}  // namespace

void VmkHTMLChecker::makeTagLocationsArray() {
  tagLocations_ = VmkTagLocationList();
  tagNameIndex_.reset();

  const UStringView buffer = sourceBuffer();
  // Ranges are 32-bit; a longer text is scanned up to that limit.
  const uint32_t end = uint32_t(std::min<size_t>(buffer.size(), kNotFound));
  const bool xml = isXHTML;
  NameFactsCache facts(htmlDictionary_.get());

  uint32_t p = 0;
  uint32_t textStart = 0;
  uint32_t tagStart = 0;
  bool inTag = false;
  VmkTagLocation* current = nullptr;  // the tag being read, then the most recently made one
  VmkTagLocation* last = nullptr;
  uint64_t dataCount = 0;

  auto append = [&](std::unique_ptr<VmkTagLocation> entry) {
    entry->setListIndex(uint32_t(tagLocations_.size()));
    entry->setPrevTag(last);
    if (last) last->setNextTag(entry.get());
    last = entry.get();
    tagLocations_.push_back(std::move(entry));
  };

  while (p < end) {
    const UChar16 c = buffer[p];

    // Machine-dependent characters, half-width katakana, NUL runs: text, and reported. Both
    // character-run tests answer 0 for ASCII.
    if (c > 127) {
      if (uint32_t n = isKishuIzon(p, end); n > 0) {
        registerAnErrorWithCode("MachineDependantCharacter", Range(p, n));
        p += n;
        dataCount += n;
        continue;
      }
      if (uint32_t n = isHankakuKana(p, end); n > 0) {
        registerAnErrorWithCode("UnSafeKatakana", Range(p, n));
        p += n;
        dataCount += n;
        continue;
      }
    }
    if (c == 0) {
      uint32_t start = p;
      while (p < end && buffer[p] == 0) ++p;
      registerAnErrorWithCode("NullCodeDetected", Range(start, p - start));
      dataCount += p - start;
      continue;
    }

    if (isWhiteSpace(c)) {
      ++p;
      continue;
    }

    // A CDATA section (XML only, in any state): skipped whole, no entry.
    if (xml && c == u'<' && isEqualUnichars(buffer.substr(0, end), p, u"<![CDATA[", false)) {
      uint32_t sectionStart = p;
      p += 9;
      while (p < end && !isEqualUnichars(buffer.substr(0, end), p, u"]]>", false)) ++p;
      if (p >= end) {
        registerAnErrorWithCode("NoCDATAEndMark", Range(sectionStart, end - sectionStart));
        break;
      }
      p += 3;
      continue;
    }

    if (c == u'<' && inTag) {
      if (p + 1 < end && buffer[p + 1] == u'?') {
        // An embedded processing instruction ("<?...?>") is skipped when its "?>" comes
        // before any ">".
        uint32_t q = p + 2;
        bool instruction = false;
        for (; q < end; ++q) {
          if (buffer[q] == u'?' && q + 1 < end && buffer[q + 1] == u'>') {
            instruction = true;
            break;
          }
          if (buffer[q] == u'>') break;
        }
        if (instruction) {
          p = q + 2;
          continue;
        }
      }
      if (!isCommentTag(current->elementName()))
        registerAnErrorWithCode("LtMarkInTag", Range(p, 1));
      ++p;
      continue;
    }

    if (c == u'<') {
      // The text run before the tag.
      if (dataCount != 0) {
        auto text = std::make_unique<VmkTagLocation>();
        text->setElementName(UString(u"#DATA"));
        text->setTagRange(Range(textStart, p - textStart));
        text->setEndTagType(2);
        append(std::move(text));
      }
      tagStart = p;
      inTag = true;
      auto tag = std::make_unique<VmkTagLocation>();
      current = tag.get();
      ++p;

      uint32_t spaceStart = p;
      while (p < end && isWhiteSpace(buffer[p])) ++p;
      if (p >= end) break;  // "<" and white space up to the end: no entry
      if (p > spaceStart)
        registerAnErrorWithCode("SpaceBeforeElementName", Range(spaceStart, p - spaceStart));

      const uint32_t nameStart = p;
      while (p < end && !isWhiteSpace(buffer[p]) && buffer[p] != u'>' &&
             !(xml && buffer[p] == u'/' && p + 1 < end && buffer[p + 1] == u'>'))
        ++p;
      const Range nameRange(nameStart, p - nameStart);
      UStringView written = buffer.substr(nameStart, p - nameStart);

      UString name;
      if (!xml) {
        name = tagNameUppercase(written);
      } else {
        name = UString(written);
        if (!isEqualToString(written, u"!DOCTYPE", true) && written != u"#DATA" &&
            !isCommentTag(written)) {
          UString lower = tagNameLowercase(written);
          if (lower != written) {
            registerAnErrorWithCode("ElementNameShouldLowercase", nameRange,
                                    std::vector<UString>{UString(written)});
            name = std::move(lower);
          }
        }
      }

      const NameFacts& known = facts.factsFor(name);
      int32_t type = -1;
      if (known.exists) {
        type = known.endTagType;
      } else if (!isEqualToString(name, u"!DOCTYPE", true) && name != u"#DATA" &&
                 !isCommentTag(name)) {
        registerAnErrorWithCode("NoSuchElementName", nameRange, std::vector<UString>{name});
      }
      tag->setElementName(std::move(name));
      tag->setEndTagType(type);
      append(std::move(tag));
      continue;
    }

    if (c == u'>' && inTag) {
      const UString& name = current->elementName();
      if (isCommentTag(name)) {
        bool closes =
            (name[0] == u'!' && p >= 2 && buffer[p - 2] == u'-' && buffer[p - 1] == u'-') ||
            buffer[p - 1] == u'?';
        if (closes) {
          current->setTagRange(Range(tagStart, p - tagStart + 1));
          textStart = p + 1;
          inTag = false;
        }
        ++p;
        dataCount = 0;
        continue;
      }

      const Range tagRange(tagStart, p - tagStart + 1);
      current->setTagRange(tagRange);
      const bool slashBefore = buffer[p - 1] == u'/';
      if (xml) {
        if (!isEndTagName(name) && !(!name.empty() && name[0] == u'!')) {
          int32_t type = current->endTagType();
          if (slashBefore && type != 2)
            registerAnErrorWithCode("EndTagCantBeOmitted", tagRange, std::vector<UString>{name});
          else if (!slashBefore && type == 2)
            registerAnErrorWithCode("DontUseThisEndTagInXHTML", tagRange,
                                    std::vector<UString>{name});
        }
      } else if (slashBefore) {
        registerAnErrorWithCode("WrongTagEnd", Range(p - 1, 2));
      }
      textStart = p + 1;
      inTag = false;
      dataCount = 0;

      if (facts.factsFor(name).rawText) {
        // Raw character data up to "</" + name (what follows the name is not examined). The
        // ">" itself is counted, so the content always becomes a text entry.
        while (p < end && !(buffer[p] == u'<' && p + 1 < end && buffer[p + 1] == u'/' &&
                            isEqualUnichars(buffer.substr(0, end), p + 2, name, true))) {
          ++p;
          ++dataCount;
        }
      } else {
        ++p;
      }
      continue;
    }

    if (c == u'>') {
      if (current && !facts.factsFor(current->elementName()).rawText) {
        registerAnErrorWithCode("LeftLtMarkNotFound", Range(p, 1));
        ++p;
        dataCount = 0;
      } else {
        ++p;
        ++dataCount;
      }
      continue;
    }

    ++p;
    ++dataCount;
  }
}

}  // namespace vmk
