-- Starts, then loads an image that cannot be loaded (arg[1], or a file that
-- is not there): the page must show the runtime's message and the game must
-- end with status 1.
local O = require "orvixcore"
O.init(200, 100)
O.fill(0, 0, 0, 0, 200, 0, 0, 255)
O.flip()
O.loadImage(arg[1] or "missing/picture.png")
print("not reached")
