// Character and encoding checks: the charset declarations, character references and the
// scanner's machine-dependent character test.
#include <algorithm>

#include "dictionary/VmkDictionary.h"
#include "engine/CharacterReferences.h"
#include "engine/CharsetNames.h"
#include "engine/NamePredicates.h"
#include "engine/VmkHTMLChecker.h"
#include "host/HostDocument.h"
#include "support/Regex.h"

namespace vmk {
namespace {

// "CODE" in any case. Only ASCII letters fold to these four, so an ASCII comparison serves.
bool isCodeElementName(UStringView name) {
  if (name.size() != 4) return false;
  constexpr char16_t kCode[] = u"CODE";
  for (size_t i = 0; i < 4; ++i) {
    char16_t c = name[i];
    if (c >= u'a' && c <= u'z') c = char16_t(c - u'a' + u'A');
    if (c != kCode[i]) return false;
  }
  return true;
}

bool holdsNonAscii(UStringView text) {
  return std::any_of(text.begin(), text.end(), [](char16_t unit) { return unit >= 0x80; });
}

}  // namespace

// Both tests run at every code unit of the scan: the first unit decides most cases.
uint32_t VmkHTMLChecker::isKishuIzon(uint32_t position, uint32_t maxPosition) const {
  if (!isJapaneseEncoding) return 0;
  const UStringView buffer = sourceBuffer();
  const size_t end = std::min<size_t>(maxPosition, buffer.size());
  if (position >= end || buffer[position] <= 127) return 0;
  return uint32_t(machineDependentRunLength(buffer.substr(0, end), position));
}

uint32_t VmkHTMLChecker::isHankakuKana(uint32_t position, uint32_t maxPosition) const {
  const UStringView buffer = sourceBuffer();
  const size_t end = std::min<size_t>(maxPosition, buffer.size());
  if (position >= end || !isHalfwidthKatakana(buffer[position])) return 0;
  return uint32_t(hankakuKanaRunLength(buffer.substr(0, end), position));
}

void VmkHTMLChecker::checkMetaCharset() {
  // Only the first such element, written with double quotation marks and http-equiv first.
  static const Regex kMetaCharset(
      "<\\s*meta\\s+http-equiv\\s*=\\s*\"Content-Type\"\\s+content\\s*=\\s*\"text/"
      "html;\\s*(charset)=(.*?)\"\\s*/?>",
      Regex::kIgnoreCase | Regex::kMultiline);
  if (auto match = kMetaCharset.firstMatch(sourceString())) checkCharsetNameForMatch(*match);
}

void VmkHTMLChecker::checkCharsetNameForMatch(const RegexMatch& match) {
  const UString keyword = match.text(sourceString(), 1).value_or(UString());
  const UString name = lowercase(match.text(sourceString(), 2).value_or(UString()));
  const Range nameRange = match.range(2);

  htmlEncoding = Encoding::fromName(name);

  if (!characterSetString) {
    characterSetString = name;
  } else if (!isEqualToString(name, *characterSetString, true)) {
    registerAnErrorWithCode("EncodingConflictBetweenXMLandMeta", nameRange);
  }

  if (name == u"x-sjis") {
    registerAnErrorWithCode("UnSafeCharacterSetValue", nameRange,
                            std::vector<UString>{u"x-sjis", u"Shift_JIS"});
    return;  // not a Japanese name of the tables: nothing more to do
  }
  if (name == u"x-euc-jp") {
    registerAnErrorWithCode("UnSafeCharacterSetValue", nameRange,
                            std::vector<UString>{u"x-euc-jp", u"EUC-JP"});
    return;
  }
  if (!isKnownCharsetName(name)) {
    registerAnErrorWithCode("UnSafeEncodingName", nameRange, std::vector<UString>{keyword, name});
    return;
  }

  // The declared name must agree with the encoding the editor opened the document with. The
  // Japanese names, UTF-8 and UTF-16 are always compared; any other name the platform knows
  // only when the text holds a character beyond ASCII, which the two encodings then may read
  // differently (a UTF-8 page declaring iso-8859-1 shows its accents garbled), while ASCII
  // text reads the same in either.
  const Encoding opened = sourceDocument_ ? sourceDocument_->openNSEncoding() : Encoding();
  std::optional<bool> agrees;
  if (isEUCJPCharsetName(name))
    agrees = opened.isEUCJP();
  else if (isISO2022JPCharsetName(name))
    agrees = opened.isISO2022JPGroup();
  else if (isShiftJISCharsetName(name))
    agrees = opened.isShiftJISGroup();
  else if (name == u"utf-8")
    agrees = opened.isUTF8();
  else if (name == u"utf-16")
    agrees = opened.isUTF16();
  else if (htmlEncoding.valid() && opened.valid() && htmlEncoding != opened &&
           holdsNonAscii(sourceString()))
    agrees = false;
  if (agrees && !*agrees) {
    registerAnErrorWithCode("EncodingNotMatched", nameRange, std::vector<UString>{keyword, name});
  }

  if (isJapaneseCharsetName(name)) {
    isJapaneseEncoding = true;
    // A text that Mac OS Roman can hold has no Japanese in it.
    static const Encoding kMacRoman = Encoding::macRoman();
    if (kMacRoman.canConvertWithoutLoss(sourceString())) {
      registerAnErrorWithCode("JapneseEncodingButNoJapanese", nameRange,
                              std::vector<UString>{keyword, name});
    }
  }
}

bool VmkHTMLChecker::textAfterHoldsBareAmpersands(const UString& name) const {
  // The text of a CODE element and of raw-text elements (script, style) may hold bare
  // ampersands.
  if (isCodeElementName(name)) return true;
  // No element name begins with "/": an end tag never holds raw text.
  return !isEndTagName(name) && htmlDictionary_ && htmlDictionary_->isCDATAElement(name);
}

void VmkHTMLChecker::checkCharRefFor(const VmkTagLocation& textRun) {
  if (const VmkTagLocation* previous = textRun.prevTag(tagLocations_)) {
    if (textAfterHoldsBareAmpersands(previous->elementName())) return;
  }
  checkCharRefInTextRun(textRun);
}

void VmkHTMLChecker::checkCharRefInTextRun(const VmkTagLocation& textRun) {
  const Range range = textRun.tagRange();
  if (!isXHTML) {
    checkCharRefForRange(range);
    return;
  }
  // With an XML dictionary the scanner steps over CDATA sections without making an entry, so
  // a text run can hold them whole. Their content is character data, where a bare "&" is
  // allowed (the usual "//<![CDATA[ if (a && b) ... //]]>" around a script): only the pieces
  // between sections are examined.
  static constexpr UStringView kOpen = u"<![CDATA[";
  static constexpr UStringView kClose = u"]]>";
  const UStringView text = sourceString();
  const size_t end = std::min<size_t>(size_t(range.location) + range.length, text.size());
  size_t piece = std::min<size_t>(range.location, end);
  const UStringView window = text.substr(0, end);
  // A section starts at a "<", which most runs do not hold at all: the "<"s are found several
  // units at a time.
  auto findOpen = [&](size_t from) {
    for (size_t at = findCodeUnit(window, u'<', from); at != UStringView::npos;
         at = findCodeUnit(window, u'<', at + 1)) {
      if (window.substr(at, kOpen.size()) == kOpen) return at;
    }
    return UStringView::npos;
  };
  while (piece < end) {
    const size_t open = findOpen(piece);
    if (open == UStringView::npos) break;
    checkCharRefForRange(Range(uint32_t(piece), uint32_t(open - piece)));
    const size_t close = window.find(kClose, open + kOpen.size());
    piece = close == UStringView::npos ? end : close + kClose.size();
  }
  if (piece < end) checkCharRefForRange(Range(uint32_t(piece), uint32_t(end - piece)));
}

void VmkHTMLChecker::checkCharRefForRange(Range range) {
  const UStringView text = sourceString();
  if (range.location >= text.size()) return;
  const size_t end = std::min<size_t>(size_t(range.location) + range.length, text.size());
  // Searching only within the range keeps the work per text run bounded by its length.
  const UStringView window = text.substr(0, end);
  for (size_t at = findCodeUnit(window, u'&', range.location); at != UStringView::npos;
       at = findCodeUnit(window, u'&', at + 1)) {
    // The reference may run on past the range: it is read in the whole text.
    int32_t answer = isCharRef(text, at);
    if (answer == 0) {
      registerAnErrorWithCode("WrongAmpersand", Range(uint32_t(at), 1));
    } else if (answer < 0) {
      registerAnErrorWithCode("SemiColonLacked", Range(uint32_t(at), uint32_t(-answer)));
    }
  }
}

}  // namespace vmk
