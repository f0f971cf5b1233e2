// Checks the viewer in headless Chromium, serving it over HTTP on the loopback:
//   VIEWER_DIR  the built viewer folder (BUILD/viewer)
//   MODEL       the glb of an export
//   EXPORT_DIR  that export's main output folder (its sub-folders are the elements)
//   SCREENSHOT  where to keep the screenshot (optional)
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { readdirSync, writeFileSync } from 'node:fs';
import path from 'node:path';
import { countDiffering, launch, serve } from './browser.mjs';

const viewerDir = process.env.VIEWER_DIR;
const model = process.env.MODEL;
const codes = readdirSync(process.env.EXPORT_DIR, { withFileTypes: true })
  .filter((entry) => entry.isDirectory()).map((entry) => entry.name);
const background = [0xdd, 0xe3, 0xea];  // the viewer's scene background
const modelUrl = `/models/${path.basename(model)}`;

let server;
let browser;
let page;
const problems = [];

before(async () => {
  server = await serve({ '/': viewerDir, '/models/': path.dirname(model) });
  browser = await launch();
  page = await browser.context.newPage();
  page.on('pageerror', (error) => problems.push(`page error: ${error.message}`));
  page.on('console', (message) => {
    if (message.type() === 'error') problems.push(`console: ${message.text()}`);
  });
  page.on('request', (request) => {
    if (!request.url().startsWith(server.base)) problems.push(`outside request: ${request.url()}`);
  });
  await page.goto(`${server.base}/index.html?model=${modelUrl}`);
  await page.waitForSelector('body[data-elements], body[data-error]', { timeout: 60000 });
});

after(async () => {
  await browser?.close();
  await server?.close();
});

test('the page shows one mesh per exported element', async () => {
  assert.equal(await page.getAttribute('body', 'data-error'), null);
  assert.equal(await page.getAttribute('body', 'data-elements'), String(codes.length));
});

test('the screenshot shows the elements drawn and picking shows an element', async () => {
  const canvas = page.locator('#canvas');
  const png = await canvas.screenshot();
  if (process.env.SCREENSHOT) writeFileSync(process.env.SCREENSHOT, png);
  const { differing, total, inside } = await countDiffering(page, png, background);
  assert.ok(differing > total * 0.05, `only ${differing} of ${total} pixels show a model`);
  assert.ok(inside, 'no pixel lies well inside an element');

  const box = await canvas.boundingBox();
  await page.mouse.click(box.x + inside.x, box.y + inside.y);
  await page.waitForFunction(() => document.body.dataset.picked, null, { timeout: 10000 });
  const code = await page.textContent('#code');
  assert.ok(codes.includes(code), `picked "${code}", which is no element of the export`);
  assert.equal(await page.getAttribute('body', 'data-picked'), code);
  // The identity shows the element id that ends the code.
  const identity = await page.textContent('#identity');
  assert.ok(identity.includes(code.split(' - ').pop()), `identity "${identity}" lacks the id`);
});

test('a dropped glb is opened', async () => {
  const dropped = await browser.context.newPage();
  await dropped.goto(`${server.base}/index.html`);
  await dropped.evaluate(async (url) => {
    const bytes = await (await fetch(url)).arrayBuffer();
    const transfer = new DataTransfer();
    transfer.items.add(new File([bytes], 'dropped.glb'));
    document.getElementById('view').dispatchEvent(
      new DragEvent('drop', { dataTransfer: transfer, bubbles: true, cancelable: true }));
  }, modelUrl);
  await dropped.waitForSelector('body[data-elements], body[data-error]', { timeout: 60000 });
  assert.equal(await dropped.getAttribute('body', 'data-elements'), String(codes.length));
  await dropped.close();
});

test('the page loads nothing from elsewhere and logs no error', () => {
  assert.deepEqual(problems, []);
});
