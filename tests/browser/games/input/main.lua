-- Prints every input event, and the key and mouse state after each, one line
-- per event: what the browser test compares with what SDL 1.2 reports natively.
local O = require "orvixcore"
O.init(320, 240)
O.showCursor(false)
local frames = tonumber(os.getenv("ORVIX_FRAMES")) or 600
for _ = 1, frames do
  while true do
    local ev = { O.input() }
    if ev[1] == 0 then break end
    for i = 1, #ev do ev[i] = tostring(ev[i]) end
    local x, y, left = O.mouse(1)
    print(string.format("input %s | up %s a %s | mouse %d %d %s", table.concat(ev, " "),
      tostring(O.isKeyDown(273)), tostring(O.isKeyDown(97)), x, y, tostring(left)))
  end
  O.fill(0, 0, 0, 0, 0, 0, 0, 255)
  O.flip()
  O.timer(60)
end
O.quit()
