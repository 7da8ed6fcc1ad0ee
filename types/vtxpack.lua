---@meta vtxpack
-- Type annotations of the vtxpack module for lua-language-server. The
-- reference is docs/api.md; tests/annotations_test.lua checks these against
-- the real module and that page.

---A number array from makeArray: a count and that many doubles.
---@alias vtxpack.Array userdata

---@class vtxpack
vtxpack = {}

---Packs table[1] to table[#table] into a new number array.
---@param table number[]
---@return vtxpack.Array
function vtxpack.makeArray(table) end

---Points OpenGL's vertex array at the array (three coordinates per vertex).
---@param array vtxpack.Array
function vtxpack.setVertexPointer(array) end

---Points OpenGL's normal array at the array (three components per normal).
---@param array vtxpack.Array
function vtxpack.setNormalPointer(array) end

return vtxpack
