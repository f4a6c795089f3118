#pragma once
// The work behind the debugger window TD.Exe: a DEBUG session on the program, on its own thread. DEBUG's
// dialogue and the program's console output share one screen in the order they happen, as in a DOS
// console; keys typed in the window are DEBUG's command lines, or the program's input while it runs.

#include <atomic>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "keymap.h"
#include "pc/stream.h"
#include "screen_image.h"
#include "settings.h"
#include "terminal.h"

namespace krvs::debug {
class Session;
}

namespace krvs::console {

// Keys as a byte stream that waits for the window.
class KeyQueue : public pc::ByteSource {
public:
    pc::ReadStatus readByte(std::uint8_t& out, int timeoutMs) override;
    void push(std::uint8_t byte);
    void close();

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<std::uint8_t> m_bytes;
    bool m_closed = false;
};

class TdSession {
public:
    struct Config {
        std::string program;  // as given on the command line
        std::string args;
        ConsoleSettings settings;
    };
    explicit TdSession(Config config);
    ~TdSession();
    TdSession(const TdSession&) = delete;
    TdSession& operator=(const TdSession&) = delete;

    void start();
    void snapshot(ScreenImage& out);
    void type(const std::vector<KeyStroke>& strokes);
    void stop();
    bool finished() const { return m_finished.load(); }
    bool join(int timeoutMs);
    // Everything shown so far as text rows (for tests).
    std::string screenText();

private:
    class ScreenSink : public pc::ByteSink {
    public:
        explicit ScreenSink(TdSession& s) : m_s(s) {}
        void write(const std::uint8_t* data, std::size_t size) override;

    private:
        TdSession& m_s;
    };
    void run();

    Config m_config;
    KeyQueue m_keys;
    ScreenSink m_sink{*this};
    std::thread m_thread;
    std::atomic<bool> m_finished{false};
    std::atomic<debug::Session*> m_session{nullptr};
    std::mutex m_mutex;  // guards the terminal
    Terminal m_terminal;
};

}  // namespace krvs::console
