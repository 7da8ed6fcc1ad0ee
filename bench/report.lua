-- Turns the raw results of bench/run.sh into the performance table.
--   lua5.1 report.lua RESULTS [DOC CHART]
-- Prints the table. With DOC, also writes it into that Markdown file between
-- the two result markers (the rest of the file is kept as it is); with CHART,
-- writes ImageMagick drawing commands for the bar chart of the ratios.
local results_path, doc_path, chart_path = arg[1], arg[2], arg[3]

local WORKLOADS = {"sprites", "pixels", "text", "hud", "shapes", "cells80x25", "cells160x50", "recolour80x25",
  "arrays", "tiles", "rotozoom", "measure"}
-- Highest ratio to the C limit allowed per workload and host; for pixels the
-- limit is the floor (the same loop calling an empty C function) plus C.
local TARGETS = {
  sprites = {["lua5.1"] = 1.25, luajit = 1.15},
  text = {["lua5.1"] = 1.1, luajit = 1.1},
  hud = {["lua5.1"] = 0.45, luajit = 0.45},
  shapes = {["lua5.1"] = 1.25, luajit = 1.15},
  cells80x25 = {["lua5.1"] = 0.5, luajit = 0.5},
  cells160x50 = {["lua5.1"] = 0.5, luajit = 0.5},
  pixels = {["lua5.1"] = 1.2, luajit = 1.5},
  tiles = {["lua5.1"] = 1.1, luajit = 1.1},
  rotozoom = {["lua5.1"] = 1.1, luajit = 1.1},
}
-- Workloads that must cost less than another one under the same host:
-- measuring the texts of the text workload against drawing them.
local CHEAPER_THAN = {measure = "text"}
-- Highest ratio to the same host on the module before the caches: the grid
-- whose every glyph misses may cost only a little more than it did.
local BEFORE_TARGETS = {
  recolour80x25 = {["lua5.1"] = 1.05, luajit = 1.05},
}
-- Against pygame's set_at, the Lua hosts must be at least this much faster.
local PYGAME_SPEEDUP = {["lua5.1"] = 3, luajit = 10}
local HOSTS = {"c", "lua5.1", "luajit", "pygame"}

local info, wall, hashes, instr, pacing = {}, {}, {}, {}, {}
local function push(t, k1, k2, v)
  t[k1] = t[k1] or {}
  t[k1][k2] = t[k1][k2] or {}
  table.insert(t[k1][k2], v)
end

for line in io.lines(results_path) do
  local words = {}
  for w in line:gmatch("%S+") do words[#words + 1] = w end
  local kind = words[1]
  if kind == "info" then
    info[words[2]] = line:match("^info %S+ (.*)$")
  elseif kind == "wall" then
    push(wall, words[2], words[3], tonumber(words[4]))
    push(hashes, words[2], words[3], words[5])
  elseif kind == "instr" then
    instr[words[2]] = instr[words[2]] or {}
    instr[words[2]][words[3]] = tonumber(words[4])
  elseif kind == "pacing" then
    pacing[words[2]] = pacing[words[2]] or {rate = {}, cpu = {}}
    table.insert(pacing[words[2]].rate, tonumber(words[3]))
    pacing[words[2]].target = tonumber(words[4])
    table.insert(pacing[words[2]].cpu, tonumber(words[5]))
  end
end

local function median(list)
  if not list or #list == 0 then return nil end
  local t = {}
  for i, v in ipairs(list) do t[i] = v end
  table.sort(t)
  local n = #t
  if n % 2 == 1 then return t[(n + 1) / 2] end
  return (t[n / 2] + t[n / 2 + 1]) / 2
end

local function get(t, w, h) return t[w] and t[w][h] end

-- The limit a host is compared with: the C program, plus the floor for pixels.
local function limit(t, w, h, pick)
  local c = pick(get(t, w, "c"))
  if not c then return nil end
  if w == "pixels" and h ~= "pygame" then
    local floor = pick(get(t, w, h .. "-floor"))
    return floor and floor + c
  end
  return c
end

local function ident(x) return x end
local function ratio(t, w, h, pick)
  local v, l = pick(get(t, w, h)), limit(t, w, h, pick)
  return v and l and v / l
end

local function fmt(x, f) return x and string.format(f, x) or "–" end
local function mi(x) return x and string.format("%.2f", x / 1e6) or "–" end

-- Draws differ from the C program's? Then the comparison is void: say so.
local function same_output(w, h)
  local ref = get(hashes, w, "c")
  local mine = get(hashes, w, h)
  if not ref or not mine or h:find("floor") or h:find("before") or h == "pygame" then return true end
  for _, x in ipairs(mine) do if x ~= ref[1] then return false end end
  return true
end

local out = {}
local function say(s) out[#out + 1] = s end
local misses, unmeasured, checked = {}, {}, 0

say(string.format("Measured %s on %s; load average at the start %s; %s, %s, SDL %s. " ..
  "Times are the median over %s interleaved runs of each run's median frame; " ..
  "instructions are callgrind's count for the main thread, (2N frames − N frames) / N.",
  info.date or "?", info.cpu or "?", info.load or "?", info["lua5.1"] or "?", info.luajit or "?",
  info.sdl or "?", info.runs or "?"))
if info.before then
  say("")
  say(string.format("Rows marked \"before the caches\" run the same script on orvixcore built from " ..
    "revision %s, the last one that rendered every glyph and text anew; the column \"vs before\" " ..
    "divides a host's instructions by that host's count there.", info.before:sub(1, 10)))
end
say("")
say("| workload | host | ms / frame | M instructions / frame | ratio (instructions) | ratio (time) | vs before | target | met |")
say("|---|---|---:|---:|---:|---:|---:|---:|---|")
local rows = {}
for _, w in ipairs(WORKLOADS) do
  local hosts = {"c", "lua5.1", "luajit"}
  if w == "pixels" then hosts = {"c", "lua5.1-floor", "luajit-floor", "lua5.1", "luajit"} end
  if get(instr, w, "lua5.1-before") or get(instr, w, "luajit-before") then
    table.insert(hosts, 2, "lua5.1-before")
    table.insert(hosts, 3, "luajit-before")
  end
  if get(wall, w, "pygame") then hosts[#hosts + 1] = "pygame" end
  for _, h in ipairs(hosts) do
    local ms = median(get(wall, w, h))
    local ins = get(instr, w, h)
    local ri, rt, rb, target, met = nil, nil, nil, nil, ""
    local before = get(instr, w, h .. "-before")
    if h:find("before") then
      ri = ratio(instr, w, h, ident)
    elseif h == "lua5.1" or h == "luajit" or h == "pygame" then
      ri = ratio(instr, w, h, ident)
      rt = ratio(wall, w, h, median)
      rb = ins and before and ins / before
      local chart_target
      target = TARGETS[w] and TARGETS[w][h]
      local value = ri
      if BEFORE_TARGETS[w] and BEFORE_TARGETS[w][h] then
        target, value = BEFORE_TARGETS[w][h], rb
        chart_target = rb and ri and target * ri / rb
      else
        chart_target = target
      end
      if target and value then
        met = value <= target and "yes" or "**no**"
        checked = checked + 1
        if value > target then misses[#misses + 1] = w .. " " .. h end
      elseif target then
        unmeasured[#unmeasured + 1] = w .. " " .. h
      end
      rows[#rows + 1] = {w = w, h = h, ratio = ri, target = chart_target}
    end
    if not same_output(w, h) then met = met .. " (output differs from C!)" end
    local label = h
    if w == "pixels" and h:find("floor") then label = h .. " (empty C call)" end
    if w == "pixels" and (h == "lua5.1" or h == "luajit") then label = h .. " vs floor + C" end
    if h:find("before") then label = h:gsub("%-before$", "") .. ", before the caches" end
    local target_text = "–"
    if target then
      target_text = string.format(BEFORE_TARGETS[w] and "≤ %.2f × before" or "≤ %.2f", target)
    end
    say(string.format("| %s | %s | %s | %s | %s | %s | %s | %s | %s |", w, label, fmt(ms, "%.3f"), mi(ins),
      fmt(ri, "%.3f"), fmt(rt, "%.2f"), fmt(rb, "%.3f"), target_text, met))
  end
end

-- Measuring against drawing.
for w, other in pairs(CHEAPER_THAN) do
  if get(instr, w, "lua5.1") or get(instr, w, "luajit") then
    say("")
    say(string.format("| %s against %s | M instructions / frame | %s's | ratio | target | met |", w, other, other))
    say("|---|---:|---:|---:|---:|---|")
    for _, h in ipairs({"lua5.1", "luajit"}) do
      local a, b = get(instr, w, h), get(instr, other, h)
      local r = a and b and a / b
      local met = ""
      if r then
        checked = checked + 1
        met = r < 1 and "yes" or "**no**"
        if r >= 1 then misses[#misses + 1] = w .. " " .. h .. " against " .. other end
      else
        unmeasured[#unmeasured + 1] = w .. " " .. h .. " against " .. other
      end
      say(string.format("| %s | %s | %s | %s | < 1 | %s |", h, mi(a), mi(b), fmt(r, "%.3f"), met))
    end
  end
end

-- pygame's set_at against putpix: how many times faster the Lua hosts are.
if get(wall, "pixels", "pygame") then
  say("")
  say("| pixels against pygame's set_at | speed-up (instructions) | speed-up (time) | target | met |")
  say("|---|---:|---:|---:|---|")
  for _, h in ipairs({"lua5.1", "luajit"}) do
    local si = get(instr, "pixels", "pygame") and get(instr, "pixels", h) and
      get(instr, "pixels", "pygame") / get(instr, "pixels", h)
    local st = median(get(wall, "pixels", "pygame")) / median(get(wall, "pixels", h))
    local met = si and (si >= PYGAME_SPEEDUP[h] and "yes" or "**no**") or ""
    say(string.format("| %s | %s | %.1f | ≥ %d | %s |", h, fmt(si, "%.1f"), st, PYGAME_SPEEDUP[h], met))
  end
end

say("")
say("Pacing: `timer(60)` with a light frame (clear, flip) for 5 s after 0.5 s of catching up; " ..
  "median of the runs. CPU time is the whole process's, all threads.")
say("")
say("| host | calls / s | expected (1000 / 16) | deviation | CPU % of wall | met (±1 %, < 10 %) |")
say("|---|---:|---:|---:|---:|---|")
for _, h in ipairs(HOSTS) do
  local p = pacing[h]
  if p then
    local rate, cpu = median(p.rate), median(p.cpu)
    local dev = (rate - p.target) / p.target * 100
    local ok = math.abs(dev) <= 1 and cpu < 10
    local verdict = ok and "yes" or "**no**"
    if h == "lua5.1" or h == "luajit" then checked = checked + 1 end
    if h == "pygame" then
      -- Clock.tick waits for the rest of a 16 ms frame after each call, a
      -- relative schedule: it is not expected to reach 1000 / 16.
      verdict = "peer"
    elseif not ok and h ~= "c" then
      misses[#misses + 1] = "pacing " .. h
    end
    say(string.format("| %s | %.3f | %.3f | %+.2f %% | %.2f | %s |", h, rate, p.target, dev, cpu, verdict))
  end
end
say("")
local summary = {}
if #misses == 0 then
  summary[1] = string.format("All %d targets checked in this run are met.", checked)
else
  summary[1] = string.format("%d targets checked; missed in this run: %s.", checked, table.concat(misses, ", "))
end
if #unmeasured > 0 then
  summary[2] = "Not measured: " .. table.concat(unmeasured, ", ") .. "."
end
if not pacing["lua5.1"] or not pacing.luajit then
  summary[#summary + 1] = "Pacing not measured under both Lua hosts."
end
say(table.concat(summary, " "))

local text = table.concat(out, "\n")
print(text)

if doc_path then
  local BEGIN = "<!-- results: written by bench/run.sh, do not edit by hand -->"
  local END = "<!-- end of results -->"
  local f = io.open(doc_path, "r")
  local old = f and f:read("*a") or ("# Performance\n\n" .. BEGIN .. "\n" .. END .. "\n")
  if f then f:close() end
  local s, e = old:find(BEGIN, 1, true), select(2, old:find(END, 1, true))
  if not s or not e then
    old = old .. "\n" .. BEGIN .. "\n" .. END .. "\n"
    s, e = old:find(BEGIN, 1, true), select(2, old:find(END, 1, true))
  end
  local new = old:sub(1, s - 1) .. BEGIN .. "\n" .. text .. "\n" .. END .. old:sub(e + 1)
  f = assert(io.open(doc_path, "w"))
  f:write(new)
  f:close()
end

if chart_path then
  -- Grouped bars: per workload one bar per Lua host, its target as a tick.
  -- bench/run.sh draws it on a canvas of this size.
  local W, H = 1100, 480
  local left, right, top, bottom = 70, 20, 60, 90
  local groups = {}
  for _, w in ipairs(WORKLOADS) do
    if TARGETS[w] or BEFORE_TARGETS[w] then groups[#groups + 1] = w end
  end
  local top_value = 1.6
  for _, r in ipairs(rows) do
    if TARGETS[r.w] and r.ratio and r.h ~= "pygame" then top_value = math.max(top_value, r.ratio * 1.1) end
  end
  for _, r in ipairs(rows) do
    if r.target and r.h ~= "pygame" then top_value = math.max(top_value, r.target * 1.1) end
  end
  local function y_of(v) return H - bottom - (H - top - bottom) * v / top_value end
  local colours = {["lua5.1"] = "#3465a4", luajit = "#f57900"}
  local m = {}
  local function draw(s, ...) m[#m + 1] = string.format(s, ...) end
  draw("font '/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf'")
  draw("font-size 16 fill black stroke none")
  draw("text %d,%d 'Cost against the C limit (callgrind instructions per frame; 1.0 = the same SDL calls from C)'",
    left - 50, 28)
  draw("font-size 12")
  -- Horizontal grid with labels every 0.25.
  local v = 0
  while v <= top_value + 1e-9 do
    local y = y_of(v)
    draw("stroke '%s' stroke-width 1 line %d,%.1f %d,%.1f", v == 1 and "#555555" or "#dddddd", left, y, W - right, y)
    draw("stroke none fill black text %d,%.1f '%.2f'", left - 40, y + 4, v)
    v = v + 0.25
  end
  local gw = (W - left - right) / #groups
  local bw = gw * 0.3
  for i, w in ipairs(groups) do
    local x0 = left + (i - 1) * gw + gw * 0.15
    for j, h in ipairs({"lua5.1", "luajit"}) do
      local r
      for _, row in ipairs(rows) do if row.w == w and row.h == h then r = row end end
      local bx = x0 + (j - 1) * (bw + gw * 0.1)
      if r and r.ratio then
        draw("stroke none fill '%s' rectangle %.1f,%.1f %.1f,%.1f", colours[h], bx, y_of(r.ratio), bx + bw, y_of(0))
        -- The value inside the top of the bar, clear of the target tick.
        draw("fill white text-anchor middle text %.1f,%.1f '%.3f' text-anchor start", bx + bw / 2,
          y_of(r.ratio) + 16, r.ratio)
      end
      if r and r.target then
        local ty = y_of(r.target)
        draw("stroke '#cc0000' stroke-width 3 line %.1f,%.1f %.1f,%.1f", bx - 4, ty, bx + bw + 4, ty)
      end
    end
    local notes = {pixels = "(vs floor + C)", recolour80x25 = "(target: 1.05 × before)"}
    draw("stroke none fill black text-anchor middle text %.1f,%d '%s' text-anchor start",
      left + (i - 0.5) * gw, H - bottom + 18, w)
    if notes[w] then
      draw("text-anchor middle text %.1f,%d '%s' text-anchor start", left + (i - 0.5) * gw, H - bottom + 34, notes[w])
    end
  end
  -- Legend.
  local ly = H - 30
  draw("stroke none fill '%s' rectangle %d,%d %d,%d", colours["lua5.1"], left, ly - 10, left + 14, ly + 2)
  draw("fill black text %d,%d 'lua5.1'", left + 20, ly)
  draw("stroke none fill '%s' rectangle %d,%d %d,%d", colours.luajit, left + 100, ly - 10, left + 114, ly + 2)
  draw("fill black text %d,%d 'LuaJIT'", left + 120, ly)
  draw("stroke '#cc0000' stroke-width 3 line %d,%d %d,%d", left + 200, ly - 4, left + 220, ly - 4)
  draw("stroke none fill black text %d,%d 'target (highest ratio allowed)'", left + 226, ly)
  draw("text %d,%d '%s'", left + 470, ly, "arrays: no target, see the table")
  local f = assert(io.open(chart_path, "w"))
  f:write(table.concat(m, "\n"), "\n")
  f:close()
end
