-- A game's saved file and typed text: counts its runs in a file in saveDir
-- (which the page keeps across reloads), sets the window title, and prints
-- the text typed until a "!" comes (or ORVIX_FRAMES frames pass).
local O = require "orvixcore"
local X = require "orvixcore.extra"
O.init(160, 120)
X.setTitle("Saves caf\195\169")
local dir = assert(X.saveDir("orvix-test"))
local f = io.open(dir .. "count.txt")
local n = f and tonumber(f:read("*a")) or 0
if f then f:close() end
n = n + 1
f = assert(io.open(dir .. "count.txt", "w"))
f:write(n)
f:close()
print("count " .. n .. " in " .. dir)
X.textInput()
local typed = ""
local frames = tonumber(os.getenv("ORVIX_FRAMES")) or 3000
for _ = 1, frames do
  while O.input() ~= 0 do end
  typed = typed .. X.textInput()
  if typed:find("!") then break end
  O.fill(0, 0, 0, 0, 0, 40, 0, 255)
  O.flip()
  O.timer(60)
end
print("typed " .. typed)
O.quit()
