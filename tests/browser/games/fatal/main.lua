-- Starts, then loads a file that cannot be loaded (arg[1], or an image that
-- is not there) with the loader arg[2] names (loadImage by default): the page
-- must show the runtime's message and the game must end with status 1.
local O = require "orvixcore"
O.init(200, 100)
O.fill(0, 0, 0, 0, 200, 0, 0, 255)
O.flip()
O[arg[2] or "loadImage"](arg[1] or "missing/picture.png")
print("not reached")
