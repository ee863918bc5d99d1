/* The smallest program that shows Wine 8's limit with QSerialPort's way of
 * waiting (wine-iocp.c works around it in the check): a COM port opened
 * overlapped and tied to an I/O completion port, then WaitCommEvent with an
 * OVERLAPPED that carries no event. Windows answers at once (pending) and
 * later posts the completion to the port; Wine blocks in the call until a
 * byte comes.
 *   wait-comm-event.exe COM5   exit 0: returned at once; 3: still blocked
 *                              after 2 s; 2: the port did not open */
#include <stdio.h>
#include <windows.h>

static DWORD WINAPI watchdog(void* arg) {
    (void)arg;
    Sleep(2000);
    printf("WaitCommEvent with no event in its OVERLAPPED has not returned after 2 s\n");
    fflush(stdout);
    ExitProcess(3);
}

int main(int argc, char** argv) {
    char path[64];
    snprintf(path, sizeof path, "\\\\.\\%s", argc > 1 ? argv[1] : "COM5");
    HANDLE h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED, NULL);
    if (h == INVALID_HANDLE_VALUE) {
        printf("%s: not opened (%lu)\n", path, GetLastError());
        return 2;
    }
    HANDLE port = CreateIoCompletionPort(h, NULL, 1, 0);
    SetCommMask(h, EV_RXCHAR);
    CreateThread(NULL, 0, watchdog, NULL, 0, NULL);
    OVERLAPPED o;
    ZeroMemory(&o, sizeof o);
    DWORD events = 0;
    const BOOL done = WaitCommEvent(h, &events, &o);
    printf("WaitCommEvent returned at once: %s (%lu)\n", done ? "done" : "pending",
           done ? 0 : GetLastError());
    CloseHandle(port);
    CloseHandle(h);
    return 0;
}
