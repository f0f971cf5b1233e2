#include "host/dgn_model.h"

#include <gtest/gtest.h>

#include "host/element_handle.h"
#include "host/file_name.h"
#include "host/scan_criteria.h"
#include "testing/seed.h"

namespace {

using host::ElementType;
using host::seed::DesignBuilder;
using host::seed::ScopedSession;

// One attached design file with one model that may attach further files.
std::unique_ptr<host::DesignFile> design(const std::wstring& name,
                                         std::vector<std::string> attachments) {
  DesignBuilder builder(L"Z:\\p\\" + name);
  host::Model& model = builder.AddModel("Default");
  builder.AddElement(model, ElementType::Line).points = {{0, 0, 0}, {1, 0, 0}};
  for (const auto& file : attachments) builder.AddAttachment(model, file);
  return builder.Release();
}

// "file" for present references, "file!" for missing ones, in walk order.
std::vector<std::string> walk(DgnModelRefP root) {
  std::vector<std::string> seen;
  ReachableModelRefCollection reachable = root->GetReachableModelRefs(nullptr);
  for (auto it = reachable.begin(); it != reachable.end(); it.MoveToNext()) {
    DgnModelRefP ref = it.GetCurrent();
    if (ref->IsDgnAttachment() && ref->AsDgnAttachmentCP()->IsMissingFile()) {
      seen.push_back(BeStringUtilities::WCharToUtf8(ref->AsDgnAttachmentCP()->GetAttachFileName()) +
                     "!");
    } else {
      seen.push_back(BeStringUtilities::WCharToUtf8(
          BeFileName(BeFileName::NameAndExt, ref->GetDgnFileP()->GetFileName().c_str()).c_str()));
    }
  }
  return seen;
}

TEST(ReachableModelRefsTest, WalksAttachmentsDepthFirstAndStopsAtCycles) {
  std::vector<std::unique_ptr<host::DesignFile>> others;
  others.push_back(design(L"B.dgn", {"C.dgn", "A.dgn"}));  // A.dgn leads back: not followed
  others.push_back(design(L"C.dgn", {"Gone.dgn"}));
  ScopedSession session(design(L"A.dgn", {"B.dgn", "C.dgn", "B.dgn"}), std::move(others));
  EXPECT_EQ(walk(ISessionMgr::GetActiveDgnModelRefP()),
            (std::vector<std::string>{"A.dgn", "B.dgn", "C.dgn", "Gone.dgn!", "A.dgn", "C.dgn",
                                      "Gone.dgn!", "B.dgn", "C.dgn", "Gone.dgn!", "A.dgn"}));
  ASSERT_EQ(session.Notes().size(), 1u);  // the missing file is noted once
  EXPECT_NE(session.Notes()[0].find("Gone.dgn"), std::string::npos);
}

// Twenty levels of files, each attaching the next one twice: the walk yields every path
// (2^21 - 1 references) while the session holds each model and its attachments once.
TEST(ReachableModelRefsTest, AttachmentsThatFanOutAreSharedAndWalkedPerPath) {
  constexpr int kLevels = 20;
  auto name = [](int level) { return "L" + std::to_string(level) + ".dgn"; };
  std::vector<std::unique_ptr<host::DesignFile>> others;
  for (int level = 1; level <= kLevels; ++level) {
    std::wstring file = BeStringUtilities::Utf8ToWChar(name(level).c_str());
    others.push_back(level == kLevels ? design(file, {})
                                      : design(file, {name(level + 1), name(level + 1)}));
  }
  ScopedSession session(design(L"L0.dgn", {name(1), name(1)}), std::move(others));
  DgnModelRefP ref = ISessionMgr::GetActiveDgnModelRefP();
  for (int level = 0; level < kLevels; ++level) {
    const auto& attachments = ref->GetAttachments();
    ASSERT_EQ(attachments.size(), 2u) << level;
    EXPECT_EQ(attachments[0]->GetDgnModelP(), attachments[1]->GetDgnModelP()) << level;
    EXPECT_EQ(&attachments[0]->GetAttachments(), &attachments[1]->GetAttachments()) << level;
    ref = attachments[0].get();
  }
  EXPECT_TRUE(ref->GetAttachments().empty());
  EXPECT_EQ(ref->GetReachableModelRefs(nullptr).size(), 1u);
  ReachableModelRefCollection reachable =
      ISessionMgr::GetActiveDgnModelRefP()->GetReachableModelRefs(nullptr);
  EXPECT_EQ(reachable.size(), (size_t{1} << (kLevels + 1)) - 1);
}

TEST(ReachableModelRefsTest, AnAttachmentNamingAnUnknownModelIsMissing) {
  std::vector<std::unique_ptr<host::DesignFile>> others;
  others.push_back(design(L"B.dgn", {}));
  DesignBuilder builder(L"Z:\\p\\A.dgn");
  builder.AddAttachment(builder.AddModel("Default"), "B.dgn", "NoSuchModel");
  ScopedSession session(builder.Release(), std::move(others));
  EXPECT_EQ(walk(ISessionMgr::GetActiveDgnModelRefP()),
            (std::vector<std::string>{"A.dgn", "B.dgn!"}));
}

TEST(ReachableModelRefsTest, EndIteratorsCompareEqualAndOthersByPlace) {
  ScopedSession session(design(L"A.dgn", {}));
  ReachableModelRefCollection reachable =
      ISessionMgr::GetActiveDgnModelRefP()->GetReachableModelRefs(nullptr);
  ReachableModelRefIterator a = reachable.begin(), b = reachable.begin();
  EXPECT_FALSE(a != b);
  EXPECT_TRUE(a != reachable.end());
  a.MoveToNext();
  EXPECT_FALSE(a != reachable.end());
  EXPECT_TRUE(b != a);
}

int recordId(ElementRefBase* ref, CallbackArgP arg, ScanCriteria* criteria) {
  ElementHandle element(ref, criteria->GetModelRef());
  static_cast<std::vector<ElementId>*>(arg)->push_back(element.GetElementId());
  return 0;
}

TEST(ScanCriteriaTest, VisitsDrawnElementsInFileOrder) {
  DesignBuilder builder;
  host::Model& model = builder.AddModel("Default");
  for (uint64_t id : {30, 10, 20}) builder.AddElement(model, ElementType::Sphere).id = id;
  model.elements[1]->invisible = true;
  ScopedSession session(builder.Release());
  std::vector<ElementId> seen;
  ScanCriteria* criteria = ScanCriteria::Create();
  criteria->SetModelRef(ISessionMgr::GetActiveDgnModelRefP());
  criteria->SetModelSections(DgnModelSections::GraphicElements);
  criteria->SetDrawnElements();
  criteria->SetElemRefCallback(recordId, &seen);
  EXPECT_EQ(criteria->Scan(), SUCCESS);
  ScanCriteria::Delete(criteria);
  EXPECT_EQ(seen, (std::vector<ElementId>{30, 20}));
}

}  // namespace
