/* libjpeg-turbo's configuration as Debian 12 builds it (libjpeg62-turbo:
   the libjpeg 6b interface, arithmetic coding, memory sources), without its
   x86 SIMD routines, which WebAssembly has no use for. */
#define JPEG_LIB_VERSION  62
#define LIBJPEG_TURBO_VERSION  2.1.5
#define LIBJPEG_TURBO_VERSION_NUMBER  2001005
#define C_ARITH_CODING_SUPPORTED 1
#define D_ARITH_CODING_SUPPORTED 1
#define MEM_SRCDST_SUPPORTED 1
#define BITS_IN_JSAMPLE  8
