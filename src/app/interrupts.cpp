#include "interrupts.h"

#include <fcntl.h>
#include <unistd.h>

#include <csignal>

namespace ternwick {

namespace {

// A signal handler may only set a flag and write to a pipe; the run reads them between
// two steps of its work.
volatile std::sig_atomic_t g_requested = 0;
int g_pipe[2] = {-1, -1};
struct sigaction g_old_int {}, g_old_term {};

extern "C" void OnInterrupt(int) {
    g_requested = 1;
    const char c = 1;
    [[maybe_unused]] const ssize_t n = write(g_pipe[1], &c, 1);
}

}  // namespace

InterruptWatch::InterruptWatch() {
    g_requested = 0;
    if (pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) g_pipe[0] = g_pipe[1] = -1;
    struct sigaction sa {};
    sa.sa_handler = OnInterrupt;
    sigemptyset(&sa.sa_mask);
    // A second Ctrl-C ends the program at once, should the first be stuck. Calls that the
    // signal breaks off are taken up again; waits that must notice it poll the pipe.
    sa.sa_flags = SA_RESETHAND | SA_RESTART;
    sigaction(SIGINT, &sa, &g_old_int);
    sigaction(SIGTERM, &sa, &g_old_term);
}

InterruptWatch::~InterruptWatch() {
    sigaction(SIGINT, &g_old_int, nullptr);
    sigaction(SIGTERM, &g_old_term, nullptr);
    for (int& fd : g_pipe) {
        if (fd >= 0) close(fd);
        fd = -1;
    }
}

bool InterruptWatch::Requested() { return g_requested != 0; }

int InterruptWatch::Fd() { return g_pipe[0]; }

}  // namespace ternwick
