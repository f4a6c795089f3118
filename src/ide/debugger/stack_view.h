#pragma once
// The stack view: the words from SS:SP upward, each return address of a CALL marked with the source
// line it returns to.
#include <functional>
#include <string>
#include <vector>

namespace krvs::ide {

class LineTable;

struct StackWord {
  std::string offset;   // "FFFC"
  std::string value;    // "0005"
  int returnLine = -1;  // the source line a CALL returns to, -1 when the word is no return address
};

// The words of a stack dump (dump lines as GetStackLines gives them), from `sp` upward.
std::vector<StackWord> readStackWords(const std::vector<std::string>& dumpLines, const std::string& sp, int words);

// True when a source line's instruction is a CALL (label and comment left aside).
bool isCallLine(const std::string& sourceLine);

// Marks every word that is the offset of a source line in `segment` whose code follows a CALL line.
void markReturnAddresses(std::vector<StackWord>& words, const LineTable& lines, const std::string& segment,
                         const std::function<std::string(int)>& sourceLine);

}  // namespace krvs::ide
