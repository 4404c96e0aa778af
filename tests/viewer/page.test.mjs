// The built VitascanViewer.html in headless chromium: open, overview, every section,
// search, compare, broken files and a hostile report.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync, mkdirSync } from 'node:fs';
import { join } from 'node:path';
import { launch, openViewer, openReports, dropReports, text } from './browser.mjs';
import { REPORT_DIR, VIEWER_HTML, SCREENSHOT_DIR } from './paths.mjs';

const report = (name) => join(REPORT_DIR, name);
const SECTIONS = ['system', 'environment', 'registry', 'files', 'processes', 'events', 'groups'];
let chromium;
before(async () => { chromium = await launch(); });
after(() => chromium?.close());

async function show(page, view) {
  await page.click(`nav button[data-view="${view}"]`);
  await page.waitForSelector(`#app[data-view="${view}"]`);
  return text(page, 'main');
}

// Opens a fresh page on the reports; `drop` drags them in instead of using the picker.
async function opened(names, { drop = false } = {}) {
  const page = await openViewer(chromium.browser, VIEWER_HTML);
  await (drop ? dropReports : openReports)(page, ...names.map(report));
  page.shotName = names.at(-1).replace('.vitascan', '');
  return page;
}

// The browser's own error element of a broken document carries style attributes that the
// policy blocks; that is expected and harmless, anything else is not. The page as it ends
// is kept as a screenshot in the build folder, for a person to look at.
async function assertQuiet(page, brokenDocument = false) {
  mkdirSync(SCREENSHOT_DIR, { recursive: true });
  await page.screenshot({ path: join(SCREENSHOT_DIR, `${page.shotName}.png`) });
  assert.deepEqual(page.problems.filter((p) => !(brokenDocument && /^console: Applying inline style violates/.test(p))), [], 'no errors, dialogs or policy violations');
  assert.deepEqual(page.requests, [], 'nothing fetched');
}

test('the real command-line report: overview, every section, and compared with a product added', async () => {
  const page = await opened(['machine.vitascan', 'machine-with-product.vitascan']);
  await page.click('.switcher button:first-child');
  const overview = await show(page, 'overview');
  for (const part of ['Operating system', 'Microsoft Windows', 'Processor', 'Memory', 'Fixed drives', 'C:\\', 'Network adapters', 'Products of the maker', 'Time zone']) {
    assert.ok(overview.includes(part), part);
  }
  const seen = {};
  for (const view of SECTIONS) seen[view] = await show(page, view);
  assert.match(seen.system, /Win32_OperatingSystem[\s\S]*Win32_Processor[\s\S]*Win32_ComputerSystem/);
  assert.match(seen.environment, /PATH/);
  assert.match(seen.files, /C:/);
  await page.click('nav button[data-view="processes"]');
  await page.type('.paged input.filter', 'vitascancmd');
  assert.match(await text(page, '.pager-status'), /^1 of \d+ rows/);
  await show(page, 'compare');
  const products = await page.$eval('.diff-summary tr[data-section="products"]', (tr) => [...tr.cells].map((c) => c.textContent));
  assert.deepEqual(products.slice(0, 4), ['Products', '1', '0', '0']);
  assert.equal(await page.$$eval('.diff-section tr.diff-same', (r) => r.length), 0, 'unchanged items are hidden');
  // The added product links to its place in the "after" report.
  await page.click('.diff-section[data-section="products"] tr.diff-added a');
  await page.waitForSelector('#app[data-view="overview"] tr.hit');
  assert.match(await text(page, 'tr.hit'), /Viewer Fixture Product.*3\.1\.4/);
  assert.match(await text(page, '.switcher button.current'), /machine-with-product/);
  await assertQuiet(page);
});

test('the server-mode report, dropped on the page, shows its events and the client groups, nested', async () => {
  const page = await opened(['server.vitascan'], { drop: true });
  const events = await show(page, 'events');
  for (const row of [/file\.open\s+plain/, /mesh\.generate\s+timed\s/, /mesh\.generate\s+timed, never ended/, /session\.init\s+with value\s+user & co/]) assert.match(events, row);
  // Sorting by name, twice for descending order.
  await page.click('.grid th:first-child');
  await page.click('.grid th:first-child');
  assert.equal(await page.$eval('.grid tbody tr td', (td) => td.textContent), 'session.init');
  await show(page, 'groups');
  assert.equal(await page.$eval('.group[data-path="0.0"] .group-name', (el) => el.textContent), 'licence');
  assert.equal(await page.$eval('.group[data-path="0"] > table td', (el) => el.textContent), 'a<b');
  await assertQuiet(page);
});

test('search opens the folder and the line of a log hit, and the key of a registry value', async () => {
  const page = await opened(['small.vitascan']);
  await page.type('header input[type=search]', 'error mesh');
  await page.keyboard.press('Enter');
  await page.waitForSelector('.code span.hit');
  assert.equal(await page.$eval('.code span.hit', (el) => el.dataset.line), '2');
  assert.match(await text(page, '.search-status'), /^1 of 4: session\.log, line 2/);
  assert.ok(await page.$('.code span.banner'), 'the cut banner is marked');
  await page.keyboard.press('Enter');
  await page.waitForFunction(() => document.querySelector('.code span.hit')?.dataset.line === '5');
  await page.$eval('header input[type=search]', (el) => { el.value = ''; });
  await page.type('header input[type=search]', 'InstallLocation');
  await page.keyboard.press('Enter');
  await page.waitForSelector('#app[data-view="registry"] tr.hit');
  assert.match(await text(page, 'tr.hit'), /InstallLocation/);
  await assertQuiet(page);
});

// broken-files.vitascan is large enough for its files to be read after the overview, and
// broken inside them.
test('broken files get a message naming the file and the problem, and what was read is shown', async () => {
  const page = await opened(['not-xml.vitascan', 'not-a-report.vitascan', 'cut-off.vitascan', 'broken-files.vitascan']);
  await page.waitForSelector('#app[data-files-pending="no"] .findings-list');
  const line = readFileSync(report('broken-files.vitascan'), 'latin1').split('\n').findIndex((l) => l.includes('Pallanto<.exe')) + 1;
  const messages = await page.$$eval('.message', (els) => els.map((e) => e.textContent));
  assert.match(messages[0], /^not-xml\.vitascan is not an XML document/);
  assert.match(messages[1], /^not-a-report\.vitascan is not a Vitascan report: its root element is <html>/);
  assert.match(messages[2], /^cut-off\.vitascan is broken at line \d+, column \d+ .*Showing what was read/);
  assert.match(messages[3], new RegExp(`^broken-files\\.vitascan is broken at line ${line}, column \\d+`));
  const findings = await text(page, '.findings-list');
  assert.match(findings, /session\.log has 200000 lines/, 'the log before the break is read');
  assert.doesNotMatch(findings, /install folder/, 'an incomplete listing proves no folder missing');
  await page.click('.switcher button:first-child');
  assert.match(await show(page, 'overview'), /Operating system\s*Microsoft Windows 7 Professional/);
  assert.match(await text(page, '.switcher button.current'), /cut-off/);
  await assertQuiet(page, true);
});

test('a nearly full drive is a finding whose link opens the drive, and the ticket text holds it', async () => {
  const page = await opened(['drive-full.vitascan']);
  assert.match(await text(page, '.findings-list li[data-rule="lowDiskSpace"]'), /^PROBLEM\s*Drive C:\\ has only 1\.0 GB free/);
  await show(page, 'files');
  await show(page, 'findings');
  await page.click('li[data-rule="lowDiskSpace"] a.evidence');
  await page.waitForSelector('#app[data-view="overview"] [data-anchor="drive-0"].hit');
  await page.click('button.copy-ticket');
  assert.match(await page.$eval('textarea.ticket-text', (t) => t.value), /\n- \[problem\] Drive C:\\ has only 1\.0 GB free\.\n/);
  await assertQuiet(page);
});

test('a hostile report runs nothing and fetches nothing, alone or compared with a clean one', async () => {
  const page = await opened(['small.vitascan', 'hostile.vitascan']);
  for (const view of ['overview', ...SECTIONS, 'findings', 'compare']) await show(page, view);
  await page.click('input.show-same');
  await page.waitForSelector('#app[data-view="compare"] .show-same:checked');
  await page.click('button.copy-ticket');
  await show(page, 'files');
  for (let closed = await page.$$('details.node:not([open]) > summary'); closed.length; closed = await page.$$('details.node:not([open]) > summary')) {
    for (const folder of closed) await folder.click();
  }
  for (const link of await page.$$('table.files a')) await link.click();
  await page.type('header input[type=search]', 'onerror');
  for (let i = 0; i < 6; i++) await page.keyboard.press('Enter');
  assert.equal(await page.evaluate(() => window.__pwned), undefined);
  assert.equal(await page.evaluate(() => document.querySelectorAll('img, svg, iframe, link, object, embed, script').length), 1, 'only the viewer\'s own script');
  await assertQuiet(page);
});
