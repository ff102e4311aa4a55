// Dictionary selection from the DOCTYPE and the prologue checks.
#include <algorithm>

#include "dictionary/VmkDictionary.h"
#include "engine/NamePredicates.h"
#include "engine/VmkHTMLChecker.h"
#include "host/HostDocument.h"
#include "settings/VmkUserDefaults.h"
#include "support/ObjectPool.h"
#include "support/Regex.h"

namespace vmk {
namespace {

constexpr const char* kDoctypePattern =
    "<!DOCTYPE\\s+([Hh][Tt][Mm][Ll])\\s+PUBLIC\\s+[\"'](.*?)[\"'].*?>";
constexpr const char* kDoctypeWithSystemPattern =
    "<!DOCTYPE\\s+([Hh][Tt][Mm][Ll])\\s+PUBLIC\\s+[\"']([^>]*?)[\"']\\s+[\"']([^>]*?)[\"']\\s*>";

// The XML declaration and the rest of its line, line feed included.
const Regex& xmlDeclarationLine() {
  static const Regex regex("<\\?xml.*?\\?>.*?\n", Regex::kIgnoreCase | Regex::kMultiline);
  return regex;
}

// The XML declaration, white space and a line feed after it.
const Regex& xmlDeclarationThroughLineEnd() {
  static const Regex regex("<\\?xml.*?\\?>\\s*\n", Regex::kIgnoreCase | Regex::kMultiline);
  return regex;
}

// The range of a match of xmlDeclarationThroughLineEnd, or (0, 0) when there is none.
Range xmlDeclarationRange(UStringView text) {
  if (auto match = xmlDeclarationThroughLineEnd().firstMatch(text)) return match->range(0);
  return Range(0, 0);
}

const Regex& doctypeRegex() {
  static const Regex regex(kDoctypePattern, Regex::kIgnoreCase | Regex::kMultiline);
  return regex;
}

const Regex& whiteSpaceRun() {
  static const Regex regex("\\s+");
  return regex;
}

bool startsWith(UStringView text, UStringView prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

}  // namespace

void VmkHTMLChecker::determinHTMLDictionary() {
  const Regex& kDoctype = doctypeRegex();
  static const Regex kDoctypeExactCase(kDoctypePattern, Regex::kMultiline);
  static const Regex kDoctypeWithSystem(kDoctypeWithSystemPattern,
                                        Regex::kIgnoreCase | Regex::kMultiline);
  const Regex& kWhiteSpaceRun = whiteSpaceRun();

  const UStringView text = sourceString();
  std::shared_ptr<const VmkDictionary> dictionary;
  std::optional<DictionaryLoadProblem> doctypeProblem;

  if (auto doctype = kDoctype.firstMatch(text)) {
    const Range declaration = doctype->range(0);
    const Range htmlWord = doctype->range(1);
    const Range identifierRange = doctype->range(2);

    // Comments and processing instructions may come first; anything else may not.
    if (declaration.location != 0 && !startsWith(text, u"<!") && !startsWith(text, u"<?")) {
      registerAnErrorWithCode("DoctypeMustBeTop", Range(0, declaration.location));
    }
    if (!kDoctypeExactCase.firstMatch(text)) {
      registerAnErrorWithCode(
          "MustCapitalLatterInDoctype",
          Range(declaration.location, identifierRange.location - declaration.location));
    }

    const UString identifier = doctype->text(text, 2).value_or(UString());
    DictionaryLoadProblem problem;
    dictionary = VmkDictionary::sharedWithDoctypeName(
        kWhiteSpaceRun.replaceAllFixed(identifier, u" "), &problem);
    if (!dictionary && !problem.reason.empty()) {
      doctypeProblem = std::move(problem);
    }
    if (!dictionary) {
      registerAnErrorWithCode("NoSuchHtmlDictionary", identifierRange);
    } else {
      if (dictionary->isXML() && doctype->text(text, 1).value_or(UString()) != u"html") {
        registerAnErrorWithCode("HtmlMustBeLowerCaseInXHTML", htmlWord);
      }
      if (const std::optional<UString>& expected = dictionary->systemIdentifier()) {
        std::vector<UString> subStrings{dictionary->displayName(), *expected};
        if (auto full = kDoctypeWithSystem.firstMatch(text)) {
          if (full->text(text, 3).value_or(UString()) != *expected) {
            registerAnErrorWithCode("WrongSystemIdentifier", full->range(3), std::move(subStrings));
          }
        } else {
          registerAnErrorWithCode("NoSystemIdentifier", declaration, std::move(subStrings));
        }
      }
    }
  } else {
    // Reported where the DOCTYPE belongs: after the XML declaration's line, else at the start.
    Range where(0, 0);
    if (auto declaration = xmlDeclarationLine().firstMatch(text)) {
      where = Range(declaration->range(0).max(), 0);
    }
    registerAnErrorWithCode("NoDoctypeDeclaration", where);
  }

  VmkUserDefaults& defaults = sharedVmkUserDefaults();
  if (!defaults.boolForKey("Vmk_FollowsDoctype")) {
    dictionary.reset();
    doctypeProblem.reset();  // not needed after all
  }
  if (doctypeProblem) dictionaryLoadProblems_.push_back(std::move(*doctypeProblem));
  if (!dictionary) {
    DictionaryLoadProblem problem;
    dictionary = VmkDictionary::sharedWithMenuName(
        toUtf16(defaults.stringForKey("Vmk_DefaultHtmlDictionary")), &problem);
    if (!dictionary) dictionaryLoadProblems_.push_back(std::move(problem));
  }
  htmlDictionary_ = std::move(dictionary);

  isXHTML = htmlDictionary_ && htmlDictionary_->isXML();
  if (isXHTML) checkXMLValidity();
  checkMetaCharset();
}

void VmkHTMLChecker::preloadDictionary(std::string_view documentStart, bool followsDoctype,
                                       UStringView defaultDictionary) {
  if (followsDoctype) {
    const UString start = widenBytes(documentStart);
    if (auto doctype = doctypeRegex().firstMatch(start)) {
      const UString identifier = doctype->text(start, 2).value_or(UString());
      if (VmkDictionary::sharedWithDoctypeName(whiteSpaceRun().replaceAllFixed(identifier, u" ")))
        return;
    }
  }
  VmkDictionary::sharedWithMenuName(defaultDictionary);
}

void VmkHTMLChecker::prepareTagListMemory(uint64_t byteCount, std::stop_token stop) {
  // Markup makes about one entry per 20 to 40 bytes; the lower estimate keeps the stock from
  // holding chunks that no entry will use (a list that needs more maps them as it grows).
  constexpr uint64_t kBytesPerEntry = 24;
  constexpr uint64_t kFrom = uint64_t(1) << 20;
  if (byteCount < kFrom) return;
  const uint64_t entryBytes = byteCount / kBytesPerEntry * sizeof(VmkTagLocation);
  stockObjectPoolChunks(
      size_t(std::min<uint64_t>(entryBytes / kObjectPoolChunkSize, kObjectPoolStockLimit)), stop);
}

void VmkHTMLChecker::checkXMLValidity() {
  static const Regex kVersion("<\\?xml\\s+version\\s*=\\s*[\"'](.*?)[\"']", Regex::kIgnoreCase);
  // The encoding's value ends at its own closing quotation mark; a standalone declaration may
  // follow it.
  static const Regex kEncoding(
      "<\\?xml\\s+version\\s*=\\s*[\"'].*?[\"']\\s+(encoding)\\s*=\\s*[\"']([^\"']*)[\"']"
      "(?:\\s+standalone\\s*=\\s*[\"'][^\"']*[\"'])?\\s*\\?>",
      Regex::kIgnoreCase);

  const UStringView text = sourceString();
  if (auto version = kVersion.firstMatch(text)) {
    if (version->text(text, 1).value_or(UString()) != u"1.0") {
      registerAnErrorWithCode("WrongXmlVersion", version->range(1));
    }
  } else {
    registerAnErrorWithCode("XMLVersionRequired", xmlDeclarationRange(text));
  }

  if (auto encoding = kEncoding.firstMatch(text)) {
    checkCharsetNameForMatch(*encoding);
    return;
  }
  // Without a declared encoding XML reads the document as UTF-8 or UTF-16.
  const Encoding opened = sourceDocument_ ? sourceDocument_->openNSEncoding() : Encoding();
  if (opened.isUTF8() || opened.isUTF16() || opened.isASCII()) return;
  registerAnErrorWithCode("XMLEncodingRequired", xmlDeclarationRange(text));
}

void VmkHTMLChecker::checkXmlDoctypeHtmlTagOrder() {
  constexpr size_t kEntriesExamined = 25;
  const VmkTagLocation* first = nullptr;
  const VmkTagLocation* second = nullptr;
  const size_t count = std::min(tagLocations_.size(), kEntriesExamined);
  for (size_t i = 0; i < count; ++i) {
    const VmkTagLocation& tag = *tagLocations_[i];
    const UString& name = tag.elementName();
    // The name keeps its case only with an XML dictionary.
    if (name == u"?xml" && tag.tagRange().location != 0) {
      registerAnErrorWithCode("XmlTagMustBeFirst", tag.tagRange());
    } else if (isCommentTag(name)) {
      continue;
    } else if (isEqualToString(name, u"!DOCTYPE", true) || isEqualToString(name, u"HTML", true)) {
      if (!first)
        first = &tag;
      else if (!second)
        second = &tag;
    }
  }

  if (!first) {
    registerAnErrorWithCode("NoHtmlTag", Range(0, 0));
  } else if (isEqualToString(first->elementName(), u"!DOCTYPE", true)) {
    if (!second) registerAnErrorWithCode("NoHtmlTagBeforeDoctype", first->tagRange());
  } else if (second) {
    registerAnErrorWithCode("NoHtmlTagBeforeDoctype", first->tagRange());
  }
}

std::optional<UString> VmkHTMLChecker::htmlDoctypeForDocument(HostDocument& document) {
  ensureCurrentRunFor(document);
  if (!htmlDictionary_) return std::nullopt;
  return htmlDictionary_->displayName();
}

}  // namespace vmk
