---@meta orvixcore
-- Type annotations of the orvixcore module for lua-language-server. The
-- reference is docs/api.md; tests/annotations_test.lua checks these against
-- the real module and those pages.

---A surface handle: an image, a blank surface or rendered text.
---@alias orvix.Surface lightuserdata
---A font handle from loadFont.
---@alias orvix.Font lightuserdata
---A sound effect handle from loadSound.
---@alias orvix.Sound lightuserdata
---A music handle from loadMusic.
---@alias orvix.Music lightuserdata

---@class orvixcore
orvixcore = {}

---Starts the pixel mode (or the OpenGL mode): SDL, the window, fonts, the mixer, joysticks.
---@param width integer window width in pixels; 0 takes the desktop's
---@param height integer window height in pixels; 0 takes the desktop's
---@param fullscreen? boolean
---@param opengl? boolean an OpenGL window drawn with OpenGL
function orvixcore.init(width, height, fullscreen, opengl) end

---Ends the display; closes fonts still open.
function orvixcore.quit() end

---Shows the frame drawn since the last flip.
function orvixcore.flip() end

---Shows the mouse pointer when show is true, hides it otherwise.
---@param show boolean
function orvixcore.showCursor(show) end

---Call once per frame, last: measures, counts and paces the frame.
---@param target? number frames per second to pace to
---@return number dt seconds since the previous call
---@return number fps calls in the last closed window of just over a second
---@return number ticks milliseconds since SDL started
function orvixcore.timer(target) end

---Takes one event: 0 when none; 1/2 key down/up, key; 3/4 button down/up, x, y, button;
---5 motion, x, y, dx, dy; 6 joystick axis; 7 hat; 8/9 joystick button down/up.
---@return integer code
---@return any ... the event's fields
function orvixcore.input() end

---Whether the key with this code is held (as of the last input call).
---@param key integer
---@return boolean
function orvixcore.isKeyDown(key) end

---The pointer's position and whether a mouse button (1-8) is held.
---@param button integer
---@return integer x
---@return integer y
---@return boolean held
function orvixcore.mouse(button) end

---Loads an image (PNG, JPEG, BMP, GIF, ...); ends the process if it cannot.
---@param path string
---@return orvix.Surface surface
---@return integer width
---@return integer height
function orvixcore.loadImage(path) end

---Makes a blank off-screen surface; ends the process if it cannot.
---@param width integer
---@param height integer
---@return orvix.Surface surface
---@return integer width
---@return integer height
function orvixcore.makeSurf(width, height) end

---Copies a whole surface to (x, y) of the target or the window, blended by its alpha.
---@param surface orvix.Surface
---@param x integer
---@param y integer
---@param target? orvix.Surface
function orvixcore.blit(surface, x, y, target) end

---Frees a surface.
---@param surface orvix.Surface
function orvixcore.freeSurf(surface) end

---Fills a rectangle (the whole target when width or height is 0).
---@param x integer
---@param y integer
---@param width integer
---@param height integer
---@param r integer
---@param g integer
---@param b integer
---@param a integer
---@param target? orvix.Surface
function orvixcore.fill(x, y, width, height, r, g, b, a, target) end

---Sets one pixel, alpha included.
---@param x integer
---@param y integer
---@param r integer
---@param g integer
---@param b integer
---@param a integer
---@param target? orvix.Surface
function orvixcore.putpix(x, y, r, g, b, a, target) end

---A line, rectangle or circle: shape 0 line, 1 rectangle, 2 circle (x2 the radius);
---style 0 outline, 1 anti-aliased, 2 filled.
---@param x1 integer
---@param y1 integer
---@param x2 integer
---@param y2 integer
---@param r integer
---@param g integer
---@param b integer
---@param a integer
---@param shape integer
---@param style integer
---@param target? orvix.Surface
function orvixcore.draw(x1, y1, x2, y2, r, g, b, a, shape, style, target) end

---A triangle: style 0 outline, 1 anti-aliased, 2 filled.
---@param x1 integer
---@param y1 integer
---@param x2 integer
---@param y2 integer
---@param x3 integer
---@param y3 integer
---@param r integer
---@param g integer
---@param b integer
---@param a integer
---@param style integer
---@param target? orvix.Surface
function orvixcore.drawTri(x1, y1, x2, y2, x3, y3, r, g, b, a, style, target) end

---Opens a font; ends the process if it cannot. advance is the cell width of a fixed-width face, else 0.
---@param path string
---@param size integer
---@return orvix.Font font
---@return integer advance
function orvixcore.loadFont(path, size) end

---Draws one line of UTF-8 text, or with asSurface true returns it as a new surface.
---@param font orvix.Font
---@param text string|number
---@param r integer
---@param g integer
---@param b integer
---@param x integer
---@param y integer
---@param target? orvix.Surface
---@param asSurface? boolean
---@return orvix.Surface? surface only with asSurface
---@return integer? width
---@return integer? height
function orvixcore.printFont(font, text, r, g, b, x, y, target, asSurface) end

---Closes a font.
---@param font orvix.Font
function orvixcore.freeFont(font) end

---Loads a sound effect; nil without audio; ends the process if it cannot.
---@param path string
---@return orvix.Sound? sound
function orvixcore.loadSound(path) end

---Loads a music track; nil without audio; ends the process if it cannot.
---@param path string
---@return orvix.Music? music
function orvixcore.loadMusic(path) end

---Plays a sound loops + 1 times (-1: without end).
---@param sound orvix.Sound
---@param loops integer
function orvixcore.playSound(sound, loops) end

---Plays a track from its beginning (-1: without end).
---@param music orvix.Music
---@param loops integer
function orvixcore.playMusic(music, loops) end

---Pauses the music, or resumes it when paused.
function orvixcore.pauseMusic() end

---Sets the music volume 0-128 (negative: unchanged); returns the volume before.
---@param volume integer
---@return integer? previous nil without audio
function orvixcore.musicVolume(volume) end

---Frees a sound; its voices stop.
---@param sound orvix.Sound
function orvixcore.freeSound(sound) end

---Frees a track; it stops if it plays.
---@param music orvix.Music
function orvixcore.freeMusic(music) end

---Starts the character-cell mode; returns the size of a cell.
---@param cols integer
---@param rows integer
---@param fontPath string
---@param size integer
---@return integer cellW
---@return integer cellH
function orvixcore.curses_init(cols, rows, fontPath, size) end

---Writes a character into a cell.
---@param char string|number
---@param x integer
---@param y integer
function orvixcore.curses_addch(char, x, y) end

---Sets a cell's text and background colours; nil or negative components stay.
---@param x integer
---@param y integer
---@param fr? integer
---@param fg? integer
---@param fb? integer
---@param br? integer
---@param bg? integer
---@param bb? integer
function orvixcore.curses_setcol(x, y, fr, fg, fb, br, bg, bb) end

---Fills a rectangle of cells with a character and colours.
---@param x integer
---@param y integer
---@param width integer
---@param height integer
---@param char? string|number
---@param fr? integer
---@param fg? integer
---@param fb? integer
---@param br? integer
---@param bg? integer
---@param bb? integer
function orvixcore.curses_fill(x, y, width, height, char, fr, fg, fb, br, bg, bb) end

---Draws every cell into the window (shown by flip).
function orvixcore.curses_refresh() end

return orvixcore
