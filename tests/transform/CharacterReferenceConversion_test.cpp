#include "transform/CharacterReferenceConversion.h"

#include <gtest/gtest.h>

namespace vmk {
namespace {

std::string smart(UStringView text) {
  std::optional<UString> converted = toCharRefString(text);
  return converted ? toUtf8(*converted) : "none";
}

std::string plain(UStringView text) {
  std::optional<UString> converted = toDirectCharRefString(text);
  return converted ? toUtf8(*converted) : "none";
}

TEST(LatinOneTable, NamesEveryCharacterFromNbspToYumlInOrder) {
  const std::pair<UChar16, std::string_view> rows[] = {
      {0xA0, "nbsp"},  {0xA9, "copy"},  {0xAE, "reg"},    {0xC0, "Agrave"}, {0xC6, "AElig"},
      {0xD7, "times"}, {0xDF, "szlig"}, {0xE9, "eacute"}, {0xF7, "divide"}, {0xFF, "yuml"}};
  for (const auto& [c, name] : rows) EXPECT_EQ(latin1EntityName(c), name);
  for (UChar16 c = 0xA0; c <= 0xFF; ++c) EXPECT_FALSE(latin1EntityName(c).empty()) << int(c);
  EXPECT_TRUE(latin1EntityName(0x9F).empty());
  EXPECT_TRUE(latin1EntityName(0x100).empty());
}

TEST(MarkupAwareConversion, MarkupCharactersAndReferences) {
  EXPECT_EQ(smart(u"a < b & c"), "a &lt; b &amp; c");
  EXPECT_EQ(smart(u"&copy; and &#169; stay"), "none");
  EXPECT_EQ(smart(u"&copy 2024"), "&copy; 2024");
  EXPECT_EQ(smart(u"x&copy"), "x&copy;");
  EXPECT_EQ(smart(u"<!-- caf\u00E9 -->"), "<!-- caf&eacute; -->");
  EXPECT_EQ(smart(u"<?php x ?> and <!DOCTYPE"), "none");
  EXPECT_EQ(smart(u"a<"), "a&lt;");
  EXPECT_EQ(smart(u">a"), "&gt;a");
  EXPECT_EQ(smart(u"plain text"), "none");
}

TEST(MarkupAwareConversion, CharactersOutsideLatinOneStay) {
  EXPECT_EQ(smart(u"\u20AC \u0080\u009F \u0100"), "none");
  EXPECT_EQ(plain(u"\u20AC \u0085"), "none");
}

TEST(MarkupAwareConversion, ReferencesAreJudgedOnTheWholeText) {
  // A fragment that cuts "&copy;" after "&co" keeps its start.
  const UStringView whole = u"x &copy; y";
  EXPECT_FALSE(toCharRefString(whole.substr(0, 5), whole, 0).has_value());
  // The missing ";" of a reference is inserted only inside the fragment.
  const UStringView open = u"&copy is";
  EXPECT_FALSE(toCharRefString(open.substr(0, 3), open, 0).has_value());
  EXPECT_EQ(toUtf8(*toCharRefString(open.substr(0, 5), open, 0)), "&copy;");
}

TEST(PlainTextConversion, EverythingBecomesAReference) {
  EXPECT_EQ(plain(u"<a href=\"x\">"), "&lt;a href=&quot;x&quot;&gt;");
  EXPECT_EQ(plain(u"&amp; &copy;"), "&amp;amp; &amp;copy;");
  EXPECT_EQ(plain(u"\u00E9t\u00E9"), "&eacute;t&eacute;");
  EXPECT_EQ(plain(u"nothing"), "none");
}

}  // namespace
}  // namespace vmk
