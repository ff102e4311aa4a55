// The six items the plug-in offers for the host's document toolbars. The identifiers are the
// names the host stores toolbar layouts under, so they never change (a misspelled one
// included).
#pragma once

#include <array>
#include <string_view>

namespace vmk {

inline constexpr std::string_view kValidateHTMLItemIdentifier = "ValidateHTML Item Identifier";
inline constexpr std::string_view kLinkCheckItemIdentifier = "LinkCheck Item Identifier";
inline constexpr std::string_view kBothCheckItemIdentifier = "BothkCheck Item Identifier";
inline constexpr std::string_view kRecursiveCheckItemIdentifier = "RecursiveCheck Item Identifier";
inline constexpr std::string_view kBeautifyItemIdentifier = "Beautify Item Identifier";
inline constexpr std::string_view kMinimizeItemIdentifier = "Minimize Item Identifier";

// One toolbar item: its label (also the palette label) and tool tip before localization, its
// image name and the result store's action it triggers.
struct ToolbarItemModel {
  std::string_view identifier;
  std::string_view label;
  std::string_view toolTip;
  std::string_view image;
  std::string_view action;
};

// In the order the host is told the identifiers.
inline constexpr std::array<ToolbarItemModel, 6> kDocumentToolbarItems{{
    {kValidateHTMLItemIdentifier, "Validate HTML", "Validate Quilldesk X frontmost HTML document.",
     "ValidateHTMLIcon", "validateFrontmostHTML:"},
    {kLinkCheckItemIdentifier, "Check Links", "Check Links of Quilldesk X frontmost HTML document.",
     "LinkcheckIcon", "checkLinksFrontmostHTML:"},
    {kBothCheckItemIdentifier, "Check Both",
     "Check HTML and Links of Quilldesk X frontmost HTML document.", "BothCheckIcon",
     "checkBothFrontmostHTML:"},
    {kRecursiveCheckItemIdentifier, "Recursive Check", "Check HTML and Links recursively.",
     "RecursiveCheckIcon", "checkRecursiveFromFrontmostHTML:"},
    {kBeautifyItemIdentifier, "Beautify HTML", "Beautify Quilldesk X frontmost HTML document.",
     "BeautifyIcon", "beautifyFrontmostHTML:"},
    {kMinimizeItemIdentifier, "Minimize HTML", "Minimize Quilldesk X frontmost HTML document.",
     "MinimizeIcon", "minimizeFrontmostHTML:"},
}};

}  // namespace vmk
