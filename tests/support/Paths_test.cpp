#include "support/Paths.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <thread>

#include "TestSupport.h"
#include "support/Digest.h"

namespace vmk {
namespace {

namespace fs = std::filesystem;

using testing::ScopedEnv;

class PathsTest : public ::testing::Test {
 protected:
  std::string path(const char* name) const { return (dir_ / name).string(); }
  testing::TempFolder folder_;
  fs::path dir_{folder_.path()};
};

TEST(PathsEnvTest, XdgFoldersWithAndWithoutVariables) {
  ScopedEnv env;
  env.set("HOME", "/home/tester");
  env.set("XDG_CONFIG_HOME", nullptr);
  env.set("XDG_DATA_HOME", nullptr);
  EXPECT_EQ(homeDirectory(), "/home/tester");
  EXPECT_EQ(velumarkConfigDirectory(), "/home/tester/.config/velumark");
  EXPECT_EQ(velumarkDataDirectory(), "/home/tester/.local/share/velumark");

  env.set("XDG_CONFIG_HOME", "/tmp/cfg");
  env.set("XDG_DATA_HOME", "/tmp/data");
  EXPECT_EQ(velumarkConfigDirectory(), "/tmp/cfg/velumark");
  EXPECT_EQ(velumarkDataDirectory(), "/tmp/data/velumark");

  // Empty or relative values are ignored.
  env.set("XDG_CONFIG_HOME", "");
  env.set("XDG_DATA_HOME", "relative/dir");
  EXPECT_EQ(xdgConfigHome(), "/home/tester/.config");
  EXPECT_EQ(xdgDataHome(), "/home/tester/.local/share");

  env.set("HOME", nullptr);
  EXPECT_FALSE(homeDirectory().empty());  // from the password database
}

TEST(PathsEnvTest, ResourceDirectory) {
  ScopedEnv env;
  env.set("VELUMARK_RESOURCE_DIR", "/opt/res");
  EXPECT_EQ(resourceDirectory(), "/opt/res");
  EXPECT_EQ(resourcePath("strings/x.strings"), "/opt/res/strings/x.strings");
  env.set("VELUMARK_RESOURCE_DIR", nullptr);
  // The test program lives in <build>/bin, beside <build>/share/velumark.
  EXPECT_TRUE(
      fs::equivalent(resourceDirectory(), std::string(VELUMARK_BINARY_DIR) + "/share/velumark"));
}

TEST_F(PathsTest, ReadAndWriteWholeFiles) {
  const std::string file = path("a.txt");
  std::string error;
  EXPECT_FALSE(readFileContents(file, &error));
  EXPECT_NE(error.find("No such file"), std::string::npos) << error;
  EXPECT_FALSE(readFileContents(dir_.string()));

  std::string content("line\n\0binary\xff", 13);
  ASSERT_TRUE(writeFileAtomically(file, content, &error)) << error;
  EXPECT_EQ(readFileContents(file), content);
  ASSERT_TRUE(writeFileAtomically(file, ""));
  EXPECT_EQ(readFileContents(file), "");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);

  // Large enough for large pages, with every byte value; and a file that tells no size.
  std::string large(5 << 20, '\0');
  for (size_t i = 0; i < large.size(); ++i) large[i] = char(i * 7 + i / 4096);
  ASSERT_TRUE(writeFileAtomically(file, large));
  EXPECT_TRUE(readFileContents(file) == large);
  const std::optional<std::string> status = readFileContents("/proc/self/status");
  ASSERT_TRUE(status);
  EXPECT_NE(status->find("VmRSS"), std::string::npos);
}

// The start of a file is read only from a regular file: what is read from a pipe is gone for
// the reader that comes next, and opening one must not wait for a writer.
TEST_F(PathsTest, StartOfRegularFilesOnly) {
  const std::string file = path("start.html");
  ASSERT_TRUE(writeFileAtomically(file, "<!DOCTYPE html>\n<p>text</p>\n"));
  EXPECT_EQ(readRegularFileStart(file, 9), "<!DOCTYPE");
  EXPECT_EQ(readRegularFileStart(file, 4096), "<!DOCTYPE html>\n<p>text</p>\n");
  EXPECT_FALSE(readRegularFileStart(path("missing.html"), 16));
  EXPECT_FALSE(readRegularFileStart(dir_.string(), 16));
  const std::string fifo = path("pipe.html");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(readRegularFileStart(fifo, 16));
}

TEST_F(PathsTest, AtomicWriteKeepsPermissionsAndFollowsLinks) {
  const std::string file = path("script.sh");
  ASSERT_TRUE(writeFileAtomically(file, "old"));
  ::chmod(file.c_str(), 0750);
  ASSERT_TRUE(writeFileAtomically(file, "new"));
  struct stat st {};
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0750u);

  const std::string link = path("link.sh");
  fs::create_symlink(file, link);
  ASSERT_TRUE(writeFileAtomically(link, "through link"));
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(readFileContents(file), "through link");
}

TEST_F(PathsTest, FailedWriteLeavesTargetAndNoTemporary) {
  const std::string file = path("keep.txt");
  ASSERT_TRUE(writeFileAtomically(file, "old"));
  std::string error;
  EXPECT_FALSE(writeFileAtomically(file + "/inner", "new", &error));
  EXPECT_NE(error.find("Not a directory"), std::string::npos) << error;
  EXPECT_FALSE(writeFileAtomically(path("missing/inner.txt"), "new", &error));
  EXPECT_FALSE(writeFileAtomically(dir_.string() + "/", "new", &error));
  if (::geteuid() != 0) {
    ::chmod(dir_.c_str(), 0555);
    EXPECT_FALSE(writeFileAtomically(file, "new", &error));
    ::chmod(dir_.c_str(), 0755);
  }
  EXPECT_EQ(readFileContents(file), "old");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(PathsTest, MakeDirectories) {
  const std::string deep = path("a/b/c");
  EXPECT_TRUE(makeDirectories(deep));
  EXPECT_TRUE(fs::is_directory(deep));
  EXPECT_TRUE(makeDirectories(deep));  // already there
  ASSERT_TRUE(writeFileAtomically(path("file"), "x"));
  EXPECT_FALSE(makeDirectories(path("file/sub")));
  EXPECT_FALSE(makeDirectories(""));
}

TEST(DigestTest, HexDigestOfTexts) {
  std::string d = digestHex(UStringView(u"<html>"));
  EXPECT_EQ(d.size(), 32u);
  EXPECT_EQ(d.find_first_not_of("0123456789abcdef"), std::string::npos);
  EXPECT_EQ(d, digestHex(UStringView(u"<html>")));
  EXPECT_NE(d, digestHex(UStringView(u"<html> ")));
  // Given piece by piece, across the sizes where the digest changes its way of working.
  UString text;
  for (int i = 0; text.size() < 5000; ++i)
    text += char16_t(u'a' + i % 26) + UString(size_t(i % 7), u'\u00e9');
  for (size_t piece : {size_t(1), size_t(7), size_t(120), size_t(1000), size_t(6000)}) {
    TextDigest digest;
    for (size_t at = 0; at < text.size(); at += piece)
      digest.add(UStringView(text).substr(at, piece));
    EXPECT_EQ(digest.hex(), digestHex(UStringView(text))) << piece;
  }
  EXPECT_EQ(TextDigest().hex(), digestHex(UStringView()));
  // The UTF-16 form hashes its bytes: the same as hashing those bytes directly.
  EXPECT_EQ(digestHex(UStringView(u"ab")), digestHex(std::string_view("a\0b\0", 4)));
}

TEST_F(PathsTest, RegularFilesAreReadInStepsWithHeldBackBytesHandedAgain) {
  std::string bytes;
  for (int i = 0; bytes.size() < 20000; ++i) bytes += std::to_string(i) + ",";
  writeFileAtomically(path("f"), bytes);
  // The consumer keeps back a few bytes each time; they come again ahead of the next ones.
  std::string got;
  int calls = 0;
  uint64_t size = 0;
  EXPECT_TRUE(readRegularFileInSteps(
      path("f"), 5000,
      [&](std::string_view part, bool atEnd) -> size_t {
        ++calls;
        if (calls == 1) {
          EXPECT_EQ(part.size(), 5000u);
        }
        const size_t used = atEnd ? part.size() : part.size() - 3;
        got += part.substr(0, used);
        return used;
      },
      &size));
  EXPECT_EQ(got, bytes);
  EXPECT_EQ(size, bytes.size());
  EXPECT_GE(calls, 4);

  // A small or empty file comes whole, with the end marked.
  for (std::string_view small : {std::string_view("<p>hello"), std::string_view()}) {
    writeFileAtomically(path("s"), small);
    std::vector<std::pair<std::string, bool>> parts;
    EXPECT_TRUE(readRegularFileInSteps(path("s"), 1 << 20, [&](std::string_view part, bool atEnd) {
      parts.emplace_back(std::string(part), atEnd);
      return part.size();
    }));
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(parts[0].first, small);
    EXPECT_TRUE(parts[0].second);
  }

  // Giving up, bytes left unused at the end, no progress from a full buffer, no such file, a
  // folder: all false.
  auto stop = [](std::string_view, bool) { return kStopReading; };
  EXPECT_FALSE(readRegularFileInSteps(path("f"), 5000, stop));
  writeFileAtomically(path("s"), "abc");
  EXPECT_FALSE(
      readRegularFileInSteps(path("s"), 5000, [](std::string_view, bool) { return size_t(0); }));
  EXPECT_FALSE(readRegularFileInSteps(path("s"), 5000,
                                      [](std::string_view part, bool) { return part.size() - 1; }));
  EXPECT_FALSE(
      readRegularFileInSteps(path("f"), 5000, [](std::string_view, bool) { return size_t(0); }));
  EXPECT_FALSE(readRegularFileInSteps(path("missing"), 5000, stop));
  EXPECT_FALSE(readRegularFileInSteps(folder_.path(), 5000, stop));
}

TEST_F(PathsTest, NamedPipesAreNotOpenedByTheRegularFileReaders) {
  // A writer waits for a reader to open the pipe; the readers of regular files must not be
  // that reader, or the writer would go on and find nobody reading.
  const std::string fifo = path("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::atomic<bool> opened{false};
  std::thread writer([&] {
    const int fd = ::open(fifo.c_str(), O_WRONLY);
    opened = true;
    if (fd >= 0) ::close(fd);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));  // the writer is waiting by now
  EXPECT_FALSE(readRegularFileStart(fifo, 4096));
  EXPECT_FALSE(
      readRegularFileInSteps(fifo, 4096, [](std::string_view part, bool) { return part.size(); }));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(opened.load());
  // Let the writer go.
  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  writer.join();
  if (reader >= 0) ::close(reader);
}

TEST_F(PathsTest, DocumentsAreReadFromFilesAndPipesOnlyAndUpToTheirLimit) {
  ASSERT_TRUE(writeFileAtomically(path("page.html"), std::string(100, 'x')));
  std::string error;
  EXPECT_EQ(readDocumentFile(path("page.html"), 100, &error), std::string(100, 'x'));
  EXPECT_FALSE(readDocumentFile(path("page.html"), 99, &error));
  EXPECT_EQ(error, "it is larger than 99 bytes, the most a document may have");
  EXPECT_FALSE(readDocumentFile("/dev/zero", kDefaultMaximumDocumentSize, &error));
  EXPECT_EQ(error, "it is a device; only files, pipes and standard input are read");
  EXPECT_FALSE(readDocumentFile(dir_.string(), 100, &error));
  EXPECT_EQ(error, "Is a directory");
  EXPECT_FALSE(readDocumentFile(path("missing"), 100, &error));
  EXPECT_EQ(error, "No such file or directory");

  // A pipe tells no size: it is read no further than the limit, however much is written.
  ::signal(SIGPIPE, SIG_IGN);
  const std::string fifo = path("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const size_t written : {size_t(3000), size_t(1) << 22}) {
    std::thread writer([&] {
      const int fd = ::open(fifo.c_str(), O_WRONLY);
      const std::string bytes(written, 'y');
      size_t at = 0;
      while (fd >= 0 && at < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + at, bytes.size() - at);
        if (n <= 0) break;  // the reader has gone
        at += size_t(n);
      }
      if (fd >= 0) ::close(fd);
    });
    const std::optional<std::string> read = readDocumentFile(fifo, 65536, &error);
    writer.join();
    if (written <= 65536) {
      EXPECT_EQ(read, std::string(written, 'y'));
    } else {
      EXPECT_FALSE(read);
      EXPECT_EQ(error, "it is larger than 65536 bytes, the most a document may have");
    }
  }
  // Whole-file reading without a limit still reads a file whole.
  ASSERT_TRUE(writeFileAtomically(path("large"), std::string(200000, 'z')));
  EXPECT_EQ(readFileContents(path("large")).value_or("").size(), 200000u);
}

}  // namespace
}  // namespace vmk
