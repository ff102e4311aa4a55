// The DTD converter over hostile DTDs: entities that reference themselves or each other,
// exponential entity expansion, thousands of nested marked sections, NUL characters, and
// binary junk. Every conversion must end, within bounded time and memory, and what rulesmith
// writes must be what it converted.
#include <gtest/gtest.h>

#include <sstream>

#include "RobustnessSupport.h"
#include "converter/MyDtd.h"
#include "converter/RulesmithCommand.h"
#include "support/Paths.h"
#include "support/Plist.h"

namespace vmk::robustness {
namespace {

constexpr double kSecondsBudget = 60.0;

struct Conversion {
  std::unique_ptr<MyDtd> dtd = std::make_unique<MyDtd>();
  double seconds = 0;
};

Conversion convert(std::string_view bytes) {
  Conversion conversion;
  conversion.dtd->setSourceData(bytes);
  Stopwatch watch;
  conversion.dtd->ParseDTD();
  conversion.seconds = watch.seconds();
  EXPECT_LT(conversion.seconds, kSecondsBudget);
  return conversion;
}

constexpr std::string_view kElements =
    "<!ELEMENT HTML O O (HEAD, BODY)>\n<!ELEMENT HEAD O O (TITLE)>\n"
    "<!ELEMENT TITLE - - (#PCDATA)>\n<!ELEMENT BODY O O (%flow;)*>\n"
    "<!ELEMENT P - O (#PCDATA)>\n";

TEST(HostileDtdTest, EntityThatReferencesItself) {
  Conversion c = convert(std::string("<!ENTITY % flow \"P | %flow;\">\n") + std::string(kElements));
  EXPECT_TRUE(c.dtd->elements().count("P"));
  // Also through a general reference and in an attribute list.
  convert(
      "<!ENTITY % a \"%a;%a;\">\n<!ENTITY b \"&b;\">\n<!ELEMENT X - - (%a;)>\n"
      "<!ATTLIST X y (%a;) #IMPLIED>\n%a;\n");
}

TEST(HostileDtdTest, EntitiesThatReferenceEachOther) {
  convert(std::string("<!ENTITY % flow \"%inline;\">\n<!ENTITY % inline \"P | %block;\">\n"
                      "<!ENTITY % block \"%flow;\">\n") +
          std::string(kElements));
}

TEST(HostileDtdTest, ExponentialEntityExpansion) {
  std::string dtd = "<!ENTITY % e0 \"P | P | P | P | P | P | P | P | P | P\">\n";
  for (int i = 1; i <= 30; ++i) {
    const std::string previous = "%e" + std::to_string(i - 1) + ";";
    dtd += "<!ENTITY % e" + std::to_string(i) + " \"" + repeat(previous + " | ", 9) + previous +
           "\">\n";
  }
  dtd += "<!ENTITY % flow \"%e30;\">\n" + std::string(kElements);
  Conversion c = convert(dtd);
  EXPECT_TRUE(c.dtd->elements().count("BODY"));
}

TEST(HostileDtdTest, TenThousandNestedMarkedSections) {
  constexpr size_t kDepth = 10000;
  const std::string dtd = "<!ENTITY % on \"INCLUDE\">\n" + repeat("<![ %on; [\n", kDepth) +
                          std::string(kElements) + "<!ENTITY % flow \"P\">\n" +
                          repeat("]]>\n", kDepth);
  convert(dtd);
  // Unbalanced the other way, and ignored sections holding declarations.
  convert(repeat("<![ IGNORE [ <!ELEMENT Z - - EMPTY> ", kDepth));
  convert(repeat("]]> ", kDepth) + std::string(kElements));
}

TEST(HostileDtdTest, BinaryJunkAndTruncatedDeclarations) {
  std::string junk;
  for (int i = 0; i < 1 << 20; ++i) junk += char((i * 7919) & 0xFF);
  convert(junk);
  convert("<!ELEMENT");
  convert("<!ATTLIST P");
  convert("<!ENTITY % x \"");
  convert("<!--");
  convert(repeat("<!ELEMENT (", 100000));
  convert(repeat("<", 1 << 20));
}

class RulesmithOutputTest : public ::testing::Test {
 protected:
  TempFolder folder;

  int run(std::string_view dtdBytes, std::string* errors = nullptr) {
    const std::string path = folder.file("hostile.dtd");
    writeFileAtomically(path, dtdBytes);
    RulesmithOptions options;
    options.dtdPath = path;
    options.quiet = true;
    std::ostringstream monitor, errorStream;
    const int status = runRulesmith(options, monitor, errorStream);
    if (errors) *errors = errorStream.str();
    return status;
  }
};

// A DTD with NUL characters in names: the property-list writer cannot keep them, so the
// dictionary must either hold the names whole or not be written at all (and the command must
// say so) — never silently hold other names than the ones converted.
TEST_F(RulesmithOutputTest, NulCharactersAreNeverLostSilently) {
  const std::string dtd("<!ELEMENT P - O (#PCDATA)>\n<!ELEMENT Q\0R - - EMPTY>\n", 51);
  std::string errors;
  const int status = run(dtd, &errors);
  const std::optional<PlistValue> file = readPlistFile(folder.file("hostile.dict"));
  if (status == kRulesmithOk) {
    ASSERT_TRUE(file && file->isDict());
    const PlistValue* table = file->asDict()->find("DtdDictionary");
    ASSERT_TRUE(table && table->isDict());
    EXPECT_FALSE(table->asDict()->contains("Q"));
  } else {
    EXPECT_FALSE(file.has_value());
    EXPECT_NE(errors, "");
  }
}

}  // namespace
}  // namespace vmk::robustness
