#include "debugger/watch_list.h"

#include "debugger/mem_dump.h"

namespace krvs::ide {

namespace {

std::string addressCell(const TMonVariable& v) { return v.segment + ":" + v.address + "(" + v.length + ")"; }

}  // namespace

std::vector<std::string> watchCells(const TMonVariable& v) {
  if (v.address.empty()) return {"", "", ""};
  return {v.label.empty() ? "自定义" : v.label, addressCell(v), v.value};
}

bool removeWatch(TMonVariableArray& list, const std::string& cell) {
  for (std::size_t i = 0; i + 1 < list.size(); ++i) {
    if (addressCell(list[i]) == cell) {
      list.erase(list.begin() + long(i));
      return true;
    }
  }
  return false;
}

std::pair<std::string, std::string> watchDumpRange(const TMonVariableArray& list) {
  std::vector<std::pair<long, long>> spans;
  for (std::size_t i = 0; i + 1 < list.size(); ++i) {
    auto a = readNumberText(list[i].address);
    auto n = readNumberText(list[i].length);
    if (a && n) spans.emplace_back(*a, *n);
  }
  return {"0000", dumpRangeEnd(spans)};
}

}  // namespace krvs::ide
