#pragma once
// DEBUG's dump reply and the memory watches read from it: the dump lines, one byte by its offset, a
// watch's bytes, and the rules for a watch's address and length.
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "debugger/debug_info.h"

namespace krvs::ide {

// The joined chunks of a dump reply are complete when the last line is DEBUG's prompt alone.
bool dumpReplyComplete(std::string_view joined);
// The reply without the echoed command, the line after it and the prompt, each line without its
// segment and colon: "OOOO  XX XX ...".
std::vector<std::string> dumpLinesOf(std::string_view joined);

// Offset of the first dump line; -1 for no lines, -2 when it cannot be read.
int GetStartAddr(const std::vector<std::string>& lines, const DebugLog& log);
// The byte at `offset`; -1 for no lines, -2 when it cannot be found or read.
int GetMemByte(const std::vector<std::string>& lines, int offset, const DebugLog& log);
// The bytes of a watch as "XX XX ", leaving out those that cannot be read.
std::string GetMemRange(const std::vector<std::string>& lines, std::string_view address, std::string_view length,
                        const DebugLog& log);

// A number as the watch fields take it: decimal, or hexadecimal after "0x", "0X" or "$".
std::optional<long> readNumberText(std::string_view text);

enum class WatchError { None, Address, Length };

struct WatchCheck {
  WatchError error = WatchError::None;
  long address = 0;
  long length = 0;
  std::string lengthText;  // "0x" and at least four hex digits
};
// The address must begin with "0x" and lie in the segment; the watched bytes must end inside it too.
WatchCheck checkWatch(std::string_view addressText, std::string_view lengthText);

// The end of the dump that covers every (address, length): the largest sum, at least 0, as four or
// more upper-case hex digits.
std::string dumpRangeEnd(const std::vector<std::pair<long, long>>& watches);

// Upper-case hex with at least `digits` digits.
std::string hexText(long value, int digits);

}  // namespace krvs::ide
