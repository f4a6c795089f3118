#include "build/tsys.h"

#include <chrono>

#include "build/texecute.h"

namespace krvs::ide {

TSys::TSys(TExecute& handler, platform::ProcessOptions interpreter, LogFn log)
    : m_handler(handler), m_options(std::move(interpreter)), m_log(std::move(log)) {
  m_reader = std::thread([this] { run(); });
}

TSys::~TSys() {
  Stop();
  if (m_reader.joinable()) m_reader.join();
}

void TSys::Start() {
  platform::Error error = m_process.start(m_options);
  if (error.empty()) {
    m_started = true;
    return;
  }
  // Process::start makes both pipes before it spawns; its message says which step failed.
  m_handler.OnError(error.rfind("pipe", 0) == 0 ? kRunnerInputPipe : kRunnerStart);
}

void TSys::run() {
  Start();
  {
    std::lock_guard lock(m_startMutex);
    m_startAttempted = true;
    // A runner that could not start has ended before a waiter learns that the attempt is over.
    if (!m_started) m_ended = true;
  }
  m_startDone.notify_all();
  if (!m_started) return;
  while (!m_stopping) {
    log("RunCMDLine", "Start to Read");
    std::optional<std::string> chunk = m_process.read(kChunkBytes);
    if (!chunk) break;
    log("RunCMDLine", "Finish to Read:" + *chunk);
    m_handler.OnOutput(*chunk);
  }
  m_started = false;
  m_ended = true;
  if (!m_stopping) m_handler.OnError(kRunnerEnded);
}

bool TSys::WaitStarted(int timeoutMs) {
  std::unique_lock lock(m_startMutex);
  m_startDone.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return m_startAttempted; });
  return m_started;
}

bool TSys::WriteLine(std::string_view text, char terminator) {
  if (text.size() > kMaxCommandLine) return false;
  std::string bytes(text);
  bytes.push_back(terminator);
  std::lock_guard lock(m_writeMutex);
  if (!m_started) return false;
  if (!m_process.write(bytes).empty()) {
    m_handler.OnError(kRunnerWrite);
    return false;
  }
  return true;
}

bool TSys::WriteByte(unsigned char byte) {
  std::lock_guard lock(m_writeMutex);
  if (!m_started) return false;
  if (!m_process.write(std::string(1, static_cast<char>(byte))).empty()) {
    m_handler.OnError(kRunnerWrite);
    return false;
  }
  return true;
}

void TSys::Stop() {
  m_stopping = true;
  {
    // The process object belongs to the reader thread until its start attempt is over.
    std::unique_lock lock(m_startMutex);
    m_startDone.wait(lock, [this] { return m_startAttempted; });
  }
  {
    std::lock_guard lock(m_writeMutex);
    m_started = false;
    m_process.closeInput();
  }
  // An interpreter that has already ended is not signalled; one that still runs is ended with
  // everything it started, so no tool outlives the runner.
  if (m_process.started() && !m_process.exitCode()) m_process.terminate();
  m_process.cancelRead();
}

void TSys::log(const std::string& tag, const std::string& text) const {
  if (m_log) m_log(tag, text, 1);
}

}  // namespace krvs::ide
