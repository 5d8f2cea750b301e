// Ctrl-C and SIGTERM for ternwick-replay: the first asks the run to end as an ordinary
// event (what was asked is still printed); a second ends the program at once.
#pragma once

namespace ternwick {

class InterruptWatch {
public:
    InterruptWatch();  // installs the handlers; one watch at a time
    ~InterruptWatch();
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

    // An interrupt came.
    static bool Requested();
    // Becomes readable once an interrupt came: for poll() and QSocketNotifier. -1 when the
    // watch could not be set up.
    static int Fd();
};

}  // namespace ternwick
