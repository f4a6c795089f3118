// The interpreter's read-execute loop, its levels (nested interpreters) and batch files.

#include "cmd/interpreter.h"

#include <fstream>
#include <iterator>

#include "pc/machine.h"
#include "platform/hostfs.h"

namespace krvs::cmd {

namespace {

std::string currentDirectory() {
    std::error_code ec;
    auto p = std::filesystem::current_path(ec);
    return ec ? std::string("?") : p.string();
}

void writeAll(int fd, const std::string& text) { platform::writeAll(fd, text.data(), text.size()); }

// One byte of standard input; false at its end or on an error.
bool readByte(int fd, char& c) { return platform::readSome(fd, &c, 1).count == 1; }

bool isBlankLine(const std::string& line) { return line.find_first_not_of(" \t@") == std::string::npos; }

}  // namespace

Interpreter::Interpreter(Options options) : m_options(std::move(options)) {}
Interpreter::~Interpreter() = default;

pc::Machine& Interpreter::machine() {
    if (!m_machine) {
        pc::MachineConfig config;
        if (!m_options.screenFrontEnd) {
            m_keys = std::make_unique<pc::FdSource>(m_options.inputFd);
            m_console = std::make_unique<pc::FdSink>(m_options.outputFd);
            config.input = m_keys.get();
            config.output = m_console.get();
        }
        m_machine = std::make_unique<pc::Machine>(config);
    }
    return *m_machine;
}

void Interpreter::writeScreen(const std::string& text) {
    const std::string bytes = m_options.screenText ? m_options.screenText(text) : text;
    machine().consoleWrite(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

void Interpreter::write(const std::string& text) {
    if (m_options.screenFrontEnd && !m_outputRedirected)
        writeScreen(text);
    else
        writeAll(m_options.outputFd, text);
}

void Interpreter::writeError(const std::string& text) {
    if (m_options.screenFrontEnd) writeScreen(text);
    else writeAll(m_options.errorFd, text);
}

// On the text screen a line is typed into the machine's keyboard and edited there, as COMMAND.COM does.
bool Interpreter::readScreenLine(std::string& line) {
    line.clear();
    for (;;) {
        std::optional<pc::Machine::Key> key = machine().waitForPushedKey();
        if (!key) return false;
        if (key->ascii == '\r') {
            write("\r\n");
            return true;
        }
        if (key->ascii == '\b') {
            if (!line.empty()) {
                line.pop_back();
                write("\b \b");
            }
            continue;
        }
        if (key->ascii >= 0x20 && line.size() < 255) {
            line.push_back(static_cast<char>(key->ascii));
            write(std::string(1, static_cast<char>(key->ascii)));
        }
    }
}

bool Interpreter::readLine(std::string& line) {
    if (m_options.screenFrontEnd) return readScreenLine(line);
    line.clear();
    bool any = false;
    for (char c; readByte(m_options.inputFd, c);) {
        any = true;
        if (c == '\n') break;
        line.push_back(c);
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return any;
}

bool Interpreter::readKey() {
    if (m_options.screenFrontEnd) return machine().waitForPushedKey().has_value();
    char c;
    return readByte(m_options.inputFd, c);
}

void Interpreter::pushLevel() {
    Level nested;
    std::error_code ec;
    nested.outerDirectory = std::filesystem::current_path(ec);
    m_levels.push_back(nested);
}

void Interpreter::popLevel() {
    if (m_levels.empty()) return;
    std::filesystem::path back = m_levels.back().outerDirectory;
    m_levels.pop_back();
    std::error_code ec;
    if (!back.empty()) std::filesystem::current_path(back, ec);
}

void Interpreter::printPrompt() {
    if (!finished() && level().echo) write(expandPrompt(level().prompt, currentDirectory()));
}

int Interpreter::runInteractive() {
    printPrompt();
    std::string line;
    while (readLine(line)) {
        if (!m_options.interactiveTerminal && level().echo) write(line + "\r\n");
        execute(line);
        if (finished()) break;
        if (!isBlankLine(line) && level().echo) write("\r\n");  // a command's output ends before the prompt
        printPrompt();
    }
    return m_errorLevel;
}

int Interpreter::runSingle(const std::string& command) {
    execute(command);
    return m_errorLevel;
}

void Interpreter::execute(const std::string& text) {
    std::size_t start = text.find_first_not_of(" \t@");
    if (start == std::string::npos) return;
    std::string line = text.substr(start);
    CommandLine cmd = parseCommandLine(line);
    if (!cmd.error.empty()) {
        writeError(cmd.error + "\r\n");
        m_errorLevel = 1;
        return;
    }
    if (cmd.words.empty()) return;
    if (runBuiltin(line, cmd)) return;
    std::filesystem::path program = findProgram(cmd.words[0], m_options.toolsDir);
    if (program.empty()) {
        writeError("'" + cmd.words[0] + "' 不是内部或外部命令，也不是可运行的程序\r\n或批处理文件。\r\n");
        m_errorLevel = 9009;
        return;
    }
    std::string error;
    int code = runProgram(*this, program, cmd, error);
    if (code < 0) {
        writeError(error + "\r\n");
        m_errorLevel = 1;
        return;
    }
    m_errorLevel = code;
}

void Interpreter::runBatch(const std::filesystem::path& file, const std::vector<std::string>& args) {
    if (m_batchDirs.size() >= 16) {
        writeError("批处理文件嵌套太深。\r\n");
        return;
    }
    std::ifstream in(file, std::ios::binary);
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < content.size()) {
        std::size_t nl = content.find('\n', pos);
        std::string l = content.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
        if (!l.empty() && l.back() == '\r') l.pop_back();
        lines.push_back(l);
        pos = nl == std::string::npos ? content.size() : nl + 1;
    }
    // A batch file's ECHO OFF lasts until it ends, so the caller's prompt (the IDE's marker) comes back.
    const std::size_t depth = m_levels.size();
    const bool savedEcho = level().echo;
    std::error_code ec;
    m_batchDirs.push_back(std::filesystem::absolute(file, ec).parent_path());
    for (const std::string& raw : lines) {
        if (finished() || m_levels.size() < depth) break;
        std::string line;
        for (std::size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] == '%' && i + 1 < raw.size()) {
                char n = raw[i + 1];
                if (n >= '0' && n <= '9') {
                    std::size_t k = static_cast<std::size_t>(n - '0');
                    if (k < args.size()) line += args[k];
                    ++i;
                    continue;
                }
                if (n == '%') { line.push_back('%'); ++i; continue; }
            }
            line.push_back(raw[i]);
        }
        std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == ':') continue;
        if (level().echo && line[first] != '@')
            write("\r\n" + expandPrompt(level().prompt, currentDirectory()) + line + "\r\n");
        execute(line);
    }
    m_batchDirs.pop_back();
    if (!finished() && m_levels.size() == depth) level().echo = savedEcho;
}

void Interpreter::clearScreen() {
    if (m_options.screenFrontEnd) {
        machine().clearScreen();
        return;
    }
    write(::isatty(m_options.outputFd) ? "\x1b[2J\x1b[H" : "\f");
}

}  // namespace krvs::cmd
