// Differences between two models, section by section. Each section flattens its model
// part into keyed items; an item is added, removed, changed or the same, and keeps the
// place of each side so that a difference links to both reports. Values that change
// between any two runs on one machine (free memory, clock and boot times) are marked
// volatile: they are counted apart, so that the real changes stand out.
import { allFiles, eachFolder, eachKey, pathText, unreadNote } from './model.js';
import { driveFacts } from './facts.js';
import { bytesText } from './format.js';
import { fileDate } from './dates.js';
import { wmiInstances, systemRows } from './system.js';

const VOLATILE = new RegExp(
  [
    '\\.(Free\\w*|LocalDateTime|LastBootUpTime|\\w*UpTime)$',
    '\\.(NumberOfProcesses|NumberOfUsers|CurrentClockSpeed|LoadPercentage)$',
    '^memory\\.(pageavail|avail)\\w*$',
    '^time\\.(time|date)$',
  ].join('|'),
  'i',
);

// Keys that repeat within one report (two products of the same name) get a running number.
function keyed(list) {
  const seen = new Map();
  const out = new Map();
  for (const it of list) {
    const n = (seen.get(it.key) ?? 0) + 1;
    seen.set(it.key, n);
    out.set(n > 1 ? `${it.key} #${n}` : it.key, it);
  }
  return out;
}

function products(m) {
  return (m.products ?? []).map((p, i) => ({
    key: `${p.name} (${p.source})`,
    value: [p.version, p.buildLabel, p.location].filter((x) => x != null && x !== '').join(', '),
    place: { view: 'overview', anchor: `product-${i}` },
  }));
}

function environment(m) {
  return (m.system?.environment ?? []).map((v, i) => ({
    key: v.name,
    value: v.value,
    place: { view: 'environment', index: i },
  }));
}

// A key or folder that was not read differs from one that was: "folder (Could not be
// read: Access denied.)".
function withNote(what, node) {
  const note = unreadNote(node);
  return note ? `${what} (${note})` : what;
}

// Keys compare by their path; a path that two top-level keys share is one item.
function registry(m) {
  const out = [];
  const keys = new Set();
  if (!m.registry) return out;
  eachKey(m.registry, (key) => {
    const path = pathText(key);
    if (key.path.length && !keys.has(path)) {
      keys.add(path);
      out.push({
        key: `${path}\\`,
        value: withNote('key', key),
        place: { view: 'registry', key: key.at, value: null },
      });
    }
    key.values.forEach((v, i) => {
      const value = `${v.type} ${v.value ?? ''}`.trim();
      out.push({
        key: `${path}\\${v.name}`,
        value,
        place: { view: 'registry', key: key.at, value: i },
      });
    });
  });
  return out;
}

function drives(m) {
  return driveFacts(m).map((d, i) => ({
    key: d.drive,
    value: `${bytesText(d.free ?? 0)} free`,
    place: { view: 'overview', anchor: `drive-${i}` },
  }));
}

function files(m) {
  if (!m.filesystem) return [];
  const out = [];
  eachFolder(m.filesystem, (dir) => {
    if (dir.path.length) {
      const place = { view: 'files', at: dir.at, file: null, line: null };
      out.push({ key: `${pathText(dir)}\\`, value: withNote('folder', dir), place });
    }
  });
  let lastDir = null;
  let prefix = '';
  for (const { dir, file, index } of allFiles(m.filesystem)) {
    if (dir !== lastDir) {
      lastDir = dir;
      prefix = `${pathText(dir)}\\`;
    }
    const version = file.version ? `, version ${file.version}` : '';
    out.push({
      key: prefix + file.name,
      value: `${file.bytes ?? ''} bytes, ${fileDate(file.date)?.shown ?? file.date}${version}`,
      place: { view: 'files', at: dir.at, file: index, line: null },
    });
  }
  return out;
}

// Processes differ in their ids every run: they compare by name and count.
function processes(m) {
  const byName = new Map();
  (m.processes ?? []).forEach((p, i) => {
    const name = p.Name ?? '';
    const e = byName.get(name) ?? { count: 0, first: i };
    e.count++;
    byName.set(name, e);
  });
  return [...byName].map(([name, e]) => ({
    key: name,
    value: e.count === 1 ? 'running' : `running ×${e.count}`,
    place: { view: 'processes', index: e.first },
  }));
}

function system(m) {
  const sys = m.system;
  const out = wmiInstances(sys).flatMap((i) =>
    i.rows.map(({ key, value, place }) => ({ key, value, place })),
  );
  for (const { key, value } of systemRows(sys))
    out.push({ key, value, place: { view: 'system', other: key } });
  return out;
}

export const COMPARED_SECTIONS = [
  ['products', 'Products', products],
  ['environment', 'Environment', environment],
  ['registry', 'Registry keys and values', registry],
  ['drives', 'Drives', drives],
  ['files', 'Folders and files', files],
  ['processes', 'Processes', processes],
  ['system', 'System properties', system],
];

export function compareSection(itemsA, itemsB) {
  const a = keyed(itemsA);
  const b = keyed(itemsB);
  const items = [];
  const counts = { added: 0, removed: 0, changed: 0, volatile: 0, same: 0 };
  for (const [key, x] of a) {
    const y = b.get(key);
    const status = !y ? 'removed' : x.value === y.value ? 'same' : 'changed';
    const volatile = status === 'changed' && VOLATILE.test(key);
    counts[volatile ? 'volatile' : status]++;
    const after = y ? y.value : null;
    items.push({
      key,
      status,
      volatile,
      before: x.value,
      after,
      placeA: x.place,
      placeB: y?.place ?? null,
    });
  }
  for (const [key, y] of b) {
    if (a.has(key)) continue;
    counts.added++;
    const item = { key, status: 'added', volatile: false, before: null, after: y.value };
    items.push({ ...item, placeA: null, placeB: y.place });
  }
  return { items, counts };
}

export function compareModels(a, b) {
  return COMPARED_SECTIONS.map(([id, label, items]) => ({
    id,
    label,
    ...compareSection(items(a), items(b)),
  }));
}

// The real differences of a section: volatile values are not counted.
export function differenceCount(section) {
  return section.counts.added + section.counts.removed + section.counts.changed;
}

export function realDifferences(section) {
  return section.items.filter((i) => i.status !== 'same' && !i.volatile);
}
