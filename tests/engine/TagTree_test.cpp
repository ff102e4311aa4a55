// The tree walk: pairs, depths, and the nesting errors; very deep and very open documents.
#include <gtest/gtest.h>

#include "EngineTestSupport.h"

namespace vmk::test {
namespace {

using Strings = std::vector<std::string>;

std::vector<int32_t> depths(const VmkHTMLChecker& c) {
  std::vector<int32_t> out;
  for (const auto& e : c.tagLocations()) out.push_back(e->tagDepth());
  return out;
}

// The list index of each entry's pair, -1 when it has none.
std::vector<int64_t> pairs(const VmkHTMLChecker& c) {
  std::vector<int64_t> out;
  for (const auto& e : c.tagLocations())
    out.push_back(e->pairTag() ? int64_t(e->pairTag()->listIndex()) : -1);
  return out;
}

// ---- Pairing and depths ----

TEST(TagTreePairing, NestedElementsArePairedAndDeepened) {
  auto c = scanHTML(u"<div><div>t</div></div>");
  EXPECT_EQ(entryNames(*c), (Strings{"DIV", "DIV", "#DATA", "/DIV", "/DIV"}));
  EXPECT_EQ(pairs(*c), (std::vector<int64_t>{4, 3, -1, 1, 0}));
  EXPECT_EQ(depths(*c), (std::vector<int32_t>{0, 1, 2, 1, 0}));
  EXPECT_EQ(errorList(*c), Strings{});
}

TEST(TagTreePairing, EndTagsMatchIgnoringCase) {
  auto c = scanXHTML(u"<div>x</DIV>");
  EXPECT_EQ(pairs(*c), (std::vector<int64_t>{2, -1, 0}));
}

TEST(TagTreePairing, EmptyElementsAndTextAreSiblings) {
  auto c = scanHTML(u"<p>a<br>b<img>c</p>");
  EXPECT_EQ(depths(*c), (std::vector<int32_t>{0, 1, 1, 1, 1, 1, 0}));
  EXPECT_EQ(errorList(*c), Strings{});
}

TEST(TagTreePairing, NoDataBetweenStartAndEndTags) {
  EXPECT_EQ(errorList(*scanHTML(u"<p>   </p>")), Strings{"NoDataBetweenStartAndEndTags@0+3:P"});
  EXPECT_EQ(errorList(*scanHTML(u"<b></b>")), Strings{"NoDataBetweenStartAndEndTags@0+3:B"});
  EXPECT_EQ(errorList(*scanHTML(u"<td></td>")), Strings{});
  EXPECT_EQ(errorList(*scanHTML(u"<textarea></textarea>")), Strings{});
  EXPECT_EQ(errorList(*scanXHTML(u"<p></p>")), Strings{});
  // A comment between them is content.
  EXPECT_EQ(errorList(*scanHTML(u"<b><!-- --></b>")), Strings{});
}

// ---- Omitted end tags ----

TEST(TagTreeOmitted, ListItemsEndBeforeTheNextItemAndTheListEnd) {
  auto c = scanHTML(u"<ul><li>a<li>b</ul>");
  EXPECT_EQ(entryNames(*c), (Strings{"UL", "LI", "#DATA", "LI", "#DATA", "/UL"}));
  EXPECT_EQ(errorList(*c), Strings{});
  EXPECT_EQ(depths(*c), (std::vector<int32_t>{0, 1, 2, 1, 2, 0}));
  EXPECT_EQ(pairs(*c), (std::vector<int64_t>{5, -1, -1, -1, -1, 0}));
}

TEST(TagTreeOmitted, OmittedEndTagIsReportedForOtherElements) {
  auto c = scanHTML(u"<table><tr><b>x</b></table>");
  EXPECT_EQ(errorList(*c),
            (Strings{"EndTagMayBeOmitted@11+3:B,TR", "CantBeChildElement@11+3:B,TABLE"}));
  // B is outside TR (which ended before it) but inside TABLE.
  EXPECT_EQ(depths(*c), (std::vector<int32_t>{0, 1, 1, 2, 1, 0}));
}

TEST(TagTreeOmitted, ChildThatCannotBeAChildWhenTheEndTagFollows) {
  auto c = scanHTML(u"<tr><b>x</b></tr>");
  EXPECT_EQ(errorList(*c), Strings{"CantBeChildElement@4+3:B,TR"});
  EXPECT_EQ(pairs(*c).front(), 4);
}

TEST(TagTreeOmitted, UnclosedOmissibleElementAtTheEndIsFine) {
  auto c = scanHTML(u"<p>a<p>b");
  EXPECT_EQ(errorList(*c), Strings{});
  EXPECT_EQ(depths(*c), (std::vector<int32_t>{0, 1, 0}));  // the second p is never walked
}

// ---- Stray and missing end tags ----

TEST(TagTreeStray, EndTagWithoutStartAtTheTopLevel) {
  auto c = scanHTML(u"</b>");
  EXPECT_EQ(errorList(*c), Strings{"StartTagNotFound@0+4:B"});
  EXPECT_EQ(c->structualErrorCount, 1);
  // Unknown names are not reported here (the scanner did).
  EXPECT_EQ(errorCodes(*scanHTML(u"</zz>")), Strings{"NoSuchElementName"});
}

TEST(TagTreeStray, StrayEndTagInsideAnElementThatIsClosedLater) {
  auto c = scanHTML(u"<div>x</b>y</div>");
  EXPECT_EQ(errorList(*c), Strings{"StartTagNotFound@6+4:B"});
  EXPECT_EQ(depths(*c), (std::vector<int32_t>{0, 1, 1, 1, 0}));
}

TEST(TagTreeStray, ElementEndsBeforeAStrayEndTagWhenItsOwnNeverComes) {
  auto c = scanHTML(u"<div><b>x</div>");
  EXPECT_EQ(errorList(*c), Strings{"EndTagNotFound@5+3:B"});
  EXPECT_EQ(pairs(*c), (std::vector<int64_t>{3, -1, -1, 0}));
  // The entry just before the stray end tag closes the element and is not deepened for it.
  EXPECT_EQ(depths(*c), (std::vector<int32_t>{0, 1, 1, 0}));

  auto d = scanHTML(u"<div><b></div>");
  EXPECT_EQ(errorList(*d), Strings{"EndTagNotFound@5+3:B"});
  EXPECT_EQ(pairs(*d), (std::vector<int64_t>{2, -1, 0}));
}

TEST(TagTreeStray, UnclosedRequiredElementStopsTheWalk) {
  auto c = scanHTML(u"<div><b>x</b>");
  EXPECT_EQ(errorList(*c), Strings{"EndTagNotFound@0+5:DIV"});
  EXPECT_EQ(depths(*c), (std::vector<int32_t>{0, 0, 1, 0}));
  EXPECT_EQ(c->structualErrorCount, 1);
}

TEST(TagTreeStray, ChildThatCannotBeAChild) {
  auto c = scanHTML(u"<ul><b>x</b></ul>");
  EXPECT_EQ(errorList(*c), Strings{"CantBeChildElement@4+3:B,UL"});
  EXPECT_EQ(depths(*c), (std::vector<int32_t>{0, 1, 2, 1, 0}));
  // Without a matching end tag anywhere the element ends there instead.
  auto d = scanHTML(u"<ul><li>a</li><b>x</b>");
  EXPECT_EQ(errorList(*d), Strings{"EndTagNotFound@0+4:UL"});
}

TEST(TagTreeStray, EndTagsOfEmptyElements) {
  auto c = scanHTML(u"<div></br>x</div>");
  EXPECT_EQ(errorList(*c), Strings{"NoEndTagForThisElement@5+5:BR"});
  EXPECT_EQ(c->structualErrorCount, 1);
  EXPECT_EQ(errorList(*scanXHTML(u"<div></br>x</div>")), Strings{});

  // In an element whose end tag may be omitted it is reported with an XML dictionary too.
  auto mixed = [] {
    return makeDictionary(
        {{"html", "XML", {"li"}}, {"li", "- O", {"#PCDATA"}}, {"br", "XML", {"EMPTY"}}}, "Mixed");
  };
  EXPECT_EQ(errorList(*scanText(u"<li></br>x</li>", mixed())),
            Strings{"NoEndTagForThisElement@4+5:br"});
  EXPECT_EQ(errorList(*scanText(u"<html></br>x</html>", mixed())), Strings{});
}

// ---- Large documents: no recursion limit, no quadratic walks ----

std::u16string repeat(std::u16string_view piece, int times) {
  std::u16string out;
  out.reserve(piece.size() * size_t(times));
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

constexpr int kLarge = 100000;

TEST(TagTreeLarge, DeeplyNestedClosedElements) {
  auto c = scanHTML(repeat(u"<div>", kLarge) + u"x" + repeat(u"</div>", kLarge));
  ASSERT_EQ(c->tagLocations().size(), size_t(2 * kLarge + 1));
  EXPECT_EQ(c->tagLocations()[kLarge]->tagDepth(), kLarge);
  EXPECT_EQ(c->tagLocations()[kLarge - 1]->tagDepth(), kLarge - 1);
  EXPECT_EQ(c->tagLocations()[kLarge + 1]->tagDepth(), kLarge - 1);
  EXPECT_EQ(c->tagLocations()[0]->pairTag(), c->tagLocations().back().get());
  EXPECT_TRUE(c->errorLocations().empty());
}

TEST(TagTreeLarge, DeeplyNestedUnclosedElements) {
  auto c = scanHTML(repeat(u"<div>x", kLarge));
  EXPECT_EQ(c->errorLocations().size(), size_t(kLarge));
  EXPECT_EQ(c->structualErrorCount, kLarge);
}

TEST(TagTreeLarge, ManyUnclosedElementsWithStrayEndTags) {
  // Every b is open when a stray end tag comes, and none is ever closed: each one asks for
  // its balancing end tag and ends before the stray one.
  auto c = scanHTML(repeat(u"<b>x</i>", kLarge));
  EXPECT_EQ(c->tagLocations().size(), size_t(3 * kLarge));
  EXPECT_GE(c->structualErrorCount, kLarge);
  // Omissible elements that cannot hold the next element, without any end tag.
  auto d = scanHTML(repeat(u"<tr><b>", kLarge));
  EXPECT_EQ(d->tagLocations().size(), size_t(2 * kLarge));
}

}  // namespace
}  // namespace vmk::test
