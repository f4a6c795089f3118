// krvscmd as the IDE and students use it: through a pipe with the prompt marker, with /c, batch files,
// redirection, DOS programs in the emulated PC and host programs run natively.

#include <gtest/gtest.h>

#include <fstream>
#include <cstdlib>
#include <sys/ioctl.h>
#include <map>
#include <sstream>

#include <atomic>
#include <thread>

#include "cmd/interpreter.h"
#include "pc/machine.h"
#include "session.h"

namespace krvs::cmd::test {
namespace {

namespace fs = std::filesystem;
const fs::path kData = fs::path(KRVS_TEST_DATA);
const std::string kMarker = "K+R+V+S+#";

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(CmdParse, SplitsWordsQuotesAndRedirections) {
    struct Case { const char* line; std::vector<std::string> words; const char* rest; const char* in; const char* out; bool append; };
    const Case cases[] = {
        {"prog a  b", {"prog", "a", "b"}, "a  b", "", "", false},
        {"PROG.EXE alpha beta  gamma 42 < stdin.txt > out", {"PROG.EXE", "alpha", "beta", "gamma", "42"},
         "alpha beta  gamma 42", "stdin.txt", "out", false},
        {"\"my prog\" \"x y\" z>>log.txt", {"my prog", "x y", "z"}, "\"x y\" z", "", "log.txt", true},
        {"cd \"/tmp/a b\"", {"cd", "/tmp/a b"}, "\"/tmp/a b\"", "", "", false},
        {"a <in>out", {"a"}, "", "in", "out", false},
    };
    for (const auto& c : cases) {
        CommandLine cmd = parseCommandLine(c.line);
        EXPECT_EQ(cmd.words, c.words) << c.line;
        EXPECT_EQ(cmd.rest, c.rest) << c.line;
        EXPECT_EQ(cmd.inputFile, c.in) << c.line;
        EXPECT_EQ(cmd.outputFile, c.out) << c.line;
        EXPECT_EQ(cmd.append, c.append) << c.line;
        EXPECT_TRUE(cmd.error.empty()) << c.line;
    }
    EXPECT_FALSE(parseCommandLine("prog >").error.empty());
}

TEST(CmdPrompt, ExpandsDollarCodes) {
    struct Case { const char* prompt; const char* expected; };
    const Case cases[] = {
        {"$P$G", "/x/y>"}, {"K+R+V+S+#", "K+R+V+S+#"}, {"$$ $q$L$b", "$ =<|"}, {"a$_b", "a\r\nb"}, {"end$", "end$"},
    };
    for (const auto& c : cases) EXPECT_EQ(expandPrompt(c.prompt, "/x/y"), c.expected) << c.prompt;
}

class CmdCorpus : public ::testing::TestWithParam<std::string> {};

TEST_P(CmdCorpus, RunsThroughSlashC) {
    TempDir dir;
    fs::copy(kData / "corpus" / GetParam(), dir.path(), fs::copy_options::recursive);
    std::string program = fs::exists(dir.path() / "expected.exe") ? "expected.exe" : "expected.com";
    std::string args = slurp(dir.path() / "args.txt");
    Session s({"/c", program + (args.empty() ? "" : " " + args) + " < stdin.txt > stdout"}, dir.path());
    int rc = s.finish();
    EXPECT_EQ(s.output(), "");
    EXPECT_EQ(slurp(dir.path() / "stdout"), slurp(dir.path() / "expected.stdout"));
    EXPECT_EQ(std::to_string(rc) + "\n", slurp(dir.path() / "expected.rc"));
}

std::vector<std::string> corpusPrograms() {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(kData / "corpus"))
        if (e.is_directory()) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

INSTANTIATE_TEST_SUITE_P(Programs, CmdCorpus, ::testing::ValuesIn(corpusPrograms()),
                         [](const auto& info) { return info.param; });

// The build driver's dialogue: a nested interpreter, the marker prompt, a drive, cd, a program, exit.
TEST(CmdPipe, EachStepEndsInTheMarkerLine) {
    TempDir home;
    fs::path work = home.path() / "汇编作业";
    fs::create_directories(work);
    fs::copy_file(kData / "pc" / "NOLF.COM", work / "NoLf.Com");
    fs::copy_file(kData / "corpus" / "HELLOEXE" / "expected.exe", work / "HELLO.EXE");
    Session s({}, home.path());
    ASSERT_TRUE(s.waitForLastLine(home.path().string() + ">"));
    s.take();
    const std::string steps[] = {"cmd", "prompt " + kMarker, "C:", "cd " + work.string(), "nolf",
                                 (work / "HELLO.EXE").string(), "cd \"" + home.path().string() + "\""};
    for (const auto& step : steps) {
        s.write(step + "\n");
        const std::string prompt = step == "cmd" ? home.path().string() + ">" : kMarker;
        ASSERT_TRUE(s.waitForLastLine(prompt)) << step << ": " << s.output();
        std::string out = s.take();
        if (step == "nolf") {
            EXPECT_EQ(out, "nolf\r\nabc\r\n" + kMarker);  // the line break before the prompt comes anyway
        } else if (step.find("HELLO") != std::string::npos) {
            EXPECT_NE(out.find("Hello"), std::string::npos) << out;
        } else if (step.rfind("cd", 0) == 0) {
            EXPECT_EQ(out, step + "\r\n\r\n" + kMarker);
        }
    }
    s.write("exit\n");
    ASSERT_TRUE(s.waitForLastLine(home.path().string() + ">"));  // back in the outer interpreter
    s.write("exit\n");
    EXPECT_EQ(s.finish(), 0);
}

TEST(CmdPipe, ProgramsGetTheBytesThatFollowTheirCommandLine) {
    TempDir dir;
    fs::copy_file(kData / "pc" / "ECHOKEY.COM", dir.path() / "ECHOKEY.COM");
    fs::copy_file(kData / "corpus" / "REVLINE" / "expected.exe", dir.path() / "REVLINE.EXE");
    Session s({}, dir.path());
    // Everything in one write: the interpreter must not read past each command line.
    s.write("prompt " + kMarker + "\nechokey\nqREVLINE\nstressed\r\nexit\n");
    int rc = s.finish();
    EXPECT_EQ(rc, 0);
    const std::string& out = s.output();
    EXPECT_NE(out.find(kMarker + "echokey\r\nq\r\n" + kMarker), std::string::npos) << out;
    EXPECT_NE(out.find("desserts"), std::string::npos) << out;
    EXPECT_NE(out.find(kMarker + "exit\r\n"), std::string::npos) << out;
}

TEST(CmdPipe, UnknownCommandsAndBadDirectoriesAreReportedAndThePromptReturns) {
    TempDir dir;
    Session s({}, dir.path());
    s.write("prompt " + kMarker + "\nfrobnicate now\ncd nowhere\necho still here\n");
    ASSERT_TRUE(s.waitForLastLine(kMarker));
    s.finish();
    const std::string& out = s.output();
    EXPECT_NE(out.find("'frobnicate' 不是内部或外部命令，也不是可运行的程序\r\n或批处理文件。"), std::string::npos);
    EXPECT_NE(out.find("系统找不到指定的路径。"), std::string::npos);
    EXPECT_NE(out.find("echo still here\r\nstill here\r\n\r\n" + kMarker), std::string::npos) << out;
}

TEST(CmdSlashC, RunsBatchFilesWithParametersEchoOffAndPause) {
    TempDir dir;
    fs::copy_file(kData / "pc" / "ARGS.BAT", dir.path() / "ARGS.BAT");
    fs::copy_file(kData / "pc" / "NOLF.COM", dir.path() / "NOLF.COM");
    Session s({"/c", "args one \"two 2\""}, dir.path());
    s.write("x");
    EXPECT_EQ(s.finish(), 0);
    EXPECT_EQ(s.output(), "zero=args one=one two=\"two 2\" ten=.\r\n\r\n100%\r\n请按任意键继续. . .\r\nabc");
}

TEST(CmdSlashC, SeparateArgumentsWithBlanksStayOneWord) {
    TempDir dir;
    std::ofstream(dir.path() / "SHOW.BAT") << "@echo [%1] [%2]\r\n";
    Session s({"/c", "show.bat", "a b", "c"}, dir.path());
    s.finish();
    EXPECT_EQ(s.output(), "[\"a b\"] [c]\r\n");
}

TEST(CmdSlashC, BatchEchoShowsEachCommandUntilEchoOff) {
    TempDir dir;
    std::ofstream(dir.path() / "RUN.BAT") << "echo one\r\n@echo two\r\necho off\r\necho three\r\n";
    Session s({"/c", "run.bat"}, dir.path());
    s.finish();
    std::string p = dir.path().string() + ">";
    EXPECT_EQ(s.output(), "\r\n" + p + "echo one\r\none\r\ntwo\r\n\r\n" + p + "echo off\r\nthree\r\n");
}

TEST(CmdSlashC, ExitCodesComeFromProgramsAndExit) {
    TempDir dir;
    fs::copy_file(kData / "pc" / "ECHOKEY.COM", dir.path() / "EchoKey.com");
    struct Case { const char* command; const char* input; int rc; const char* output; };
    const Case cases[] = {
        {"ECHOKEY", "A", 'A', "A"},
        {"exit 3", "", 3, ""},
        {"krvscmd /c exit 7", "", 7, ""},  // a host program of the toolchain
        {"printf abc", "", 1, nullptr},     // any other host program is not run
        {"nosuchprogram", "", 9009 & 0xFF, nullptr},
    };
    for (const auto& c : cases) {
        Session s({"/c", c.command}, dir.path());
        s.write(c.input);
        EXPECT_EQ(s.finish(), c.rc) << c.command;
        if (c.output) {
            EXPECT_EQ(s.output(), c.output) << c.command;
        }
    }
}

TEST(CmdSlashC, BuiltinOutputFollowsRedirection) {
    TempDir dir;
    Session s({"/c", "echo hello > OUT.TXT"}, dir.path());
    s.finish();
    EXPECT_EQ(s.output(), "");
    EXPECT_EQ(slurp(dir.path() / "OUT.TXT"), "hello\r\n");
}

TEST(CmdLookup, FindsProgramsWithoutCaseAndByExtensionOrder) {
    TempDir dir;
    std::ofstream(dir.path() / "Tool.Bat") << "echo bat\r\n";
    std::ofstream(dir.path() / "tool.com") << "\xC3";
    std::ofstream(dir.path() / "NOTES.TXT") << "text";
    fs::path cwd = fs::current_path();
    fs::current_path(dir.path());
    EXPECT_EQ(findProgram("TOOL", "").filename(), "tool.com");
    EXPECT_EQ(findProgram("tool.bat", "").filename(), "Tool.Bat");
    EXPECT_TRUE(findProgram("notes.txt", "").empty());
    EXPECT_EQ(findProgram((dir.path() / "TOOL").string(), "").filename(), "tool.com");
    fs::current_path(cwd);
    EXPECT_EQ(classify(dir.path() / "tool.com"), ProgramKind::Dos);
    EXPECT_EQ(classify(dir.path() / "Tool.Bat"), ProgramKind::Batch);
    EXPECT_EQ(classify(interpreterPath()), ProgramKind::Host);
}

}  // namespace
}  // namespace krvs::cmd::test

namespace krvs::cmd::test {
namespace {

TEST(CmdEngine, AFrontEndCanStopARunningDosProgram) {
    TempDir dir;
    std::ofstream(dir.path() / "SPIN.COM") << "\xEB\xFE";  // jmp $
    int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    Options options;
    options.inputFd = options.outputFd = options.errorFd = null;
    std::atomic<pc::Machine*> running{nullptr};
    options.onMachine = [&running](pc::Machine* m) { running = m; };
    Interpreter interp(options);
    std::thread stopper([&running] {
        while (!running) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        running.load()->requestStop();
    });
    interp.execute((dir.path() / "SPIN.COM").string());
    stopper.join();
    EXPECT_EQ(running.load(), nullptr);
    ::close(null);
}

TEST(CmdEngine, RunLimitsEndAnEndlessProgram) {
    TempDir dir;
    std::ofstream(dir.path() / "SPIN.COM") << "\xEB\xFE";
    int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    Options options;
    options.inputFd = options.outputFd = options.errorFd = null;
    options.maxInstructions = 100000;
    Interpreter interp(options);
    interp.execute((dir.path() / "SPIN.COM").string());
    EXPECT_EQ(interp.errorLevel(), 255);
    ::close(null);
}

TEST(CmdEngine, OnTheScreenFrontEndProgramsWriteToTheScreenAndTakePushedKeys) {
    TempDir dir;
    fs::copy_file(kData / "pc" / "ECHOKEY.COM", dir.path() / "ECHOKEY.COM");
    int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    Options options;
    options.inputFd = options.outputFd = options.errorFd = null;
    options.screenFrontEnd = true;
    std::string screenText;
    pc::Machine* machine = nullptr;
    options.onMachine = [&](pc::Machine* m) {
        if (m) m->pushKey(0x10, 'q');
        else screenText = machine->screen().text();  // called while the machine still exists
        machine = m;
    };
    Interpreter interp(options);
    interp.execute((dir.path() / "ECHOKEY.COM").string());
    EXPECT_EQ(interp.errorLevel(), 'q');
    EXPECT_EQ(screenText.substr(0, 2), "q\n");
    ::close(null);
}

}  // namespace
}  // namespace krvs::cmd::test

namespace krvs::cmd::test {
namespace {

// Tiny .COM programs for the session tests, each with its source.
struct ComFile { const char* name; std::string bytes; };
const ComFile kSessionPrograms[] = {
    // mov ax,0B800h / mov es,ax / mov byte ptr es:[0],'Z' / mov ax,4C00h / int 21h
    {"W.COM", std::string("\xB8\x00\xB8\x8E\xC0\x26\xC6\x06\x00\x00\x5A\xB8\x00\x4C\xCD\x21", 16)},
    // mov ax,0B800h / mov es,ax / mov al,es:[0] / mov ah,4Ch / int 21h
    {"R.COM", std::string("\xB8\x00\xB8\x8E\xC0\x26\xA0\x00\x00\xB4\x4C\xCD\x21", 13)},
    // mov dx,offset handler / mov ax,2560h / int 21h / mov dx,offset last+1 / int 27h / handler: mov al,42h / iret
    {"TSR.COM", std::string("\xBA\x0D\x01\xB8\x60\x25\xCD\x21\xBA\x10\x01\xCD\x27\xB0\x42\xCF", 16)},
    // the same hook, then mov ax,4C00h / int 21h: the handler's memory is given back
    {"HOOK.COM", std::string("\xBA\x0D\x01\xB8\x60\x25\xCD\x21\xB8\x00\x4C\xCD\x21\xB0\x42\xCF", 16)},
    // int 60h / mov ah,4Ch / int 21h
    {"CALL60.COM", std::string("\xCD\x60\xB4\x4C\xCD\x21", 6)},
    // mov bx,100h / mov ah,4Ah / int 21h / mov bx,0FFFFh / mov ah,48h / int 21h / mov al,bh / mov ah,4Ch / int 21h
    {"FREE.COM", std::string("\xBB\x00\x01\xB4\x4A\xCD\x21\xBB\xFF\xFF\xB4\x48\xCD\x21\x88\xF8\xB4\x4C\xCD\x21", 20)},
    // mov bx,100h / mov ah,4Ah / int 21h / mov bx,1000h / mov ah,48h / int 21h / mov ax,4C00h / int 21h
    {"LEAK.COM", std::string("\xBB\x00\x01\xB4\x4A\xCD\x21\xBB\x00\x10\xB4\x48\xCD\x21\xB8\x00\x4C\xCD\x21", 19)},
    {"SPIN.COM", std::string("\xEB\xFE", 2)},  // jmp $
};

// The error level after running `commands` one after another in one interpreter.
int lastErrorLevel(const std::vector<std::string>& commands) {
    TempDir dir;
    for (const auto& p : kSessionPrograms) std::ofstream(dir.path() / p.name, std::ios::binary) << p.bytes;
    int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    Options options;
    options.inputFd = options.outputFd = options.errorFd = null;
    options.maxInstructions = 200000;
    Interpreter interp(options);
    for (const auto& c : commands) interp.execute((dir.path() / c).string());
    ::close(null);
    return interp.errorLevel();
}

TEST(CmdSession, OneSessionIsOneMachine) {
    EXPECT_EQ(lastErrorLevel({"W.COM", "R.COM"}), 'Z');        // video memory stays
    EXPECT_EQ(lastErrorLevel({"TSR.COM", "CALL60.COM"}), 0x42);  // a resident handler stays
    EXPECT_EQ(lastErrorLevel({"HOOK.COM", "CALL60.COM"}), 0);    // a handler in freed memory is unhooked
}

TEST(CmdSession, EachProgramGetsTheMemoryTheLastOneLeft) {
    const int fresh = lastErrorLevel({"FREE.COM"});
    EXPECT_GT(fresh, 0x90);
    EXPECT_EQ(lastErrorLevel({"LEAK.COM", "FREE.COM"}), fresh);
    EXPECT_EQ(lastErrorLevel({"SPIN.COM", "FREE.COM"}), fresh);  // also after a program that was ended
}

}  // namespace
}  // namespace krvs::cmd::test

namespace krvs::cmd::test {
namespace {

// Copies handle 0 to handle 1 with AH=3Fh/40h until a read returns nothing, then exits with 0:
//   again: mov ah,3Fh / xor bx,bx / mov cx,100 / mov dx,200h / int 21h / jc done / test ax,ax / jz done
//          mov cx,ax / mov ah,40h / mov bx,1 / int 21h / jmp again / done: mov ax,4C00h / int 21h
const std::string kCopyInput("\xB4\x3F\x31\xDB\xB9\x64\x00\xBA\x00\x02\xCD\x21\x72\x0F\x85\xC0\x74\x0B\x89\xC1"
                             "\xB4\x40\xBB\x01\x00\xCD\x21\xEB\xE3\xB8\x00\x4C\xCD\x21", 34);

// krvscmd's own input from a pipe or file is what "<" would give the program: no echo, no editing, an end.
TEST(CmdStdin, InputThatIsNoTerminalIsARedirectedFile) {
    TempDir dir;
    std::ofstream(dir.path() / "COPYIN.COM", std::ios::binary) << kCopyInput;
    const std::string input = "abc\b\r\ndef\r\n";
    std::ofstream(dir.path() / "IN.TXT", std::ios::binary) << input;
    Session viaFile({"/c", "copyin < in.txt"}, dir.path());
    EXPECT_EQ(viaFile.finish(), 0);
    EXPECT_EQ(viaFile.output(), input);
    Session viaPipe({"/c", "copyin"}, dir.path());
    viaPipe.write(input);
    EXPECT_EQ(viaPipe.finish(), 0);
    EXPECT_EQ(viaPipe.output(), input);
}

}  // namespace
}  // namespace krvs::cmd::test

namespace krvs::cmd::test {
namespace {

// Every file below `dir` with its content.
std::map<std::string, std::string> snapshot(const fs::path& dir) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(dir))
        if (e.is_regular_file()) files[fs::relative(e.path(), dir).string()] = slurp(e.path());
    return files;
}

// A program that tries every way out of its directory, then the IDE's next "Debug" in that directory,
// which finds the batch file the program left there before the real DEBUG.
TEST(CmdSandbox, AHostileProgramChangesNothingOutsideItsDirectoryAndRunsNoHostProgram) {
    TempDir home;
    const fs::path work = home.path() / "work";
    fs::create_directories(work / ".git");
    std::ofstream(work / ".git" / "config") << "[core]\n";
    std::ofstream(home.path() / "victim.txt") << "keep";
    fs::copy_file(kData / "pc" / "HOSTILE.COM", work / "HOSTILE.COM");
    const auto before = snapshot(home.path());

    Session run({"/c", "hostile"}, work);
    EXPECT_EQ(run.finish(), 0);
    EXPECT_EQ(run.output(), "done\r\n");
    ASSERT_TRUE(fs::exists(work / "DEBUG.BAT"));  // inside its directory a program may write what it likes
    Session ide({}, work);
    ide.write("prompt " + kMarker + "\ndebug hostile.com\nexit\n");
    ide.finish();
    EXPECT_NE(ide.output().find("is not run"), std::string::npos) << ide.output();

    auto after = snapshot(home.path());
    after.erase("work/DEBUG.BAT");
    EXPECT_EQ(after, before);
    EXPECT_FALSE(fs::exists(home.path() / "PWNED") || fs::exists(work / "PWNED"));
}

}  // namespace
}  // namespace krvs::cmd::test

namespace krvs::cmd::test {
namespace {

// Ctrl-C typed in a terminal ends the DOS program that runs, and the interpreter goes on. The interpreter
// runs on a pseudo-terminal whose line discipline turns the typed ^C into SIGINT, as a real terminal does.
TEST(CmdTerminal, CtrlCEndsTheProgramNotTheInterpreter) {
    TempDir dir;
    std::ofstream(dir.path() / "SPIN.COM", std::ios::binary) << "\xEB\xFE";  // jmp $
    int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    std::string slaveName = ::ptsname(master);
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);  // a failed fork's -1 must never reach kill()
    if (pid == 0) {
        ::setsid();
        int slave = ::open(slaveName.c_str(), O_RDWR);
        ::ioctl(slave, TIOCSCTTY, 0);
        ::dup2(slave, 0);
        ::dup2(slave, 1);
        ::dup2(slave, 2);
        if (::chdir(dir.path().c_str()) != 0) ::_exit(126);
        std::string exe = interpreterPath();
        char* argv[] = {exe.data(), nullptr};
        ::execv(exe.c_str(), argv);
        ::_exit(127);
    }
    std::string seen;
    auto waitFor = [&](const std::string& text, int timeoutMs = 10000) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (seen.find(text) == std::string::npos && std::chrono::steady_clock::now() < deadline) {
            pollfd p{master, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0) continue;
            char buf[256];
            ssize_t n = ::read(master, buf, sizeof buf);
            if (n <= 0) break;
            seen.append(buf, static_cast<std::size_t>(n));
        }
        return seen.find(text) != std::string::npos;
    };
    auto type = [&](const std::string& keys) { EXPECT_EQ(::write(master, keys.data(), keys.size()), static_cast<ssize_t>(keys.size())); };
    EXPECT_TRUE(waitFor(">"));
    type("spin\r");
    EXPECT_TRUE(waitFor("spin"));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    type("\x03");
    type("echo still here\r");
    EXPECT_TRUE(waitFor("still here\r\n")) << seen;
    type("exit 4\r");
    int status = 0;
    for (int i = 0; i < 100 && ::waitpid(pid, &status, WNOHANG) == 0; ++i) {
        waitFor("never", 100);  // keeps the terminal drained while the interpreter ends
    }
    if (::waitpid(pid, &status, WNOHANG) == 0) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
    }
    ::close(master);
    ASSERT_TRUE(WIFEXITED(status)) << seen;
    EXPECT_EQ(WEXITSTATUS(status), 4);
}

}  // namespace
}  // namespace krvs::cmd::test

namespace krvs::cmd::test {
namespace {

// A console window runs the interpreter on the text screen: its own texts go there (through the front end's
// converter), and PAUSE takes a key pushed into the machine.
TEST(CmdEngine, OnTheScreenFrontEndTheInterpreterWritesToTheScreenAndReadsPushedKeys) {
    int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    Options options;
    options.inputFd = options.outputFd = options.errorFd = null;
    options.screenFrontEnd = true;
    options.screenText = [](const std::string& utf8) { return utf8 == "请按任意键继续. . ." ? std::string("PAUSE") : utf8; };
    Interpreter interp(options);
    pc::Machine& machine = interp.machine();
    std::thread typist([&machine] {
        while (machine.screen().text().find("PAUSE") == std::string::npos)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        machine.pushKey(0x39, ' ');
    });
    interp.execute("echo hello");
    interp.execute("pause");
    typist.join();
    const std::string text = machine.screen().text();
    EXPECT_EQ(text.substr(0, text.find("\n\n")), "hello\nPAUSE");
    ::close(null);
}

}  // namespace
}  // namespace krvs::cmd::test
