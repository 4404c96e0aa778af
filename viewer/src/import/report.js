// Turns report text into a plain model: one reader per block. The model holds only
// strings, numbers, arrays and records, so views, findings, compare and search all read
// the same thing and never touch the text again. Keys, folders and client groups nest up
// to MAX_DEPTH levels; deeper ones are left out and their parent says so (cutDeeper).
import { xmlReader, treeBuilder, lineAndColumn } from './xml.js';
import { eachKey, CUT_BANNER, PARTS } from '../lib/model.js';
import { readablePreview } from './bytes.js';

// The sections: the parts after the client's groups and events.
export const SECTION_NAMES = PARTS.slice(2);
export const MAX_DEPTH = 200;

export class ReportError extends Error {}

function record() {
  return Object.create(null);
}

function attr(node, name) {
  return node.attrs[name] ?? '';
}

function number(text) {
  if (!/^\s*-?\d+\s*$/.test(text ?? '')) return null;
  return Number(text);
}

// "1d 1:01:01.001" to milliseconds; null for any other text.
export function parseDuration(text) {
  const m = /^(-?\d+)d (-?\d+):(\d\d):(\d\d)\.(\d\d\d)$/.exec(text ?? '');
  if (!m) return null;
  const [d, h, min, s, ms] = m.slice(1).map(Number);
  return ((d * 24 + h) * 60 + min) * 60000 + s * 1000 + ms;
}

const childrenNamed = (node, name) => node.children.filter((c) => c.name === name);

export function readNetworking(el) {
  return childrenNamed(el, 'adapter').map((a) => ({
    description: attr(a, 'description'),
    address: attr(a, 'address'),
    ips: childrenNamed(a, 'ip').map((i) => ({
      address: attr(i, 'address'),
      mask: attr(i, 'mask'),
    })),
  }));
}

// One entry per class, in report order, each with its instances' properties.
function readWmi(el) {
  const classes = [];
  const byName = new Map();
  for (const inst of el.children) {
    let cls = byName.get(inst.name);
    if (!cls) {
      cls = { name: inst.name, instances: [] };
      byName.set(inst.name, cls);
      classes.push(cls);
    }
    cls.instances.push(inst.attrs);
  }
  return classes;
}

const SYSTEM_PARTS = {
  wmi: (s, c) => (s.wmi = readWmi(c)),
  windowsinstaller: (s, c) => (s.windowsInstaller = attr(c, 'version')),
  dotnet: (s, c) =>
    (s.dotnet = c.children.map((i) => ({
      version: attr(i, 'version'),
      description: attr(i, 'description'),
    }))),
  monitors: (s, c) => (s.monitors = c.children.map((m) => m.attrs)),
  locale: (s, c) => (s.locale = c.children[0]?.attrs ?? record()),
  ie: (s, c) => (s.ie = attr(c, 'version')),
  environment: (s, c) =>
    (s.environment = c.children.map((v) => ({ name: attr(v, 'name'), value: attr(v, 'value') }))),
  time: (s, c) => (s.time = c.attrs),
  processors: (s, c) => (s.processors = c.attrs),
  memory: (s, c) => (s.memory = c.attrs),
};

export function readSystem(el) {
  const sys = { wmi: null, windowsInstaller: null, dotnet: null, monitors: null, locale: null };
  Object.assign(sys, { ie: null, environment: null, time: null, processors: null, memory: null });
  for (const c of el.children)
    if (Object.hasOwn(SYSTEM_PARTS, c.name)) SYSTEM_PARTS[c.name](sys, c);
  return sys;
}

export function readDisks(el) {
  return childrenNamed(el, 'disk').map((d) => ({
    drive: attr(d, 'drive'),
    type: attr(d, 'type'),
    freeBytes: number(attr(d, 'totalfreebytes')),
    availableBytes: number(attr(d, 'totalavailablebytes')),
    // The report carries no drive size today; one written later is used when present.
    totalBytes: number(d.attrs.totalbytes),
    free: attr(d, 'totalfree'),
  }));
}

// A nested tree read with an explicit stack: make(node, parent) adds the model item of a
// node to its parent and returns it; nests(node) says whether a node is a level of the
// tree (a key) or an entry of its parent (a value).
function readNested(top, make, nests, rootDepth) {
  const root = make(top, null);
  const stack = [[top, root, rootDepth]];
  while (stack.length) {
    const [node, item, depth] = stack.pop();
    for (const child of node.children) {
      if (!nests(child)) make(child, item);
      else if (depth >= MAX_DEPTH) item.cutDeeper = true;
      else stack.push([child, make(child, item), depth + 1]);
    }
  }
  return root;
}

function keyItem(node, parent) {
  if (parent && node.name !== 'key') {
    if (node.name === 'value') {
      const value = node.attrs.value ?? null;
      parent.values.push({ name: attr(node, 'name'), type: attr(node, 'type'), value });
    }
    return null;
  }
  // Index paths name a key by its place, as names repeat (two top-level HKLM keys).
  const key = { name: parent ? attr(node, 'name') : '', values: [], keys: [], cutDeeper: false };
  key.error = node.attrs.error ?? null;
  key.path = parent ? parent.path.concat(key.name) : [];
  key.at = parent ? parent.at.concat(parent.keys.length) : [];
  parent?.keys.push(key);
  return key;
}

export function readRegistry(el) {
  return readNested(el, keyItem, (n) => n.name === 'key', 0);
}

export function readProducts(el) {
  return childrenNamed(el, 'product').map((p) => ({
    name: attr(p, 'name'),
    version: attr(p, 'installedversion'),
    buildLabel: p.attrs.buildlabel ?? null,
    comments: p.attrs.comments ?? null,
    location: attr(p, 'installlocation'),
    guid: attr(p, 'guid'),
    // Entries of Windows' installed programs carry comments; the maker's own tree a build label.
    source: 'comments' in p.attrs ? 'installed programs' : 'registry',
    registryAt: null,
  }));
}

// The file's own text: the element holds a line feed, the text, then the indentation of
// the closing tag.
function fileContent(text, depth) {
  if (text === null || text === '') return null;
  let t = text.startsWith('\n') ? text.slice(1) : text;
  const indent = ' '.repeat(depth + 4);
  if (t.endsWith(indent)) t = t.slice(0, t.length - indent.length);
  else {
    // Not / +$/: on a long run of blanks before other text that would be quadratic.
    let end = t.length;
    while (end > 0 && t.charCodeAt(end - 1) === 32) end--;
    t = t.slice(0, end);
  }
  return t;
}

// Builds the files section from the reader's calls, so that it can be read in steps.
export function folderBuilder() {
  // link, stopped and error say why the program did not go into a folder (one at most).
  const folder = (name, parent, attrs = {}) => ({
    name,
    path: parent ? parent.path.concat(name) : [],
    at: parent ? parent.at.concat(parent.dirs.length) : [],
    dirs: [],
    files: [],
    cutDeeper: false,
    link: attrs.link ?? null,
    stopped: attrs.stopped ?? null,
    error: attrs.error ?? null,
  });
  const root = folder('', null);
  const stack = [];
  const pieces = [];
  return {
    root,
    open(name, attrs) {
      const top = stack[stack.length - 1];
      if (!top) return stack.push({ dir: root });
      if (!top.dir) return stack.push({});
      if (name === 'dir' && top.dir.path.length >= MAX_DEPTH) {
        top.dir.cutDeeper = true;
        return stack.push({});
      }
      if (name === 'dir') {
        const dir = folder(attrs.name ?? '', top.dir, attrs);
        top.dir.dirs.push(dir);
        return stack.push({ dir });
      }
      if (name !== 'file') return stack.push({});
      const file = {
        name: attrs.name ?? '',
        bytes: number(attrs.bytes),
        size: attrs.size ?? '',
        date: attrs.datemodified ?? '',
        version: attrs.version ?? null,
        content: null,
        cut: false,
      };
      top.dir.files.push(file);
      pieces.length = 0;
      stack.push({ file, depth: top.dir.path.length });
    },
    text(t) {
      if (stack[stack.length - 1]?.file) pieces.push(t);
    },
    close() {
      const { file, depth } = stack.pop();
      if (!file || !pieces.length) return;
      file.content = fileContent(pieces.join(''), depth);
      file.cut = file.content !== null && file.content.includes(CUT_BANNER);
      pieces.length = 0;
    },
  };
}

export function readProcesses(el) {
  const wmi = el.children.find((c) => c.name === 'wmi');
  return wmi ? wmi.children.map((c) => c.attrs) : [];
}

function readGroup(el, index) {
  const make = (node, parent) => {
    const group = { name: node.name, attrs: Object.entries(node.attrs), children: [] };
    group.cutDeeper = false;
    group.path = parent ? parent.path.concat(parent.children.length) : [index];
    parent?.children.push(group);
    return group;
  };
  return readNested(el, make, () => true, 1);
}

export function readEvents(el) {
  return childrenNamed(el, 'event').map((e) => {
    const eventtime = attr(e, 'eventtime');
    const elapsed = e.attrs.elapsed ?? null;
    return {
      name: attr(e, 'name'),
      value: attr(e, 'value'),
      eventtime,
      elapsed,
      eventtimeMs: parseDuration(eventtime),
      elapsedMs: parseDuration(elapsed),
    };
  });
}

// Product keys of the maker's tree in both registry views, so that each registry-sourced
// product can say where it was found.
function linkProducts(model) {
  if (!model.products || !model.registry) return;
  const keys = [];
  eachKey(model.registry, (key) => {
    const label = key.values.find((v) => v.name === 'ProductLabel');
    if (label && key.path.some((p) => p.toUpperCase() === 'KORVEL-AB')) {
      keys.push({ label: label.value ?? '', at: key.at, wow: key.path.includes('WOW6432Node') });
    }
  });
  const used = new Set();
  for (const p of model.products) {
    if (p.source !== 'registry') continue;
    const hit = keys.find((k) => !used.has(k) && k.label === p.name);
    if (hit) {
      used.add(hit);
      p.registryAt = hit.at;
      p.source = hit.wow ? 'registry, 32-bit view' : 'registry, 64-bit view';
    }
  }
}

// The filesystem section is built while it is read (folderBuilder), not from a tree.
const READERS = {
  networking: readNetworking,
  system: readSystem,
  disks: readDisks,
  registry: readRegistry,
  products: readProducts,
  processes: readProcesses,
};

// The newest program version whose reports this viewer knows: a newer one may hold
// parts that it shows only under "Other content".
export const KNOWN_VERSION = [1, 0];

function emptyModel(fileName) {
  return {
    fileName,
    version: '',
    versionDisplay: '',
    newer: false,
    broken: null,
    // Where the file ends early: the top-level part it ends in and the order of the last
    // section begun ({ kind, name, rank }), or null.
    cut: null,
    groups: [],
    events: null,
    networking: null,
    system: null,
    disks: null,
    registry: null,
    products: null,
    filesystem: null,
    processes: null,
    // Elements the format does not have where they stand: { name, line, place }.
    other: [],
    otherCount: 0,
    // What does not match the schema: { count, problems: [{ line, message, part }] }.
    schema: null,
  };
}

const MAX_OTHER = 1000;
// Elements below this depth are not kept: the readers stop at MAX_DEPTH levels inside a
// part (the report, the part, its levels, and one more to know there are deeper ones).
const TREE_DEPTH = MAX_DEPTH + 3;

function isNewer(version) {
  const m = /^(\d+)\.(\d+)$/.exec(version);
  if (!m) return false;
  const [major, minor] = [Number(m[1]), Number(m[2])];
  return major > KNOWN_VERSION[0] || (major === KNOWN_VERSION[0] && minor > KNOWN_VERSION[1]);
}

// Builds the model from the reader's calls, one top-level part at a time, so that what is
// read is in the model as soon as its part ends. A top-level element is a section when it
// has a section's name and comes after the sections before it in their fixed order, the
// events or a client group when it comes before every section, and other content
// otherwise; inside a part, an element the schema does not allow where it stands is other
// content too. Other content is listed with its place and never read into the known parts.
function modelBuilder(fileName, validator) {
  const model = emptyModel(fileName);
  const names = [];
  let rank = -1;
  let part = null;
  let skip = 0;
  let rootSeen = false;
  // place: the names of the elements it stands in, below the report's own.
  const other = (name, line, place) => {
    if (model.otherCount++ < MAX_OTHER) model.other.push({ name, line, place });
  };
  const begin = (name, attrs, line) => {
    const r = SECTION_NAMES.indexOf(name);
    let kind = 'other';
    if (r > rank) kind = 'section';
    else if (rank < 0) kind = name === 'events' && model.events === null ? 'events' : 'group';
    if (kind === 'other') return other(name, line, []);
    if (kind === 'section') rank = r;
    const builder = name === 'filesystem' && kind === 'section' ? folderBuilder() : treeBuilder();
    part = { kind, name, builder, line };
    builder.open(name, attrs, line);
  };
  // What was read of a part, also when the file ends inside it.
  const end = () => {
    const { kind, name, builder } = part;
    const node = builder.root.children?.[0];
    if (kind === 'section')
      model[name] = name === 'filesystem' ? builder.root : READERS[name](node);
    else if (kind === 'events') model.events = readEvents(node);
    else model.groups.push(readGroup(node, model.groups.length));
    part = null;
  };
  return {
    model,
    part: () => part,
    rootSeen: () => rootSeen,
    open(name, attrs, line) {
      if (skip) return skip++;
      if (!names.length) {
        if (name !== 'vitascan') {
          throw new ReportError(
            `${fileName} is not a Vitascan report: its root element is <${name}>, not <vitascan>.`,
          );
        }
        model.version = attrs.version ?? '';
        model.versionDisplay = attrs.versionDisplay ?? '';
        model.newer = isNewer(model.version);
        rootSeen = true;
      }
      if (validator && !validator.open(name, attrs, line, names[1] ?? null) && names.length) {
        other(name, line, names.slice(1));
        skip = 1;
        return;
      }
      names.push(name);
      if (names.length === 2) begin(name, attrs, line);
      else if (part && names.length <= TREE_DEPTH) part.builder.open(name, attrs, line);
    },
    text(t) {
      if (skip) return;
      validator?.text(t);
      if (part && names.length > 2 && names.length <= TREE_DEPTH) part.builder.text(t);
    },
    close() {
      if (skip) return skip--;
      validator?.close();
      const depth = names.length;
      names.pop();
      if (!part) return;
      if (depth <= TREE_DEPTH) part.builder.close();
      if (names.length === 1) end();
    },
    // The file ended early: the part it ends in is read as far as it goes.
    cut() {
      // rank: the place of the last section begun in the sections' order (-1: none).
      model.cut = { kind: part?.kind ?? null, name: part?.name ?? null, rank };
      if (part) end();
    },
  };
}

// A report read in steps: run(deadline) reads until the deadline (a performance.now()
// time) and says whether it is done; model() gives the model, filled as far as it is
// read; part() the top-level part being read. schema, when given, is a compiled schema:
// the report is checked against it as it is read. decoded is decodeBytes' result, or a
// text. A text that is not XML, or not a report, throws a ReportError whose message names
// the file and the problem.
export function reportReader(decoded, fileName, schema = null) {
  const { text, error: badBytes, head } = typeof decoded === 'string' ? { text: decoded } : decoded;
  if (text.trim() === '' && !badBytes) throw new ReportError(`${fileName} is empty.`);
  const validator = schema ? schema.validator() : null;
  const builder = modelBuilder(fileName, validator);
  const reader = xmlReader(text, builder);
  let finished = false;
  let notRead = null;
  const finish = () => {
    finished = true;
    const { model } = builder;
    let error = reader.error;
    // Text cut at a bad byte ends early: that is the error, not what the reader makes of it.
    if (badBytes && (!error || error.offset >= text.length)) {
      const at = lineAndColumn(text, text.length);
      const byte = `0x${badBytes.byte.toString(16).toUpperCase().padStart(2, '0')}`;
      error = {
        message: `byte ${byte} at offset ${badBytes.offset} is not ${badBytes.encoding}`,
        ...at,
      };
    }
    if (!builder.rootSeen()) {
      notRead = notXml(head ?? text, fileName, error);
      return;
    }
    if (error) {
      model.broken = { message: error.message, line: error.line, column: error.column };
      builder.cut();
    }
    if (validator) model.schema = validator.problems();
    linkProducts(model);
  };
  return {
    run(deadline) {
      if (finished) return true;
      if (!reader.run(deadline)) return false;
      finish();
      return true;
    },
    part: () => builder.part(),
    model() {
      if (notRead) throw notRead;
      return builder.model;
    },
  };
}

function notXml(text, fileName, error) {
  const where = error ? ` (line ${error.line}, column ${error.column})` : '';
  return new ReportError(
    `${fileName} is not an XML document: ${error?.message ?? 'it holds no element'}${where}. ` +
      `It begins: ${readablePreview(text)}`,
  );
}

// The whole report read at once.
export function readReport(text, fileName, schema = null) {
  const reader = reportReader(text, fileName, schema);
  reader.run();
  return reader.model();
}
