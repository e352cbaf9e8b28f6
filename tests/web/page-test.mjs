// The web page in headless Chromium (SwiftShader's WebGL2): it starts,
// frame N is captured for comparison with the native frame, held arrow keys
// move the camera, the console stays clean, and a missing file gives the
// desktop's message. Usage:
//   node page-test.mjs PAGE_DIR OUT_DIR CHROMIUM NODE_DIR
// (NODE_DIR: where npm installed puppeteer-core)
// Writes OUT_DIR/web-frame-NNNNN.png and OUT_DIR/keys-frame-NNNNN.png and
// prints one line per check; exit 0 all passed, 1 a failure, 77 no WebGL2.
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { createRequire } from 'node:module';
import { servePage } from './serve-page.mjs';

const [pageArg, outDir, chromium, nodeDir] = process.argv.slice(2);
const pageDir = path.resolve(pageArg);
const puppeteer = createRequire(path.resolve(nodeDir, 'package.json'))('puppeteer-core');
const FRAME = Number(process.env.WEB_TEST_FRAME || 100);
const KEYS_FRAME = 300;
const DEADLINE_MS = Number(process.env.WEB_TEST_DEADLINE_MS || 180000);
const VERBOSE = !!process.env.WEB_TEST_VERBOSE;

const { server, base } = await servePage(pageDir);

const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'ostrevin-chromium-'));
const browser = await puppeteer.launch({
  executablePath: chromium,
  headless: true,
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync',
    '--enable-unsafe-swiftshader', `--user-data-dir=${profile}`],
});
let failed = 0;
const check = (ok, what) => { console.log(`${ok ? 'ok' : 'FAILED'}: ${what}`); if (!ok) failed++; };

async function finish(code) {
  await browser.close();
  server.close();
  fs.rmSync(profile, { recursive: true, force: true });
  process.exit(code);
}

try {
  // Where Chromium gives no WebGL2 context the test cannot run.
  {
    const page = await browser.newPage();
    const webgl2 = await page.evaluate(() => !!document.createElement('canvas').getContext('webgl2'));
    await page.close();
    if (!webgl2) { console.log('SKIP: this Chromium gives no WebGL2 context'); await finish(77); }
  }

  // Runs the page with the given query until the program exits; returns the
  // console's errors, the page's status line, the exit code and the capture.
  async function run(query, { onStarted } = {}) {
    const page = await browser.newPage();
    const errors = [];
    page.on('console', (m) => {
      if (VERBOSE) console.log(`console.${m.type()}: ${m.text()}`);
      // WebGL's own reports of a call it refused are warnings: errors here.
      if (m.type() === 'error' || (m.type() === 'warn' && /INVALID_|GL_INVALID/.test(m.text()))) errors.push(m.text());
    });
    page.on('pageerror', (e) => errors.push(String(e)));
    page.on('dialog', (d) => d.dismiss());
    const started = Date.now();
    await page.goto(base + 'index.html?' + query);
    await page.waitForFunction(() => typeof Module !== 'undefined' && Module.calledRun === true, { timeout: DEADLINE_MS });
    const startedMs = Date.now() - started;
    if (onStarted) await onStarted(page);
    await page.waitForFunction(() => window.ostrevinExitCode !== undefined, { timeout: DEADLINE_MS, polling: 100 });
    const result = await page.evaluate((frame) => {
      const name = '/tmp/frame-' + String(frame).padStart(5, '0') + '.png';
      let png = null;
      try { png = Array.from(FS.readFile(name)); } catch (e) { png = null; }
      return { code: window.ostrevinExitCode, status: document.getElementById('status').textContent, png };
    }, Number(new URLSearchParams(query).get('OSTREVIN_CAPTURE_FRAMES') || 0));
    await page.close();
    return { ...result, errors, startedMs, totalMs: Date.now() - started };
  }

  const plain = await run(`OSTREVIN_EXIT_AFTER=${FRAME}&OSTREVIN_CAPTURE=/tmp&OSTREVIN_CAPTURE_FRAMES=${FRAME}&OSTREVIN_STATS=1`);
  check(plain.code === 0, `the page ran ${FRAME} frames and exited with code 0 (got ${plain.code})`);
  const unexpected = plain.errors.filter((e) => !/^ostrevin stats: /.test(e));
  check(unexpected.length === 0, `no console errors${unexpected.length ? ': ' + unexpected.join(' | ') : ''}`);
  check(plain.png !== null, `frame ${FRAME} captured in the page`);
  if (plain.png) fs.writeFileSync(path.join(outDir, `web-frame-${String(FRAME).padStart(5, '0')}.png`), Buffer.from(plain.png));
  const stats = plain.errors.find((e) => /^ostrevin stats: /.test(e));
  console.log(`figures: start ${plain.startedMs} ms, ${FRAME} frames in ${plain.totalMs} ms${stats ? '; ' + stats : ''}`);

  // Arrow keys held from shortly after the start: frame KEYS_FRAME differs
  // from the same frame without keys.
  const keysQuery = `OSTREVIN_EXIT_AFTER=${KEYS_FRAME}&OSTREVIN_CAPTURE=/tmp&OSTREVIN_CAPTURE_FRAMES=${KEYS_FRAME}`;
  const still = await run(keysQuery);
  const moved = await run(keysQuery, {
    onStarted: async (page) => {
      await page.focus('#canvas');
      await page.keyboard.down('ArrowUp');
      await page.keyboard.down('ArrowLeft');
    },
  });
  check(still.png !== null && moved.png !== null, `frame ${KEYS_FRAME} captured with and without keys`);
  if (still.png && moved.png) {
    fs.writeFileSync(path.join(outDir, 'still-frame.png'), Buffer.from(still.png));
    fs.writeFileSync(path.join(outDir, 'keys-frame.png'), Buffer.from(moved.png));
  }

  // A missing model: the desktop's message, on the page, exit code 1.
  const missing = await run('missing=Data/top.GAMEMODEL&OSTREVIN_MESSAGEBOX=0');
  check(missing.code === 1, `a missing model ends the program with code 1 (got ${missing.code})`);
  fs.writeFileSync(path.join(outDir, 'missing-stderr.txt'), missing.errors.join('\n') + '\n');
  check(missing.status.length > 0, 'the message is shown on the page');
  console.log(`page status with a missing model: ${missing.status}`);
} catch (e) {
  check(false, String(e && e.stack || e));
}
await finish(failed ? 1 : 0);
