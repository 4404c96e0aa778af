// Turns a report document into a plain model: one reader per block. The model holds only
// strings, numbers, arrays and null-prototype records, so views, findings, compare and
// search all read the same thing and never touch the XML again.

export const SECTION_NAMES = ['networking', 'system', 'disks', 'registry', 'products', 'filesystem', 'processes'];
export const CUT_BANNER = '*************** File content truncated by Vitascan ***************';
// Client groups deeper than this are not read: a hostile report must not exhaust the stack.
export const MAX_GROUP_DEPTH = 200;

export class ReportError extends Error {}

function record() {
  return Object.create(null);
}

function elements(node) {
  const out = [];
  for (let c = node.firstChild; c; c = c.nextSibling) if (c.nodeType === 1) out.push(c);
  return out;
}

// Attribute names come from the report, so they go into a record with no prototype.
export function attributesOf(el) {
  const out = record();
  const list = el.attributes;
  for (let i = 0; i < list.length; i++) {
    const a = list.item(i);
    out[a.name] = a.value;
  }
  return out;
}

function attr(el, name) {
  return el.getAttribute(name) ?? '';
}

function number(text) {
  if (!/^\s*-?\d+\s*$/.test(text ?? '')) return null;
  return Number(text);
}

// "1d 1:01:01.001" to milliseconds; null for any other text.
export function parseDuration(text) {
  const m = /^(-?\d+)d (-?\d+):(\d\d):(\d\d)\.(\d\d\d)$/.exec(text ?? '');
  if (!m) return null;
  return ((Number(m[1]) * 24 + Number(m[2])) * 60 + Number(m[3])) * 60000 + Number(m[4]) * 1000 + Number(m[5]);
}

export function readNetworking(el) {
  return elements(el).filter((a) => a.nodeName === 'adapter').map((a) => ({
    description: attr(a, 'description'),
    address: attr(a, 'address'),
    ips: elements(a).filter((i) => i.nodeName === 'ip').map((i) => ({ address: attr(i, 'address'), mask: attr(i, 'mask') })),
  }));
}

function readWmi(el) {
  // One entry per class, in report order, each with its instances' properties.
  const classes = [];
  const byName = new Map();
  for (const inst of elements(el)) {
    let cls = byName.get(inst.nodeName);
    if (!cls) {
      cls = { name: inst.nodeName, instances: [] };
      byName.set(inst.nodeName, cls);
      classes.push(cls);
    }
    cls.instances.push(attributesOf(inst));
  }
  return classes;
}

export function readSystem(el) {
  const sys = { wmi: null, windowsInstaller: null, dotnet: null, monitors: null, locale: null, ie: null, environment: null, time: null, processors: null, memory: null };
  for (const c of elements(el)) {
    switch (c.nodeName) {
      case 'wmi': sys.wmi = readWmi(c); break;
      case 'windowsinstaller': sys.windowsInstaller = attr(c, 'version'); break;
      case 'dotnet': sys.dotnet = elements(c).map((i) => ({ version: attr(i, 'version'), description: attr(i, 'description') })); break;
      case 'monitors': sys.monitors = elements(c).map(attributesOf); break;
      case 'locale': sys.locale = elements(c).map(attributesOf)[0] ?? record(); break;
      case 'ie': sys.ie = attr(c, 'version'); break;
      case 'environment': sys.environment = elements(c).map((v) => ({ name: attr(v, 'name'), value: attr(v, 'value') })); break;
      case 'time': sys.time = attributesOf(c); break;
      case 'processors': sys.processors = attributesOf(c); break;
      case 'memory': sys.memory = attributesOf(c); break;
      default: break;
    }
  }
  return sys;
}

export function readDisks(el) {
  return elements(el).filter((d) => d.nodeName === 'disk').map((d) => ({
    drive: attr(d, 'drive'),
    type: attr(d, 'type'),
    freeBytes: number(attr(d, 'totalfreebytes')),
    availableBytes: number(attr(d, 'totalavailablebytes')),
    // The report carries no drive size today; one written later is used when present.
    totalBytes: number(d.getAttribute('totalbytes')),
    free: attr(d, 'totalfree'),
  }));
}

export function readRegistryKey(el) {
  const key = { name: attr(el, 'name'), values: [], keys: [] };
  for (const c of elements(el)) {
    if (c.nodeName === 'value') key.values.push({ name: attr(c, 'name'), type: attr(c, 'type'), value: c.getAttribute('value') });
    else if (c.nodeName === 'key') key.keys.push(readRegistryKey(c));
  }
  return key;
}

export function readRegistry(el) {
  return { name: '', values: [], keys: elements(el).filter((k) => k.nodeName === 'key').map(readRegistryKey) };
}

export function readProducts(el) {
  return elements(el).filter((p) => p.nodeName === 'product').map((p) => ({
    name: attr(p, 'name'),
    version: attr(p, 'installedversion'),
    buildLabel: p.getAttribute('buildlabel'),
    comments: p.getAttribute('comments'),
    location: attr(p, 'installlocation'),
    guid: attr(p, 'guid'),
    // Entries of Windows' installed programs carry comments; the maker's own tree a build label.
    source: p.hasAttribute('comments') ? 'installed programs' : 'registry',
    registryPath: null,
  }));
}

// The file's own text: the element holds a line feed, the text, then the indentation of
// the closing tag.
function fileContent(el, depth) {
  let text = el.textContent;
  if (text === '') return null;
  if (text.startsWith('\n')) text = text.slice(1);
  const indent = ' '.repeat(depth + 4);
  if (text.endsWith(indent)) text = text.slice(0, text.length - indent.length);
  else text = text.replace(/ +$/, '');
  return text;
}

export function readFolder(el, depth, path) {
  const dir = { name: attr(el, 'name'), path, dirs: [], files: [] };
  for (const c of elements(el)) {
    if (c.nodeName === 'dir') {
      dir.dirs.push(readFolder(c, depth + 1, path.concat(attr(c, 'name'))));
    } else if (c.nodeName === 'file') {
      const content = fileContent(c, depth);
      dir.files.push({
        name: attr(c, 'name'),
        bytes: number(attr(c, 'bytes')),
        size: attr(c, 'size'),
        date: attr(c, 'datemodified'),
        version: c.getAttribute('version'),
        content,
        cut: content !== null && content.includes(CUT_BANNER),
      });
    }
  }
  return dir;
}

export function readFilesystem(el) {
  return readFolder(el, 0, []);
}

export function readProcesses(el) {
  const wmi = elements(el).find((c) => c.nodeName === 'wmi');
  return wmi ? elements(wmi).map(attributesOf) : [];
}

function readGroup(el, depth) {
  const group = { name: el.nodeName, attrs: Object.entries(attributesOf(el)), children: [], cutDeeper: false };
  if (depth >= MAX_GROUP_DEPTH) {
    group.cutDeeper = elements(el).length > 0;
    return group;
  }
  for (const c of elements(el)) group.children.push(readGroup(c, depth + 1));
  return group;
}

export function readEvents(el) {
  return elements(el).filter((e) => e.nodeName === 'event').map((e) => {
    const a = attributesOf(e);
    const eventtime = a.eventtime ?? '';
    const elapsed = a.elapsed ?? null;
    return { name: a.name ?? '', value: a.value ?? '', eventtime, elapsed, eventtimeMs: parseDuration(eventtime), elapsedMs: parseDuration(elapsed) };
  });
}

// Product keys of the maker's tree in both registry views, so that each registry-sourced
// product can say where it was found.
function linkProducts(model) {
  if (!model.products || !model.registry) return;
  const keys = [];
  const walk = (key, path) => {
    const label = key.values.find((v) => v.name === 'ProductLabel');
    if (label && path.some((p) => p.toUpperCase() === 'KORVEL-AB')) keys.push({ label: label.value ?? '', path, wow: path.includes('WOW6432Node') });
    for (const k of key.keys) walk(k, path.concat(k.name));
  };
  for (const k of model.registry.keys) walk(k, [k.name]);
  const used = new Set();
  for (const p of model.products) {
    if (p.source !== 'registry') continue;
    const hit = keys.find((k) => !used.has(k) && k.label === p.name);
    if (hit) {
      used.add(hit);
      p.registryPath = hit.path;
      p.source = hit.wow ? 'registry, 32-bit view' : 'registry, 64-bit view';
    }
  }
}

// Chromium reports a parse error as a <parsererror> element inside the document;
// its text names the line and column.
export function parseErrorOf(text) {
  const m = /line (\d+) at column (\d+):?\s*(.*)/s.exec(text);
  if (!m) return { message: text.replace(/Below is a rendering of the page.*$/s, '').trim(), line: null, column: null };
  const message = m[3].replace(/Below is a rendering of the page.*$/s, '').trim().split('\n')[0];
  return { message, line: Number(m[1]), column: Number(m[2]) };
}

export function buildModel(doc, fileName, parseError) {
  const root = doc.documentElement;
  if (!root || root.nodeName === 'parsererror' || (root.nodeName === 'html' && parseError)) {
    const where = parseError?.line ? ` (line ${parseError.line}, column ${parseError.column})` : '';
    throw new ReportError(`${fileName} is not an XML document: ${parseError?.message || 'it holds no element'}${where}.`);
  }
  if (root.nodeName !== 'vitascan') {
    throw new ReportError(`${fileName} is not a Vitascan report: its root element is <${root.nodeName}>, not <vitascan>.`);
  }
  const model = {
    fileName,
    version: attr(root, 'version'),
    versionDisplay: attr(root, 'versionDisplay'),
    broken: parseError ?? null,
    groups: [], events: null,
    networking: null, system: null, disks: null, registry: null, products: null, filesystem: null, processes: null,
  };
  const readers = { networking: readNetworking, system: readSystem, disks: readDisks, registry: readRegistry, products: readProducts, filesystem: readFilesystem, processes: readProcesses };
  // Sections are the trailing elements in their fixed order; a client group may carry a
  // section's name, but it comes before them.
  const children = elements(root).filter((el) => el.nodeName !== 'parsererror');
  let first = children.length;
  let rank = SECTION_NAMES.length;
  while (first > 0) {
    const r = SECTION_NAMES.indexOf(children[first - 1].nodeName);
    if (r < 0 || r >= rank) break;
    rank = r;
    first--;
  }
  children.forEach((el, i) => {
    if (i >= first) model[el.nodeName] = readers[el.nodeName](el);
    else if (el.nodeName === 'events' && model.events === null) model.events = readEvents(el);
    else model.groups.push(readGroup(el, 1));
  });
  linkProducts(model);
  return model;
}

// The files section is most of a large report. Cut out, it can be parsed after the
// overview is shown. It is the last "<filesystem>" line of the document: client groups
// come before it, and nothing after it (the processes) can hold that line.
export function splitFilesSection(text) {
  const open = text.lastIndexOf('\n<filesystem>');
  if (open < 0 || !/^\r?\n/.test(text.slice(open + 13, open + 15))) return null;
  const close = text.indexOf('\n</filesystem>', open);
  if (close < 0) return null;
  const end = close + 15;
  let lines = 1;
  for (let i = text.indexOf('\n'); i >= 0 && i <= open; i = text.indexOf('\n', i + 1)) lines++;
  return { outer: `${text.slice(0, open + 1)}<filesystem/>${text.slice(end)}`, files: text.slice(open + 1, end), firstLine: lines };
}

// Reads a separately parsed files section into the model; a break in it is reported at
// its line in the whole document.
export function addFilesSection(model, parsed, firstLine) {
  const root = parsed.doc.documentElement;
  model.filesystem = root && root.nodeName === 'filesystem' ? readFilesystem(root) : { name: '', path: [], dirs: [], files: [] };
  if (parsed.error && !model.broken) {
    model.broken = { ...parsed.error, line: parsed.error.line != null ? parsed.error.line + firstLine - 1 : null };
  }
}

// parseXml(text) gives { doc, error } where error is null or { message, line, column }.
export function readReport(text, fileName, parseXml) {
  if (text.trim() === '') throw new ReportError(`${fileName} is empty.`);
  const { doc, error } = parseXml(text);
  return buildModel(doc, fileName, error);
}

// All files of the tree with their folder path, depth first.
export function* allFiles(dir) {
  const stack = [dir];
  while (stack.length) {
    const d = stack.pop();
    for (const f of d.files) yield { dir: d, file: f };
    for (let i = d.dirs.length - 1; i >= 0; i--) stack.push(d.dirs[i]);
  }
}

// Windows compares folder names ignoring case.
export function findFolder(root, path) {
  let d = root;
  for (const name of path) d = d?.dirs.find((c) => c.name.toLowerCase() === name.toLowerCase());
  return d ?? null;
}

// WMI properties of the first instance of a class, or an empty record.
export function wmiFirst(model, cls) {
  return model.system?.wmi?.find((c) => c.name === cls)?.instances[0] ?? record();
}
