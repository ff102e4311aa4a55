#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "converter/EntityCatalog.h"
#include "converter/MyDtd.h"
#include "support/Paths.h"

namespace vmk {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

std::string externalPath(const std::string& name) {
  return std::string(VELUMARK_TEST_DATA) + "/converter/external/" + name;
}

std::unique_ptr<MyDtd> convert(const std::string& name, const EntityCatalog* catalog,
                               bool resolve = true) {
  auto dtd = std::make_unique<MyDtd>();
  dtd->setSourceData(readFileContents(externalPath(name)).value_or(""));
  if (resolve) dtd->enableExternalEntities(externalPath(name), catalog);
  dtd->ParseDTD();
  return dtd;
}

std::vector<std::string> names(const MyDtd& dtd) {
  std::vector<std::string> out;
  for (const auto& [name, record] : dtd.elements()) out.push_back(name);
  return out;
}

TEST(EntityCatalogTest, ReadsBothCatalogForms) {
  EntityCatalog soc;
  ASSERT_TRUE(soc.load(externalPath("catalog.soc")));
  EXPECT_EQ(soc.fileForPublicId("-//TEST//ENTITIES  Module 1.0//EN"),
            externalPath("modules/module.mod"));
  EntityCatalog xml;
  ASSERT_TRUE(xml.load(externalPath("catalog.xml")));
  EXPECT_EQ(xml.fileForPublicId("-//TEST//ENTITIES Module 1.0//EN"),
            externalPath("modules/module.mod"));
  EXPECT_EQ(xml.fileForSystemId("http://example.org/other.mod"),
            externalPath("modules/module.mod"));
  EXPECT_FALSE(xml.fileForPublicId("-//TEST//ENTITIES Other//EN"));
  EXPECT_FALSE(EntityCatalog().load(externalPath("no-such-catalog.xml")));
}

TEST(ExternalEntitiesTest, IncludesRelativeFilesAndCatalogEntries) {
  EntityCatalog catalog;
  ASSERT_TRUE(catalog.load(externalPath("catalog.soc")));
  auto dtd = convert("main.dtd", &catalog);
  EXPECT_THAT(names(*dtd), ::testing::ElementsAre("MODULE", "PART", "ROOT"));
  EXPECT_THAT(dtd->elements().at("ROOT").childElements, ::testing::ElementsAre("PART", "MODULE"));
  EXPECT_THAT(*dtd->elements().at("PART").attributes,
              ::testing::ElementsAre("src\tCDATA(URI)\t#IMPLIED"));
  EXPECT_THAT(dtd->monitorText(), HasSubstr("Included %Part; from"));
  EXPECT_THAT(
      dtd->monitorText(),
      HasSubstr(
          "*** External entity Missing (-//TEST//ENTITIES Nowhere//EN) has no local file.\n"));
  EXPECT_EQ(dtd->doctypeName(), "-//TEST//DTD Main 1.0//EN");
}

TEST(ExternalEntitiesTest, WithoutCatalogTheModuleStaysOut) {
  auto dtd = convert("main.dtd", nullptr);
  EXPECT_THAT(names(*dtd), ::testing::ElementsAre("PART", "ROOT"));
}

TEST(ExternalEntitiesTest, WithoutTheOptionNothingIsRead) {
  EntityCatalog catalog;
  ASSERT_TRUE(catalog.load(externalPath("catalog.soc")));
  auto dtd = convert("main.dtd", &catalog, false);
  // The external entity's text is its first literal; the marked section's entity is unknown.
  EXPECT_EQ(dtd->entities().at("Part"), "part.ent");
  EXPECT_THAT(names(*dtd), ::testing::ElementsAre("ROOT"));
  EXPECT_THAT(dtd->monitorText(),
              HasSubstr("*** Entity Mod.included not found in ExtractEntity().\n"));
  EXPECT_THAT(dtd->monitorText(), Not(HasSubstr("Included")));
}

TEST(ExternalEntitiesTest, IncludeCyclesAreCut) {
  auto dtd = convert("cycle.dtd", nullptr);
  EXPECT_THAT(names(*dtd), ::testing::ElementsAre("CYCLE", "FROM-A", "FROM-B"));
  EXPECT_THAT(dtd->monitorText(), HasSubstr("*** External entity Self includes"));
  EXPECT_THAT(dtd->monitorText(), HasSubstr("*** External entity A2 includes"));
}

}  // namespace
}  // namespace vmk
