// Validation runs over hostile documents: deep nesting, huge tags, comments and values,
// binary junk, broken UTF-16 and runs of bare angle brackets. Each run must finish, report
// only ranges inside the text, and stay far from quadratic time: the sizes are chosen so that
// a walk that is quadratic in them would take minutes. The full sizes are measured by
// bench/robustness.
#include <gtest/gtest.h>

#include "RobustnessSupport.h"
#include "engine/VmkHTMLChecker.h"
#include "engine/VmkTagLocation.h"
#include "host/headless/HeadlessDocument.h"

namespace vmk::robustness {
namespace {

// Generous: sanitizer builds on a busy machine. A quadratic walk over these sizes takes far
// longer.
constexpr double kSecondsBudget = 60.0;

class HostileDocumentTest : public ::testing::Test {
 protected:
  PrivateHome home;

  RunOutcome check(UString text) {
    RunOutcome outcome = validateText(std::move(text));
    EXPECT_TRUE(outcome.rangesInsideText());
    EXPECT_LT(outcome.seconds, kSecondsBudget);
    RecordProperty("seconds", std::to_string(outcome.seconds));
    return outcome;
  }
};

TEST_F(HostileDocumentTest, DeeplyNestedElementsOpenAndClosed) {
  constexpr size_t kDepth = 200000;
  const UString text =
      u"<html><body>" + repeat(u"<div>", kDepth) + repeat(u"</div>", kDepth) + u"</body></html>";
  RunOutcome outcome = check(text);
  // The innermost div sits under html, body and every outer div.
  int32_t deepest = 0;
  for (const auto& tag : outcome.checker->tagLocations())
    deepest = std::max(deepest, tag->tagDepth());
  EXPECT_GE(deepest, int32_t(kDepth));
}

TEST_F(HostileDocumentTest, DeeplyNestedElementsNeverClosed) {
  RunOutcome outcome = check(u"<html><body>" + repeat(u"<b><i>", 100000));
  EXPECT_GT(outcome.errorCount(), 0u);
}

TEST_F(HostileDocumentTest, OneTagWithOneHundredThousandAttributes) {
  UString tag = u"<p";
  for (int i = 0; i < 100000; ++i) tag += u" a" + toUString(i) + u"=\"v\"";
  tag += u" id=x id=x>";
  RunOutcome outcome = check(u"<html><body>" + tag + u"text</p></body></html>");
  EXPECT_GT(outcome.errorCount(), 0u);
}

TEST_F(HostileDocumentTest, TenMegabyteAttributeValue) {
  const UString value = repeat(u"abcdefgh", 10 << 17);  // 10 MB of code units... halved below
  RunOutcome outcome = check(u"<html><body><a href=\"" + value.substr(0, 5 << 20) + u"\" title=\"" +
                             value.substr(0, 5 << 20) + u"\">x</a></body></html>");
  EXPECT_TRUE(outcome.checker->tagLocations().size() >= 4);
}

TEST_F(HostileDocumentTest, TenMegabyteComment) {
  RunOutcome outcome =
      check(u"<html><body><!--" + repeat(u"- <p> -", 10 << 17) + u"--></body></html>");
  EXPECT_TRUE(outcome.rangesInsideText());
}

TEST_F(HostileDocumentTest, TenMegabyteUnterminatedComment) {
  RunOutcome outcome = check(u"<html><body><!--" + repeat(u"- <p> -", 10 << 17));
  EXPECT_GT(outcome.errorCount(), 0u);
}

TEST_F(HostileDocumentTest, NulBytes) {
  const std::string bytes(4 << 20, '\0');
  auto document = HeadlessDocument::fromBytes(bytes, std::string("nul.html"));
  ASSERT_TRUE(document);
  RunOutcome outcome = validate(*document);
  EXPECT_TRUE(outcome.rangesInsideText());
  EXPECT_LT(outcome.seconds, kSecondsBudget);
  // NULs inside markup too.
  check(UString(u"<p\0 a\0=\0\"\0\">\0</p\0>\0<!\0-\0-", 24));
}

TEST_F(HostileDocumentTest, UnpairedSurrogates) {
  const UString lone = {0xD800, u'<', 0xDC00, u'p', 0xDBFF, u'>', 0xDFFF, u'&', 0xD800, u';'};
  RunOutcome outcome = check(u"<html><body>" + repeat(lone, 100000) +
                             u"<a href=\"\xD800\" title=\"\xDFFF\"></a></body></html>");
  // Decoding invalid UTF-16 from a file replaces the units instead of keeping them.
  std::string bytes = "<p>";
  bytes += std::string("\x00\xD8\x3C\x00", 4);  // a lone high surrogate, then "<"
  auto document = HeadlessDocument::fromBytes(
      "\xFF\xFE" + std::string("<\0p\0>\0", 6) + std::string("\x00\xD8<\0", 4),
      std::string("s.html"));
  ASSERT_TRUE(document);
  validate(*document);
}

TEST_F(HostileDocumentTest, OnlyLessThanSigns) {
  RunOutcome outcome = check(UString(2 << 20, u'<'));
  EXPECT_GT(outcome.errorCount(), 0u);
}

TEST_F(HostileDocumentTest, OnlyGreaterThanSigns) {
  check(UString(2 << 20, u'>'));
}

TEST_F(HostileDocumentTest, AlternatingMarkupDebris) {
  check(repeat(u"<!<?</<!--<![CDATA[&#&#x&amp<\"'=>", 60000));
}

}  // namespace
}  // namespace vmk::robustness
