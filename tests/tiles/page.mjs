// Draws a tileset of the example city with the page docs/tiles/index.html in headless Chromium
// (software WebGL), served by python3 -m http.server as a user would serve it: waits until the
// page says its tiles are loaded, checks that buildings cover part of the view, and saves a
// screenshot.
//
//   node page.mjs path/to/towerkit path/to/units path/to/city.csv [screenshot.png]
//
// Exit status 0 when the page draws the city, 1 when it does not, 77 when Chromium or the node
// packages are missing (scripts/install-deps installs them).

import { execFileSync, spawn } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
const repository = path.resolve(here, '..', '..');
const chromium = ['/usr/bin/chromium', '/usr/bin/chromium-browser'].find((file) => fs.existsSync(file));
if (!chromium) {
  console.log('skipped: chromium is not installed');
  process.exit(77);
}
let puppeteer;
try {
  puppeteer = (await import('puppeteer-core')).default;
} catch (error) {
  console.log(`skipped: the node packages are not installed (npm ci in ${here}): ${error.message}`);
  process.exit(77);
}

const [tool, units, city, screenshot] = process.argv.slice(2);
// The served folder as the repository's root looks to a user: the page, the packages, a tileset.
const root = fs.mkdtempSync(path.join(os.tmpdir(), 'towerkit-page-'));
let server = null;
let browser = null;
const cleanUp = () => {
  if (server) server.kill();
  fs.rmSync(root, { recursive: true, force: true });
};
process.on('exit', cleanUp);

fs.mkdirSync(path.join(root, 'docs'));
fs.mkdirSync(path.join(root, 'tests', 'tiles'), { recursive: true });
fs.symlinkSync(path.join(repository, 'docs', 'tiles'), path.join(root, 'docs', 'tiles'));
fs.symlinkSync(path.join(here, 'node_modules'), path.join(root, 'tests', 'tiles', 'node_modules'));
execFileSync(tool, ['--city', city, '--tiles', path.join(root, 'city-tiles')],
  { env: { ...process.env, OSTREL_UNITS_PATH: units }, stdio: 'pipe' });

// Port 0: the system picks a free one, which the server names in its first line.
server = spawn('python3', ['-u', '-m', 'http.server', '0', '--bind', '127.0.0.1', '--directory', root],
  { stdio: ['ignore', 'pipe', 'ignore'] });
const port = await new Promise((resolve, reject) => {
  let text = '';
  server.stdout.on('data', (chunk) => {
    text += chunk;
    const match = text.match(/port (\d+)/);
    if (match) resolve(Number(match[1]));
  });
  server.on('exit', () => reject(new Error('the server stopped')));
});

let status = 1;
try {
  browser = await puppeteer.launch({
    executablePath: chromium,
    headless: true,
    args: ['--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader', '--ignore-gpu-blocklist'],
  });
  const page = await browser.newPage();
  await page.setViewport({ width: 960, height: 600 });
  const messages = [];
  page.on('console', (message) => messages.push(message.text()));
  page.on('pageerror', (error) => messages.push(error.message));
  await page.goto(`http://127.0.0.1:${port}/docs/tiles/index.html`);
  await page.waitForFunction('window.tilesLoaded === true || window.tilesError !== undefined', { timeout: 240000 });
  const error = await page.evaluate(() => window.tilesError);
  if (error) throw new Error(error);
  // A few frames more, then the share of the view that is not the background.
  await page.evaluate(() => new Promise((resolve) => setTimeout(resolve, 1000)));
  const drawn = await page.evaluate(() => {
    const canvas = document.querySelector('canvas');
    const copy = document.createElement('canvas');
    copy.width = canvas.width;
    copy.height = canvas.height;
    const context = copy.getContext('2d');
    context.drawImage(canvas, 0, 0);
    const pixels = context.getImageData(0, 0, copy.width, copy.height).data;
    let other = 0;
    for (let i = 0; i < pixels.length; i += 4) {
      if (Math.abs(pixels[i] - 0xdf) + Math.abs(pixels[i + 1] - 0xe8) + Math.abs(pixels[i + 2] - 0xef) > 24) other += 1;
    }
    return other / (pixels.length / 4);
  });
  if (screenshot) await page.screenshot({ path: screenshot });
  console.log(`the page says its tiles are loaded; buildings cover ${(drawn * 100).toFixed(1)}% of the view`);
  if (drawn < 0.02) console.log(`FAIL too little is drawn; the page said: ${messages.join(' | ')}`);
  else status = 0;
} catch (error) {
  console.log(`FAIL ${error.message}`);
} finally {
  if (browser) await browser.close();
}
process.exit(status);
