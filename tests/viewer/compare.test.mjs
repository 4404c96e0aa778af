import { test } from 'node:test';
import assert from 'node:assert/strict';
import { GB, varied } from './reports.mjs';
import { compareModels } from '../../viewer/compare.js';
import { ticketSummary } from '../../viewer/summary.js';

const base = varied([], 'before.vitascan');
const changes = (section) =>
  section.items.filter((i) => i.status !== 'same').map((i) => [i.status, i.key, i.before, i.after]);
const PALLANTO = 'C:\\Program Files\\Korvel\\Pallanto\\';
const processes = (names) => [
  /<wmi><Win32_Process.*<\/wmi>/,
  `<wmi>${names.map((n) => `<Win32_Process Name="${n}"/>`).join('')}</wmi>`,
];

// section, the edits of the "after" report, the differences expected.
const CASES = [
  [
    'products',
    [
      [
        '10.2.0.15" comments="Engineering suite" installlocation="C:\\Program Files\\Korvel\\Pallanto\\"',
        '10.2.0.16" comments="" installlocation="C:\\P\\"',
      ],
      [
        / *<product name="Pallanto" .*\n/,
        '<product name="Viewer" installedversion="1" buildlabel="b1" installlocation="C:\\V\\"/>\n',
      ],
      [/ *<product name="Pallanto Suite .*\n/, (line) => line + line],
    ],
    [
      [
        'changed',
        'Pallanto Suite 10.2 (installed programs)',
        `10.2.0.15, ${PALLANTO}`,
        '10.2.0.16, C:\\P\\',
      ],
      ['removed', 'Pallanto (registry, 64-bit view)', `10.2, b15, ${PALLANTO}`, null],
      ['added', 'Pallanto Suite 10.2 (installed programs) #2', null, '10.2.0.16, C:\\P\\'],
      ['added', 'Viewer (registry)', null, '1, b1, C:\\V\\'],
    ],
  ],
  [
    'environment',
    [
      ['C:\\windows\\system32;C:\\windows', 'C:\\other'],
      ['"TEMP"', '"TMP"'],
    ],
    [
      ['changed', 'PATH', 'C:\\windows\\system32;C:\\windows', 'C:\\other'],
      ['removed', 'TEMP', 'C:\\users\\me\\Temp', null],
      ['added', 'TMP', null, 'C:\\users\\me\\Temp'],
    ],
  ],
  [
    'registry',
    [['value="10.2"', 'value="10.3"']],
    [['changed', 'HKLM\\Software\\KORVEL-AB\\Pallanto\\Version', 'REG_SZ 10.2', 'REG_SZ 10.3']],
  ],
  [
    'drives',
    [['totalfreebytes="85899345920"', `totalfreebytes="${2 * GB}"`]],
    [['changed', 'C:\\', '80.0 GB free', '2.0 GB free']],
  ],
  [
    'files',
    [
      ['bytes="5368709"', 'bytes="6000000"'],
      [
        '<file name="settings.xml"',
        '<file name="new.txt" bytes="0" datemodified="d"/><file name="settings.xml"',
      ],
    ],
    [
      [
        'changed',
        'C:\\ProgramData\\Pallanto\\Pallanto.exe',
        '5368709 bytes, 01/11/2026 14:00:00, version 10.2.0.15',
        '6000000 bytes, 01/11/2026 14:00:00, version 10.2.0.15',
      ],
      ['added', 'C:\\ProgramData\\Pallanto\\new.txt', null, '0 bytes, d'],
    ],
  ],
  // Process ids change every run: processes compare by name and count.
  [
    'processes',
    [processes(['VitascanCmd.exe', 'explorer.exe', 'explorer.exe', 'solver.exe'])],
    [
      ['changed', 'explorer.exe', 'running', 'running ×2'],
      ['removed', 'Pallanto.exe', 'running', null],
      ['added', 'solver.exe', null, 'running'],
    ],
  ],
  [
    'system',
    [['FreePhysicalMemory="8388608"', 'FreePhysicalMemory="1000"']],
    [['changed', 'Win32_OperatingSystem.FreePhysicalMemory', '8388608', '1000']],
  ],
];

for (const [id, edits, expected] of CASES) {
  test(`compare: ${id}`, () => {
    const section = compareModels(base, varied(edits)).find((s) => s.id === id);
    assert.deepEqual(changes(section), expected);
    assert.ok(
      section.items.every(
        (i) => (i.status === 'added' || i.placeA) && (i.status === 'removed' || i.placeB),
      ),
      'each item links to the reports that hold it',
    );
    assert.deepEqual(
      section.counts,
      Object.fromEntries(
        ['added', 'removed', 'changed', 'same'].map((s) => [
          s,
          section.items.filter((i) => i.status === s).length,
        ]),
      ),
    );
  });
}

test('the ticket summary holds the key lines and the differences (the page test checks its findings)', () => {
  const after = varied(
    [['totalfreebytes="85899345920"', `totalfreebytes="${GB}"`]],
    'after.vitascan',
  );
  const text = ticketSummary(after, [], {
    before: 'before.vitascan',
    after: 'after.vitascan',
    sections: compareModels(base, after),
  });
  assert.match(
    text,
    /^Vitascan report after\.vitascan \(VitascanCmd 1\.0\.2\.0\), written 06\/12\/2026 14:05:09/,
  );
  assert.match(
    text,
    /\nWindows: Microsoft Windows 7 Professional, 6\.1\.7601, build 7601, 64-bit\nComputer: The Wine Project Wine; Intel\(R\) Xeon\(R\) Processor, 4 logical processors\n/,
  );
  assert.match(text, /\nDrives: C:\\ 1\.0 GB free\n/);
  assert.match(
    text,
    /\nDifferences from before\.vitascan to after\.vitascan:\nProducts \+0 -0 ~0; .*Drives \+0 -0 ~1.*\n- Drives: changed C:\\: 80\.0 GB free -> 1\.0 GB free\n/,
  );
  const many = ticketSummary(after, [], {
    before: 'a',
    after: 'b',
    sections: compareModels(
      varied([processes([])]),
      varied([processes(Array.from({ length: 40 }, (_, i) => `p${i}.exe`))]),
    ),
  });
  assert.match(many, /- … and 25 more \(\d+ in all\)\n$/);
});
