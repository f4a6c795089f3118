#pragma once
// Short Chinese explanations of the assembler's and the linker's messages: the usual cause and
// what to do about it, shown as the error list's tool tip and in the status bar.
#include <QString>

namespace krvs::ide {

struct MessageHelp {
  const char* message;  // the message's fixed beginning, as the tool prints it
  const char* help;     // UTF-8
};

// The entry whose message is the longest beginning of `text`'s message, nullptr when none.
// `text` may be an error-list line ("错误:第12行  ..."), a linker line ("Error: ...") or the bare
// message.
const MessageHelp* FindMessageHelp(const QString& text);

// The explanation for `text`, empty when the table has none.
QString ExplainMessage(const QString& text);

// The whole table, for tests.
const MessageHelp* MessageHelpTable(int* count);

}  // namespace krvs::ide
