// Differences between two models, section by section. Each section flattens its model
// part into keyed items; an item is added, removed, changed or the same, and keeps the
// place of each side so that a difference links to both reports.
import { allFiles } from './model.js';

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
  return (m.products ?? []).map((p, i) => ({ key: `${p.name} (${p.source})`, value: [p.version, p.buildLabel, p.location].filter((x) => x != null && x !== '').join(', '), place: { view: 'overview', anchor: `product-${i}` } }));
}

function environment(m) {
  return (m.system?.environment ?? []).map((v, i) => ({ key: v.name, value: v.value, place: { view: 'environment', index: i } }));
}

function registry(m) {
  const out = [];
  const walk = (key, path) => {
    for (const v of key.values) out.push({ key: `${path.join('\\')}\\${v.name}`, value: `${v.type} ${v.value ?? ''}`.trim(), place: { view: 'registry', path, value: v.name } });
    for (const k of key.keys) walk(k, path.concat(k.name));
  };
  if (m.registry) walk(m.registry, []);
  return out;
}

function drives(m) {
  return (m.disks ?? []).map((d, i) => ({ key: d.drive, value: `${((d.freeBytes ?? 0) / 1024 ** 3).toFixed(1)} GB free`, place: { view: 'overview', anchor: `drive-${i}` } }));
}

function files(m) {
  if (!m.filesystem) return [];
  const out = [];
  let lastDir = null;
  let prefix = '';
  for (const { dir, file } of allFiles(m.filesystem)) {
    if (dir !== lastDir) {
      lastDir = dir;
      prefix = `${dir.path.join('\\')}\\`;
    }
    out.push({ key: prefix + file.name, value: `${file.bytes ?? ''} bytes, ${file.date}${file.version ? `, version ${file.version}` : ''}`, place: { view: 'files', path: dir.path, file: file.name, line: null } });
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
  return [...byName].map(([name, e]) => ({ key: name, value: e.count === 1 ? 'running' : `running ×${e.count}`, place: { view: 'processes', index: e.first } }));
}

function system(m) {
  const out = [];
  for (const cls of m.system?.wmi ?? []) {
    cls.instances.forEach((inst, n) => {
      for (const [k, v] of Object.entries(inst)) out.push({ key: `${cls.name}${cls.instances.length > 1 ? ` #${n + 1}` : ''}.${k}`, value: v, place: { view: 'system', cls: cls.name, instance: n, prop: k } });
    });
  }
  const sys = m.system;
  if (sys?.windowsInstaller != null) out.push({ key: 'Windows Installer', value: sys.windowsInstaller, place: { view: 'system' } });
  if (sys?.ie != null) out.push({ key: 'Internet Explorer', value: sys.ie, place: { view: 'system' } });
  (sys?.dotnet ?? []).forEach((d) => out.push({ key: `.NET Framework ${d.version}`, value: 'installed', place: { view: 'system' } }));
  return out;
}

export const COMPARED_SECTIONS = [
  ['products', 'Products', products],
  ['environment', 'Environment', environment],
  ['registry', 'Registry values', registry],
  ['drives', 'Drives', drives],
  ['files', 'Files', files],
  ['processes', 'Processes', processes],
  ['system', 'System properties', system],
];

export function compareSection(itemsA, itemsB) {
  const a = keyed(itemsA);
  const b = keyed(itemsB);
  const items = [];
  const counts = { added: 0, removed: 0, changed: 0, same: 0 };
  for (const [key, x] of a) {
    const y = b.get(key);
    const status = !y ? 'removed' : x.value === y.value ? 'same' : 'changed';
    counts[status]++;
    items.push({ key, status, before: x.value, after: y ? y.value : null, placeA: x.place, placeB: y ? y.place : null });
  }
  for (const [key, y] of b) {
    if (a.has(key)) continue;
    counts.added++;
    items.push({ key, status: 'added', before: null, after: y.value, placeA: null, placeB: y.place });
  }
  return { items, counts };
}

export function compareModels(a, b) {
  return COMPARED_SECTIONS.map(([id, label, items]) => ({ id, label, ...compareSection(items(a), items(b)) }));
}

export function differenceCount(section) {
  return section.counts.added + section.counts.removed + section.counts.changed;
}
