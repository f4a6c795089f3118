#pragma once
// TRun: the build and run driver. It assembles the source and links the object by writing the
// tools' configuration files in Bin/ and sending the tool's path to a hidden krvscmd through its
// own pipe runner, reduces what the tool printed to a verdict and numbered messages, and writes
// them to the build output file that the error list shows. It also starts the program in the
// console window Rtm.EXe and the external debugger TD.Exe. No widgets: the main window wires it.
#include <QString>
#include <QStringList>
#include <chrono>
#include <functional>
#include <memory>

namespace krvs::ide {

class TCMDHandler;
class TSet;
class TSys;

// Results of Compile, Link and LinkObject.
enum BuildResult : int {
  kBuildFailed = 0,        // the tool ran and reported errors
  kBuildOk = 1,            // the tool ran and succeeded
  kBuildNoInput = 2,       // the object file does not exist
  kBuildNoTool = 3,        // the tool or the interpreter could not be started
  kBuildTimedOut = 4,      // the tool did not come back in time; it was ended
  kBuildInterrupted = 5,   // the interpreter ended during the step
  kBuildBadPath = 6,       // a command line would exceed 255 characters, or a file name has a blank
  kBuildCannotWrite = 7,   // a configuration file could not be written
};

// Results of RunProgram and StartExternalDebugger.
enum StartResult : int { kStartFailed = 0, kStarted = 1, kStartNoProgram = 2 };

inline constexpr const char* kPromptMarker = "K+R+V+S+#";

class TRun {
 public:
  // Starts a program in a window of its own without waiting for it; false when it could not be
  // started. The default uses QProcess::startDetached.
  using Starter = std::function<bool(const QString& program, const QStringList& arguments,
                                     const QString& workingDirectory)>;

  struct Options {
    std::chrono::milliseconds stepTimeLimit{30000};
    // Called about every 50 ms while a step waits, so the window can repaint; may be empty.
    std::function<void()> whileWaiting;
    Starter start;
    QString shortPathCache;  // where links for paths with blanks go; empty: the user's cache
  };

  // Reads the paths and options from `set` at each call; starts the interpreter at once.
  TRun(TSet& set, Options options);
  explicit TRun(TSet& set);
  ~TRun();
  TRun(const TRun&) = delete;
  TRun& operator=(const TRun&) = delete;

  // `name` is the source path; on return it holds the object file's path.
  int Compile(QString& name);
  // `name` is any path of the program; on return it holds the .Exe or, with /t, the .Com path.
  int Link(QString& name);
  // kBuildNoInput when `name` (an object file) does not exist, else Link(name).
  int LinkObject(QString& name);
  // Writes Bin/TASM.CFG and Bin/TLink.CFG for the program `name`; empty or the reason.
  QString WriteToolConfigs(const QString& name);

  // The program built from `source`: its .Exe, or its .Com; when both exist, the newer one.
  static QString ProgramOf(const QString& source);

  int RunProgram(const QString& exe);
  int StartExternalDebugger(const QString& exe);

  // For tests and for a later owner that starts windows its own way.
  void setStarter(Starter start) { m_options.start = std::move(start); }
  void setStepTimeLimit(std::chrono::milliseconds limit) { m_options.stepTimeLimit = limit; }

  // What went wrong in the last step that returned kBuildTimedOut or a higher code.
  QString lastProblem() const { return m_problem; }
  // The interpreter's process id, -1 when none runs (for tests that end it from outside).
  int interpreterPid() const;

 private:
  struct ToolRun;
  ToolRun runTool(const QString& tool, const QString& name);
  void restartInterpreter();
  QString shortForm(const QString& path) const;
  bool writeErrorFile(const QStringList& lines);

  TSet& m_set;
  Options m_options;
  std::unique_ptr<TCMDHandler> m_handler;
  std::unique_ptr<TSys> m_sys;
  QString m_problem;
};

}  // namespace krvs::ide
