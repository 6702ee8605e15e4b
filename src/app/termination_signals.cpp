#include "app/termination_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QPointer>
#include <QSocketNotifier>
#include <QWidget>

#include "app/main_frame.h"

namespace ovixlog {
namespace {

int g_signalPipe[2] = {-1, -1};

extern "C" void OnTerminationSignal(int) {
  const int saved = errno;
  const char byte = 1;
  // A full pipe already holds a wake-up; losing this byte loses nothing.
  [[maybe_unused]] const ssize_t ignored = ::write(g_signalPipe[1], &byte, 1);
  errno = saved;
}

}  // namespace

bool CloseOnTerminationSignals(CMainFrame* window) {
  if (g_signalPipe[0] < 0) {
    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
      return false;
  }
  auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, window);
  QPointer<CMainFrame> target(window);
  QObject::connect(notifier, &QSocketNotifier::activated, window, [target] {
    char bytes[16];
    while (::read(g_signalPipe[0], bytes, sizeof bytes) > 0) {
    }
    static bool closing = false;
    if (!target)
      return;
    // A signal while the question or error of an earlier one is open, or after an earlier one
    // could not save, ends the program: asking again would only fail again or wait for a user
    // who is not there.
    if (closing || target->CloseFailedToSave()) {
      target->CloseWithoutSaving();
      return;
    }
    closing = true;
    const bool closed = target->close();
    closing = false;
    if (!closed && target->CloseFailedToSave()) {
      // Whoever sent the signal may not see the window; say on stderr what happens next.
      static constexpr char kNote[] =
          "ovixlog: the log could not be saved (the window says why); a second signal quits "
          "without saving\n";
      [[maybe_unused]] const ssize_t ignored = ::write(STDERR_FILENO, kNote, sizeof kNote - 1);
    }
  });
  struct sigaction action {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int signal : {SIGTERM, SIGINT, SIGHUP})
    ::sigaction(signal, &action, nullptr);
  return true;
}

}  // namespace ovixlog
