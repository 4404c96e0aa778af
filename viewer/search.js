// Search over the model's texts. Each indexed text remembers its place, the same place
// object the views use to open a section and show one item.
import { allFiles } from './model.js';

export const MAX_HITS = 5000;

function add(index, text, label, place) {
  if (text) index.items.push({ lower: String(text).toLowerCase(), text: String(text), label, place });
}

export function buildIndex(model) {
  const index = { items: [], contents: [] };
  (model.networking ?? []).forEach((a, i) => {
    const place = { view: 'overview', anchor: `adapter-${i}` };
    add(index, a.description, 'Network adapter', place);
    add(index, a.address, 'Network adapter address', place);
    a.ips.forEach((ip) => add(index, ip.address, 'IP address', place));
  });
  (model.system?.wmi ?? []).forEach((cls) => cls.instances.forEach((inst, n) => {
    for (const [k, v] of Object.entries(inst)) add(index, `${k}=${v}`, `${cls.name} property`, { view: 'system', cls: cls.name, instance: n, prop: k });
  }));
  (model.system?.environment ?? []).forEach((v, i) => add(index, `${v.name}=${v.value}`, 'Environment variable', { view: 'environment', index: i }));
  (model.disks ?? []).forEach((d, i) => add(index, d.drive, 'Drive', { view: 'overview', anchor: `drive-${i}` }));
  const walkKey = (key, path) => {
    if (path.length) add(index, key.name, 'Registry key', { view: 'registry', path, value: null });
    for (const v of key.values) add(index, `${v.name} ${v.value ?? ''}`, 'Registry value', { view: 'registry', path, value: v.name });
    for (const k of key.keys) walkKey(k, path.concat(k.name));
  };
  if (model.registry) walkKey(model.registry, []);
  (model.products ?? []).forEach((p, i) => add(index, `${p.name} ${p.version} ${p.location}`, 'Product', { view: 'overview', anchor: `product-${i}` }));
  if (model.filesystem) {
    const dirs = [model.filesystem];
    while (dirs.length) {
      const d = dirs.pop();
      if (d.path.length) add(index, d.name, 'Folder', { view: 'files', path: d.path, file: null, line: null });
      dirs.push(...d.dirs);
    }
    for (const { dir, file } of allFiles(model.filesystem)) {
      const place = { view: 'files', path: dir.path, file: file.name, line: null };
      add(index, file.name, 'File', place);
      if (file.content) index.contents.push({ lower: file.content.toLowerCase(), text: file.content, place });
    }
  }
  (model.processes ?? []).forEach((p, i) => add(index, `${p.Name ?? ''} ${p.CommandLine ?? ''}`, 'Process', { view: 'processes', index: i }));
  (model.events ?? []).forEach((e, i) => add(index, `${e.name} ${e.value}`, 'Event', { view: 'events', index: i }));
  const walkGroup = (g, path) => {
    add(index, g.name, 'Group', { view: 'groups', path });
    for (const [k, v] of g.attrs) add(index, `${k}=${v}`, 'Data point', { view: 'groups', path });
    g.children.forEach((c, i) => walkGroup(c, path.concat(i)));
  };
  model.groups.forEach((g, i) => walkGroup(g, [i]));
  return index;
}

function snippet(text, at, length) {
  const start = Math.max(0, at - 40);
  const end = Math.min(text.length, at + length + 40);
  return (start > 0 ? '…' : '') + text.slice(start, end).replace(/\s+/g, ' ') + (end < text.length ? '…' : '');
}

// Hits in report order: items first, then every matching line of the embedded files.
export function search(index, query, limit = MAX_HITS) {
  const q = query.trim().toLowerCase();
  const hits = [];
  if (!q) return hits;
  for (const it of index.items) {
    if (hits.length >= limit) return hits;
    const at = it.lower.indexOf(q);
    if (at >= 0) hits.push({ label: it.label, snippet: snippet(it.text, at, q.length), place: it.place });
  }
  for (const c of index.contents) {
    let at = c.lower.indexOf(q);
    let line = 1;
    let counted = 0;
    while (at >= 0) {
      if (hits.length >= limit) return hits;
      for (let i = c.lower.indexOf('\n', counted); i >= 0 && i < at; i = c.lower.indexOf('\n', i + 1)) line++, counted = i + 1;
      const lineStart = c.text.lastIndexOf('\n', at) + 1;
      let lineEnd = c.text.indexOf('\n', at);
      if (lineEnd < 0) lineEnd = c.text.length;
      hits.push({ label: `${c.place.file}, line ${line}`, snippet: snippet(c.text.slice(lineStart, lineEnd), at - lineStart, q.length), place: { ...c.place, line } });
      // One hit per line: go on from the next line.
      at = c.lower.indexOf(q, lineEnd);
    }
  }
  return hits;
}
