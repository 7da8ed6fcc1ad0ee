-- Prints its arguments, one a line between brackets, and the working
-- directory's view of a file beside it; ends with the status in arg[1].
for i = 1, #arg do print("[" .. arg[i] .. "]") end
print(io.open("main.lua") ~= nil)
os.exit(tonumber(arg[1]) or 0)
