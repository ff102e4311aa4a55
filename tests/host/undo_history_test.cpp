#include <gtest/gtest.h>

#include "host/headless/HeadlessDocument.h"

namespace vmk {
namespace {

TEST(HeadlessUndoHistory, WithoutHistoryEditsAreStillAnnouncedButNotUndoable) {
  HeadlessDocument document(u"one two");
  std::vector<std::pair<Range, int64_t>> edits;
  document.setEditListener(
      [&](HostDocument&, Range range, int64_t change) { edits.emplace_back(range, change); });
  replaceTextInDocument(document, Range(0, 3), u"three");
  EXPECT_TRUE(document.canUndo());
  document.setKeepsUndoHistory(false);
  EXPECT_FALSE(document.canUndo());
  replaceTextInDocument(document, Range(6, 3), u"2");
  EXPECT_EQ(document.text(), u"three 2");
  EXPECT_FALSE(document.canUndo());
  EXPECT_FALSE(document.undo());
  ASSERT_EQ(edits.size(), 2u);
  EXPECT_EQ(edits[1].first, Range(6, 1));
  EXPECT_EQ(edits[1].second, -2);
}

}  // namespace
}  // namespace vmk
