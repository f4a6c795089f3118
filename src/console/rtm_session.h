#pragma once
// The work behind the console window Rtm.EXe: an interpreter session that runs a command line (usually
// Runner.bat and a program) on its own thread. The session is one emulated PC: the interpreter's messages,
// its PAUSE and its prompt use the same text screen and keyboard as the programs, so the program's output
// stays in view under "请按任意键继续. . .". The window polls snapshot() and hands keys to type().

#include <atomic>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "keymap.h"
#include "screen_image.h"
#include "settings.h"

namespace krvs::pc {
class Machine;
}

namespace krvs::console {

class RtmSession {
public:
    struct Config {
        std::string commandLine;  // empty: an interactive prompt until EXIT
        std::filesystem::path toolsDir;
        ConsoleSettings settings;
        // Told on the session thread when a DOS program starts (its machine) and ends (nullptr).
        std::function<void(pc::Machine*)> onProgram;
    };
    explicit RtmSession(Config config);
    ~RtmSession();
    RtmSession(const RtmSession&) = delete;
    RtmSession& operator=(const RtmSession&) = delete;

    void start();
    // GUI thread: the screen as it is now.
    void snapshot(ScreenImage& out);
    // GUI thread: keys typed in the window; delivered in order as the machine can take them.
    void type(const std::vector<KeyStroke>& strokes);
    void pump();
    // Any thread: ends the running program at once and the session soon after. Returns at once.
    void stop();
    bool finished() const { return m_finished.load(); }
    // Waits up to timeoutMs for the session thread; true when it ended and was joined.
    bool join(int timeoutMs);
    int exitCode() const { return m_exitCode.load(); }

private:
    void run();
    void onProgram(pc::Machine* machine);
    void prepare(pc::Machine& machine);

    Config m_config;
    std::thread m_thread;
    std::atomic<bool> m_finished{false};
    std::atomic<int> m_exitCode{0};

    std::mutex m_mutex;  // guards everything below
    pc::Machine* m_machine = nullptr;  // the session's PC while the session runs
    ScreenImage m_last;                // its screen when the session ended
    std::deque<KeyStroke> m_keys;
    bool m_stopping = false;
};

}  // namespace krvs::console
