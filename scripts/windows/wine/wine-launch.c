/* Test-only: wine-launch.exe PROGRAM [ARGUMENTS...] starts PROGRAM with
 * wine-iocp.dll (beside this launcher) loaded into it before its own code
 * runs, passes on its standard handles, waits for it and returns its exit
 * code. Never shipped. */
#include <windows.h>

int main(void) {
    /* The command line less this launcher's own name. */
    wchar_t* cmd = GetCommandLineW();
    if (*cmd == L'"') {
        for (++cmd; *cmd && *cmd != L'"'; ++cmd)
            ;
        if (*cmd)
            ++cmd;
    } else {
        while (*cmd && *cmd != L' ' && *cmd != L'\t')
            ++cmd;
    }
    while (*cmd == L' ' || *cmd == L'\t')
        ++cmd;

    wchar_t dll[MAX_PATH];
    DWORD n = GetModuleFileNameW(NULL, dll, MAX_PATH);
    while (n > 0 && dll[n - 1] != L'\\')
        --n;
    lstrcpyW(dll + n, L"wine-iocp.dll");

    STARTUPINFOW si;
    ZeroMemory(&si, sizeof si);
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION pi;
    if (!CreateProcessW(NULL, cmd, NULL, NULL, TRUE, CREATE_SUSPENDED, NULL, NULL, &si, &pi))
        return 126;
    const SIZE_T size = (lstrlenW(dll) + 1) * sizeof(wchar_t);
    void* remote = VirtualAllocEx(pi.hProcess, NULL, size, MEM_COMMIT, PAGE_READWRITE);
    FARPROC load = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "LoadLibraryW");
    HANDLE t = NULL;
    if (remote && WriteProcessMemory(pi.hProcess, remote, dll, size, NULL))
        t = CreateRemoteThread(pi.hProcess, NULL, 0, (LPTHREAD_START_ROUTINE)(void*)load, remote, 0,
                               NULL);
    DWORD loaded = 0;
    if (t) {
        WaitForSingleObject(t, INFINITE);
        GetExitCodeThread(t, &loaded);
        CloseHandle(t);
    }
    if (!loaded) {
        TerminateProcess(pi.hProcess, 125);
        return 125;
    }
    ResumeThread(pi.hThread);
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    return (int)code;
}
