#pragma once
// Private to the debug library: the command handlers that the table in commands.cpp dispatches to.

#include "debug/session.h"

namespace krvs::debug::cmd {

CommandResult assemble(Session& s, LineParser& p);
CommandResult compare(Session& s, LineParser& p);
CommandResult dump(Session& s, LineParser& p);
CommandResult enter(Session& s, LineParser& p);
CommandResult fill(Session& s, LineParser& p);
CommandResult go(Session& s, LineParser& p);
CommandResult hexArithmetic(Session& s, LineParser& p);
CommandResult input(Session& s, LineParser& p);
CommandResult load(Session& s, LineParser& p);
CommandResult move(Session& s, LineParser& p);
CommandResult name(Session& s, LineParser& p);
CommandResult output(Session& s, LineParser& p);
CommandResult proceed(Session& s, LineParser& p);
CommandResult quit(Session& s, LineParser& p);
CommandResult registers(Session& s, LineParser& p);
CommandResult search(Session& s, LineParser& p);
CommandResult trace(Session& s, LineParser& p);
CommandResult unassemble(Session& s, LineParser& p);
CommandResult write(Session& s, LineParser& p);
CommandResult help(Session& s, LineParser& p);

// The error result at the parser's recorded column.
inline CommandResult failed(const LineParser& p) { return CommandResult::error(p.errorColumn()); }

}  // namespace krvs::debug::cmd
