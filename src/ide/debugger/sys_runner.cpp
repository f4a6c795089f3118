#include "debugger/sys_runner.h"

#include "build/texecute.h"
#include "build/tsys.h"
#include "platform/dosnames.h"

namespace krvs::ide {

namespace {

constexpr int kStartWaitMs = 5000;

class SysRunner : public SessionRunner, public TExecute {
 public:
  explicit SysRunner(ReplySink& sink) : m_sink(sink) {}
  ~SysRunner() override { m_sys.reset(); }

  bool start(const std::string& interpreter, const std::string& dir, DebugLog log) {
    platform::ProcessOptions options{interpreter, {}, dir, true, {}};
    m_sys = std::make_unique<TSys>(*this, options, log);
    return m_sys->WaitStarted(kStartWaitMs);
  }

  bool WriteLine(const std::string& text, char terminator) override { return m_sys->WriteLine(text, terminator); }
  bool WriteByte(char byte) override { return m_sys->WriteByte(static_cast<unsigned char>(byte)); }

  void OnOutput(const std::string& text) override { m_sink.OnOutput(text); }
  void OnError(int code) override {
    if (code == kRunnerEnded) m_sink.OnRunnerEnded();
  }

 private:
  ReplySink& m_sink;
  std::unique_ptr<TSys> m_sys;
};

}  // namespace

std::unique_ptr<SessionRunner> startSysRunner(const std::string& interpreter, const std::string& workingDirectory,
                                              ReplySink& sink, DebugLog log) {
  auto runner = std::make_unique<SysRunner>(sink);
  if (!runner->start(interpreter, workingDirectory, std::move(log))) return nullptr;
  return runner;
}

RunnerFactory sysRunnerFactory(const std::string& binDir, DebugLog log) {
  return [binDir, log](ReplySink& sink) {
    std::string wanted = binDir + "/krvscmd";
    std::string interpreter = platform::findNoCase(wanted).value_or(wanted);
    return startSysRunner(interpreter, binDir, sink, log);
  };
}

}  // namespace krvs::ide
