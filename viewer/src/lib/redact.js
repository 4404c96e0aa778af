// Personal data kept out of what leaves the page (the ticket, a link's words, exports,
// copies, print) when the user asks for it. Each personal value becomes a placeholder
// such as COMPUTER-1 or USER-2; one redactor serves every open report, so the same value
// has the same placeholder throughout and two machines stay two. The values are read from
// the properties that hold them, then every text of every report is read once in report
// order for what has the form of personal data (an e-mail address, a host name, an IP or
// MAC address, a SID, a user's profile folder), so the numbering is the same every time
// and the map of placeholders is whole. The report itself is never changed.
//
// What stays: versions, product and Windows names, build numbers and dates. A dotted
// quad whose parts are all at most 255 is an IPv4 address unless it stands in a version
// context: a version the report gives (of the program, a product, a file, Windows
// Installer, .NET), or written right after "version", "ver", "v", "build" or "rev".
import { eachKey, eachFolder } from './model.js';
import { literal } from './text.js';
import { machineOf } from './facts.js';

export const REDACTION_NOTICE =
  'Personal data replaced by placeholders (computer, domain and host names, user names and ' +
  'profile folders, e-mail, IP and MAC addresses, SIDs, serial numbers, the registered owner); ' +
  'the same value has the same placeholder throughout.';

const WMI_PERSONAL = {
  Win32_OperatingSystem: {
    CSName: 'computer',
    RegisteredUser: 'owner',
    Organization: 'owner',
    Description: 'owner',
  },
  Win32_Processor: { SystemName: 'computer' },
  Win32_ComputerSystem: {
    Name: 'computer',
    DNSHostName: 'computer',
    Caption: 'computer',
    Domain: 'domain',
    Workgroup: 'domain',
    PrimaryOwnerName: 'owner',
    PrimaryOwnerContact: 'owner',
    SupportContactDescription: 'owner',
  },
  Win32_ComputerSystemProduct: { IdentifyingNumber: 'serial', UUID: 'serial' },
};
const ENVIRONMENT = {
  COMPUTERNAME: 'computer',
  USERNAME: 'user',
  USERDOMAIN: 'domain',
  USERDNSDOMAIN: 'domain',
  USERDOMAIN_ROAMINGPROFILE: 'domain',
  LOGONSERVER: 'computer',
  CLIENTNAME: 'computer',
};
const REGISTRY = [
  [/^Registered(Owner|Organization)$/i, 'owner'],
  [/^(ComputerName|Hostname|NV Hostname)$/i, 'computer'],
  [/^(Domain|NV Domain|DhcpDomain)$/i, 'domain'],
  [/serial|^ProductId$|^MachineGuid$/i, 'serial'],
];
const SERIAL = /serial|^ProductId$/i;
// Values that fill these properties on machines of every customer.
const COMMON =
  /^(workgroup|none|default|unknown|n\/a|not specified|default string|to be filled by o\.e\.m\.|system serial number|0+)$/i;
// A user's folder: the name after \Users\, \Documents and Settings\ or \home\.
const USER_PATH = /(\\(?:users|documents and settings|home)\\)([^\\/:*?"<>|;\r\n]+)/gi;
const NOT_A_USER = /^(public|default|default user|all users|desktop\.ini)$/i;
const LABEL = '[\\p{L}\\p{N}](?:[\\p{L}\\p{N}-]{0,61}[\\p{L}\\p{N}])?';
// Begins where a run of its characters begins, so that a long run is not tried at every
// one of its characters.
const EMAIL = new RegExp(
  `(?<![\\p{L}\\p{N}._%+'-])[\\p{L}\\p{N}._%+'-]{1,64}@${LABEL}(?:\\.${LABEL})+`,
  'gu',
);
// Top-level domains of company networks and the world; two-letter ones that are also
// common file extensions (.cs, .md, .py) are left to the known names.
const TLD =
  '(?:com|net|org|edu|gov|mil|int|info|biz|cloud|local|localdomain|lan|corp|internal|' +
  'intranet|intra|home|example|test|invalid|arpa|(?!(?:cs|md|py|ps|js|rs|sh|pl|rc|db|gz|so|ts|vb|bz|ai|am|in|is|it|me|my|no|to|do|go|ms|mo|ml|na|pa|ph|pk|sc|sk|id|io|ui|cc|hr|mk|mm|tr|ad)\\b)[a-z]{2})';
const HOST = new RegExp(
  `(?<![\\p{L}\\p{N}._@-])(?:${LABEL}\\.)+${TLD}(?![\\p{L}\\p{N}_-]|\\.[\\p{L}\\p{N}])`,
  'giu',
);
// Names of the .NET platform, spelt like hosts.
const NOT_A_HOST = /^(microsoft|asp|ado|vb)\.net$/i;
const SID = /(?<![\w-])S-1-5-21(?:-\d+){1,4}(?![\w-])/gi;
const MAC = /(?<![\w:-])[0-9a-f]{2}([-:])[0-9a-f]{2}(?:\1[0-9a-f]{2}){4}(?![\w:-])/gi;
const MAC_DOTTED = /(?<![\w.])[0-9a-f]{4}\.[0-9a-f]{4}\.[0-9a-f]{4}(?![\w.])/gi;
// Twelve hex digits alone, one a letter: a MAC written bare (a time of twelve digits is not).
const MAC_BARE = /(?<![\w.-])(?=[0-9]*[a-f])[0-9a-f]{12}(?![\w.-])/gi;
const IPV4 =
  /(?<![\w.])(?<!\b(?:v|ver|version|build|rev|revision)[\s:=#]{0,3})(?:\d{1,3}\.){3}\d{1,3}(?![\w.])/gi;
const IPV6 = /(?<![\w:])(?:[0-9a-f]{0,4}:){2,7}[0-9a-f]{0,4}(?![\w:])/gi;
const PLACEHOLDER = /^(COMPUTER|DOMAIN|HOST|USER|EMAIL|OWNER|SERIAL|SID|IP|MAC)-\d+$/;
const ALNUM = '[\\p{L}\\p{N}]';
// Names this long are replaced inside longer words too (pc-PUMPLAB-01.pal); shorter ones
// only where no letter or digit touches them, so that "VM" leaves "VMware" alone.
const ANYWHERE = 4;
// A user's name (root, admin) is often part of other words (SystemRoot, Administrators):
// it is replaced as a word of its own.
const NAME_KINDS = new Set(['computer', 'domain', 'owner', 'host']);

// An address that names a machine: not a mask, loopback, unspecified or version number.
function personalIpv4(text, versions) {
  const parts = text.split('.').map(Number);
  if (parts.some((p) => p > 255) || versions.has(text)) return false;
  return parts[0] !== 127 && parts[0] !== 255 && parts[0] !== 0;
}

function personalIpv6(text) {
  const groups = text.split(':').length;
  return /\d/.test(text) && (text.includes('::') || groups === 8) && text !== '::1';
}

const macKey = (mac) => mac.toLowerCase().replace(/[^0-9a-f]/g, '');

// Every text of a model, however deep, in report order; paths are texts met already.
function eachText(model, visit) {
  const stack = [model];
  while (stack.length) {
    const v = stack.pop();
    if (typeof v === 'string') visit(v);
    else if (Array.isArray(v)) for (let i = v.length - 1; i >= 0; i--) stack.push(v[i]);
    else if (v && typeof v === 'object') {
      const entries = Object.entries(v).filter(([k]) => k !== 'path' && k !== 'at');
      for (let i = entries.length - 1; i >= 0; i--) stack.push(entries[i][1]);
    }
  }
}

export function redactor(models) {
  const known = new Map();
  const kinds = new Map();
  const originals = new Map();
  const counts = {};
  const versions = new Set();
  const placeholder = (kind, value) => {
    const key = kind === 'mac' ? macKey(value) : value.toLowerCase();
    if (!known.has(key)) {
      counts[kind] = (counts[kind] ?? 0) + 1;
      known.set(key, `${kind.toUpperCase()}-${counts[kind]}`);
      kinds.set(key, kind);
      originals.set(key, value);
    }
    return known.get(key);
  };
  const add = (kind, value) => {
    const v = String(value ?? '')
      .trim()
      .replace(/^\\\\/, '');
    if (v.length > 1 && !PLACEHOLDER.test(v) && !COMMON.test(v)) placeholder(kind, v);
  };
  for (const model of models) collect(model, add, versions);

  let knownRe = null;
  let knownMac = null;
  // Unicode case folding may match what lower case does not spell the same way.
  const sameIgnoringCase = (m) =>
    [...known].find(([k]) => k.toUpperCase() === m.toUpperCase())?.[1] ?? 'REDACTED';
  const byForm = (kind, test) => (m) =>
    PLACEHOLDER.test(m) || !test(m) ? m : (known.get(m.toLowerCase()) ?? placeholder(kind, m));
  // Each form is looked for only in a text that holds the character it cannot do
  // without: most texts of a report (file names, numbers) hold none of them. scan only
  // numbers what has a form, leaving the names read from the report aside.
  const replace = (value, scan = false) => {
    let t = String(value ?? '');
    if (t.includes('@')) t = t.replace(EMAIL, byForm('email', Boolean));
    if (t.includes('-')) t = t.replace(SID, byForm('sid', Boolean));
    if (t.includes('.'))
      t = t.replace(
        HOST,
        byForm('host', (m) => !NOT_A_HOST.test(m)),
      );
    if (knownRe && !scan)
      t = t.replace(knownRe, (m) => known.get(m.toLowerCase()) ?? sameIgnoringCase(m));
    if (t.includes('\\'))
      t = t.replace(USER_PATH, (m, before, name) =>
        NOT_A_USER.test(name) || PLACEHOLDER.test(name)
          ? m
          : before + placeholder('user', name.trim()),
      );
    if (knownMac && !scan) t = t.replace(knownMac, (m) => known.get(macKey(m)));
    if (t.length >= 12)
      for (const re of [MAC, MAC_DOTTED, MAC_BARE]) t = t.replace(re, (m) => placeholder('mac', m));
    if (t.includes(':')) t = t.replace(IPV6, byForm('ip', personalIpv6));
    if (t.includes('.'))
      t = t.replace(
        IPV4,
        byForm('ip', (m) => personalIpv4(m, versions)),
      );
    return t;
  };
  const text = (value) => replace(value);
  // What has the form of personal data, numbered in report order.
  for (const model of models) eachText(model, (t) => replace(t, true));
  // The names read from the reports and those the scan found (a user in a path, say),
  // wherever they stand; serial numbers and addresses as whole words only.
  const byKind = (test) => [...known.keys()].filter((k) => test(kinds.get(k), k));
  const pattern = (list) =>
    list
      .sort((a, b) => b.length - a.length)
      .map(literal)
      .join('|');
  const long = byKind((kind, k) => NAME_KINDS.has(kind) && k.length >= ANYWHERE);
  const short = byKind((kind, k) => !NAME_KINDS.has(kind) || k.length < ANYWHERE).filter(
    (k) => kinds.get(k) !== 'mac',
  );
  const alternatives = [
    long.length ? `(?:${pattern(long)})` : null,
    short.length ? `(?<!${ALNUM})(?:${pattern(short)})(?!${ALNUM})` : null,
  ].filter(Boolean);
  knownRe = alternatives.length ? new RegExp(alternatives.join('|'), 'giu') : null;
  const macs = byKind((kind) => kind === 'mac').map((k) => k.match(/../g).join('[-:. ]?'));
  knownMac = macs.length
    ? new RegExp(`(?<![0-9a-f])(?:${macs.join('|')})(?![0-9a-f])`, 'gi')
    : null;
  // [placeholder, value as first met], in the order given.
  const map = () => [...known].map(([key, p]) => [p, originals.get(key)]);
  return { text, map };
}

// The personal values of one report, from the places that hold them, and the version
// numbers that look like addresses but are not.
function collect(model, add, versions) {
  const version = (v) => v && versions.add(String(v));
  const sys = model.system;
  // The machine's own name first, as the overview and the ticket name it.
  add('computer', machineOf(model).computer);
  for (const v of [model.version, model.versionDisplay, sys?.windowsInstaller, sys?.ie]) version(v);
  for (const d of sys?.dotnet ?? []) version(d.version);
  for (const cls of sys?.wmi ?? []) {
    for (const inst of cls.instances) {
      for (const [k, v] of Object.entries(inst)) {
        const kind = WMI_PERSONAL[cls.name]?.[k] ?? (SERIAL.test(k) ? 'serial' : null);
        if (kind) add(kind, v);
        if (/version/i.test(k)) version(v);
      }
    }
  }
  const cs = sys?.wmi?.find((c) => c.name === 'Win32_ComputerSystem');
  for (const inst of cs?.instances ?? []) {
    // DOMAIN\user: the domain is often the computer's own name, already known as such.
    const [domain, user] = (inst.UserName ?? '').includes('\\')
      ? inst.UserName.split('\\')
      : ['', inst.UserName];
    add('domain', domain);
    add('user', user);
  }
  for (const v of sys?.environment ?? []) {
    const kind = ENVIRONMENT[v.name.toUpperCase()];
    if (kind) add(kind, v.value);
  }
  for (const a of model.networking ?? []) {
    add('mac', a.address);
    for (const ip of a.ips)
      if (!/^(127\.|0\.0\.0\.0$|::1$)/.test(ip.address)) add('ip', ip.address);
  }
  if (model.registry) {
    eachKey(model.registry, (key) => {
      for (const v of key.values) {
        const kind = REGISTRY.find(([re]) => re.test(v.name))?.[1];
        if (kind && v.type !== 'REG_BINARY') add(kind, v.value);
        if (/version/i.test(v.name)) version(v.value);
      }
    });
  }
  for (const p of model.products ?? []) version(p.version);
  if (model.filesystem) {
    eachFolder(model.filesystem, (dir) => {
      const [, parent, name] = dir.path;
      if (dir.path.length === 3 && /^(users|documents and settings)$/i.test(parent))
        if (!NOT_A_USER.test(name)) add('user', name);
      for (const f of dir.files) version(f.version);
    });
  }
}
