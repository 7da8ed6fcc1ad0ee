---@meta orvixcore.extra
-- Type annotations of the orvixcore.extra module for lua-language-server.
-- The reference is docs/api.md; tests/annotations_test.lua checks these
-- against the real module and that page. Nothing here raises an error: a
-- failure returns nil and a message.

---@class orvixcore.extra
local extra = {}

---The window's size; in the cell mode also the grid and the cell. nil without a display.
---@return integer? width
---@return integer? height
---@return integer? cols
---@return integer? rows
---@return integer? cellWidth
---@return integer? cellHeight
function extra.size() end

---Sets the window's title (the page's in the browser).
---@param text string
function extra.setTitle(text) end

---A surface's size; nil for anything that is not a live surface.
---@param surface orvix.Surface
---@return integer? width
---@return integer? height
function extra.surfSize(surface) end

---Copies the w x h rectangle at (sx, sy) of a surface to (x, y): a sprite-sheet frame, a tile.
---@param surface orvix.Surface
---@param sx integer
---@param sy integer
---@param w integer
---@param h integer
---@param x integer
---@param y integer
---@param target? orvix.Surface
function extra.blitPart(surface, sx, sy, w, h, x, y, target) end

---blit with the source's alpha multiplied by alpha / 255 (0-255).
---@param surface orvix.Surface
---@param x integer
---@param y integer
---@param alpha integer
---@param target? orvix.Surface
function extra.blitAlpha(surface, x, y, alpha, target) end

---A new surface: turned angle degrees counter-clockwise and scaled by zoom.
---@param surface orvix.Surface
---@param angle number degrees, counter-clockwise
---@param zoom number
---@param smooth? boolean interpolate
---@return orvix.Surface|nil surface
---@return integer|string width or the message
---@return integer? height
function extra.rotozoom(surface, angle, zoom, smooth) end

---A new surface: a copy flipped left to right and/or top to bottom.
---@param surface orvix.Surface
---@param horizontal boolean
---@param vertical boolean
---@return orvix.Surface|nil surface
---@return integer|string width or the message
---@return integer? height
function extra.mirror(surface, horizontal, vertical) end

---One pixel of a surface; nil outside it.
---@param surface orvix.Surface
---@param x integer
---@param y integer
---@return integer? r
---@return integer? g
---@return integer? b
---@return integer? a
function extra.getPixel(surface, x, y) end

---Sets the clip rectangle of a surface or, for nil, the window; without a rectangle removes it.
---@param target orvix.Surface|nil
---@param x? integer
---@param y? integer
---@param w? integer
---@param h? integer
function extra.setClip(target, x, y, w, h) end

---Writes a surface, or the window for nil, to a PNG file.
---@param surface orvix.Surface|nil
---@param path string
---@return true|nil ok
---@return string? message
function extra.saveImage(surface, path) end

---The size of printFont's surface for this text, without rendering it.
---@param font orvix.Font
---@param text string|number
---@return integer? width
---@return integer? height
function extra.textSize(font, text) end

---The font's height, ascent, descent (negative) and line skip.
---@param font orvix.Font
---@return integer? height
---@return integer? ascent
---@return integer? descent
---@return integer? lineSkip
function extra.fontMetrics(font) end

---Stops every sound effect.
function extra.stopSounds() end

---Stops the music.
function extra.stopMusic() end

---Sets one sound's volume, 0-128 (negative: unchanged).
---@param sound orvix.Sound
---@param volume integer
function extra.soundVolume(sound, volume) end

---Whether a track plays (paused counts) and whether it is paused.
---@return boolean playing
---@return boolean paused
function extra.musicPlaying() end

---SDL 1.2's name of a key code ("up", "a", "f1", "left shift"; "unknown key").
---@param code integer
---@return string name
function extra.keyName(code) end

---The UTF-8 text typed since the last call, from the key events input has taken.
---@return string text
function extra.textInput() end

---Milliseconds since the start; nil before it.
---@return integer? ms
function extra.ticks() end

---The path (ending in /) of a created folder for saved games: $XDG_DATA_HOME/name/ or ~/.local/share/name/.
---@param name string 1 to 64 letters, digits, '.', '-', '_', starting with a letter or digit
---@return string|nil path
---@return string? message
function extra.saveDir(name) end

return extra
