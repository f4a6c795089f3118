#include "build/tcmd_handler.h"

namespace krvs::ide {

namespace {

bool isBreak(char c) { return c == '\r' || c == '\n'; }

// The text without its final line break (CR LF, CR or LF).
std::string_view withoutFinalBreak(std::string_view text) {
  if (text.ends_with("\r\n")) return text.substr(0, text.size() - 2);
  if (!text.empty() && isBreak(text.back())) return text.substr(0, text.size() - 1);
  return text;
}

// The last line, and where it starts.
std::string_view lastLine(std::string_view text, std::size_t* start = nullptr) {
  std::string_view body = withoutFinalBreak(text);
  std::size_t pos = body.find_last_of("\r\n");
  std::size_t from = pos == std::string_view::npos ? 0 : pos + 1;
  if (start) *start = from;
  return body.substr(from);
}

}  // namespace

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!isBreak(text[i])) continue;
    lines.emplace_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

void TCMDHandler::OnOutput(const std::string& text) {
  {
    std::lock_guard lock(m_mutex);
    m_output += text;
  }
  m_changed.notify_all();
}

void TCMDHandler::OnError(int code) {
  {
    std::lock_guard lock(m_mutex);
    m_lastError = "KRVSError:" + std::to_string(code);
    if (code == kRunnerEnded || code == kRunnerStart || code == kRunnerInputPipe ||
        code == kRunnerOutputPipe) {
      m_ended = true;
    }
  }
  m_changed.notify_all();
}

std::string TCMDHandler::Output() const {
  std::lock_guard lock(m_mutex);
  return m_output;
}

void TCMDHandler::ClearOutput() {
  std::lock_guard lock(m_mutex);
  m_output.clear();
}

bool TCMDHandler::EndsWithPrompt(std::string_view marker) const {
  std::lock_guard lock(m_mutex);
  return !m_output.empty() && lastLine(m_output) == marker;
}

bool TCMDHandler::EndsWithPromptAfter(std::string_view marker, std::string_view command) const {
  std::lock_guard lock(m_mutex);
  return promptAfterLocked(marker, command);
}

bool TCMDHandler::promptAfterLocked(std::string_view marker, std::string_view command) const {
  std::string_view all = m_output;
  std::size_t lastStart = 0;
  // Cheap test first: it runs at every chunk, and the last line is rarely the prompt.
  if (all.empty() || lastLine(all, &lastStart) != marker) return false;
  std::string echo = std::string(marker) + std::string(command);
  std::string_view before = all.substr(0, lastStart);
  for (std::size_t at = before.find(echo); at != std::string_view::npos; at = before.find(echo, at + 1)) {
    bool lineStart = at == 0 || isBreak(before[at - 1]);
    std::size_t end = at + echo.size();
    bool lineEnd = end == before.size() || isBreak(before[end]);
    if (lineStart && lineEnd) return true;
  }
  return false;
}

std::vector<std::string> TCMDHandler::GetLines() const {
  std::lock_guard lock(m_mutex);
  return SplitLines(m_output);
}

std::string TCMDHandler::LastError() const {
  std::lock_guard lock(m_mutex);
  return m_lastError;
}

bool TCMDHandler::InterpreterEnded() const {
  std::lock_guard lock(m_mutex);
  return m_ended;
}

TCMDHandler::Wait TCMDHandler::WaitForPrompt(std::string_view marker, std::string_view command,
                                             std::chrono::milliseconds timeout) {
  std::unique_lock lock(m_mutex);
  auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (promptAfterLocked(marker, command)) return Wait::Ready;
    if (m_ended) return Wait::Ended;
    if (m_changed.wait_until(lock, deadline) == std::cv_status::timeout) {
      if (promptAfterLocked(marker, command)) return Wait::Ready;
      return m_ended ? Wait::Ended : Wait::TimedOut;
    }
  }
}

}  // namespace krvs::ide
