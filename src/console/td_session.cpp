#include "td_session.h"

#include <chrono>

#include "debug/console.h"
#include "debug/session.h"

namespace krvs::console {

pc::ReadStatus KeyQueue::readByte(std::uint8_t& out, int timeoutMs) {
    std::unique_lock lock(m_mutex);
    auto ready = [this] { return !m_bytes.empty() || m_closed; };
    if (timeoutMs < 0) m_cv.wait(lock, ready);
    else if (!m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready)) return pc::ReadStatus::Timeout;
    if (m_bytes.empty()) return pc::ReadStatus::End;
    out = m_bytes.front();
    m_bytes.pop_front();
    return pc::ReadStatus::Ready;
}

void KeyQueue::push(std::uint8_t byte) {
    {
        std::lock_guard lock(m_mutex);
        if (m_closed) return;
        m_bytes.push_back(byte);
    }
    m_cv.notify_all();
}

void KeyQueue::close() {
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
    }
    m_cv.notify_all();
}

void TdSession::ScreenSink::write(const std::uint8_t* data, std::size_t size) {
    std::lock_guard lock(m_s.m_mutex);
    m_s.m_terminal.write(std::string_view(reinterpret_cast<const char*>(data), size));
}

TdSession::TdSession(Config config) : m_config(std::move(config)) {}

TdSession::~TdSession() {
    stop();
    if (m_thread.joinable()) {
        if (m_finished) m_thread.join();
        else m_thread.detach();  // the process is ending; the thread goes with it
    }
}

void TdSession::start() { m_thread = std::thread([this] { run(); }); }

void TdSession::run() {
    debug::Console console(m_keys, m_sink, true);
    debug::SessionOptions options;
    options.model = m_config.settings.cpu;
    if (!m_config.program.empty()) {
        std::filesystem::path dir = std::filesystem::path(m_config.program).parent_path();
        if (!dir.empty()) options.driveRoot = dir;
    }
    debug::Session session(console, options);
    m_session = &session;
    if (!m_config.program.empty())
        if (std::string e = session.start(m_config.program, m_config.args); !e.empty()) console.write(e + "\r\n");
    session.run();
    console.flush();
    {
        std::lock_guard lock(m_mutex);  // stop() may be interrupting it right now
        m_session = nullptr;
    }
    m_finished = true;
}

void TdSession::snapshot(ScreenImage& out) {
    std::lock_guard lock(m_mutex);
    out = m_terminal.image();
}

std::string TdSession::screenText() {
    std::lock_guard lock(m_mutex);
    const ScreenImage& s = m_terminal.image();
    std::string text;
    for (int r = 0; r < s.rows; ++r) {
        std::string line;
        for (int c = 0; c < s.columns; ++c) line.push_back(static_cast<char>(s.cell(r, c) & 0xFF));
        line.erase(line.find_last_not_of(' ') + 1);
        text += line + "\n";
    }
    return text;
}

// DEBUG and the program read bytes: keys that type no character have nothing to send.
void TdSession::type(const std::vector<KeyStroke>& strokes) {
    for (const KeyStroke& k : strokes)
        if (k.ascii != 0) m_keys.push(k.ascii);
}

void TdSession::stop() {
    {
        std::lock_guard lock(m_mutex);
        if (debug::Session* s = m_session.load()) s->interrupt();
    }
    m_keys.close();
}

bool TdSession::join(int timeoutMs) {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!m_finished && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (!m_finished) return false;
    if (m_thread.joinable()) m_thread.join();
    return true;
}

}  // namespace krvs::console
