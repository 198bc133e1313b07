// Whether the window "Result" can be shown. highgui's window system (Qt on X) ends the process when it finds
// no display, after the writer has opened its file; the check runs before either.

#include "VideoFrontEnd.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <sys/mman.h>
#include <unistd.h>

using ConnectCall = void* (*)(const char*, int*);
using DisconnectCall = void (*)(void*);

/* Size of the buffer for the server's reason to turn the process away, terminating zero included. */
const int CV_FE_REFUSAL_SIZE = 160;

// The probe's connection to the display, held for the whole run (see below) and closed at its end.
static void* heldConnection = nullptr;
static DisconnectCall heldDisconnect = nullptr;

static void CloseHeldConnection()
{
    heldDisconnect(heldConnection);
}

/* Connects to DISPLAY with connect (xcb_connect), catching what libxcb writes to standard error meanwhile:
   the reason the server gave when it answered and turned the process away ("Authorization required, ..."),
   which libxcb writes there itself. refusal receives the reason's first line, control characters made '?',
   or "" when the server gave none (no server, or one in the middle of a reset). */
static void* ConnectCatchingRefusal(ConnectCall connect, char* refusal)
{
    refusal[0] = '\0';
    std::fflush(stderr);
    const int caught = memfd_create("display-check", MFD_CLOEXEC);
    const int saved = caught >= 0 ? dup(STDERR_FILENO) : -1;
    if (saved < 0 || dup2(caught, STDERR_FILENO) < 0) {
        // Nowhere to catch it: the reason, if any, reaches standard error as libxcb writes it.
        if (saved >= 0)
            close(saved);
        if (caught >= 0)
            close(caught);
        return connect(nullptr, nullptr);
    }
    void* connection = connect(nullptr, nullptr);
    dup2(saved, STDERR_FILENO);
    close(saved);
    const ssize_t length = pread(caught, refusal, CV_FE_REFUSAL_SIZE - 1, 0);
    close(caught);
    refusal[length > 0 ? length : 0] = '\0';
    refusal[std::strcspn(refusal, "\r\n")] = '\0';
    // The text comes from the server: it must not steer the user's terminal.
    for (char* c = refusal; *c; ++c)
        if (static_cast<unsigned char>(*c) < 0x20 || *c == 0x7f)
            *c = '?';
    return connection;
}

/* True when an X display can be opened as highgui's window system will open it: DISPLAY names it and the
   server accepts this process. When the server answered with a refusal, refusal holds its reason. */
static bool XDisplayOpens(char* refusal)
{
    refusal[0] = '\0';
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display)
        return false;
    // The X protocol library comes with OpenCV's window system; it is looked up at run time, so the programs
    // need nothing beyond OpenCV to build. Without it no window could be shown anyway.
    void* xcb = dlopen("libxcb.so.1", RTLD_LAZY | RTLD_LOCAL);
    if (!xcb)
        return false;
    using ConnectionCall = int (*)(void*);
    const auto connect = reinterpret_cast<ConnectCall>(dlsym(xcb, "xcb_connect"));
    const auto hasError = reinterpret_cast<ConnectionCall>(dlsym(xcb, "xcb_connection_has_error"));
    const auto disconnect = reinterpret_cast<DisconnectCall>(dlsym(xcb, "xcb_disconnect"));
    if (!connect || !hasError || !disconnect) {
        dlclose(xcb);
        return false;
    }
    // A server that resets when its last client leaves (Xvfb does) turns connections away for some tens of
    // milliseconds after each reset, so a failed connection is tried again for about a second before the run
    // goes on without a window. A server that answers with a refusal (no authorisation) has decided; asking
    // again would only repeat its reason.
    for (int attempt = 0; attempt < 10 && !refusal[0]; ++attempt) {
        if (attempt > 0)
            usleep(100000);
        void* connection = ConnectCatchingRefusal(connect, refusal);
        if (connection && hasError(connection) == 0) {
            // Kept open until the process ends, so that no reset comes between it and the window system's own
            // connection, made a moment later.
            heldConnection = connection;
            heldDisconnect = disconnect;
            std::atexit(CloseHeldConnection);
            return true;
        }
        // A refused connection is still an object to free.
        disconnect(connection);
    }
    dlclose(xcb);
    return false;
}

void CheckDisplay(CvVideoFrontEnd& fe)
{
    // A window system the user chose is left to them; only the off-screen one shows nothing.
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && *platform && std::strncmp(platform, "xcb", 3) != 0) {
        fe.windowless = std::strncmp(platform, "offscreen", 9) == 0;
        return;
    }
    char refusal[CV_FE_REFUSAL_SIZE];
    fe.windowless = !XDisplayOpens(refusal);
    if (!fe.windowless)
        return;
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // The off-screen platform warns about the window hints and run-time folder it has no use for; the one
    // line below says all the user needs. A rule of the user's own stays.
    setenv("QT_LOGGING_RULES", "default.warning=false", 0);
    std::fflush(stdout);
    const bool said = refusal[0] != '\0';
    std::fprintf(stderr,
                 "No display could be opened%s%s%s: the run goes on without a window, analysing, printing "
                 "and recording as usual until the video ends or Ctrl+C.\n",
                 said ? " (the X server said: " : "", refusal, said ? ")" : "");
}
