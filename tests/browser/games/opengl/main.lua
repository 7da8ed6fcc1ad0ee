-- Asks for the OpenGL mode, which the browser build does not have.
local O = require "orvixcore"
O.init(64, 48, false, true)
print("not reached")
