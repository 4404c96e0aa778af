// Turns report text into a plain model: one reader per block. The model holds only
// strings, numbers, arrays and records, so views, findings, compare and search all read
// the same thing and never touch the text again. Keys, folders and client groups nest up
// to MAX_DEPTH levels; deeper ones are left out and their parent says so (cutDeeper).
import { xmlReader, treeBuilder, lineAndColumn } from './xml.js';
import { eachKey, CUT_BANNER } from '../lib/model.js';
import { readablePreview } from './bytes.js';

export const SECTION_NAMES = [
  'networking',
  'system',
  'disks',
  'registry',
  'products',
  'filesystem',
  'processes',
];
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
  else t = t.replace(/ +$/, '');
  return t;
}

// Builds the files section from the reader's calls, so that it can be read in steps.
export function folderBuilder() {
  const folder = (name, parent) => ({
    name,
    path: parent ? parent.path.concat(name) : [],
    at: parent ? parent.at.concat(parent.dirs.length) : [],
    dirs: [],
    files: [],
    cutDeeper: false,
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
        const dir = folder(attrs.name ?? '', top.dir);
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

// Replays a read tree into a handler, without recursion.
function replay(node, handler) {
  const stack = [[node, 0]];
  handler.open(node.name, node.attrs);
  if (node.text !== null) handler.text(node.text);
  while (stack.length) {
    const top = stack[stack.length - 1];
    const child = top[0].children[top[1]++];
    if (!child) {
      stack.pop();
      handler.close();
      continue;
    }
    handler.open(child.name, child.attrs);
    if (child.text !== null) handler.text(child.text);
    stack.push([child, 0]);
  }
}

export function readFilesystem(el) {
  const builder = folderBuilder();
  replay(el, builder);
  return builder.root;
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

const READERS = {
  networking: readNetworking,
  system: readSystem,
  disks: readDisks,
  registry: readRegistry,
  products: readProducts,
  filesystem: readFilesystem,
  processes: readProcesses,
};

function emptyModel(fileName, broken) {
  return {
    fileName,
    version: '',
    versionDisplay: '',
    broken,
    groups: [],
    events: null,
    networking: null,
    system: null,
    disks: null,
    registry: null,
    products: null,
    filesystem: null,
    processes: null,
  };
}

// root is the read tree's document node; broken the reader's error, if any, as
// { message, line, column }.
export function buildModel(root, fileName, broken = null) {
  const top = root.children[0];
  if (top.name !== 'vitascan') {
    throw new ReportError(
      `${fileName} is not a Vitascan report: its root element is <${top.name}>, not <vitascan>.`,
    );
  }
  const model = emptyModel(fileName, broken);
  model.version = attr(top, 'version');
  model.versionDisplay = attr(top, 'versionDisplay');
  // Sections are the trailing elements in their fixed order; a client group may carry a
  // section's name, but it comes before them.
  const children = top.children;
  let first = children.length;
  let rank = SECTION_NAMES.length;
  while (first > 0) {
    const r = SECTION_NAMES.indexOf(children[first - 1].name);
    if (r < 0 || r >= rank) break;
    rank = r;
    first--;
  }
  children.forEach((el, i) => {
    if (i >= first) model[el.name] = READERS[el.name](el);
    else if (el.name === 'events' && model.events === null) model.events = readEvents(el);
    else model.groups.push(readGroup(el, model.groups.length));
  });
  linkProducts(model);
  return model;
}

function brokenAt(text, error, firstLine = 1) {
  const { line, column } = lineAndColumn(text, error.offset);
  return { message: error.message, line: line + firstLine - 1, column };
}

// A report read in steps: run(deadline) reads until the deadline (a performance.now()
// time) and says whether it is done; model() then gives the model. A text that is not
// XML, or not a report, throws a ReportError whose message names the file and the problem.
export function reportReader(text, fileName) {
  if (text.trim() === '') throw new ReportError(`${fileName} is empty.`);
  const builder = treeBuilder();
  const reader = xmlReader(text, builder);
  const model = () => {
    if (!builder.root.children.length) {
      const { message } = reader.error;
      const where = brokenAt(text, reader.error);
      throw new ReportError(
        `${fileName} is not an XML document: ${message} (line ${where.line}, column ${where.column}). ` +
          `It begins: ${readablePreview(text)}`,
      );
    }
    // What was read before a break is closed where it stopped.
    return buildModel(builder.root, fileName, reader.error ? brokenAt(text, reader.error) : null);
  };
  return { run: (deadline) => reader.run(deadline), model };
}

// The whole report read at once.
export function readReport(text, fileName) {
  const reader = reportReader(text, fileName);
  reader.run();
  return reader.model();
}

// The files section is most of a large report. Cut out, it can be read after the
// overview is shown. It is the last "<filesystem>" line of the document: client groups
// come before it, and nothing after it (the processes) can hold that line.
export function splitFilesSection(text) {
  const open = text.lastIndexOf('\n<filesystem>');
  if (open < 0 || !/^\r?\n/.test(text.slice(open + 13, open + 15))) return null;
  const close = text.indexOf('\n</filesystem>', open);
  if (close < 0) return null;
  const end = close + 15;
  return {
    outer: `${text.slice(0, open + 1)}<filesystem/>${text.slice(end)}`,
    files: text.slice(open + 1, end),
    firstLine: lineAndColumn(text, open + 1).line,
  };
}

// Reads a files section cut out by splitFilesSection into the model, in steps:
// run(deadline) reads until the deadline and says whether it is done. A break is reported
// at its line in the whole document.
export function filesSectionReader(model, split) {
  const builder = folderBuilder();
  const reader = xmlReader(split.files, builder);
  return {
    run(deadline) {
      if (!reader.run(deadline)) return false;
      model.filesystem = builder.root;
      if (reader.error && !model.broken)
        model.broken = brokenAt(split.files, reader.error, split.firstLine);
      return true;
    },
  };
}
