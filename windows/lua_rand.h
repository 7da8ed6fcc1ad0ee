/* Included ahead of Lua's math library (lmathlib.c): math.random and
   math.randomseed call glibc's generator over glibc's range instead of the
   Windows C library's (whose RAND_MAX is 32767), so a seed draws the same
   numbers as on Linux. */
#include <stdlib.h>

#undef RAND_MAX
#define RAND_MAX 2147483647

int orvix_glibc_rand(void);
void orvix_glibc_srand(unsigned seed);

#define rand orvix_glibc_rand
#define srand orvix_glibc_srand
