// The browser benchmark (bench/web/run.sh runs it):
//   node bench/web/run.js BUILD [SECONDS] [PART...]
// PARTs (all by default):
//   start  navigation to the arcade's first drawn frame, on 127.0.0.1, with an
//          empty cache and warm, and where the time goes;
//   work   game work per frame of the arcade and the roguelike in the browser
//          beside the native build's CPU time for the same frames (same seed,
//          same keys after the same frames, both on a clock that advances
//          16 ms a frame), native under Xvfb;
//   rate   frame rates on the real clock over SECONDS (default 10).
'use strict';
const childProcess = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');
const h = require('../../tests/browser/harness');

const source = path.resolve(__dirname, '../..');
const build = path.resolve(process.argv[2] || 'build');
const seconds = Number(process.argv[3]) || 10;
const parts = process.argv.slice(4).length ? process.argv.slice(4) : ['start', 'work', 'rate'];

const median = (xs) => {
  const s = xs.slice().sort((a, b) => a - b);
  return s.length % 2 ? s[(s.length - 1) / 2] : (s[s.length / 2 - 1] + s[s.length / 2]) / 2;
};
const ms = (v) => (v === null || v === undefined ? '–' : `${Math.round(v)}`);

// ---------------------------------------------------------------------------
// Start: each load is timed inside the page from navigation (performance's
// time origin): when the runtime's files have arrived, when the script prints
// its first line, and when the first frame reaches the canvas.
const START_RUNS = 5;

function probe() {
  const b = window.__orvixStart = {frame: null, line: null};
  const put = CanvasRenderingContext2D.prototype.putImageData;
  CanvasRenderingContext2D.prototype.putImageData = function() {
    if (b.frame === null) b.frame = performance.now();
    return put.apply(this, arguments);
  };
  const log = console.log;
  console.log = function() {
    if (b.line === null) b.line = performance.now();
    return log.apply(this, arguments);
  };
}

async function loadOnce(browser, url) {
  const page = await browser.newPage();
  await page.setViewport({width: 900, height: 700});
  await page.evaluateOnNewDocument(probe);
  const asked = Date.now();
  await page.goto(`${url}/index.html?env=ORVIX_FRAMES=100000`);
  await h.until(page, () => window.__orvixStart.frame !== null);
  const t = await page.evaluate((asked) => {
    const end = (name) => {
      const e = performance.getEntriesByType('resource').find((r) => r.name.split('?')[0].endsWith('/' + name));
      return e ? e.responseEnd : null;
    };
    const mark = (name) => {
      const m = performance.getEntriesByName(name);
      return m.length ? m[0].startTime : null;
    };
    const nav = performance.getEntriesByType('navigation')[0];
    return {html: nav.responseEnd, js: end('orvix.js'), wasm: end('orvix.wasm'), data: end('game.data'),
      ready: mark('orvix-runtime-ready'), line: window.__orvixStart.line, frame: window.__orvixStart.frame,
      // From the moment the page was asked for, as the test saw it: the
      // browser's own work before navigation starts (a renderer process) too.
      asked: performance.timeOrigin + window.__orvixStart.frame - asked};
  }, asked);
  await page.close();
  return t;
}

async function start(browser, base) {
  const url = `${base}/arcade`;
  const cold = [], warm = [];
  for (let i = 0; i < START_RUNS; i++) {
    // A browser started afresh on a new profile: nothing cached, no compiled
    // code kept, as for a player's first visit.
    const fresh = await h.launch();
    cold.push(await loadOnce(fresh, url));
    await fresh.close();
  }
  // Warm: the same browser again, after a first visit.
  await loadOnce(browser, url);
  for (let i = 0; i < START_RUNS; i++) warm.push(await loadOnce(browser, url));
  const cols = ['html', 'js', 'wasm', 'data', 'ready', 'line', 'frame', 'asked'];
  console.log('\nNavigation to the arcade\'s first drawn frame (ms from navigation, medians of ' +
    `${START_RUNS} loads; load average ${os.loadavg()[0].toFixed(2)}):\n`);
  console.log('| cache | page | orvix.js | orvix.wasm | game.data | runtime ready | first line | first frame | ' +
    'first frame from the request |');
  console.log('|---|---|---|---|---|---|---|---|---|');
  for (const [name, runs] of [['empty', cold], ['warm', warm]]) {
    const row = cols.map((c) => {
      const v = runs.map((r) => r[c]).filter((x) => x !== null);
      return v.length ? ms(median(v)) : '–';
    });
    console.log(`| ${name} | ${row.join(' | ')} |`);
  }
  console.log(`\nfirst frame, each load: empty ${cold.map((r) => ms(r.frame)).join(', ')}; ` +
    `warm ${warm.map((r) => ms(r.frame)).join(', ')}`);
}

// ---------------------------------------------------------------------------
// Work per frame. Both sides stop after the same frames (the native one only
// to note its CPU time and press keys); the window measured runs from the
// first stop to the last.
const WORK = [
  {name: 'arcade', script: 'examples/arcade/arcade.lua', args: [path.join(build, 'examples/arcade')],
    // Firing all the way, weaving left and right.
    stops: {100: ['+Space', '+ArrowLeft'], 250: ['-ArrowLeft', '+ArrowRight'], 400: ['-ArrowRight', '+ArrowLeft'],
      550: ['-ArrowLeft', '+ArrowUp'], 700: []}},
  {name: 'roguelike', script: 'examples/roguelike.lua', args: [],
    // Exploring by itself (X held).
    stops: {20: ['+KeyX'], 320: []}},
];
const SDL_KEYS = {ArrowLeft: 276, ArrowRight: 275, ArrowUp: 273, ArrowDown: 274, Space: 32, KeyX: 120};
const ROUNDS = Number(process.env.BENCH_ROUNDS) || 7;

function startXvfb() {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'orvix-bench-x-'));
  childProcess.execFileSync('sh', [path.join(source, 'tests/xvfb.sh'), 'start', dir], {stdio: 'ignore'});
  return {dir, display: fs.readFileSync(path.join(dir, 'display'), 'utf8').trim()};
}

function nativeWork(game, display) {
  const frames = Object.keys(game.stops).map(Number);
  const keys = [];
  for (const [frame, actions] of Object.entries(game.stops)) {
    for (const a of actions) keys.push(`${frame}:${a[0]}${SDL_KEYS[a.slice(1)]}`);
  }
  const log = path.join(os.tmpdir(), `orvix-bench-cpu-${process.pid}`);
  fs.rmSync(log, {force: true});
  const env = Object.assign({}, process.env, {
    DISPLAY: display, SDL_VIDEODRIVER: 'x11', SDL_AUDIODRIVER: 'disk', SDL_DISKAUDIOFILE: '/dev/null',
    LD_PRELOAD: path.join(build, 'tests/libfixedclock.so'), LUA_CPATH: `${build}/?.so;;`,
    ORVIX_SEED: '5', ORVIX_FRAMES: String(Math.max(...frames)), ORVIX_STOPS: frames.join(','),
    ORVIX_KEYS: keys.join(','), ORVIX_CPU_LOG: log,
  });
  delete env.LD_LIBRARY_PATH;
  delete env.ORVIX_SHOTS;
  const r = childProcess.spawnSync('lua5.1', [game.script, ...game.args], {cwd: source, env, timeout: 300000});
  if (r.status !== 0) throw new Error(`native ${game.name} failed: ${r.stdout}${r.stderr}`);
  const lines = fs.readFileSync(log, 'utf8').trim().split('\n').map((l) => l.split(' ').map(Number));
  fs.rmSync(log, {force: true});
  const first = lines[0], last = lines[lines.length - 1];
  return ((last[1] + last[2]) - (first[1] + first[2])) / 1000 / (last[0] - first[0]);
}

// CPU time of the browser's renderer processes, in ms by pid: all their
// threads (the page's main thread, where the game's WebAssembly, the page's
// script and the canvas run, and the threads that composite the page and
// mix its sound), and the main thread alone (schedstat: nanoseconds on a
// CPU).
function rendererCpu(browser) {
  const out = {};
  const root = String(browser.process().pid);
  const parent = {};
  for (const pid of fs.readdirSync('/proc').filter((p) => /^\d+$/.test(p))) {
    try {
      const stat = fs.readFileSync(`/proc/${pid}/stat`, 'utf8');
      parent[pid] = stat.slice(stat.lastIndexOf(')') + 2).split(' ')[1];
    } catch (e) { /* gone */ }
  }
  const under = (pid) => {
    for (let p = pid; p && p !== '0' && p !== '1'; p = parent[p]) if (p === root) return true;
    return false;
  };
  for (const pid of Object.keys(parent)) {
    if (!under(pid)) continue;
    try {
      if (!fs.readFileSync(`/proc/${pid}/cmdline`, 'utf8').includes('--type=renderer')) continue;
      let all = 0;
      for (const tid of fs.readdirSync(`/proc/${pid}/task`)) {
        try {
          all += Number(fs.readFileSync(`/proc/${pid}/task/${tid}/schedstat`, 'utf8').split(' ')[0]) / 1e6;
        } catch (e) { /* ended */ }
      }
      out[pid] = {all, main: Number(fs.readFileSync(`/proc/${pid}/task/${pid}/schedstat`, 'utf8').split(' ')[0]) / 1e6};
    } catch (e) { /* gone */ }
  }
  return out;
}

async function browserWork(browser, base, game) {
  const frames = Object.keys(game.stops).map(Number);
  const {page} = await h.openGame(browser, `${base}/${game.name}`, {
    clock: 16, stops: frames.join(','), env: ['ORVIX_SEED=5', `ORVIX_FRAMES=${Math.max(...frames)}`],
  });
  const marks = [];
  for (const [frame, actions] of Object.entries(game.stops)) {
    await h.until(page, (n) => window.orvix.stopped && window.orvix.stopped.frame === n, Number(frame));
    const mark = await page.evaluate(() => ({frame: window.orvix.stopped.frame, at: window.orvix.stopped.at,
      waited: window.Module.orvixState.waitedMs}));
    mark.cpu = rendererCpu(browser);
    marks.push(mark);
    for (const a of actions) {
      if (a[0] === '+') await page.keyboard.down(a.slice(1));
      else await page.keyboard.up(a.slice(1));
    }
    await h.until(page, (n) => window.Module.orvixState.events.length >= n, actions.length);
    await page.evaluate(() => window.orvix.stopped.resume());
  }
  await h.until(page, () => window.orvix.exitStatus !== null);
  await page.close();
  const a = marks[0], b = marks[marks.length - 1], n = b.frame - a.frame;
  // The game's renderer is the one that worked: others (a spare one the
  // browser keeps ready) idle.
  const pid = Object.keys(b.cpu).filter((p) => a.cpu[p])
    .sort((p, q) => (b.cpu[q].all - a.cpu[q].all) - (b.cpu[p].all - a.cpu[p].all))[0];
  return {cpu: (b.cpu[pid].all - a.cpu[pid].all) / n, main: (b.cpu[pid].main - a.cpu[pid].main) / n,
    busy: ((b.at - a.at) - (b.waited - a.waited)) / n};
}

async function work(browser, base) {
  const x = startXvfb();
  const rows = [];
  try {
    for (const game of WORK) {
      const ratios = [], web = [], main = [], busy = [], native = [];
      for (let i = 0; i < ROUNDS; i++) {
        const n = nativeWork(game, x.display);
        const w = await browserWork(browser, base, game);
        native.push(n);
        web.push(w.cpu);
        main.push(w.main);
        busy.push(w.busy);
        ratios.push(w.cpu / n);
      }
      const best = (xs) => Math.min(...xs);
      rows.push(`| ${game.name} | ${median(native).toFixed(3)} (${best(native).toFixed(3)}) ms | ` +
        `${median(web).toFixed(3)} (${best(web).toFixed(3)}) ms | ` +
        `${median(main).toFixed(3)} ms | ${median(busy).toFixed(3)} ms | ` +
        `${median(ratios).toFixed(2)} (${ratios.map((r) => r.toFixed(2)).join(', ')}) | ` +
        `${(best(web) / best(native)).toFixed(2)} |`);
    }
  } finally {
    childProcess.execFileSync('sh', [path.join(source, 'tests/xvfb.sh'), 'stop', x.dir], {stdio: 'ignore'});
    fs.rmSync(x.dir, {recursive: true, force: true});
  }
  console.log(`\nWork per frame over the same frames: natively the process's CPU time (all threads), in ` +
    `the browser the CPU time of the page's renderer process (all threads), of its main thread alone, and ` +
    `the time outside the page's turns; medians of ${ROUNDS} rounds (each round runs both sides, one after ` +
    `the other), the least in brackets; load average ${os.loadavg()[0].toFixed(2)}:\n`);
  console.log('| game | native CPU | browser CPU | its main thread | outside the page\'s turns | ' +
    'CPU browser / native (each round) | least browser / least native |');
  console.log('|---|---|---|---|---|---|---|');
  for (const r of rows) console.log(r);
}

// ---------------------------------------------------------------------------
// Frame rates on the real clock: each game plays as a player would, the
// arcade firing and weaving, the roguelike exploring with X held.
const RATE = [
  {name: 'arcade', target: 55, hold: ['Space'], alternate: ['ArrowLeft', 'ArrowRight']},
  {name: 'roguelike', target: 30, hold: ['KeyX'], alternate: []},
];

async function measureRate(browser, base, game) {
  const {page} = await h.openGame(browser, `${base}/${game.name}`, {env: ['ORVIX_SEED=5', 'ORVIX_FRAMES=1000000']});
  await h.until(page, () => window.Module.orvixState && window.Module.orvixState.frames > 0);
  for (const k of game.hold) await page.keyboard.down(k);
  const sample = () => page.evaluate(() => {
    const s = window.Module.orvixState;
    return {frames: s.frames, ticks: performance.now() - s.start, waited: s.waitedMs};
  });
  let turn = 0;
  const step = async (span) => {
    const end = Date.now() + span;
    while (Date.now() < end) {
      if (game.alternate.length) {
        const k = game.alternate[turn++ % game.alternate.length];
        await page.keyboard.down(k);
        await new Promise((r) => setTimeout(r, 400));
        await page.keyboard.up(k);
      } else {
        await new Promise((r) => setTimeout(r, 400));
      }
    }
  };
  await step(3000);  // warm up: past the start-up catch-up of the timer
  const a = await sample();
  const load = os.loadavg()[0];
  await step(seconds * 1000);
  const b = await sample();
  await page.close();
  const frames = b.frames - a.frames, span = b.ticks - a.ticks;
  return {
    fps: frames * 1000 / span,
    busy: (span - (b.waited - a.waited)) / frames,  // ms of game work per frame
    load: (load + os.loadavg()[0]) / 2,
  };
}

async function rate(browser, base) {
  console.log(`\nFrame rates on the real clock over ${seconds} s:\n`);
  console.log(`| game | frames per second | game work per frame | target | load average |`);
  console.log(`|---|---|---|---|---|`);
  let ok = true;
  for (const g of RATE) {
    const r = await measureRate(browser, base, g);
    ok = ok && r.fps >= g.target;
    console.log(`| ${g.name} | ${r.fps.toFixed(1)} | ${r.busy.toFixed(2)} ms | ${g.target} | ${r.load.toFixed(2)} |`);
  }
  return ok;
}

// The server: the tests' own, or with BENCH_SERVER=python the one the
// documentation gives players (python3 -m http.server), over BUILD/web.
async function serveSites(roots) {
  if (process.env.BENCH_SERVER !== 'python') return h.serve(roots);
  const port = 20000 + (process.pid % 20000);
  const child = childProcess.spawn('python3', ['-m', 'http.server', '--bind', '127.0.0.1', String(port)],
    {cwd: path.join(build, 'web'), stdio: 'ignore'});
  const base = `http://127.0.0.1:${port}`;
  for (let i = 0; i < 100; i++) {
    const up = await new Promise((r) => require('http').get(base + '/', (res) => { res.resume(); r(true); })
      .on('error', () => r(false)));
    if (up) break;
    await new Promise((r) => setTimeout(r, 50));
  }
  return {base, server: {close: () => child.kill()}};
}

(async () => {
  const roots = {};
  for (const g of ['arcade', 'roguelike']) roots[g] = path.join(build, 'web', g);
  const {server, base} = await serveSites(roots);
  const browser = await h.launch();
  let ok = true;
  try {
    const sizes = ['arcade', 'roguelike'].map((g) => `${g} ${(h.siteBytes(roots[g]) / 1048576).toFixed(2)} MB`);
    console.log(`Sites, gzipped: ${sizes.join(', ')}`);
    if (parts.includes('start')) await start(browser, base);
    if (parts.includes('work')) await work(browser, base);
    if (parts.includes('rate')) ok = await rate(browser, base);
  } finally {
    await browser.close();
    server.close();
  }
  process.exitCode = ok ? 0 : 1;
})();
