// The interpreter's own commands, one small handler each, dispatched by name.

#include <algorithm>
#include <cctype>

#include "cmd/interpreter.h"
#include "platform/dosnames.h"

namespace krvs::cmd {

namespace {

std::string lower(const std::string& s) { return platform::lowerAscii(s); }

// `line` is the command as typed (without leading blanks and @), `cmd` its parsed form.
using Builtin = void (*)(Interpreter&, const std::string& line, const CommandLine& cmd);

// The text after the command word, as typed, without the redirections.
std::string argumentText(const CommandLine& cmd) { return cmd.rest; }

void doCmd(Interpreter& in, const std::string&, const CommandLine&) { in.pushLevel(); }

void doExit(Interpreter& in, const std::string&, const CommandLine& cmd) {
    if (cmd.words.size() > 1) {
        std::string arg = lower(cmd.words[1]);
        if (arg == "/b" && cmd.words.size() > 2) arg = cmd.words[2];
        char* end = nullptr;
        long code = std::strtol(arg.c_str(), &end, 10);
        if (end && *end == '\0') in.setErrorLevel(static_cast<int>(code));
    }
    in.popLevel();
}

void doPrompt(Interpreter& in, const std::string&, const CommandLine& cmd) {
    std::string text = argumentText(cmd);
    in.level().prompt = text.empty() ? "$P$G" : text;
}

void doCd(Interpreter& in, const std::string&, const CommandLine& cmd) {
    std::string target = argumentText(cmd);
    if (lower(target.substr(0, 2)) == "/d") target = target.substr(2);
    target.erase(std::remove(target.begin(), target.end(), '"'), target.end());
    while (!target.empty() && (target.front() == ' ' || target.front() == '\t')) target.erase(target.begin());
    while (!target.empty() && (target.back() == ' ' || target.back() == '\t')) target.pop_back();
    std::error_code ec;
    if (target.empty()) {
        in.write(std::filesystem::current_path(ec).string() + "\r\n");
        return;
    }
    std::replace(target.begin(), target.end(), '\\', '/');
    if (target.size() >= 2 && target[1] == ':' && std::isalpha(static_cast<unsigned char>(target[0])))
        target = target.substr(2);  // a drive letter names nothing on this system
    if (target.empty()) return;
    std::filesystem::current_path(target, ec);
    if (ec) {
        in.writeError("系统找不到指定的路径。\r\n");
        in.setErrorLevel(1);
        return;
    }
    in.setErrorLevel(0);
}

void doEcho(Interpreter& in, const std::string& line, const CommandLine& cmd) {
    if (line.size() > 4 && (line[4] == '.' || line[4] == ',' || line[4] == ':')) {  // echo. prints its text or an empty line
        in.write(parseCommandLine("echo " + line.substr(5)).rest + "\r\n");
        return;
    }
    std::string text = argumentText(cmd);
    std::string word = lower(text);
    if (word == "off" || word == "on") {
        in.level().echo = word == "on";
        return;
    }
    if (text.empty()) {
        in.write(in.level().echo ? "ECHO 处于打开状态。\r\n" : "ECHO 处于关闭状态。\r\n");
        return;
    }
    in.write(text + "\r\n");
}

void doCls(Interpreter& in, const std::string&, const CommandLine&) { in.clearScreen(); }

void doPause(Interpreter& in, const std::string&, const CommandLine&) {
    in.write("请按任意键继续. . .");
    in.readKey();
    in.write("\r\n");
}

void doRem(Interpreter&, const std::string&, const CommandLine&) {}

struct Command { const char* name; Builtin fn; };
constexpr Command kCommands[] = {
    {"cmd", doCmd},     {"exit", doExit}, {"prompt", doPrompt}, {"cd", doCd},   {"chdir", doCd},
    {"echo", doEcho},   {"cls", doCls},   {"pause", doPause},   {"rem", doRem},
};

// The command word as cmd reads it: "echo." and "cd.." end the word at the dot or backslash.
std::string commandWord(const std::string& line) {
    std::size_t end = 0;
    while (end < line.size() && std::isalpha(static_cast<unsigned char>(line[end]))) ++end;
    return lower(line.substr(0, end));
}

}  // namespace

bool Interpreter::runBuiltin(const std::string& line, const CommandLine& cmd) {
    const std::string& first = cmd.words[0];
    if (first.size() == 2 && first[1] == ':' && std::isalpha(static_cast<unsigned char>(first[0])) && cmd.words.size() == 1)
        return true;  // a drive: accepted; there is one file system
    std::string word = commandWord(line);
    const Command* found = nullptr;
    for (const auto& c : kCommands)
        if (word == c.name) found = &c;
    if (!found) return false;
    char next = line.size() > word.size() ? line[word.size()] : ' ';
    bool separated = next == ' ' || next == '\t' || next == '.' || next == '\\' || next == '/' || next == ',' ||
                     next == ':' || next == '<' || next == '>' || next == '"';
    if (!separated) return false;
    CommandLine effective = cmd;
    if (word == "cd" || word == "chdir") {  // "cd.." and "cd\dir": the rest of the word is the argument
        std::string afterWord = line.substr(word.size());
        effective = parseCommandLine("cd " + afterWord);
    }
    int savedOut = m_options.outputFd;
    platform::File redirected;
    if (!cmd.outputFile.empty()) {
        redirected = openRedirection(cmd.outputFile, true, cmd.append);
        if (!redirected.isOpen()) {
            writeError("系统找不到指定的路径。\r\n");
            return true;
        }
        m_options.outputFd = redirected.descriptor();
        m_outputRedirected = true;
    }
    found->fn(*this, line, effective);
    if (redirected.isOpen()) {
        m_options.outputFd = savedOut;
        m_outputRedirected = false;
    }
    return true;
}

}  // namespace krvs::cmd
