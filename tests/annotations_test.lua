-- The editor annotations in types/ (lua-language-server's ---@meta files)
-- against the real modules and docs/api.md: the same functions, the same
-- parameters in the same order, optional where the reference marks them
-- optional, and no results where the reference says a function returns
-- nothing.
local H = require "helpers"

local MODULES = {
  { name = "orvixcore", file = "types/orvixcore.lua", heading = "# orvixcore" },
  { name = "orvixcore.extra", file = "types/orvixcore/extra.lua", heading = "# orvixcore.extra" },
  { name = "vtxpack", file = "types/vtxpack.lua", heading = "# vtxpack" },
}

-- docs/api.md: per module, function name -> { params = {...}, optional = {name = true}, returns_nothing }.
local function reference()
  local doc = assert(H.read_file(H.source .. "/docs/api.md"))
  local sections, current = {}, nil
  for line in (doc .. "\n"):gmatch("(.-)\n") do
    local top = line:match("^# (%S+)$")
    if top then
      current = {}
      sections[top] = current
    elseif current then
      local name, args = line:match("^### `([%w_]+)%((.-)%)`$")
      if name then
        local f = { params = {}, optional = {}, text = "" }
        local depth = 0
        for token in args:gsub("%[", " [ "):gsub("%]", " ] "):gmatch("[^%s,]+") do
          if token == "[" then depth = depth + 1
          elseif token == "]" then depth = depth - 1
          else
            f.params[#f.params + 1] = token
            if depth > 0 then f.optional[token] = true end
          end
        end
        current[name] = f
        current.last = f
      elseif current.last then
        current.last.text = current.last.text .. " " .. line
      end
    end
  end
  for _, s in pairs(sections) do s.last = nil end
  return sections
end

-- An annotation file: its ---@meta name and, per function, its ---@param
-- names (with whether they end in ?), ---@return count and signature.
local function annotations(path)
  local t = { functions = {} }
  local params, returns = {}, 0
  for line in io.lines(H.source .. "/" .. path) do
    t.meta = t.meta or line:match("^%-%-%-@meta (%S+)$")
    local pname, opt = line:match("^%-%-%-@param ([%w_]+)(%??) ")
    if pname then params[#params + 1] = { pname, opt == "?" } end
    if line:match("^%-%-%-@return ") then returns = returns + 1 end
    local fname, sig = line:match("^function [%w_]+%.([%w_]+)%((.-)%) end$")
    if fname then
      local names = {}
      for a in sig:gmatch("[%w_]+") do names[#names + 1] = a end
      t.functions[fname] = { params = params, returns = returns, signature = names }
      params, returns = {}, 0
    end
  end
  return t
end

local function keys(t)
  local k = {}
  for name in pairs(t) do k[#k + 1] = name end
  table.sort(k)
  return k
end

describe("editor annotations", function()
  local ref = reference()

  for _, m in ipairs(MODULES) do
    it("of " .. m.name .. " match the module and docs/api.md", function()
      local a = annotations(m.file)
      assert.are.equal(m.name, a.meta)
      local module = require(m.name)
      local real = {}
      for k, v in pairs(module) do if type(v) == "function" then real[k] = true end end
      local doc = ref[m.heading:sub(3)]
      assert.is_truthy(doc, "no section " .. m.heading)
      assert.are.same(keys(real), keys(a.functions))
      assert.are.same(keys(real), keys(doc))
      for name, f in pairs(a.functions) do
        local d = doc[name]
        assert.are.same(d.params, f.signature, name .. ": signature")
        local annotated, optional = {}, {}
        for _, p in ipairs(f.params) do
          annotated[#annotated + 1] = p[1]
          if p[2] then optional[p[1]] = true end
        end
        assert.are.same(d.params, annotated, name .. ": ---@param lines")
        assert.are.same(d.optional, optional, name .. ": optional parameters")
        -- (printFont returns nothing in one mode and a surface in the other)
        if d.text:find("Returns nothing") and not d.text:find("returns `") then
          assert.are.equal(0, f.returns, name .. " returns nothing")
        end
      end
    end)
  end

  it("are installed by the rockspec", function()
    local rockspec = assert(H.read_file(H.source .. "/orvix-scm-1.rockspec"))
    assert.matches('copy_directories%s*=%s*{[^}]*"types"', rockspec)
  end)
end)
