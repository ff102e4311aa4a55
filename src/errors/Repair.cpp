#include "errors/Repair.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <unordered_map>

#include "dictionary/VmkDictionary.h"
#include "engine/ResultsDisplay.h"
#include "engine/VmkHTMLChecker.h"
#include "errors/MessageTables.h"
#include "errors/RepairTable.h"
#include "host/HostDocument.h"
#include "host/Platform.h"
#include "host/ScriptCommand.h"
#include "support/Regex.h"
#include "support/StringUtilities.h"

namespace vmk {
namespace {

constexpr unsigned kRepairOptions = Regex::kIgnoreCase | Regex::kMultiline;

const Regex& htmlEndTagPattern() {
  return Regex::cached("<\\s*/html\\s*>", kRepairOptions);
}
// An html start tag; the name must end there (not "<htmlfoo").
const Regex& htmlStartTagPattern() {
  return Regex::cached("<\\s*html(?=[\\s>/])[^>]*>", kRepairOptions);
}
// An XML declaration, not running past its own "?>".
const Regex& xmlDeclarationPattern() {
  return Regex::cached("<\\?xml(?=[\\s?])[^>]*?\\?>", Regex::kIgnoreCase);
}

bool isQuotationMark(UChar16 c) {
  return c == u'"' || c == u'\'';
}

UString lastPathComponent(UStringView path) {
  const size_t slash = path.rfind(u'/');
  return UString(slash == UStringView::npos ? path : path.substr(slash + 1));
}

UString asUString(std::string_view ascii) {
  return UString(ascii.begin(), ascii.end());
}

// Per element name (case ignored, the "/" of an end tag set aside): the places in a tag list of
// its start and end tags, in order. Comments, declarations and text runs are not in it.
class EndTagIndex {
 public:
  explicit EndTagIndex(const VmkTagLocationList& list) : list_(list) {
    for (size_t i = 0; i < list.size(); ++i) {
      const UString& name = list[i]->elementName();
      if (name.empty() || name[0] == u'#' || name[0] == u'!' || name[0] == u'?') continue;
      UStringView bare = name;
      if (bare[0] == u'/') bare.remove_prefix(1);
      places_[asciiLowercase(bare)].push_back(uint32_t(i));
    }
  }

  // The place of the entry that starts at `location`; absent when no entry does.
  std::optional<size_t> entryAt(uint32_t location) const {
    auto it = std::lower_bound(list_.begin(), list_.end(), location,
                               [](const std::unique_ptr<VmkTagLocation>& entry, uint32_t at) {
                                 return entry->tagRange().location < at;
                               });
    if (it == list_.end() || (*it)->tagRange().location != location) return std::nullopt;
    return size_t(it - list_.begin());
  }

  // The end tag that closes the start tag at place i: the next tag of its name, when that is an
  // end tag (a later start tag of the name opens an element of its own).
  const VmkTagLocation* endTagFor(size_t i) const {
    const UString& name = list_[i]->elementName();
    if (name.empty() || name[0] == u'/') return nullptr;
    auto found = places_.find(asciiLowercase(name));
    if (found == places_.end()) return nullptr;
    const std::vector<uint32_t>& places = found->second;
    auto it = std::upper_bound(places.begin(), places.end(), uint32_t(i));
    if (it == places.end()) return nullptr;
    const VmkTagLocation* next = list_[*it].get();
    return next->isEndTag() ? next : nullptr;
  }

 private:
  const VmkTagLocationList& list_;
  std::unordered_map<UString, std::vector<uint32_t>, UStringViewHash, std::equal_to<>> places_;
};

// The text one repair operation works on: the document's text (edits go through the host) or a
// scratch copy of the checker's text (edits are only noted). Either way the edits are kept
// over the text as it was when the operation began, so that reading a range of the text as it
// stands copies that range only.
class RepairSession {
 public:
  RepairSession(VmkHTMLChecker& checker, HostDocument& document)
      : checker_(checker), document_(&document) {
    snapshot_ = document.textStorage().textSnapshot();
    // A short text may move when the snapshot takes it over: keep a copy of those.
    if (!snapshot_ || snapshot_->text().size() < 1024) {
      own_ = document.textStorage().string();
      snapshot_.reset();
    }
    overlay_.emplace(snapshot_ ? UStringView(snapshot_->text()) : UStringView(own_));
    tagListCurrent_ = checker.isLastRunCurrentFor(document);
  }

  explicit RepairSession(const VmkHTMLChecker& checker) : checker_(checker) {
    overlay_.emplace(checker.sourceString());
    tagListCurrent_ = true;
  }

  const VmkHTMLChecker& checker() const { return checker_; }
  const HostDocument* document() const { return document_ ? document_ : checker_.sourceDocument(); }
  bool changed() const { return !overlay_->empty(); }
  const ComposedEdits& edits() const { return *overlay_; }

  uint32_t length() const { return overlay_->length(); }
  UString read(Range range) const { return overlay_->read(range); }
  UChar16 at(uint32_t location) const { return overlay_->characterAt(location); }
  UChar16 before(uint32_t location) const { return location > 0 ? at(location - 1) : 0; }
  // The whole text as it stands (made once after each edit, when asked for).
  UStringView whole() {
    if (overlay_->empty()) return overlay_->base();
    if (!whole_) whole_ = overlay_->text();
    return *whole_;
  }

  // One edit through the host's protocol; false when the host refused it.
  bool edit(Range range, UStringView text) {
    if (range.location > length()) return false;
    range.length = std::min(range.length, length() - range.location);
    if (document_) {
      HostTextView* view = document_->firstTextView();
      if (view) {
        const UString replacement(text);
        if (!view->shouldChangeTextInRange(range, &replacement)) return false;
      }
      HostTextStorage& storage = document_->textStorage();
      storage.beginEditing();
      storage.replaceCharactersInRange(range, text);
      storage.endEditing();
      if (view) view->didChangeText();
    }
    overlay_->replace(range, text);
    whole_.reset();
    return true;
  }

  // The encoding the document will be saved in (nothing on a scratch copy).
  void setDocumentEncoding(const Encoding& encoding) {
    if (document_) document_->setOpenNSEncoding(encoding);
  }
  Encoding documentEncoding() const {
    if (const HostDocument* document = this->document()) return document->openNSEncoding();
    return checker_.htmlEncoding;
  }
  int documentLineEndings() const {
    if (const HostDocument* document = this->document()) return document->openLineEndings();
    return kLineEndingsLF;
  }

  // The tag list of the checker's run, when it describes the text this session began with.
  const EndTagIndex* endTagIndex() {
    if (!tagListCurrent_ || checker_.tagLocations().empty()) return nullptr;
    if (!document_) return &sharedScratchIndex();
    if (!index_) index_ = std::make_unique<EndTagIndex>(checker_.tagLocations());
    return index_.get();
  }

 private:
  // Questions about many locations of one run share one index.
  const EndTagIndex& sharedScratchIndex() {
    struct Kept {
      const VmkHTMLChecker* checker = nullptr;
      std::string digest;
      size_t size = 0;
      const void* first = nullptr;
      std::unique_ptr<EndTagIndex> index;
    };
    static thread_local Kept kept;
    const VmkTagLocationList& list = checker_.tagLocations();
    if (!kept.index || kept.checker != &checker_ || kept.digest != checker_.lastMD5String() ||
        kept.size != list.size() || kept.first != list.front().get()) {
      kept.index = std::make_unique<EndTagIndex>(list);
      kept.checker = &checker_;
      kept.digest = checker_.lastMD5String();
      kept.size = list.size();
      kept.first = list.front().get();
    }
    return *kept.index;
  }

  const VmkHTMLChecker& checker_;
  HostDocument* document_ = nullptr;
  std::shared_ptr<const TextSnapshot> snapshot_;
  UString own_;
  std::optional<ComposedEdits> overlay_;
  std::optional<UString> whole_;
  bool tagListCurrent_ = false;
  std::unique_ptr<EndTagIndex> index_;
};

// Where an attribute is added to the start tag whose text is `range`: after its last attribute,
// before ">", "/>" or " />".
uint32_t tagEndInsertionPoint(const RepairSession& s, Range range) {
  if (range.length == 0) return range.location;
  uint32_t p = range.max() - 1;
  if (p > range.location && (s.before(p) == u' ' || s.before(p) == u'/')) --p;
  if (p > range.location && s.before(p) == u' ') --p;
  return p;
}

// The end of an XML declaration at the very start of the text and of its line; 0 when the text
// does not start with one.
uint32_t xmlDeclarationLineEnd(UStringView text) {
  static const Regex& declaration =
      Regex::cached("\\A<\\?xml(?=[\\s?])[^>]*?\\?>[ \\t]*\\n?", Regex::kIgnoreCase);
  if (auto match = declaration.firstMatch(text)) return match->range(0).max();
  return 0;
}

// Where an html start tag goes: after an XML declaration and a DOCTYPE at the start.
uint32_t prologueEnd(UStringView text) {
  static const Regex& doctype =
      Regex::cached("\\G\\s*<!DOCTYPE[^>]*>[ \\t]*\\n?", Regex::kIgnoreCase);
  uint32_t p = xmlDeclarationLineEnd(text);
  if (auto match = doctype.firstMatch(text, Range(p, uint32_t(text.size()) - p))) {
    if (match->range(0).location == p) p = match->range(0).max();
  }
  return p;
}

// The lowest of two results.
Range lower(Range a, Range b) {
  return b.location < a.location ? b : a;
}

// The encoding URLs are escaped in: the document's declared one, else the one it was opened
// in, else UTF-8.
Encoding urlEncoding(const RepairSession& s) {
  if (s.checker().htmlEncoding.valid()) return s.checker().htmlEncoding;
  const Encoding opened = s.documentEncoding();
  return opened.valid() ? opened : Encoding::utf8();
}

// The value a fixed or boolean attribute must have, quoted unless the value already stands
// between quotation marks; an attribute written without a value gets its "=" as well.
UString requiredValueText(const RepairSession& s, Range range, const UString& value) {
  if (isQuotationMark(s.before(range.location))) return value;
  UString text = u"\"" + value + u"\"";
  if (range.length == 0 && s.before(range.location) != u'=') text.insert(0, u"=");
  return text;
}

Range repairXmlDeclaration(RepairSession& s, const VmkErrorLocation& location) {
  UString name;
  if (s.checker().characterSetString && !s.checker().characterSetString->empty()) {
    name = *s.checker().characterSetString;
  } else {
    const Encoding encoding = s.documentEncoding();
    name = asUString(encoding.valid() ? encoding.ianaName() : std::string("UTF-8"));
  }
  const UString declaration = u"<?xml version=\"1.0\" encoding=\"" + name + u"\" ?>\n";
  (void)location;
  // Never a second declaration: one that is there is written again in full, or left as it is
  // when it already says both.
  const UStringView text = s.whole();
  if (auto existing = xmlDeclarationPattern().firstMatch(text)) {
    Range range = existing->range(0);
    const UString written(text.substr(range.location, range.length));
    static const Regex& version = Regex::cached("\\bversion\\s*=", Regex::kIgnoreCase);
    static const Regex& encoding = Regex::cached("\\bencoding\\s*=", Regex::kIgnoreCase);
    if (version.matches(written) && encoding.matches(written)) return Range::notFound();
    static const Regex& lineEnd = Regex::cached("\\G[ \\t]*\\n", Regex::kNone);
    if (auto end =
            lineEnd.firstMatch(text, Range(range.max(), uint32_t(text.size()) - range.max())))
      range.length = end->range(0).max() - range.location;
    s.edit(range, declaration);
    return range;
  }
  s.edit(Range(0, 0), declaration);
  return Range(0, 0);
}

Range repairRow(RepairRow row, RepairSession& s, const VmkErrorLocation& location) {
  const Range range = location.errorRange();
  const uint32_t end = range.max();
  auto replaceRange = [&](UStringView text) {
    s.edit(range, text);
    return range;
  };
  auto insertAt = [&](uint32_t at, UStringView text) {
    s.edit(Range(at, 0), text);
    return Range(at, 0);
  };

  switch (row) {
    case RepairRow::SpaceBeforeElementName:
    case RepairRow::NullCodeDetected:
    case RepairRow::ThisAttributeNotDefinedInDtd:
    case RepairRow::XHTMLDuplicateEndTag:
      return replaceRange(u"");
    case RepairRow::LtMarkInTag:
      return replaceRange(u"&lt;");
    case RepairRow::WrongAmpersand:
      return replaceRange(u"&amp;");
    case RepairRow::JapneseEncodingButNoJapanese:
      return replaceRange(u"ISO-8859-1");
    case RepairRow::WrongXmlVersion:
      return replaceRange(u"1.0");
    case RepairRow::WrongSystemIdentifier:
      return replaceRange(location.subStringAtIndex(1));
    case RepairRow::WrongTagEnd:
      return replaceRange(u">");

    case RepairRow::NeedsQuotationMarks: {
      UString value = s.read(range);
      if (!value.empty() && isQuotationMark(value.front())) value.erase(0, 1);
      if (!value.empty() && isQuotationMark(value.back())) value.pop_back();
      const bool hasDouble = value.find(u'"') != UString::npos;
      const bool hasSingle = value.find(u'\'') != UString::npos;
      // A value holding both kinds of quotation mark cannot be enclosed in either.
      if (hasDouble && hasSingle) return Range::notFound();
      const UStringView mark = hasDouble ? u"'" : u"\"";
      return replaceRange(UString(mark) + value + UString(mark));
    }
    case RepairRow::NoRightQuotationMark: {
      const UChar16 mark = s.before(range.location);
      // A value cut short by a bare ">" goes on after it up to its closing mark: closing it at
      // the ">" would leave the rest of the value outside the attribute.
      if (s.at(end) == u'>' && isQuotationMark(mark)) {
        const UString after = s.read(Range(end + 1, 1024));
        for (UChar16 c : after) {
          if (c == mark) return Range::notFound();
          if (c == u'<' || c == u'\n') break;
        }
      }
      UString text = s.read(range);
      text.push_back(mark);
      return replaceRange(text);
    }
    case RepairRow::SpaceContainedURLValue:
    case RepairRow::ControlContainedURLValue:
    case RepairRow::UnSafeURLValue:
      return replaceRange(
          URLStringInEncoding(s.read(range), urlEncoding(s), s.documentLineEndings()));
    case RepairRow::UnSafeCharacterSetValue: {
      const UString name = s.read(range);
      if (isEqualToString(name, u"x-sjis", true)) return replaceRange(u"Shift_JIS");
      if (isEqualToString(name, u"x-euc-jp", true)) return replaceRange(u"EUC-JP");
      return replaceRange(name);
    }
    case RepairRow::UnSafeKatakana:
      return replaceRange(toZenkaku(s.read(range)));
    case RepairRow::MustCapitalLatterInDoctype: {
      static const Regex& doctype = Regex::cached("DOCTYPE", kRepairOptions);
      static const Regex& isPublic = Regex::cached("PUBLIC", kRepairOptions);
      return replaceRange(
          isPublic.replaceAllFixed(doctype.replaceAllFixed(s.read(range), u"DOCTYPE"), u"PUBLIC"));
    }
    case RepairRow::HtmlMustBeLowerCaseInXHTML:
    case RepairRow::ElementNameShouldLowercase:
    case RepairRow::AttributeNameShouldLowercase:
      return replaceRange(lowercase(s.read(range)));
    case RepairRow::WrongHexColorValue:
      return replaceRange(u"#" + s.read(range));
    case RepairRow::SemiColonLacked:
      return replaceRange(s.read(range) + u";");
    case RepairRow::FixedValueAttribute:
      return replaceRange(requiredValueText(s, range, location.subStringAtIndex(1)));
    case RepairRow::BoolValueAttribute:
      return replaceRange(requiredValueText(s, range, location.subStringAtIndex(0)));
    case RepairRow::CantOmitAttributeNameInXhtml: {
      const UString name = location.subStringAtIndex(0);
      if (name.size() == 1 && isQuotationMark(name[0])) return replaceRange(u"");
      return replaceRange(name + u"=\"" + name + u"\"");
    }
    case RepairRow::NoDoctypeDeclaration: {
      const VmkDictionary* dictionary = s.checker().htmlDictionary();
      const std::optional<UString> doctype =
          dictionary ? dictionary->doctypeTag() : std::optional<UString>();
      if (!doctype) return Range::notFound();
      // "<!DOCTYPE html>" names no dictionary but is a declaration all the same.
      static const Regex& declared = Regex::cached("<!DOCTYPE", Regex::kIgnoreCase);
      const UStringView text = s.whole();
      if (declared.matches(text)) return Range::notFound();
      // After an XML declaration that an earlier repair of the pass put at the start.
      const uint32_t at = std::max(range.location, xmlDeclarationLineEnd(text));
      s.edit(Range(at, range.length), *doctype + u"\n");
      return Range(at, range.length);
    }
    case RepairRow::XMLVersionRequired:
    case RepairRow::XMLEncodingRequired:
      return repairXmlDeclaration(s, location);
    case RepairRow::EncodingNotMatched: {
      const Encoding encoding = Encoding::fromName(s.read(range));
      if (!encoding.valid()) return Range::notFound();
      // Saving in an encoding that cannot hold the text would lose characters.
      if (!encoding.canConvertWithoutLoss(s.whole())) return Range::notFound();
      s.setDocumentEncoding(encoding);
      return range;
    }

    case RepairRow::NoTitleTagInHead:
      return insertAt(end, u"\n\t\t<title><!-- Insert the title, here --></title>");
    case RepairRow::HeadElementIsRecomended: {
      UString name = asUString(s.documentEncoding().ianaName());
      if (isEqualToString(name, u"X-MAC-JAPANESE", true)) name = u"shift_jis";
      const UString slash = s.checker().isXHTML ? u" /" : u"";
      return insertAt(end,
                      u"\n\t<head>\n\t\t<meta http-equiv=\"Content-Type\" "
                      u"content=\"text/html;CHARSET=" +
                          name + u"\"" + slash +
                          u">\n\t\t<title><!-- Insert the title, here --></title>\n\t</head>");
    }
    case RepairRow::NoAltAttributeForImg:
    case RepairRow::NoAltAttributeForArea: {
      // The attribute itself, not the tail of a longer name such as "lowsrc" or "data-src".
      const Regex& attribute =
          row == RepairRow::NoAltAttributeForImg
              ? Regex::cached("(?<=[\\s\"'])src\\s*=\\s*([\"'])(.*?)\\1", kRepairOptions)
              : Regex::cached("(?<=[\\s\"'])href\\s*=\\s*([\"'])(.*?)\\1", kRepairOptions);
      const UString tag = s.read(range);
      const std::optional<RegexMatch> match = attribute.firstMatch(tag);
      if (!match) return Range::notFound();
      UString alt = lastPathComponent(match->text(tag, 2).value_or(UString()));
      for (size_t at = alt.find(u'"'); at != UString::npos; at = alt.find(u'"', at))
        alt.replace(at, 1, u"&quot;");
      return insertAt(tagEndInsertionPoint(s, range), u" alt=\"" + alt + u"\"");
    }
    case RepairRow::NoTypeAttributeForStyle:
      return insertAt(tagEndInsertionPoint(s, range), u" type=\"text/css\"");
    case RepairRow::NoTypeAttributeForScript: {
      static const Regex& language =
          Regex::cached("language\\s*=\\s*[\"'](.*?)[\"']", kRepairOptions);
      const UString tag = s.read(range);
      if (const std::optional<RegexMatch> match = language.firstMatch(tag)) {
        const Range found = match->range(0);
        s.edit(Range(range.location + found.location, found.length),
               u"type=\"text/" + lowercase(match->text(tag, 1).value_or(UString())) + u"\"");
      } else {
        s.edit(Range(tagEndInsertionPoint(s, range), 0), u" type=\"text/javascript\"");
      }
      return range;
    }
    case RepairRow::HtmlEndTagNotFound: {
      const uint32_t n = s.length();
      return insertAt(n, UString(s.before(n) == u'\n' ? u"" : u"\n") + u"</html>\n");
    }
    case RepairRow::BodyEndTagNotFound: {
      const UStringView text = s.whole();
      uint32_t q = uint32_t(text.size());
      if (auto match = htmlEndTagPattern().firstMatch(text)) q = match->range(0).location;
      return insertAt(q, UString(s.before(q) == u'\n' ? u"" : u"\n") + u"\t</body>\n");
    }
    case RepairRow::NoHtmlTag: {
      Range result = Range::notFound();
      // A document that has an html start tag gets no second one.
      if (!htmlStartTagPattern().matches(s.whole())) {
        const uint32_t at = prologueEnd(s.whole());
        result = insertAt(at, u"<html>\n");
      }
      if (!htmlEndTagPattern().matches(s.whole())) {
        result = lower(result, insertAt(s.length(), u"\n</html>"));
      }
      return result;
    }
    case RepairRow::NoHtmlTagBeforeDoctype: {
      Range result = Range::notFound();
      static const Regex& doctype = Regex::cached("<\\s*!DOCTYPE[^>]*>", kRepairOptions);
      const UStringView text = s.whole();
      if (const std::optional<RegexMatch> html = htmlStartTagPattern().firstMatch(text)) {
        // An html start tag before the declaration changes place with it.
        const Range tag = html->range(0);
        const std::optional<RegexMatch> declaration =
            doctype.firstMatch(text, Range(tag.max(), uint32_t(text.size()) - tag.max()));
        if (declaration) {
          const Range decl = declaration->range(0);
          const Range whole(tag.location, decl.max() - tag.location);
          const UString swapped = UString(text.substr(decl.location, decl.length)) +
                                  UString(text.substr(tag.max(), decl.location - tag.max())) +
                                  UString(text.substr(tag.location, tag.length));
          s.edit(whole, swapped);
          result = whole;
        }
      } else {
        result = insertAt(end, u"\n<html>");
      }
      if (!htmlEndTagPattern().matches(s.whole())) {
        result = lower(result, insertAt(s.length(), u"\n</html>"));
      }
      return result;
    }
    case RepairRow::XmlTagMustBeFirst: {
      const UString declaration = s.read(range);
      s.edit(range, u"");
      s.edit(Range(0, 0), declaration + u"\n");
      return Range(0, 0);
    }
    case RepairRow::BaseTagMustBeTopInHeadSection: {
      static const Regex& head = Regex::cached("<\\s*head.*?>", kRepairOptions);
      // The head start tag stands before the base element.
      const UString before = s.read(Range(0, range.location));
      const std::optional<RegexMatch> match = head.firstMatch(before);
      if (!match) return Range::notFound();
      const uint32_t headEnd = match->range(0).max();
      const UString base = s.read(range);
      s.edit(range, u"");
      return insertAt(headEnd, u"\n\t\t" + base);
    }
    case RepairRow::DontUseThisEndTagInXHTML: {
      if (range.length == 0) return Range::notFound();
      // The end tag the tag list gives this element, if the next tag of its name is one; never
      // a tag inside a comment or a script, nor the end tag of a later element.
      const VmkTagLocation* endTag = nullptr;
      if (const EndTagIndex* index = s.endTagIndex()) {
        if (std::optional<size_t> at = index->entryAt(range.location))
          endTag = index->endTagFor(*at);
      }
      s.edit(Range(end - 1, 1), u" />");
      if (endTag) {
        if (std::optional<Range> current = s.edits().currentRangeOfBase(endTag->tagRange()))
          s.edit(*current, u"");
      }
      return Range(end - 1, 1);
    }
    case RepairRow::NoSystemIdentifier: {
      static const Regex& doctype = Regex::cached(
          "<!DOCTYPE\\s+([Hh][Tt][Mm][Ll])\\s+PUBLIC\\s+[\"'](.*?)[\"'](.*?)>", kRepairOptions);
      const std::optional<RegexMatch> match = doctype.firstMatch(s.whole());
      if (!match) return Range::notFound();
      const Range rest = match->range(3);
      s.edit(rest, u" \"" + location.subStringAtIndex(1) + u"\"");
      return rest;
    }
  }
  return Range::notFound();
}

Range repairLocation(RepairSession& s, const VmkErrorLocation& location) {
  const std::optional<RepairRow> row = repairRowForErrorCode(location.errorCode());
  if (!row) return Range::notFound();
  return repairRow(*row, s, location);
}

// Sets the auto-correcting flag and opens an editing group for the whole operation; undoes both
// when it ends, also by an exception.
class RepairOperation {
 public:
  explicit RepairOperation(HostDocument& document) : storage_(document.textStorage()) {
    gAutoCorrectingErros = true;
    storage_.beginEditing();
  }
  ~RepairOperation() {
    storage_.endEditing();
    gAutoCorrectingErros = false;
  }
  RepairOperation(const RepairOperation&) = delete;
  RepairOperation& operator=(const RepairOperation&) = delete;

 private:
  HostTextStorage& storage_;
};

}  // namespace

bool replaceCharactersInRange(VmkHTMLChecker& checker, Range range, UStringView withString) {
  HostDocument* document = checker.sourceDocument();
  if (!document) return false;
  return replaceTextInDocument(*document, range, withString);
}

Range fixErrorAtLocation(VmkHTMLChecker& checker, const VmkErrorLocation& location) {
  HostDocument* document = checker.sourceDocument();
  if (!document) return Range::notFound();
  RepairSession session(checker, *document);
  return repairLocation(session, location);
}

uint32_t fixErrorLocations(VmkHTMLChecker& checker, VmkErrorLocationList& locations) {
  sortErrorLocations(locations);
  HostDocument* document = checker.sourceDocument();
  if (!document) return 0;
  RepairSession session(checker, *document);
  uint32_t limit = kNotFound;
  uint32_t heldBack = 0;
  for (size_t i = locations.size(); i-- > 0;) {
    const Range range = locations[i]->errorRange();
    // Ending beyond the lowest place changed so far, it may overlap text that changed.
    if (range.max() > limit) {
      ++heldBack;
      continue;
    }
    const Range result = repairLocation(session, *locations[i]);
    if (result.location < limit) limit = result.location;
  }
  return heldBack;
}

void correctAllErrorsForDocument(VmkHTMLChecker& checker, HostDocument& document, bool sound) {
  if (!checker.isLastRunCurrentFor(document))
    checker.validateHTMLForDocument(document, false, false);
  {
    RepairOperation operation(document);
    for (int passCount = 0;;) {
      VmkErrorLocationList repairable;
      for (const VmkErrorLocationRef& location : checker.errorLocations()) {
        if (location->errorFix() == 1) repairable.push_back(location);
      }
      if (repairable.empty()) {
        if (passCount == 0 && !startedByScriptCommand()) {
          platform().runAlert(
              localizedString(kVelumarkXTable, "No auto-correctable errors."),
              localizedString(kVelumarkXTable, "Please correct each error manually."),
              {localizedString(kVelumarkXTable, "OK")});
        }
        break;
      }
      const uint32_t heldBack = fixErrorLocations(checker, repairable);
      ++passCount;
      gAutoCorrectingErros = true;
      if (heldBack == 0 || passCount > 3) break;
      checker.validateHTMLForDocument(document, false, false);
    }
  }
  resultsDisplay().clearErrorLocationsForDocument(document);
  checker.validateHTMLForDocument(document, true, sound);
}

void correctSelectedErrorLocations(VmkHTMLChecker& checker, VmkErrorLocationList locations,
                                   const HostDocument* frontmost) {
  HostDocument* document = checker.sourceDocument();
  if (!document || document != frontmost) {
    platform().beep();
    return;
  }
  {
    RepairOperation operation(*document);
    fixErrorLocations(checker, locations);
  }
  resultsDisplay().clearErrorLocationsForDocument(*document);
  checker.validateHTMLForDocument(*document, true, true);
}

std::vector<TextEdit> fixEditsForErrorLocation(const VmkHTMLChecker& checker,
                                               const VmkErrorLocation& location) {
  const std::optional<RepairRow> row = repairRowForErrorCode(location.errorCode());
  if (!row) return {};
  RepairSession session(checker);
  repairRow(*row, session, location);
  std::vector<TextEdit> edits = session.edits().edits();
  const UStringView text = checker.sourceString();
  std::erase_if(edits, [&](const TextEdit& edit) {
    return substringWithRange(text, edit.range) == UStringView(edit.text);
  });
  return edits;
}

bool hasRepairForErrorCode(std::string_view code) {
  return repairRowForErrorCode(code).has_value();
}

std::vector<std::string_view> repairableErrorCodes() {
  std::vector<std::string_view> codes;
  for (const RepairTableRow& row : repairTable()) codes.push_back(row.errorCode);
  return codes;
}

}  // namespace vmk
