#include "cli/interruption.h"

#include <csignal>

namespace interruption {

namespace {

// The one piece of state a signal handler may touch.
volatile std::sig_atomic_t g_caught = 0;

extern "C" void on_signal(int sig) {
    g_caught = sig;
}

}  // namespace

void catch_signals() {
#ifdef _WIN32
    // The handler is reset to the default once called, as SA_RESETHAND does.
    std::signal(SIGINT, on_signal);
    std::signal(SIGTERM, on_signal);
#else
    struct sigaction sa {};
    sa.sa_handler = on_signal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
#endif
}

int caught() {
    return static_cast<int>(g_caught);
}

}  // namespace interruption
