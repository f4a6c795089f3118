#include "debugger/pipe_runner.h"

#include <mutex>
#include <thread>

#include "platform/process.h"

namespace krvs::ide {

namespace {

constexpr std::size_t kChunkBytes = 1024;

class PipeRunner : public SessionRunner {
 public:
  explicit PipeRunner(ReplySink& sink) : m_sink(sink) {}
  ~PipeRunner() override {
    m_process.terminate();
    m_process.cancelRead();
    if (m_reader.joinable()) m_reader.join();
  }

  bool start(const std::string& interpreter) {
    platform::ProcessOptions options;
    options.program = interpreter;
    if (!m_process.start(options).empty()) return false;
    m_reader = std::thread([this] { readLoop(); });
    return true;
  }

  bool WriteLine(const std::string& text, char terminator) override {
    std::lock_guard<std::mutex> guard(m_writeLock);
    return m_process.write(text + terminator).empty();
  }

  bool WriteByte(char byte) override {
    std::lock_guard<std::mutex> guard(m_writeLock);
    return m_process.write(std::string(1, byte)).empty();
  }

 private:
  void readLoop() {
    while (std::optional<std::string> chunk = m_process.read(kChunkBytes)) m_sink.OnOutput(*chunk);
  }

  ReplySink& m_sink;
  platform::Process m_process;
  std::mutex m_writeLock;
  std::thread m_reader;
};

}  // namespace

std::unique_ptr<SessionRunner> startPipeRunner(const std::string& interpreter, ReplySink& sink) {
  auto runner = std::make_unique<PipeRunner>(sink);
  if (!runner->start(interpreter)) return nullptr;
  return runner;
}

}  // namespace krvs::ide
