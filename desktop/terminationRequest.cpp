#include "desktop/terminationRequest.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <csignal>
#include <memory>

namespace {

int g_pipe[2] = {-1, -1};
std::unique_ptr<QSocketNotifier> g_notifier;
std::function<void()> g_onRequest;

extern "C" void onTerminationSignal(int) {
    const int saved = errno;
    const char byte = 1;
    // Nothing else is safe here; a full pipe already holds a request.
    [[maybe_unused]] ssize_t n = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

}  // namespace

bool installTerminationRequest(std::function<void()> onRequest) {
    if (g_pipe[0] >= 0) return false;
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        g_pipe[0] = g_pipe[1] = -1;
        return false;
    }
    g_onRequest = std::move(onRequest);
    g_notifier = std::make_unique<QSocketNotifier>(g_pipe[0], QSocketNotifier::Read);
    QObject::connect(g_notifier.get(), &QSocketNotifier::activated, [] {
        char buffer[16];
        while (::read(g_pipe[0], buffer, sizeof buffer) > 0) {
        }
        if (g_onRequest) g_onRequest();
    });
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return ::sigaction(SIGTERM, &action, nullptr) == 0 && ::sigaction(SIGINT, &action, nullptr) == 0;
}

void removeTerminationRequest() {
    if (g_pipe[0] < 0) return;
    // A further request while the program is ending changes nothing.
    struct sigaction action {};
    action.sa_handler = SIG_IGN;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
    g_notifier.reset();
    g_onRequest = nullptr;
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}
