#include "StopSignals.h"

#include <csignal>
#include <initializer_list>

namespace {

/* The signal that asked the run to end, 0 while none has. */
volatile sig_atomic_t stopSignal = 0;

void OnStopSignal(int signalNumber)
{
    stopSignal = signalNumber;
}

} // namespace

void CatchStopSignals()
{
    for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
        struct sigaction current = {};
        if (sigaction(signalNumber, nullptr, &current) != 0 || current.sa_handler == SIG_IGN)
            continue;
        struct sigaction action = {};
        action.sa_handler = OnStopSignal;
        sigemptyset(&action.sa_mask);
        // Calls the signal interrupts go on; the handler is caught once, then the default action is back,
        // except for a broken pipe, whose default would end the run before its files are closed.
        action.sa_flags = SA_RESTART | (signalNumber == SIGPIPE ? 0 : SA_RESETHAND);
        sigaction(signalNumber, &action, nullptr);
    }
}

bool StopRequested()
{
    return stopSignal != 0;
}
