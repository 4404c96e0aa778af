// The reports of the viewer's tests: where the built page and the reports made for it are,
// the hand-written report of the logic tests and its variants (a case states only the edits
// it makes to this one report), and reading a report in Node.
import { join } from 'node:path';
import { readFileSync } from 'node:fs';
import { fileURLToPath } from 'node:url';
import { readReport } from '../../viewer/src/import/report.js';
import { decodeBytes, EncodingError } from '../../viewer/src/import/bytes.js';
import { xmlReader } from '../../viewer/src/import/xml.js';
import { compileSchema } from '../../viewer/src/import/schema.js';

export const BUILD_DIR =
  process.env.VITASCAN_BUILD_DIR ?? fileURLToPath(new URL('../../build/mingw', import.meta.url));
export const REPORT_DIR = join(BUILD_DIR, 'viewer-tests');
export const VIEWER_HTML = join(BUILD_DIR, 'bin', 'VitascanViewer.html');
export const SCREENSHOT_DIR = join(BUILD_DIR, 'viewer-screenshots');
export const FIXTURE_PRODUCT = {
  key: 'ViewerFixture',
  label: 'Viewer Fixture Product',
  version: '3.1.4',
};

export const GB = 1024 ** 3;
const LOG =
  '2026-12-04 09:05:07 INFO session started\n2026-12-04 09:06:00 ERROR mesh failed\n2026-12-04 09:07:00 INFO session ended\n';
const CUT_LOG = `${LOG.repeat(3)}\n\n${'-'.repeat(66)}\n*************** File content truncated by Vitascan ***************\n${'-'.repeat(66)}\n\n${LOG}`;
const ENTITIES = { '&': '&amp;', '<': '&lt;', '>': '&gt;', '"': '&quot;' };
const esc = (text) => String(text).replace(/[&<>"]/g, (c) => ENTITIES[c]);

// The program's elements and attributes; an embedded file is framed as the program frames
// it: a line feed, the text, then the indentation of the closing tag.
export const BASE = String.raw`<?xml version="1.0" encoding="utf-8"?>
<vitascan version='1.0' versionDisplay='1.0.2.0'>
<events><event name="mesh.generate" eventtime="0d 0:00:01.234" elapsed="0d 0:00:02.500" /><event name="mesh.cells" value="7" eventtime="0d 0:00:05.000" /></events>
<client build="nightly-42"><licence seats="5" /></client>
<networking><adapter description="Intel(R) Ethernet Connection I219-LM" address="00-1a-2b-3c-4d-5e"><ip v="4" address="192.168.1.20" mask="255.255.255.0" /></adapter></networking>
<system><wmi>
    <Win32_OperatingSystem BuildNumber="7601" Caption="Microsoft Windows 7 Professional" FreePhysicalMemory="8388608" OSArchitecture="64-bit" TotalVisibleMemorySize="16777216" Version="6.1.7601" CSName="WORKSTATION7" RegisteredUser="me"/>
    <Win32_Processor Name="Intel(R) Xeon(R) Processor" NumberOfCores="2" NumberOfLogicalProcessors="4" SystemName="WORKSTATION7"/>
    <Win32_ComputerSystem Manufacturer="The Wine Project" Model="Wine" TotalPhysicalMemory="17179869184" Name="WORKSTATION7" UserName="me"/>
  </wmi><environment><var name="PATH" value="C:\windows\system32;C:\windows"/><var name="TEMP" value="C:\users\me\Temp"/></environment>
  <time time="14:05:09" date="06/12/2026" tz="W. Europe Standard Time"/>
</system>
<disks><disk type="fixed" drive="C:\" totalfreebytes="85899345920" totalavailablebytes="85899345920" totalfree="80 GB"/></disks>
<registry><key name="HKLM"><key name="Software"><key name="KORVEL-AB"><key name="Pallanto">
  <value name="ProductLabel" type="REG_SZ" value="Pallanto"/><value name="Version" type="REG_SZ" value="10.2"/><value name="InstallLocation" type="REG_SZ" value="C:\Program Files\Korvel\Pallanto\"/>
</key></key></key></key></registry>
<products><product name="Pallanto Suite 10.2" installedversion="10.2.0.15" comments="Engineering suite" installlocation="C:\Program Files\Korvel\Pallanto\" guid=""/>
  <product name="Pallanto" installedversion="10.2" buildlabel="b15" installlocation="C:\Program Files\Korvel\Pallanto\" guid=""/>
</products>
<filesystem>
  <dir name="C:"><dir name="ProgramData"><dir name="Pallanto"><dir name="logs"><file name="session.log" bytes="600000" size="586 KB" datemodified="04/12/2026 9:05:07">
${esc(CUT_LOG)}        </file></dir>
    <file name="Pallanto.exe" bytes="5368709" size="5 MB" datemodified="01/11/2026 14:00:00" version="10.2.0.15"/><file name="settings.xml" bytes="24" size="24 B" datemodified="04/12/2026 9:05:07">
&lt;settings mode=&quot;fast&quot;/&gt;
       </file></dir></dir>
  <dir name="Program Files"><dir name="Korvel"><dir name="Pallanto"><file name="Pallanto.dll" bytes="1000" size="1000 B" datemodified="01/11/2026 14:00:00" version="10.2.0.15"/></dir></dir></dir></dir>
</filesystem>
<processes><wmi><Win32_Process Name="VitascanCmd.exe" ProcessID="32" ParentProcessID="0"/><Win32_Process Name="explorer.exe" ProcessID="64" ParentProcessID="48"/><Win32_Process Name="Pallanto.exe" ProcessID="80" ParentProcessID="64"/></wmi></processes>
</vitascan>
`;

// The report with each [from, to] replaced (a string or a regular expression); an edit that
// changes nothing is a mistake in the test.
export const vary = (edits = [], text = BASE) =>
  edits.reduce((t, [from, to]) => {
    if (t.replace(from, to) === t) throw new Error(`the edit of ${from} changes nothing`);
    return t.replace(from, to);
  }, text);

// Texts that would run script or fetch something if the page ever treated report text as
// markup: the hostile report has one in every attribute and log line.
export const HOSTILE_TEXTS = [
  '<img src=x onerror="window.__pwned=1;fetch(\'http://127.0.0.1:9/x\')">',
  '"><svg onload="window.__pwned=2">',
  '<script>window.__pwned=3</script>',
  'javascript:window.__pwned=4',
  '<iframe src="http://127.0.0.1:9/frame"></iframe>',
  '<link rel="stylesheet" href="http://127.0.0.1:9/s.css">',
];
// Formulas, should an export reach a spreadsheet: in every attribute, and in quiet.log.
export const FORMULAS = [
  '=HYPERLINK("http://127.0.0.1:9/x")',
  "@SUM(1)*cmd|' /C calc'!A0",
  '+1',
  '-2+3',
];
HOSTILE_TEXTS.push(...FORMULAS);

// What would mislead a reader: names that reverse the page's words or hide characters,
// values too long to show whole, logs whose words only look like errors, a hit at the end
// of a 1 MB line. The hit words are named here for the tests that look for them.
export const RLO = '\u202E';
// The maker's product name with a Cyrillic "а".
export const LOOKALIKE = 'P\u0430llanto';
export const HIT = { longLine: 'needle-at-end', longPath: 'path-end-marker', longLineAt: 550 };
const LONG_PATH = `${Array.from({ length: 120 }, (_, i) => `C:\\Tools\\t${i}`).join(';')};${HIT.longPath}`;
const NOISE =
  '0 errors, 0 warnings\nloaded ErrorReporting.dll\nExceptionHandler ready\nterror\nonerror=x\n';
const log = (name, extra) =>
  `<file name="${name}" bytes="1" size="1 B" datemodified="d">\n${esc(NOISE + extra)}</file>`;
const longLog = Array.from({ length: 600 }, (_, i) =>
  i === HIT.longLineAt - 1 ? `${'x'.repeat(1_000_000)} ${HIT.longLine}` : `line ${i + 1}`,
).join('\n');
const TRAPS = [
  ['</environment>', `<var name="LONGPATH" value="${LONG_PATH}"/></environment>`],
  [
    '<products>',
    `<products><product name="${RLO}Pallanto show" installedversion="1" comments=""/><product name="${LOOKALIKE}" installedversion="10.2" comments=""/>`,
  ],
  // Names that differ only by a tab or a carriage return, one too long to show, one with
  // a stack of combining marks.
  [
    '</wmi></processes>',
    `<Win32_Process Name="&#9;=1+1" ProcessID="7001"/><Win32_Process Name="&#13;=1+1" ProcessID="7002"/>` +
      `<Win32_Process Name="${'n'.repeat(10_000)}" ProcessID="409600" WorkingSetSize="4096000000"/>` +
      `<Win32_Process Name="Z${'\u0301'.repeat(60)}" ProcessID="7004"/></wmi></processes>`,
  ],
  [
    '<filesystem>',
    `<filesystem><dir name="D:"><dir name="${RLO}txt.log"/>${log('quiet.log', FORMULAS.join('\n'))}<file name="long.log">\n${longLog}</file>` +
      ['a', 'b', 'c']
        .map((d) => `<dir name="${d}">${log('crash.log', `NullReferenceException in ${d}`)}</dir>`)
        .join('') +
      '</dir>',
  ],
  ['<networking>', `<deep>${'<g>'.repeat(200)}${'</g>'.repeat(200)}</deep>\n<networking>`],
];

export function hostileReport() {
  let i = 0;
  const [declaration, body] = [BASE.slice(0, BASE.indexOf('\n')), BASE.slice(BASE.indexOf('\n'))];
  const injected = body.replace(
    /="[^"]*"/g,
    () => `="${esc(HOSTILE_TEXTS[i++ % HOSTILE_TEXTS.length])}"`,
  );
  return vary(
    [[esc(CUT_LOG), esc(`${HOSTILE_TEXTS.join('\n')}\n`)], ...TRAPS],
    declaration + injected,
  );
}

// Two machines of one customer, with personal data wherever a report can hold it: the
// names the properties give, and in paths, values, a command line and a log line. PERSONAL
// lists what must not leave the page redacted, in any case or inside a word; KEPT what
// must (versions, Windows, products, dates).
export const PERSONAL = [
  'PUMPLAB-0',
  'j.berg',
  'Jonas Berg',
  'Contoso',
  'lic01',
  'DC01',
  '00330-80000',
  '192.168.',
  'fe80::',
  '10.20.30.4',
  '1a-2b',
  '1A:2B',
  '001a2b',
  '2b3c',
  'S-1-5-21-36',
];
export const KEPT = [
  '10.0.22631',
  'Microsoft Windows 11 Pro',
  'build 22631',
  '10.2.0.15',
  'Pallanto Suite 10.2',
  'version 1.2.3.4',
  '2026-12-04',
  'Pallanto.exe',
];
export function customerReport(n) {
  const value = (name, v) => `<value name="${name}" type="REG_SZ" value="${esc(v)}"/>`;
  // prettier-ignore
  return vary([
    [/WORKSTATION7/g, `PUMPLAB-0${n}`],
    ['BuildNumber="7601" Caption="Microsoft Windows 7 Professional"', 'BuildNumber="22631" Caption="Microsoft Windows 11 Pro"'],
    ['Version="6.1.7601"', 'Version="10.0.22631"'],
    ['RegisteredUser="me"', 'RegisteredUser="Jonas Berg" Organization="Contoso Fluids AB"'],
    ['UserName="me"', `UserName="CONTOSO\\j.berg" Domain="contoso-fluids.local" DNSHostName="pumplab-0${n}"`],
    ['<Win32_ComputerSystem ', `<Win32_BIOS SerialNumber="00330-80000-00000-AA${n}21"/><Win32_ComputerSystem `],
    [String.raw`C:\users\me\Temp`, String.raw`C:\Users\j.berg\AppData\Local\Temp`],
    ['</environment>', '<var name="LOGONSERVER" value="\\\\DC01"/><var name="USERDNSDOMAIN" value="CONTOSO-FLUIDS.LOCAL"/></environment>'],
    ['address="00-1a-2b-3c-4d-5e"', `address="00-1a-2b-3c-4d-5${n}"`],
    ['192.168.1.20', `192.168.1.2${n}`],
    ['</adapter>', `<ip v="6" address="fe80::1ff:fe23:4567:89${n}a" mask="64"/></adapter>`],
    ['</key></key></key></key></registry>', `</key>${value('RegisteredOwner', 'Jonas Berg')}${value('RegisteredOrganization', 'Contoso Fluids AB')}` +
      value('Support', 'jonas.berg@contoso-fluids.example') + value('Server', 'lic01.contoso.local:27000') +
      value('Owner', 'S-1-5-21-3623811015-3361044348-30300820-1013') + value('Peer', `001a.2b3c.4d9${n}`) +
      '</key></key></key></registry>'],
    [/ERROR mesh failed/g, `ERROR mesh failed: lic01.contoso.local (10.20.30.4${n}, 001A2B3C4D9${n}) refused j.berg on pumplab-0${n}, version 1.2.3.4`],
    ['<dir name="Program Files">', `<dir name="Users"><dir name="j.berg"><dir name="Documents"><file name="pump-pumplab-0${n}.pal" bytes="10" size="10 B" datemodified="04/12/2026 9:05:07"/></dir></dir></dir><dir name="Program Files">`],
    ['ProcessID="80" ParentProcessID="64"', `ProcessID="80" ParentProcessID="64" CommandLine="C:\\Users\\J.BERG\\pal.exe /server lic01.contoso.local /mac 00:1A:2B:3C:4D:5${n} /sid S-1-5-21-3623811015-3361044348-30300820-1013"`],
  ]);
}

// Nesting far deeper than the viewer reads (keys, folders), and a folder of 50,000 files.
export const DEEP = { levels: 100_000, files: 50_000 };
export function deepReport() {
  const keys = `${'<key name="k">'.repeat(DEEP.levels)}${'</key>'.repeat(DEEP.levels)}`;
  const dirs = `${'<dir name="d">'.repeat(DEEP.levels)}${'</dir>'.repeat(DEEP.levels)}`;
  const files = Array.from(
    { length: DEEP.files },
    (_, i) => `<file name="file${i}.dat" bytes="0"/>`,
  );
  return vary([
    ['<registry>', `<registry>${keys}`],
    [
      '<filesystem>\n',
      `<filesystem>\n<dir name="E:">${dirs}<dir name="huge">${files.join('\n')}</dir></dir>\n`,
    ],
  ]);
}

// Folders and keys not read, with why, beside an empty folder and key: Pallanto's folders
// 0 to 4 and its subkeys 0 and 1.
const DIRS =
  'Private" error="Access denied.|Shared" link="junction|again" stopped="loop|far" stopped="depth|Spare';
const KEYS = '<key name="Secret" error="Access denied."/><key name="Blank"/>';
export const UNREAD_EDITS = [
  ['<dir name="logs">', `${DIRS.replace(/([^|]+)\|?/g, '<dir name="$1"/>')}$&`],
  ['</key></key></key></key></registry>', `${KEYS}$&`],
];

export const model = (text, name = 'test.vitascan') => readReport(text, name);
// The report format's schema, as a file and compiled by the page's reader.
export const RNG = fileURLToPath(new URL('../../docs/vitascan.rng', import.meta.url));
export const SCHEMA = compileSchema(readFileSync(RNG, 'utf8'));

// A rule of a pack: a note that holds `when`, named KB-9 unless `more` says otherwise.
export const rule = (when, more) => ({ id: 'KB-9', title: 't', severity: 'note', when, ...more });

// RFC 4180 records back from CSV text; anything else in it fails.
export function parseCsv(text) {
  const records = [[]];
  const field = /"((?:[^"]|"")*)"(,|\r\n)/y;
  while (field.lastIndex < text.length) {
    const m = field.exec(text);
    if (!m) throw new Error(`not CSV at ${field.lastIndex}: ${text.slice(field.lastIndex, 80)}`);
    records.at(-1).push(m[1].replace(/""/g, '"'));
    if (m[2] === '\r\n') records.push([]);
  }
  records.pop();
  return records;
}

// How the page takes bytes as XML, its reader calling `handlers`: 'refused' (an encoding
// or a document type with declarations, which it does not read, said plainly), 'broken'
// or 'well-formed'; with the text decoded, unless the encoding was refused.
export function pageVerdict(bytes, handlers = { open() {}, text() {}, close() {} }) {
  let decoded;
  try {
    decoded = decodeBytes(bytes);
  } catch (e) {
    if (e instanceof EncodingError) return { verdict: 'refused' };
    throw e;
  }
  const reader = xmlReader(decoded.text, handlers);
  reader.run();
  if (/document type with declarations/.test(reader.error?.message))
    return { verdict: 'refused', decoded };
  return { verdict: reader.error || decoded.error ? 'broken' : 'well-formed', decoded };
}
export const varied = (edits, name) => model(vary(edits), name);
