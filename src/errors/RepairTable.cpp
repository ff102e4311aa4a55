#include "errors/RepairTable.h"

#include <unordered_map>

namespace vmk {
namespace {

constexpr RepairTableRow kRepairTable[] = {
#define VMK_REPAIR_TABLE_ROW(code) {RepairRow::code, #code},
    VMK_REPAIR_ROWS(VMK_REPAIR_TABLE_ROW)
#undef VMK_REPAIR_TABLE_ROW
};

}  // namespace

std::span<const RepairTableRow> repairTable() {
  return kRepairTable;
}

std::optional<RepairRow> repairRowForErrorCode(std::string_view code) {
  static const std::unordered_map<std::string_view, RepairRow> rows = [] {
    std::unordered_map<std::string_view, RepairRow> made;
    for (const RepairTableRow& row : kRepairTable) made.emplace(row.errorCode, row.row);
    return made;
  }();
  auto it = rows.find(code);
  if (it == rows.end()) return std::nullopt;
  return it->second;
}

}  // namespace vmk
