#include "host/headless/HeadlessDocument.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace vmk {
namespace {

struct Change {
  Range range;
  int64_t delta;
  friend bool operator==(const Change&, const Change&) = default;
};

std::ostream& operator<<(std::ostream& out, const Change& c) {
  return out << "(" << c.range.location << "," << c.range.length << ") " << c.delta;
}

class EditTest : public ::testing::Test {
 protected:
  void SetUp() override {
    doc.setEditListener([this](HostDocument& d, Range r, int64_t delta) {
      EXPECT_EQ(&d, &doc);
      changes.push_back({r, delta});
    });
  }
  HeadlessDocument doc{u"<p>Hello world</p>\n", std::string("/tmp/a.html")};
  std::vector<Change> changes;
};

TEST(HeadlessDocumentTest, InMemoryDocumentAnswersTheHostInterface) {
  HeadlessDocument doc(u"<!DOCTYPE html>\r\n<html>\r\n</html>\r\n");
  EXPECT_EQ(doc.textStorage().string(), u"<!DOCTYPE html>\n<html>\n</html>\n");
  EXPECT_EQ(doc.openLineEndings(), kLineEndingsCRLF);
  EXPECT_EQ(doc.revertDocumentType(), kHTMLDocumentType);
  EXPECT_EQ(doc.displayName(), u"Untitled");
  EXPECT_FALSE(doc.fileName());
  EXPECT_FALSE(doc.remoteURL());
  EXPECT_FALSE(doc.isRichText());
  EXPECT_TRUE(doc.openNSEncoding().isUTF8());
  EXPECT_NE(doc.firstTextView(), nullptr);

  HeadlessDocument plain(u"just text", std::string("/some/dir/notes.txt"));
  EXPECT_NE(plain.revertDocumentType(), kHTMLDocumentType);
  EXPECT_EQ(plain.displayName(), u"notes.txt");
  EXPECT_EQ(plain.openLineEndings(), kLineEndingsLF);
  HeadlessDocument byName(u"hello", std::string("/x/Page.SHTML"));
  EXPECT_EQ(byName.revertDocumentType(), kHTMLDocumentType);
  HeadlessDocument byContent(u"\uFEFF \n<HTML lang=en>");
  EXPECT_EQ(byContent.revertDocumentType(), kHTMLDocumentType);

  plain.setRemoteURL(std::string("http://example.com/dir/page.html?x=1"));
  EXPECT_EQ(*plain.remoteURL(), "http://example.com/dir/page.html?x=1");
  plain.setTabWidth(2.5);
  EXPECT_EQ(plain.tabWidth(), 2.5);
}

TEST(HeadlessDocumentTest, SelectionIsClampedToTheText) {
  HeadlessDocument doc(u"abcdef");
  doc.setSelectedRange(Range(2, 3), true);
  EXPECT_EQ(doc.selectedRange(), Range(2, 3));
  EXPECT_TRUE(doc.lastSelectionScrolled());
  doc.setSelectedRange(Range(4, 100), false);
  EXPECT_EQ(doc.selectedRange(), Range(4, 2));
  doc.setSelectedRange(Range::notFound(), false);
  EXPECT_EQ(doc.selectedRange(), Range(6, 0));

  int fronted = 0;
  doc.setFrontListener([&](HeadlessDocument&) { ++fronted; });
  doc.setSelectedRange(Range(0, 1), false, true);
  doc.setSelectedRange(Range(0, 1), false, false);
  EXPECT_EQ(fronted, 1);
}

TEST_F(EditTest, NotifiesInsertDeleteAndReplace) {
  ASSERT_TRUE(replaceTextInDocument(doc, Range(3, 0), u"Oh, "));  // insert
  EXPECT_EQ(doc.text(), u"<p>Oh, Hello world</p>\n");
  ASSERT_TRUE(replaceTextInDocument(doc, Range(3, 4), u""));  // delete
  EXPECT_EQ(doc.text(), u"<p>Hello world</p>\n");
  ASSERT_TRUE(replaceTextInDocument(doc, Range(9, 5), u"there"));  // replace, same length
  ASSERT_TRUE(replaceTextInDocument(doc, Range(3, 5), u"Hi"));     // replace, shorter
  EXPECT_EQ(doc.text(), u"<p>Hi there</p>\n");
  EXPECT_EQ(changes,
            (std::vector<Change>{
                {Range(3, 4), 4}, {Range(3, 0), -4}, {Range(9, 5), 0}, {Range(3, 2), -3}}));
  EXPECT_EQ(doc.didChangeTextCount(), 4);
}

TEST_F(EditTest, AGroupIsOneChangeAndOneUndoStep) {
  HostTextStorage& storage = doc.textStorage();
  storage.beginEditing();
  storage.replaceCharactersInRange(Range(14, 4), u"</P>");  // "</p>" -> "</P>"
  storage.beginEditing();                                   // nested groups count
  storage.replaceCharactersInRange(Range(0, 3), u"<P class=x>");
  storage.endEditing();
  EXPECT_TRUE(changes.empty());  // still inside the outer group
  storage.endEditing();
  EXPECT_EQ(doc.text(), u"<P class=x>Hello world</P>\n");
  // The union of both edits in the new text, and the total change in length.
  EXPECT_EQ(changes, (std::vector<Change>{{Range(0, 26), 8}}));

  ASSERT_TRUE(replaceTextInDocument(doc, Range(11, 5), u"Bye"));
  EXPECT_EQ(doc.text(), u"<P class=x>Bye world</P>\n");

  changes.clear();
  ASSERT_TRUE(doc.undo());
  EXPECT_EQ(doc.text(), u"<P class=x>Hello world</P>\n");
  ASSERT_TRUE(doc.undo());
  EXPECT_EQ(doc.text(), u"<p>Hello world</p>\n");
  EXPECT_FALSE(doc.canUndo());
  EXPECT_FALSE(doc.undo());
  EXPECT_EQ(changes, (std::vector<Change>{{Range(11, 5), 2}, {Range(0, 18), -8}}));

  ASSERT_TRUE(doc.redo());
  EXPECT_EQ(doc.text(), u"<P class=x>Hello world</P>\n");
  ASSERT_TRUE(doc.redo());
  EXPECT_EQ(doc.text(), u"<P class=x>Bye world</P>\n");
  EXPECT_FALSE(doc.redo());

  // A new edit after undo drops the redo history.
  ASSERT_TRUE(doc.undo());
  ASSERT_TRUE(replaceTextInDocument(doc, Range(0, 0), u"x"));
  EXPECT_FALSE(doc.canRedo());
}

TEST_F(EditTest, RefusedEditsLeaveTheTextAlone) {
  doc.setRefusesEdits(true);
  const std::string digest = doc.md5DigestString();
  EXPECT_FALSE(replaceTextInDocument(doc, Range(0, 3), u"<div>"));
  EXPECT_EQ(doc.text(), u"<p>Hello world</p>\n");
  EXPECT_EQ(doc.md5DigestString(), digest);
  EXPECT_TRUE(changes.empty());
  EXPECT_FALSE(doc.canUndo());

  // Forced edits go through regardless.
  EXPECT_TRUE(replaceTextInDocument(doc, Range(0, 3), u"<div>", true));
  EXPECT_EQ(doc.text(), u"<div>Hello world</p>\n");

  // A range outside the text is refused by the view, and clamped by the storage.
  doc.setRefusesEdits(false);
  EXPECT_FALSE(doc.firstTextView()->shouldChangeTextInRange(Range(10, 100), nullptr));
  doc.textStorage().replaceCharactersInRange(Range(16, 100), u"</div>");
  EXPECT_EQ(doc.text(), u"<div>Hello world</div>");
}

TEST_F(EditTest, DigestFollowsTheText) {
  const std::string before = doc.md5DigestString();
  EXPECT_EQ(before.size(), 32u);
  EXPECT_EQ(doc.md5DigestString(), before);
  ASSERT_TRUE(replaceTextInDocument(doc, Range(3, 1), u"J"));
  const std::string after = doc.md5DigestString();
  EXPECT_NE(after, before);
  ASSERT_TRUE(doc.undo());
  EXPECT_EQ(doc.md5DigestString(), before);
  HeadlessDocument same(u"<p>Hello world</p>\n");
  EXPECT_EQ(same.md5DigestString(), before);
}

TEST_F(EditTest, SnapshotsKeepTheTextTheyWereMadeOn) {
  std::shared_ptr<const TextSnapshot> first = doc.textStorage().textSnapshot();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(&first->text(), &doc.text());  // shared, not copied, while unchanged
  EXPECT_EQ(doc.textStorage().textSnapshot(), first);
  const UString& held = doc.text();
  const char16_t* characters = first->text().data();

  ASSERT_TRUE(replaceTextInDocument(doc, Range(3, 5), u"Bye"));
  EXPECT_EQ(first->text(), u"<p>Hello world</p>\n");
  // Views of the snapshot's characters (a run's attribute values) stay valid.
  EXPECT_EQ(first->text().data(), characters);
  EXPECT_EQ(doc.text(), u"<p>Bye world</p>\n");
  EXPECT_EQ(&held, &doc.text());  // the document's text stays the same object

  std::shared_ptr<const TextSnapshot> second = doc.textStorage().textSnapshot();
  EXPECT_NE(second, first);
  {
    auto closing = std::make_unique<HeadlessDocument>(u"<p>closing</p>");
    std::shared_ptr<const TextSnapshot> last = closing->textStorage().textSnapshot();
    closing.reset();
    EXPECT_EQ(last->text(), u"<p>closing</p>");
  }
  EXPECT_EQ(second->text(), u"<p>Bye world</p>\n");
}

TEST_F(EditTest, SelectionFollowsEdits) {
  doc.setSelectedRange(Range(9, 5), false);  // "world"
  ASSERT_TRUE(replaceTextInDocument(doc, Range(0, 3), u"<p class=a>"));
  EXPECT_EQ(doc.selectedRange(), Range(17, 5));
  ASSERT_TRUE(replaceTextInDocument(doc, Range(18, 2), u"O"));  // inside the selection
  EXPECT_EQ(doc.selectedRange(), Range(19, 0));
}

}  // namespace
}  // namespace vmk
