rockspec_format = "3.0"
package = "orvix"
version = "scm-1"

-- Built from a checkout with `luarocks make`; there is no published archive.
source = {
   url = "git+file://.",
}

description = {
   summary = "A small 2D game runtime for Lua 5.1 over SDL 1.2",
   detailed = [[
Two native modules. orvixcore opens one window through SDL 1.2 and gives
scripts images, off-screen surfaces, shapes, TrueType text, sound effects
and music, keyboard, mouse and joystick input, a frame timer, and a
character-cell screen drawn with a TrueType font. vtxpack packs Lua number
tables for OpenGL vertex and normal arrays.
]],
   labels = { "game", "sdl", "graphics" },
}

supported_platforms = { "linux" }

dependencies = {
   "lua >= 5.1, < 5.2",
}

-- Checked before the build so that a missing package is named; CMake finds
-- the libraries itself through pkg-config.
external_dependencies = {
   SDL = { header = "SDL/SDL.h" },
   SDL_IMAGE = { header = "SDL/SDL_image.h" },
   SDL_TTF = { header = "SDL/SDL_ttf.h" },
   SDL_GFX = { header = "SDL/SDL_gfxPrimitives.h" },
   SDL_MIXER = { header = "SDL/SDL_mixer.h" },
   GL = { header = "GL/gl.h" },
   PNG = { header = "png.h" },
   FLAC = { header = "FLAC/stream_decoder.h" },
   FREETYPE = { header = "freetype2/ft2build.h" },
}

build = {
   type = "cmake",
   variables = {
      CMAKE_BUILD_TYPE = "Release",
      CMAKE_INSTALL_PREFIX = "$(PREFIX)",
      -- The modules go into the rock's library folder; LuaRocks deploys
      -- them from there into the tree's C module directory.
      ORVIX_INSTALL_CMOD = "$(LIBDIR)",
      BUILD_TESTING = "OFF",
      ORVIX_EXAMPLES = "OFF",
      ORVIX_BENCH = "OFF",
   },
   -- Type annotations for lua-language-server (types/, ---@meta files),
   -- copied into the rock's folder; README says how to point an editor at them.
   copy_directories = { "types" },
}
