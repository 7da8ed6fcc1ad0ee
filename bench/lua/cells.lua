-- cells: a COLS x ROWS character-cell screen with random characters and
-- colours; curses_refresh and flip every frame. With "recolour", every cell
-- takes a new random text colour (curses_setcol) before each frame.
-- Command line: FRAMES WARMUP COLS ROWS [recolour].
local B = require("common")
local core = require("orvixcore")
local frames, warmup = B.args()
local cols = math.floor(tonumber(arg[3]) or 80)
local rows = math.floor(tonumber(arg[4]) or 25)
local recolour = arg[5] == "recolour"

core.curses_init(cols, rows, B.fonts .. "DejaVuSansMono.ttf", 16)
local rnd, char = B.rnd, string.char
for y = 0, rows - 1 do
  for x = 0, cols - 1 do
    core.curses_addch(char(33 + rnd(94)), x, y)
    local fr, fg, fb = rnd(256), rnd(256), rnd(256)
    local br, bg, bb = rnd(256), rnd(256), rnd(256)
    core.curses_setcol(x, y, fr, fg, fb, br, bg, bb)
  end
end

local refresh, flip, setcol = core.curses_refresh, core.flip, core.curses_setcol
local frame
if recolour then
  frame = function()
    for y = 0, rows - 1 do
      for x = 0, cols - 1 do
        setcol(x, y, rnd(256), rnd(256), rnd(256))
      end
    end
    refresh()
    flip()
  end
else
  frame = function()
    refresh()
    flip()
  end
end

B.run(string.format("%s%dx%d", recolour and "recolour" or "cells", cols, rows), B.host, frames, warmup,
  frame, B.kit.screen_hash)
core.quit()
