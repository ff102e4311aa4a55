// Small predicates that judge one attribute value, or one field of an attribute entry, and
// the two colour-name tables they consult. None of them keeps state.
//
// Letters and digits are the ASCII ones. Error codes are returned as identifiers of the error
// catalogue (static texts); an absent answer means that no problem was found.
#pragma once

#include <optional>
#include <span>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "dictionary/AttributeValueContext.h"
#include "support/Text.h"

namespace vmk {

// An error code of the catalogue, or absent when the value is acceptable.
using AttributeValueProblem = std::optional<std::string_view>;

// The sixteen colour names of HTML 4 ("aqua" ... "yellow"), lower case, in alphabetical order.
std::span<const std::string_view> safeColorNameList();
// The 140 further colour keywords that browsers accept (the sixteen above included), lower
// case, in alphabetical order.
std::span<const std::string_view> unsafeColorNameList();
// The same two lists as sets, built once on first use and read-only afterwards.
const std::unordered_set<UString>& gColors();
const std::unordered_set<UString>& gColors2();

// The value of a "#FIXED" default ("#FIXED'v'" or "#FIXED\"v\""): from after the first
// quotation mark to before the last one of the field; absent for any other default.
std::optional<UString> fixedValueAttribute(UStringView defaultField);

// True when the type is an enumeration that lists the attribute's own name, so that the
// attribute may be written by its value alone (selected, checked, ...).
bool isOmissibleAttribute(UStringView name, UStringView type);

// True when the text begins with a complete character reference (whatever follows it).
bool isCharRefString(UStringView text, const VmkAttributeValueContext& context);

// One or more digits and nothing else.
bool isNumberString(UStringView text);

// Letters, digits, "-", "_", ":" and "." only; the empty text is a token.
bool isNMTOKENString(UStringView text);
// A letter followed by token characters; the empty text passes.
bool isNAMEString(UStringView text);
// The same two by the rules of XML names: name characters (letters and digits of any script,
// "-", ".", "_", ":", combining marks, U+00B7, U+203F, U+2040) for a token, and for a name a
// first character that is a name start character (no digit, "-", "." or combining mark). The
// empty text passes, as above.
bool isXMLNmtokenString(UStringView text);
bool isXMLNameString(UStringView text);

// "VoidURLValue", "SpaceContainedURLValue", "ControlContainedURLValue", "WrongSchemeInURL",
// "UnSafeURLValue" or absent. Text up to a ">" (server-side code such as "<?...?>") is not
// looked at.
AttributeValueProblem checkURLString(std::optional<UStringView> text);

// "UnSafeColorName", "WrongHexColorValue", "WrongColorValueAttribute" or absent.
AttributeValueProblem checkColorString(UStringView text);

// The characters that make a URL unsafe: one of < > [ ] ^ ` | { }.
bool isUnsafeURLCharacter(UChar16 unit);

// Tokens of a value or type field, in order: the successive matches of [^\s]+ (charset
// lists), [^\s,]+ (lists of links, ids and name tokens) and [^\s,|()]+ (the
// values of an enumeration).
std::vector<UString> spaceSeparatedTokens(UStringView text);
std::vector<UString> listTokens(UStringView text);
std::vector<UString> enumerationTokens(UStringView text);

}  // namespace vmk
