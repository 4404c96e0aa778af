// Reading report text into the model: the hand-written report, broken and hostile input,
// a report nested far deeper than the viewer reads, reading in steps, what the format does
// not have, and a cut report.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { BASE, DEEP, deepReport, hostileReport, model, varied, SCHEMA } from './reports.mjs';
import {
  parseDuration,
  reportReader,
  readReport,
  MAX_DEPTH,
} from '../../viewer/src/import/report.js';
import { decodeBytes } from '../../viewer/src/import/bytes.js';
import { findFolder, nodeAt } from '../../viewer/src/lib/model.js';
import { search } from '../../viewer/src/lib/search.js';
import { compareModels } from '../../viewer/src/lib/compare.js';
import { runFindings } from '../../viewer/src/lib/findings.js';

test('a hand-written report: versions, product sources, event times and durations, file text framing', () => {
  const m = model(BASE);
  assert.deepEqual([m.version, m.versionDisplay, m.disks[0].totalBytes], ['1.0', '1.0.2.0', null]);
  assert.deepEqual(m.products[1].registryAt, [0, 0, 0, 0]);
  const times = m.events.map((e) => `${e.eventtimeMs} ${e.elapsedMs}`);
  assert.deepEqual(times, ['1234 2500', '5000 null']);
  const durations = ['1d 1:01:01.001', '0d 0:00:59.999', 'soon', null].map(parseDuration);
  assert.deepEqual(durations, [90061001, 59999, null, null]);
  const folder = findFolder(m.filesystem, ['C:', 'ProgramData', 'Pallanto']);
  const logs = folder.dirs[0].files.map((f) => [f.cut, f.content.slice(0, 24)]);
  assert.deepEqual(logs, [[true, '2026-12-04 09:05:07 INFO']]);
  assert.equal(folder.files[1].content, '<settings mode="fast"/>\n', 'framing is not content');
  // Entities, character references, line ends and white space in attribute values.
  const text = varied([
    ['name="TEMP"', 'name="A&#x9;B&#10;C&amp;\nD"'],
    [/\n/g, '\r\n'],
  ]);
  assert.equal(text.system.environment[1].name, 'A\tB\nC& D');
  assert.equal(
    findFolder(text.filesystem, ['C:', 'ProgramData', 'Pallanto']).files[1].content,
    '<settings mode="fast"/>\n',
  );
});

test('broken input names the file and the problem, readably; what comes before a break is read', () => {
  assert.throws(() => model('', 'empty.vitascan'), /empty\.vitascan is empty/);
  const zip = `PK\u0003\u0004\ufffd\ufffd\u0000 rest of a zip ${'z'.repeat(80)}`;
  assert.throws(() => model(zip, 'x.vitascan'), {
    message:
      /^x\.vitascan is not an XML document: disallowed character \(line 1, column 4\)\. It begins: “PK····· rest of a zip z+…” \(it looks like a ZIP archive/,
  });
  assert.throws(
    () => model('<?xml version="1.0"?><html><body/></html>'),
    /not a Vitascan report: its root element is <html>/,
  );
  const cut = model(BASE.slice(0, BASE.indexOf('<products>') + 40));
  const where = { message: 'the file ends inside <products>', line: 17, column: 41 };
  assert.deepEqual(cut.broken, where);
  assert.deepEqual(
    [cut.cut, cut.products, cut.filesystem],
    [{ kind: 'section', name: 'products', rank: 4 }, [], null],
  );
  assert.equal(cut.registry.keys[0].name, 'HKLM');
  const bad = model(BASE.replace('<licence seats="5" />', '<licence seats="5" seats="6"/>'));
  assert.deepEqual(bad.broken, {
    message: 'the attribute "seats" is given twice',
    line: 4,
    column: 58,
  });
});

test('bytes are read in the encoding the file declares; a byte it does not allow breaks the report there', () => {
  const latin = (decl) =>
    Buffer.from(
      `${decl}<vitascan version="1.0" versionDisplay="1.0.2.0"><c n="J\u00e9r\u00f4me \u0080"/></vitascan>`,
      'latin1',
    );
  const read = (bytes) => {
    const reader = reportReader(decodeBytes(bytes), 'x.vitascan');
    reader.run();
    return reader.model();
  };
  const attrs = (m) => m.groups[0]?.attrs[0]?.[1];
  for (const [encoding, last] of [
    ['ISO-8859-1', '\u0080'],
    ['windows-1252', '\u20ac'],
  ]) {
    const decl = `<?xml version="1.0" encoding="${encoding}"?>`;
    assert.equal(attrs(read(latin(decl))), `J\u00e9r\u00f4me ${last}`, encoding);
  }
  const undeclared = read(latin(''));
  assert.deepEqual(
    [undeclared.broken.message, undeclared.groups.length],
    ['byte 0xE9 at offset 56 is not UTF-8', 0],
  );
  assert.throws(() => decodeBytes(latin('<?xml version="1.0" encoding="EBCDIC-US"?>')), {
    message: /declares the encoding "EBCDIC-US", which the viewer does not read/,
  });
  const utf16 = Buffer.from(
    '<?xml version="1.0"?><vitascan version="1.0"><c n="\u4e2d"/></vitascan>',
    'utf16le',
  );
  assert.equal(attrs(read(utf16)), '\u4e2d', 'UTF-16 without a byte order mark');
});

test('prototype names stay data; nesting deeper than the viewer reads is cut, and no walk overflows', () => {
  const groups = varied([['<client ', '<client __proto__="x" constructor="y" ']]).groups[0].attrs;
  assert.deepEqual(
    groups.map(([a, v]) => `${a}=${v}`),
    ['__proto__=x', 'constructor=y', 'build=nightly-42'],
  );
  assert.equal(model(hostileReport()).groups.find((g) => g.name === 'deep').children.length, 1);
  const m = model(deepReport());
  const deepest = nodeAt(m.registry, Array(MAX_DEPTH).fill(0), 'keys');
  assert.deepEqual(
    [deepest.path.length, deepest.cutDeeper, deepest.keys.length],
    [MAX_DEPTH, true, 0],
  );
  const huge = findFolder(m.filesystem, ['E:', 'huge']);
  assert.equal(huge.files.length, DEEP.files);
  assert.deepEqual(search(m, `file${DEEP.files - 1}.dat`)[0].place, {
    view: 'files',
    at: [0, 1],
    file: DEEP.files - 1,
    line: null,
  });
  assert.equal(
    compareModels(model(BASE), m).find((s) => s.id === 'registry').counts.added,
    MAX_DEPTH,
  );
  assert.deepEqual(
    runFindings(m)
      .filter((f) => f.rule === 'deepNesting')
      .map((f) => f.place.view),
    ['registry', 'files'],
  );
});

test('read in steps or at once, the model is the same; sections are told from groups by name and order', () => {
  // A section before a client group, or out of its order, is other content, never a group.
  const text = BASE.replace('<networking>', '<filesystem>\n  <x />\n</filesystem>\n<networking>')
    .replace('</processes>', '</processes><future version="2"><part/></future>')
    .replace('<file name="Pallanto.dll"', `${'<file name="x"/>'.repeat(600)}$&`);
  for (const t of [text, text.replace(/\n/g, '\r\n')]) {
    const reader = reportReader(t, 'test.vitascan');
    let steps = 1;
    while (!reader.run(0)) steps++;
    assert.ok(steps > 1, 'a deadline in the past stops the reader');
    assert.deepEqual(reader.model(), model(t));
  }
  const m = model(text);
  const SECTIONS = ['networking', 'system', 'disks', 'registry', 'products', 'filesystem'];
  assert.deepEqual(
    m.other.map((o) => `${o.name} ${o.place.join('/')}`),
    [...SECTIONS, 'future'].map((name) => `${name} `),
  );
  assert.deepEqual([m.filesystem.dirs.length, m.processes.length, m.groups.length], [0, 3, 1]);
  // Checked against the schema, an element it does not have inside a section is other
  // content too, with its place; a known one out of its place is read and named.
  const inside = readReport(
    BASE.replace('<ip v="4"', '<zz><zz/></zz>$&').replace('<environment>', '<future/>$&'),
    'x.vitascan',
    SCHEMA,
  );
  assert.deepEqual(
    inside.other.map((o) => [o.name, o.line, o.place.join('/')]),
    [
      ['zz', 5, 'networking/adapter'],
      ['future', 10, 'system'],
    ],
  );
  assert.deepEqual(
    [inside.networking[0].ips.length, inside.system.environment.length, inside.schema.problems[2]],
    [1, 2, { line: 10, message: '<environment> is out of its place', part: 'system' }],
  );
  const after = model(BASE.replace('</processes>', '</processes><future/>'));
  assert.deepEqual([after.groups.length, after.disks.length, after.other[0].line], [1, 1, 46]);
});
