#include "rtm_session.h"

#include <chrono>

#include "cmd/interpreter.h"
#include "gbk_text.h"
#include "pc/machine.h"
#include "platform/hostfs.h"

namespace krvs::console {

namespace {

constexpr std::size_t kKeysPerPump = 8;
constexpr int kBufferRoom = 8;  // while pasting, keep the BIOS buffer (15 keys) from overflowing

int bufferedKeys(const pc::Machine& m) {
    const pc::Memory& mem = m.memory();
    int head = mem.read16(0x40, 0x1A), tail = mem.read16(0x40, 0x1C);
    int size = mem.read16(0x40, 0x82) - mem.read16(0x40, 0x80);
    if (size <= 0) return 0;
    return ((tail - head) % size + size) % size / 2;
}

}  // namespace

RtmSession::RtmSession(Config config) : m_config(std::move(config)) {}

RtmSession::~RtmSession() {
    stop();
    if (m_thread.joinable()) {
        // A session held up in a host program cannot be joined; the process is ending anyway.
        if (join(2000)) return;
        m_thread.detach();
    }
}

void RtmSession::start() { m_thread = std::thread([this] { run(); }); }

void RtmSession::prepare(pc::Machine& machine) {
    machine.cpu().setModel(m_config.settings.cpu);
    machine.setSpeed(m_config.settings.speed);
}

void RtmSession::run() {
    // Nothing is read from or written to host streams on the screen front end, except by redirection.
    platform::File null;
    platform::OpenRequest request;
    request.access = platform::Access::ReadWrite;
    platform::File::open("/dev/null", request, null);  // closed when the session ends
    cmd::Options options;
    options.inputFd = options.outputFd = options.errorFd = null.descriptor();
    options.interactiveTerminal = true;
    options.toolsDir = m_config.toolsDir;
    options.screenFrontEnd = true;
    options.screenText = [](const std::string& text) { return Utf8ToGbk().feed(text); };
    options.onMachine = [this](pc::Machine* m) { onProgram(m); };
    int code = 0;
    {
        cmd::Interpreter interpreter(options);
        pc::Machine& machine = interpreter.machine();
        prepare(machine);
        {
            std::lock_guard lock(m_mutex);
            m_machine = &machine;
            if (m_stopping) machine.requestStop();
        }
        code = m_config.commandLine.empty() ? interpreter.runInteractive() : interpreter.runSingle(m_config.commandLine);
        std::lock_guard lock(m_mutex);
        m_last = readScreen(machine);
        m_machine = nullptr;
    }
    m_exitCode = code;
    m_finished = true;
}

// A stop request is used up by whatever it ends (a program, a PAUSE); while stopping, each step of the
// session gets a fresh one so that the rest of a batch file runs through without waiting.
void RtmSession::onProgram(pc::Machine* machine) {
    {
        std::lock_guard lock(m_mutex);
        if (machine) prepare(*machine);
        if (m_stopping && m_machine) m_machine->requestStop();
    }
    if (m_config.onProgram) m_config.onProgram(machine);
}

void RtmSession::snapshot(ScreenImage& out) {
    std::lock_guard lock(m_mutex);
    out = m_machine ? readScreen(*m_machine) : m_last;
}

void RtmSession::type(const std::vector<KeyStroke>& strokes) {
    {
        std::lock_guard lock(m_mutex);
        m_keys.insert(m_keys.end(), strokes.begin(), strokes.end());
    }
    pump();
}

void RtmSession::pump() {
    std::lock_guard lock(m_mutex);
    if (!m_machine) return;
    const bool pasting = m_keys.size() > kKeysPerPump;
    for (std::size_t i = 0; i < kKeysPerPump && !m_keys.empty(); ++i) {
        if (pasting && bufferedKeys(*m_machine) >= kBufferRoom) break;
        m_machine->pushKey(m_keys.front().scan, m_keys.front().ascii);
        m_keys.pop_front();
    }
}

void RtmSession::stop() {
    std::lock_guard lock(m_mutex);
    m_stopping = true;
    m_keys.clear();
    if (m_machine) m_machine->requestStop();
}

bool RtmSession::join(int timeoutMs) {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!m_finished && std::chrono::steady_clock::now() < until) {
        {
            std::lock_guard lock(m_mutex);
            if (m_stopping && m_machine) m_machine->requestStop();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!m_finished) return false;
    if (m_thread.joinable()) m_thread.join();
    return true;
}

}  // namespace krvs::console
