/* FreeType's default options, with compressed fonts read through the zlib
   the runtime already has (for libpng); bzip2-compressed fonts are not. */
#include <freetype/config/ftoption.h>
#define FT_CONFIG_OPTION_SYSTEM_ZLIB
#undef FT_CONFIG_OPTION_USE_BZIP2
