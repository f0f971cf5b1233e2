#include "records/attribute_record.h"

#include <gtest/gtest.h>

#include <json/json.h>

#include <clocale>
#include <random>
#include <string>
#include <vector>

#include "records/base.h"
#include "testing/record_text.h"
#include "testing/seed.h"
#include "testing/test_support.h"

namespace {

using host::ElementType;
using host::Instance;
using host::seed::DesignBuilder;
using host::seed::ScopedSession;

const wchar_t kFolder[] = L"C:\\Temp\\plan\\plan.dgn - Default - 7";

// The record around the text of "attribute" (written with LF).
std::string recordText(const std::string& attribute) {
  return test_support::WithCrLf(
      "{\n\t\"attribute\" : " + attribute +
      ",\n\t\"avoclass\" : \"orvelAttributes\",\n\t\"code\" : \"plan.dgn - Default - "
      "7\"\n}");
}

// Texts are locale text: the cases run under a UTF-8 locale, restored afterwards. Every
// case's design has the same classes; each case gives the element's instances.
class AttributeRecordTest : public ::testing::Test {
 protected:
  AttributeRecordTest() : m_savedLocale(std::setlocale(LC_CTYPE, nullptr)) {
    std::setlocale(LC_CTYPE, "C.UTF-8");
  }
  ~AttributeRecordTest() override { std::setlocale(LC_CTYPE, m_savedLocale.c_str()); }

  std::string Write(std::vector<Instance> instances, ElementType type = ElementType::Line) {
    DesignBuilder builder(L"Z:\\p\\plan.dgn");
    builder.AddClass("Door", "Door", {{"Width", "Width"}, {"FireRating", "Fire rating"}});
    builder.AddClass("Window", "Window", {{"Glazed", "Glazed"}});
    builder.AddClass("DoorType", "Door", {{"Maker", "Maker"}});
    builder.AddClass("Panel", "Panel", {{"Size1", "Size"}, {"Note", ""}, {"Size2", "Size"}});
    builder.AddClass("Kinds", "Kinds",
                     {{"Text", "Text"},
                      {"Count", "Count"},
                      {"Length", "Length"},
                      {"Flag", "Flag"},
                      {"Where", "Where"}});
    builder.AddClass("Unlabelled", "", {{"Value", ""}});
    builder.AddClass("Local", "T\u00fcr", {{"Breite", "Gr\u00f6\u00dfe"}});
    host::Element& element = builder.AddElement(builder.AddModel("Default"), type);
    element.instances = std::move(instances);
    if (type == ElementType::Cell)
      builder.AddChild(element, ElementType::Line).instances = {{"Window", {{"Glazed", true}}}};
    ScopedSession session(builder.Release());
    std::string buffer;
    return std::string(
        attributeRecordText(buffer, RecordFolder(WString(kFolder)),
                            ElementHandle(&element, ISessionMgr::GetActiveDgnModelRefP())));
  }

  std::string m_savedLocale;
};

TEST_F(AttributeRecordTest, ClassMembersAreNullUntilAValueWasStoredThenEmptyObjects) {
  const struct {
    const char* name;
    std::vector<Instance> instances;
    std::string attribute;
  } cases[] = {
      {"no instance", {}, "null"},
      {"one instance without values", {{"Door", {}}}, "\n\t{\n\t\t\"Door\" : null\n\t}"},
      {"values, then an instance without",
       {{"Door", {{"Width", 900.0}}}, {"Window", {}}},
       "\n\t{\n\t\t\"Door\" : \n\t\t{\n\t\t\t\"Width\" : \"900\"\n\t\t},\n\t\t\"Window\" : "
       "{}\n\t}"},
      {"without, then values, then without",
       {{"Window", {}}, {"Door", {{"Width", 900.0}}}, {"Panel", {}}},
       "\n\t{\n\t\t\"Door\" : \n\t\t{\n\t\t\t\"Width\" : \"900\"\n\t\t},\n\t\t\"Panel\" : {},"
       "\n\t\t\"Window\" : null\n\t}"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Write(c.instances), recordText(c.attribute));
  }
}

TEST_F(AttributeRecordTest, LaterLabelsReplaceEarlierOnes) {
  const struct {
    const char* name;
    std::vector<Instance> instances;
    std::string attribute;
  } cases[] = {
      {"classes sharing a label: the later instance wins whole",
       {{"Door", {{"Width", 900.0}, {"FireRating", std::string("EI30")}}},
        {"DoorType", {{"Maker", std::string("Acme")}}}},
       "\n\t{\n\t\t\"Door\" : \n\t\t{\n\t\t\t\"Maker\" : \"Acme\"\n\t\t}\n\t}"},
      {"properties sharing a label: the later value wins",
       {{"Panel", {{"Size1", std::string("first")}, {"Size2", std::string("second")}}}},
       "\n\t{\n\t\t\"Panel\" : \n\t\t{\n\t\t\t\"Size\" : \"second\"\n\t\t}\n\t}"},
      {"a later property without a value replaces nothing",
       {{"Panel", {{"Size1", std::string("first")}, {"Note", std::string("n")}}}},
       "\n\t{\n\t\t\"Panel\" : \n\t\t{\n\t\t\t\"\" : \"n\",\n\t\t\t\"Size\" : "
       "\"first\"\n\t\t}\n\t}"},
      {"empty labels are empty keys",
       {{"Unlabelled", {{"Value", std::string("x")}}}},
       "\n\t{\n\t\t\"\" : \n\t\t{\n\t\t\t\"\" : \"x\"\n\t\t}\n\t}"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Write(c.instances), recordText(c.attribute));
  }
}

TEST_F(AttributeRecordTest, EveryValueIsStoredAsItsText) {
  EXPECT_EQ(Write({{"Kinds",
                    {{"Text", std::string("say \"hi\"")},
                     {"Count", int64_t{-3}},
                     {"Length", 0.1},
                     {"Flag", false},
                     {"Where", DPoint3d{1, 2.5, -3}}}}}),
            recordText(R"(
	{
		"Kinds" : 
		{
			"Count" : "-3",
			"Flag" : "False",
			"Length" : "0.1",
			"Text" : "say \"hi\"",
			"Where" : "1,2.5,-3"
		}
	})"));
}

TEST_F(AttributeRecordTest, NonAsciiAndLongTextsAreWholeLocaleBytes) {
  std::string longValue;
  for (int i = 0; i < 150; ++i) longValue += "\xE2\x82\xAC";  // €: 450 bytes
  EXPECT_EQ(Write({{"Local", {{"Breite", longValue}}}}),
            recordText("\n\t{\n\t\t\"T\xC3\xBCr\" : \n\t\t{\n\t\t\t\"Gr\xC3\xB6\xC3\x9F"
                       "e\" : \"" +
                       longValue + "\"\n\t\t}\n\t}"));
}

// Random instances of the design's classes (labels shared by classes and by properties, empty
// and non-ASCII labels, values of texts and integers or none) give the record of the document
// that replaces, label by label, what an earlier instance or property gave with what a later
// one gives.
TEST_F(AttributeRecordTest, RandomInstancesGiveTheDocumentOfTheirLastLabels) {
  struct Property {
    const char* name;
    const char* label;
  };
  struct Class {
    const char* name;
    const char* label;
    std::vector<Property> properties;
  };
  const Class classes[] = {
      {"Door", "Door", {{"Width", "Width"}, {"FireRating", "Fire rating"}}},
      {"Window", "Window", {{"Glazed", "Glazed"}}},
      {"DoorType", "Door", {{"Maker", "Maker"}}},
      {"Panel", "Panel", {{"Size1", "Size"}, {"Note", ""}, {"Size2", "Size"}}},
      {"Unlabelled", "", {{"Value", ""}}},
      {"Local",
       "T\u00fcr",
       {{"Breite",
         "Gr\u00f6\u00df"
         "e"}}},
  };
  const std::string texts[] = {"", "x", "say \"hi\"",
                               "\xE2\x82\xAC"
                               "uro",
                               std::string(40, 'w')};
  std::mt19937 random(17);
  for (int i = 0; i < 300; ++i) {
    std::vector<Instance> instances;
    Json::Value attribute;
    bool anyValue = false;
    // Now and then more instances than a class list orders one by one.
    for (int n = static_cast<int>(random() % (i % 8 == 0 ? 30 : 6)); n > 0; --n) {
      const Class& c = classes[random() % std::size(classes)];
      Instance instance{c.name, {}};
      Json::Value members(Json::objectValue);
      for (const Property& property : c.properties) {
        if (random() % 3 == 0) continue;
        const bool isText = random() % 2 == 0;
        const std::string text = isText ? texts[random() % std::size(texts)]
                                        : std::to_string(static_cast<int>(random() % 2000) - 1000);
        if (isText) {
          instance.values[property.name] = text;
        } else {
          instance.values[property.name] = static_cast<int64_t>(std::stoll(text));
        }
        members[property.label] = text;
      }
      attribute[c.label] = !members.empty() ? members
                           : anyValue       ? Json::Value(Json::objectValue)
                                            : Json::Value();
      anyValue = anyValue || !members.empty();
      instances.push_back(std::move(instance));
    }
    Json::Value document;
    document["attribute"] = attribute;
    document["avoclass"] = "orvelAttributes";
    document["code"] = "plan.dgn - Default - 7";
    ASSERT_EQ(Write(instances), toRecordText(document)) << i;
  }
}

TEST_F(AttributeRecordTest, ACellCarriesItsOwnInstancesOnly) {
  EXPECT_EQ(Write({{"Door", {{"Width", int64_t{900}}}}}, ElementType::Cell),
            recordText("\n\t{\n\t\t\"Door\" : \n\t\t{\n\t\t\t\"Width\" : \"900\"\n\t\t}\n\t}"));
}

}  // namespace
