import { test } from 'node:test';
import assert from 'node:assert/strict';
import { model } from './xml.mjs';
import { smallReport } from './reports.mjs';
import { compareModels } from '../../viewer/compare.js';
import { ticketSummary } from '../../viewer/summary.js';
import { runFindings } from '../../viewer/findings.js';

const GB = 1024 ** 3;
const base = model(smallReport(), 'before.vitascan');
const diff = (after, id) => compareModels(base, model(smallReport(after), 'after.vitascan')).find((s) => s.id === id);
const changes = (section) => section.items.filter((i) => i.status !== 'same').map((i) => [i.status, i.key, i.before, i.after]);

// section, what changes in the "after" report, the differences expected.
const CASES = [
  ['products', { products: [{ name: 'Pallanto Suite 10.2', version: '10.2.0.16', comments: '', location: 'C:\\P\\' }, { name: 'Viewer', version: '1', buildlabel: 'b1', location: 'C:\\V\\' }], registryProducts: [] },
    [['changed', 'Pallanto Suite 10.2 (installed programs)', '10.2.0.15, C:\\Program Files\\Korvel\\Pallanto\\', '10.2.0.16, C:\\P\\'],
      ['removed', 'Pallanto (registry, 64-bit view)', '10.2, b15, C:\\Program Files\\Korvel\\Pallanto\\', null],
      ['added', 'Viewer (registry)', null, '1, b1, C:\\V\\']]],
  ['environment', { env: [['PATH', 'C:\\other'], ['TMP', 'C:\\t']] },
    [['changed', 'PATH', 'C:\\windows\\system32;C:\\windows', 'C:\\other'], ['removed', 'TEMP', 'C:\\users\\me\\Temp', null], ['added', 'TMP', null, 'C:\\t']]],
  ['registry', { registryProducts: [{ key: 'Pallanto', label: 'Pallanto', version: '10.3', location: 'C:\\Program Files\\Korvel\\Pallanto\\' }] },
    [['changed', 'HKLM\\Software\\KORVEL-AB\\Pallanto\\Version', 'REG_SZ 10.2', 'REG_SZ 10.3']]],
  ['drives', { freeBytes: 2 * GB }, [['changed', 'C:\\', '80.0 GB free', '2.0 GB free']]],
  ['files', { pallantoExe: { bytes: 6000000, date: '02/11/2026 14:00:00', version: '10.2.0.16' }, extraFiles: '       <file name="new.txt" bytes="0" size="0 B" datemodified="01/01/2026 0:00:00"/>\n' },
    [['changed', 'C:\\ProgramData\\Pallanto\\Pallanto.exe', '5368709 bytes, 01/11/2026 14:00:00, version 10.2.0.15', '6000000 bytes, 02/11/2026 14:00:00, version 10.2.0.16'],
      ['added', 'C:\\ProgramData\\Pallanto\\new.txt', null, '0 bytes, 01/01/2026 0:00:00']]],
  ['processes', { processes: [['VitascanCmd.exe', 90, 0], ['explorer.exe', 64, 48], ['explorer.exe', 65, 48], ['solver.exe', 70, 64]] },
    [['changed', 'explorer.exe', 'running', 'running ×2'], ['removed', 'Pallanto.exe', 'running', null], ['added', 'solver.exe', null, 'running']]],
  ['system', { freeMemKb: 1000 }, [['changed', 'Win32_OperatingSystem.FreePhysicalMemory', '8388608', '1000']]],
];

for (const [id, after, expected] of CASES) {
  test(`compare: ${id}`, () => {
    const section = diff(after, id);
    assert.deepEqual(changes(section), expected);
    assert.equal(section.counts.added + section.counts.removed + section.counts.changed, expected.length);
    assert.equal(section.counts.same, section.items.filter((i) => i.status === 'same').length);
  });
}

test('items of the same name are told apart by their order', () => {
  const twice = (versions) => model(smallReport({ registryProducts: [], products: versions.map((v) => ({ name: 'Pallanto', version: v, comments: '', location: '' })) }));
  assert.deepEqual(changes(compareModels(twice(['1']), twice(['1', '2']))[0]), [['added', 'Pallanto (installed programs) #2', null, '2']]);
});

test('a report compared with itself has only unchanged items, each linked to both sides', () => {
  for (const s of compareModels(base, base)) {
    assert.equal(s.items.every((i) => i.status === 'same' && i.placeA && i.placeB), true, s.id);
  }
});

test('the ticket summary holds the key lines, the findings and the differences', () => {
  const after = model(smallReport({ freeBytes: GB }), 'after.vitascan');
  const sections = compareModels(base, after);
  const text = ticketSummary(after, runFindings(after), { before: 'before.vitascan', after: 'after.vitascan', sections });
  assert.match(text, /^Vitascan report after\.vitascan \(VitascanCmd 1\.0\.2\.0\), written 06\/12\/2026 14:05:09/);
  assert.match(text, /\nWindows: Microsoft Windows 7 Professional, 6\.1\.7601, build 7601, 64-bit\n/);
  assert.match(text, /\nComputer: The Wine Project Wine; Intel\(R\) Xeon\(R\) Processor, 4 logical processors\n/);
  assert.match(text, /\nDrives: C:\\ 1\.0 GB free\n/);
  assert.match(text, /\n- \[problem\] Drive C:\\ has only 1\.0 GB free\.\n/);
  assert.match(text, /\nDifferences from before\.vitascan to after\.vitascan:\nProducts \+0 -0 ~0; .*Drives \+0 -0 ~1/);
  assert.match(text, /\n- Drives: changed C:\\: 80\.0 GB free -> 1\.0 GB free\n/);
  const many = ticketSummary(after, [], { before: 'a', after: 'b', sections: compareModels(model(smallReport({ processes: [] })), model(smallReport({ processes: Array.from({ length: 40 }, (_, i) => [`p${i}.exe`, i, 0]) }))) });
  assert.match(many, /- … and 25 more \(\d+ in all\)\n$/);
  assert.ok(many.split('\n').length < 40, 'short enough to paste');
});
