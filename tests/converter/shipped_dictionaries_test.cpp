// Facts on the dictionaries the build makes from the W3C DTDs.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "support/Plist.h"

namespace vmk {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::StartsWith;

const std::string kFolder = std::string(VELUMARK_BINARY_DIR) + "/share/velumark/dictionaries/";

class ShippedDictionary {
 public:
  explicit ShippedDictionary(const std::string& name) {
    file_ = readPlistFile(kFolder + name + ".dict");
  }
  bool loaded() const { return file_ && file_->asDict(); }
  std::string top(const std::string& key) const {
    const PlistValue* v = file_->asDict()->find(key);
    return v && v->asString() ? *v->asString() : "<absent>";
  }
  const PlistDict& table() const { return *file_->asDict()->find("DtdDictionary")->asDict(); }
  const PlistDict* record(const std::string& element) const {
    const PlistValue* v = table().find(element);
    return v ? v->asDict() : nullptr;
  }
  std::string type(const std::string& element) const {
    const PlistDict* r = record(element);
    return r ? *r->find("TypeString")->asString() : "<absent>";
  }
  std::string model(const std::string& element) const {
    const PlistDict* r = record(element);
    const PlistValue* v = r ? r->find("ContentModel") : nullptr;
    return v && v->asString() ? *v->asString() : "<absent>";
  }
  std::vector<std::string> list(const std::string& element, const std::string& key) const {
    std::vector<std::string> out;
    const PlistDict* r = record(element);
    const PlistValue* v = r ? r->find(key) : nullptr;
    if (v && v->asArray())
      for (const PlistValue& s : *v->asArray()) out.push_back(*s.asString());
    return out;
  }

 private:
  std::optional<PlistValue> file_;
};

#define LOAD_OR_SKIP(var, name) \
  ShippedDictionary var(name);  \
  if (!var.loaded()) GTEST_SKIP() << name << " was not generated (w3c-sgml-lib missing?)"

TEST(ShippedDictionariesTest, Html401Transitional) {
  LOAD_OR_SKIP(d, "HTML 4.01 Transitional");
  EXPECT_EQ(d.top("DoctypeName"), "-//W3C//DTD HTML 4.01 Transitional//EN");
  EXPECT_EQ(d.top("SystemIdentifier"), "http://www.w3.org/TR/html4/loose.dtd");
  EXPECT_EQ(d.type("TABLE"), "- -");
  EXPECT_THAT(d.list("TABLE", "ChildElements"), Contains("TBODY"));
  EXPECT_EQ(d.type("TBODY"), "O O");
  EXPECT_THAT(d.list("TR", "ParentElements"), Contains("TBODY"));
  EXPECT_EQ(d.type("BR"), "- O");
  EXPECT_THAT(d.list("BR", "ChildElements"), ElementsAre("EMPTY"));
  EXPECT_THAT(d.list("A", "Attributes"), Contains("href\tCDATA(URI)\t#IMPLIED"));
  EXPECT_THAT(d.list("TABLE", "Attributes"), Contains("align\t(left|center|right)\t#IMPLIED"));
  EXPECT_THAT(d.list("IMG", "Attributes"), Contains("alt\tCDATA(Text)\t#REQUIRED"));
  EXPECT_THAT(d.list("SCRIPT", "ChildElements"), Contains("CDATA"));
  EXPECT_EQ(d.table().size(), 89u);
}

TEST(ShippedDictionariesTest, Html401FramesetHasEveryTransitionalElement) {
  LOAD_OR_SKIP(frameset, "HTML 4.01 Frameset");
  LOAD_OR_SKIP(loose, "HTML 4.01 Transitional");
  EXPECT_EQ(frameset.top("DoctypeName"), "-//W3C//DTD HTML 4.01 Frameset//EN");
  EXPECT_EQ(frameset.top("SystemIdentifier"), "http://www.w3.org/TR/html4/frameset.dtd");
  EXPECT_EQ(frameset.type("FRAMESET"), "- -");
  EXPECT_THAT(frameset.list("FRAME", "ChildElements"), ElementsAre("EMPTY"));
  EXPECT_THAT(frameset.list("HTML", "ChildElements"), ElementsAre("HEAD", "FRAMESET"));
  for (const auto& [name, record] : loose.table()) {
    EXPECT_NE(frameset.record(name), nullptr) << name;
  }
}

TEST(ShippedDictionariesTest, XhtmlRecordsAreXmlWithLowerCaseNames) {
  for (const char* name :
       {"XHTML 1.0 Strict", "XHTML 1.0 Transitional", "XHTML 1.0 Frameset", "XHTML 1.1"}) {
    LOAD_OR_SKIP(d, name);
    EXPECT_GT(d.table().size(), 70u) << name;
    for (const auto& [element, record] : d.table()) {
      EXPECT_EQ(*record.asDict()->find("TypeString")->asString(), "XML") << name << " " << element;
      for (char c : element) EXPECT_FALSE(c >= 'A' && c <= 'Z') << name << " " << element;
    }
    EXPECT_THAT(d.list("br", "ChildElements"), ElementsAre("EMPTY")) << name;
    EXPECT_THAT(d.list("a", "Attributes"), Contains(StartsWith("href\tCDATA(URI"))) << name;
  }
  LOAD_OR_SKIP(strict, "XHTML 1.0 Strict");
  EXPECT_EQ(strict.top("DoctypeName"), "-//W3C//DTD XHTML 1.0 Strict//EN");
  EXPECT_EQ(strict.top("SystemIdentifier"), "http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd");
  EXPECT_THAT(strict.list("html", "Attributes"),
              Contains("xmlns\tCDATA(URI)\t#FIXED'http://www.w3.org/1999/xhtml'"));
}

TEST(ShippedDictionariesTest, EveryShippedFileHasItsIdentifierAndElements) {
  std::error_code ec;
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(kFolder, ec)) {
    ShippedDictionary d(entry.path().stem().string());
    ASSERT_TRUE(d.loaded()) << entry.path();
    EXPECT_TRUE(d.top("DoctypeName").starts_with("-//")) << entry.path();
    EXPECT_EQ(d.top("DoctypeName").find('?'), std::string::npos) << entry.path();
    EXPECT_GT(d.table().size(), 40u) << entry.path();
    ++count;
  }
  if (count == 0) GTEST_SKIP() << "no dictionaries were generated";
  EXPECT_GE(count, 7);
  LOAD_OR_SKIP(html32, "HTML 3.2");
  EXPECT_EQ(html32.top("DoctypeName"), "-//W3C//DTD HTML 3.2 Final//EN");
  EXPECT_EQ(html32.top("SystemIdentifier"), "<absent>");
}

TEST(ShippedDictionariesTest, Html401ContentModelsAndExceptions) {
  LOAD_OR_SKIP(d, "HTML 4.01 Transitional");
  EXPECT_EQ(d.model("TABLE"), "(CAPTION?,(COL*|COLGROUP*),THEAD?,TFOOT?,TBODY+)");
  EXPECT_EQ(d.model("HEAD"), "(TITLE&ISINDEX?&BASE?)");
  EXPECT_THAT(d.list("HEAD", "Inclusions"),
              ElementsAre("SCRIPT", "STYLE", "META", "LINK", "OBJECT"));
  EXPECT_THAT(d.model("BODY"), StartsWith("(P|H1|H2|H3|H4|H5|H6|UL|OL|DIR|MENU|PRE|DL|DIV|"));
  EXPECT_THAT(d.model("BODY"), ::testing::EndsWith("|LABEL|BUTTON)*"));
  EXPECT_THAT(d.list("BODY", "Inclusions"), ElementsAre("INS", "DEL"));
  EXPECT_THAT(d.list("PRE", "Exclusions"), ElementsAre("IMG", "OBJECT", "APPLET", "BIG", "SMALL",
                                                       "SUB", "SUP", "FONT", "BASEFONT"));
  EXPECT_THAT(d.list("A", "Exclusions"), ElementsAre("A"));
  EXPECT_THAT(d.model("FIELDSET"), StartsWith("(#PCDATA,LEGEND,(P|"));
  EXPECT_EQ(d.model("SCRIPT"), "CDATA");  // CDATA(Script) in the expanded text
  EXPECT_EQ(d.model("BR"), "EMPTY");
  EXPECT_TRUE(d.list("BR", "Inclusions").empty());
  EXPECT_FALSE(d.record("BR")->contains("Exclusions"));
  LOAD_OR_SKIP(f, "HTML 4.01 Frameset");
  EXPECT_EQ(f.model("FRAMESET"), "((FRAMESET|FRAME)+&NOFRAMES?)");
  EXPECT_EQ(f.model("HTML"), "(HEAD,FRAMESET)");
  EXPECT_THAT(f.list("NOFRAMES", "Exclusions"), ElementsAre("NOFRAMES"));
}

TEST(ShippedDictionariesTest, XhtmlContentModelsKeepCaseAndHaveNoExceptions) {
  LOAD_OR_SKIP(d, "XHTML 1.0 Strict");
  EXPECT_EQ(d.model("table"), "(caption?,(col*|colgroup*),thead?,tfoot?,(tbody+|tr+))");
  EXPECT_EQ(d.model("html"), "(head,body)");
  EXPECT_EQ(d.model("script"), "(#PCDATA)");
  EXPECT_EQ(d.model("br"), "EMPTY");
  EXPECT_THAT(d.model("head"), StartsWith("((script|style|meta|link|object)*,((title,"));
  LOAD_OR_SKIP(f, "XHTML 1.0 Frameset");
  EXPECT_EQ(f.model("frameset"), "(frameset|frame|noframes)*");
  for (const auto& [name, record] : d.table().entries()) {
    EXPECT_FALSE(record.asDict()->contains("Inclusions")) << name;
    EXPECT_FALSE(record.asDict()->contains("Exclusions")) << name;
  }
}

TEST(ShippedDictionariesTest, EveryShippedElementHasAContentModel) {
  size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(kFolder)) {
    if (entry.path().extension() != ".dict") continue;
    ShippedDictionary d(entry.path().stem().string());
    ASSERT_TRUE(d.loaded()) << entry.path();
    ++files;
    for (const auto& [name, record] : d.table().entries()) {
      EXPECT_NE(d.model(name), "<absent>") << entry.path() << " " << name;
    }
  }
  if (files == 0) GTEST_SKIP() << "no dictionaries were generated";
}

}  // namespace
}  // namespace vmk
