// Attribute checks: attribute records of every start tag, their lexical problems, required
// attributes and value types.
#include <algorithm>
#include <string>
#include <unordered_set>

#include "dictionary/AttributeValueCheck.h"
#include "dictionary/AttributeValuePredicates.h"
#include "dictionary/VmkDictionary.h"
#include "engine/AttributeEditorNames.h"
#include "engine/AttributePass.h"
#include "engine/AttributeValueCheckerContext.h"
#include "engine/NameAddressTable.h"
#include "engine/NamePredicates.h"
#include "engine/VmkHTMLChecker.h"
#include "support/Regex.h"

namespace vmk {

namespace {

// Longest unquoted value that an HTML tag may carry without quotation marks.
constexpr size_t kMaxUnquotedValueLength = 72;

constexpr bool isAsciiLetterOrDigit(UChar16 c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
}

UString lowerName(UStringView name) {
  return isAsciiText(name) ? asciiLowercase(name) : lowercase(name);
}

// Processing instructions, declarations, comments, end tags and text runs carry no attributes.
bool carriesAttributes(const UString& name) {
  if (name.empty()) return true;
  const UChar16 first = name.front();
  return first != u'?' && first != u'!' && first != u'/' && first != u'#';
}

// An unquoted value that HTML accepts: letters, digits, "." and "-", at most 72 units.
bool isPlainUnquotedValue(UStringView value) {
  if (value.size() > kMaxUnquotedValueLength) return false;
  for (UChar16 c : value) {
    if (!isAsciiLetterOrDigit(c) && c != u'.' && c != u'-') return false;
  }
  return true;
}

// Substrings up to the first absent one.
std::vector<UString> substringsUntilAbsent(
    std::initializer_list<const std::optional<UString>*> items) {
  std::vector<UString> list;
  for (const std::optional<UString>* item : items) {
    if (!*item) break;
    list.push_back(**item);
  }
  return list;
}

// "%" and the code in upper-case hexadecimal without leading zeros.
UString percentEscape(UChar16 unit) {
  static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
  UString hex;
  unsigned code = unit;
  do {
    hex.insert(hex.begin(), kDigits[code & 0xF]);
    code >>= 4;
  } while (code != 0);
  return u"%" + hex;
}

// Offset in the value of the character that makes a link unsafe. Server-side code ("<?...?>",
// or anything up to a ">" on its line) is not part of the link, so it is passed over, as the
// link test passes over it; the first such character of the whole value is the fallback.
std::optional<size_t> unsafeURLCharacterOffset(UStringView value) {
  static const Regex& serverCode = Regex::cached("<?.*?>");
  size_t position = 0;
  std::optional<size_t> found;
  auto scan = [&](size_t from, size_t to) {
    for (size_t i = from; i < to && !found; ++i) {
      if (isUnsafeURLCharacter(value[i])) found = i;
    }
  };
  serverCode.forEachMatch(value, Range(0, uint32_t(value.size())), [&](const RegexMatch& match) {
    const Range code = match.range(0);
    scan(position, code.location);
    position = code.max();
    return !found;
  });
  if (!found) scan(position, value.size());
  if (!found) scan(0, value.size());
  return found;
}

}  // namespace

VmkHTMLChecker::AttributeNameFacts VmkHTMLChecker::AttributePass::derive(
    const VmkElementRecord* element, UStringView written) {
  AttributeNameFacts facts;
  facts.lower = checker_.keptAttributeName(lowerName(written));
  facts.lowered = facts.lower != written;
  facts.isId = facts.lower == u"id";
  if (dictionary_) {
    facts.contained = dictionary_->canContainAttribute(facts.lower, element);
    if (!facts.contained) facts.editor = isEditorAttributeName(facts.lower);
  }
  if (element) facts.entries = attributeEntriesForName(element, facts.lower);
  return facts;
}

void VmkHTMLChecker::checkAttributeNamesAndValues() {
  AttributeValueWork work(*this);
  makeAttributeRecords(work);
  checkAttributeValues(work);
  addAttributeValueErrors(work);
}

void VmkHTMLChecker::makeAttributeRecords(AttributeValueWork& work) {
  idIndex_.clear();
  idIndexedCount_ = 0;
  if (tagLocations_.empty()) return;
  // The element record of each distinct name, looked up once. Entries of one spelling mostly
  // share one stored name, so the name's address is the key (the name index is not used: this
  // pass may run while the tree walk builds it). The facts are used before the table grows
  // again.
  struct Facts {
    bool carries = false;
    const VmkElementRecord* record = nullptr;
  };
  auto factsFor = [&](const UString& name) {
    Facts f;
    f.carries = carriesAttributes(name);
    if (f.carries && htmlDictionary_) f.record = htmlDictionary_->foldedElementRecord(name);
    return f;
  };
  NameAddressTable<Facts> factsByName;
  // Entries that carry no attributes (text runs and end tags, most of a large list) are not
  // read when the scan noted the names: the facts are then kept per noted spelling.
  const VmkNotedEntryNames* noted = scannedEntryNames();
  std::vector<Facts> factsById;
  if (noted) {
    factsById.resize(noted->names.size());
    for (size_t id = 0; id < factsById.size(); ++id)
      if (noted->names[id]) factsById[id] = factsFor(*noted->names[id]);
  }
  auto factsOf = [&](size_t i) -> const Facts& {
    if (noted) return factsById[noted->ids[i]];
    const UString* name = &tagLocations_[i]->elementName();
    return factsByName.findOrAdd(name, [&] { return factsFor(*name); });
  };
  // The tags that the value and required-attribute checks look at, with their records.
  for (size_t i = 0; i < tagLocations_.size(); ++i) {
    const Facts& f = factsOf(i);
    if (!f.carries) continue;
    VmkTagLocation& tag = *tagLocations_[i];
    const size_t firstFacts = work.pass.recordFacts.size();
    makeAttrbListForTagLocation(tag, f.record, work.pass);
    if (tag.attributes() || (f.record && !f.record->requiredAttributes.empty()))
      work.tags.push_back({&tag, f.record, firstFacts});
  }
  work.chunkErrors.resize((work.tags.size() + AttributeValueWork::kChunk - 1) /
                          AttributeValueWork::kChunk);
}

void VmkHTMLChecker::checkAttributeValues(AttributeValueWork& work) {
  // Only reads are shared from here on: the ids are all known and indexed.
  const ThreadSinkRestorer restorer;
  const AttributeNameFacts* const* facts = work.pass.recordFacts.data();
  for (;;) {
    const size_t chunk = work.nextChunk.fetch_add(1);
    if (chunk >= work.chunkErrors.size()) break;
    threadErrorSink_ = &work.chunkErrors[chunk];
    const size_t end = std::min(work.tags.size(), (chunk + 1) * AttributeValueWork::kChunk);
    for (size_t t = chunk * AttributeValueWork::kChunk; t < end; ++t) {
      const AttributeValueWork::Tag& tag = work.tags[t];
      checkRequiredAttributeForTagLocation(*tag.tag, tag.record);
      if (tag.tag->attributes())
        checkAttributeValuesForTagLocation(*tag.tag, tag.record, facts + tag.firstFacts);
    }
  }
}

void VmkHTMLChecker::addAttributeValueErrors(AttributeValueWork& work) {
  for (ErrorSink& chunk : work.chunkErrors) appendErrors(chunk);
  work.chunkErrors.clear();
}

void VmkHTMLChecker::makeAttrbListForTagLocation(VmkTagLocation& tag) {
  AttributePass pass(*this);
  makeAttrbListForTagLocation(
      tag, htmlDictionary_ ? htmlDictionary_->foldedElementRecord(tag.elementName()) : nullptr,
      pass);
}

void VmkHTMLChecker::makeAttrbListForTagLocation(VmkTagLocation& tag,
                                                 const VmkElementRecord* elementRecord,
                                                 AttributePass& pass) {
  const UStringView buffer = sourceBuffer();
  const Range tagRange = tag.tagRange();
  const size_t start = std::min<size_t>(tagRange.location, buffer.size());
  size_t end = std::min<size_t>(size_t(tagRange.location) + tagRange.length, buffer.size());

  // The inner text: without the closing ">" and the "/" of an XHTML empty-element tag.
  if (end > start && buffer[end - 1] == u'>') --end;
  if (end > start && buffer[end - 1] == u'/') --end;

  auto skipWhiteSpace = [&](size_t& p) {
    while (p < end && isWhiteSpace(buffer[p])) ++p;
  };

  size_t p = start;
  if (p < end && buffer[p] == u'<') ++p;
  skipWhiteSpace(p);
  while (p < end && !isWhiteSpace(buffer[p])) ++p;  // the element name

  const UString& element = tag.elementName();
  const VmkDictionary* dictionary = htmlDictionary_.get();
  // Records are gathered in the pass's scratch list and copied out at their final size: the
  // records of a large document are kept for the whole run.
  VmkAttributeList& records = pass.scratch;
  records.clear();
  // Names of the records made so far: searched directly while the tag has few attributes,
  // through a hash index once it has many.
  constexpr size_t kIndexFrom = 16;
  std::unordered_set<UStringView> seen;
  auto alreadyMade = [&](UStringView name) {
    if (records.size() < kIndexFrom) {
      for (const VmkAttribute& made : records) {
        if (made.name == name) return true;
      }
      return false;
    }
    if (seen.empty()) {
      for (const VmkAttribute& made : records) seen.insert(made.name);
    }
    return !seen.insert(name).second;
  };

  while (p < end) {
    skipWhiteSpace(p);
    if (p >= end) break;

    const size_t nameStart = p;
    while (p < end && !isWhiteSpace(buffer[p]) && buffer[p] != u'=' && buffer[p] != u'>') ++p;
    const Range nameRange(uint32_t(nameStart), uint32_t(p - nameStart));
    const UStringView writtenName = buffer.substr(nameStart, p - nameStart);

    size_t afterName = p;
    skipWhiteSpace(afterName);
    const bool hasValue = afterName < end && buffer[afterName] == u'=';
    if (writtenName.empty() && !hasValue) {
      // A ">" left inside the tag by embedded server-side code: step over it.
      ++p;
      continue;
    }

    const AttributeNameFacts& facts = pass.factsFor(elementRecord, writtenName);
    VmkAttribute record;
    record.name = facts.lower;
    record.nameRange = nameRange;

    // One report per repeated attribute, naming the occurrence that repeats it.
    if (alreadyMade(record.name)) {
      registerAnErrorWithCode("DuplicateAttributes", nameRange,
                              std::vector<UString>{element, UString(writtenName)});
    }
    if (isXHTML && facts.lowered) {
      registerAnErrorWithCode("AttributeNameShouldLowercase", nameRange,
                              std::vector<UString>{UString(writtenName)});
    }

    p = afterName;
    if (hasValue) {
      ++p;  // "="
      skipWhiteSpace(p);
      const UChar16 quote = p < end ? buffer[p] : 0;
      if (quote == u'"' || quote == u'\'') {
        ++p;
        const size_t valueStart = p;
        size_t valueEnd = p;
        for (;;) {
          // Only the quotation mark, "<" and ">" stop the value: ordinary units are passed over
          // several at a time.
          if (p < end) {
            const size_t stop =
                findAnyOfThreeCodeUnits(buffer.substr(0, end), quote, u'<', u'>', p);
            p = stop == UStringView::npos ? end : stop;
          }
          // Server-side code is taken whole, whatever it holds.
          if (p + 1 < end && buffer[p] == u'<' && buffer[p + 1] == u'?') {
            p += 2;
            while (p + 1 < end && !(buffer[p] == u'?' && buffer[p + 1] == u'>')) ++p;
            p = p + 1 < end ? p + 2 : end;
            continue;
          }
          if (p >= end || (buffer[p] == u'>' && buffer[p - 1] != u'?')) {
            valueEnd = p;
            registerAnErrorWithCode("NoRightQuotationMark",
                                    Range(uint32_t(valueStart), uint32_t(valueEnd - valueStart)));
            ++p;
            break;
          }
          if (buffer[p] == quote) {
            valueEnd = p;
            ++p;
            break;
          }
          ++p;
        }
        record.value = buffer.substr(valueStart, valueEnd - valueStart);
        record.valueRange = Range(uint32_t(valueStart), uint32_t(valueEnd - valueStart));
      } else {
        const size_t valueStart = p;
        while (p < end && !isWhiteSpace(buffer[p])) ++p;
        const UStringView value = buffer.substr(valueStart, p - valueStart);
        record.value = value;
        record.valueRange = Range(uint32_t(valueStart), uint32_t(value.size()));
        if (isXHTML || !isPlainUnquotedValue(value)) {
          registerAnErrorWithCode("NeedsQuotationMarks", record.valueRange);
        }
      }
    }

    if (facts.isId && record.value) {
      if (isThisIDDefined(*record.value)) {
        registerAnErrorWithCode(
            "ThisIDAlreadyDefined", record.valueRange,
            std::vector<UString>{element, UString(record.name), UString(*record.value)});
      } else {
        idArray.emplace_back(*record.value);
        if (idIndexedCount_ + 1 == idArray.size()) {
          idIndex_.insert(idIndexKey(idArray.back()));
          ++idIndexedCount_;
        }
      }
    }

    if (dictionary && !facts.contained) {
      if (facts.editor) {
        Range range = nameRange;
        if (record.value) {
          size_t rangeEnd = record.valueRange.max();
          if (rangeEnd < buffer.size() && (buffer[rangeEnd] == u'"' || buffer[rangeEnd] == u'\'')) {
            ++rangeEnd;
          }
          range.length = uint32_t(rangeEnd - nameRange.location);
        }
        registerAnErrorWithCode("ThisAttributeNotDefinedInDtd", range,
                                std::vector<UString>{element, UString(record.name)});
      } else {
        registerAnErrorWithCode("NoSuchAttribute", nameRange,
                                std::vector<UString>{element, UString(record.name)});
      }
    }

    records.push_back(std::move(record));
    pass.recordFacts.push_back(&facts);
  }

  if (records.empty()) return;
  tag.setAttributes(VmkAttributeList(std::make_move_iterator(records.begin()),
                                     std::make_move_iterator(records.end())));
  records.clear();
}

void VmkHTMLChecker::checkRequiredAttributeForTagLocation(VmkTagLocation& tag) {
  if (!htmlDictionary_) return;
  checkRequiredAttributeForTagLocation(tag,
                                       htmlDictionary_->foldedElementRecord(tag.elementName()));
}

void VmkHTMLChecker::checkRequiredAttributeForTagLocation(VmkTagLocation& tag,
                                                          const VmkElementRecord* elementRecord) {
  if (!htmlDictionary_) return;
  const UString& element = tag.elementName();
  // The record's list is what requiredAttributesForElement answers, without the copy.
  if (!elementRecord || elementRecord->requiredAttributes.empty()) return;

  for (const UString& name : elementRecord->requiredAttributes) {
    bool present = false;
    if (tag.attributes()) {
      for (const VmkAttribute& record : *tag.attributes()) {
        if (isEqualToString(record.name, name, true)) {
          present = true;
          break;
        }
      }
    }
    if (present) continue;

    std::string_view code = "NoRequiredAttribute";
    if (isEqualToString(element, u"img", true) && isEqualToString(name, u"alt", true)) {
      code = "NoAltAttributeForImg";
    } else if (isEqualToString(element, u"area", true) && isEqualToString(name, u"alt", true)) {
      code = "NoAltAttributeForArea";
    } else if (isEqualToString(element, u"style", true) && isEqualToString(name, u"type", true)) {
      code = "NoTypeAttributeForStyle";
    } else if (isEqualToString(element, u"script", true) && isEqualToString(name, u"type", true)) {
      code = "NoTypeAttributeForScript";
    }
    registerAnErrorWithCode(code, tag.tagRange(), std::vector<UString>{element, name});
  }
}

void VmkHTMLChecker::checkAttributeValuesForTagLocation(VmkTagLocation& tag) {
  if (!tag.attributes()) return;
  checkAttributeValuesForTagLocation(
      tag, htmlDictionary_ ? htmlDictionary_->foldedElementRecord(tag.elementName()) : nullptr,
      nullptr);
}

void VmkHTMLChecker::checkAttributeValuesForTagLocation(
    VmkTagLocation& tag, const VmkElementRecord* elementRecord,
    const AttributeNameFacts* const* recordFacts) {
  if (!tag.attributes()) return;
  const UString& element = tag.elementName();
  const VmkCheckerAttributeValueContext context(*this);

  for (const VmkAttribute& record : *tag.attributes()) {
    const AttributeNameFacts* facts = recordFacts ? *recordFacts++ : nullptr;
    if (record.value) checkCharRefForRange(record.valueRange);

    if (isXHTML && !record.value) {
      registerAnErrorWithCode("CantOmitAttributeNameInXhtml", record.nameRange,
                              std::vector<UString>{UString(record.name)});
      continue;
    }
    if (!elementRecord) continue;

    std::optional<UString> right;
    const std::optional<std::string_view> answer =
        facts ? checkAttributeValueForEntries(elementRecord, facts->entries, record.value, &right,
                                              context)
              : checkAttributeValueForRecord(elementRecord, record.name, record.value, &right,
                                             context);
    if (!answer) continue;
    const std::string_view code = *answer;

    const std::optional<UString> name = UString(record.name);
    const std::optional<UString> elementName = element;
    const std::optional<UString> value =
        record.value ? std::optional<UString>(*record.value) : std::nullopt;
    // Without a value only the fixed value can be missing: point just after the name.
    const Range valueRange = record.value ? record.valueRange : Range(record.nameRange.max(), 0);

    if (code == "FixedValueAttribute") {
      registerAnErrorWithCode(code, valueRange, substringsUntilAbsent({&name, &right}));
    } else if (code == "AttributeValueMustBeSpecified") {
      registerAnErrorWithCode(code, record.nameRange, substringsUntilAbsent({&name}));
    } else if (code == "OneCharacterAttributeValue" || code == "NumberValueAttribute") {
      registerAnErrorWithCode(code, valueRange, substringsUntilAbsent({&elementName, &name}));
    } else if (code == "UnSafeEncodingName" || code == "VoidURLValue" ||
               code == "SpaceContainedURLValue" || code == "ControlContainedURLValue" ||
               code == "WrongSchemeInURL" || code == "MultiValueAttribute") {
      registerAnErrorWithCode(code, valueRange, substringsUntilAbsent({&name, &right}));
    } else if (code == "LengthValueAttribte" || code == "LengthValueArrayAttribte" ||
               code == "MultiLengthValueAttribute" || code == "MultiLengthValueArrayAttribute" ||
               code == "BoolValueAttribute") {
      registerAnErrorWithCode(code, valueRange, substringsUntilAbsent({&name}));
    } else if (code == "UnSafeURLValue") {
      const UStringView text = value ? UStringView(*value) : UStringView();
      const std::optional<size_t> offset = unsafeURLCharacterOffset(text);
      if (!offset) {
        registerAnErrorWithCode(code, valueRange, substringsUntilAbsent({&name}));
        continue;
      }
      const UChar16 unit = text[*offset];
      registerAnErrorWithCode(
          code, Range(valueRange.location + uint32_t(*offset), 1),
          std::vector<UString>{UString(record.name), UString(1, unit), percentEscape(unit)});
    } else if (code == "UnSafeColorName" || code == "WrongColorValueAttribute") {
      registerAnErrorWithCode(code, valueRange, substringsUntilAbsent({&name, &value}));
    } else if (code == "WrongHexColorValue") {
      registerAnErrorWithCode(code, valueRange);
    } else if (code == "NameValueAttribute" || code == "MNTOKENAttribute") {
      registerAnErrorWithCode(code, valueRange,
                              substringsUntilAbsent({&elementName, &name, &right}));
    } else if (code == "ThisIDNotDefined") {
      registerAnErrorWithCode(code, valueRange, substringsUntilAbsent({&value}));
    }
  }
}

bool VmkHTMLChecker::isThisIDDefined(UStringView value) const {
  // The index follows idArray; start again when the list was replaced by a shorter one.
  if (idIndexedCount_ > idArray.size()) {
    idIndex_.clear();
    idIndexedCount_ = 0;
  }
  for (; idIndexedCount_ < idArray.size(); ++idIndexedCount_)
    idIndex_.insert(idIndexKey(idArray[idIndexedCount_]));
  return foldsIds_ ? idIndex_.contains(idIndexKey(value)) : idIndex_.contains(value);
}

UString VmkHTMLChecker::idIndexKey(UStringView value) const {
  UString key(value);
  if (foldsIds_) {
    for (char16_t& c : key)
      if (c >= u'a' && c <= u'z') c = char16_t(c - u'a' + u'A');
  }
  return key;
}

UStringView VmkHTMLChecker::keptAttributeName(UStringView name) {
  auto found = attributeNames_.find(name);
  if (found == attributeNames_.end()) found = attributeNames_.emplace(name).first;
  return *found;
}

}  // namespace vmk
