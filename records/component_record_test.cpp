#include "records/component_record.h"

#include <gtest/gtest.h>

#include <array>
#include <clocale>
#include <cstdint>
#include <limits>
#include <string>

#include "records/base.h"
#include "testing/seed.h"
#include "testing/test_support.h"

namespace {

using host::ElementType;
using host::seed::DesignBuilder;
using host::seed::ScopedSession;

// Texts are locale text: the cases run under a UTF-8 locale, restored afterwards.
class ComponentRecordTest : public ::testing::Test {
 protected:
  ComponentRecordTest() : m_savedLocale(std::setlocale(LC_CTYPE, nullptr)) {
    std::setlocale(LC_CTYPE, "C.UTF-8");
  }
  ~ComponentRecordTest() override { std::setlocale(LC_CTYPE, m_savedLocale.c_str()); }

  // The record of handle for the folder C:\Temp\plan\FOLDER.
  static std::string Write(const std::wstring& folderName, ElementHandleCR handle) {
    std::string buffer;
    return std::string(componentRecordText(
        buffer, RecordFolder(WString(L"C:\\Temp\\plan\\" + folderName)), handle));
  }

  std::string m_savedLocale;
};

// The record of an element whose folder name is code, as locale (UTF-8) bytes.
std::string recordText(const std::string& code, const std::string& elementId,
                       const std::string& name) {
  return test_support::WithCrLf("{\n\t\"ElementID\" : \"" + elementId +
                                "\",\n\t\"attrid\" : \"componentAttribtes/" + code +
                                "\",\n\t\"avoclass\" : \"components\",\n\t\"code\" : \"" + code +
                                "\",\n\t\"gid\" : \"componentGeoes/" + code + R"(",
	"matrix" : 
	[
		1,
		0,
		0,
		0,
		0,
		1,
		0,
		0,
		0,
		0,
		1,
		0,
		0,
		0,
		0,
		1
	],
	"name" : ")" + name + "\",\n\t\"revision\" : \"1\",\n\t\"type\" : \"orvelElement\"\n}");
}

TEST_F(ComponentRecordTest, NamesTheElementByItsFolderIdAndDescription) {
  const std::string e200 = [] {
    std::string text;
    for (int i = 0; i < 200; ++i) text += "\xC3\xA9";  // é: 400 bytes, kept whole
    return text;
  }();
  const struct {
    std::wstring folder;
    uint64_t id;
    ElementType type;
    std::string cellName;
    std::string expectedCode, expectedId, expectedName;
  } cases[] = {
      {L"plan.dgn - Default - 1234", 1234, ElementType::Mesh, "", "plan.dgn - Default - 1234",
       "1234", "Mesh"},
      {L"plan.dgn - Default - 0", 0, ElementType::Sphere, "", "plan.dgn - Default - 0", "0",
       "Sphere"},
      {L"plan.dgn - Default - 18446744073709551615", std::numeric_limits<uint64_t>::max(),
       ElementType::Cell, "Door", "plan.dgn - Default - 18446744073709551615",
       "18446744073709551615", "Cell: Door"},
      {L"pl\u00e4n.dgn - Stra\u00dfe - 5", 5, ElementType::Cell, e200,
       "pl\xC3\xA4n.dgn - Stra\xC3\x9F"
       "e - 5",
       "5", "Cell: " + e200},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expectedCode);
    DesignBuilder builder(L"Z:\\p\\plan.dgn");
    host::Element& element = builder.AddElement(builder.AddModel("Default"), c.type);
    element.id = c.id;
    element.cellName = c.cellName;
    element.transform = Transform::FromRowValues(
        std::array<double, 12>{2, 0, 0, 10, 0, 2, 0, 20, 0, 0, 2, 30}.data());
    ScopedSession session(builder.Release());
    ElementHandle handle(&element, ISessionMgr::GetActiveDgnModelRefP());
    EXPECT_EQ(Write(c.folder, handle), recordText(c.expectedCode, c.expectedId, c.expectedName));
  }
}

TEST_F(ComponentRecordTest, AnElementWithoutADisplayHandlerGetsAnEmptyName) {
  DesignBuilder builder(L"Z:\\p\\plan.dgn");
  builder.AddModel("Default");
  ScopedSession session(builder.Release());
  ElementHandle missing(ElementId(77), ISessionMgr::GetActiveDgnModelRefP());
  ASSERT_EQ(missing.GetHandler().GetDisplayHandler(), nullptr);
  EXPECT_EQ(Write(L"plan.dgn - Default - 77", missing),
            recordText("plan.dgn - Default - 77", "0", ""));
}

}  // namespace
