// Personal data kept out of what leaves the page (the ticket, a link's words, exports)
// when the user asks for it: computer and domain names, user names (in paths, in
// environment values, as WMI gives them), IP and MAC addresses, serial numbers and the
// registered owner become placeholders such as COMPUTER-1 or USER-2. One redactor serves
// every open report, so the same value has the same placeholder throughout and
// differences still show. The values are read from the properties that hold them, in
// report order, so the numbering is the same every time; addresses and user folders met
// elsewhere (in a log line, say) are found by their form and numbered as they come.
// The report itself is never changed.
import { eachKey, eachFolder } from './model.js';
import { literal } from './text.js';

export const REDACTION_NOTICE =
  'Personal data replaced by placeholders (computer and domain names, user names, IP and MAC ' +
  'addresses, serial numbers, the registered owner); the same value has the same placeholder throughout.';

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
};
const REGISTRY_OWNER = /^Registered(Owner|Organization)$/i;
const SERIAL = /serial|^ProductId$/i;
// A user's folder: the name after \Users\ or \Documents and Settings\.
const USER_PATH = /(\\(?:users|documents and settings)\\)([^\\/:*?"<>|;\r\n]+)/gi;
const NOT_A_USER = /^(public|default|default user|all users|desktop\.ini)$/i;
const MAC = /(?<![\w:-])[0-9a-f]{2}([-:])[0-9a-f]{2}(?:\1[0-9a-f]{2}){4}(?![\w:-])/gi;
const IPV4 = /(?<![\w.])(?:\d{1,3}\.){3}\d{1,3}(?![\w.])/g;
const IPV6 = /(?<![\w:])(?:[0-9a-f]{0,4}:){2,7}[0-9a-f]{0,4}(?![\w:])/gi;
const PLACEHOLDER = /^(COMPUTER|DOMAIN|USER|OWNER|SERIAL|IP|MAC)-\d+$/;
const WORD = '[\\p{L}\\p{N}_-]';

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

export function redactor(models) {
  const known = new Map();
  const counts = {};
  const versions = new Set();
  const placeholder = (kind, value) => {
    const key = kind === 'mac' ? value.toLowerCase().replace(/:/g, '-') : value.toLowerCase();
    if (!known.has(key)) {
      counts[kind] = (counts[kind] ?? 0) + 1;
      known.set(key, `${kind.toUpperCase()}-${counts[kind]}`);
    }
    return known.get(key);
  };
  const add = (kind, value) => {
    const v = String(value ?? '').trim();
    if (v.length > 1 && !PLACEHOLDER.test(v)) placeholder(kind, v);
  };
  const usersIn = (text) => {
    for (const m of String(text ?? '').matchAll(USER_PATH))
      if (!NOT_A_USER.test(m[2])) add('user', m[2]);
  };
  for (const model of models) collect(model, add, usersIn, versions);

  // Known values wherever they stand as a word; then what has the form of a user folder,
  // a MAC or an IP address.
  const values = [...known.keys()].sort((a, b) => b.length - a.length);
  const knownRe = values.length
    ? new RegExp(`(?<!${WORD})(?:${values.map(literal).join('|')})(?!${WORD})`, 'giu')
    : null;
  // Unicode case folding may match what lower case does not spell the same way.
  const sameIgnoringCase = (m) =>
    [...known].find(([k]) => k.toUpperCase() === m.toUpperCase())?.[1] ?? 'REDACTED';
  const byForm = (kind, test) => (m) => (test(m) ? placeholder(kind, m) : m);
  const text = (value) => {
    let t = String(value ?? '');
    if (knownRe) t = t.replace(knownRe, (m) => known.get(m.toLowerCase()) ?? sameIgnoringCase(m));
    t = t.replace(USER_PATH, (m, before, name) =>
      NOT_A_USER.test(name) || PLACEHOLDER.test(name)
        ? m
        : before + placeholder('user', name.trim()),
    );
    t = t.replace(
      MAC,
      byForm('mac', () => true),
    );
    t = t.replace(IPV6, byForm('ip', personalIpv6));
    return t.replace(
      IPV4,
      byForm('ip', (m) => personalIpv4(m, versions)),
    );
  };
  return { text };
}

// The personal values of one report, from the places that hold them, and the version
// numbers that look like addresses but are not.
function collect(model, add, usersIn, versions) {
  const version = (v) => v && versions.add(String(v));
  const sys = model.system;
  for (const v of [model.version, model.versionDisplay, sys?.windowsInstaller, sys?.ie]) version(v);
  for (const d of sys?.dotnet ?? []) version(d.version);
  for (const cls of model.system?.wmi ?? []) {
    for (const inst of cls.instances) {
      for (const [k, v] of Object.entries(inst)) {
        const kind = WMI_PERSONAL[cls.name]?.[k] ?? (SERIAL.test(k) ? 'serial' : null);
        if (kind) add(kind, v);
        if (/version/i.test(k)) version(v);
        usersIn(v);
      }
    }
  }
  const cs = model.system?.wmi?.find((c) => c.name === 'Win32_ComputerSystem');
  for (const inst of cs?.instances ?? []) {
    // DOMAIN\user: the domain is often the computer's own name, already known as such.
    const [domain, user] = (inst.UserName ?? '').includes('\\')
      ? inst.UserName.split('\\')
      : ['', inst.UserName];
    add('domain', domain);
    add('user', user);
  }
  for (const v of model.system?.environment ?? []) usersIn(v.value);
  for (const a of model.networking ?? []) {
    add('mac', a.address);
    for (const ip of a.ips)
      if (!/^(127\.|0\.0\.0\.0$|::1$)/.test(ip.address)) add('ip', ip.address);
  }
  if (model.registry) {
    eachKey(model.registry, (key) => {
      for (const v of key.values) {
        if (REGISTRY_OWNER.test(v.name)) add('owner', v.value);
        else if (SERIAL.test(v.name)) add('serial', v.value);
        if (/version/i.test(v.name)) version(v.value);
        usersIn(v.value);
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
  for (const p of model.processes ?? []) for (const v of Object.values(p)) usersIn(v);
}
