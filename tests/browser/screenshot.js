// A screenshot of a game site playing in headless Chromium, page and all:
//   node tests/browser/screenshot.js SITE_DIR OUT.png
// The arcade is played for a few seconds (moving and firing) first.
'use strict';
const h = require('./harness');

(async () => {
  const [site, out] = process.argv.slice(2);
  const {server, base} = await h.serve({site});
  const browser = await h.launch();
  try {
    const {page} = await h.openGame(browser, `${base}/site`, {env: ['ORVIX_SEED=3']});
    await page.setViewport({width: 680, height: 560});
    await h.until(page, () => window.Module.orvixState && window.Module.orvixState.frames > 30);
    const hold = async (key, ms) => {
      await page.keyboard.down(key);
      await new Promise((r) => setTimeout(r, ms));
      await page.keyboard.up(key);
    };
    await page.keyboard.down('Space');
    await hold('ArrowLeft', 700);
    await hold('ArrowUp', 500);
    await hold('ArrowRight', 900);
    await page.keyboard.up('Space');
    await page.screenshot({path: out});
  } finally {
    await browser.close();
    server.close();
  }
})();
