// The built VitascanViewer.html in headless chromium: open, overview, every section,
// search, broken files and a hostile report. Screenshots go to the build folder.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { mkdirSync, readFileSync } from 'node:fs';
import { join } from 'node:path';
import { launch, openViewer, openReports, dropReports, text } from './browser.mjs';
import { REPORT_DIR, VIEWER_HTML, SCREENSHOT_DIR } from './paths.mjs';

const report = (name) => join(REPORT_DIR, name);
const SECTIONS = ['system', 'environment', 'registry', 'files', 'processes', 'events', 'groups'];
let chromium;

before(async () => {
  mkdirSync(SCREENSHOT_DIR, { recursive: true });
  chromium = await launch();
});
after(() => chromium?.close());

async function show(page, view) {
  await page.click(`nav button[data-view="${view}"]`);
  await page.waitForSelector(`#app[data-view="${view}"]`);
  return text(page, 'main');
}

async function shot(page, name) {
  await page.screenshot({ path: join(SCREENSHOT_DIR, `${name}.png`) });
}

// The browser's own error element of a broken document carries style attributes that the
// policy blocks; that is expected and harmless, anything else is not.
const PARSER_STYLE = /^console: Applying inline style violates/;

function assertQuiet(page, { brokenDocument = false } = {}) {
  const problems = page.problems.filter((p) => !(brokenDocument && PARSER_STYLE.test(p)));
  assert.deepEqual(problems, [], 'no errors, dialogs or policy violations');
  assert.deepEqual(page.requests, [], 'nothing fetched');
}

test('the real command-line report opens on its overview and every section shows', async () => {
  const page = await openViewer(chromium.browser, VIEWER_HTML);
  await openReports(page, report('machine.vitascan'));
  const overview = await text(page, 'main');
  for (const part of ['Written by', 'Operating system', 'Microsoft Windows', 'Processor', 'Memory', 'Fixed drives', 'C:\\', 'Network adapters', 'Products of the maker', 'Time zone']) {
    assert.ok(overview.includes(part), part);
  }
  await shot(page, 'machine-overview');
  const seen = {};
  for (const view of SECTIONS) seen[view] = await show(page, view);
  assert.match(seen.system, /Win32_OperatingSystem[\s\S]*Win32_Processor[\s\S]*Win32_ComputerSystem/);
  assert.match(seen.environment, /PATH/);
  assert.match(seen.processes, /VitascanCmd\.exe/);
  assert.match(seen.files, /C:/);
  await page.click('nav button[data-view="processes"]');
  await page.type('.paged input.filter', 'vitascancmd');
  assert.match(await text(page, '.pager-status'), /^1 of \d+ rows/);
  assertQuiet(page);
});

test('the server-mode report, dropped on the page, shows its events and the client groups, nested', async () => {
  const page = await openViewer(chromium.browser, VIEWER_HTML);
  await dropReports(page, report('server.vitascan'));
  const events = await show(page, 'events');
  assert.match(events, /file\.open\s+plain/);
  assert.match(events, /mesh\.generate\s+timed\s/);
  assert.match(events, /mesh\.generate\s+timed, never ended/);
  assert.match(events, /session\.init\s+with value\s+user & co/);
  // Sorting by name, twice for descending order.
  await page.click('.grid th:first-child');
  await page.click('.grid th:first-child');
  assert.equal(await page.$eval('.grid tbody tr td', (td) => td.textContent), 'session.init');
  await shot(page, 'server-events');
  await show(page, 'groups');
  assert.equal(await page.$eval('.group[data-path="0.0"] .group-name', (el) => el.textContent), 'licence');
  assert.equal(await page.$eval('.group[data-path="0"] > table td', (el) => el.textContent), 'a<b');
  assertQuiet(page);
});

test('search finds a log line and opens the folder and the line that hold it', async () => {
  const page = await openViewer(chromium.browser, VIEWER_HTML);
  await openReports(page, report('small.vitascan'));
  await page.type('header input[type=search]', 'error mesh');
  await page.keyboard.press('Enter');
  await page.waitForSelector('.code span.hit');
  assert.equal(await page.$eval('.code span.hit', (el) => el.dataset.line), '2');
  assert.match(await text(page, '.search-status'), /^1 of 4: session\.log, line 2/);
  assert.ok(await page.$('.code span.banner'), 'the cut banner is marked');
  await shot(page, 'search-log-line');
  await page.keyboard.press('Enter');
  await page.waitForFunction(() => document.querySelector('.code span.hit')?.dataset.line === '5');
  // A registry value: the tree opens down to its key.
  await page.$eval('header input[type=search]', (el) => { el.value = ''; });
  await page.type('header input[type=search]', 'InstallLocation');
  await page.keyboard.press('Enter');
  await page.waitForSelector('#app[data-view="registry"] tr.hit');
  assert.match(await text(page, 'tr.hit'), /InstallLocation/);
  assertQuiet(page);
});

test('broken files get a message naming the file and the problem', async () => {
  const page = await openViewer(chromium.browser, VIEWER_HTML);
  await openReports(page, report('not-xml.vitascan'), report('not-a-report.vitascan'), report('cut-off.vitascan'));
  await page.waitForSelector('.message.warning');
  const messages = await page.$$eval('.message', (els) => els.map((e) => e.textContent));
  assert.match(messages[0], /^not-xml\.vitascan is not an XML document/);
  assert.match(messages[1], /^not-a-report\.vitascan is not a Vitascan report: its root element is <html>/);
  assert.match(messages[2], /^cut-off\.vitascan is broken at line \d+, column \d+ .*Showing what was read/);
  // What came before the break is shown.
  assert.match(await text(page, 'main'), /Operating system\s*Microsoft Windows 7 Professional/);
  await shot(page, 'broken-file');
  assertQuiet(page, { brokenDocument: true });
});

test('a large report shows its overview first, then reads its files and reports a break in them', async () => {
  const page = await openViewer(chromium.browser, VIEWER_HTML);
  await openReports(page, report('broken-files.vitascan'));
  const line = readFileSync(report('broken-files.vitascan'), 'latin1').split('\n').findIndex((l) => l.includes('Pallanto<.exe')) + 1;
  await page.waitForSelector('#app[data-files-pending="no"] .findings-list');
  assert.match(await text(page, '.message.warning'), new RegExp(`^broken-files\\.vitascan is broken at line ${line}, column \\d+`));
  const findings = await text(page, '.findings-list');
  assert.match(findings, /session\.log has 200000 lines/, 'the log before the break is read');
  assert.doesNotMatch(findings, /install folder/, 'an incomplete listing proves no folder missing');
  assertQuiet(page, { brokenDocument: true });
});

test('two reports of this machine, one with a product added, compare to show the new product', async () => {
  const page = await openViewer(chromium.browser, VIEWER_HTML);
  await openReports(page, report('machine.vitascan'), report('machine-with-product.vitascan'));
  await show(page, 'compare');
  const products = await page.$eval('.diff-summary tr[data-section="products"]', (tr) => [...tr.cells].map((c) => c.textContent));
  assert.deepEqual(products.slice(0, 4), ['Products', '1', '0', '0']);
  const row = await page.$eval('.diff-section[data-section="products"] tr.diff-added', (tr) => tr.textContent);
  assert.match(row, /added.*Viewer Fixture Product.*3\.1\.4/);
  assert.equal(await page.$$eval('.diff-section[data-section="products"] tr.diff-same', (r) => r.length), 0, 'unchanged items are hidden');
  await page.click('input.show-same');
  await page.waitForSelector('#app[data-view="compare"] .show-same:checked');
  await shot(page, 'compare');
  // The difference links to the product in the "after" report.
  await page.click('.diff-section[data-section="products"] tr.diff-added a');
  await page.waitForSelector('#app[data-view="overview"] tr.hit');
  assert.match(await text(page, 'tr.hit'), /Viewer Fixture Product/);
  assert.match(await text(page, '.switcher button.current'), /machine-with-product/);
  assertQuiet(page);
});

test('a nearly full drive is a finding whose link opens the drive, and the ticket text holds it', async () => {
  const page = await openViewer(chromium.browser, VIEWER_HTML);
  await openReports(page, report('drive-full.vitascan'));
  const finding = await text(page, '.findings-list li[data-rule="lowDiskSpace"]');
  assert.match(finding, /^PROBLEM\s*Drive C:\\ has only 1\.0 GB free/);
  await show(page, 'files');
  await show(page, 'findings');
  await page.click('li[data-rule="lowDiskSpace"] a.evidence');
  await page.waitForSelector('#app[data-view="overview"] [data-anchor="drive-0"].hit');
  await shot(page, 'finding-drive');
  await page.click('button.copy-ticket');
  const ticket = await page.$eval('textarea.ticket-text', (t) => t.value);
  assert.match(ticket, /\n- \[problem\] Drive C:\\ has only 1\.0 GB free\.\n/);
  assertQuiet(page);
});

test('a hostile report runs nothing and fetches nothing, alone or compared with a clean one', async () => {
  const page = await openViewer(chromium.browser, VIEWER_HTML);
  await openReports(page, report('small.vitascan'), report('hostile.vitascan'));
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
  await shot(page, 'hostile');
  assert.equal(await page.evaluate(() => window.__pwned), undefined);
  assert.equal(await page.evaluate(() => document.querySelectorAll('img, svg, iframe, link, object, embed, script').length), 1, 'only the viewer\'s own script');
  assertQuiet(page);
});
