#include "host/element_handle.h"
#include "standin/inside_access.h"

#include <gtest/gtest.h>

#include "testing/seed.h"

namespace {

using host::ElementType;
using host::seed::DesignBuilder;
using host::seed::ScopedSession;

TEST(ElementHandleTest, UnknownIdsGiveAnInvalidHandleWithoutDisplayHandler) {
  DesignBuilder builder;
  host::Model& model = builder.AddModel("Default");
  host::Element& cell = builder.AddElement(model, ElementType::Cell);
  cell.cellName = "Door";
  ScopedSession session(builder.Release());
  ElementHandle missing(ElementId(999), ISessionMgr::GetActiveDgnModelRefP());
  EXPECT_FALSE(missing.IsValid());
  EXPECT_EQ(missing.GetHandler().GetDisplayHandler(), nullptr);
  EXPECT_EQ(missing.GetUnstableMSElementCP(), nullptr);
  DRange3d range = DRange3d::NullRange();
  EXPECT_NE(mdlElement_extractRange(&range, missing.GetUnstableMSElementCP()), SUCCESS);

  ElementHandle found(cell.id, ISessionMgr::GetActiveDgnModelRefP());
  ASSERT_TRUE(found.IsValid());
  WString description;
  found.GetHandler().GetDisplayHandler()->GetDescription(found, description, 256);
  EXPECT_EQ(description, L"Cell: Door");
}

TEST(ElementHandleTest, StoredRangeIsTheDesignsOrElseTheComputedOne) {
  DesignBuilder builder;
  host::Model& model = builder.AddModel("Default");
  host::Element& stale = builder.AddElement(model, ElementType::Sphere);
  stale.center = {10, 20, 30};
  stale.radius = 5;
  stale.storedRange = DRange3d{{0, 0, 0}, {1, 1, 1}};
  host::Element& fresh = builder.AddElement(model, ElementType::Sphere);
  fresh.center = {10, 20, 30};
  fresh.radius = 5;
  ScopedSession session(builder.Release());
  struct Case {
    ElementId id;
    DRange3d stored;
  };
  const Case cases[] = {{stale.id, {{0, 0, 0}, {1, 1, 1}}},
                        {fresh.id, {{5, 15, 25}, {15, 25, 35}}}};
  for (const auto& c : cases) {
    ElementHandle element(c.id, ISessionMgr::GetActiveDgnModelRefP());
    DRange3d basis = DRange3d::NullRange(), stored = DRange3d::NullRange();
    ASSERT_TRUE(element.GetHandler().GetDisplayHandler()->GetBasisRange(element, basis));
    EXPECT_EQ(basis, (DRange3d{{5, 15, 25}, {15, 25, 35}}));
    EXPECT_EQ(mdlElement_extractRange(&stored, element.GetUnstableMSElementCP()), SUCCESS);
    EXPECT_EQ(stored, c.stored);
  }
}

TEST(ElementHandleTest, AddToModelGivesTheNextIdAndMarksTheModelChanged) {
  DesignBuilder builder;
  host::Model& model = builder.AddModel("Default");
  builder.AddElement(model, ElementType::Sphere).id = 41;
  ScopedSession session(builder.Release());
  EditElementHandle element;
  auto mesh = std::make_unique<host::Element>();
  mesh->type = ElementType::Mesh;
  mesh->level = 7;
  mesh->transparency = 0.5;
  host::Inside::SetNewElement(element, std::move(mesh), ISessionMgr::GetActiveDgnModelRefP());
  ASSERT_NE(element.GetElementDescrCP(), nullptr);
  EXPECT_EQ(element.AddToModel(), SUCCESS);
  EXPECT_EQ(element.GetElementId(), 42u);
  const host::Model& active = host::Inside::ModelOf(*ISessionMgr::GetActiveDgnModelP());
  EXPECT_TRUE(active.changed);
  ASSERT_EQ(active.elements.size(), 2u);
  EXPECT_EQ(active.elements.back()->level, host::kDefaultLevelId);
  EXPECT_EQ(active.elements.back()->transparency, 0);
  EXPECT_NE(element.AddToModel(), SUCCESS);  // nothing new left to add
}

}  // namespace
