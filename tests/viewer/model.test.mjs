import { test } from 'node:test';
import assert from 'node:assert/strict';
import { existsSync } from 'node:fs';
import { join } from 'node:path';
import { model, modelOfFile, parseXml } from './xml.mjs';
import { smallReport, hostileReport, HOSTILE_TEXTS } from './reports.mjs';
import { REPORT_DIR } from './paths.mjs';
import { parseDuration, parseErrorOf, allFiles, findFolder, MAX_GROUP_DEPTH, splitFilesSection, addFilesSection } from '../../viewer/model.js';

const real = (name) => join(REPORT_DIR, name);
// Under CTest the reports are always made first; by hand they may be missing.
const haveReal = Boolean(process.env.VITASCAN_BIN_DIR) || existsSync(real('server.vitascan'));

// Most of the model is checked through findings, compare and search; these are the parts
// only the reader decides.
test('a hand-written report: versions, product sources, event times, file text framing', () => {
  const m = model(smallReport({ cutLog: true, events: [{ name: 'a', eventtime: '0d 0:00:01.234' }, { name: 'b', value: '7', eventtime: '0d 0:00:05.000', elapsed: '0d 0:00:02.500' }] }));
  assert.deepEqual([m.version, m.versionDisplay, m.disks[0].totalBytes], ['1.0', '1.0.2.0', null]);
  assert.deepEqual(m.products[1].registryPath, ['HKLM', 'Software', 'KORVEL-AB', 'Pallanto']);
  assert.deepEqual(m.events.map((e) => [e.eventtimeMs, e.elapsedMs]), [[1234, null], [5000, 2500]]);
  const folder = findFolder(m.filesystem, ['C:', 'ProgramData', 'Pallanto']);
  assert.deepEqual(folder.dirs[0].files.map((f) => [f.cut, f.content.slice(0, 24)]), [[true, '2026-12-04 09:05:07 INFO']]);
  assert.equal(folder.files[1].content, '<settings mode="fast"/>\n', 'framing line feed and closing indentation are not content');
  assert.equal([...allFiles(m.filesystem)].length, 4);
});

test('broken input names the file and the problem', () => {
  assert.throws(() => model('', 'empty.vitascan'), /empty\.vitascan is empty/);
  assert.throws(() => model('PK\u0003\u0004 zip', 'x.vitascan'), /x\.vitascan is not an XML document/);
  assert.throws(() => model('<?xml version="1.0"?><html><body/></html>'), /not a Vitascan report: its root element is <html>/);
  assert.throws(() => model('<vitascan version="1.0"><system>'), /not an XML document/);
});

test('parse error texts of the browser give line and column', () => {
  assert.deepEqual(parseErrorOf('This page contains the following errors:error on line 5 at column 3: Opening and ending tag mismatch: a line 0 and bBelow is a rendering of the page up to the first error.'),
    { message: 'Opening and ending tag mismatch: a line 0 and b', line: 5, column: 3 });
  assert.equal(parseErrorOf('something odd').line, null);
});

test('durations read as the events group writes them', () => {
  for (const [text, ms] of [['0d 0:00:00.000', 0], ['1d 1:01:01.001', 90061001], ['0d 0:00:59.999', 59999], ['1d 1:00:00.000', 90000000], ['soon', null], [null, null]]) {
    assert.equal(parseDuration(text), ms, text);
  }
});

test('hostile names stay text, prototype names stay data, deep groups are cut', () => {
  const m = model(hostileReport());
  assert.deepEqual(m.system.environment.map((v) => v.value), HOSTILE_TEXTS);
  assert.equal(m.groups[0].children[0].attrs.find(([k]) => k === 'huge')[1].length, 2_000_000);
  let [g, depth] = [m.groups[1], 1];
  while (g.children.length) g = g.children[0], depth++;
  assert.deepEqual([depth, g.cutDeeper], [MAX_GROUP_DEPTH, true]);
  const proto = model(smallReport({ groups: '<g __proto__="x" constructor="y"/>\n' }));
  assert.deepEqual(proto.groups[0].attrs, [['__proto__', 'x'], ['constructor', 'y']]);
  assert.equal({}.x, undefined);
});

test('the real reports: a machine description, a product added, events and the client group', { skip: !haveReal && 'reports not made (run through CTest)' }, () => {
  const m = modelOfFile(real('machine.vitascan'));
  assert.ok(m.system.wmi.find((c) => c.name === 'Win32_OperatingSystem').instances[0].Caption);
  assert.ok(m.processes.some((p) => p.Name === 'VitascanCmd.exe'));
  assert.ok(m.disks.length >= 1 && m.events === null);
  assert.ok(findFolder(m.filesystem, ['C:', 'windows', 'system32', 'drivers']) ?? findFolder(m.filesystem, ['C:', 'Windows', 'system32', 'drivers']));
  assert.equal(modelOfFile(real('machine-with-product.vitascan')).products.length, m.products.length + 1);
  const s = modelOfFile(real('server.vitascan'));
  assert.deepEqual(s.events.map((e) => [e.name, e.value]), [['file.open', ''], ['session.init', 'user & co'], ['mesh.cells', '7'], ['mesh.generate', ''], ['mesh.generate', '']]);
  assert.ok(s.events[3].elapsedMs >= 0 && s.events[4].elapsed === null);
  assert.deepEqual([s.groups[0].name, s.groups[0].attrs, s.groups[0].children[0].attrs], ['client', [['build', 'a<b']], [['seats', '5']]]);
});
test('the files section read apart gives the same model, with breaks at their line in the whole report', () => {
  // A client group named like the section comes first and must not be taken for it.
  const lf = smallReport({ cutLog: true, groups: '<filesystem>\n  <x />\n</filesystem>\n' });
  for (const text of [lf, lf.replace(/\n/g, '\r\n')]) {
    const split = splitFilesSection(text);
    const apart = model(split.outer);
    addFilesSection(apart, parseXml(split.files), split.firstLine);
    assert.deepEqual(apart, model(text));
    assert.match(text.split('\n')[split.firstLine - 1], /^<filesystem>\r?$/);
  }
  const split = splitFilesSection(lf);
  assert.equal(splitFilesSection(lf.slice(0, lf.indexOf('</filesystem>'))), null, 'a cut-off section is read the plain way');
  const broken = model(split.outer);
  addFilesSection(broken, { doc: parseXml('<filesystem/>').doc, error: { message: 'bad', line: 3, column: 9 } }, split.firstLine);
  assert.deepEqual(broken.broken, { message: 'bad', line: split.firstLine + 2, column: 9 });
});
