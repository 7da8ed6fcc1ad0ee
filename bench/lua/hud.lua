-- hud: the 40 texts of a status bar and a menu, the same every frame, drawn
-- with printFont over the last frame (no clear), flip. The texts, fonts,
-- places and colours are those of bench/c/hud.c.
local B = require("common")
local core = require("orvixcore")
local frames, warmup = B.args()

local status_texts = {
  "Score 0012450", "Hi 0098000", "Lives 3", "Level 7", "Time 02:31",
  "Coins 48", "Ammo 24/120", "Health 87%", "Shield 40%", "Stage 2-4",
}
local menu_texts = {
  "New Game", "Continue", "Load Game", "Save Game", "Options",
  "Controls", "Sound: On", "Music: Off", "Fullscreen: Off", "Language: English",
  "Credits", "Quit", "Resume", "Restart Level", "Main Menu",
  "Inventory", "Map", "Quests", "Skills", "Equipment",
  "Sword of Dawn", "Potion x 3", "Gold: 1,204", "XP 3450 / 5000", "Achievements",
  "Leaderboard", "Difficulty: Normal", "Brightness", "Press Start", "Back",
}

core.init(640, 480)
local status_font = core.loadFont(B.fonts .. "DejaVuSansMono.ttf", 14)
local menu_font = core.loadFont(B.fonts .. "DejaVuSans.ttf", 18)
local rnd = B.rnd
-- The status bar: two rows of five across the top; the menu: two columns of
-- fifteen. Each text a bright colour of its own.
local texts = {}
for i = 0, #status_texts + #menu_texts - 1 do
  local t
  if i < #status_texts then
    t = {text = status_texts[i + 1], font = status_font, x = 8 + (i % 5) * 126, y = 4 + math.floor(i / 5) * 18}
  else
    local k = i - #status_texts
    t = {text = menu_texts[k + 1], font = menu_font, x = 60 + math.floor(k / 15) * 300, y = 70 + (k % 15) * 26}
  end
  t.r, t.g, t.b = 128 + rnd(128), 128 + rnd(128), 128 + rnd(128)
  texts[#texts + 1] = t
end

local printFont, flip = core.printFont, core.flip
local function frame()
  for i = 1, #texts do
    local t = texts[i]
    printFont(t.font, t.text, t.r, t.g, t.b, t.x, t.y)
  end
  flip()
end

B.run("hud", B.host, frames, warmup, frame, B.kit.screen_hash)
core.freeFont(status_font)
core.freeFont(menu_font)
core.quit()
