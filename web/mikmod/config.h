/* libmikmod's configuration for the browser build: a C library with the
   usual headers, and only the driver that mixes into memory. */
#define HAVE_FCNTL_H 1
#define HAVE_LIMITS_H 1
#define HAVE_MALLOC_H 1
#define HAVE_MEMCMP 1
#define HAVE_SETENV 1
#define HAVE_SNPRINTF 1
#define HAVE_STDINT_H 1
#define HAVE_STDLIB_H 1
#define HAVE_STRING_H 1
#define HAVE_STRINGS_H 1
#define HAVE_SYS_TYPES_H 1
#define HAVE_UNISTD_H 1
#define MIKMOD_BUILD 1
#define DRV_NOS 1
