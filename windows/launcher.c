/* The game's launcher, <game>.exe: what a player double-clicks. It starts
   the Lua interpreter on the game's script with no console window, sends the
   game's standard output and errors to <game>.log beside it, waits, and when
   the game ends with a non-zero status shows the end of that output (the
   fatal message) in a message box. Its own status is the game's.

   What to run is in launch.txt beside it, one item a line (UTF-8):
     the interpreter, relative to this folder (lua5.1.exe or luajit\luajit.exe)
     the script, relative to this folder, which is the working directory
     the script's arguments, one a line
   Arguments given to the launcher itself follow those. */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#define MAX_ITEMS 256
/* The end of the log that the message box shows. */
#define TAIL_BYTES 1500

static wchar_t title[MAX_PATH];

static void fail(const wchar_t *what, const wchar_t *detail) {
    wchar_t text[2 * MAX_PATH + 256];
    _snwprintf(text, sizeof text / sizeof *text - 1, L"%ls\n\n%ls", what, detail ? detail : L"");
    text[sizeof text / sizeof *text - 1] = 0;
    MessageBoxW(NULL, text, title, MB_OK | MB_ICONERROR);
    exit(1);
}

/* UTF-8 to a new wide string. */
static wchar_t *widen(const char *s, int n) {
    int len = MultiByteToWideChar(CP_UTF8, 0, s, n, NULL, 0);
    wchar_t *w = calloc((size_t)len + 1, sizeof *w);
    if (w) MultiByteToWideChar(CP_UTF8, 0, s, n, w, len);
    return w;
}

/* Appends one argument to a command line, quoted the way the C runtime's
   parser splits it again: backslashes are literal except before a quote. */
static void append_arg(wchar_t *line, size_t cap, const wchar_t *arg) {
    size_t n = wcslen(line);
    if (n && n + 1 < cap) line[n++] = L' ';
    if (n + 1 < cap) line[n++] = L'"';
    for (const wchar_t *p = arg;; ++p) {
        size_t slashes = 0;
        while (*p == L'\\') {
            ++p;
            ++slashes;
        }
        /* Backslashes before a quote, or before the closing quote, double. */
        size_t copies = (*p == L'"' || *p == 0) ? 2 * slashes : slashes;
        for (size_t i = 0; i < copies && n + 1 < cap; ++i) line[n++] = L'\\';
        if (*p == 0) break;
        if (*p == L'"' && n + 1 < cap) line[n++] = L'\\';
        if (n + 1 < cap) line[n++] = *p;
    }
    if (n + 1 < cap) line[n++] = L'"';
    line[n] = 0;
}

/* The last lines of the log, for the message box. */
static wchar_t *log_tail(const wchar_t *path) {
    FILE *f = _wfopen(path, L"rb");
    if (!f) return NULL;
    char buf[TAIL_BYTES + 1];
    fseek(f, 0, SEEK_END);
    long size = ftell(f);
    long from = size > TAIL_BYTES ? size - TAIL_BYTES : 0;
    fseek(f, from, SEEK_SET);
    size_t n = fread(buf, 1, TAIL_BYTES, f);
    fclose(f);
    buf[n] = 0;
    char *start = buf;
    /* Start at a whole line when the log was cut. */
    if (from > 0) {
        char *nl = strchr(buf, '\n');
        if (nl) start = nl + 1;
    }
    while (n && (buf[n - 1] == '\n' || buf[n - 1] == '\r')) buf[--n] = 0;
    return widen(start, -1);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE prev, PWSTR cmdline, int show) {
    (void)instance;
    (void)prev;
    (void)cmdline;
    (void)show;
    wchar_t dir[MAX_PATH], path[MAX_PATH];
    DWORD len = GetModuleFileNameW(NULL, dir, MAX_PATH);
    if (len == 0 || len >= MAX_PATH) return 1;
    wchar_t *slash = wcsrchr(dir, L'\\');
    wchar_t *name = slash ? slash + 1 : dir;
    wcsncpy(title, name, MAX_PATH - 1);
    wchar_t *dot = wcsrchr(title, L'.');
    if (dot) *dot = 0;
    if (slash) *slash = 0;

    /* What to run. */
    _snwprintf(path, MAX_PATH, L"%ls\\launch.txt", dir);
    FILE *f = _wfopen(path, L"rb");
    if (!f) fail(L"The game's launch.txt is missing:", path);
    static char text[64 * 1024];
    size_t n = fread(text, 1, sizeof text - 1, f);
    fclose(f);
    text[n] = 0;
    wchar_t *items[MAX_ITEMS];
    int count = 0;
    for (char *line = text; *line && count < MAX_ITEMS;) {
        char *end = strchr(line, '\n');
        size_t l = end ? (size_t)(end - line) : strlen(line);
        if (l && line[l - 1] == '\r') --l;
        items[count++] = widen(line, (int)l);
        if (!end) break;
        line = end + 1;
    }
    if (count < 2) fail(L"The game's launch.txt names no interpreter and script:", path);

    static wchar_t command[32 * 1024];
    wchar_t program[MAX_PATH];
    _snwprintf(program, MAX_PATH, L"%ls\\%ls", dir, items[0]);
    append_arg(command, sizeof command / sizeof *command, program);
    for (int i = 1; i < count; ++i) append_arg(command, sizeof command / sizeof *command, items[i]);
    int argc = 0;
    wchar_t **argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    for (int i = 1; argv && i < argc; ++i) append_arg(command, sizeof command / sizeof *command, argv[i]);

    /* The log, which the game inherits as its standard output and errors. */
    wchar_t log[MAX_PATH];
    _snwprintf(log, MAX_PATH, L"%ls\\%ls.log", dir, title);
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, NULL, TRUE};
    HANDLE out = CreateFileW(log, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, NULL);
    if (out == INVALID_HANDLE_VALUE) fail(L"The log file cannot be written:", log);
    HANDLE in = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0,
                            NULL);

    /* The game's own modules, whatever paths a Lua installation on the
       machine sets for itself. */
    SetEnvironmentVariableW(L"LUA_PATH", NULL);
    SetEnvironmentVariableW(L"LUA_CPATH", NULL);
    SetEnvironmentVariableW(L"LUA_INIT", NULL);
    /* The game's folder first on the DLL path, for LuaJIT, which lives in a
       folder of its own. */
    static wchar_t env_path[32 * 1024];
    DWORD old = GetEnvironmentVariableW(L"PATH", env_path, 0);
    wchar_t *prior = calloc(old + 1, sizeof *prior);
    if (prior && old) GetEnvironmentVariableW(L"PATH", prior, old);
    _snwprintf(env_path, sizeof env_path / sizeof *env_path - 1, L"%ls;%ls", dir, prior ? prior : L"");
    SetEnvironmentVariableW(L"PATH", env_path);

    STARTUPINFOW si;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = in;
    si.hStdOutput = out;
    si.hStdError = out;
    PROCESS_INFORMATION pi;
    if (!CreateProcessW(program, command, NULL, NULL, TRUE, CREATE_NO_WINDOW, NULL, dir, &si, &pi))
        fail(L"The game's interpreter cannot be started:", program);
    CloseHandle(out);
    if (in != INVALID_HANDLE_VALUE) CloseHandle(in);
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD status = 1;
    GetExitCodeProcess(pi.hProcess, &status);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);

    if (status != 0) {
        wchar_t *tail = log_tail(log);
        static wchar_t message[8192];
        _snwprintf(message, sizeof message / sizeof *message - 1,
                   L"The game stopped (status %lu):\n\n%ls\n\nEverything it printed is in %ls.log.",
                   (unsigned long)status, tail && *tail ? tail : L"(no message)", title);
        MessageBoxW(NULL, message, title, MB_OK | MB_ICONERROR);
        free(tail);
    }
    return (int)status;
}
