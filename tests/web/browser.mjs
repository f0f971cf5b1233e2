// Helpers for the browser checks: a static file server on the loopback and headless
// Chromium (Debian's package) driven through playwright-core.
import { createServer } from 'node:http';
import { mkdtemp, readFile, rm } from 'node:fs/promises';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { chromium } from 'playwright-core';

const types = {
  '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css',
  '.glb': 'model/gltf-binary', '.png': 'image/png',
};

// Serves each mount (URL prefix -> folder) over HTTP on 127.0.0.1 at a free port.
// Resolves to { base, close }.
export function serve(folders) {
  const mounts = Object.fromEntries(
    Object.entries(folders).map(([prefix, folder]) => [prefix, path.resolve(folder)]));
  const server = createServer(async (request, response) => {
    const urlPath = decodeURIComponent(new URL(request.url, 'http://x').pathname);
    const prefix = Object.keys(mounts).filter((p) => urlPath.startsWith(p))
      .sort((a, b) => b.length - a.length)[0];
    let file = prefix && path.join(mounts[prefix], urlPath.slice(prefix.length));
    if (file && file.endsWith(path.sep)) file = path.join(file, 'index.html');
    if (!file || !file.startsWith(mounts[prefix])) {
      response.writeHead(404).end();
      return;
    }
    try {
      const body = await readFile(file);
      response.writeHead(200, { 'Content-Type': types[path.extname(file)] ?? 'application/octet-stream' });
      response.end(body);
    } catch {
      response.writeHead(404).end();
    }
  });
  return new Promise((resolve) => {
    server.listen(0, '127.0.0.1', () => resolve({
      base: `http://127.0.0.1:${server.address().port}`,
      close: () => new Promise((done) => server.close(done)),
    }));
  });
}

// Starts headless Chromium with software WebGL, no network of its own and a fresh profile.
// Resolves to { browser, close }.
export async function launch() {
  const profile = await mkdtemp(path.join(tmpdir(), 'tolvane-chromium-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: process.env.CHROMIUM ?? '/usr/bin/chromium',
    headless: true,
    viewport: { width: 1280, height: 800 },
    args: ['--no-sandbox', '--disable-gpu', '--use-angle=swiftshader',
      '--enable-unsafe-swiftshader', '--disable-background-networking',
      '--disable-component-update', '--disable-sync', '--no-first-run'],
  });
  return {
    context,
    close: async () => {
      await context.close();
      await rm(profile, { recursive: true, force: true });
    },
  };
}

// Counts the pixels of a PNG whose colour is further than tolerance from the rgb colour
// background; decoded by the page itself. Resolves to { differing, total, inside }, inside
// being the point nearest the image's centre whose 7 x 7 block differs whole (null if none).
export function countDiffering(page, png, background, tolerance = 24) {
  return page.evaluate(async ({ data, background, tolerance }) => {
    const bytes = Uint8Array.from(atob(data), (c) => c.charCodeAt(0));
    const bitmap = await createImageBitmap(new Blob([bytes], { type: 'image/png' }));
    const canvas = new OffscreenCanvas(bitmap.width, bitmap.height);
    const context = canvas.getContext('2d');
    context.drawImage(bitmap, 0, 0);
    const pixels = context.getImageData(0, 0, bitmap.width, bitmap.height).data;
    const { width, height } = bitmap;
    const differs = new Uint8Array(width * height);
    let differing = 0;
    for (let i = 0; i < differs.length; i += 1) {
      const distance = Math.abs(pixels[4 * i] - background[0]) +
        Math.abs(pixels[4 * i + 1] - background[1]) + Math.abs(pixels[4 * i + 2] - background[2]);
      differs[i] = distance > tolerance ? 1 : 0;
      differing += differs[i];
    }
    let inside = null;
    let best = Infinity;
    for (let y = 3; y < height - 3; y += 1) {
      for (let x = 3; x < width - 3; x += 1) {
        const distance = Math.hypot(x - width / 2, y - height / 2);
        if (distance >= best) continue;
        let whole = true;
        for (let dy = -3; dy <= 3 && whole; dy += 1) {
          for (let dx = -3; dx <= 3 && whole; dx += 1) whole = differs[(y + dy) * width + x + dx] === 1;
        }
        if (whole) { best = distance; inside = { x, y }; }
      }
    }
    return { differing, total: width * height, inside };
  }, { data: png.toString('base64'), background, tolerance });
}
