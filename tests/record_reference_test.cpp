// The records are written straight from their sources into text. Here the document path, a
// Json::Value tree per record written by toRecordText, is kept as the reference: on random
// meshes, on the sample design, on a generated design and on a random design with property
// instances, both must give the same bytes, file for file.
#include <gtest/gtest.h>
#include <json/json.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>

#include "export/export_command.h"
#include "export/mesh_processor.h"
#include "export/scan_callback.h"
#include "host/dgn_model.h"
#include "host/ec_instances.h"
#include "host/scan_criteria.h"
#include "records/base.h"
#include "records/geometry_record.h"
#include "records/output_folders.h"
#include "standin/design/design_loader.h"
#include "testing/record_text.h"
#include "testing/seed.h"
#include "testing/test_support.h"

namespace {

namespace fs = std::filesystem;

// --- The document path, as the records were first written.
namespace reference {

Json::Value geometryDocument(const std::string& code, const GeometryLook& look,
                             const bvector<PolyfaceHeaderPtr>& meshes) {
  Json::Value document;
  UInt64 facets = 0;
  for (const PolyfaceHeaderPtr& mesh : meshes)
    if (mesh) facets += mesh->GetNumFacet();
  document["numberOfPrimitives"] = Json::Value(Json::UInt64(facets));
  document["avoclass"] = "componentGeoes";
  document["code"] = Json::Value(code);
  document["numberOfColors"] = Json::Value(1);
  for (double color : look.colors) document["colors"].append(Json::Value(color));
  for (UInt64 i = 0; i < facets; ++i) document["materialIndices"].append(Json::Value(0));
  document["normals"] = Json::Value(Json::arrayValue);
  UInt64 pointOffset = 0;
  for (const PolyfaceHeaderPtr& mesh : meshes) {
    if (!mesh) continue;
    const int32_t* indices = mesh->GetPointIndexCP();
    for (size_t i = 0; i < mesh->GetPointIndexCount(); ++i) {
      if ((i + 1) % 4 == 0) continue;
      const UInt64 magnitude = static_cast<UInt64>(std::llabs(static_cast<long long>(indices[i])));
      document["indices"].append(Json::Value(Json::UInt64(pointOffset + magnitude - 1)));
    }
    pointOffset += mesh->GetPointCount();
  }
  for (const PolyfaceHeaderPtr& mesh : meshes) {
    if (!mesh) continue;
    for (size_t i = 0; i < mesh->GetPointCount(); ++i) {
      const DPoint3d& point = mesh->GetPointCP()[i];
      for (double c : {point.x, point.y, point.z})
        document["positions"].append(Json::Value(c * look.millimetreFactor));
    }
  }
  for (double value : look.range) document["range"].append(Json::Value(value));
  return document;
}

Json::Value componentDocument(const std::string& code, ElementHandleCR element) {
  Json::Value document;
  document["avoclass"] = "components";
  document["code"] = Json::Value(code);
  document["gid"] = Json::Value("componentGeoes/" + code);
  document["attrid"] = Json::Value("componentAttribtes/" + code);
  document["ElementID"] = Json::Value(std::to_string(element.GetElementId()));
  for (int i = 0; i < 16; ++i) document["matrix"].append(Json::Value(i % 5 == 0 ? 1 : 0));
  WString description;
  element.GetHandler(MISSING_HANDLER_PERMISSION_None).GetDescription(element, description, 256);
  document["name"] = Json::Value(utf8Text(description.c_str()));
  document["revision"] = "1";
  document["type"] = "orvelElement";
  return document;
}

Json::Value attributeDocument(const std::string& code, ElementHandleCR element) {
  FindInstancesScopeOption option(static_cast<DgnECHostType>(1), true);
  FindInstancesScopePtr scope = FindInstancesScope::CreateScope(element, option);
  ECQueryPtr query = ECQuery::CreateQuery(static_cast<ECQueryProcessFlags>(6));
  DgnECInstanceIterable instances =
      DgnECManager::GetManager().FindInstances(*scope, *query, nullptr);
  Json::Value classes;
  Json::Value properties;
  for (auto it = instances.begin(); it != instances.end(); ++it) {
    DgnECInstancePtr instance = *it;
    properties.clear();
    for (const ECProperty* property : instance->GetClass().GetProperties()) {
      ECValue value;
      instance->GetValue(value, property->GetName().c_str());
      if (value.IsNull()) continue;
      properties[utf8Text(property->GetDisplayLabel().c_str())] =
          Json::Value(utf8Text(value.ToString().c_str()));
    }
    classes[utf8Text(instance->GetClass().GetDisplayLabel().c_str())] = properties;
  }
  Json::Value document;
  document["avoclass"] = "orvelAttributes";
  document["code"] = Json::Value(code);
  document["attribute"] = classes;
  return document;
}

// Writes the document's text as the file name in folder, as the export writes its records.
void writeDocument(const RecordFolder& folder, const char* name, const Json::Value& document) {
  if (putRecordText(folder, name, toRecordText(document)) != RecordFileOutcome::Written)
    reportUnwrittenRecord(folder, name);
}

int exportElement(ElementRefBase* elementRef, CallbackArgP argument, ScanCriteria* criteria) {
  ElementHandle element(elementRef, criteria->GetModelRef());
  IFacetOptionsPtr options = createExportFacetOptions();
  bvector<PolyfaceHeaderPtr> meshes;
  if (!collectMeshes(meshes, element, options.get())) return 0;
  WString folder;
  createElementFolder(folder, static_cast<WCharCP>(argument), element);
  AString code;
  getElementCode(folder.c_str(), code);
  const RecordFolder recordFolder(folder);
  writeDocument(recordFolder, "geo.json", geometryDocument(code, geometryLook(element), meshes));
  writeDocument(recordFolder, "component.json", componentDocument(code, element));
  writeDocument(recordFolder, "attr.json", attributeDocument(code, element));
  return 0;
}

void exportDesign() {
  WString mainFolder;
  ASSERT_EQ(createMainFolder(mainFolder), 0);
  ReachableModelRefCollection reachable =
      ISessionMgr::GetActiveDgnModelRefP()->GetReachableModelRefs(nullptr);
  for (ReachableModelRefIterator it = reachable.begin(); it != reachable.end(); it.MoveToNext()) {
    DgnModelRefP modelRef = it.GetCurrent();
    if (modelRef->IsDgnAttachment() && modelRef->AsDgnAttachmentCP()->IsMissingFile()) continue;
    ScanCriteria* criteria = ScanCriteria::Create();
    criteria->SetModelRef(modelRef);
    criteria->SetModelSections(DgnModelSections::GraphicElements);
    criteria->SetDrawnElements();
    criteria->SetElemRefCallback(exportElement, const_cast<WChar*>(mainFolder.c_str()));
    criteria->Scan();
    ScanCriteria::Delete(criteria);
  }
}

}  // namespace reference

// Every file under folder by its path relative to folder, with its bytes.
std::map<std::string, std::string> treeFiles(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (!entry.is_regular_file()) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    files[fs::relative(entry.path(), folder).string()] = bytes.str();
  }
  return files;
}

// Exports the open session's design both ways and compares the two trees file for file.
void expectExportMatchesReference(const host::seed::ScopedDriveC& drive, const std::string& stem,
                                  size_t minimumFiles) {
  const fs::path mainFolder = fs::path(drive.LocalFolder()) / "Temp" / stem;
  exportCommand(L"");
  const std::map<std::string, std::string> written = treeFiles(mainFolder);
  reference::exportDesign();
  const std::map<std::string, std::string> expected = treeFiles(mainFolder);
  ASSERT_GE(expected.size(), minimumFiles);
  ASSERT_EQ(written.size(), expected.size());
  for (const auto& [name, bytes] : expected) {
    auto found = written.find(name);
    ASSERT_NE(found, written.end()) << name;
    ASSERT_EQ(found->second, bytes) << name;
  }
}

class RecordReferenceTest : public ::testing::Test {
 protected:
  // Texts are locale text: non-ASCII labels and names need a UTF-8 locale to stay whole.
  test_support::ScopedLocale m_locale{LC_CTYPE, "C.UTF-8"};
  host::seed::ScopedDriveC m_drive;
};

TEST_F(RecordReferenceTest, ExportsOfTheSampleAndAGeneratedDesignMatchTheDocumentPath) {
  test_support::TempFolder temp;
  const std::string generated = temp.Path() + "/Generated.dgn";
  const std::string command = std::string(TOLVANE_GENDESIGN) + " " + generated + " 400";
  ASSERT_EQ(std::system(command.c_str()), 0);
  for (const std::string& path : {test_support::SourceDir() + "/samples/Site.dgn", generated}) {
    SCOPED_TRACE(path);
    std::string error;
    auto design = host::LoadDesignFile(path, &error);
    ASSERT_TRUE(design) << error;
    host::seed::ScopedSession session(std::move(design));
    expectExportMatchesReference(m_drive, fs::path(path).stem().string(), 30);
  }
}

// Points anywhere from denormals to beyond the range of finite millimetres, and indices with
// signs, zeros and counts that are not a multiple of four.
class MeshGenerator {
 public:
  explicit MeshGenerator(uint32_t seed) : m_random(seed) {}

  bvector<PolyfaceHeaderPtr> Meshes() {
    bvector<PolyfaceHeaderPtr> meshes;
    for (int i = Pick(5); i > 0; --i) meshes.push_back(Pick(8) == 0 ? nullptr : Mesh());
    return meshes;
  }

  GeometryLook Look() {
    GeometryLook look;
    for (double& color : look.colors) color = Pick(256) * 0.00392156862745098;
    look.colors[3] = 1.0 - Pick(101) / 100.0;
    look.millimetreFactor = 1.0 / (Coordinate() * 0.001);
    for (double& value : look.range) value = Coordinate();
    return look;
  }

 private:
  PolyfaceHeaderPtr Mesh() {
    PolyfaceHeaderPtr mesh = PolyfaceHeader::CreateVariableSizeIndexed();
    const int points = Pick(40);
    for (int i = 0; i < points; ++i)
      mesh->Point().push_back({Coordinate(), Coordinate(), Coordinate()});
    const int indices = Pick(4) == 0 ? Pick(13) : 4 * Pick(30);
    for (int i = 0; i < indices; ++i) {
      const int32_t index = (i + 1) % 4 == 0 ? 0 : 1 + Pick(points + 1);
      mesh->PointIndex().push_back(Pick(3) == 0 ? -index : Pick(40) == 0 ? 0 : index);
    }
    return mesh;
  }

  double Coordinate() {
    const double edges[] = {0.0,    -0.0, 1.0,   1e-310, 1e300,
                            -1e300, 0.1,  25000, 1e17,   9007199254740993.0};
    switch (Pick(3)) {
      case 0:
        return edges[Pick(std::size(edges))];
      case 1:
        return std::uniform_real_distribution<double>(-1e7, 1e7)(m_random);
      default:
        return static_cast<double>(static_cast<int64_t>(m_random()) - (1ll << 31)) /
               (1 + Pick(10000));
    }
  }

  int Pick(int count) { return static_cast<int>(m_random() % static_cast<uint32_t>(count)); }
  std::mt19937 m_random;
};

TEST_F(RecordReferenceTest, GeometryOfRandomMeshesMatchesTheDocumentPath) {
  MeshGenerator generator(4711);
  std::string buffer;
  const std::string codes[] = {"plan.dgn - Default - 1", "\xc3\xa9\"q\\\t", ""};
  for (int i = 0; i < 2000; ++i) {
    const bvector<PolyfaceHeaderPtr> meshes = generator.Meshes();
    const GeometryLook look = generator.Look();
    const std::string& code = codes[i % 3];
    // The document path spells a number that overflows millimetres as 1e+9999; the record
    // path refuses to write such a record at all.
    std::string expected = toRecordText(reference::geometryDocument(code, look, meshes));
    if (expected.find("1e+9999") != std::string::npos) expected.clear();
    ASSERT_EQ(geometryRecordText(buffer, code, look, meshes), expected) << "case " << i;
  }
}

// Instances whose class labels and property labels repeat (the later one wins), are empty,
// non-ASCII or hold no value at all, on elements of every kind that gives meshes.
TEST_F(RecordReferenceTest, ARandomDesignWithPropertyInstancesMatchesTheDocumentPath) {
  std::mt19937 random(99);
  auto pick = [&](int count) { return static_cast<int>(random() % static_cast<uint32_t>(count)); };
  host::seed::DesignBuilder builder(L"Z:\\p\\Instances.dgn");
  builder.AddClass("Door", "Door", {{"Width", "Width"}, {"Mark", "Mark"}, {"Other", "Width"}});
  builder.AddClass("Wall", "Door", {{"Material", "Mat\xc3\xa9riau"}, {"Thickness", ""}});
  builder.AddClass("Plain", "", {{"A", "a"}, {"B", "A"}, {"C", "\"q\""}});
  const char* classes[] = {"Door", "Wall", "Plain"};
  const char* properties[][3] = {
      {"Width", "Mark", "Other"}, {"Material", "Thickness", "Thickness"}, {"A", "B", "C"}};
  host::Model& model = builder.AddModel("Mod<e>l \xc3\xa9", 1000 * (1 + pick(20)));
  for (int i = 0; i < 120; ++i) {
    host::Element& element =
        pick(4) == 0
            ? builder.AddElement(model, host::ElementType::Sphere)
            : builder.AddMesh(model, {{0, 0, 0}, {1000.5, 0, 0}, {0, 3000.25, -7}, {1e6, 1e-3, 2}},
                              {{1, 2, 3}, {1, -3, 4}});
    if (element.type == host::ElementType::Sphere) {
      element.center = {1.0 * pick(100000), 0.5, -2.0};
      element.radius = 1 + pick(5000);
    }
    element.color = static_cast<uint32_t>(pick(300));
    for (int n = pick(4); n > 0; --n) {
      const int c = pick(3);
      host::Instance instance{classes[c], {}};
      for (int p = 0; p < 3; ++p) {
        switch (pick(6)) {
          case 0:
          case 1:
          case 2:
            break;  // no value
          case 3:
            instance.values[properties[c][p]] = std::string("t\xc3\xa9xt ") + std::to_string(i);
            break;
          case 4:
            instance.values[properties[c][p]] = 0.1 * pick(1000);
            break;
          default:
            instance.values[properties[c][p]] = static_cast<int64_t>(pick(100)) - 50;
        }
      }
      element.instances.push_back(std::move(instance));
    }
  }
  host::seed::ScopedSession session(builder.Release());
  expectExportMatchesReference(m_drive, "Instances", 360);
}

}  // namespace
