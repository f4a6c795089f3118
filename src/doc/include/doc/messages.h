#pragma once
// Chinese explanations of every message the assembler (TASM.Exe) and the linker (TLink.Exe) can
// print: the usual cause and what to do about it. The IDE shows them beside the error list and the
// manual lists them all, both from this one table.

#include <span>
#include <string_view>

namespace krvs::doc {

enum class MessageTool : unsigned char { Assembler, Linker };

struct MessageText {
    const char* message;  // the message's fixed beginning, as the tool prints it
    const char* help;     // UTF-8
    MessageTool tool;
};

std::span<const MessageText> messageTable();

// The entry whose message is the longest beginning of `bareMessage` (the message with the tool's
// and the error list's prefixes already removed), nullptr when none.
const MessageText* findMessage(std::string_view bareMessage);

}  // namespace krvs::doc
