// Frame rate of the examples in headless Chromium, by the games' own clock
// (the tick count their timer reads): bench/web/run.sh runs it.
//   node bench/web/run.js BUILD [SECONDS]
'use strict';
const path = require('path');
const os = require('os');
const h = require('../../tests/browser/harness');

const build = path.resolve(process.argv[2] || 'build');
const seconds = Number(process.argv[3]) || 10;

// Each game plays as a player would: the arcade fires and weaves, the
// roguelike explores with X held.
const GAMES = [
  {name: 'arcade', target: 55, hold: ['Space'], alternate: ['ArrowLeft', 'ArrowRight']},
  {name: 'roguelike', target: 30, hold: ['KeyX'], alternate: []},
];

async function measure(browser, base, game) {
  const {page} = await h.openGame(browser, `${base}/${game.name}`, {env: ['ORVIX_SEED=5', 'ORVIX_FRAMES=1000000']});
  await h.until(page, () => window.Module.orvixState && window.Module.orvixState.frames > 0);
  for (const k of game.hold) await page.keyboard.down(k);
  const sample = () => page.evaluate(() => {
    const s = window.Module.orvixState;
    return {frames: s.frames, ticks: performance.now() - s.start, waited: s.waitedMs};
  });
  let turn = 0;
  const step = async (ms) => {
    const end = Date.now() + ms;
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
  const frames = b.frames - a.frames, ms = b.ticks - a.ticks;
  return {
    fps: frames * 1000 / ms,
    busy: (ms - (b.waited - a.waited)) / frames,  // ms of game work per frame
    load: (load + os.loadavg()[0]) / 2,
  };
}

(async () => {
  const roots = {};
  for (const g of GAMES) roots[g.name] = path.join(build, 'web', g.name);
  const {server, base} = await h.serve(roots);
  const browser = await h.launch();
  console.log(`| game | frames per second | game work per frame | target | load average |`);
  console.log(`|---|---|---|---|---|`);
  let ok = true;
  for (const g of GAMES) {
    const r = await measure(browser, base, g);
    ok = ok && r.fps >= g.target;
    console.log(`| ${g.name} | ${r.fps.toFixed(1)} | ${r.busy.toFixed(2)} ms | ${g.target} | ${r.load.toFixed(2)} |`);
  }
  await browser.close();
  server.close();
  process.exitCode = ok ? 0 : 1;
})();
