#pragma once
// The memory watch list of the main window, kept free of widgets: its records, the cells a record
// shows in the grid, removal by a grid row's text and the dump range that covers every watch.
#include <string>
#include <vector>

namespace krvs::ide {

struct TMonVariable {
  std::string label;    // upper case, may be empty
  std::string address;  // upper case, "0X000F"
  std::string segment;  // "DS"
  std::string length;   // "0x0004"
  std::string value;    // "XX XX "
};
// Always ends with one empty record, the row where the next watch goes.
using TMonVariableArray = std::vector<TMonVariable>;

// The three grid cells of a record: label (or "自定义"), "DS:0X000F(0x0004)", value. All empty for
// the empty record.
std::vector<std::string> watchCells(const TMonVariable& v);
// Removes the first record whose address cell equals `addressCell`; false when none does.
bool removeWatch(TMonVariableArray& list, const std::string& addressCell);
// Start and end of the dump covering every record but the last.
std::pair<std::string, std::string> watchDumpRange(const TMonVariableArray& list);

}  // namespace krvs::ide
