#include "debugger/step_reply.h"

#include <cctype>
#include <vector>

namespace krvs::ide {

const char* const kTraceNames[kTraceCount] = {"AX", "BX", "CX", "DX", "SP",   "BP",      "SI",          "DI",   "DS",
                                              "ES", "SS", "CS", "IP", "SIGN", "BINCODE", "INSTRUCTION", "REST", "ALL"};

namespace {

constexpr std::size_t kInstructionMax = 39;
constexpr std::size_t kFlagsColumn = 46;  // ten after the "I" of "IP="
constexpr std::size_t kFlagsWidth = 23;

bool isHex4(std::string_view s, std::size_t at) {
  if (s.size() < at + 4) return false;
  for (std::size_t i = at; i < at + 4; ++i) {
    if (!std::isxdigit(static_cast<unsigned char>(s[i]))) return false;
  }
  return true;
}

// "AX=xxxx  BX=xxxx ..." with every name in place.
bool isRegisterLine(std::string_view line, const char* const* names, int count) {
  for (int i = 0; i < count; ++i) {
    std::size_t at = std::size_t(i) * 9;
    if (line.size() < at + 7 || line.substr(at, 2) != names[i] || line[at + 2] != '=' || !isHex4(line, at + 3)) {
      return false;
    }
  }
  return true;
}

const char* const kLine1[] = {"AX", "BX", "CX", "DX", "SP", "BP", "SI", "DI"};
const char* const kLine2[] = {"DS", "ES", "SS", "CS", "IP"};

// "SSSS:OOOO " followed by the bytes.
bool isInstructionLine(std::string_view line) {
  return line.size() >= 10 && isHex4(line, 0) && line[4] == ':' && isHex4(line, 5) && line[9] == ' ';
}

struct Line {
  std::size_t start;  // offset in the text
  std::string_view text;
};

std::vector<Line> linesOf(std::string_view text) {
  std::vector<Line> lines;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find("\r\n", start);
    if (end == std::string_view::npos) {
      lines.push_back({start, text.substr(start)});
      break;
    }
    lines.push_back({start, text.substr(start, end - start)});
    start = end + 2;
  }
  return lines;
}

std::string trimRight(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.pop_back();
  return s;
}

// Mnemonic and operands of an instruction line, its tab expanded as DEBUG shows it on screen.
std::string mnemonicOf(std::string_view line) {
  std::size_t bytesEnd = line.find(' ', 10);
  if (bytesEnd == std::string_view::npos) return {};
  std::size_t at = line.find_first_not_of(' ', bytesEnd);
  if (at == std::string_view::npos) return {};
  std::string out;
  for (char c : line.substr(at)) {
    if (c == '\t') {
      do out += ' ';
      while (out.size() % 8 != 0);
    } else {
      out += c;
    }
  }
  return trimRight(out);
}

std::string bytesOf(std::string_view line) {
  std::size_t end = line.find(' ', 10);
  return std::string(line.substr(10, end == std::string_view::npos ? std::string_view::npos : end - 10));
}

void readInstruction(const std::vector<Line>& lines, std::size_t first, StepReply& r) {
  std::string text;
  for (std::size_t i = first; i < lines.size() && isInstructionLine(lines[i].text); ++i) {
    r.bincode += bytesOf(lines[i].text);
    std::string m = mnemonicOf(lines[i].text);
    text += text.empty() ? m : ' ' + m;
    // A prefix stands on a line of its own; the instruction it belongs to follows on the next one.
    if (m != "REPZ" && m != "REPNZ" && m != "LOCK" && (m.size() != 3 || m[2] != ':')) break;
  }
  r.instruction = text.substr(0, kInstructionMax);
}

}  // namespace

StepReply parseStepReply(std::string_view reply, bool skipEcho) {
  StepReply r;
  if (reply.size() < 3) {
    r.result = 4;
    return r;
  }
  std::string_view rest = reply;
  if (skipEcho) {
    std::size_t echoEnd = rest.find("\r\n");
    rest = echoEnd == std::string_view::npos ? std::string_view() : rest.substr(echoEnd + 2);
  }
  if (rest.empty()) {
    r.result = 3;
    return r;
  }
  std::vector<Line> lines = linesOf(rest);
  // The register display is the last one in the reply: program output comes before it.
  for (std::size_t i = lines.size(); i-- > 0;) {
    if (i + 1 >= lines.size() || !isRegisterLine(lines[i].text, kLine1, 8) ||
        !isRegisterLine(lines[i + 1].text, kLine2, 5)) {
      continue;
    }
    for (int k = 0; k < 8; ++k) r.registers[k] = std::string(lines[i].text.substr(k * 9 + 3, 4));
    for (int k = 0; k < 5; ++k) r.registers[8 + k] = std::string(lines[i + 1].text.substr(k * 9 + 3, 4));
    r.flags = std::string(lines[i + 1].text.substr(kFlagsColumn, kFlagsWidth));
    readInstruction(lines, i + 2, r);
    // The output ends with the line break that precedes the register lines.
    std::size_t at = lines[i].start;
    r.output = at >= 2 ? std::string(rest.substr(0, at - 2)) : std::string();
    r.result = 0;
    return r;
  }
  return r;
}

bool replyComplete(std::string_view text) {
  if (text.empty() || text.back() != '-') return false;
  if (text.size() == 1) return true;
  std::string_view body = text.substr(0, text.size() - 1);
  if (body.size() < 2 || body.substr(body.size() - 2) != "\r\n") return false;
  body.remove_suffix(2);
  std::size_t lineStart = body.rfind("\r\n");
  std::string_view last = lineStart == std::string_view::npos ? body : body.substr(lineStart + 2);
  if (isInstructionLine(last) || last == kProgramEnded) return true;
  return last.size() >= 7 && last.substr(last.size() - 7) == "^ Error";
}

}  // namespace krvs::ide
