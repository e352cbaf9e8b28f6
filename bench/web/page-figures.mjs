// Figures of the web page in headless Chromium (SwiftShader's WebGL2):
// time from navigation to the first presented frame (frame 1 captured in
// the page's file system), and frames per second over FRAMES frames (the
// program's OSTREVIN_STATS line). Usage:
//   node page-figures.mjs PAGE_DIR CHROMIUM NODE_DIR FRAMES RUNS
// Prints one line per run: "web run K: first_frame_ms=… fps=… cpu_ms_per_frame=…".
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { createRequire } from 'node:module';
import { servePage } from '../../tests/web/serve-page.mjs';

const [pageArg, chromium, nodeDir, framesArg, runsArg] = process.argv.slice(2);
const pageDir = path.resolve(pageArg);
const puppeteer = createRequire(path.resolve(nodeDir, 'package.json'))('puppeteer-core');
const FRAMES = Number(framesArg || 300), RUNS = Number(runsArg || 3);
const { server, base } = await servePage(pageDir);
const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'ostrevin-chromium-'));
const browser = await puppeteer.launch({
  executablePath: chromium, headless: true,
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--enable-unsafe-swiftshader', `--user-data-dir=${profile}`],
});
try {
  for (let run = 1; run <= RUNS; ++run) {
    const page = await browser.newPage();
    let stats = '';
    page.on('console', (m) => { if (/^ostrevin stats: /.test(m.text())) stats = m.text(); });
    const started = Date.now();
    await page.goto(`${base}index.html?OSTREVIN_EXIT_AFTER=${FRAMES}` +
                    '&OSTREVIN_CAPTURE=/tmp&OSTREVIN_CAPTURE_FRAMES=1&OSTREVIN_STATS=1');
    await page.waitForFunction(() => typeof FS !== 'undefined' && Module.calledRun === true &&
                               FS.analyzePath('/tmp/frame-00001.png').exists, { timeout: 180000, polling: 10 });
    const firstMs = Date.now() - started;
    await page.waitForFunction(() => window.ostrevinExitCode !== undefined, { timeout: 600000, polling: 100 });
    await page.close();
    const fps = (stats.match(/fps=([\d.]+)/) || [])[1], cpu = (stats.match(/cpu_ms_per_frame=([\d.]+)/) || [])[1];
    console.log(`web run ${run}: first_frame_ms=${firstMs} fps=${fps} cpu_ms_per_frame=${cpu}`);
  }
} finally {
  await browser.close();
  server.close();
  fs.rmSync(profile, { recursive: true, force: true });
}
