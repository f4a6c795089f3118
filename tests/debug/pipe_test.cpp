// DEBUG.EXE driven through pipes the way the IDE drives it: commands end with CR, every reply is one
// read, and a program that waits for a key takes it from the same pipe.

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "debug_process.h"

namespace {

using krvs::debug::test::DebugProcess;

std::vector<std::string> lines(const std::string& reply) {
    std::vector<std::string> out;
    for (std::size_t at = 0, e; (e = reply.find("\r\n", at)) != std::string::npos; at = e + 2) out.push_back(reply.substr(at, e - at));
    return out;
}

std::string corpus(const char* relative) { return std::string(KRVS_TEST_DATA) + "/corpus/" + relative; }

TEST(DebugPipe, EachStepReplyIsOneReadWithTheFieldsWhereTheIdeLooks) {
    DebugProcess d(corpus("HELLOCOM/expected.com"));
    ASSERT_EQ(d.readOnce(), "-");
    const std::string expectedBytes[] = {"B409", "CD21", "BA2D01", "B409", "CD21", "CD20"};
    for (const std::string& bytes : expectedBytes) {
        d.send("p\r");
        const std::string reply = d.readOnce();
        ASSERT_EQ(reply.substr(0, 4), "p\r\r\n");
        ASSERT_EQ(reply.back(), '-') << reply;
        const auto l = lines(reply);
        ASSERT_GE(l.size(), 4u);
        // The three register lines are the last three before the prompt.
        const std::string joined = l[l.size() - 3] + l[l.size() - 2] + l[l.size() - 1];
        const std::size_t p = joined.find("IP=") + 1;  // counted from 1, as the IDE counts
        ASSERT_NE(p, 0u);
        EXPECT_EQ(joined.substr(p - 1 + 10, 23), "NV UP EI PL NZ NA PO NC");
        EXPECT_EQ(joined.substr(p - 1 + 44, bytes.size()), bytes);
        EXPECT_EQ(joined[p - 1 + 44 + bytes.size()], ' ');
    }
    d.send("p\r");
    EXPECT_EQ(d.readOnce(), "p\r\r\n\r\nProgram terminated normally\r\n-");
    d.send("q\r");
    EXPECT_EQ(d.readOnce(), "q\r\r\n");
    EXPECT_EQ(d.wait(), 0);
}

TEST(DebugPipe, ProgramOutputOfAStepArrivesInTheSameReadAsTheRegisters) {
    DebugProcess d(corpus("HELLOCOM/expected.com"));
    ASSERT_EQ(d.readOnce(), "-");
    d.send("p 2\r");
    d.readOnce();
    d.send("p\r");
    const std::string reply = d.readOnce();
    EXPECT_EQ(reply.substr(0, 32), "p\r\r\nHello from a .COM program!\r\n");
    EXPECT_NE(reply.find("\r\nAX="), std::string::npos);
    EXPECT_EQ(reply.back(), '-');
}

TEST(DebugPipe, AStepWaitingForALineTakesItsKeysFromThePipe) {
    DebugProcess d(corpus("REVLINE/expected.exe"));
    ASSERT_EQ(d.readOnce(), "-");
    d.send("p 6\r");
    const std::string before = d.readOnce();
    ASSERT_NE(before.find("INT\t21"), std::string::npos) << before;
    d.send("p\r");
    // The program waits inside INT 21h function 0Ah: no reply until it has its line.
    EXPECT_EQ(d.readOnce(300), "");
    for (char c : std::string("hi\r")) d.send(std::string(1, c));
    const std::string reply = d.readOnce();
    EXPECT_EQ(reply.substr(0, 9), "p\r\r\nhi\r\r\n");
    EXPECT_NE(reply.find("IP=0015"), std::string::npos) << reply;
    d.send("g\r");
    EXPECT_NE(d.readOnce().find("Reversed: ih\r\nLength: 2\r\n\r\nProgram terminated normally\r\n-"), std::string::npos);
    d.send("q\r");
    d.readOnce();
    EXPECT_EQ(d.wait(), 0);
}

TEST(DebugPipe, TheIdesUnknownCommandIsAnsweredWithItsEcho) {
    DebugProcess d("");
    ASSERT_EQ(d.readOnce(), "-");
    d.send("@#%$@$%#%@#$%@\r");
    EXPECT_EQ(d.readOnce(), "@#%$@$%#%@#$%@\r\r\n ^ Error\r\n-");
}

TEST(DebugPipe, EndOfInputEndsTheSession) {
    DebugProcess d("");
    ASSERT_EQ(d.readOnce(), "-");
    d.closeInput();
    EXPECT_EQ(d.wait(), 0);
}

}  // namespace

// A script file is read in blocks, but what follows Q is left where it was for the next reader of the
// same open file, as `(DEBUG; cat) < script` expects; everything before Q is still carried out.
TEST(DebugScriptFile, BytesAfterQuitStayForTheNextReader) {
    char path[] = "/tmp/krvs-debug-scriptXXXXXX";
    const int fd = ::mkstemp(path);
    ASSERT_GE(fd, 0);
    ::unlink(path);
    const std::string script = "e 100 90\rr\rq\rREST OF THE FILE\r\n";
    ASSERT_EQ(::write(fd, script.data(), script.size()), static_cast<ssize_t>(script.size()));
    ::lseek(fd, 0, SEEK_SET);
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(fd, 0);
        ::dup2(out[1], 1);
        ::close(out[0]);
        const std::string exe = std::string(KRVS_TOOLS_DIR) + "/DEBUG.EXE";
        ::execl(exe.c_str(), exe.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(out[1]);
    std::string reply;
    char buf[4096];
    for (ssize_t n; (n = ::read(out[0], buf, sizeof buf)) > 0;) reply.append(buf, static_cast<std::size_t>(n));
    ::close(out[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_NE(reply.find("0100 90            NOP"), std::string::npos) << reply;
    EXPECT_NE(reply.find("-q\r"), std::string::npos) << reply;
    std::string rest(64, '\0');
    const ssize_t n = ::read(fd, rest.data(), rest.size());
    ::close(fd);
    ASSERT_GE(n, 0);
    rest.resize(static_cast<std::size_t>(n));
    EXPECT_EQ(rest, "REST OF THE FILE\r\n");
}
