/* Test-only, loaded into a Windows program under Wine by wine-launch.exe:
 * completes WaitCommEvent through the I/O completion port the way Windows
 * does. Never shipped.
 *
 * QSerialPort takes every completion of its port from an I/O completion port,
 * so its OVERLAPPED carries no event. Wine 8 carries out such a WaitCommEvent
 * as a blocking wait and never posts its completion to the port
 * (wait-comm-event.c shows the block): the program never learns that bytes
 * came, and never reads them. Here Qt's WaitCommEvent is answered at once as
 * pending, a thread of ours waits on an OVERLAPPED with an event of its own
 * (which Wine does carry out in the background), and posts the completion to
 * the port Qt associated the handle with, as Windows would. Reads and writes
 * are Wine's own. */
#include <windows.h>

typedef BOOL(WINAPI* WaitFn)(HANDLE, LPDWORD, LPOVERLAPPED);
typedef HANDLE(WINAPI* PortFn)(HANDLE, HANDLE, ULONG_PTR, DWORD);
static WaitFn realWait;
static PortFn realPort;

enum { MaxFiles = 64 };
static struct {
    HANDLE file, port;
    ULONG_PTR key;
} ports[MaxFiles];
static CRITICAL_SECTION lock;

static HANDLE WINAPI portHook(HANDLE file, HANDLE existing, ULONG_PTR key, DWORD threads) {
    HANDLE port = realPort(file, existing, key, threads);
    if (port && file != INVALID_HANDLE_VALUE) {
        EnterCriticalSection(&lock);
        int free = -1;
        for (int i = 0; i < MaxFiles; ++i) {
            if (ports[i].file == file || (free < 0 && !ports[i].file))
                free = i;
            if (ports[i].file == file)
                break;
        }
        if (free >= 0) {
            ports[free].file = file;
            ports[free].port = port;
            ports[free].key = key;
        }
        LeaveCriticalSection(&lock);
    }
    return port;
}

struct Wait {
    HANDLE file, port;
    ULONG_PTR key;
    LPDWORD events;
    LPOVERLAPPED overlapped;
};

static DWORD WINAPI waiter(void* arg) {
    struct Wait w = *(struct Wait*)arg;
    HeapFree(GetProcessHeap(), 0, arg);
    OVERLAPPED mine;
    ZeroMemory(&mine, sizeof mine);
    mine.hEvent = CreateEventW(NULL, TRUE, FALSE, NULL);
    DWORD events = 0, bytes = 0;
    BOOL ok = realWait(w.file, &events, &mine);
    if (!ok && GetLastError() == ERROR_IO_PENDING)
        ok = GetOverlappedResult(w.file, &mine, &bytes, TRUE);
    CloseHandle(mine.hEvent);
    *w.events = ok ? events : 0;
    w.overlapped->Internal = ok ? 0 : (ULONG_PTR)0xC0000120L; /* STATUS_CANCELLED */
    w.overlapped->InternalHigh = ok ? sizeof(DWORD) : 0;
    PostQueuedCompletionStatus(w.port, ok ? sizeof(DWORD) : 0, w.key, w.overlapped);
    return 0;
}

static BOOL WINAPI waitHook(HANDLE file, LPDWORD events, LPOVERLAPPED overlapped) {
    if (!overlapped || overlapped->hEvent)
        return realWait(file, events, overlapped);
    struct Wait* w = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof *w);
    EnterCriticalSection(&lock);
    for (int i = 0; i < MaxFiles; ++i)
        if (ports[i].file == file) {
            w->port = ports[i].port;
            w->key = ports[i].key;
        }
    LeaveCriticalSection(&lock);
    if (!w->port) {
        HeapFree(GetProcessHeap(), 0, w);
        return realWait(file, events, overlapped);
    }
    w->file = file;
    w->events = events;
    w->overlapped = overlapped;
    overlapped->Internal = (ULONG_PTR)0x103L; /* STATUS_PENDING */
    HANDLE t = CreateThread(NULL, 0, waiter, w, 0, NULL);
    if (!t) {
        HeapFree(GetProcessHeap(), 0, w);
        return realWait(file, events, overlapped);
    }
    CloseHandle(t);
    SetLastError(ERROR_IO_PENDING);
    return FALSE;
}

/* Points the named kernel32 imports of one module at the hooks. */
static void patch(HMODULE module) {
    BYTE* base = (BYTE*)module;
    IMAGE_NT_HEADERS* nt = (IMAGE_NT_HEADERS*)(base + ((IMAGE_DOS_HEADER*)base)->e_lfanew);
    IMAGE_DATA_DIRECTORY dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!dir.VirtualAddress)
        return;
    for (IMAGE_IMPORT_DESCRIPTOR* d = (IMAGE_IMPORT_DESCRIPTOR*)(base + dir.VirtualAddress);
         d->Name; ++d) {
        if (lstrcmpiA((char*)(base + d->Name), "KERNEL32.dll") != 0 || !d->OriginalFirstThunk)
            continue;
        IMAGE_THUNK_DATA* names = (IMAGE_THUNK_DATA*)(base + d->OriginalFirstThunk);
        IMAGE_THUNK_DATA* slots = (IMAGE_THUNK_DATA*)(base + d->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            const char* name =
                (char*)((IMAGE_IMPORT_BY_NAME*)(base + names->u1.AddressOfData))->Name;
            void* hook = NULL;
            if (lstrcmpA(name, "WaitCommEvent") == 0)
                hook = (void*)waitHook;
            else if (lstrcmpA(name, "CreateIoCompletionPort") == 0)
                hook = (void*)portHook;
            if (!hook)
                continue;
            DWORD old;
            VirtualProtect(&slots->u1.Function, sizeof(void*), PAGE_READWRITE, &old);
            slots->u1.Function = (ULONG_PTR)hook;
            VirtualProtect(&slots->u1.Function, sizeof(void*), old, &old);
        }
    }
}

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
    (void)self;
    (void)reserved;
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    InitializeCriticalSection(&lock);
    HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    realWait = (WaitFn)(void*)GetProcAddress(kernel32, "WaitCommEvent");
    realPort = (PortFn)(void*)GetProcAddress(kernel32, "CreateIoCompletionPort");
    HMODULE serial = GetModuleHandleW(L"Qt6SerialPort.dll");
    if (serial)
        patch(serial);
    return TRUE;
}
