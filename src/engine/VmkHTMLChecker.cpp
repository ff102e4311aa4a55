#include "engine/VmkHTMLChecker.h"

#include <atomic>
#include <condition_variable>

#include <exception>
#include <mutex>
#include <thread>

#include "dictionary/ContentAutomata.h"
#include "dictionary/VmkDictionary.h"
#include "engine/AttributePass.h"
#include "engine/DirectContent.h"
#include "engine/ElementCheckWork.h"
#include "engine/ResultsDisplay.h"
#include "errors/ErrorCatalogue.h"
#include "errors/MessageTables.h"
#include "host/HostDocument.h"
#include "settings/VmkUserDefaults.h"

namespace vmk {

VmkHTMLChecker& VmkHTMLChecker::sharedHTMLChecker() {
  static VmkHTMLChecker* shared = new VmkHTMLChecker();  // kept until the process ends
  return *shared;
}

VmkHTMLChecker& sharedHTMLChecker() {
  return VmkHTMLChecker::sharedHTMLChecker();
}

std::unique_ptr<VmkHTMLChecker> VmkHTMLChecker::initOneMore() {
  return std::unique_ptr<VmkHTMLChecker>(new VmkHTMLChecker());
}

VmkHTMLChecker::VmkHTMLChecker() = default;
VmkHTMLChecker::~VmkHTMLChecker() = default;

void VmkHTMLChecker::setHtmlDictionary(std::unique_ptr<VmkDictionary> dictionary) {
  htmlDictionary_ = std::move(dictionary);
}

void VmkHTMLChecker::setSourceString(UString text) {
  sourceSnapshot_.reset();
  sourceString_ = std::move(text);
  dropTagList();
}

void VmkHTMLChecker::dropTagList() {
  tagLocations_ = VmkTagLocationList();
  attributeNames_.clear();  // viewed by the records of the list just dropped
  tagNameIndex_.reset();
  entryDepths_ = std::vector<int32_t>();
  entryContentEnds_ = std::vector<std::pair<int32_t, int32_t>>();
  scanNotes_ = ScanNotes();
  scanNotesKnown_ = false;
}

void VmkHTMLChecker::initialize() {
  sourceDocument_ = nullptr;
  sourceSnapshot_.reset();
  sourceString_ = UString();
  htmlDictionary_.reset();
  dictionaryLoadProblems_.clear();
  characterSetString.reset();
  htmlEncoding = Encoding();
  errorLocations_ = VmkErrorLocationList();
  dropTagList();
  idArray = std::vector<UString>();
  lastMD5String_.clear();
  isXHTML = false;
  isJapaneseEncoding = false;
  structualErrorCount = 0;
  levelCacheValid_ = false;
  levelCache_.clear();
  contentAutomata_ = nullptr;
  contentModelsMissing_ = false;
  foldsIds_ = false;
}

int32_t VmkHTMLChecker::validateHTMLForDocument(HostDocument& document) {
  return validateHTMLForDocument(document, true, true);
}

int32_t VmkHTMLChecker::validateHTMLForDocument(HostDocument& document, bool dispErrors,
                                                bool withSound) {
  VmkUserDefaults& defaults = sharedVmkUserDefaults();
  ResultsDisplay& display = resultsDisplay();
  display.startSpiningBall();
  initialize();

  if (dispErrors) {
    int64_t beforeNewCheck = defaults.integerForKey("Vmk_BeforeNewCheck");
    if (beforeNewCheck == 1)
      display.clearAllErrors();
    else if (beforeNewCheck == 2)
      display.collapseAllItemsExceptFor(document);
    display.dispErrorMessage(localizedString(kVelumarkXTable, "Validating HTML..."));
  }

  takeSourceFrom(document);
  // The strict content checks: nothing of them is made while the setting is off.
  if (htmlDictionary_ && defaults.boolForKey("Vmk_StrictDTDChecks")) {
    const ContentAutomata& automata = htmlDictionary_->contentAutomata();
    if (automata.hasModels()) {
      contentAutomata_ = &automata;
    } else {
      contentModelsMissing_ = true;
    }
    foldsIds_ = !htmlDictionary_->isXML();
  }
  // The tree walk numbers the entries.
  scanTagLocations();
  runTagListPasses();
  // The name index of a large list takes a good part of the run's memory; a later question
  // about end tags makes it again.
  tagNameIndex_.reset();

  if (dispErrors) {
    if (!errorLocations_.empty()) {
      sortErrorLocations(errorLocations_);
      display.mergeErrorLocations(errorLocations_, document);
    }
    std::optional<UString> doctypeName;
    if (htmlDictionary_) doctypeName = htmlDictionary_->displayName();
    display.dispErrorSummary(errorLocations_, doctypeName, withSound);
  }

  resetLastMD5String();
  display.stopSpiningBall();
  return int32_t(errorLocations_.size());
}

void VmkHTMLChecker::takeSourceFrom(HostDocument& document) {
  sourceDocument_ = &document;
  // The document's text is shared while it stays unchanged; copied when it cannot be.
  sourceSnapshot_ = document.textStorage().textSnapshot();
  if (!sourceSnapshot_) {
    sourceString_ = document.textStorage().string();
  }
  htmlEncoding = document.openNSEncoding();
  determinHTMLDictionary();
}

void VmkHTMLChecker::ensureTagListFor(HostDocument& document) {
  if (isLastRunCurrentFor(document)) return;
  initialize();
  takeSourceFrom(document);
  scanTagLocations();
  tagNameIndex_.reset();
  errorLocations_ = VmkErrorLocationList();
}

thread_local VmkHTMLChecker::ErrorSink* VmkHTMLChecker::threadErrorSink_ = nullptr;

void VmkHTMLChecker::runTagListPasses() {
  if (tagLocations_.empty()) {
    checkAttributeNamesAndValues();
    return;
  }
  const bool sideBySide = parallelChecks_ && tagLocations_.size() >= parallelChecksFrom_ &&
                          std::thread::hardware_concurrency() > 1;
  if (!sideBySide) {
    makeElementFiliation();
    // Both structure passes ask for the same content; attributes do not change it.
    const DirectContent content = entryDepths_.size() == tagLocations_.size()
                                      ? DirectContent(std::move(entryDepths_))
                                      : DirectContent(tagLocations_);
    checkElementReleations(content);
    checkAttributeNamesAndValues();
    checkSpecialTagsOrder(content);
    if (contentAutomata_) {
      ErrorSink strict;
      {
        const ThreadSinkRestorer restorer;
        threadErrorSink_ = &strict;
        checkContentModels();
      }
      dropElementsReportedOutOfOrder(strict, errorLocations_);
      appendErrors(strict);
    }
    return;
  }

  // The attribute pass reads names and ranges and fills the attribute records; the walk and the
  // element checks set depths and pairs: no field is written by one and read by the other. The
  // order pass needs both the records and the direct content (made after the walk); it reads
  // neither the value checks' outcome nor what the element checks leave, so the thread that is
  // free first runs it: the attribute thread once the value checks are all taken, if the content
  // is made by then, or this thread after the element checks. Its errors are kept apart to come
  // last. The value checks are shared by both threads.
  prepareErrorLevels();
  levelCacheFrozen_ = true;
  ErrorSink attributeErrors;
  ErrorSink orderErrors;
  AttributeValueWork values(*this);
  std::exception_ptr attributeFailure;
  std::exception_ptr orderFailure;
  std::unique_ptr<DirectContent> content;
  std::atomic<const DirectContent*> contentMade{nullptr};
  std::atomic<bool> orderTaken{false};
  // The element checks' chunks, shared once the walk made the content: the attribute thread
  // waits for them when it has nothing else to do (nullptr: this thread failed first).
  std::unique_ptr<ElementCheckWork> elements;
  std::exception_ptr elementFailure;
  std::mutex elementsMutex;
  std::condition_variable elementsChanged;
  bool elementsDecided = false;
  auto decideElements = [&] {
    {
      std::lock_guard<std::mutex> lock(elementsMutex);
      elementsDecided = true;
    }
    elementsChanged.notify_all();
  };
  auto runOrderPass = [&](const DirectContent& made) {
    const ThreadSinkRestorer restorer;
    threadErrorSink_ = &orderErrors;
    try {
      checkSpecialTagsOrder(made);
    } catch (...) {
      orderFailure = std::current_exception();
    }
  };
  // The strict content checks need the walk only: the thread free first after the order pass
  // was taken runs them.
  ErrorSink strictErrors;
  std::exception_ptr strictFailure;
  std::atomic<bool> strictTaken{contentAutomata_ == nullptr};
  auto runStrictPass = [&] {
    const ThreadSinkRestorer restorer;
    threadErrorSink_ = &strictErrors;
    try {
      checkContentModels();
    } catch (...) {
      strictFailure = std::current_exception();
    }
  };
  {
    std::jthread attributes([&] {
      threadErrorSink_ = &attributeErrors;
      try {
        makeAttributeRecords(values);
      } catch (...) {
        attributeFailure = std::current_exception();
        values.chunkErrors.clear();
      }
      values.publish();
      try {
        if (!attributeFailure) checkAttributeValues(values);
      } catch (...) {
        attributeFailure = std::current_exception();
      }
      if (!attributeFailure) {
        {
          std::unique_lock<std::mutex> lock(elementsMutex);
          elementsChanged.wait(lock, [&] { return elementsDecided; });
        }
        if (elements) {
          try {
            checkElementChunks(*elements);
          } catch (...) {
            elementFailure = std::current_exception();
          }
        }
        const DirectContent* made = contentMade.load(std::memory_order_acquire);
        if (made && !orderTaken.exchange(true)) runOrderPass(*made);
        if (made && !strictTaken.exchange(true)) runStrictPass();
      }
      threadErrorSink_ = nullptr;
    });
    try {
      makeElementFiliation();
      content = entryDepths_.size() == tagLocations_.size()
                    ? std::make_unique<DirectContent>(std::move(entryDepths_))
                    : std::make_unique<DirectContent>(tagLocations_);
      contentMade.store(content.get(), std::memory_order_release);
      elements = std::make_unique<ElementCheckWork>(*this, *content);
      decideElements();
      checkElementChunks(*elements);
      values.waitUntilReady();
      if (!orderTaken.exchange(true)) runOrderPass(*content);
      if (!strictTaken.exchange(true)) runStrictPass();
      checkAttributeValues(values);
    } catch (...) {
      threadErrorSink_ = nullptr;
      if (!elementsDecided) {
        elements.reset();
        decideElements();
      }
      attributes.join();
      levelCacheFrozen_ = false;
      throw;
    }
  }
  levelCacheFrozen_ = false;
  if (attributeFailure) std::rethrow_exception(attributeFailure);
  if (elementFailure) std::rethrow_exception(elementFailure);
  if (orderFailure) std::rethrow_exception(orderFailure);
  if (strictFailure) std::rethrow_exception(strictFailure);
  // The element checks' errors follow the walk's; the attribute errors come after them, as
  // when run in turn: those of the records first, then those of the values.
  addElementCheckErrors(*elements);
  appendErrors(attributeErrors);
  addAttributeValueErrors(values);
  dropElementsReportedOutOfOrder(strictErrors, orderErrors.errors);
  appendErrors(orderErrors);
  appendErrors(strictErrors);
}

void VmkHTMLChecker::appendErrors(ErrorSink& from) {
  ErrorSink* sink = threadErrorSink_;
  VmkErrorLocationList& target = sink ? sink->errors : errorLocations_;
  (sink ? sink->structuralCount : structualErrorCount) += from.structuralCount;
  target.insert(target.end(), std::make_move_iterator(from.errors.begin()),
                std::make_move_iterator(from.errors.end()));
  from = ErrorSink();
}

void VmkHTMLChecker::prepareErrorLevels() {
  for (const ErrorCatalogueEntry& entry : factoryErrorCatalogue()) errorLevelFor(entry.errorKey);
}

bool VmkHTMLChecker::isStructuralError(std::string_view code) {
  static constexpr std::string_view kStructural[] = {
      "NoCDATAEndMark",         "NoSuchElementName",  "LtMarkInTag",
      "EndTagCantBeOmitted",    "LeftLtMarkNotFound", "StartTagNotFound",
      "NoEndTagForThisElement", "EndTagNotFound"};
  for (std::string_view s : kStructural)
    if (s == code) return true;
  return false;
}

VmkHTMLChecker::CodeFacts VmkHTMLChecker::codeFactsFor(std::string_view code) {
  auto factsOf = [&] {
    CodeFacts facts;
    facts.interned = &internedErrorCode(code);
    facts.level = errorLevelForThisError(sharedVmkUserDefaults(), code);
    facts.structural = isStructuralError(code);
    return facts;
  };
  if (levelCacheFrozen_) {
    auto it = levelCache_.find(code);
    if (it != levelCache_.end()) return it->second;
    std::lock_guard<std::mutex> lock(levelMutex_);
    return factsOf();
  }
  // Settings cannot change inside a run, but a cache kept across runs must follow the store.
  VmkUserDefaults& defaults = sharedVmkUserDefaults();
  if (!levelCacheValid_ || levelCacheVersion_ != defaults.version()) {
    levelCache_.clear();
    levelCacheVersion_ = defaults.version();
    levelCacheValid_ = true;
  }
  auto it = levelCache_.find(code);
  if (it != levelCache_.end()) return it->second;
  const CodeFacts facts = factsOf();
  levelCache_.emplace(std::string(code), facts);
  return facts;
}

void VmkHTMLChecker::registerAnErrorWithCode(std::string_view code, Range range,
                                             std::optional<std::vector<UString>> subStrings) {
  ErrorSink* sink = threadErrorSink_;
  const CodeFacts facts = codeFactsFor(code);
  if (facts.structural) ++(sink ? sink->structuralCount : structualErrorCount);
  if (facts.level <= 0) return;
  ErrorParent parent;
  if (sourceDocument_) parent = sourceDocument_;
  (sink ? sink->errors : errorLocations_)
      .push_back(std::make_shared<VmkErrorLocation>(facts.interned, range, std::move(subStrings),
                                                    std::move(parent)));
}

void VmkHTMLChecker::resetLastMD5String() {
  lastMD5String_ = sourceDocument_ ? sourceDocument_->md5DigestString() : std::string();
}

bool VmkHTMLChecker::isLastRunCurrentFor(const HostDocument& document) const {
  return sourceDocument_ == &document && !lastMD5String_.empty() &&
         document.md5DigestString() == lastMD5String_;
}

bool VmkHTMLChecker::ensureCurrentRunFor(HostDocument& document) {
  if (isLastRunCurrentFor(document)) return false;
  validateHTMLForDocument(document, false, false);
  return true;
}

}  // namespace vmk
