#pragma once
// TCMDHandler: collects a command interpreter's output for the build driver and answers whether
// the interpreter has come back to its prompt. The runner's reader thread appends; the waiting
// thread reads; every access to the output is made under the handler's lock.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "build/texecute.h"

namespace krvs::ide {

// Lines of `text`: CR, LF and CR LF each end a line; a final line break opens no empty line.
std::vector<std::string> SplitLines(std::string_view text);

class TCMDHandler : public TExecute {
 public:
  void OnOutput(const std::string& text) override;
  // Records "KRVSError:" and the code; kRunnerEnded also marks the interpreter as gone.
  void OnError(int code) override;

  std::string Output() const;
  void ClearOutput();
  // True when the output's last line equals `marker` exactly.
  bool EndsWithPrompt(std::string_view marker) const;
  // True when the last line equals `marker` and an earlier line is `marker` followed by
  // `command`: the interpreter has echoed that command and come back to its prompt after it, so a
  // prompt printed before the command was read does not count.
  bool EndsWithPromptAfter(std::string_view marker, std::string_view command) const;
  std::vector<std::string> GetLines() const;
  // The text of the last OnError, empty when none.
  std::string LastError() const;
  bool InterpreterEnded() const;

  enum class Wait { Ready, TimedOut, Ended };
  // Blocks until EndsWithPromptAfter(marker, command) holds, the interpreter's output ends, or
  // `timeout` passes. Wakes at each chunk, so no time is lost to polling.
  Wait WaitForPrompt(std::string_view marker, std::string_view command,
                     std::chrono::milliseconds timeout);

 private:
  bool promptAfterLocked(std::string_view marker, std::string_view command) const;
  mutable std::mutex m_mutex;
  std::condition_variable m_changed;
  std::string m_output;
  std::string m_lastError;
  bool m_ended = false;
};

}  // namespace krvs::ide
