#include "host/headless/HeadlessPlatform.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <sstream>

#include "TestSupport.h"

namespace vmk {
namespace {

using testing::TempFolder;

const std::vector<UString> kThreeButtons = {u"Save", u"Cancel", u"Don't Save"};

TEST(HeadlessPlatformTest, AlertsAnswerByQueueThenDefault) {
  HeadlessPlatform platform;
  std::ostringstream log;
  platform.setAlertLog(&log);
  platform.queueAlertAnswers({AlertButton::Third, AlertButton::Second});
  EXPECT_EQ(platform.runAlert(u"Close?", u"Unsaved changes", kThreeButtons), AlertButton::Third);
  // An answer naming a missing button counts as the default one.
  EXPECT_EQ(platform.runAlert(u"Note", u"", {u"OK"}), AlertButton::First);
  EXPECT_EQ(platform.runAlert(u"Close?", u"", kThreeButtons), AlertButton::First);
  EXPECT_EQ(platform.pendingAlertAnswers(), 0u);
  ASSERT_EQ(platform.alerts().size(), 3u);
  EXPECT_EQ(platform.alerts()[0].message, u"Unsaved changes");
  EXPECT_EQ(platform.alerts()[0].answer, AlertButton::Third);
  EXPECT_EQ(log.str(), "Close?: Unsaved changes\nNote\nClose?\n");
}

TEST(HeadlessPlatformTest, InteractivePromptReadsTheChoice) {
  HeadlessPlatform platform;
  std::istringstream in("7\ndon't save\n\n2\n");
  std::ostringstream out;
  platform.setInteractive(true, &in, &out);
  EXPECT_EQ(platform.runAlert(u"Close?", u"Unsaved", kThreeButtons), AlertButton::Third);
  EXPECT_NE(out.str().find("1) Save (default)"), std::string::npos) << out.str();
  EXPECT_EQ(platform.runAlert(u"Close?", u"", kThreeButtons), AlertButton::First);  // empty line
  EXPECT_EQ(platform.runAlert(u"Close?", u"", kThreeButtons), AlertButton::Second);
  EXPECT_EQ(platform.runAlert(u"Close?", u"", kThreeButtons), AlertButton::First);  // end of input

  platform.setInteractive(false);
  EXPECT_EQ(platform.runAlert(u"Close?", u"", kThreeButtons), AlertButton::First);
}

TEST(HeadlessPlatformTest, RecordsSoundsClipboardAndWorkspaceRequests) {
  HeadlessPlatform platform;
  platform.beep();
  platform.beep();
  platform.playSound("Glass");
  platform.playSound("");
  EXPECT_EQ(platform.beepCount(), 2);
  EXPECT_EQ(platform.playedSounds(), std::vector<std::string>{"Glass"});

  platform.setClipboardText(u"copied");
  EXPECT_EQ(platform.clipboardText(), u"copied");

  EXPECT_TRUE(platform.openURL("http://example.com/"));
  EXPECT_TRUE(platform.openFile("/tmp/x.html"));
  EXPECT_TRUE(platform.revealFolder("/tmp"));
  EXPECT_EQ(platform.openedURLs(), std::vector<std::string>{"http://example.com/"});
  EXPECT_EQ(platform.openedFiles(), std::vector<std::string>{"/tmp/x.html"});
  EXPECT_EQ(platform.revealedFolders(), std::vector<std::string>{"/tmp"});

  platform.clearRecords();
  EXPECT_EQ(platform.beepCount(), 0);
  EXPECT_TRUE(platform.playedSounds().empty());
}

TEST(HeadlessPlatformTest, MovesToTheUsersTrash) {
  TempFolder folder;
  testing::ScopedEnv env;
  env.set("XDG_DATA_HOME", folder.file("data"));

  HeadlessPlatform platform;
  std::string first = folder.write("old.dict", "one");
  ASSERT_TRUE(platform.moveToTrash(first));
  std::string second = folder.write("old.dict", "two");
  ASSERT_TRUE(platform.moveToTrash(second));
  EXPECT_FALSE(std::filesystem::exists(first));
  EXPECT_EQ(folder.read("data/Trash/files/old.dict"), "one");
  EXPECT_EQ(folder.read("data/Trash/files/old.dict.2"), "two");
  std::string info = folder.read("data/Trash/info/old.dict.trashinfo");
  EXPECT_EQ(info.rfind("[Trash Info]\nPath=" + first + "\nDeletionDate=", 0), 0u) << info;
  EXPECT_FALSE(platform.moveToTrash(folder.file("missing")));

  platform.setTrashEnabled(false);
  std::string kept = folder.write("kept.dict", "three");
  EXPECT_TRUE(platform.moveToTrash(kept));
  EXPECT_TRUE(std::filesystem::exists(kept));
  EXPECT_EQ(platform.trashedPaths().size(), 4u);
}

}  // namespace
}  // namespace vmk
