#include "FuzzSupport.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <system_error>

#include "dictionary/DictionaryFolder.h"
#include "dictionary/VmkDictionary.h"
#include "settings/VmkUserDefaults.h"
#include "support/Paths.h"

namespace fs = std::filesystem;

namespace vmk::fuzz {
namespace {

std::string& workDirectoryStorage() {
  static std::string path;
  return path;
}

void removeWorkDirectory() {
  std::error_code ignored;
  fs::remove_all(workDirectoryStorage(), ignored);
}

[[noreturn]] void die(const std::string& message) {
  std::fprintf(stderr, "fuzz: %s\n", message.c_str());
  std::abort();
}

// A folder name made of the letters and digits of a display name.
std::string folderNameFor(const std::string& name) {
  std::string out;
  for (char c : name) out += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return out;
}

// Makes `dataHome` the data folder and `name` the default dictionary of the settings.
void activate(const std::string& dataHome, const std::string& name) {
  static std::string active;
  if (active == dataHome + '\n' + name) return;
  active = dataHome + '\n' + name;
  setenv("XDG_DATA_HOME", dataHome.c_str(), 1);
  initDictionaries();
  VmkUserDefaults& defaults = sharedVmkUserDefaults();
  defaults.setWritesSettingsFile(false);
  defaults.changeStringValue(name, "Vmk_DefaultHtmlDictionary");
}

}  // namespace

void setUpProcess() {
  static bool done = false;
  if (done) return;
  done = true;
  std::string& path = workDirectoryStorage();
  if (const char* given = std::getenv("VELUMARK_FUZZ_WORKDIR"); given && *given) {
    path = std::string(given) + "/" + std::to_string(getpid());
    std::error_code error;
    fs::remove_all(path, error);
    if (!fs::create_directories(path, error)) die("cannot create " + path);
  } else {
    // A memory file system when there is one: the dictionary and settings programs write a
    // file for every input.
    std::error_code error;
    const fs::path base =
        fs::is_directory("/dev/shm", error) ? fs::path("/dev/shm") : fs::temp_directory_path();
    std::string templ = (base / "velumark-fuzz-XXXXXX").string();
    if (!mkdtemp(templ.data())) die("cannot create a temporary folder");
    path = templ;
  }
  std::atexit(removeWorkDirectory);
  const std::string config = path + "/config";
  setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  const std::string data = path + "/data";
  setenv("XDG_DATA_HOME", data.c_str(), 1);
  VmkUserDefaults::resetSharedForTesting();
  sharedVmkUserDefaults().setWritesSettingsFile(false);
}

const std::string& workDirectory() {
  setUpProcess();
  return workDirectoryStorage();
}

const std::vector<std::string>& shippedDictionaryNames() {
  static const std::vector<std::string> names = [] {
    setUpProcess();
    std::vector<std::string> found;
    const fs::path folder = resourcePath("dictionaries");
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
      if (entry.path().extension() == ".dict") found.push_back(entry.path().stem().string());
    }
    if (found.empty()) {
      die("no shipped dictionaries in " + folder.string() +
          " (build the velumark_resources target first)");
    }
    std::sort(found.begin(), found.end());
    return found;
  }();
  return names;
}

std::string shippedDictionaryPath(const std::string& name) {
  return resourcePath("dictionaries") + "/" + name + ".dict";
}

void useOnlyDictionary(const std::string& name) {
  const std::string dataHome = workDirectory() + "/data-" + folderNameFor(name);
  const fs::path folder = dataHome + "/velumark/dictionaries";
  const fs::path link = folder / (name + ".dict");
  std::error_code error;
  if (!fs::exists(link, error)) {
    fs::create_directories(folder, error);
    fs::create_symlink(fs::absolute(shippedDictionaryPath(name)), link, error);
    if (error) die("cannot link " + link.string() + ": " + error.message());
  }
  activate(dataHome, name);
}

void useDictionaryBytes(std::string_view bytes) {
  const std::string dataHome = workDirectory() + "/data-bytes";
  const std::string folder = dataHome + "/velumark/dictionaries";
  static bool made = false;
  if (!made) {
    std::error_code error;
    fs::create_directories(folder, error);
    made = true;
  }
  writeFileOrDie(folder + "/Fuzz.dict", bytes);
  activate(dataHome, "Fuzz");
}

const VmkDictionary& loadedDictionary(size_t index) {
  static std::map<size_t, std::unique_ptr<VmkDictionary>> cache;
  const std::vector<std::string>& names = shippedDictionaryNames();
  index %= names.size();
  std::unique_ptr<VmkDictionary>& slot = cache[index];
  if (!slot) {
    slot = VmkDictionary::fromFile(shippedDictionaryPath(names[index]), toUtf16(names[index]));
    if (!slot) die("cannot read the shipped dictionary " + names[index]);
  }
  return *slot;
}

UString utf8Text(std::string_view bytes) {
  return toUtf16(bytes);
}

UString rawUtf16Text(std::string_view bytes) {
  UString text(bytes.size() / 2, u'\0');
  for (size_t i = 0; i < text.size(); ++i) {
    text[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                    static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
  }
  return text;
}

std::string_view sampleDocument() {
  return "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\"\n"
         "  \"http://www.w3.org/TR/html4/loose.dtd\">\n"
         "<html lang=\"en\">\n<head>\n"
         "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\">\n"
         "<title>Sample &amp; test</title>\n"
         "<style type=\"text/css\">p { color: red }</style>\n"
         "<script type=\"text/javascript\">if (a < b) x = 1;</script>\n"
         "</head>\n<body bgcolor=\"#FFFFFF\" onload=\"f()\">\n"
         "<!-- a comment -- -->\n"
         "<h1 id=\"top\" align=center>Title</h1>\n"
         "<p>Text &copy; &#169; &#xA9; &bogus; &amp <b><i>nested</b></i>\n"
         "<a href=\"#top\" name=\"x\" target=_blank>link</a><img src=\"a.png\" alt=\"\">\n"
         "<table border=1 width=\"50%\"><tr><td colspan=2>cell<td>cell</table>\n"
         "<form action=\"x.cgi\" method=\"post\"><input type=\"checkbox\" checked>"
         "<select><option selected>1</select></form>\n"
         "<ul><li>one<li>two</ul><br/><hr noshade>\n"
         "<font color=\"red\" size=\"+1\">red</font><![CDATA[ raw ]]>\n"
         "<unknown attr>text</unknown></p>\n</body>\n</html>\n";
}

void writeFileOrDie(const std::string& path, std::string_view bytes) {
  std::string error;
  if (!makeDirectories(fs::path(path).parent_path().string()) ||
      !writeFileAtomically(path, bytes, &error))
    die("cannot write " + path + " " + error);
}

}  // namespace vmk::fuzz
