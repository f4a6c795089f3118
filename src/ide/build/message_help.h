#pragma once
// Short Chinese explanations of the assembler's and the linker's messages, shown as the error
// list's tool tip and in the status bar. The table itself lives in the doc library, which the
// manual KRVS.html is generated from too; this is its adapter to the error list's Qt texts.
#include <QString>

#include "doc/messages.h"

namespace krvs::ide {

using MessageHelp = doc::MessageText;

// The entry whose message is the longest beginning of `text`'s message, nullptr when none.
// `text` may be an error-list line ("错误:第12行  ..."), a linker line ("Error: ...") or the bare
// message.
const MessageHelp* FindMessageHelp(const QString& text);

// The explanation for `text`, empty when the table has none.
QString ExplainMessage(const QString& text);

// The whole table, for tests.
const MessageHelp* MessageHelpTable(int* count);

}  // namespace krvs::ide
