#include "errors/MessageTables.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "errors/ErrorCatalogue.h"
#include "support/Regex.h"

namespace vmk {
namespace {

// How many substrings each check supplies with its code (all of them, every time). Where a
// trailing substring is sometimes absent, only the guaranteed ones are counted.
const std::map<std::string, int>& suppliedSubstrings() {
  static const std::map<std::string, int> counts{
      // Scanner and tree walk.
      {"MachineDependantCharacter", 0},
      {"UnSafeKatakana", 0},
      {"NullCodeDetected", 0},
      {"NoCDATAEndMark", 0},
      {"SpaceBeforeElementName", 0},
      {"ElementNameShouldLowercase", 1},
      {"NoSuchElementName", 1},
      {"LtMarkInTag", 0},
      {"EndTagCantBeOmitted", 1},
      {"DontUseThisEndTagInXHTML", 1},
      {"WrongTagEnd", 0},
      {"LeftLtMarkNotFound", 0},
      {"StartTagNotFound", 1},
      {"NoDataBetweenStartAndEndTags", 1},
      {"NoEndTagForThisElement", 1},
      {"EndTagNotFound", 1},
      {"CantBeChildElement", 2},
      {"EndTagMayBeOmitted", 2},
      // Prologue.
      {"DoctypeMustBeTop", 0},
      {"MustCapitalLatterInDoctype", 0},
      {"NoSuchHtmlDictionary", 0},
      {"HtmlMustBeLowerCaseInXHTML", 0},
      {"WrongSystemIdentifier", 2},
      {"NoSystemIdentifier", 2},
      {"NoDoctypeDeclaration", 0},
      {"XMLVersionRequired", 0},
      {"WrongXmlVersion", 0},
      {"XMLEncodingRequired", 0},
      {"XmlTagMustBeFirst", 0},
      {"NoHtmlTagBeforeDoctype", 0},
      {"NoHtmlTag", 0},
      // Element structure ("DataCantBeInserted" gives "" first, then the parent).
      {"DataCantBeInserted", 2},
      {"XHTMLDuplicateEndTag", 1},
      {"HtmlEndTagNotFound", 0},
      {"WrongElementsOrder", 2},
      {"HeadElementIsRecomended", 0},
      {"NoTitleTagInHead", 0},
      {"BodyEndTagNotFound", 0},
      {"BaseTagMustBeTopInHeadSection", 0},
      {"BaseURLMustBeAbsolute", 0},
      // Attributes.
      {"DuplicateAttributes", 2},
      {"AttributeNameShouldLowercase", 1},
      {"NeedsQuotationMarks", 0},
      {"NoRightQuotationMark", 0},
      {"ThisIDAlreadyDefined", 3},
      {"ThisAttributeNotDefinedInDtd", 2},
      {"NoSuchAttribute", 2},
      {"NoRequiredAttribute", 2},
      {"NoAltAttributeForImg", 2},
      {"NoAltAttributeForArea", 2},
      {"NoTypeAttributeForStyle", 2},
      {"NoTypeAttributeForScript", 2},
      {"CantOmitAttributeNameInXhtml", 1},
      {"FixedValueAttribute", 2},
      {"AttributeValueMustBeSpecified", 1},
      {"OneCharacterAttributeValue", 2},
      {"UnSafeEncodingName", 1},
      {"NumberValueAttribute", 2},
      {"LengthValueAttribte", 1},
      {"MultiLengthValueAttribute", 1},
      {"MultiLengthValueArrayAttribute", 1},
      {"VoidURLValue", 2},
      {"SpaceContainedURLValue", 2},
      {"ControlContainedURLValue", 2},
      {"WrongSchemeInURL", 2},
      {"UnSafeURLValue", 3},
      {"UnSafeColorName", 2},
      {"WrongHexColorValue", 0},
      {"WrongColorValueAttribute", 2},
      {"NameValueAttribute", 2},
      {"MNTOKENAttribute", 3},
      {"ThisIDNotDefined", 1},
      {"BoolValueAttribute", 1},
      {"MultiValueAttribute", 2},
      // Characters and encodings.
      {"EncodingConflictBetweenXMLandMeta", 0},
      {"UnSafeCharacterSetValue", 2},
      {"EncodingNotMatched", 2},
      {"JapneseEncodingButNoJapanese", 2},
      {"WrongAmpersand", 0},
      {"SemiColonLacked", 0},
      {"RequiredElementMissing", 2},
      {"ElementOutOfPlace", 3},
      {"ExcludedElement", 2},
      // Links.
      {"NoAbsolutePath", 1},
      {"CantCheckThisURL", 1},
      {"LocalDocumentNotFound", 1},
      {"OtherLinkError", 2},
      {"Redirection", 2},
      {"ClientError", 2},
      {"ServerError", 2},
      // In the catalogue, but reported by no check.
      {"AnchorPlaceNotFound", 0},
      {"MapNotSpecified", 0},
  };
  return counts;
}

TEST(MessageTables, EveryCodeHasATitleAndADescriptionWithSuppliedPlaceholders) {
  const Regex& placeholder = Regex::cached("%(\\d+)");
  EXPECT_EQ(suppliedSubstrings().size(), 92u);
  for (const ErrorCatalogueEntry& entry : factoryErrorCatalogue()) {
    const std::string code(entry.errorKey);
    auto count = suppliedSubstrings().find(code);
    ASSERT_NE(count, suppliedSubstrings().end()) << code;
    for (std::string_view table : {kMsgTitleTable, kMsgDescriptionTable}) {
      ASSERT_TRUE(hasLocalizedString(table, code)) << table << " " << code;
      UString text = localizedString(table, code);
      EXPECT_FALSE(text.empty()) << code;
      for (const RegexMatch& m : placeholder.allMatches(text)) {
        int n = std::stoi(toUtf8(*m.text(text, 1)));
        EXPECT_TRUE(n >= 1 && n <= count->second) << table << " " << code << " uses %" << n;
      }
    }
    EXPECT_LT(localizedString(kMsgTitleTable, code).size(), 80u) << code;
  }
  // Emitted by the attribute value checks but deliberately absent from the catalogue.
  EXPECT_FALSE(hasLocalizedString(kMsgTitleTable, "LengthValueArrayAttribte"));
}

TEST(MessageTables, MissingKeysShowTheKey) {
  EXPECT_EQ(localizedString(kVelumarkXTable, "Validating HTML..."), u"Validating HTML...");
  EXPECT_TRUE(hasLocalizedString(kVelumarkXTable, "%d errors and %d cautions were found!"));
  EXPECT_TRUE(hasLocalizedString(kVelumarkXTable, "404 Not Found"));
  EXPECT_EQ(localizedString(kVelumarkXTable, "No such label"), u"No such label");
  EXPECT_EQ(localizedStringUtf8("NoSuchTable", "Some key"), "Some key");
}

}  // namespace
}  // namespace vmk
