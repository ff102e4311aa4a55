// Replacements inside one editing group: applied together, read correctly in between, told to
// the listener once, undone as one step.
#include <gtest/gtest.h>

#include "host/headless/HeadlessDocument.h"

namespace vmk {
namespace {

TEST(GroupedEdits, AppliedTogetherReadInBetweenAndUndoneAsOneStep) {
  HeadlessDocument document(u"a & b & c & d");
  int told = 0;
  Range editedRange;
  int64_t change = 0;
  document.setEditListener([&](HostDocument&, Range range, int64_t length) {
    ++told;
    editedRange = range;
    change = length;
  });
  HostTextStorage& storage = document.textStorage();
  storage.beginEditing();
  EXPECT_TRUE(replaceTextInDocument(document, Range(10, 1), u"&amp;"));
  EXPECT_TRUE(replaceTextInDocument(document, Range(6, 1), u"&amp;"));
  EXPECT_EQ(storage.string(), u"a & b &amp; c &amp; d");  // read inside the group
  EXPECT_TRUE(replaceTextInDocument(document, Range(2, 1), u"&amp;"));
  // The text view answers for the text as it stands.
  EXPECT_FALSE(document.firstTextView()->shouldChangeTextInRange(Range(25, 1), nullptr));
  EXPECT_TRUE(document.firstTextView()->shouldChangeTextInRange(Range(24, 1), nullptr));
  EXPECT_EQ(told, 0);
  storage.endEditing();
  EXPECT_EQ(document.text(), u"a &amp; b &amp; c &amp; d");
  EXPECT_EQ(told, 1);
  EXPECT_EQ(editedRange, Range(2, 21));
  EXPECT_EQ(change, 12);
  EXPECT_TRUE(document.undo());
  EXPECT_EQ(document.text(), u"a & b & c & d");
  EXPECT_FALSE(document.canUndo());
  EXPECT_TRUE(document.redo());
  EXPECT_EQ(document.text(), u"a &amp; b &amp; c &amp; d");
}

TEST(GroupedEdits, ASnapshotKeepsTheTextItWasTakenOn) {
  UString text(2000, u'x');
  HeadlessDocument document(text);
  std::shared_ptr<const TextSnapshot> snapshot = document.textStorage().textSnapshot();
  document.textStorage().beginEditing();
  replaceTextInDocument(document, Range(1500, 1), u"y");
  replaceTextInDocument(document, Range(10, 1), u"z");
  document.textStorage().endEditing();
  EXPECT_EQ(snapshot->text(), text);
  EXPECT_EQ(document.text()[10], u'z');
  EXPECT_EQ(document.text()[1500], u'y');
}

}  // namespace
}  // namespace vmk
