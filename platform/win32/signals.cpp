#include "platform/win32/signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <iterator>
#include <memory>

namespace {

// The handler may only write to the pipe: the request runs from the event
// loop when the notifier sees the byte.
int g_pipe[2] = {-1, -1};
std::function<void(int)> g_request;
std::unique_ptr<QSocketNotifier> g_notifier;
// A polite end: kill's default, Ctrl+C, and a session's end (the terminal or
// the desktop session hangs up).
constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
constexpr int kCount = int(std::size(kSignals));
struct sigaction g_previous[kCount];

void OnSignal(int signal) {
  const int saved = errno;
  const unsigned char byte = static_cast<unsigned char>(signal);
  [[maybe_unused]] const ssize_t n = write(g_pipe[1], &byte, 1);
  errno = saved;
}

void DeliverPending() {
  unsigned char bytes[16];
  ssize_t n;
  while ((n = read(g_pipe[0], bytes, sizeof bytes)) > 0)
    for (ssize_t i = 0; i < n; ++i)
      if (g_request) g_request(bytes[i]);
}

}  // namespace

bool InstallTerminationRequest(std::function<void(int signal)> request) {
  if (!QCoreApplication::instance()) return false;
  g_request = std::move(request);
  if (g_notifier) return true;
  if (pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  g_notifier = std::make_unique<QSocketNotifier>(g_pipe[0], QSocketNotifier::Read);
  QObject::connect(g_notifier.get(), &QSocketNotifier::activated, [] { DeliverPending(); });
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int i = 0; i < kCount; ++i) sigaction(kSignals[i], &action, &g_previous[i]);
  return true;
}

void RemoveTerminationRequest() {
  if (!g_notifier) return;
  for (int i = 0; i < kCount; ++i) sigaction(kSignals[i], &g_previous[i], nullptr);
  g_notifier.reset();
  close(g_pipe[0]);
  close(g_pipe[1]);
  g_pipe[0] = g_pipe[1] = -1;
  g_request = nullptr;
}
