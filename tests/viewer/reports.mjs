// Hand-written reports for the viewer's tests, in the program's own layout. Options change
// the parts that findings and compare look at, so each case states only what differs.
const BANNER = '\n\n' + '-'.repeat(66) + '\n*************** File content truncated by Vitascan ***************\n' + '-'.repeat(66) + '\n\n';

export function esc(text) {
  return String(text).replace(/&/g, '&amp;').replace(/</g, '&lt;').replace(/>/g, '&gt;').replace(/"/g, '&quot;').replace(/'/g, '&apos;');
}

const GB = 1024 ** 3;

export function smallReport(o = {}) {
  const opt = {
    freeBytes: 80 * GB, freeMemKb: 8388608, pii: false, wmi: true, processes: null,
    products: [
      { name: 'Pallanto Suite 10.2', version: '10.2.0.15', comments: 'Engineering suite', location: 'C:\\Program Files\\Korvel\\Pallanto\\' },
      { name: 'Pallanto', version: '10.2', buildlabel: 'b15', location: 'C:\\Program Files\\Korvel\\Pallanto\\' },
    ],
    registryProducts: [{ key: 'Pallanto', label: 'Pallanto', version: '10.2', location: 'C:\\Program Files\\Korvel\\Pallanto\\' }],
    registryProducts32: [],
    env: [['PATH', 'C:\\windows\\system32;C:\\windows'], ['TEMP', 'C:\\users\\me\\Temp']],
    log: '2026-12-04 09:05:07 INFO session started\n2026-12-04 09:06:00 ERROR mesh failed\n2026-12-04 09:07:00 INFO session ended\n',
    cutLog: false, events: null, groups: '', pallantoExe: { bytes: 5368709, date: '01/11/2026 14:00:00', version: '10.2.0.15' },
    extraFiles: '',
    ...o,
  };
  const osAttrs = opt.wmi ? `BuildNumber="7601" Caption="Microsoft Windows 7 Professional" FreePhysicalMemory="${opt.freeMemKb}" OSArchitecture="64-bit" TotalVisibleMemorySize="16777216" Version="6.1.7601"${opt.pii ? '' : ' CSName="WORKSTATION7" RegisteredUser="me"'}` : null;
  const wmi = opt.wmi
    ? `    <Win32_OperatingSystem ${osAttrs}/>\n    <Win32_Processor Name="Intel(R) Xeon(R) Processor" NumberOfCores="2" NumberOfLogicalProcessors="4"${opt.pii ? '' : ' SystemName="WORKSTATION7"'}/>\n    <Win32_ComputerSystem Manufacturer="The Wine Project" Model="Wine" TotalPhysicalMemory="17179869184"${opt.pii ? '' : ' Name="WORKSTATION7" UserName="me"'}/>\n`
    : '\n\n\n';
  const env = opt.pii ? '' : `  <environment>\n${opt.env.map(([n, v]) => `    <var name="${esc(n)}" value="${esc(v)}"/>\n`).join('')}  </environment>\n`;
  const regProduct = (p) => `        <key name="${esc(p.key)}">\n          <value name="ProductLabel" type="REG_SZ" value="${esc(p.label)}"/>\n          <value name="Version" type="REG_SZ" value="${esc(p.version)}"/>\n          <value name="InstallLocation" type="REG_SZ" value="${esc(p.location)}"/>\n        </key>\n`;
  const wow = opt.registryProducts32.length ? `      <key name="WOW6432Node">\n      <key name="KORVEL-AB">\n${opt.registryProducts32.map(regProduct).join('')}      </key>\n      </key>\n` : '';
  const product = (p) => `  <product name="${esc(p.name)}" installedversion="${esc(p.version)}"${p.comments != null ? ` comments="${esc(p.comments)}"` : ` buildlabel="${esc(p.buildlabel ?? '')}"`} installlocation="${esc(p.location)}" guid="${esc(p.guid ?? '')}"/>\n`;
  const log = opt.cutLog ? `${opt.log.repeat(3)}${BANNER}${opt.log}` : opt.log;
  const processes = opt.processes ?? [['VitascanCmd.exe', 32, 0], ['explorer.exe', 64, 48], ['Pallanto.exe', 80, 64]];
  const events = opt.events ? `<events>\n${opt.events.map((e) => `  <event name="${esc(e.name)}"${e.value != null ? ` value="${esc(e.value)}"` : ''} eventtime="${e.eventtime}"${e.elapsed ? ` elapsed="${e.elapsed}"` : ''} />\n`).join('')}</events>\n` : '';
  const exe = opt.pallantoExe ? `       <file name="Pallanto.exe" bytes="${opt.pallantoExe.bytes}" size="5 MB" datemodified="${opt.pallantoExe.date}" version="${opt.pallantoExe.version}"/>\n` : '';
  return `<?xml version="1.0" encoding="utf-8"?>
<vitascan version='1.0' versionDisplay='1.0.2.0'>
${opt.groups}${events}<networking>
  <adapter description="Intel(R) Ethernet Connection I219-LM" address="00-1a-2b-3c-4d-5e">
    <ip v="4" address="192.168.1.20" mask="255.255.255.0" />
  </adapter>
</networking>
<system>
  <wmi>
${wmi}  </wmi>
${env}  <time time="14:05:09" date="06/12/2026" tz="W. Europe Standard Time"/>
</system>
<disks>
  <disk type="fixed" drive="C:\\" totalfreebytes="${opt.freeBytes}" totalavailablebytes="${opt.freeBytes}" totalfree="x" totalavailable="x"/>
</disks>
<registry>
  <key name="HKLM">
    <key name="Software">
${wow}      <key name="KORVEL-AB">
${opt.registryProducts.map(regProduct).join('')}      </key>
    </key>
  </key>
</registry>
<products>
${opt.products.map(product).join('')}</products>
<filesystem>
  <dir name="C:">
  <dir name="ProgramData">
    <dir name="Pallanto">
      <dir name="logs">
        <file name="session.log" bytes="600000" size="586 KB" datemodified="04/12/2026 9:05:07">
${esc(log)}        </file>
      </dir>
${exe}       <file name="settings.xml" bytes="24" size="24 B" datemodified="04/12/2026 9:05:07">
&lt;settings mode=&quot;fast&quot;/&gt;
       </file>
${opt.extraFiles}    </dir>
  </dir>
  <dir name="Program Files">
    <dir name="Korvel">
      <dir name="Pallanto">
         <file name="Pallanto.dll" bytes="1000" size="1000 B" datemodified="01/11/2026 14:00:00" version="10.2.0.15"/>
      </dir>
    </dir>
  </dir>
  </dir>
</filesystem>
<processes>
  <wmi>
${processes.map(([n, id, parent]) => `    <Win32_Process Caption="${esc(n)}" CommandLine="" Name="${esc(n)}" ParentProcessID="${parent}" ProcessID="${id}" ThreadCount="1" WorkingSetSize="0"/>\n`).join('')}  </wmi>
</processes>
</vitascan>
`;
}

// Names and values that would run script or fetch something if the page ever treated
// report text as markup.
export const HOSTILE_TEXTS = [
  '<img src=x onerror="window.__pwned=1;fetch(\'http://127.0.0.1:9/x\')">',
  '"><svg onload="window.__pwned=2">',
  '<script>window.__pwned=3</script>',
  'javascript:window.__pwned=4',
  '<iframe src="http://127.0.0.1:9/frame"></iframe>',
  '<link rel="stylesheet" href="http://127.0.0.1:9/s.css">',
];

export function hostileReport({ depth = 200, hugeBytes = 2_000_000 } = {}) {
  const h = HOSTILE_TEXTS;
  const nested = `${'<g>'.repeat(depth)}${'</g>'.repeat(depth)}`;
  const groups = `<client note="${esc(h[0])}" other="${esc(h[1])}">\n  <inner link="${esc(h[3])}" huge="${'A'.repeat(hugeBytes)}" />\n</client>\n<deep>${nested}</deep>\n`;
  let text = smallReport({
    groups,
    env: h.map((t, i) => [`VAR${i}`, t]),
    products: [{ name: h[2], version: h[0], buildlabel: h[1], location: h[3] }],
    registryProducts: [{ key: h[4], label: h[2], version: h[5], location: h[3] }],
    log: `${h.join('\n')}\n`,
    processes: h.map((t, i) => [t, i + 1, 0]),
    events: h.map((t, i) => ({ name: t, value: t, eventtime: `0d 0:00:0${i}.000` })),
  });
  text = text.replace('<file name="settings.xml"', `<file name="${esc(h[0])}.txt" bytes="1" size="1 B" datemodified="${esc(h[1])}">\n${esc(h[2])}\n       </file>\n       <file name="settings.xml"`);
  return text;
}
