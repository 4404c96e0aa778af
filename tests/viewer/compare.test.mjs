// A pair of reports to compare: the differences per section, keys and folders that hold
// nothing, values that change on every run kept apart, and the ticket of the pair.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { GB, varied } from './reports.mjs';
import { compareModels } from '../../viewer/src/lib/compare.js';
import { runFindings } from '../../viewer/src/lib/findings.js';
import { pairTicket } from '../../viewer/src/lib/ticket.js';

const base = varied([], 'before.vitascan');
const changes = (section) =>
  section.items.filter((i) => i.status !== 'same').map((i) => [i.status, i.key, i.before, i.after]);
const PALLANTO = 'C:\\Program Files\\Korvel\\Pallanto\\';
const processes = (names) => [
  /<wmi><Win32_Process.*<\/wmi>/,
  `<wmi>${names.map((n) => `<Win32_Process Name="${n}"/>`).join('')}</wmi>`,
];
const EXE = 'C:\\ProgramData\\Pallanto\\Pallanto.exe';
const KEY = 'HKLM\\Software\\KORVEL-AB\\Pallanto';

// section, the edits of the "after" report, the differences expected.
// prettier-ignore
const CASES = [
  ['products', [['10.2.0.15" comments="Engineering suite" installlocation="C:\\Program Files\\Korvel\\Pallanto\\"',
    '10.2.0.16" comments="" installlocation="C:\\P\\"'], [/ *<product name="Pallanto" .*\n/,
    '<product name="Viewer" installedversion="1" buildlabel="b1" installlocation="C:\\V\\"/>\n'],
  [/ *<product name="Pallanto Suite .*\n/, (line) => line + line]],
  [['changed', 'Pallanto Suite 10.2 (installed programs)', `10.2.0.15, ${PALLANTO}`, '10.2.0.16, C:\\P\\'],
    ['removed', 'Pallanto (registry, 64-bit view)', `10.2, b15, ${PALLANTO}`, null],
    ['added', 'Pallanto Suite 10.2 (installed programs) #2', null, '10.2.0.16, C:\\P\\'],
    ['added', 'Viewer (registry)', null, '1, b1, C:\\V\\']]],
  ['environment', [['C:\\windows\\system32;C:\\windows', 'C:\\other'], ['"TEMP"', '"TMP"']],
    [['changed', 'PATH', 'C:\\windows\\system32;C:\\windows', 'C:\\other'],
      ['removed', 'TEMP', 'C:\\users\\me\\Temp', null], ['added', 'TMP', null, 'C:\\users\\me\\Temp']]],
  // A key that holds no value is compared too.
  ['registry', [['value="10.2"', 'value="10.3"'], ['<value name="ProductLabel"', '<key name="Empty"/>$&']],
    [['changed', `${KEY}\\Version`, 'REG_SZ 10.2', 'REG_SZ 10.3'], ['added', `${KEY}\\Empty\\`, null, 'key']]],
  ['drives', [['totalfreebytes="85899345920"', `totalfreebytes="${2 * GB}"`]],
    [['changed', 'C:\\', '80.0 GB free', '2.0 GB free']]],
  // So is a folder that holds no file; one that became unreadable changed.
  ['files', [['bytes="5368709"', 'bytes="6000000"'], ['<file name="settings.xml"',
    '<file name="new.txt" bytes="0" datemodified="d"/><dir name="empty"/><file name="settings.xml"'],
  [/"Pallanto"><file name="Pallanto.dll"[^>]*>/, '"Pallanto" error="Access denied.">']],
    [['changed', PALLANTO, 'folder', 'folder (Could not be read: Access denied.)'],
      ['changed', EXE, '5368709 bytes, 2026-11-01 14:00:00 UTC, version 10.2.0.15',
      '6000000 bytes, 2026-11-01 14:00:00 UTC, version 10.2.0.15'],
      ['removed', `${PALLANTO}Pallanto.dll`, '1000 bytes, 2026-11-01 14:00:00 UTC, version 10.2.0.15', null],
      ['added', 'C:\\ProgramData\\Pallanto\\empty\\', null, 'folder'],
      ['added', 'C:\\ProgramData\\Pallanto\\new.txt', null, '0 bytes, d']]],
  // Process ids change every run: processes compare by name and count.
  ['processes', [processes(['VitascanCmd.exe', 'explorer.exe', 'explorer.exe', 'solver.exe'])],
    [['changed', 'explorer.exe', 'running', 'running ×2'], ['removed', 'Pallanto.exe', 'running', null],
      ['added', 'solver.exe', null, 'running']]],
  ['system', [['Version="6.1.7601"', 'Version="6.1.7602"'], ['FreePhysicalMemory="8388608"',
    'FreePhysicalMemory="1000"'], ['14:05:09', '15:00:00']],
    [['changed', 'Win32_OperatingSystem.FreePhysicalMemory', '8388608', '1000'],
      ['changed', 'Win32_OperatingSystem.Version', '6.1.7601', '6.1.7602'],
      ['changed', 'time.time', '14:05:09', '15:00:00']], ['Version']],
];

for (const [id, edits, expected, real = expected.map((e) => e[1])] of CASES) {
  test(`compare: ${id}`, () => {
    const section = compareModels(base, varied(edits)).find((s) => s.id === id);
    assert.deepEqual(changes(section), expected);
    const linked = (i) =>
      (i.status === 'added' || i.placeA) && (i.status === 'removed' || i.placeB);
    assert.ok(section.items.every(linked), 'each item links to the reports that hold it');
    // Free memory and the clock change on every run: counted apart from the real changes.
    const isReal = (i) => i.status !== 'same' && !i.volatile;
    assert.deepEqual(
      section.items.filter(isReal).map((i) => i.key.split('.').pop()),
      real.map((k) => k.split('.').pop()),
    );
    assert.equal(section.counts.volatile, expected.length - real.length);
  });
}

test('the ticket of a pair names both reports, the findings new and resolved, and the differences', () => {
  const after = varied(
    [
      ['totalfreebytes="85899345920"', `totalfreebytes="${GB}"`],
      [/ERROR mesh/g, 'ok'],
    ],
    'after.vitascan',
  );
  const side = (model) => ({ model, findings: runFindings(model) });
  const text = pairTicket(side(base), side(after), compareModels(base, after));
  assert.match(
    text,
    /^Compared: Before before\.vitascan, After after\.vitascan\n\nBefore:\nComputer WORKSTATION7\nVitascan report before\.vitascan \(VitascanCmd 1\.0\.2\.0\), written 2026-12-06 14:05:09 W\. Europe Standard Time\n/,
  );
  assert.match(
    text,
    /\nAfter:\nComputer WORKSTATION7\n.*\nWindows: Microsoft Windows 7 Professional, 6\.1\.7601, build 7601, 64-bit\nMaker and model: The Wine Project Wine; Intel\(R\) Xeon\(R\) Processor, 4 logical processors\nMemory: 8\.0 GB free of 16\.0 GB \(50 %\)\nDrives: C:\\ 1\.0 GB free\n/,
  );
  assert.match(
    text,
    /\nFindings new in After \(1\):\n- \[problem\] Drive C:\\ has only 1\.0 GB free\. \(Overview › Fixed drives › C:\\\)\nFindings resolved in After \(1\):\n- \[warning\] C:\\ProgramData\\Pallanto\\logs\\session\.log has 4 lines/,
  );
  assert.match(
    text,
    /; Drives \+0 -0 ~1.*\n- Drives: changed C:\\: 80\.0 GB free -> 1\.0 GB free\n/,
  );
  const many = varied([processes(Array.from({ length: 40 }, (_, i) => `p${i}.exe`))]);
  assert.match(
    pairTicket(side(base), side(many), compareModels(base, many)),
    /- … and 28 more \(43 in all\)\n$/,
  );
});
