#include "console.h"

#include <csignal>
#include <cstdlib>

#if defined(_WIN32)
#include <windows.h>
#else
#include <signal.h>
#endif

namespace ctl {

namespace {
volatile std::sig_atomic_t interruptFlag = 0;

#if defined(_WIN32)
BOOL WINAPI onControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        return FALSE;
    interruptFlag = 1;
    return TRUE;
}

UINT outputCodePage = 0;
UINT inputCodePage = 0;
void restoreCodePages() {
    SetConsoleOutputCP(outputCodePage);
    SetConsoleCP(inputCodePage);
}
#else
void onInterrupt(int) {
    interruptFlag = 1;
}
#endif
} // namespace

void installInterruptHandler() {
#if defined(_WIN32)
    // A parent may have started us with Ctrl-C ignored; take it back.
    SetConsoleCtrlHandler(nullptr, FALSE);
    SetConsoleCtrlHandler(onControl, TRUE);
#else
    // Without SA_RESTART, so that a question waiting on the terminal ends too.
    struct sigaction sa {};
    sa.sa_handler = onInterrupt;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    // A parent may have blocked it, and the mask is inherited.
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
#endif
}

bool interrupted() {
    return interruptFlag != 0;
}

void useUtf8Console() {
#if defined(_WIN32)
    outputCodePage = GetConsoleOutputCP();
    inputCodePage = GetConsoleCP();
    if (outputCodePage == 0) // no console: output goes to a file or a pipe
        return;
    SetConsoleOutputCP(CP_UTF8);
    SetConsoleCP(CP_UTF8);
    std::atexit(restoreCodePages);
#endif
}

} // namespace ctl
