import { test } from 'node:test';
import assert from 'node:assert/strict';
import { BASE, hostileReport, model, parseXml, varied } from './reports.mjs';
import {
  parseDuration,
  parseErrorOf,
  findFolder,
  MAX_GROUP_DEPTH,
  splitFilesSection,
  addFilesSection,
} from '../../viewer/model.js';

// Most of the model is checked through findings, compare and search; these are the parts
// only the reader decides.
test('a hand-written report: versions, product sources, event times and durations, file text framing', () => {
  const m = model(BASE);
  assert.deepEqual([m.version, m.versionDisplay, m.disks[0].totalBytes], ['1.0', '1.0.2.0', null]);
  assert.deepEqual(m.products[1].registryPath, ['HKLM', 'Software', 'KORVEL-AB', 'Pallanto']);
  assert.deepEqual(
    m.events.map((e) => [e.eventtimeMs, e.elapsedMs]),
    [
      [1234, 2500],
      [5000, null],
    ],
  );
  assert.deepEqual(['1d 1:01:01.001', '0d 0:00:59.999', 'soon', null].map(parseDuration), [
    90061001,
    59999,
    null,
    null,
  ]);
  const folder = findFolder(m.filesystem, ['C:', 'ProgramData', 'Pallanto']);
  assert.deepEqual(
    folder.dirs[0].files.map((f) => [f.cut, f.content.slice(0, 24)]),
    [[true, '2026-12-04 09:05:07 INFO']],
  );
  assert.equal(
    folder.files[1].content,
    '<settings mode="fast"/>\n',
    'framing line feed and closing indentation are not content',
  );
});

test('broken input names the file and the problem', () => {
  assert.throws(() => model('', 'empty.vitascan'), /empty\.vitascan is empty/);
  assert.throws(
    () => model('PK\u0003\u0004 zip', 'x.vitascan'),
    /x\.vitascan is not an XML document/,
  );
  assert.throws(
    () => model('<?xml version="1.0"?><html><body/></html>'),
    /not a Vitascan report: its root element is <html>/,
  );
  assert.deepEqual(
    parseErrorOf(
      'This page contains the following errors:error on line 5 at column 3: Opening and ending tag mismatch: a line 0 and bBelow is a rendering of the page up to the first error.',
    ),
    { message: 'Opening and ending tag mismatch: a line 0 and b', line: 5, column: 3 },
  );
});

test('prototype names stay data, deep groups are cut', () => {
  const m = model(hostileReport());
  let [g, depth] = [m.groups.find((x) => x.name === 'deep'), 1];
  while (g.children.length) ((g = g.children[0]), depth++);
  assert.deepEqual([depth, g.cutDeeper], [MAX_GROUP_DEPTH, true]);
  assert.deepEqual(
    varied([['<client ', '<client __proto__="x" constructor="y" ']]).groups[0].attrs,
    [
      ['__proto__', 'x'],
      ['constructor', 'y'],
      ['build', 'nightly-42'],
    ],
  );
});

test('the files section read apart gives the same model, with breaks at their line in the whole report', () => {
  // A client group named like the section comes first and must not be taken for it.
  const lf = BASE.replace('<networking>', '<filesystem>\n  <x />\n</filesystem>\n<networking>');
  for (const text of [lf, lf.replace(/\n/g, '\r\n')]) {
    const split = splitFilesSection(text);
    const apart = model(split.outer);
    addFilesSection(apart, parseXml(split.files), split.firstLine);
    assert.deepEqual(apart, model(text));
    assert.match(text.split('\n')[split.firstLine - 1], /^<filesystem>\r?$/);
    const broken = model(split.outer);
    addFilesSection(
      broken,
      { doc: parseXml('<filesystem/>').doc, error: { message: 'bad', line: 3, column: 9 } },
      split.firstLine,
    );
    assert.deepEqual(broken.broken, { message: 'bad', line: split.firstLine + 2, column: 9 });
  }
  assert.equal(
    splitFilesSection(lf.slice(0, lf.indexOf('</filesystem>\n<processes>'))),
    null,
    'a cut-off section is read the plain way',
  );
});
