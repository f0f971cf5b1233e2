// The check of the import of one geometry record, shared by its fuzz target and the regular
// test that replays the corpus. The record is imported into a model of the units it names
// (see unitsOf) in a design held, with the record, in an in-memory file system; whatever the record
// holds, the import either adds one mesh element or adds nothing and says why, and the design saved
// afterwards loads again as the same design.
#pragma once

#include <cmath>
#include <cstdlib>
#include <string>
#include <string_view>

#include "import/mesh_import.h"
#include "standin/design/design.h"
#include "standin/design/design_loader.h"
#include "standin/design/design_values.h"
#include "standin/design/design_writer.h"
#include "standin/files/file_system.h"
#include "standin/shell/session.h"
#include "testing/memory_file_system.h"
#include "testing/seed.h"

namespace import_check {

// The units of the model that the record goes into: those a first line
// "// uorPerMeter NUMBER" names (a comment, so the record reads the same), when the number is
// one a design can hold (normal, positive, at most its largest geometry value); else 1000, a
// millimetre a unit.
inline double unitsOf(std::string_view record) {
  constexpr std::string_view kPrefix = "// uorPerMeter ";
  if (record.substr(0, kPrefix.size()) != kPrefix) return 1000;
  const std::string line(record.substr(kPrefix.size(), record.find('\n') - kPrefix.size()));
  char* end = nullptr;
  const double units = std::strtod(line.c_str(), &end);
  const bool holdable =
      std::isnormal(units) && units > 0 && units <= host::design_json::kMaxGeometryValue;
  return end != line.c_str() && holdable ? units : 1000;
}

// Empty when the record passes; otherwise what went wrong.
inline std::string importProblem(std::string_view record) {
  host::testing::MemoryFileSystem files;
  files.AddFile("/records/A/geo.json", std::string(record));
  files.AddDirectory("/designs");
  host::ScopedFileSystem installed(files);
  host::seed::DesignBuilder builder(L"Z:\\designs\\Site.dgn");
  builder.AddModel("Default", unitsOf(record));
  host::seed::ScopedSession session(builder.Release());

  const bool imported = importGeometryRecord(L"Z:\\records\\A\\");
  const host::DesignFile& design = *host::Session::Current().ActiveDesign();
  const size_t elements = design.ActiveModel()->elements.size();
  if (elements != (imported ? 1u : 0u)) {
    return "the import says " + std::string(imported ? "added" : "refused") + " but left " +
           std::to_string(elements) + " elements";
  }
  if (imported != session.Messages().empty() || session.Messages().size() > 1) {
    return "the import " + std::string(imported ? "added an element" : "refused the record") +
           " with " + std::to_string(session.Messages().size()) + " messages";
  }
  std::string error;
  if (!host::SaveDesignFile(design, "/designs/Site.dgn", &error)) return "the save fails: " + error;
  auto reloaded = host::LoadDesignFile("/designs/Site.dgn", &error);
  if (!reloaded) return "the saved design doesn't load: " + error;
  if (host::DesignToText(*reloaded) != host::DesignToText(design))
    return "the saved design loads as another";
  return std::string();
}

}  // namespace import_check
