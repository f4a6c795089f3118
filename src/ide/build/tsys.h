#pragma once
// TSys: a console pipe runner. It owns one hidden command interpreter whose standard input and
// output are pipes, and one reader thread that hands every chunk of the interpreter's output to
// its handler. Lines are written from any thread; two writes never overlap.
//
// Lifetime: the constructor starts the reader thread, which starts the interpreter. Stop() ends
// the interpreter; the destructor stops it, ends the reader and joins it. Neither may be called
// from inside the handler's OnOutput (the reader thread cannot join itself).
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "platform/process.h"

namespace krvs::ide {

class TExecute;

class TSys {
 public:
  // The longest command line WriteLine accepts, without its terminator.
  static constexpr std::size_t kMaxCommandLine = 255;
  // The most bytes one OnOutput call carries.
  static constexpr std::size_t kChunkBytes = 1024;

  // Where the runner's reads are logged ("RunCMDLine" entries, level 1); may be empty.
  using LogFn = std::function<void(const std::string& tag, const std::string& text, int level)>;

  // `interpreter` names the program (krvscmd), its arguments and working directory. The handler
  // is not owned and must outlive the runner.
  TSys(TExecute& handler, platform::ProcessOptions interpreter, LogFn log = {});
  ~TSys();
  TSys(const TSys&) = delete;
  TSys& operator=(const TSys&) = delete;

  // Writes `text` and the single `terminator` byte in one write. False without writing when the
  // interpreter is not running or `text` is longer than kMaxCommandLine (a cut command could do
  // something else than asked); false and OnError(3) when the write fails.
  bool WriteLine(std::string_view text, char terminator);
  // One byte, typed into a program that waits for a key. False as for WriteLine.
  bool WriteByte(unsigned char byte);

  // Closes the interpreter's input and ends it (with the programs it started) unless it has
  // already exited. Afterwards writes return false. The reader thread ends soon after.
  void Stop();

  // True while the interpreter runs as started (both pipes and the process were made).
  bool Started() const { return m_started.load(); }
  // Waits at most `timeoutMs` until the reader thread has tried to start the interpreter;
  // returns Started().
  bool WaitStarted(int timeoutMs);
  // True once the interpreter's output has ended or it never started: no more output will come.
  bool Ended() const { return m_ended.load(); }
  // True once the interpreter itself has exited, even while a program it started still holds its
  // output open. Call from the thread that owns the runner (it reaps the process).
  bool Exited() { return startAttempted() && m_process.started() && m_process.exitCode().has_value(); }
  // The interpreter's process id while it runs as started, else -1.
  int ProcessId() const { return m_started.load() ? m_process.pid() : -1; }

 private:
  void run();
  void Start();
  void log(const std::string& tag, const std::string& text) const;
  bool startAttempted() {
    std::lock_guard lock(m_startMutex);
    return m_startAttempted;
  }

  TExecute& m_handler;
  platform::ProcessOptions m_options;
  LogFn m_log;
  platform::Process m_process;
  std::mutex m_writeMutex;  // one write at a time; Stop closes the input under it too
  std::mutex m_startMutex;
  std::condition_variable m_startDone;
  bool m_startAttempted = false;
  std::atomic<bool> m_started{false};
  std::atomic<bool> m_stopping{false};
  std::atomic<bool> m_ended{false};
  std::thread m_reader;  // last: starts after every other member exists
};

}  // namespace krvs::ide
