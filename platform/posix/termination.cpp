#include "platform/termination.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace velka {
namespace {

int g_afdPipe[2] = {-1, -1};

void OnTerminationSignal(int) {
    const int nSaved = errno;
    const char c = 1;
    // A full pipe already holds a pending request.
    [[maybe_unused]] ssize_t n = ::write(g_afdPipe[1], &c, 1);
    errno = nSaved;
}

} // namespace

int InstallTerminationPipe() {
    if (g_afdPipe[0] >= 0) return g_afdPipe[0];
    if (::pipe2(g_afdPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        g_afdPipe[0] = g_afdPipe[1] = -1;
        return -1;
    }
    struct sigaction sa {};
    sa.sa_handler = OnTerminationSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGINT, &sa, nullptr);
    return g_afdPipe[0];
}

bool DrainTerminationPipe() {
    if (g_afdPipe[0] < 0) return false;
    bool fAny = false;
    char buf[64];
    for (;;) {
        ssize_t n = ::read(g_afdPipe[0], buf, sizeof buf);
        if (n > 0) {
            fAny = true;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        break;
    }
    return fAny;
}

} // namespace velka
