#include "app/command_table.h"

#include "diag/range_report.h"
#include "export/export_command.h"
#include "import/mesh_import.h"

CommandTable makeCommandTable() {
  return CommandTable{{
      {exportCommand, kExportCommandNumber},
      {importCommand, kImportCommandNumber},
      {rangeReportCommand, kRangeReportCommandNumber},
      {nullptr, 0},
  }};
}
