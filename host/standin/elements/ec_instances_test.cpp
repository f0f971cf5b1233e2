#include "host/ec_instances.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "testing/seed.h"

namespace {

using host::ElementType;
using host::seed::DesignBuilder;
using host::seed::ScopedSession;

TEST(ECValueTest, ToStringGivesEachKindsText) {
  const struct {
    ECValue value;
    std::wstring expected;
  } cases[] = {
      {ECValue(), L""},
      {ECValue(L"Fire \u00e9 rating"), L"Fire \u00e9 rating"},
      {ECValue(L""), L""},
      {ECValue(int64_t{42}), L"42"},
      {ECValue(int64_t{-7}), L"-7"},
      {ECValue(std::numeric_limits<int64_t>::min()), L"-9223372036854775808"},
      {ECValue(900.0), L"900"},
      {ECValue(0.1), L"0.1"},
      {ECValue(1.0 / 3), L"0.3333333333333333"},
      {ECValue(1e21), L"1e+21"},
      {ECValue(-0.0), L"-0"},
      {ECValue(true), L"True"},
      {ECValue(false), L"False"},
      {ECValue(DPoint3d{1, 2.5, -3}), L"1,2.5,-3"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(BeStringUtilities::WCharToUtf8(c.expected.c_str()));
    EXPECT_EQ(c.value.ToString(), c.expected);
  }
  EXPECT_TRUE(ECValue().IsNull());
  EXPECT_FALSE(ECValue(L"").IsNull());
}

// Class label, then label=value for every property that holds a value, per instance.
std::vector<std::string> describeInstances(ElementHandleCR element, unsigned* count = nullptr) {
  FindInstancesScopePtr scope =
      FindInstancesScope::CreateScope(element, FindInstancesScopeOption(DgnECHostType(1), true));
  ECQueryPtr query = ECQuery::CreateQuery(ECQueryProcessFlags(6));
  std::vector<std::string> seen;
  for (DgnECInstancePtr instance :
       DgnECManager::GetManager().FindInstances(*scope, *query, count)) {
    const ECClass& ecClass = instance->GetClass();
    std::string text = BeStringUtilities::WCharToUtf8(ecClass.GetDisplayLabel().c_str()) + ":";
    for (const ECProperty* property : ecClass.GetProperties()) {
      ECValue value;
      EXPECT_EQ(instance->GetValue(value, property->GetName().c_str()), ECObjectsStatus::Success);
      text.append(" ")
          .append(BeStringUtilities::WCharToUtf8(property->GetDisplayLabel().c_str()))
          .append("=")
          .append(value.IsNull() ? "null"
                                 : BeStringUtilities::WCharToUtf8(value.ToString().c_str()));
    }
    seen.push_back(text);
  }
  return seen;
}

class InstancesTest : public ::testing::Test {
 protected:
  InstancesTest() : m_model(m_builder.AddModel("Default")) {
    m_builder.AddClass("Door", "Door",
                       {{"Width", "Width"}, {"FireRating", "Fire rating"}, {"Origin", ""}});
    m_builder.AddClass("Window", "Opening", {{"Glazed", "Glazed"}, {"Panes", "Panes"}});
  }

  void Open() { m_session = std::make_unique<ScopedSession>(m_builder.Release()); }
  DgnModelRefP ModelRef() const { return ISessionMgr::GetActiveDgnModelRefP(); }

  DesignBuilder m_builder;
  host::Model& m_model;
  std::unique_ptr<ScopedSession> m_session;
};

TEST_F(InstancesTest, FindsTheElementsInstancesInOrderWithPropertiesInClassOrder) {
  host::Element& element = m_builder.AddElement(m_model, ElementType::Line);
  element.instances = {
      {"Window", {{"Glazed", true}, {"Panes", int64_t{3}}}},
      {"Door", {{"Width", 900.0}, {"Origin", DPoint3d{1, 2, 3}}}},
      {"Door", {}},
  };
  Open();
  unsigned count = 99;
  EXPECT_EQ(describeInstances(ElementHandle(&element, ModelRef()), &count),
            (std::vector<std::string>{"Opening: Glazed=True Panes=3",
                                      "Door: Width=900 Fire rating=null =1,2,3",
                                      "Door: Width=null Fire rating=null =null"}));
  EXPECT_EQ(count, 3u);
}

TEST_F(InstancesTest, ACellHasItsOwnInstancesNotItsChildrens) {
  host::Element& cell = m_builder.AddElement(m_model, ElementType::Cell);
  cell.instances = {{"Door", {{"Width", std::string("wide")}}}};
  m_builder.AddChild(cell, ElementType::Line).instances = {{"Window", {}}};
  Open();
  EXPECT_EQ(describeInstances(ElementHandle(&cell, ModelRef())),
            (std::vector<std::string>{"Door: Width=wide Fire rating=null =null"}));
}

TEST_F(InstancesTest, ElementsWithoutInstancesAndInvalidHandlesFindNone) {
  host::Element& bare = m_builder.AddElement(m_model, ElementType::Line);
  host::Element& unknownClass = m_builder.AddElement(m_model, ElementType::Line);
  unknownClass.instances = {{"NoSuchClass", {}}, {"Window", {}}};
  Open();
  unsigned count = 99;
  EXPECT_TRUE(describeInstances(ElementHandle(&bare, ModelRef()), &count).empty());
  EXPECT_EQ(count, 0u);
  EXPECT_TRUE(describeInstances(ElementHandle()).empty());
  EXPECT_EQ(describeInstances(ElementHandle(&unknownClass, ModelRef())),
            (std::vector<std::string>{"Opening: Glazed=null Panes=null"}));
}

TEST_F(InstancesTest, GetValueOfAPropertyTheClassLacksFailsWithANullValue) {
  host::Element& element = m_builder.AddElement(m_model, ElementType::Line);
  element.instances = {{"Door", {{"Width", 900.0}}}};
  Open();
  ElementHandle handle(&element, ModelRef());
  FindInstancesScopePtr scope = FindInstancesScope::CreateScope(handle, FindInstancesScopeOption());
  DgnECInstanceIterable instances = DgnECManager::GetManager().FindInstances(
      *scope, *ECQuery::CreateQuery(ECQueryProcessFlags(6)));
  ASSERT_FALSE(instances.empty());
  const IECInstance& instance = **instances.begin();
  ECValue value(L"stale");
  EXPECT_EQ(instance.GetValue(value, L"Height"), ECObjectsStatus::PropertyNotFound);
  EXPECT_TRUE(value.IsNull());
  EXPECT_EQ(instance.GetValue(value, nullptr), ECObjectsStatus::PropertyNotFound);
  EXPECT_EQ(instance.GetValue(value, L"Width"), ECObjectsStatus::Success);
  EXPECT_EQ(value.ToString(), L"900");
  EXPECT_EQ(instance.GetClass().GetName(), L"Door");
}

TEST_F(InstancesTest, InstancesOutliveTheSearchThatFoundThem) {
  host::Element& element = m_builder.AddElement(m_model, ElementType::Line);
  element.instances = {{"Door", {{"Width", std::string("kept")}}}};
  Open();
  DgnECInstancePtr kept;
  {
    ElementHandle handle(&element, ModelRef());
    FindInstancesScopePtr scope =
        FindInstancesScope::CreateScope(handle, FindInstancesScopeOption());
    for (DgnECInstancePtr instance : DgnECManager::GetManager().FindInstances(
             *scope, *ECQuery::CreateQuery(ECQueryProcessFlags(6))))
      kept = instance;
  }
  m_session.reset();
  ASSERT_TRUE(kept.IsValid());
  ECValue value;
  kept->GetValue(value, L"Width");
  EXPECT_EQ(value.ToString(), L"kept");
  EXPECT_EQ(kept->GetClass().GetDisplayLabel(), L"Door");
}

}  // namespace
