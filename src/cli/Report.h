// The reports of `velumark validate`: one document's results, and the writers of the gcc, json
// and sarif formats (the annotated and tab-separated formats are the result store's export).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "cli/CliSession.h"
#include "errors/VmkErrorLocation.h"

namespace vmk {
class VmkHTMLChecker;
}

namespace vmk::cli {

// What the writers know about one checked document.
struct FileReport {
  std::string path;                       // as given on the command line
  std::optional<std::string> dictionary;  // display name of the dictionary used
  std::string encoding;                   // IANA name of the encoding it was opened with
  int errorCount = 0;
  int cautionCount = 0;
  std::string summary;                              // the summary line of the check
  const VmkErrorLocationList* locations = nullptr;  // engine order
  const UString* text = nullptr;                    // the text the ranges refer to (LF line ends)
  const HostDocument* document = nullptr;           // the document holding that text
  // The run the records come from, when the edits of their repairs are to be reported.
  const VmkHTMLChecker* checker = nullptr;
};

// A record as the writers show it.
// The texts are views: code of the record, number of the renderer's catalogue lookup, title
// and description of the renderer, valid until its next render call.
struct RenderedError {
  std::string_view code;
  std::string_view number;
  int level = 0;
  int fix = -1;
  uint32_t location = 0;
  uint32_t length = 0;
  int64_t line = 0;    // 1-based
  int64_t column = 0;  // 1-based, UTF-16 code units since the last line feed
  std::string_view title;
  std::string_view description;
  bool titlePrintable = false;  // the title is known to hold no control characters
  const std::optional<std::vector<UString>>* subStrings = nullptr;
};

// Renders the records of one document: catalogue lookups and message templates are looked up
// once per code (a message without placeholders is converted once), lines are counted by a
// cursor that moves forward through the text while the records come in text order, and found
// in a table of line starts otherwise.
class ErrorRenderer {
 public:
  ErrorRenderer(const FileReport& report, bool withDescription);
  const FileReport& report() const { return report_; }
  size_t size() const;
  RenderedError render(size_t index) const;

  // Where a record's line begins: its index (0-based; -1 when it has none) and its offset.
  using LinePlace = std::pair<int32_t, uint32_t>;
  // The line places of records [from, to), found in turn as render() finds them, into
  // places[0 .. to - from).
  void placeLines(size_t from, size_t to, LinePlace* places) const;
  // From now on render() takes the line places from `places` (indexed like the records).
  void usePlaces(const std::vector<LinePlace>* places) { places_ = places; }

 private:
  struct CodeInfo {
    std::string number;
    int level = 0;
    int fix = -1;
    UString title;
    UString description;
    // The messages as UTF-8 when they have no placeholders, and whether that title holds
    // nothing that a terminal could take for a control.
    std::optional<std::string> plainTitle;
    std::optional<std::string> plainDescription;
    bool plainTitlePrintable = false;
    // The templates as UTF-8, for filling them directly (absent for a template with an
    // unpaired surrogate, which a substring could complete).
    std::optional<std::string> titleUtf8;
    std::optional<std::string> descriptionUtf8;
  };
  const CodeInfo& infoFor(const std::string& code) const;
  // The record's line index (0-based; -1 when it has none) and the offset its line starts at.
  LinePlace lineOf(VmkErrorLocation& record) const;
  const std::vector<uint32_t>& lineStarts() const;

  const FileReport& report_;
  bool withDescription_;
  // Line feeds before cursorLocation_, and the offset after the last of them.
  mutable uint32_t cursorLocation_ = 0;
  mutable int32_t cursorLine_ = 0;
  mutable uint32_t cursorLineStart_ = 0;
  mutable std::vector<uint32_t> lineStarts_;  // filled when first needed
  const std::vector<LinePlace>* places_ = nullptr;
  mutable std::unordered_map<std::string, CodeInfo> codes_;
  // The last code looked up, and messages with their placeholders filled.
  mutable const std::string* lastCode_ = nullptr;
  mutable const CodeInfo* lastInfo_ = nullptr;
  mutable std::string filledTitle_;
  mutable std::string filledDescription_;
};

// Text without control characters (C0, DEL, C1 in UTF-8).
bool isPrintable(std::string_view text);

// Line feeds in text[from, to): how many, and the position after the last one (unchanged
// when there is none).
size_t countLineFeeds(UStringView text, size_t from, size_t to, uint32_t& lineStart);

class ReportWriter {
 public:
  virtual ~ReportWriter() = default;
  virtual void begin() {}
  virtual void file(const FileReport& report) = 0;
  // A document that could not be read, and why.
  virtual void unreadable(const std::string& /*path*/, const std::string& /*reason*/) {}
  virtual void end() {}
};

// Ends a command's report. The export formats (annotated, tsv) are the result store's text,
// saved to `output` or put on `out`; the other formats were already written into `out`, which
// is finished here. False, after saying why on standard error, when a file could not be written.
bool finishReport(Output& out, bool exportFormat, int exportType,
                  const std::optional<std::string>& output);

std::unique_ptr<ReportWriter> makeGccWriter(Output& out, const Styles& styles, bool quiet);
std::unique_ptr<ReportWriter> makeJsonWriter(Output& out);
std::unique_ptr<ReportWriter> makeSarifWriter(Output& out);

// A message template with its placeholders (%1, %2, ...) shown as "…", for texts shown
// without the substrings that would fill them.
std::string placeholdersShownAsEllipsis(std::string_view text);

// A JSON string literal (invalid UTF-8 replaced).
std::string jsonQuoted(std::string_view text);

}  // namespace vmk::cli
