#include "app/termination_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QPointer>
#include <QSocketNotifier>
#include <QWidget>

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

bool CloseOnTerminationSignals(QWidget* window) {
  if (g_signalPipe[0] < 0) {
    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
      return false;
  }
  auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, window);
  QPointer<QWidget> target(window);
  QObject::connect(notifier, &QSocketNotifier::activated, window, [target] {
    char bytes[16];
    while (::read(g_signalPipe[0], bytes, sizeof bytes) > 0) {
    }
    // A signal that comes while the save question of an earlier one is open waits for it.
    static bool closing = false;
    if (closing || !target)
      return;
    closing = true;
    target->close();
    closing = false;
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
