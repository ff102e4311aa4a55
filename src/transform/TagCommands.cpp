#include "transform/TagCommands.h"

#include <curl/curl.h>

#include <algorithm>
#include <memory>

#include "dictionary/VmkDictionary.h"
#include "engine/LinkVocabulary.h"
#include "engine/VmkHTMLChecker.h"
#include "engine/VmkTagLocation.h"
#include "host/HostDocument.h"
#include "host/Platform.h"

namespace vmk {
namespace {

bool isWhiteSpace(UChar16 c) {
  return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

bool isQuote(UChar16 c) {
  return c == u'"' || c == u'\'';
}

bool contains(Range range, Range selection) {
  return range.location <= selection.location && range.max() >= selection.max();
}

// Start tags are the entries whose name is not that of an end tag, text run, comment,
// declaration or processing instruction.
bool isStartTag(const VmkTagLocation& tag) {
  const UString& name = tag.elementName();
  if (name.empty()) return false;
  const UChar16 first = name.front();
  return first != u'/' && first != u'#' && first != u'!' && first != u'?';
}

// An attribute name that can be written into a tag as it is.
bool isWritableAttributeName(UStringView name) {
  if (name.empty()) return false;
  for (UChar16 c : name) {
    if (isWhiteSpace(c) || isQuote(c) || c == u'=' || c == u'>' || c == u'<' || c == u'/')
      return false;
  }
  return true;
}

// The place of `tag` in `list` (its kept index, else found by a search).
size_t placeOf(const VmkTagLocationList& list, const VmkTagLocation* tag) {
  const size_t kept = tag->listIndex();
  if (kept < list.size() && list[kept].get() == tag) return kept;
  for (size_t i = 0; i < list.size(); ++i)
    if (list[i].get() == tag) return i;
  return list.size();
}

struct CurlUrlDelete {
  void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
using CurlUrl = std::unique_ptr<CURLU, CurlUrlDelete>;

std::optional<std::string> urlText(CURLU* url) {
  char* text = nullptr;
  if (curl_url_get(url, CURLUPART_URL, &text, 0) != CURLUE_OK || !text) return std::nullopt;
  std::string result(text);
  curl_free(text);
  return result;
}

}  // namespace

UString quotedAttributeValue(UStringView value) {
  const bool hasDouble = value.find(u'"') != UStringView::npos;
  const bool hasSingle = value.find(u'\'') != UStringView::npos;
  if (hasDouble && !hasSingle) return u"'" + UString(value) + u"'";
  UString text = u"\"";
  for (UChar16 c : value) {
    if (c == u'"')
      text += u"&quot;";
    else
      text += c;
  }
  return text + u"\"";
}

UString attributeValueText(UStringView value, UChar16 enclosingQuote) {
  bool safe = true;
  if (enclosingQuote != 0) {
    safe = value.find(enclosingQuote) == UStringView::npos;
  } else {
    safe = !value.empty() && std::none_of(value.begin(), value.end(), [](UChar16 c) {
      return isWhiteSpace(c) || isQuote(c) || c == u'>';
    });
  }
  return safe ? UString(value) : quotedAttributeValue(value);
}

std::string fileAddressForPath(const std::string& path) {
  CurlUrl url(curl_url());
  if (url && curl_url_set(url.get(), CURLUPART_SCHEME, "file", 0) == CURLUE_OK &&
      curl_url_set(url.get(), CURLUPART_PATH, path.c_str(), CURLU_URLENCODE) == CURLUE_OK) {
    if (auto text = urlText(url.get())) return *text;
  }
  return "file://" + path;
}

std::string resolveAddress(const std::optional<std::string>& base, const std::string& address) {
  if (!base || base->empty()) return address;
  CurlUrl url(curl_url());
  constexpr unsigned kFlags = CURLU_NON_SUPPORT_SCHEME | CURLU_URLENCODE | CURLU_ALLOW_SPACE;
  if (!url || curl_url_set(url.get(), CURLUPART_URL, base->c_str(), kFlags) != CURLUE_OK)
    return address;
  if (curl_url_set(url.get(), CURLUPART_URL, address.c_str(), kFlags) != CURLUE_OK) return address;
  return urlText(url.get()).value_or(address);
}

VmkTagCommands::VmkTagCommands(VmkHTMLChecker& checker) : checker_(checker) {}

const VmkTagLocation* VmkTagCommands::entryContaining(Range selection) const {
  for (const auto& tag : checker_.tagLocations()) {
    if (contains(tag->tagRange(), selection)) return tag.get();
  }
  return nullptr;
}

bool VmkTagCommands::open(const std::string& address) {
  lastOpened_ = address;
  return opener_ ? opener_(address) : platform().openURL(address);
}

SelectedTagKind VmkTagCommands::selectTagFor(HostDocument& document, bool isWide) {
  const UString& text = document.textStorage().string();
  // The checker keeps a copy of the text it works on, and this document becomes its document.
  // A run that already describes the document stays as it is; otherwise the list it keeps
  // belongs to another text, and forgetting the digest has the next command check again.
  if (!checker_.isLastRunCurrentFor(document)) {
    checker_.setSourceDocument(&document);
    checker_.setSourceString(text);
    checker_.setLastMD5String(std::string());
  }
  const size_t n = text.size();
  if (n == 0) return kNoTag;
  const Range selection = document.selectedRange();
  const size_t s = std::min<size_t>(selection.location, n);
  const size_t e = std::min<size_t>(selection.max(), n);

  // A caret just after a tag's ">" or just before it counts as inside the tag.
  size_t p = e;
  const bool afterClose = p > 0 && text[p - 1] == u'>';
  if (afterClose) --p;
  if (p < n && text[p] == u'>' && p > 0) --p;
  if (p >= n) p = n - 1;

  size_t open = p;
  for (;;) {
    const UChar16 c = text[open];
    if (c == u'<') break;
    if (c == u'>' || open == 0) return kNoTag;
    --open;
  }
  if (open > s) return kNoTag;

  SelectedTagKind kind = kStartTag;
  for (size_t i = open + 1; i < n && text[i] != u'>'; ++i) {
    if (isWhiteSpace(text[i])) continue;
    if (text[i] == u'/') kind = kEndTag;
    break;
  }

  size_t close = afterClose ? e - 1 : e;
  if (close <= open) close = open + 1;
  for (;; ++close) {
    if (close >= n) return kNoTag;
    const UChar16 c = text[close];
    if (c == u'>') break;
    if (c == u'<') return kNoTag;
  }

  Range range(uint32_t(open), uint32_t(close - open + 1));
  if (!isWide) {
    size_t last = close;  // one past the inner part
    if (last > open + 1 && text[last - 1] == u'/') --last;
    range = Range(uint32_t(open + 1), uint32_t(last - open - 1));
  }
  document.setSelectedRange(range, true);
  return kind;
}

bool VmkTagCommands::selectPairTagFor(HostDocument& document) {
  checker_.ensureCurrentRunFor(document);
  if (checker_.tagLocations().empty()) return false;
  const VmkTagLocation* tag = entryContaining(document.selectedRange());
  if (!tag || !tag->pairTag()) {
    platform().beep();
    return false;
  }
  document.setSelectedRange(tag->pairTag()->tagRange(), true);
  return true;
}

bool VmkTagCommands::selectElementFor(HostDocument& document) {
  checker_.ensureCurrentRunFor(document);
  const VmkTagLocationList& list = checker_.tagLocations();
  if (list.empty()) return false;
  const VmkTagLocation* tag = entryContaining(document.selectedRange());
  if (!tag) {
    platform().beep();
    return false;
  }
  const Range own = tag->tagRange();
  if (const VmkTagLocation* pair = tag->pairTag()) {
    const Range other = pair->tagRange();
    const uint32_t start = std::min(own.location, other.location);
    const uint32_t end = std::max(own.max(), other.max());
    document.setSelectedRange(Range(start, end - start), true);
    return true;
  }
  // No end tag: the element reaches as far as its content does by depth.
  const int32_t depth = tag->tagDepth();
  uint32_t end = uint32_t(checker_.sourceString().size());
  for (size_t i = placeOf(list, tag) + 1; i < list.size(); ++i) {
    if (list[i]->tagDepth() <= depth) {
      end = list[i - 1]->tagRange().max();
      break;
    }
  }
  document.setSelectedRange(Range(own.location, end > own.location ? end - own.location : 0), true);
  platform().beep();
  return true;
}

bool VmkTagCommands::consultDictionaryFor(HostDocument& document) {
  checker_.validateHTMLForDocument(document, false, false);
  const VmkTagLocation* tag =
      checker_.tagLocations().empty() ? nullptr : entryContaining(document.selectedRange());
  const VmkDictionary* dictionary = checker_.htmlDictionary();
  if (!tag || !dictionary) {
    platform().beep();
    return false;
  }
  UStringView name = tag->elementName();
  if (!name.empty() && name.front() == u'/') name.remove_prefix(1);
  return consultant_ && consultant_(dictionary->displayName(), name);
}

UString VmkTagCommands::getTagNameFor(HostDocument& document) {
  checker_.ensureCurrentRunFor(document);
  const VmkTagLocation* tag = entryContaining(document.selectedRange());
  return tag ? lowercase(tag->elementName()) : UString();
}

std::optional<std::vector<VmkAttributeValue>> VmkTagCommands::getAttributesFor(
    HostDocument& document) {
  checker_.ensureCurrentRunFor(document);
  const VmkTagLocation* tag = entryContaining(document.selectedRange());
  if (!tag) return std::nullopt;
  std::vector<VmkAttributeValue> values;
  if (const VmkAttributeList* attributes = tag->attributes()) {
    for (const VmkAttribute& attribute : *attributes) {
      values.push_back(
          {UString(attribute.name), UString(attribute.value.value_or(attribute.name))});
    }
  }
  return values;
}

bool VmkTagCommands::selectAttribute(UStringView name, bool valueOnly, HostDocument& document) {
  checker_.ensureCurrentRunFor(document);
  const VmkTagLocation* tag = entryContaining(document.selectedRange());
  if (!tag || !tag->attributes()) return false;
  const UString& text = checker_.sourceString();
  std::optional<Range> chosen;
  for (const VmkAttribute& attribute : *tag->attributes()) {
    if (!isEqualToString(attribute.name, name, true)) continue;
    // An attribute written without a value has only its name (which is also its value).
    if (!attribute.hasValue()) {
      chosen = attribute.nameRange;
      continue;
    }
    if (valueOnly) {
      chosen = attribute.valueRange;
      continue;
    }
    const uint32_t start = std::min(attribute.nameRange.location, attribute.valueRange.location);
    uint32_t end = std::max(attribute.nameRange.max(), attribute.valueRange.max());
    if (end < text.size() && isQuote(text[end])) ++end;
    chosen = Range(start, end - start);
  }
  if (!chosen) return false;
  document.setSelectedRange(*chosen, true);
  return true;
}

bool VmkTagCommands::setAttribute(UStringView name, std::optional<UStringView> value,
                                  HostDocument& document) {
  checker_.ensureCurrentRunFor(document);
  const VmkTagLocation* tag = entryContaining(document.selectedRange());
  if (!tag) return false;
  // Only a start tag holds attributes: anywhere else an insertion before the ">" would land in
  // a comment, an end tag or the text.
  if (!isStartTag(*tag)) {
    platform().beep();
    return false;
  }
  const UString& text = checker_.sourceString();
  const bool removing = !value || value->empty();

  const VmkAttribute* match = nullptr;
  if (const VmkAttributeList* attributes = tag->attributes()) {
    for (const VmkAttribute& attribute : *attributes) {
      if (isEqualToString(attribute.name, name, true)) {
        match = &attribute;
        break;
      }
    }
  }

  Range range;
  UString replacement;
  if (match && match->hasValue()) {
    const Range valueRange = match->valueRange;
    if (removing) {
      size_t end = valueRange.max();
      while (end < text.size() && (isQuote(text[end]) || text[end] == u' ')) ++end;
      range = Range(match->nameRange.location, uint32_t(end - match->nameRange.location));
    } else {
      const UChar16 before = valueRange.location > 0 ? text[valueRange.location - 1] : 0;
      const UChar16 quote = isQuote(before) ? before : 0;
      replacement = attributeValueText(*value, quote);
      range = valueRange;
      // A value that needs quotation marks of its own replaces the old ones too (the closing
      // one may be missing).
      if (quote != 0 && replacement != *value) {
        const bool closed = valueRange.max() < text.size() && text[valueRange.max()] == quote;
        range = Range(valueRange.location - 1, valueRange.length + (closed ? 2 : 1));
      }
    }
  } else if (match) {
    if (removing) {
      range = match->nameRange;
    } else {
      range = Range(match->nameRange.max(), 0);
      replacement = u"=" + quotedAttributeValue(*value);
    }
  } else {
    if (removing) return false;
    const Range tagRange = tag->tagRange();
    if (!isWritableAttributeName(name) || tagRange.length < 2 || tagRange.max() > text.size() ||
        text[tagRange.max() - 1] != u'>') {
      platform().beep();
      return false;
    }
    uint32_t at = tagRange.max() - 1;
    if (at > tagRange.location + 1 && text[at - 1] == u'/') --at;
    if (at > tagRange.location + 1 && text[at - 1] == u' ') --at;
    range = Range(at, 0);
    replacement = u" " + UString(name) + u"=" + quotedAttributeValue(*value);
  }
  return replaceTextInDocument(document, range, replacement);
}

bool VmkTagCommands::relativeURLJumpForIndex(uint32_t index, HostDocument& document) {
  checker_.ensureCurrentRunFor(document);
  const VmkTagLocationList& list = checker_.tagLocations();
  if (list.empty()) return false;
  std::optional<std::string> base;
  if (auto path = document.fileName())
    base = fileAddressForPath(*path);
  else
    base = document.remoteURL();

  const UString& text = checker_.sourceString();
  const VmkDictionary* dictionary = checker_.htmlDictionary();
  for (const auto& entry : list) {
    const Range range = entry->tagRange();
    const VmkAttributeList* attributes = entry->attributes();
    if (range.location <= index && index <= range.max()) {
      if (!attributes) return false;
      const UString element = lowercase(entry->elementName());
      for (const VmkAttribute& attribute : *attributes) {
        if (!attribute.hasValue()) continue;
        const Range valueRange = attribute.valueRange;
        if (index < valueRange.location || index > valueRange.max()) continue;
        const UStringView written = substringWithRange(text, attribute.nameRange);
        bool isLink = gLinkableTags().contains(element) && gUrlAttributes().contains(written);
        if (!isLink && dictionary) {
          const UString key = element + u"\t" + UString(written);
          const auto& linkable = dictionary->linkableAttributeNameArray();
          isLink = std::find(linkable.begin(), linkable.end(), key) != linkable.end();
        }
        if (!isLink) continue;
        document.setSelectedRange(valueRange, true);
        open(resolveAddress(base, toUtf8(*attribute.value)));
        return true;
      }
      return false;
    }
    if (attributes && isEqualToString(entry->elementName(), u"base", true)) {
      for (const VmkAttribute& attribute : *attributes) {
        if (attribute.hasValue() && isEqualToString(attribute.name, u"href", true)) {
          base = resolveAddress(base, toUtf8(*attribute.value));
          break;
        }
      }
    }
  }
  return false;
}

bool VmkTagCommands::isInElement(UStringView name, HostDocument& document) {
  checker_.ensureCurrentRunFor(document);
  const VmkTagLocationList& list = checker_.tagLocations();
  const Range selection = document.selectedRange();
  for (size_t i = 0; i < list.size(); ++i) {
    const VmkTagLocation& tag = *list[i];
    const VmkTagLocation* pair = tag.pairTag();
    if (!pair || !isEqualToString(tag.elementName(), name, true)) continue;
    if (tag.tagRange().max() <= selection.location && selection.max() <= pair->tagRange().location)
      return true;
    // Nothing inside this element can answer yes any more.
    const size_t pairPlace = placeOf(list, pair);
    if (pairPlace < list.size() && pairPlace > i) i = pairPlace;
  }
  return false;
}

bool VmkTagCommands::isEmptyElement(UStringView name, HostDocument& document) {
  checker_.ensureCurrentRunFor(document);
  const VmkDictionary* dictionary = checker_.htmlDictionary();
  if (!dictionary) return false;
  const UString folded = dictionary->isXML() ? lowercase(name) : uppercase(name);
  return dictionary->endTagTypeForElement(folded) == 2;
}

}  // namespace vmk
