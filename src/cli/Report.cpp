#include "cli/Report.h"

#include "cli/Version.h"
#include "results/VmkErrorBrowser.h"

#include <algorithm>
#include <charconv>
#include <condition_variable>
#include <exception>
#include <latch>
#include <mutex>
#include <thread>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <unicode/utf16.h>
#include <nlohmann/json.hpp>

#include "errors/ErrorCatalogue.h"
#include "errors/MessageTables.h"
#include "errors/Repair.h"
#include "settings/VmkUserDefaults.h"

namespace vmk::cli {

std::string jsonQuoted(std::string_view text) {
  // Printable ASCII other than the quote and the backslash stands as it is.
  bool plain = true;
  for (const char c : text) plain &= c >= 0x20 && c <= 0x7E && c != '"' && c != '\\';
  if (plain) {
    std::string quoted;
    quoted.reserve(text.size() + 2);
    quoted += '"';
    quoted += text;
    quoted += '"';
    return quoted;
  }
  return nlohmann::json(std::string(text))
      .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// --- ErrorRenderer ---

bool isPrintable(std::string_view text) {
  // Most text has neither control characters nor the lead byte of a C1 control (C1 controls
  // are U+0080..U+009F, written C2 80..C2 9F: without a C2 byte there is none).
  size_t i = 0;
#if defined(__SSE2__)
  const __m128i lastControl = _mm_set1_epi8(0x1F);
  const __m128i del = _mm_set1_epi8(0x7F);
  const __m128i c1Lead = _mm_set1_epi8(char(0xC2));
  for (; i + 16 <= text.size(); i += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
    const __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(bytes, lastControl), bytes);
    const __m128i other = _mm_or_si128(_mm_cmpeq_epi8(bytes, del), _mm_cmpeq_epi8(bytes, c1Lead));
    if (_mm_movemask_epi8(_mm_or_si128(control, other)) != 0) return false;
  }
#endif
  for (; i < text.size(); ++i) {
    const auto u = static_cast<unsigned char>(text[i]);
    if (u < 0x20 || u == 0x7F || u == 0xC2) return false;
  }
  return true;
}

size_t countLineFeeds(UStringView text, size_t from, size_t to, uint32_t& lineStart) {
  to = std::min(to, text.size());
  if (from >= to) return 0;
  const char16_t* data = text.data();
  size_t count = 0;
  size_t i = from;
#if defined(__SSE2__)
  // Matches are counted in eight 16-bit lanes (each match subtracts -1), 32 units a step, and
  // summed before a lane could overflow.
  const __m128i lineFeed = _mm_set1_epi16(short(u'\n'));
  auto matches = [&](size_t at) {
    return _mm_cmpeq_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at)), lineFeed);
  };
  while (i + 8 <= to) {
    __m128i lanes = _mm_setzero_si128();
    const size_t wideSteps = std::min<size_t>((to - i) / 32, 0x3FFF);
    for (size_t k = 0; k < wideSteps; ++k, i += 32) {
      const __m128i pair1 = _mm_add_epi16(matches(i), matches(i + 8));
      const __m128i pair2 = _mm_add_epi16(matches(i + 16), matches(i + 24));
      lanes = _mm_sub_epi16(lanes, _mm_add_epi16(pair1, pair2));
    }
    if (wideSteps == 0) {
      for (; i + 8 <= to; i += 8) lanes = _mm_sub_epi16(lanes, matches(i));
    }
    alignas(16) uint16_t sums[8];
    _mm_store_si128(reinterpret_cast<__m128i*>(sums), lanes);
    for (uint16_t sum : sums) count += sum;
  }
#endif
  for (; i < to; ++i) count += data[i] == u'\n';
  if (count > 0) {
    // The last of them lies on the line being entered: look back for it.
    size_t at = to;
    while (data[at - 1] != u'\n') --at;
    lineStart = uint32_t(at);
  }
  return count;
}

ErrorRenderer::ErrorRenderer(const FileReport& report, bool withDescription)
    : report_(report), withDescription_(withDescription) {}

const std::vector<uint32_t>& ErrorRenderer::lineStarts() const {
  if (!lineStarts_.empty()) return lineStarts_;
  lineStarts_.push_back(0);
  if (report_.text) {
    const UStringView text = *report_.text;
    for (size_t at = findCodeUnit(text, u'\n'); at != UStringView::npos;
         at = findCodeUnit(text, u'\n', at + 1)) {
      lineStarts_.push_back(static_cast<uint32_t>(at + 1));
    }
  }
  return lineStarts_;
}

void ErrorRenderer::placeLines(size_t from, size_t to, LinePlace* places) const {
  for (size_t i = from; i < to; ++i) places[i - from] = lineOf(*(*report_.locations)[i]);
}

ErrorRenderer::LinePlace ErrorRenderer::lineOf(VmkErrorLocation& record) const {
  // A record of the report's own document that has not been placed yet is placed in the
  // report's own text, the same text the record's document holds.
  if (record.cachedErrorParagraphIndex() == -1 && report_.document && report_.text &&
      record.parentDocument() == report_.document) {
    const uint32_t location = record.errorRange().location;
    if (location >= cursorLocation_) {
      cursorLine_ +=
          int32_t(countLineFeeds(*report_.text, cursorLocation_, location, cursorLineStart_));
      cursorLocation_ = location;
      return {cursorLine_, cursorLineStart_};
    }
    const std::vector<uint32_t>& starts = lineStarts();
    auto end = std::upper_bound(starts.begin(), starts.end(), location);
    return {int32_t(end - starts.begin()) - 1, *(end - 1)};
  }
  const int32_t lineIndex = std::max<int32_t>(record.errorParagraphIndex(), 0);
  const std::vector<uint32_t>& starts = lineStarts();
  return {lineIndex, size_t(lineIndex) < starts.size() ? starts[size_t(lineIndex)] : starts.back()};
}

size_t ErrorRenderer::size() const {
  return report_.locations ? report_.locations->size() : 0;
}

namespace {

// A message template as UTF-8 for fillErrorMessagePlaceholdersAsUtf8; absent when it holds an
// unpaired surrogate.
std::optional<std::string> templateForDirectFilling(UStringView text) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (U16_IS_LEAD(text[i]) && i + 1 < text.size() && U16_IS_TRAIL(text[i + 1])) {
      ++i;
    } else if (U16_IS_SURROGATE(text[i])) {
      return std::nullopt;
    }
  }
  return toUtf8(text);
}

}  // namespace

const ErrorRenderer::CodeInfo& ErrorRenderer::infoFor(const std::string& code) const {
  auto found = codes_.find(code);
  if (found != codes_.end()) return found->second;
  const VmkUserDefaults& store = sharedVmkUserDefaults();
  CodeInfo info;
  info.number = errorNumberUtf8ForThisError(store, code);
  info.level = errorLevelForThisError(store, code);
  info.fix = errorFixForThisError(store, code);
  info.title = localizedString(kMsgTitleTable, code);
  if (withDescription_) info.description = localizedString(kMsgDescriptionTable, code);
  // Placeholders are filled only where a '%' stands; without one the text is the same for
  // every record.
  if (findCodeUnit(info.title, u'%') == UString::npos) {
    info.plainTitle = toUtf8(info.title);
    info.plainTitlePrintable = isPrintable(*info.plainTitle);
  } else {
    info.titleUtf8 = templateForDirectFilling(info.title);
  }
  if (findCodeUnit(info.description, u'%') == UString::npos) {
    info.plainDescription = toUtf8(info.description);
  } else {
    info.descriptionUtf8 = templateForDirectFilling(info.description);
  }
  return codes_.emplace(code, std::move(info)).first->second;
}

RenderedError ErrorRenderer::render(size_t index) const {
  VmkErrorLocation& record = *(*report_.locations)[index];
  // Records of one code often follow one another.
  const std::string& code = record.errorCode();
  if (!lastCode_ || *lastCode_ != code) {
    lastInfo_ = &infoFor(code);
    lastCode_ = &codes_.find(code)->first;
  }
  const CodeInfo& info = *lastInfo_;
  RenderedError out;
  out.code = record.errorCode();
  out.number = info.number;
  out.level = info.level;
  out.fix = info.fix;
  out.location = record.errorRange().location;
  out.length = record.errorRange().length;
  const auto [lineIndex, lineStart] = places_ ? (*places_)[index] : lineOf(record);
  out.line = int64_t(lineIndex) + 1;
  out.column = int64_t(out.location) - int64_t(lineStart) + 1;
  if (out.column < 1) out.column = 1;
  out.subStrings = &record.subStrings();
  if (info.plainTitle) {
    out.title = *info.plainTitle;
    out.titlePrintable = info.plainTitlePrintable;
  } else {
    if (!info.titleUtf8 ||
        !fillErrorMessagePlaceholdersAsUtf8(*info.titleUtf8, record.subStrings(), filledTitle_))
      filledTitle_ = toUtf8(fillErrorMessagePlaceholders(info.title, record.subStrings()));
    out.title = filledTitle_;
  }
  if (withDescription_) {
    if (info.plainDescription) {
      out.description = *info.plainDescription;
    } else {
      if (!info.descriptionUtf8 ||
          !fillErrorMessagePlaceholdersAsUtf8(*info.descriptionUtf8, record.subStrings(),
                                              filledDescription_))
        filledDescription_ =
            toUtf8(fillErrorMessagePlaceholders(info.description, record.subStrings()));
      out.description = filledDescription_;
    }
  }
  return out;
}

namespace {

// --- gcc: one line per location, then the summary line ---

// Text from a document or a file name, made safe for a terminal: one problem stays one line,
// and control characters (which could move the cursor or start an escape sequence) are shown
// as U+FFFD.
void appendPrintable(std::string& out, std::string_view text) {
  if (isPrintable(text)) {
    out += text;
    return;
  }
  auto isControl = [&](size_t i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    return c < 0x20 || c == 0x7F ||
           (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
            static_cast<unsigned char>(text[i + 1]) <= 0x9F);
  };
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (!isControl(i)) {
      out += c;
    } else if (c == '\n' || c == '\r' || c == '\t') {
      out += ' ';
    } else {
      out += "\xEF\xBF\xBD";
      if (static_cast<unsigned char>(c) == 0xC2) ++i;  // a C1 control takes two bytes
    }
  }
}

void makePrintable(std::string& text) {
  if (isPrintable(text)) return;
  std::string out;
  appendPrintable(out, text);
  text = std::move(out);
}

void appendNumber(std::string& out, int64_t value) {
  char digits[24];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  out.append(digits, result.ptr);
}

// Records are rendered and handed on a block of this many at a time.
constexpr size_t kRecordsPerBlock = 512;

// Reports of this many records and more are rendered by two threads, each with a renderer (and
// line cursor) of its own (see renderOnTwoThreads). So are reports of a block or more on a
// large text: finding the lines, a walk through the text, is then most of the work.
constexpr size_t kTwoThreadsFrom = 8192;
constexpr size_t kTwoThreadsTextFrom = size_t(1) << 20;

// Two renderers only read shared state when every record is either placed on its line already
// or belongs to the report's own text (placed by the renderer's cursor).
bool renderableByTwoThreads(const FileReport& report) {
  const size_t count = report.locations ? report.locations->size() : 0;
  if (!report.document || !report.text || std::thread::hardware_concurrency() < 2) return false;
  if (count < kTwoThreadsFrom &&
      (count < kRecordsPerBlock || report.text->size() < kTwoThreadsTextFrom))
    return false;
  for (const auto& record : *report.locations) {
    if (record->cachedErrorParagraphIndex() == -1 && record->parentDocument() != report.document)
      return false;
  }
  return true;
}

// Renders records [0, count) as `render(renderer, from, to, text)` appends them, on this
// thread and another: each first finds the lines of one half of the records (a cursor of its
// own moving forward through the text), then they take turns at blocks of records, each block
// written as soon as those before it are. Only a block per thread waits in memory.
template <typename RenderRange, typename Sink>
void renderOnTwoThreads(const FileReport& report, bool withDescription, const RenderRange& render,
                        const Sink& put) {
  const size_t count = report.locations->size();
  const size_t half = count / 2;
  const size_t blocks = (count + kRecordsPerBlock - 1) / kRecordsPerBlock;
  std::vector<ErrorRenderer::LinePlace> places(count);
  std::latch linesPlaced(2);
  std::mutex mutex;
  std::condition_variable turn;
  size_t nextToWrite = 0;
  bool failed = false;
  std::exception_ptr failures[2];

  auto work = [&](size_t part) {
    bool arrived = false;
    try {
      ErrorRenderer renderer(report, withDescription);
      const size_t from = part == 0 ? 0 : half;
      renderer.placeLines(from, part == 0 ? half : count, places.data() + from);
      arrived = true;
      linesPlaced.arrive_and_wait();
      renderer.usePlaces(&places);
      std::string block;
      for (size_t b = part; b < blocks; b += 2) {
        {
          std::lock_guard<std::mutex> lock(mutex);
          if (failed) return;
        }
        block.clear();
        render(renderer, b * kRecordsPerBlock, std::min(count, (b + 1) * kRecordsPerBlock), block);
        std::unique_lock<std::mutex> lock(mutex);
        turn.wait(lock, [&] { return nextToWrite == b || failed; });
        if (failed) return;
        put(block);
        ++nextToWrite;
        turn.notify_all();
      }
    } catch (...) {
      failures[part] = std::current_exception();
      {
        std::lock_guard<std::mutex> lock(mutex);
        failed = true;
      }
      turn.notify_all();
      if (!arrived) linesPlaced.count_down();
    }
  };
  {
    std::jthread second(work, size_t(1));
    work(0);
  }
  for (const std::exception_ptr& failure : failures)
    if (failure) std::rethrow_exception(failure);
}

// Renders the records of a report as `render(renderer, from, to, text)` appends them and hands
// the text to `put` in order, a block of records at a time: on two threads when the report is
// large and allows it, else on this one.
template <typename RenderRange, typename Sink>
void renderRecords(const FileReport& report, bool withDescription, const RenderRange& render,
                   const Sink& put) {
  if (renderableByTwoThreads(report)) {
    renderOnTwoThreads(report, withDescription, render, put);
    return;
  }
  const size_t count = report.locations ? report.locations->size() : 0;
  ErrorRenderer renderer(report, withDescription);
  std::string block;
  for (size_t from = 0; from < count; from += kRecordsPerBlock) {
    block.clear();
    render(renderer, from, std::min(count, from + kRecordsPerBlock), block);
    put(block);
  }
}

class GccWriter final : public ReportWriter {
 public:
  GccWriter(Output& out, const Styles& styles, bool quiet) : out_(out), s_(styles), quiet_(quiet) {}

  void file(const FileReport& report) override {
    std::string path = report.path;
    makePrintable(path);
    if (!quiet_) {
      renderRecords(
          report, false,
          [&](ErrorRenderer& renderer, size_t from, size_t to, std::string& block) {
            appendLines(renderer, from, to, path, block);
          },
          [this](std::string& block) { out_.put(block); });
    }
    out_ << s_.bold << path << ": " << report.summary << s_.reset << "\n";
  }

 private:
  // The lines of records [from, to) appended to `block`.
  void appendLines(ErrorRenderer& renderer, size_t from, size_t to, const std::string& path,
                   std::string& block) const {
    for (size_t i = from; i < to; ++i) {
      const RenderedError e = renderer.render(i);
      block += s_.bold;
      block += path;
      block += ':';
      appendNumber(block, e.line);
      block += ':';
      appendNumber(block, e.column);
      block += ':';
      block += s_.reset;
      block += ' ';
      block += e.level == 1 ? s_.yellow : s_.red;
      block += e.level == 1 ? "caution:" : "error:";
      block += s_.reset;
      block += ' ';
      block += e.number;
      block += ' ';
      if (e.titlePrintable)
        block += e.title;
      else
        appendPrintable(block, e.title);
      block += ' ';
      block += s_.dim;
      block += '[';
      block += e.code;
      block += ']';
      block += s_.reset;
      block += '\n';
    }
  }

  Output& out_;
  const Styles& s_;
  bool quiet_;
};

// --- json and sarif: quoted spellings kept per code ---

// A code's quoted spellings, and its last description with its quoted form (descriptions
// mostly stay the same from record to record).
struct Quoted {
  std::string code;
  std::string number;
  std::string description;
  std::string quotedDescription = jsonQuoted("");
};
struct CodeHash {
  using is_transparent = void;
  size_t operator()(std::string_view code) const { return std::hash<std::string_view>()(code); }
};
using QuotedCache = std::unordered_map<std::string, Quoted, CodeHash, std::equal_to<>>;

Quoted& quotedFor(QuotedCache& cache, const RenderedError& e) {
  auto found = cache.find(e.code);
  if (found == cache.end()) {
    Quoted q;
    q.code = jsonQuoted(e.code);
    q.number = jsonQuoted(e.number);
    found = cache.emplace(std::string(e.code), std::move(q)).first;
  }
  Quoted& q = found->second;
  if (q.description != e.description) {
    q.description = e.description;
    q.quotedDescription = jsonQuoted(e.description);
  }
  return q;
}

// --- repairs as edits, for the json and sarif formats ---

// The edits the repair of record i would make; none when the report has no run to ask.
std::vector<TextEdit> fixEditsOf(const ErrorRenderer& renderer, size_t i) {
  const FileReport& report = renderer.report();
  if (!report.checker || !report.locations) return {};
  const VmkErrorLocation& record = *(*report.locations)[i];
  if (!hasRepairForErrorCode(record.errorCode())) return {};
  return fixEditsForErrorLocation(*report.checker, record);
}

// "[{"location":..,"length":..,"text":".."},...]"
void appendJsonFixEdits(std::string& t, const std::vector<TextEdit>& edits) {
  t += '[';
  for (size_t k = 0; k < edits.size(); ++k) {
    if (k > 0) t += ',';
    t += "{\"location\":";
    appendNumber(t, edits[k].range.location);
    t += ",\"length\":";
    appendNumber(t, edits[k].range.length);
    t += ",\"text\":";
    t += jsonQuoted(toUtf8(edits[k].text));
    t += '}';
  }
  t += ']';
}

// A SARIF "fixes" member: one fix whose replacements are the edits.
void appendSarifFixes(std::string& t, const std::vector<TextEdit>& edits,
                      const std::string& artifact) {
  t += ",\"fixes\":[{\"description\":{\"text\":\"Automatic repair\"},"
       "\"artifactChanges\":[{\"artifactLocation\":";
  t += artifact;
  t += ",\"replacements\":[";
  for (size_t k = 0; k < edits.size(); ++k) {
    if (k > 0) t += ',';
    t += "{\"deletedRegion\":{\"charOffset\":";
    appendNumber(t, edits[k].range.location);
    t += ",\"charLength\":";
    appendNumber(t, edits[k].range.length);
    t += "},\"insertedContent\":{\"text\":";
    t += jsonQuoted(toUtf8(edits[k].text));
    t += "}}";
  }
  t += "]}]}]";
}

// --- json: the files with their errors, in engine order ---

class JsonWriter final : public ReportWriter {
 public:
  explicit JsonWriter(Output& out) : out_(out) {}

  void begin() override { out_ << "{\"files\":["; }

  void file(const FileReport& report) override {
    if (count_++ > 0) out_.put(',');
    out_ << "{\"path\":" << jsonQuoted(report.path) << ",\"dictionary\":"
         << (report.dictionary ? jsonQuoted(*report.dictionary) : std::string("null"))
         << ",\"encoding\":" << jsonQuoted(report.encoding)
         << ",\"error_count\":" << std::to_string(report.errorCount)
         << ",\"caution_count\":" << std::to_string(report.cautionCount) << ",\"errors\":[";
    renderRecords(report, true, appendItems, [this](std::string& block) { out_.put(block); });
    out_ << "]}";
  }

  void end() override { out_ << "]}\n"; }

 private:
  // The records [from, to) appended to `item` (each after a comma but the very first). Each
  // call keeps its own quoted spellings.
  static void appendItems(ErrorRenderer& renderer, size_t from, size_t to, std::string& item) {
    QuotedCache cache;
    for (size_t i = from; i < to; ++i) {
      const RenderedError e = renderer.render(i);
      const Quoted& q = quotedFor(cache, e);
      if (i > 0) item += ',';
      item += "{\"code\":";
      item += q.code;
      item += ",\"number\":";
      item += q.number;
      item += ",\"level\":";
      appendNumber(item, e.level);
      item += ",\"fix\":";
      appendNumber(item, e.fix);
      item += ",\"location\":";
      appendNumber(item, e.location);
      item += ",\"length\":";
      appendNumber(item, e.length);
      item += ",\"line\":";
      appendNumber(item, e.line);
      item += ",\"column\":";
      appendNumber(item, e.column);
      item += ",\"substrings\":[";
      if (*e.subStrings) {
        bool first = true;
        for (const UString& sub : **e.subStrings) {
          if (!first) item += ',';
          first = false;
          item += jsonQuoted(toUtf8(sub));
        }
      }
      item += "],\"title\":" + jsonQuoted(e.title);
      item += ",\"description\":";
      item += q.quotedDescription;
      item += ",\"fix_edits\":";
      appendJsonFixEdits(item, fixEditsOf(renderer, i));
      item += '}';
    }
  }

  Output& out_;
  int count_ = 0;
};

// --- sarif: one run, the catalogue entries used as rules ---

std::string uriOfPath(const std::string& path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string uri;
  for (unsigned char c : path) {
    if (std::isalnum(c) || std::string_view("-._~/").find(char(c)) != std::string_view::npos) {
      uri += char(c);
    } else {
      uri += '%';
      uri += kHex[c >> 4];
      uri += kHex[c & 15];
    }
  }
  return uri;
}

class SarifWriter final : public ReportWriter {
 public:
  explicit SarifWriter(Output& out) : out_(out) {}

  void file(const FileReport& report) override {
    using nlohmann::ordered_json;
    const size_t artifactIndex = artifacts_.size();
    const std::string uri = uriOfPath(report.path);
    artifacts_.push_back(ordered_json{{"location", {{"uri", uri}}}, {"encoding", report.encoding}});
    // Results are written as text as they come: a tree of JSON values per result would take
    // many times the memory of the text.
    const std::string artifact =
        "{\"uri\":" + jsonQuoted(uri) + ",\"index\":" + std::to_string(artifactIndex) + "}";
    // The rules, in the order their codes first appear, are made before the results, which two
    // threads may render.
    const VmkUserDefaults& store = sharedVmkUserDefaults();
    const size_t count = report.locations ? report.locations->size() : 0;
    for (size_t i = 0; i < count; ++i) {
      const std::string& code = (*report.locations)[i]->errorCode();
      if (ruleIndex_.find(code) != ruleIndex_.end()) continue;
      ruleIndex_.emplace(code, rules_.size());
      const int level = errorLevelForThisError(store, code);
      rules_.push_back(ordered_json{
          {"id", code},
          {"name", code},
          {"shortDescription",
           {{"text", placeholdersShownAsEllipsis(toUtf8(localizedString(kMsgTitleTable, code)))}}},
          {"fullDescription",
           {{"text",
             placeholdersShownAsEllipsis(toUtf8(localizedString(kMsgDescriptionTable, code)))}}},
          {"defaultConfiguration", {{"level", levelName(level)}}},
          {"properties",
           {{"number", errorNumberUtf8ForThisError(store, code)},
            {"level", level},
            {"repair", errorFixForThisError(store, code)}}}});
    }
    const size_t first = resultCount_;
    renderRecords(
        report, true,
        [&](ErrorRenderer& renderer, size_t from, size_t to, std::string& block) {
          appendResults(renderer, from, to, first, artifact, block);
        },
        [this](std::string& block) { resultBlocks_.push_back(std::move(block)); });
    resultCount_ += count;
  }

  void unreadable(const std::string& path, const std::string& reason) override {
    notifications_.push_back(nlohmann::ordered_json{
        {"level", "error"},
        {"message", {{"text", "cannot read '" + path + "': " + reason}}},
        {"locations",
         {{{"physicalLocation", {{"artifactLocation", {{"uri", uriOfPath(path)}}}}}}}}});
  }

  void end() override {
    using nlohmann::ordered_json;
    const ordered_json tool{{"driver",
                             {{"name", "velumark"},
                              {"version", kVelumarkVersion},
                              {"semanticVersion", kVelumarkVersion},
                              {"rules", rules_}}}};
    const ordered_json invocations{{{"executionSuccessful", notifications_.empty()},
                                    {"toolExecutionNotifications", notifications_}}};
    const auto dump = [](const ordered_json& value) {
      return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    };
    out_ << "{\"$schema\":\"https://json.schemastore.org/sarif-2.1.0.json\",\"version\":\"2.1.0\","
            "\"runs\":[{\"tool\":"
         << dump(tool) << ",\"invocations\":" << dump(invocations)
         << ",\"artifacts\":" << dump(artifacts_)
         << ",\"columnKind\":\"utf16CodeUnits\",\"results\":[";
    for (const std::string& block : resultBlocks_) out_.put(block);
    out_ << "]}]}\n";
  }

 private:
  static const char* levelName(int level) { return level == 1 ? "warning" : "error"; }

  Output& out_;
  nlohmann::ordered_json rules_ = nlohmann::ordered_json::array();
  nlohmann::ordered_json artifacts_ = nlohmann::ordered_json::array();
  nlohmann::ordered_json notifications_ = nlohmann::ordered_json::array();
  // The results of records [from, to) of a report whose first result is the run's `first`.
  void appendResults(ErrorRenderer& renderer, size_t from, size_t to, size_t first,
                     const std::string& artifact, std::string& t) const {
    QuotedCache quoted;
    std::string message;
    // A result takes some 500 bytes: room for them all at once spares copies as the block grows
    // (pages are only taken as they are written).
    t.reserve(t.size() + (to - from) * 640);
    for (size_t i = from; i < to; ++i) {
      const RenderedError e = renderer.render(i);
      const Quoted& q = quotedFor(quoted, e);
      message.assign(e.number);
      message += ' ';
      message += e.title;
      if (first + i > 0) t += ',';
      t += "{\"ruleId\":";
      t += q.code;
      t += ",\"ruleIndex\":";
      appendNumber(t, int64_t(ruleIndex_.find(e.code)->second));
      t += ",\"level\":\"";
      t += levelName(e.level);
      t += "\",\"message\":{\"text\":";
      t += jsonQuoted(message);
      t += "},\"locations\":[{\"physicalLocation\":{\"artifactLocation\":";
      t += artifact;
      t += ",\"region\":{\"startLine\":";
      appendNumber(t, e.line);
      t += ",\"startColumn\":";
      appendNumber(t, e.column);
      t += ",\"charOffset\":";
      appendNumber(t, e.location);
      t += ",\"charLength\":";
      appendNumber(t, e.length);
      t += "}}}],\"properties\":{\"number\":";
      t += q.number;
      t += ",\"repair\":";
      appendNumber(t, e.fix);
      t += ",\"description\":";
      t += q.quotedDescription;
      t += '}';
      if (const std::vector<TextEdit> edits = fixEditsOf(renderer, i); !edits.empty())
        appendSarifFixes(t, edits, artifact);
      t += '}';
    }
  }

  // The results, as JSON text without the brackets, in blocks of records: one string of them
  // all would be copied as it grows, and held twice at its last growth.
  std::vector<std::string> resultBlocks_;
  size_t resultCount_ = 0;
  std::unordered_map<std::string, size_t, CodeHash, std::equal_to<>> ruleIndex_;
};

}  // namespace

std::string placeholdersShownAsEllipsis(std::string_view text) {
  std::string shown;
  shown.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 1 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '9') {
      shown += "\u2026";
      while (i + 1 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '9') ++i;
    } else {
      shown += text[i];
    }
  }
  return shown;
}

std::unique_ptr<ReportWriter> makeGccWriter(Output& out, const Styles& styles, bool quiet) {
  return std::make_unique<GccWriter>(out, styles, quiet);
}
std::unique_ptr<ReportWriter> makeJsonWriter(Output& out) {
  return std::make_unique<JsonWriter>(out);
}
std::unique_ptr<ReportWriter> makeSarifWriter(Output& out) {
  return std::make_unique<SarifWriter>(out);
}

bool finishReport(Output& out, bool exportFormat, int exportType,
                  const std::optional<std::string>& output) {
  VmkErrorBrowser& store = sharedErrorBrowser();
  std::string error;
  if (exportFormat) {
    if (output) {
      if (!store.saveResultTo(*output, exportType, &error)) {
        printProblem("cannot write '" + *output + "': " + error);
        return false;
      }
    } else {
      out.put(store.resultText(exportType));
    }
  }
  if (!out.finish(&error)) {
    printProblem("cannot write '" + output.value_or("-") + "': " + error);
    return false;
  }
  return true;
}

}  // namespace vmk::cli
