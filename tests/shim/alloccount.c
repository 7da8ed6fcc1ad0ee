/* LD_PRELOAD shim: counts the calls of the process's main thread that
 * allocate memory (malloc, calloc, realloc and the aligned allocators) in
 * orvix_alloc_calls, which the test module reads, so that a test can check
 * that a stretch of calls allocates nothing. Each call is passed on to
 * glibc's own allocator. (Under the sanitizers their allocator comes first
 * and nothing reaches this one.) */
#include <pthread.h>
#include <stddef.h>

extern void *__libc_malloc(size_t size);
extern void *__libc_calloc(size_t count, size_t size);
extern void *__libc_realloc(void *p, size_t size);
extern void *__libc_memalign(size_t alignment, size_t size);

__attribute__((visibility("default"))) unsigned long orvix_alloc_calls;

static pthread_t main_thread;
__attribute__((constructor)) static void note_main_thread(void) { main_thread = pthread_self(); }

/* SDL's audio thread allocates on its own clock: only the main thread counts. */
static void count(void) {
    if (pthread_equal(pthread_self(), main_thread)) ++orvix_alloc_calls;
}

void *malloc(size_t size) {
    count();
    return __libc_malloc(size);
}

void *calloc(size_t n, size_t size) {
    count();
    return __libc_calloc(n, size);
}

void *realloc(void *p, size_t size) {
    count();
    return __libc_realloc(p, size);
}

void *memalign(size_t alignment, size_t size) {
    count();
    return __libc_memalign(alignment, size);
}

void *aligned_alloc(size_t alignment, size_t size) {
    count();
    return __libc_memalign(alignment, size);
}

int posix_memalign(void **out, size_t alignment, size_t size) {
    count();
    if (alignment % sizeof(void *) || (alignment & (alignment - 1))) return 22; /* EINVAL */
    void *p = __libc_memalign(alignment, size);
    if (!p) return 12; /* ENOMEM */
    *out = p;
    return 0;
}
