#pragma once
// DEBUG's replies as the session reads them: the register display after a step (found by its content,
// so a prefix line before the instruction or program output of any length does not mislead it), and
// the test for a reply that is complete at DEBUG's prompt.
#include <array>
#include <string>
#include <string_view>

namespace krvs::ide {

enum class TTraceInfo : int {
  AX, BX, CX, DX, SP, BP, SI, DI, DS, ES, SS, CS, IP, SIGN, BINCODE, INSTRUCTION, REST, ALL,
};
inline constexpr int kTraceCount = 18;
inline constexpr int kRegisterCount = 13;  // AX .. IP

// Names of the trace texts in TTraceInfo order.
extern const char* const kTraceNames[kTraceCount];

struct StepReply {
  // 0: a complete register display was found. 4: the reply is too short; 3: nothing follows the echo;
  // 1: no register display in it.
  int result = 1;
  std::array<std::string, kRegisterCount> registers;  // AX .. IP, four hex digits each
  std::string flags;        // the 23-character flags field
  std::string bincode;      // the machine code of the next instruction (prefix bytes included)
  std::string instruction;  // mnemonic and operands, prefix first, at most 39 characters
  std::string output;       // the program's screen output of this step
};

// `skipEcho`: the reply begins with the echo of the command, which is not program output.
StepReply parseStepReply(std::string_view reply, bool skipEcho);

// True when `text` ends at DEBUG's prompt after a whole reply: a register display, the end of the
// program, an error reply, or (`bare`) the prompt alone as DEBUG shows it first.
bool replyComplete(std::string_view text);

inline constexpr std::string_view kProgramEnded = "Program terminated normally";

}  // namespace krvs::ide
