// Debian's chromium, headless, driven through puppeteer-core, with every request that
// leaves the page recorded: the viewer must fetch nothing.
import { mkdtempSync, rmSync, readFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import puppeteer from 'puppeteer-core';

const AXE = readFileSync(
  new URL('../../node_modules/axe-core/axe.min.js', import.meta.url),
  'utf8',
);

export async function launch() {
  const profile = mkdtempSync(join(tmpdir(), 'vitascan-viewer-'));
  const browser = await puppeteer.launch({
    executablePath: process.env.VITASCAN_CHROMIUM ?? '/usr/bin/chromium',
    headless: true,
    args: [
      '--headless',
      '--no-sandbox',
      '--disable-gpu',
      '--disable-quic',
      '--no-first-run',
      '--disable-background-networking',
      '--disable-component-update',
      '--disable-sync',
      `--user-data-dir=${profile}`,
      '--window-size=1400,1000',
    ],
  });
  // The viewer copies links and paths: the tests read the clipboard.
  const clipboard = ['clipboard-read', 'clipboard-write', 'clipboard-sanitized-write'];
  await browser.defaultBrowserContext().overridePermissions('file://', clipboard);
  return {
    browser,
    profile,
    close: () => browser.close().finally(() => rmSync(profile, { recursive: true, force: true })),
  };
}

// A page with the viewer loaded; page.requests lists every URL requested after the load,
// page.problems every console error, CSP violation, dialog or page error.
export async function openViewer(browser, viewerPath) {
  const page = await browser.newPage();
  await page.setViewport({ width: 1400, height: 1000 });
  Object.assign(page, { requests: [], problems: [] });
  page.on('request', (r) => page.requests.push(r.url()));
  page.on('pageerror', (e) => page.problems.push(`page error: ${e.message}`));
  page.on('dialog', (d) => page.problems.push(`dialog: ${d.message()}`) && d.dismiss());
  page.on('console', (m) => m.type() === 'error' && page.problems.push(`console: ${m.text()}`));
  await page.goto(`file://${viewerPath}`);
  await page.waitForSelector('#app[data-ready="yes"]');
  page.requests.length = 0;
  return page;
}

// Opens reports through the file picker, as a user would, or drops them on the page as a
// drag from the desktop would: a drop event whose data transfer holds the files.
export async function openReports(page, paths, drop = false) {
  const openings = await page.$eval('#app', (app) => Number(app.dataset.openings ?? 0));
  if (drop) {
    await page.evaluate(
      (list) => {
        const data = new DataTransfer();
        for (const f of list) data.items.add(new File([f.text], f.name));
        document
          .querySelector('main')
          .dispatchEvent(
            new DragEvent('drop', { dataTransfer: data, bubbles: true, cancelable: true }),
          );
      },
      paths.map((p) => ({ name: p.split('/').pop(), text: readFileSync(p, 'latin1') })),
    );
  } else {
    await (await page.$('input[type=file]')).uploadFile(...paths);
  }
  await page.waitForFunction(
    (n) => Number(document.getElementById('app').dataset.openings) > n,
    { timeout: 60000 },
    openings,
  );
}

// The file a click downloads: { name, text }. Chromium saves it under its own id into a
// folder of ours, and says when it is complete.
export async function downloaded(page, click) {
  const folder = mkdtempSync(join(tmpdir(), 'vitascan-download-'));
  const cdp = await page.createCDPSession();
  try {
    const events = { downloadPath: folder, behavior: 'allowAndName', eventsEnabled: true };
    await cdp.send('Browser.setDownloadBehavior', events);
    let name = null;
    cdp.on('Browser.downloadWillBegin', (e) => (name = e.suggestedFilename));
    const done = new Promise((resolve) =>
      cdp.on('Browser.downloadProgress', (e) => e.state === 'completed' && resolve(e.guid)),
    );
    await click();
    const text = readFileSync(join(folder, await done), 'utf8');
    return { name, text };
  } finally {
    await cdp.detach();
    rmSync(folder, { recursive: true, force: true });
  }
}

// axe-core's serious and critical findings on the page as it is. Its source is evaluated
// through the driver: the page's policy admits no other script.
// Within is a selector of the part to check, the whole page when not given.
export async function accessibilityProblems(page, within = null) {
  if (!(await page.evaluate(() => 'axe' in window))) await page.evaluate(AXE);
  return page.evaluate(async (part) => {
    const context = part ? document.querySelector(part) : document;
    const { violations } = await window.axe.run(context, { resultTypes: ['violations'] });
    const serious = violations.filter((v) => ['serious', 'critical'].includes(v.impact));
    return serious.map((v) => `${v.id}: ${v.nodes.map((n) => n.target).join(' ')}`);
  }, within);
}

// Whether an element is on screen, inside the window.
export function onScreen(page, selector) {
  return page.$eval(selector, (el) => {
    const r = el.getBoundingClientRect();
    return r.bottom > 0 && r.right > 0 && r.top < innerHeight && r.left < innerWidth;
  });
}

// The page as printed (on) or back on screen: the media type and the events the page hears.
export async function printing(page, on) {
  await page.emulateMediaType(on ? 'print' : null);
  await page.evaluate((e) => dispatchEvent(new Event(e)), on ? 'beforeprint' : 'afterprint');
}

// The ticket the page offers to copy; Escape closes its panel.
export async function ticketText(page) {
  await page.click('button.copy-ticket');
  const text = await page.$eval('textarea.ticket-text', (t) => t.value);
  await page.keyboard.press('Escape');
  return text;
}

// The page reloaded and ready, with what it fetched so far forgotten.
export async function reloaded(page) {
  await page.reload();
  await page.waitForSelector('#app[data-ready="yes"]');
  page.requests.length = 0;
}
