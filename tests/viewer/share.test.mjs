// What leaves the page: CSV text, the address of a place and its words, and redaction of
// the hand-written report and of a real one made under Wine.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { join } from 'node:path';
import { BASE, REPORT_DIR, model, varied, customerReport, PERSONAL, KEPT } from './reports.mjs';
import { csvText } from '../../viewer/src/lib/csv.js';
import {
  formAddress,
  parseAddress,
  placeParams,
  placeOf,
  placeWords,
} from '../../viewer/src/lib/address.js';
import { redactor, REDACTION_NOTICE } from '../../viewer/src/lib/redact.js';
import { reportTicket, pairTicket, machinesTicket } from '../../viewer/src/lib/ticket.js';
import { runFindings } from '../../viewer/src/lib/findings.js';
import { compareModels } from '../../viewer/src/lib/compare.js';
import { machineFacts } from '../../viewer/src/lib/machines.js';
import { visible } from '../../viewer/src/lib/text.js';

test('CSV: every field quoted, quotes doubled, CR LF, formulas prefixed but numbers kept', () => {
  // prettier-ignore
  const records = [['Name', 'Value'], ['=HYPERLINK("x")', 'a,b'], ['-5', '-2+3'], ['+1', '@SUM(A1)'],
    ['\tx', 'two\nlines'], [null, 3]];
  assert.equal(
    csvText(records),
    '"Name","Value"\r\n"\'=HYPERLINK(""x"")","a,b"\r\n"-5","\'-2+3"\r\n"\'+1","\'@SUM(A1)"\r\n' +
      '"\'\tx","two\nlines"\r\n"","3"\r\n',
  );
});

const base = model(BASE);
// Two keys of one path, two processes of one name, two processors.
const twice = varied([
  ['</registry>', '<key name="HKLM"><key name="Software"/></key></registry>'],
  ['<Win32_Process Name="P', '<Win32_Process Name="explorer.exe" ProcessID="65"/>$&'],
  ['<Win32_ComputerSystem', '<Win32_Processor Name="Second"/>$&'],
]);
const LOG_LINE = { view: 'files', at: [0, 0, 0, 0], file: 0, line: 2 };
// A place, the readable fragment that names it and its words (all for the hand-written
// report unless a model is given).
// prettier-ignore
const PLACES = [
  [LOG_LINE, 'view=files&file=C:\\ProgramData\\Pallanto\\logs\\session.log&line=2',
    'Files › C:\\ProgramData\\Pallanto\\logs\\session.log, line 2'],
  [{ view: 'files', at: [0, 0, 0], file: null, line: null }, 'view=files&folder=C:\\ProgramData\\Pallanto',
    'Files › C:\\ProgramData\\Pallanto'],
  [{ view: 'registry', key: [0, 0, 0, 0], value: 1 }, 'view=registry&key=HKLM\\Software\\KORVEL-AB\\Pallanto&value=Version',
    'Registry › HKLM\\Software\\KORVEL-AB\\Pallanto › Version'],
  // Two top-level keys share a path: the second is told by its number.
  [{ view: 'registry', key: [1, 0], value: null }, 'view=registry&key=HKLM\\Software&nth=2',
    'Registry › HKLM\\Software', twice],
  [{ view: 'processes', index: 1 }, 'view=processes&process=explorer.exe&pid=64',
    'Processes › explorer.exe (process 64)'],
  [{ view: 'processes', index: 2 }, 'view=processes&process=explorer.exe&pid=65',
    'Processes › explorer.exe (process 65)', twice],
  [{ view: 'system', cls: 'Win32_Processor', instance: 1, prop: 'Name' },
    'view=system&wmi=Win32_Processor&instance=2&prop=Name', 'System › Win32_Processor #2 › Name', twice],
  // A row beside the WMI classes goes by its key, and is named in words by its label.
  [{ view: 'system', other: 'time.tz' }, 'view=system&part=time.tz', 'System › Time: tz'],
  [{ view: 'machines' }, 'view=machines', 'Machines'],
  [{ view: 'environment', index: 1 }, 'view=environment&var=TEMP', 'Environment › TEMP'],
  [{ view: 'system', cls: 'Win32_OperatingSystem', instance: 0, prop: 'Version' },
    'view=system&wmi=Win32_OperatingSystem&prop=Version', 'System › Win32_OperatingSystem › Version'],
  [{ view: 'events', index: 1 }, 'view=events&event=2', 'Events › mesh.cells (record 2)'],
  [{ view: 'groups', path: [0, 0] }, 'view=groups&group=0.0', 'Groups › client › licence'],
  [{ view: 'overview', anchor: 'product-1' }, 'view=overview&item=product-1', 'Overview › Products › Pallanto'],
];

test('an address names a place readably, or by position when redacted, and leads back to it', () => {
  for (const [place, fragment, words, m = base] of PLACES) {
    assert.equal(formAddress(placeParams(m, place)), fragment);
    assert.equal(placeWords(m, place), words);
    for (const redacted of [false, true]) {
      const text = formAddress(placeParams(m, place, redacted));
      assert.deepEqual(placeOf(m, parseAddress(`#${text}`)).place, place, text);
      if (redacted) assert.doesNotMatch(text, /Pallanto|HKLM|explorer/);
    }
  }
  // A link made in another report of that machine finds the same path; what it lacks is named.
  const moved = varied([
    ['<dir name="ProgramData">', '<dir name="Data"/><dir name="ProgramData">'],
  ]);
  const params = parseAddress(formAddress(placeParams(base, LOG_LINE)));
  assert.deepEqual(placeOf(moved, params).place, { ...LOG_LINE, at: [0, 1, 0, 0] });
  assert.deepEqual(placeOf(model(BASE.replace('session.log', 'other.log')), params), {
    place: { view: 'files' },
    missing: 'C:\\ProgramData\\Pallanto\\logs\\session.log',
  });
  // Broken addresses: a bad escape, positions that are not numbers or lead nowhere.
  assert.equal(parseAddress('#view=files&folder=%E0%A4%A&view=x').get('folder'), '%E0%A4%A');
  for (const bad of ['view=registry&at=0.x', 'view=registry&at=9.9', 'view=files&at=-1'])
    assert.ok(placeOf(base, parseAddress(bad)).missing, bad);
  // A line the file does not have opens the file and says so; an unknown view, the overview.
  const log = `${PLACES[0][1].replace('line=2', 'line=')}`;
  for (const line of ['-5', '0', '900', 'x'])
    assert.deepEqual(placeOf(base, parseAddress(log + line)), {
      place: { ...LOG_LINE, line: null },
      badLine: line,
    });
  assert.equal(placeOf(base, parseAddress(`${log}12`)).place.line, 12);
  assert.deepEqual(placeOf(base, parseAddress('view=toString')), {
    place: { view: 'overview' },
    missing: null,
    unknownView: 'toString',
  });
});

// The personal values of a report, read from its text apart from the viewer: the
// computer's names, its user, serial number, owner, and network addresses.
function personalValues(text) {
  const attr = (name) => [...text.matchAll(new RegExp(` ${name}="([^"]+)"`, 'g'))].map((m) => m[1]);
  const users = [...text.matchAll(/\\users\\([^\\"]+)/gi)].map((m) => m[1]);
  const values = [
    ...['CSName', 'Name', 'SystemName', 'SerialNumber', 'RegisteredUser'].flatMap((n) =>
      attr(n).filter((v) => !/\.exe$|Windows|AMD|Intel|\|/.test(v)),
    ),
    ...attr('UserName').flatMap((v) => v.split('\\')),
    ...users,
    ...attr('address').filter((v) => /^[\d.]+$|^[\da-f]{2}-/i.test(v)),
  ];
  return [...new Set(values)].filter((v) => v.length > 1);
}

// Every text of a model, however deep.
function textsOf(value, out = []) {
  if (typeof value === 'string') out.push(value);
  else if (value && typeof value === 'object')
    for (const v of Object.values(value)) textsOf(v, out);
  return out;
}

test('redaction replaces every personal value of a real report, the same way everywhere', () => {
  const text = readFileSync(join(REPORT_DIR, 'machine.vitascan'), 'utf8');
  const real = model(text, 'machine.vitascan');
  const personal = personalValues(text);
  assert.ok(personal.length >= 6, personal.join());
  const kept = JSON.stringify(real);
  const { text: redact } = redactor([base, real]);
  const out = [...textsOf(real), reportTicket(real, runFindings(real))].map(redact).join('\n');
  for (const v of personal) {
    const word = new RegExp(`(^|[^\\w-])${v.replace(/[.\\]/g, '\\$&')}([^\\w-]|$)`, 'i');
    assert.doesNotMatch(out, word, v);
  }
  assert.equal(JSON.stringify(real), kept, 'the report is not changed');
  // One value, one placeholder: the user of the WMI line and of the TEMP folder.
  const cs = real.system.wmi.find((c) => c.name === 'Win32_ComputerSystem').instances[0];
  const temp = real.system.environment.find((v) => v.name === 'TEMP').value;
  const user = redact(cs.UserName).split('\\')[1];
  assert.match(user, /^(USER|OWNER)-\d+$/);
  assert.equal(redact(temp), temp.replace(/(\\users\\)[^\\]+/i, `$1${user}`));
  assert.match(REDACTION_NOTICE, /^Personal data replaced by placeholders/);
});

test('redaction of the hand-written report: names, addresses in any text, and what is left alone', () => {
  const other = varied([
    [/WORKSTATION7/g, 'LAB-PC'],
    ['192.168.1.20', '10.0.0.9'],
  ]);
  const { text: redact } = redactor([base, other]);
  // prettier-ignore
  const CASES = [
    ['WORKSTATION7 and lab-pc, in pump-lab-pc.pal and WORKSTATION7x', 'COMPUTER-1 and COMPUTER-2, in pump-COMPUTER-2.pal and COMPUTER-1x'],
    // A short name only where no letter or digit touches it.
    ['C:\\Users\\jsmith\\AppData and C:\\users\\me\\Temp, memory', 'C:\\Users\\USER-1\\AppData and C:\\users\\OWNER-1\\Temp, memory'],
    ['from 192.168.1.20 and 10.0.0.9 via 172.16.4.1', 'from IP-1 and IP-2 via IP-3'],
    ['mac 00:1A:2B:3C:4D:5E, 001a.2b3c.4d5e, 001A2B3C4D5E, fe80::1ff:fe23:4567:890a', 'mac MAC-1, MAC-1, MAC-1, IP-4'],
    ['mail Ann.Lee@mail.contoso.com at lic01.contoso.local:27000 or contoso.com', 'mail EMAIL-1 at HOST-1:27000 or HOST-2'],
    ['S-1-5-21-1004336348-1177238915-682003330-512 and S-1-5-18', 'SID-1 and S-1-5-18'],
    // Versions, masks, times, files, .NET and the public folder are not personal.
    ['VitascanCmd 1.0.2.0, Pallanto 10.2.0.15, Windows 10.0.22631, version 4.3.2.1, v1.2.3.4 mask 255.255.255.0 at 09:05:07 ' +
      'in C:\\Users\\Public\\x.cs, Microsoft.NET, System.IO, settings.xml, 202612041234',
    'VitascanCmd 1.0.2.0, Pallanto 10.2.0.15, Windows 10.0.22631, version 4.3.2.1, v1.2.3.4 mask 255.255.255.0 at 09:05:07 ' +
      'in C:\\Users\\Public\\x.cs, Microsoft.NET, System.IO, settings.xml, 202612041234'],
  ];
  for (const [text, expected] of CASES) assert.equal(redact(text), expected);
  // A user the report names only in a path is replaced wherever the name stands.
  const temp = redactor([varied([[String.raw`C:\users\me`, String.raw`C:\Users\anna.k`]])]);
  assert.equal(temp.text('tool.exe --owner anna.k'), 'tool.exe --owner USER-1');
});

// Every text of two machines of one customer, and every ticket and place in words made of
// them, as they leave the page redacted.
test('redaction of a customer: no personal value survives anywhere, in any case; versions do', () => {
  const [m1, m2] = [1, 2].map((n) => model(customerReport(n), `m${n}.vitascan`));
  const { text: redact, map } = redactor([m1, m2]);
  const side = (m) => ({ model: m, findings: runFindings(m) });
  const rows = [m1, m2].map((m) => ({ label: m.fileName, facts: machineFacts(m, runFindings(m)) }));
  const places = [LOG_LINE, { view: 'files', at: [0, 1, 0], file: 0, line: null }];
  const out = [
    ...[m1, m2].flatMap((m) => textsOf(m)),
    reportTicket(m1, runFindings(m1)),
    pairTicket(side(m1), side(m2), compareModels(m1, m2)),
    machinesTicket(rows),
    ...places.map((p) => placeWords(m1, p)),
    csvText([textsOf(m2.processes)]),
  ]
    .map(redact)
    .join('\n');
  for (const v of PERSONAL) assert.ok(!out.toLowerCase().includes(v.toLowerCase()), v);
  for (const v of KEPT) assert.ok(out.includes(v), v);
  // Two machines stay two; their one user is one; the map reads each placeholder back.
  assert.match(redact(reportTicket(m2, [])), /^Computer COMPUTER-3\n/);
  assert.equal(redact('PUMPLAB-01 pumplab-02 J.Berg'), 'COMPUTER-1 COMPUTER-3 USER-1');
  const back = new Map(map());
  assert.equal(back.get('COMPUTER-3'), 'PUMPLAB-02');
  assert.equal(back.get('EMAIL-1'), 'jonas.berg@contoso-fluids.example');
  assert.equal(back.get('HOST-1'), 'lic01.contoso.local');
  assert.equal(back.size, 23, [...back.values()].join());
});

test('format characters, foreign letters and stacked marks are written visibly in plain text', () => {
  // prettier-ignore
  const CASES = [
    ['\t=1+1', '<U+0009>=1+1'], ['\r=1+1', '<U+000D>=1+1'], ['\u202Etxt.log', '<U+202E>txt.log'],
    ['P\u0430llanto', 'P\u0430llanto <mixed scripts: Cyrillic \u0430>'],
    ['\u03BFpen and \u0421\u041E\u0420', '\u03BFpen and \u0421\u041E\u0420 <mixed scripts: Greek \u03BF>'],
    ['\u041F\u0440\u0438\u0432\u0435\u0442 world, Stra\u00DFe, ca\u0301fe\u0301', '\u041F\u0440\u0438\u0432\u0435\u0442 world, Stra\u00DFe, ca\u0301fe\u0301'],
    [`Z${'\u0301'.repeat(60)}!`, `Z${'\u0301'.repeat(3)}<+57 marks>!`],
  ];
  for (const [text, shown] of CASES) assert.equal(visible(text), shown, text);
});
