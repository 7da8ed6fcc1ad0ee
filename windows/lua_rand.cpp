// The add-ons' glibc generator under the C names that lua_rand.h gives
// Lua's math library.
#include "addons.h"

extern "C" int orvix_glibc_rand(void) { return addons::glibc_rand(); }
extern "C" void orvix_glibc_srand(unsigned seed) { addons::glibc_srand(seed); }
