// Attribute value checking: one attribute of one tag against the entries that the element's
// record declares for it.
#include "dictionary/AttributeValueCheck.h"
#include "dictionary/AttributeValueContext.h"
#include "dictionary/AttributeValuePredicates.h"
#include "dictionary/VmkDictionary.h"
#include "support/Regex.h"

namespace vmk {

namespace {

using Problem = std::optional<std::string_view>;

UString lowerText(UStringView text) {
  for (UChar16 c : text) {
    if (c >= 0x80) return lowercase(text);
  }
  return asciiLowercase(text);
}

bool isAsciiDigitUnit(UChar16 c) {
  return c >= u'0' && c <= u'9';
}

// For ASCII values, "\\d+%?" / "\\d*[%\\*]?" covering the value: digits (at least
// `minDigits`), then at most one of `suffixes`, and nothing else. Absent for other values,
// where "\\d" takes in more than ASCII digits.
std::optional<bool> asciiLengthCovers(UStringView value, size_t minDigits,
                                      std::u16string_view suffixes) {
  size_t n = 0;
  for (UChar16 c : value) {
    if (c >= 0x80) return std::nullopt;
  }
  while (n < value.size() && isAsciiDigitUnit(value[n])) ++n;
  if (n < minDigits) return false;
  if (n < value.size() && suffixes.find(value[n]) != std::u16string_view::npos) ++n;
  return n == value.size();
}

// "The pattern covers the value": its first match is as long as the whole value.
bool covers(const Regex& pattern, UStringView value) {
  const auto match = pattern.firstMatch(value);
  return match && match->range(0).length == value.size();
}

using Rule = VmkAttributeEntry::ValueRule;

Rule cdataRuleFor(UStringView kind) {
  if (kind == u"Character") return Rule::kCharacter;
  if (kind == u"Charset") return Rule::kCharset;
  if (kind == u"Charsets") return Rule::kCharsets;
  if (kind == u"Number") return Rule::kNumberKind;
  if (kind == u"Pixels" || kind == u"Length") return Rule::kLength;
  if (kind == u"Coords") return Rule::kCoords;
  if (kind == u"MultiLength") return Rule::kMultiLength;
  if (kind == u"MultiLengths") return Rule::kMultiLengths;
  if (kind == u"URL" || kind == u"URI") return Rule::kUrl;
  if (kind == u"UriList") return Rule::kUriList;
  if (kind == u"Color") return Rule::kColor;
  return Rule::kNone;
}

Rule declaredRuleFor(UStringView type) {
  if (type == u"NAME" || type == u"ID") return Rule::kName;
  if (type == u"NMTOKEN") return Rule::kNmtoken;
  if (type == u"NMTOKENS") return Rule::kNmtokens;
  if (type == u"NUMBER") return Rule::kNumber;
  if (type == u"IDREF") return Rule::kIdref;
  if (type == u"IDREFS") return Rule::kIdrefs;
  if (!type.empty() && type.front() == u'(') return Rule::kEnumeration;
  return Rule::kNone;
}

// A written value against the entry's rule.
Problem checkRule(const VmkAttributeEntry& entry, const UString& lowerAttribute, UStringView value,
                  std::optional<UString>& right, const VmkAttributeValueContext& context) {
  switch (entry.valueRule) {
    case Rule::kNone:
      return std::nullopt;
    case Rule::kCharacter:
      if (value.size() <= 1 || isCharRefString(value, context)) return std::nullopt;
      return "OneCharacterAttributeValue";
    case Rule::kCharset:
      if (context.isKnownCharsetName(lowerText(value))) return std::nullopt;
      return "UnSafeEncodingName";
    case Rule::kCharsets:
      for (UString& token : spaceSeparatedTokens(lowerText(value))) {
        if (!context.isKnownCharsetName(token)) {
          right = std::move(token);
          return "UnSafeEncodingName";
        }
      }
      return std::nullopt;
    case Rule::kNumberKind:
      if (isNumberString(value)) return std::nullopt;
      return "NumberValueAttribute";
    case Rule::kLength: {
      static const Regex& length = Regex::cached("\\d+%?");
      const std::optional<bool> fast = asciiLengthCovers(value, 1, u"%");
      if (fast ? *fast : covers(length, value)) return std::nullopt;
      return "LengthValueAttribte";
    }
    case Rule::kCoords: {
      static const Regex& coords = Regex::cached("\\d+%?[\\s,]+(\\d+%?[\\s,]*)+");
      if (covers(coords, value)) return std::nullopt;
      return "LengthValueArrayAttribte";
    }
    case Rule::kMultiLength: {
      static const Regex& multiLength = Regex::cached("\\d*[%\\*]?");
      const std::optional<bool> fast = asciiLengthCovers(value, 0, u"%*");
      if (fast ? *fast : covers(multiLength, value)) return std::nullopt;
      return "MultiLengthValueAttribute";
    }
    case Rule::kMultiLengths: {
      static const Regex& multiLengths = Regex::cached("\\d*[%\\*]?[\\s,]+(\\d*[%\\*]?[\\s,]*)+");
      if (covers(multiLengths, value)) return std::nullopt;
      return "MultiLengthValueArrayAttribute";
    }
    case Rule::kUrl: {
      const Problem problem = checkURLString(UStringView(value));
      if (problem) right = UString(value);
      return problem;
    }
    case Rule::kUriList:
      for (UString& token : listTokens(lowerText(value))) {
        const Problem problem = checkURLString(UStringView(token));
        if (problem) {
          right = std::move(token);
          return problem;
        }
      }
      return std::nullopt;
    case Rule::kColor:
      return checkColorString(value);
    case Rule::kName:
      if (isNAMEString(value)) return std::nullopt;
      return "NameValueAttribute";
    case Rule::kNmtoken:
      if (isNMTOKENString(value)) return std::nullopt;
      right = UString(value);
      return "MNTOKENAttribute";
    case Rule::kNmtokens:
      for (UString& token : listTokens(lowerText(value))) {
        if (!isNMTOKENString(token)) {
          right = std::move(token);
          return "MNTOKENAttribute";
        }
      }
      return std::nullopt;
    case Rule::kXmlName:
      if (isXMLNameString(value)) return std::nullopt;
      return "NameValueAttribute";
    case Rule::kXmlNmtoken:
      if (isXMLNmtokenString(value)) return std::nullopt;
      right = UString(value);
      return "MNTOKENAttribute";
    case Rule::kXmlNmtokens:
      for (UString& token : listTokens(lowerText(value))) {
        if (!isXMLNmtokenString(token)) {
          right = std::move(token);
          return "MNTOKENAttribute";
        }
      }
      return std::nullopt;
    case Rule::kNumber:
      if (isNumberString(value)) return std::nullopt;
      right = UString(value);
      return "NumberValueAttribute";
    case Rule::kIdref:
      if (context.isThisIDDefined(value)) return std::nullopt;
      right = UString(value);
      return "ThisIDNotDefined";
    case Rule::kIdrefs:
      for (UString& token : listTokens(lowerText(value))) {
        if (!context.isThisIDDefined(token)) {
          right = std::move(token);
          return "ThisIDNotDefined";
        }
      }
      return std::nullopt;
    case Rule::kEnumeration: {
      const std::vector<UString>& allowed = entry.enumeration;
      if (allowed.size() == 1 && allowed.front() == lowerAttribute &&
          !isEqualToString(value, lowerAttribute, true)) {
        right = lowerAttribute;
        return "BoolValueAttribute";
      }
      const UString lowerValue = lowerText(value);
      for (const UString& token : allowed) {
        if (token == lowerValue) return std::nullopt;
      }
      right = entry.type;
      return "MultiValueAttribute";
    }
  }
  return std::nullopt;
}

// One matching entry; absent when the entry is satisfied.
Problem checkEntry(const VmkAttributeEntry& entry, const UString& lowerAttribute,
                   const std::optional<UStringView>& value, std::optional<UString>& right,
                   const VmkAttributeValueContext& context) {
  if (entry.fixedValue) {
    if (value && *value == *entry.fixedValue) return std::nullopt;
    right = *entry.fixedValue;
    return "FixedValueAttribute";
  }
  if (!value) {
    if (entry.omissible) return std::nullopt;
    return "AttributeValueMustBeSpecified";
  }
  return checkRule(entry, lowerAttribute, *value, right, context);
}

}  // namespace

void prepareValueRule(VmkAttributeEntry& entry) {
  entry.fixedValue = fixedValueAttribute(entry.defaultValue);
  entry.omissible = isOmissibleAttribute(entry.name, entry.type);
  entry.valueRule =
      entry.cdata && entry.cdataKind ? cdataRuleFor(*entry.cdataKind) : declaredRuleFor(entry.type);
  entry.enumeration.clear();
  if (entry.valueRule == Rule::kEnumeration)
    entry.enumeration = enumerationTokens(lowerText(entry.type));
}

AttributeEntriesForName attributeEntriesForName(const VmkElementRecord* record,
                                                UStringView attributeName) {
  AttributeEntriesForName name;
  name.lowerName = lowerText(attributeName);
  if (!record || !record->hasAttributes) return name;
  const auto found = record->attributesByLowerName.find(name.lowerName);
  if (found != record->attributesByLowerName.end()) name.entries = &found->second;
  return name;
}

std::optional<std::string_view> checkAttributeValueForEntries(
    const VmkElementRecord* record, const AttributeEntriesForName& name,
    const std::optional<UStringView>& value, std::optional<UString>* rightValue,
    const VmkAttributeValueContext& checker) {
  if (rightValue) rightValue->reset();
  if (!record || !record->hasAttributes || !name.entries) return std::nullopt;
  for (size_t index : *name.entries) {
    std::optional<UString> right;
    const Problem problem =
        checkEntry(record->attributes[index], name.lowerName, value, right, checker);
    if (problem) {
      if (rightValue) *rightValue = std::move(right);
      return problem;
    }
  }
  return std::nullopt;
}

std::optional<std::string_view> checkAttributeValueForRecord(
    const VmkElementRecord* record, UStringView attributeName,
    const std::optional<UStringView>& value, std::optional<UString>* rightValue,
    const VmkAttributeValueContext& checker) {
  if (rightValue) rightValue->reset();
  if (!record || !record->hasAttributes) return std::nullopt;
  return checkAttributeValueForEntries(record, attributeEntriesForName(record, attributeName),
                                       value, rightValue, checker);
}

std::optional<std::string_view> VmkDictionary::checkAttributeName(
    UStringView attributeName, const std::optional<UStringView>& value, UStringView element,
    std::optional<UString>* rightValue, const VmkAttributeValueContext& checker) const {
  return checkAttributeValueForRecord(foldedElementRecord(element), attributeName, value,
                                      rightValue, checker);
}

}  // namespace vmk
