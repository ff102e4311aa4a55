// The repair table: one row per error code that has a repair. A row is named by an
// enumerator whose name is the code's spelling, written once in the list below: the code that
// carries out a row is chosen by a switch over the enumeration, which the compiler checks for
// rows left out, and no string comparison in it can be misspelt.
#pragma once

#include <optional>
#include <span>
#include <string_view>

namespace vmk {

#define VMK_REPAIR_ROWS(X)         \
  X(SpaceBeforeElementName)        \
  X(LtMarkInTag)                   \
  X(WrongAmpersand)                \
  X(NullCodeDetected)              \
  X(ThisAttributeNotDefinedInDtd)  \
  X(JapneseEncodingButNoJapanese)  \
  X(WrongXmlVersion)               \
  X(WrongSystemIdentifier)         \
  X(XHTMLDuplicateEndTag)          \
  X(WrongTagEnd)                   \
  X(NeedsQuotationMarks)           \
  X(NoRightQuotationMark)          \
  X(SpaceContainedURLValue)        \
  X(ControlContainedURLValue)      \
  X(UnSafeURLValue)                \
  X(UnSafeCharacterSetValue)       \
  X(UnSafeKatakana)                \
  X(MustCapitalLatterInDoctype)    \
  X(HtmlMustBeLowerCaseInXHTML)    \
  X(ElementNameShouldLowercase)    \
  X(AttributeNameShouldLowercase)  \
  X(WrongHexColorValue)            \
  X(SemiColonLacked)               \
  X(FixedValueAttribute)           \
  X(BoolValueAttribute)            \
  X(CantOmitAttributeNameInXhtml)  \
  X(NoDoctypeDeclaration)          \
  X(XMLVersionRequired)            \
  X(XMLEncodingRequired)           \
  X(EncodingNotMatched)            \
  X(NoTitleTagInHead)              \
  X(HeadElementIsRecomended)       \
  X(NoAltAttributeForImg)          \
  X(NoAltAttributeForArea)         \
  X(NoTypeAttributeForStyle)       \
  X(NoTypeAttributeForScript)      \
  X(HtmlEndTagNotFound)            \
  X(BodyEndTagNotFound)            \
  X(NoHtmlTag)                     \
  X(NoHtmlTagBeforeDoctype)        \
  X(XmlTagMustBeFirst)             \
  X(BaseTagMustBeTopInHeadSection) \
  X(DontUseThisEndTagInXHTML)      \
  X(NoSystemIdentifier)

enum class RepairRow {
#define VMK_REPAIR_ROW_ENUMERATOR(code) code,
  VMK_REPAIR_ROWS(VMK_REPAIR_ROW_ENUMERATOR)
#undef VMK_REPAIR_ROW_ENUMERATOR
};

struct RepairTableRow {
  RepairRow row;
  std::string_view errorCode;
};

// Every row, in the table's order.
std::span<const RepairTableRow> repairTable();
// The row of an error code (compared exactly); absent for a code without a repair.
std::optional<RepairRow> repairRowForErrorCode(std::string_view code);

}  // namespace vmk
