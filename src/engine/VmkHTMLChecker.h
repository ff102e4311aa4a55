// The checker engine: one validation run over the text of a host document against one HTML
// dictionary, producing a tag list and a list of error locations. The shared instance keeps
// the outcome of its last run so that later commands on the same, unchanged document can use
// it (see ensureCurrentRunFor).
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "dictionary/VmkDictionary.h"
#include "engine/TagNameIndex.h"
#include "engine/VmkTagLocation.h"
#include "errors/VmkErrorLocation.h"
#include "support/Encoding.h"
#include "support/Text.h"

namespace vmk {

class ContentAutomata;
class DirectContent;
class HostDocument;
class RegexMatch;
class VmkDictionary;
struct VmkElementRecord;

class VmkHTMLChecker {
 public:
  // The shared checker, created on first use; it lives until the process ends.
  static VmkHTMLChecker& sharedHTMLChecker();
  // A second construction gives the shared checker.
  static VmkHTMLChecker& init() { return sharedHTMLChecker(); }
  // A fresh, independent checker (for work that must not disturb the shared checker's last
  // run, such as checking the pages of a site, and for tests).
  static std::unique_ptr<VmkHTMLChecker> initOneMore();

  ~VmkHTMLChecker();
  VmkHTMLChecker(const VmkHTMLChecker&) = delete;
  VmkHTMLChecker& operator=(const VmkHTMLChecker&) = delete;

  // ---- The run ----

  // Resets all per-run state.
  void initialize();
  // A complete check with display and sound on.
  int32_t validateHTMLForDocument(HostDocument& document);
  // A complete check; returns the number of error locations kept. With display off only the
  // checker's own lists are filled: the result store and the results window are untouched.
  int32_t validateHTMLForDocument(HostDocument& document, bool dispErrors, bool withSound);

  // The single entry through which every check reports a problem. Errors whose level in the
  // catalogue is 0 or below are dropped; the structural codes count in structualErrorCount
  // either way. subStrings: the words of the message's placeholders, absent when it has none.
  void registerAnErrorWithCode(std::string_view code, Range range,
                               std::optional<std::vector<UString>> subStrings = std::nullopt);
  // True for the codes that count as structural errors.
  static bool isStructuralError(std::string_view code);

  // Large lists are checked by two threads: the attribute checks run beside the tree walk and
  // the element checks (they touch different parts of the entries), with the same outcome, in
  // the same order, as one thread gives. On by default; off runs every pass in turn.
  void setParallelChecks(bool parallel) { parallelChecks_ = parallel; }
  bool parallelChecks() const { return parallelChecks_; }
  // Lists shorter than this are always checked by one thread, and texts shorter than this
  // scanned by one: below them a second thread costs more than it saves.
  static constexpr size_t kParallelChecksFrom = 4096;
  static constexpr uint32_t kParallelScanFrom = 1 << 18;
  // Other limits (the fuzz programs use two threads on every text, however short).
  void setParallelLimits(uint32_t scanFrom, size_t checksFrom) {
    parallelScanFrom_ = scanFrom;
    parallelChecksFrom_ = checksFrom;
  }

  // Remembers the current digest of sourceDocument (nothing when there is none).
  void resetLastMD5String();

  // The reuse rule: the last run describes the document when it is the run's document (same
  // object) and its current digest equals the one remembered.
  bool isLastRunCurrentFor(const HostDocument& document) const;
  // Makes the last run describe the document, checking it again silently (display and sound
  // off) when the rule above does not hold. True when it had to check again.
  bool ensureCurrentRunFor(HostDocument& document);
  // The tag list of the document's text as the scanner makes it, without the checks that follow
  // (no depths, pairs or attribute records; the errors found are dropped): for operations that
  // only lay the text out again from its items. A current full run is used as it stands. A list
  // made here is not a check of the text: ensureCurrentRunFor checks again afterwards.
  void ensureTagListFor(HostDocument& document);

  // ---- Scanner and tree walk ----

  // Builds tagLocations from the text of the run, reporting the lexical errors.
  void makeTagLocationsArray();
  // Pairs start and end tags, sets depths, reports the nesting errors.
  void makeElementFiliation();
  // The end tag that balances the element by name counting over the whole list (see
  // TagNameIndex); nullptr when there is none.
  VmkTagLocation* FindMyEndTag(const VmkTagLocation& tag);

  // Character-run tests of the scanner at `position`, not reading at or past `maxPosition`:
  // the number of code units of the run, 0 when there is none.
  uint32_t isKishuIzon(uint32_t position, uint32_t maxPosition) const;
  uint32_t isHankakuKana(uint32_t position, uint32_t maxPosition) const;

  // ---- Dictionary selection and prologue checks ----

  void determinHTMLDictionary();
  // Loads ahead of a run the dictionary that determinHTMLDictionary is likely to choose for a
  // text that begins with `documentStart` (the first bytes of a file, read as Latin-1), with
  // the given settings: a run that comes after it finds the dictionary kept (see
  // VmkDictionary::sharedWithDoctypeName). Only a guess that nothing depends on; safe from
  // any thread, meant for one that waits while the document is read.
  static void preloadDictionary(std::string_view documentStart, bool followsDoctype,
                                UStringView defaultDictionary);
  // Has the memory for the tag list of a document of `byteCount` bytes made ready ahead of a
  // run (see stockObjectPoolChunks), for a thread that waits while a large file is read; it
  // stops when `stop` is requested.
  static void prepareTagListMemory(uint64_t byteCount, std::stop_token stop = {});
  void checkXMLValidity();
  void checkXmlDoctypeHtmlTagOrder();
  // The display name of the dictionary chosen for the document (after the reuse rule);
  // absent when no dictionary could be chosen.
  std::optional<UString> htmlDoctypeForDocument(HostDocument& document);

  // ---- Character and encoding checks ----

  void checkMetaCharset();
  // group 1: the keyword ("charset" / "encoding") as written; group 2: the charset name.
  void checkCharsetNameForMatch(const RegexMatch& match);
  // The references of one text run of the tag list.
  void checkCharRefFor(const VmkTagLocation& textRun);
  void checkCharRefForRange(Range range);

  // ---- Element structure checks ----

  void checkElementReleations();
  void checkSpecialTagsOrder();

  // ---- Attribute checks ----

  void checkAttributeNamesAndValues();
  void makeAttrbListForTagLocation(VmkTagLocation& tag);
  void checkRequiredAttributeForTagLocation(VmkTagLocation& tag);
  void checkAttributeValuesForTagLocation(VmkTagLocation& tag);
  // The text, compared exactly, is in idArray.
  bool isThisIDDefined(UStringView value) const;
  // The one copy of an attribute name (lower case) that the attribute records of this checker
  // view; kept until the tag list is made again.
  UStringView keptAttributeName(UStringView name);

  // ---- State of the last run ----

  // The document of the last run (compared by identity only; not owned).
  HostDocument* sourceDocument() const { return sourceDocument_; }
  void setSourceDocument(HostDocument* document) { sourceDocument_ = document; }
  // The text of the run; all ranges of the run refer to it. It stays as it was when the
  // document is edited later, but the object may change then: ask again rather than keep the
  // reference.
  const UString& sourceString() const {
    return sourceSnapshot_ ? sourceSnapshot_->text() : sourceString_;
  }
  // A new text starts without a tag list: the list's ranges, and the attribute records' views,
  // belong to the text the list was made from.
  void setSourceString(UString text);
  // The same text as the flat array the scanner walks by index.
  UStringView sourceBuffer() const { return sourceString(); }
  // The document's digest when the last run finished ("" when none).
  const std::string& lastMD5String() const { return lastMD5String_; }
  void setLastMD5String(std::string digest) { lastMD5String_ = std::move(digest); }
  const VmkErrorLocationList& errorLocations() const { return errorLocations_; }
  VmkErrorLocationList& errorLocations() { return errorLocations_; }
  const VmkTagLocationList& tagLocations() const { return tagLocations_; }
  // A list changed from outside is no longer known to match what the scan noted about it.
  VmkTagLocationList& tagLocations() {
    scanNotesKnown_ = false;
    return tagLocations_;
  }
  // The names of the entries as the scan noted them; nullptr when the list may have changed
  // since.
  const VmkNotedEntryNames* scannedEntryNames() const {
    return scanNotesKnown_ && scanNotes_.names.ids.size() == tagLocations_.size()
               ? &scanNotes_.names
               : nullptr;
  }
  // The dictionary of the run; nullptr when none could be chosen.
  const VmkDictionary* htmlDictionary() const { return htmlDictionary_.get(); }
  // With "Vmk_StrictDTDChecks" on, the last run's dictionary had no content models (one made
  // before they were written), so they were not checked.
  bool contentModelsMissing() const { return contentModelsMissing_; }
  // The dictionary files the run needed and could not load: the one the DOCTYPE names, the
  // default one. The run went on without them.
  const std::vector<DictionaryLoadProblem>& dictionaryLoadProblems() const {
    return dictionaryLoadProblems_;
  }
  void setHtmlDictionary(std::unique_ptr<VmkDictionary> dictionary);

  // The charset name found in the document (first seen in the run).
  std::optional<UString> characterSetString;
  // The encoding the host opened the document with, or the one the document names.
  Encoding htmlEncoding;
  // The chosen dictionary is an XML (XHTML) one.
  bool isXHTML = false;
  // The document declares a Japanese charset: the machine-dependent character test is on.
  bool isJapaneseEncoding = false;
  // Structural errors met by the scanner and the tree walk, kept or not.
  int32_t structualErrorCount = 0;
  // The id values met so far in the run.
  std::vector<UString> idArray;

 private:
  VmkHTMLChecker();

  // What registering an error needs to know of its code, looked up once per code.
  struct CodeFacts {
    const std::string* interned = nullptr;  // see internedErrorCode
    int level = 0;                          // catalogue level for the current settings
    bool structural = false;                // see isStructuralError
  };
  CodeFacts codeFactsFor(std::string_view code);
  // The catalogue level of a code, cached for the current settings.
  int errorLevelFor(std::string_view code) { return codeFactsFor(code).level; }
  // Fills the level cache with every catalogue code, so that the passes running side by side
  // only read it.
  void prepareErrorLevels();

  // Errors registered by a pass that runs on another thread, kept apart until it ends.
  struct ErrorSink {
    VmkErrorLocationList errors;
    int32_t structuralCount = 0;
  };
  // The sink of the calling thread (nullptr: the run's own list).
  static thread_local ErrorSink* threadErrorSink_;
  // Puts the calling thread's sink back as it was when this goes out of scope, also when a check
  // throws (a sink left behind would outlive the work that holds it).
  struct ThreadSinkRestorer {
    ErrorSink* saved = threadErrorSink_;
    ThreadSinkRestorer() = default;
    ThreadSinkRestorer(const ThreadSinkRestorer&) = delete;
    ThreadSinkRestorer& operator=(const ThreadSinkRestorer&) = delete;
    ~ThreadSinkRestorer() { threadErrorSink_ = saved; }
  };
  // Moves the errors of a sink after those registered so far by the calling thread.
  void appendErrors(ErrorSink& from);

  // makeTagLocationsArray, except that the entries from the returned place on may carry their
  // place in the list counted from that place (the tree walk numbers every entry again).
  size_t scanTagLocations();
  // What the scan notes about the list it makes, for the passes that follow.
  struct ScanNotes {
    // The places, ascending, of the text runs where the scan met an "&" (or did not look, in
    // raw text): the others need no search for references.
    std::vector<uint32_t> ampersandRuns;
    // The name of every entry (the passes that ask only for names need not read the entries).
    VmkNotedEntryNames names;
  };
  // Scans the text from `from` into `list` (entries indexed and linked from the list's start),
  // noting in `notes` the places in `list` of the text runs that may hold an "&" and the names
  // of the entries. With stopAt set, the scan ends there when it arrives at it outside any tag:
  // true then.
  bool scanTagList(uint32_t from, uint32_t stopAt, VmkTagLocationList& list, ScanNotes& notes);
  // Whether the text run at place i of the list may hold an "&" (true when not known); asked
  // with ascending i, `cursor` keeps the place reached in the noted runs.
  bool textRunMayHoldAmpersand(size_t i, size_t& cursor) const;
  // The run's document, text, encoding and dictionary.
  void takeSourceFrom(HostDocument& document);
  // Tree walk, element checks and attribute checks, one after another or side by side.
  void runTagListPasses();

  // The attribute steps for a tag whose element record (folded name) is already known, within
  // one pass over the list (see AttributeChecks.cpp). recordFacts: the facts of the tag's
  // records, in order (nullptr: found again).
  struct AttributeNameFacts;
  class AttributePass;
  struct AttributeValueWork;
  // The attribute pass in three steps: the records of every tag (one thread, in order: ids are
  // collected as they come), the value and required-attribute checks (in chunks that several
  // threads may share), and the errors of those checks in tag order.
  void makeAttributeRecords(AttributeValueWork& work);
  void checkAttributeValues(AttributeValueWork& work);
  void addAttributeValueErrors(AttributeValueWork& work);
  void makeAttrbListForTagLocation(VmkTagLocation& tag, const VmkElementRecord* record,
                                   AttributePass& pass);
  void checkRequiredAttributeForTagLocation(VmkTagLocation& tag, const VmkElementRecord* record);
  void checkAttributeValuesForTagLocation(VmkTagLocation& tag, const VmkElementRecord* record,
                                          const AttributeNameFacts* const* recordFacts);
  // The text run after an entry of that name is not searched for references.
  bool textAfterHoldsBareAmpersands(const UString& name) const;
  // checkCharRefFor once the entry before the run is known not to hold raw text.
  void checkCharRefInTextRun(const VmkTagLocation& textRun);
  // The structure checks over content gathered once for both.
  void checkElementReleations(const DirectContent& content);
  // The element checks in three steps, as the value checks: the work over content made once,
  // its chunks of entries (which several threads may share), and their errors in entry order.
  struct ElementCheckWork;
  void checkElementChunks(ElementCheckWork& work);
  void addElementCheckErrors(ElementCheckWork& work);
  void checkSpecialTagsOrder(const DirectContent& content);
  // The strict content checks (see ContentModelChecks.cpp): every element's content against
  // its content model and the exclusions and inclusions of its ancestors, when contentAutomata_
  // is set. They need the tree walk only, and may run beside the order pass; their errors come
  // after the order pass's, without those at an element the order pass reported (H016).
  void checkContentModels();
  static void dropElementsReportedOutOfOrder(ErrorSink& strict, const VmkErrorLocationList& order);
  // Whether id values are compared ignoring case in this run, and the form they are kept in.
  UString idIndexKey(UStringView value) const;
  // Drops the tag list and everything made from it (the name index, the depths, the scan's
  // notes, the attribute names its records view).
  void dropTagList();
  // The name index of the current list, made again when the list's length changed.
  const TagNameIndex& currentTagNameIndex();

  HostDocument* sourceDocument_ = nullptr;
  // The text of the run: the document's own, while it is unchanged, or a copy.
  std::shared_ptr<const TextSnapshot> sourceSnapshot_;
  UString sourceString_;
  std::string lastMD5String_;
  std::shared_ptr<const VmkDictionary> htmlDictionary_;
  std::vector<DictionaryLoadProblem> dictionaryLoadProblems_;
  VmkErrorLocationList errorLocations_;
  VmkTagLocationList tagLocations_;
  // Name index of tagLocations_, built by the tree walk (or on demand) and dropped whenever
  // the list is rebuilt.
  std::unique_ptr<TagNameIndex> tagNameIndex_;
  // The depth of every entry as the tree walk left them (empty when the list changed since).
  std::vector<int32_t> entryDepths_;
  // The strict content checks of the run: the automata of its dictionary (nullptr: the
  // setting is off, or the dictionary has no models), and per entry where the content of its
  // element ends, as the tree walk decided (made only for these checks).
  const ContentAutomata* contentAutomata_ = nullptr;
  std::vector<std::pair<int32_t, int32_t>> entryContentEnds_;  // see walkTagTree
  bool contentModelsMissing_ = false;
  // Ids compared ignoring case: the strict checks with a dictionary of an SGML document type,
  // whose names fold to upper case.
  bool foldsIds_ = false;
  // What the scan noted about tagLocations_; valid while scanNotesKnown_.
  ScanNotes scanNotes_;
  bool scanNotesKnown_ = false;

  // The attribute names that the records of tagLocations_ view (see keptAttributeName).
  std::unordered_set<UString, UStringViewHash, std::equal_to<>> attributeNames_;
  // Hash index of idArray for isThisIDDefined: the first idIndexedCount_ members are in it.
  mutable std::unordered_set<UString, UStringViewHash, std::equal_to<>> idIndex_;
  mutable size_t idIndexedCount_ = 0;

  // Looked up by the code's view, without making a string of it.
  struct CodeHash {
    using is_transparent = void;
    size_t operator()(std::string_view code) const { return std::hash<std::string_view>()(code); }
  };
  std::unordered_map<std::string, CodeFacts, CodeHash, std::equal_to<>> levelCache_;
  uint64_t levelCacheVersion_ = 0;
  bool levelCacheValid_ = false;
  // While passes run side by side the cache is only read; a code it lacks is looked up under
  // the lock and not stored.
  bool levelCacheFrozen_ = false;
  std::mutex levelMutex_;
  bool parallelChecks_ = true;
  uint32_t parallelScanFrom_ = kParallelScanFrom;
  size_t parallelChecksFrom_ = kParallelChecksFrom;
};

// The shared checker (same as VmkHTMLChecker::sharedHTMLChecker()).
VmkHTMLChecker& sharedHTMLChecker();

}  // namespace vmk
