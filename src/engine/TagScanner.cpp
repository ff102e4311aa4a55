// The tag scanner: one pass over the checked text, by index, turning it into the tag list.
// A large text is scanned by two threads, each from its own starting point (see
// makeTagLocationsArray).
#include <algorithm>
#include <array>
#include <deque>
#include <exception>
#include <limits>
#include <new>
#include <thread>
#include <unordered_map>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "dictionary/VmkDictionary.h"
#include "engine/CharacterReferences.h"
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

// What the scanner derives from one written tag name (the text between "<" and the end of the
// name), asked once per distinct spelling: the name stored in the list, the dictionary's
// answers for it, and whether an XML name had to be lowered.
struct WrittenName {
  UString stored;
  // The interned copy of `stored` when the spelling belongs to a bounded set (a dictionary
  // element or its end tag, "!DOCTYPE", "#DATA"); nullptr otherwise, and every entry keeps
  // its own copy.
  const UString* interned = nullptr;
  const NameFacts* facts = nullptr;
  uint32_t id = 0;        // 1, 2, ... in the order the scan met the spellings (0: text runs)
  bool lowered = false;   // XML: the stored name is the written one in lower case
  bool reported = false;  // not in the dictionary and not a declaration, comment or text name
};

// Open addressing over the spellings met in one scan; keys view the scanned text.
class WrittenNameCache {
 public:
  WrittenNameCache(NameFactsCache& facts, bool xml) : facts_(facts), xml_(xml) {
    slots_.resize(256);
  }

  const WrittenName& lookUp(UStringView written) {
    const size_t hash = hashOf(written);
    size_t mask = slots_.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
      Slot& slot = slots_[i];
      if (slot.index < 0) break;
      if (slot.hash == hash && slot.key == written) return names_[size_t(slot.index)];
    }
    names_.push_back(derive(written));
    names_.back().id = uint32_t(names_.size());
    if ((names_.size() + 1) * 2 > slots_.size()) rehash(slots_.size() * 2);
    mask = slots_.size() - 1;
    size_t i = hash & mask;
    while (slots_[i].index >= 0) i = (i + 1) & mask;
    slots_[i] = Slot{written, hash, int32_t(names_.size() - 1)};
    return names_.back();
  }

 private:
  struct Slot {
    UStringView key;
    size_t hash = 0;
    int32_t index = -1;
  };

  // Length, first, middle and last unit: enough to tell tag names apart; the keys are compared
  // whole anyway.
  static size_t hashOf(UStringView text) {
    const size_t n = text.size();
    uint64_t h = n;
    if (n > 0) {
      h = h * 0x9E3779B97F4A7C15ull + text[0];
      h = h * 0x9E3779B97F4A7C15ull + (uint64_t(text[n / 2]) << 16 | text[n - 1]);
    }
    return size_t(h ^ (h >> 31));
  }

  void rehash(size_t size) {
    std::vector<Slot> old = std::move(slots_);
    slots_.assign(size, Slot());
    for (const Slot& slot : old) {
      if (slot.index < 0) continue;
      size_t i = slot.hash & (size - 1);
      while (slots_[i].index >= 0) i = (i + 1) & (size - 1);
      slots_[i] = slot;
    }
  }

  WrittenName derive(UStringView written) {
    WrittenName name;
    if (!xml_) {
      name.stored = tagNameUppercase(written);
    } else {
      name.stored = UString(written);
      if (!isEqualToString(written, u"!DOCTYPE", true) && written != u"#DATA" &&
          !isCommentTag(written)) {
        UString lower = tagNameLowercase(written);
        if (lower != written) {
          name.lowered = true;
          name.stored = std::move(lower);
        }
      }
    }
    name.facts = &facts_.factsFor(name.stored);
    name.reported = !name.facts->exists && !isEqualToString(name.stored, u"!DOCTYPE", true) &&
                    name.stored != u"#DATA" && !isCommentTag(name.stored);
    if (name.facts->exists || name.stored == u"!DOCTYPE" || name.stored == u"#DATA")
      name.interned = &VmkTagLocation::internElementName(name.stored);
    return name;
  }

  NameFactsCache& facts_;
  const bool xml_;
  std::vector<Slot> slots_;
  std::deque<WrittenName> names_;  // stable addresses
};

// Classes of the ASCII code units for the scanner's text loop.
enum : uint8_t { kPlainUnit = 0, kSpaceUnit = 1, kStopUnit = 2, kAmpersandUnit = 3 };

constexpr std::array<uint8_t, 128> makeUnitClasses() {
  std::array<uint8_t, 128> classes{};
  for (size_t c = 0; c < 128; ++c) {
    if (isWhiteSpace(UChar16(c))) classes[c] = kSpaceUnit;
  }
  classes[0] = kStopUnit;
  classes[size_t('<')] = kStopUnit;
  classes[size_t('>')] = kStopUnit;
  classes[size_t('&')] = kAmpersandUnit;  // data, noted for the reference checks
  return classes;
}

constexpr std::array<uint8_t, 128> kUnitClasses = makeUnitClasses();

// From p on, the first unit that the text loop must look at once the run already holds data:
// "<", ">", "&", NUL or a unit above 127; eight units at a time. Stops short of the last few units
// of the text, which the loop reads one by one.
inline uint32_t skipPlainUnits(const char16_t* text, uint32_t p, uint32_t end) {
#if defined(__SSE2__)
  const __m128i lt = _mm_set1_epi16(u'<');
  const __m128i gt = _mm_set1_epi16(u'>');
  const __m128i amp = _mm_set1_epi16(u'&');
  const __m128i zero = _mm_setzero_si128();
  const __m128i highBits = _mm_set1_epi16(int16_t(0xFF80));
  while (p + 8 <= end) {
    const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + p));
    const __m128i ascii = _mm_cmpeq_epi16(_mm_and_si128(units, highBits), zero);
    const __m128i special =
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(units, lt), _mm_cmpeq_epi16(units, gt)),
                     _mm_or_si128(_mm_cmpeq_epi16(units, zero), _mm_cmpeq_epi16(units, amp)));
    // Stop units: special ones, and every unit that is not ASCII.
    const int mask = _mm_movemask_epi8(special) | (~_mm_movemask_epi8(ascii) & 0xFFFF);
    if (mask != 0) return p + uint32_t(__builtin_ctz(unsigned(mask)) >> 1);
    p += 8;
  }
#else
  (void)text;
  (void)end;
#endif
  return p;
}

// Where a second thread may start scanning: a "<" that opens a start tag, near the middle of
// the text. The guess is confirmed only when the scan from the start arrives there outside any
// tag; kNotFound when there is no such place.
uint32_t secondScanStart(UStringView text, uint32_t end) {
  constexpr uint32_t kSearchLength = 1 << 16;
  const uint32_t from = end / 2;
  const uint32_t to = std::min(end, from + kSearchLength);
  for (uint32_t p = from; p + 1 < to; ++p) {
    if (text[p] != u'<') continue;
    const UChar16 next = text[p + 1];
    const bool letter = (next >= u'a' && next <= u'z') || (next >= u'A' && next <= u'Z');
    if (letter && p > 0 && (text[p - 1] == u'>' || isWhiteSpace(text[p - 1]))) return p;
  }
  return kNotFound;
}

}  // namespace

void VmkHTMLChecker::makeTagLocationsArray() {
  const size_t renumberFrom = scanTagLocations();
  for (size_t i = renumberFrom; i < tagLocations_.size(); ++i) tagLocations_[i]->setListIndex(i);
}

size_t VmkHTMLChecker::scanTagLocations() {
  dropTagList();

  const UStringView buffer = sourceBuffer();
  const uint32_t end = uint32_t(std::min<size_t>(buffer.size(), kNotFound));
  const uint32_t split =
      parallelChecks_ && end >= parallelScanFrom_ && std::thread::hardware_concurrency() > 1
          ? secondScanStart(buffer, end)
          : kNotFound;
  if (split == kNotFound) {
    scanTagList(0, kNotFound, tagLocations_, scanNotes_);
    scanNotesKnown_ = true;
    return tagLocations_.size();
  }

  // The second thread scans from `split` as if the text began there. The scan from the start
  // stops there when it arrives outside any tag, comment or raw text: from that place on, the
  // scanner's state is what a fresh scan has, so the second thread's entries and errors are the
  // ones it would have made. Otherwise it goes on to the end and the second thread's work is
  // dropped.
  prepareErrorLevels();
  levelCacheFrozen_ = true;
  ErrorSink laterErrors;
  VmkTagLocationList later;
  // Room for the whole list up front (one entry per 16 units, a little more than markup
  // usually makes; only the pages written are ever provided), so that neither part's list is
  // copied as it grows and the second part is appended in place. A denser text grows the lists
  // as usual.
  constexpr size_t kUnitsPerEntry = 16;
  constexpr size_t kMostReserved = size_t(1) << 24;
  ScanNotes laterNotes;
  try {
    const size_t whole = std::min<size_t>(end / kUnitsPerEntry, kMostReserved);
    const size_t second = std::min<size_t>((end - split) / kUnitsPerEntry, kMostReserved);
    tagLocations_.reserve(whole);
    scanNotes_.names.ids.reserve(whole);
    later.reserve(second);
    laterNotes.names.ids.reserve(second);
  } catch (const std::bad_alloc&) {
    // Only a head start.
  }
  std::exception_ptr laterFailure;
  bool stopped = false;
  {
    std::jthread second([&] {
      threadErrorSink_ = &laterErrors;
      try {
        scanTagList(split, kNotFound, later, laterNotes);
      } catch (...) {
        laterFailure = std::current_exception();
      }
      threadErrorSink_ = nullptr;
    });
    try {
      stopped = scanTagList(0, split, tagLocations_, scanNotes_);
    } catch (...) {
      second.join();
      levelCacheFrozen_ = false;
      throw;
    }
  }
  levelCacheFrozen_ = false;
  if (!stopped) {
    scanNotesKnown_ = true;
    return tagLocations_.size();
  }
  if (laterFailure) std::rethrow_exception(laterFailure);

  appendErrors(laterErrors);
  const size_t offset = tagLocations_.size();
  for (uint32_t place : laterNotes.ampersandRuns)
    scanNotes_.ampersandRuns.push_back(uint32_t(offset) + place);
  // The second part's spellings are numbered after the first part's.
  VmkNotedEntryNames& names = scanNotes_.names;
  const uint32_t idOffset = uint32_t(names.names.size());
  for (uint32_t id : laterNotes.names.ids) names.ids.push_back(id + idOffset);
  names.names.insert(names.names.end(), laterNotes.names.names.begin(),
                     laterNotes.names.names.end());
  scanNotesKnown_ = true;
  if (later.empty()) return offset;
  tagLocations_.reserve(tagLocations_.size() + later.size());
  tagLocations_.insert(tagLocations_.end(), std::make_move_iterator(later.begin()),
                       std::make_move_iterator(later.end()));
  return offset;
}

bool VmkHTMLChecker::textRunMayHoldAmpersand(size_t i, size_t& cursor) const {
  if (!scanNotesKnown_) return true;
  const std::vector<uint32_t>& runs = scanNotes_.ampersandRuns;
  while (cursor < runs.size() && runs[cursor] < i) ++cursor;
  return cursor < runs.size() && runs[cursor] == i;
}

bool VmkHTMLChecker::scanTagList(uint32_t from, uint32_t stopAt, VmkTagLocationList& list,
                                 ScanNotes& notes) {
  std::vector<uint32_t>& ampersandRuns = notes.ampersandRuns;
  std::vector<uint32_t>& nameIds = notes.names.ids;
  std::vector<const UString*>& idNames = notes.names.names;
  idNames.assign(1, &VmkTagLocation::textRunName());
  const UStringView buffer = sourceBuffer();
  // Ranges are 32-bit; a longer text is scanned up to that limit.
  const uint32_t end = uint32_t(std::min<size_t>(buffer.size(), kNotFound));
  const bool xml = isXHTML;
  NameFactsCache facts(htmlDictionary_.get());
  WrittenNameCache writtenNames(facts, xml);
  // Units above 127 need the character-run tests only when one of them can answer.
  const bool japanese = isJapaneseEncoding;

  uint32_t p = from;
  uint32_t textStart = from;
  uint32_t tagStart = from;
  bool inTag = false;
  VmkTagLocation* current = nullptr;        // the tag being read, then the most recently made one
  const NameFacts* currentFacts = nullptr;  // the dictionary's answers for current's name
  uint64_t dataCount = 0;
  // The last "&" met in data (or the start of raw text, which is not looked through).
  uint32_t lastAmpersand = kNotFound;

  auto append = [&](std::unique_ptr<VmkTagLocation> entry, uint32_t nameId) {
    entry->setListIndex(uint32_t(list.size()));
    nameIds.push_back(nameId);
    if (nameId >= idNames.size()) idNames.resize(nameId + 1, nullptr);
    if (!idNames[nameId]) idNames[nameId] = &entry->elementName();
    list.push_back(std::move(entry));
  };
  auto appendTextRun = [&] {
    auto text = std::make_unique<VmkTagLocation>();
    text->setInternedElementName(VmkTagLocation::textRunName());
    text->setTagRange(Range(textStart, p - textStart));
    text->setEndTagType(2);
    if (lastAmpersand != kNotFound && lastAmpersand >= textStart && lastAmpersand < p)
      ampersandRuns.push_back(uint32_t(list.size()));
    append(std::move(text), 0);
  };

  while (p < end) {
    // Runs of ordinary units and white space, the bulk of any document: white space does not
    // make a text run by itself.
    while (p < end) {
      if (dataCount != 0) {
        p = skipPlainUnits(buffer.data(), p, end);
        if (p >= end) break;
      }
      const UChar16 u = buffer[p];
      if (u < 128) {
        const uint8_t unitClass = kUnitClasses[u];
        if (unitClass == kStopUnit) break;
        if (unitClass == kAmpersandUnit) lastAmpersand = p;
        if (unitClass != kSpaceUnit) ++dataCount;
      } else {
        if (japanese || isHalfwidthKatakana(u)) break;
        ++dataCount;
      }
      ++p;
    }
    if (p >= end) break;
    if (p == stopAt && !inTag) {
      // Where the other scan began: the text run before it is the last entry of this part.
      if (dataCount != 0) appendTextRun();
      return true;
    }
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
    if (xml && c == u'<' && p + 1 < end && buffer[p + 1] == u'!' &&
        isEqualUnichars(buffer.substr(0, end), p, u"<![CDATA[", false)) {
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
      if (dataCount != 0) appendTextRun();
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

      const WrittenName& name = writtenNames.lookUp(written);
      if (name.lowered) {
        registerAnErrorWithCode("ElementNameShouldLowercase", nameRange,
                                std::vector<UString>{UString(written)});
      }
      int32_t type = -1;
      if (name.facts->exists) {
        type = name.facts->endTagType;
      } else if (name.reported) {
        registerAnErrorWithCode("NoSuchElementName", nameRange, std::vector<UString>{name.stored});
      }
      if (name.interned)
        tag->setInternedElementName(*name.interned);
      else
        tag->setElementName(name.stored);
      tag->setEndTagType(type);
      currentFacts = name.facts;
      // A tag written with a text run's name is checked as one: its whole text is searched.
      if (isTextRunName(tag->elementName())) ampersandRuns.push_back(uint32_t(list.size()));
      append(std::move(tag), name.id);
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

      if (currentFacts->rawText) {
        // Raw character data up to "</" + name (what follows the name is not examined). The
        // ">" itself is counted, so the content always becomes a text entry, noted as one that
        // may hold an "&".
        lastAmpersand = textStart;
        const UStringView scanned = buffer.substr(0, end);
        while (p < end) {
          // Only a "<" can begin the end: the units before it are passed over at once.
          const size_t lt = findCodeUnit(scanned, u'<', p);
          const uint32_t next = lt == UStringView::npos ? end : uint32_t(lt);
          dataCount += next - p;
          p = next;
          if (p >= end ||
              (p + 1 < end && buffer[p + 1] == u'/' && isEqualUnichars(scanned, p + 2, name, true)))
            break;
          ++p;
          ++dataCount;
        }
      } else {
        ++p;
      }
      continue;
    }

    if (c == u'>') {
      if (current && !currentFacts->rawText) {
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
  return false;
}

}  // namespace vmk
