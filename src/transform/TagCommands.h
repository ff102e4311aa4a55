// The tag commands: select the tag around the caret, its partner or its whole element, show the
// element in the dictionary browser, read the tag's name and attributes, select or change one
// attribute, follow the link under a position, and answer whether the caret lies inside an
// element or whether an element is empty.
//
// All but selectTagFor work on the tag list of a checker's last run and make that run describe
// the document first (VmkHTMLChecker::ensureCurrentRunFor: a silent check unless the document
// is the run's document with an unchanged digest). The entry that decides is the first one, in
// source order, whose range contains the selection (starts at or before its start and ends at
// or after its end), so a caret between "<b>" and "<i>" belongs to "<b>". Selections are made
// through the host with scrolling, edits through the document's text view (a refused edit is
// not made), beeps through the platform.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "support/Text.h"

namespace vmk {

class HostDocument;
class VmkHTMLChecker;
class VmkTagLocation;

// One attribute as getAttributesFor gives it: the name in lower case and the value as written
// (the name itself for an attribute written without a value).
struct VmkAttributeValue {
  UString atrb;
  UString value;
  friend bool operator==(const VmkAttributeValue&, const VmkAttributeValue&) = default;
};

// What selectTagFor found.
enum SelectedTagKind : int32_t { kNoTag = 0, kStartTag = 1, kEndTag = 2 };

class VmkTagCommands {
 public:
  // Shows an element of a dictionary, named by its display name, in the dictionary browser;
  // false when the dictionary cannot be opened or has no such element.
  using DictionaryConsultant =
      std::function<bool(UStringView dictionaryName, UStringView elementName)>;
  // Opens an address with the desktop's default opener (web browser or file handler).
  using Opener = std::function<bool(const std::string& address)>;

  // Commands over the last run of `checker`. Without an opener addresses go to the platform's
  // openURL.
  explicit VmkTagCommands(VmkHTMLChecker& checker);

  void setDictionaryConsultant(DictionaryConsultant consultant) {
    consultant_ = std::move(consultant);
  }
  void setOpener(Opener opener) { opener_ = std::move(opener); }

  // Works on the characters, not the tag list: the "<" before the selection's end (a caret just
  // after a ">" or just before it counts as inside that tag) and the ">" after it, with no other
  // "<" or ">" between; the "<" must lie at or before the selection's start. Wide selects from
  // "<" through ">", otherwise the tag without its brackets (and without a "/" before ">").
  // The document becomes the checker's document with a fresh copy of its text.
  SelectedTagKind selectTagFor(HostDocument& document, bool isWide);
  // Selects the partner of the entry at the selection; beeps when no entry contains the
  // selection or it has no partner. Nothing at all for an empty list. True when selected.
  bool selectPairTagFor(HostDocument& document);
  // Selects the element of the entry at the selection, start tag through end tag. An entry
  // without partner: up to the end of its content by depth, then a beep. True when selected.
  bool selectElementFor(HostDocument& document);
  // Always checks the document again (silently), then shows the element of the entry at the
  // selection in the dictionary of the run. Beeps when there is nothing to show. True when
  // shown.
  bool consultDictionaryFor(HostDocument& document);
  // The lower-case name of the entry at the selection ("#data", "/p", "!doctype" are
  // possible); empty when none.
  UString getTagNameFor(HostDocument& document);
  // The attributes of the entry at the selection in source order; absent when none contains it.
  std::optional<std::vector<VmkAttributeValue>> getAttributesFor(HostDocument& document);
  // Selects the (last) attribute named `name` (any case) of the entry at the selection: its
  // value, or name through value and the closing quote. True when something was selected.
  bool selectAttribute(UStringView name, bool valueOnly, HostDocument& document);
  // Changes the first attribute named `name` of the start tag at the selection to `value`,
  // adds it when the tag has none, removes it when `value` is empty or absent. A value that
  // would break the tag where it goes is quoted. Beeps and changes nothing for entries that
  // are not start tags. True when the document was changed.
  bool setAttribute(UStringView name, std::optional<UStringView> value, HostDocument& document);
  // Follows the link whose attribute value holds text position `index` (range ends count as
  // inside), resolved against the document's address or an earlier base element: selects the
  // value and opens it. True when a link was followed.
  bool relativeURLJumpForIndex(uint32_t index, HostDocument& document);
  // True when the selection lies between the start and end tag of an element named `name`.
  bool isInElement(UStringView name, HostDocument& document);
  // True when the run's dictionary has `name` as an empty element.
  bool isEmptyElement(UStringView name, HostDocument& document);

  // The address relativeURLJumpForIndex opened last (empty when none).
  const std::string& lastOpenedAddress() const { return lastOpened_; }

 private:
  // The first entry of the last run that contains `selection`; nullptr when none does.
  const VmkTagLocation* entryContaining(Range selection) const;
  bool open(const std::string& address);

  VmkHTMLChecker& checker_;
  DictionaryConsultant consultant_;
  Opener opener_;
  std::string lastOpened_;
};

// How an attribute value must be written where it goes so that it cannot end the tag: the
// value itself when it is safe there, else the value in quotation marks ('"', or "'" when it
// holds '"', or '"' with "&quot;" when it holds both). `enclosingQuote` is the quotation mark
// around the place (0 for an unquoted place, where white space, quotation marks and ">" are
// not safe).
UString attributeValueText(UStringView value, UChar16 enclosingQuote);
// The value in quotation marks as above, whatever it holds.
UString quotedAttributeValue(UStringView value);

// The file address of an absolute path ("file:///a%20b.html").
std::string fileAddressForPath(const std::string& path);
// An address resolved against a base address; the address unchanged when there is no base or
// it cannot be resolved.
std::string resolveAddress(const std::optional<std::string>& base, const std::string& address);

}  // namespace vmk
