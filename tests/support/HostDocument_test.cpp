#include "host/HostDocument.h"

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "host/Platform.h"

namespace vmk {
namespace {

class FakeView : public HostTextView {
 public:
  explicit FakeView(std::string& log) : log_(log) {}
  bool shouldChangeTextInRange(Range range, const UString* replacement) override {
    asked = range;
    offered = replacement ? *replacement : u"(none)";
    log_ += "should;";
    return allow;
  }
  void didChangeText() override { log_ += "did;"; }
  bool allow = true;
  Range asked;
  UString offered;

 private:
  std::string& log_;
};

using testing::FakeDocument;

TEST(ReplaceTextTest, AsksReplacesAndAnnounces) {
  FakeDocument doc;
  doc.storage.text = u"<B>bold</B>";
  FakeView view(doc.storage.log);
  doc.view = &view;
  EXPECT_TRUE(replaceTextInDocument(doc, Range(1, 1), u"b"));
  EXPECT_EQ(doc.storage.text, u"<b>bold</B>");
  EXPECT_EQ(view.asked, Range(1, 1));
  EXPECT_EQ(view.offered, u"b");
  EXPECT_EQ(doc.storage.log, "should;begin;replace;end;did;");
}

TEST(ReplaceTextTest, RefusalSkipsUnlessForced) {
  FakeDocument doc;
  doc.storage.text = u"abc";
  FakeView view(doc.storage.log);
  view.allow = false;
  doc.view = &view;
  EXPECT_FALSE(replaceTextInDocument(doc, Range(0, 1), u"X"));
  EXPECT_EQ(doc.storage.text, u"abc");
  EXPECT_EQ(doc.storage.log, "should;");
  EXPECT_TRUE(replaceTextInDocument(doc, Range(0, 1), u"X", true));
  EXPECT_EQ(doc.storage.text, u"Xbc");
  EXPECT_EQ(doc.storage.log, "should;should;begin;replace;end;did;");
}

TEST(ReplaceTextTest, WorksWithoutTextView) {
  FakeDocument doc;
  doc.storage.text = u"abc";
  EXPECT_TRUE(replaceTextInDocument(doc, Range(1, 2), u""));
  EXPECT_EQ(doc.storage.text, u"a");
  EXPECT_EQ(doc.storage.log, "begin;replace;end;");
}

class CountingPlatform : public PlatformServices {
 public:
  AlertButton runAlert(const UString&, const UString&, const std::vector<UString>&) override {
    return AlertButton::Second;
  }
  void beep() override { ++beeps; }
  void playSound(const std::string&) override {}
  bool openURL(const std::string&) override { return true; }
  bool openFile(const std::string&) override { return true; }
  bool revealFolder(const std::string&) override { return true; }
  void setClipboardText(const UString&) override {}
  UString clipboardText() override { return u"clip"; }
  bool moveToTrash(const std::string&) override { return true; }
  int beeps = 0;
};

TEST(PlatformTest, SilentUntilInstalled) {
  EXPECT_EQ(platform().runAlert(u"t", u"m", {u"OK", u"Cancel"}), AlertButton::First);
  EXPECT_FALSE(platform().openURL("http://example.com/"));
  EXPECT_EQ(platform().clipboardText(), u"");
  platform().beep();

  CountingPlatform counting;
  setPlatform(&counting);
  platform().beep();
  EXPECT_EQ(counting.beeps, 1);
  EXPECT_EQ(platform().runAlert(u"t", u"m", {}), AlertButton::Second);
  setPlatform(nullptr);
  EXPECT_EQ(platform().runAlert(u"t", u"m", {}), AlertButton::First);
}

}  // namespace
}  // namespace vmk
