/* FreeType's default options, less the compressed-font support, which
   would need zlib inside FreeType: game fonts are plain TTF files. */
#include <freetype/config/ftoption.h>
#undef FT_CONFIG_OPTION_USE_ZLIB
#undef FT_CONFIG_OPTION_USE_BZIP2
#undef FT_CONFIG_OPTION_USE_LZW
