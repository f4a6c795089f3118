#pragma once
// The debugger's notification to the main window. The debugger's reader thread never touches a
// widget; it posts this event and the main window acts on the parameter pair on the GUI thread.
#include <QCoreApplication>
#include <QEvent>

namespace krvs::ide {

// The notification's historical message number, kept so that the pairs below read as documented.
inline constexpr int kDebugNotifyMessage = 5000;

class DebugNotifyEvent : public QEvent {
 public:
  static QEvent::Type eventType() {
    static const QEvent::Type type =
        static_cast<QEvent::Type>(QEvent::registerEventType(QEvent::User + kDebugNotifyMessage));
    return type;
  }
  // `session` names the debug session that posted it (0: none); a notification of a session that has
  // ended since is not acted on.
  DebugNotifyEvent(int wParam, int lParam, int session = 0)
      : QEvent(eventType()), m_wParam(wParam), m_lParam(lParam), m_session(session) {}
  int wParam() const { return m_wParam; }
  int lParam() const { return m_lParam; }
  int session() const { return m_session; }

 private:
  int m_wParam;
  int m_lParam;
  int m_session;
};

// The pairs the debugger posts.
struct DebugNotify {
  static constexpr int kStopped[2] = {1, 0};        // stopped at a breakpoint or on a pause request
  static constexpr int kProgramEnded[2] = {1, 1};   // the program ended while running
  static constexpr int kStepSent[2] = {1, 2};       // a step command was sent while running
  static constexpr int kOutput[2] = {2, 0};         // new program output was collected
};

// Safe from any thread; the event is delivered on `target`'s thread.
inline void postDebugNotify(QObject* target, int wParam, int lParam, int session = 0) {
  if (target) QCoreApplication::postEvent(target, new DebugNotifyEvent(wParam, lParam, session));
}

}  // namespace krvs::ide
