// Values a script cannot make by itself: light userdata at arbitrary
// addresses and raw full userdata blocks, for the fuzz driver; and a crash
// report, so that a run that dies says where.
#include "orvixtest.h"

#include <execinfo.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

// light(n) -> a light userdata whose address is n.
int t_light(lua_State *L) {
    lua_Number n = luaL_checknumber(L, 1);
    lua_pushlightuserdata(L, reinterpret_cast<void *>(static_cast<uintptr_t>(static_cast<int64_t>(n))));
    return 1;
}

// block(size[, fill]) -> a full userdata of size bytes, each set to fill.
int t_block(lua_State *L) {
    size_t size = static_cast<size_t>(luaL_checknumber(L, 1));
    int fill = static_cast<int>(luaL_optnumber(L, 2, 0));
    void *p = lua_newuserdata(L, size);
    memset(p, fill, size);
    return 1;
}

// A fatal signal prints the thread that took it (SDL names its threads, so
// the audio thread shows as such) and that thread's stack, then the process
// dies of the signal as it would have. The handler resets itself and does
// not block the signal, so the re-raise ends the process at once. A heap
// that glibc found corrupt aborts from inside malloc: nothing here allocates.
void on_fatal_signal(int sig) {
    char name[17] = {};
    prctl(PR_GET_NAME, name);
    char line[80];
    int n = snprintf(line, sizeof line, "fatal signal %d in thread \"%s\"; its stack:\n", sig, name);
    if (n > 0 && write(STDERR_FILENO, line, static_cast<size_t>(n)) < 0) {}
    void *frames[64];
    backtrace_symbols_fd(frames, backtrace(frames, 64), STDERR_FILENO);
    raise(sig);
}

// report_crashes(): installs the report for SIGSEGV, SIGBUS, SIGILL, SIGFPE
// and SIGABRT. Not for the sanitizer build, whose own reports say more.
int t_report_crashes(lua_State *) {
    void *warm[1];
    backtrace(warm, 1); // loads the unwinder now, not inside a crash
    struct sigaction sa {};
    sa.sa_handler = on_fatal_signal;
    sa.sa_flags = SA_RESETHAND | SA_NODEFER;
    sigemptyset(&sa.sa_mask);
    for (int sig : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT}) sigaction(sig, &sa, nullptr);
    return 0;
}

const luaL_Reg funcs[] = {
    {"light", t_light}, {"block", t_block}, {"report_crashes", t_report_crashes}, {nullptr, nullptr}};
orvixtest::Registrar reg(funcs);

}  // namespace
