// Finding programs and running them: DOS programs in the emulated PC on the byte-stream front end, host
// executables natively with the standard handles they inherit, batch files line by line.

#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "cmd/interpreter.h"
#include "pc/loader.h"
#include "pc/machine.h"
#include "platform/dosnames.h"
#include "platform/process.h"

namespace krvs::cmd {

namespace fs = std::filesystem;

namespace {

constexpr const char* kExtensions[] = {".exe", ".com", ".bat"};

// The file of `dir` named `name` in any letter case, the exact spelling first.
fs::path findInDirectory(const fs::path& dir, const std::string& name) {
    std::optional<std::string> found = platform::findNoCase((dir / name).string());
    return found ? fs::path(*found) : fs::path();
}

fs::path findWithExtensions(const fs::path& dir, const std::string& name) {
    for (const char* ext : kExtensions)
        if (auto p = findInDirectory(dir, name + ext); !p.empty()) return p;
    return findInDirectory(dir, name);
}

std::string extensionOf(const fs::path& p) { return platform::lowerAscii(p.extension().string()); }

// The files "<" and ">" name, closed when the program has ended; -1 stands for no redirection.
struct Redirections {
    platform::File in, out;
    int inFd() const { return in.isOpen() ? in.descriptor() : -1; }
    int outFd() const { return out.isOpen() ? out.descriptor() : -1; }
};

bool openRedirections(const Interpreter& interp, const CommandLine& cmd, Redirections& r, std::string& error) {
    if (!cmd.inputFile.empty() && !(r.in = interp.openRedirection(cmd.inputFile, false, false)).isOpen()) {
        error = "系统找不到指定的文件。";
        return false;
    }
    if (!cmd.outputFile.empty() && !(r.out = interp.openRedirection(cmd.outputFile, true, cmd.append)).isOpen()) {
        error = "系统找不到指定的路径。";
        return false;
    }
    return true;
}

int runDos(Interpreter& interp, const fs::path& file, const CommandLine& cmd, std::string& error) {
    Redirections red;
    if (!openRedirections(interp, cmd, red, error)) return -1;
    const Options& opt = interp.options();
    pc::Machine& machine = interp.machine();
    machine.setDriveRoot(file.parent_path());
    // A DOS program started with krvscmd's own input not a terminal reads that input as a redirected file,
    // as it would have been started with "<": no echo, no line editing, an end. A terminal is the console.
    int in = red.inFd();
    if (in < 0 && !opt.interactiveTerminal && !opt.screenFrontEnd) in = opt.inputFd;
    machine.setStandardFiles(in, red.outFd());
    pc::LoadResult loaded = machine.load(file, cmd.rest);
    if (!loaded.ok) {
        error = "无法运行 " + file.filename().string() + ": " + loaded.error;
        return -1;
    }
    if (opt.onMachine) opt.onMachine(&machine);
    pc::RunOutcome outcome = machine.run({opt.maxInstructions, opt.timeLimitMs});
    if (opt.onMachine) opt.onMachine(nullptr);
    machine.releaseProgram();  // files closed and memory free before the redirections close
    for (const auto& n : machine.notes()) interp.writeError("krvscmd: " + n + "\r\n");
    switch (outcome) {
    case pc::RunOutcome::Halted:
        interp.writeError("krvscmd: the program halted with interrupts disabled and was ended\r\n");
        return 255;
    case pc::RunOutcome::InstructionLimit:
    case pc::RunOutcome::TimeLimit:
        interp.writeError("krvscmd: the program reached its run limit and was ended\r\n");
        return 255;
    case pc::RunOutcome::Stopped:
        return 255;
    default:
        return machine.exitCode();
    }
}

// Only the toolchain runs natively: a host program anywhere else, or any host program named by a batch file
// (which a DOS program may have written), is refused, so no file a program writes makes the host run it.
bool mayRunOnHost(const Interpreter& interp, const fs::path& file, std::string& error) {
    if (interp.inBatch()) {
        error = "krvscmd: a batch file runs DOS programs and built-in commands only; " + file.string() + " is not run";
        return false;
    }
    std::error_code ec;
    fs::path tools = fs::weakly_canonical(interp.options().toolsDir, ec);
    fs::path dir = fs::weakly_canonical(file, ec).parent_path();
    if (!interp.options().toolsDir.empty() && !ec && dir == tools) return true;
    error = "krvscmd: " + file.string() + " is a host program outside the toolchain directory and is not run";
    return false;
}

int runHost(const Interpreter& interp, const fs::path& file, const CommandLine& cmd, std::string& error) {
    if (!mayRunOnHost(interp, file, error)) return -1;
    const Options& opt = interp.options();
    Redirections red;
    if (!openRedirections(interp, cmd, red, error)) return -1;
    std::vector<std::string> args = cmd.words;
    args[0] = file.string();
    int code = 0;
    const int in = red.in.isOpen() ? red.inFd() : opt.inputFd, out = red.out.isOpen() ? red.outFd() : opt.outputFd;
    if (platform::Error e = platform::runAttached(args, in, out, opt.errorFd, code); !e.empty()) {
        error = "无法启动 " + file.string();
        return -1;
    }
    return code;
}

}  // namespace

platform::File Interpreter::openRedirection(const std::string& name, bool output, bool append) const {
    platform::OpenRequest request;
    request.access = output ? platform::Access::Write : platform::Access::Read;
    request.create = output;
    request.append = output && append;
    request.truncate = output && !append;
    request.followLink = true;  // a path typed at the prompt is the user's own
    std::string path = name;
    platform::File file;
    if (platform::equalsNoCase(path, "nul")) {
        platform::File::open("/dev/null", request, file);
        return file;
    }
    if (inBatch()) {
        // The batch file's own directory is its drive C:, with no way out and no links.
        pc::HostPath p = pc::HostDrive(m_batchDirs.back()).resolve(name);
        if (p.error || p.isDirectory || (!output && !p.exists)) return file;
        request.followLink = false;
        platform::File::open(p.path.string(), request, file);
        return file;
    }
    std::replace(path.begin(), path.end(), '\\', '/');
    if (!output) {
        fs::path found = findInDirectory(fs::path(path).parent_path().empty() ? "." : fs::path(path).parent_path(),
                                         fs::path(path).filename().string());
        if (!found.empty()) path = found.string();
    }
    platform::File::open(path, request, file);
    return file;
}

fs::path findProgram(const std::string& name, const fs::path& toolsDir) {
    if (name.empty()) return {};
    std::string n = name;
    std::replace(n.begin(), n.end(), '\\', '/');
    if (n.size() >= 2 && n[1] == ':') n = n.substr(2);  // drive letters name nothing here
    if (n.find('/') != std::string::npos) {
        fs::path p(n);
        return findWithExtensions(p.parent_path().empty() ? fs::path("/") : p.parent_path(), p.filename().string());
    }
    std::vector<fs::path> dirs{fs::path(".")};
    if (!toolsDir.empty()) dirs.push_back(toolsDir);
    if (const char* path = std::getenv("PATH")) {
        std::string s = path;
        for (std::size_t pos = 0; pos <= s.size();) {
            std::size_t colon = s.find(':', pos);
            std::string d = s.substr(pos, colon == std::string::npos ? std::string::npos : colon - pos);
            if (!d.empty()) dirs.emplace_back(d);
            if (colon == std::string::npos) break;
            pos = colon + 1;
        }
    }
    for (const auto& d : dirs) {
        fs::path p = findWithExtensions(d, n);
        if (p.empty()) continue;
        if (classify(p) == ProgramKind::Unknown) continue;  // a data file of the same name is no program
        std::error_code ec;
        fs::path full = d == "." ? fs::absolute(p, ec) : p;
        return ec ? p : full;
    }
    return {};
}

ProgramKind classify(const fs::path& file) {
    std::uint8_t head[4] = {};
    std::ifstream in(file, std::ios::binary);
    in.read(reinterpret_cast<char*>(head), sizeof head);
    auto got = static_cast<std::size_t>(in.gcount());
    if (pc::isMz(head, got)) return ProgramKind::Dos;
    bool elf = got == 4 && head[0] == 0x7F && head[1] == 'E' && head[2] == 'L' && head[3] == 'F';
    bool script = got >= 2 && head[0] == '#' && head[1] == '!';
    if ((elf || script) && platform::isExecutable(file.string())) return ProgramKind::Host;
    std::string ext = extensionOf(file);
    if (ext == ".bat") return ProgramKind::Batch;
    if (ext == ".com") return ProgramKind::Dos;
    return ProgramKind::Unknown;
}

int runProgram(Interpreter& interp, const fs::path& file, const CommandLine& cmd, std::string& error) {
    switch (classify(file)) {
    case ProgramKind::Dos: return runDos(interp, file, cmd, error);
    case ProgramKind::Host: return runHost(interp, file, cmd, error);
    case ProgramKind::Batch: {
        std::vector<std::string> args{cmd.words[0]};
        // Batch parameters keep their quotes, as %1 does.
        std::string text = cmd.rest;
        std::size_t i = 0;
        while (i < text.size()) {
            while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
            if (i >= text.size()) break;
            std::size_t start = i;
            bool quoted = false;
            for (; i < text.size(); ++i) {
                if (text[i] == '"') quoted = !quoted;
                else if (!quoted && (text[i] == ' ' || text[i] == '\t')) break;
            }
            args.push_back(text.substr(start, i - start));
        }
        interp.runBatch(file, args);
        return interp.errorLevel();
    }
    case ProgramKind::Unknown: break;
    }
    error = "'" + cmd.words[0] + "' 不是内部或外部命令，也不是可运行的程序\r\n或批处理文件。";
    return -1;
}

}  // namespace krvs::cmd
