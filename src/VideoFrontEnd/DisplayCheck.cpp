// Whether the window "Result" can be shown. highgui's window system (Qt on X) ends the process when it finds
// no display, after the writer has opened its file; the check runs before either.

#include "VideoFrontEnd.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <unistd.h>

using DisconnectCall = void (*)(void*);

// The probe's connection to the display, held for the whole run (see below) and closed at its end.
static void* heldConnection = nullptr;
static DisconnectCall heldDisconnect = nullptr;

static void CloseHeldConnection()
{
    heldDisconnect(heldConnection);
}

/* True when an X display can be opened as highgui's window system will open it: DISPLAY names it and the
   server accepts this process. */
static bool XDisplayOpens()
{
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display)
        return false;
    // The X protocol library comes with OpenCV's window system; it is looked up at run time, so the programs
    // need nothing beyond OpenCV to build. Without it no window could be shown anyway. Unlike Xlib's, its
    // connect prints nothing when the server turns the process away.
    void* xcb = dlopen("libxcb.so.1", RTLD_LAZY | RTLD_LOCAL);
    if (!xcb)
        return false;
    using ConnectCall = void* (*)(const char*, int*);
    using ConnectionCall = int (*)(void*);
    const auto connect = reinterpret_cast<ConnectCall>(dlsym(xcb, "xcb_connect"));
    const auto hasError = reinterpret_cast<ConnectionCall>(dlsym(xcb, "xcb_connection_has_error"));
    const auto disconnect = reinterpret_cast<DisconnectCall>(dlsym(xcb, "xcb_disconnect"));
    if (!connect || !hasError || !disconnect) {
        dlclose(xcb);
        return false;
    }
    // A server that resets when its last client leaves (Xvfb does) turns connections away for some tens of
    // milliseconds after each reset, so a refusal is tried again for about a second before the run goes on
    // without a window.
    for (int attempt = 0; attempt < 10; ++attempt) {
        if (attempt > 0)
            usleep(100000);
        void* connection = connect(nullptr, nullptr);
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
    fe.windowless = !XDisplayOpens();
    if (!fe.windowless)
        return;
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // The off-screen platform warns about the window hints and run-time folder it has no use for; the one
    // line below says all the user needs. A rule of the user's own stays.
    setenv("QT_LOGGING_RULES", "default.warning=false", 0);
    std::fflush(stdout);
    std::fputs("No display could be opened: the run goes on without a window, analysing, printing and "
               "recording as usual until the video ends or Ctrl+C.\n",
               stderr);
}
