// Repairs of whole documents with the shipped dictionaries: open a page as the editor would,
// correct all, and look at the text and at what the final check still lists.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/VmkHTMLChecker.h"
#include "engine/doctype_shipped.h"
#include "errors/ErrorCatalogue.h"
#include "errors/Repair.h"
#include "host/Platform.h"
#include "host/ScriptCommand.h"
#include "host/headless/HeadlessDocument.h"
#include "host/headless/HeadlessPlatform.h"

namespace vmk::test {

inline const std::string kHtml401 =
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\" "
    "\"http://www.w3.org/TR/html4/strict.dtd\">\n";
inline const std::string kHtml401Loose =
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\" "
    "\"http://www.w3.org/TR/html4/loose.dtd\">\n";
inline const std::string kXhtml10 =
    "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Strict//EN\" "
    "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd\">\n";
inline const std::string kHead =
    "<head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-8\">"
    "<title>t</title></head>";
inline const std::string kXHead =
    "<head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-8\" />"
    "<title>t</title></head>";
inline const std::string kXhtmlStart = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + kXhtml10 +
                                       "<html xmlns=\"http://www.w3.org/1999/xhtml\">" + kXHead +
                                       "<body>";

class RepairTest : public ShippedDictionariesTest {
 protected:
  void SetUp() override { checker_ = VmkHTMLChecker::initOneMore(); }

  // Opens the bytes as a document and checks it silently.
  HeadlessDocument& open(const std::string& bytes, std::optional<Encoding> encoding = {}) {
    document_ = HeadlessDocument::fromBytes(bytes, std::string("/tmp/page.html"), encoding);
    checker_->validateHTMLForDocument(*document_, false, false);
    return *document_;
  }
  std::vector<std::string> codes() const {
    std::vector<std::string> out;
    for (const auto& location : checker_->errorLocations()) out.push_back(location->errorCode());
    return out;
  }
  bool has(const std::string& code) const {
    const std::vector<std::string> all = codes();
    return std::find(all.begin(), all.end(), code) != all.end();
  }
  // Corrects all errors of the page; the repaired text.
  std::string correct(const std::string& bytes, std::optional<Encoding> encoding = {}) {
    open(bytes, encoding);
    const ScriptCommandScope script;
    correctAllErrorsForDocument(*checker_, *document_, false);
    return toUtf8(document_->text());
  }
  std::string text() const { return toUtf8(document_->text()); }

  std::unique_ptr<VmkHTMLChecker> checker_;
  std::unique_ptr<HeadlessDocument> document_;
};

}  // namespace vmk::test
