// Search over the model, ignoring case. Each hit has the place that holds it (the same
// place object the views open: a key, a folder or a row by its position, never by a name
// that may repeat), a label (a message) and a snippet of report text. A query may be a
// path (ProgramData\Pallanto, HKLM\Software\...): keys, folders, files and values match
// when the query ends in their own name, so a path finds the item it names.
import { eachFolder, eachGroup, eachKey, pathText, unreadNote } from './model.js';
import { msg, r, literal } from './text.js';
import { wmiInstances, systemRows } from './system.js';

export const MAX_HITS = 5000;
const SNIPPET_CONTEXT = 40;

function snippet(text, at, length) {
  const start = Math.max(0, at - SNIPPET_CONTEXT);
  const end = Math.min(text.length, at + length + SNIPPET_CONTEXT);
  const cut = text.slice(start, end).replace(/\s+/g, ' ');
  return (start > 0 ? '…' : '') + cut + (end < text.length ? '…' : '');
}

export function search(model, query, limit = MAX_HITS) {
  const q = (query ?? '').trim();
  const hits = [];
  if (!q) return hits;
  const re = new RegExp(literal(q), 'i');
  const isPath = q.includes('\\');
  const full = () => hits.length >= limit;
  const add = (text, label, place) => {
    if (full() || !text) return;
    const m = re.exec(text);
    if (m) hits.push({ label, snippet: snippet(text, m.index, m[0].length), place });
  };
  // A named item under a path: its name, or a path query that ends in its name.
  const addNamed = (parentPath, name, label, place) => {
    if (full()) return;
    if (re.test(name)) return add(name, label, place);
    if (!isPath) return;
    const text = `${parentPath.slice(-(q.length - 1))}\\${name}`;
    if (re.test(text))
      hits.push({ label, snippet: snippet(`${parentPath}\\${name}`, 0, 0), place });
  };

  // A key or folder found by its name, or else by why it was not read.
  const addNoted = (node, what, byName, place) => {
    const before = hits.length;
    byName();
    const note = unreadNote(node);
    if (note && hits.length === before) add(note, msg`${what} ${r(pathText(node))}`, place);
  };

  (model.networking ?? []).forEach((a, i) => {
    const place = { view: 'overview', anchor: `adapter-${i}` };
    add(a.description, ['Network adapter'], place);
    add(a.address, ['Network adapter address'], place);
    a.ips.forEach((ip) => add(ip.address, ['IP address'], place));
  });
  for (const { cls, rows } of wmiInstances(model.system))
    for (const row of rows) add(`${row.prop}=${row.value}`, msg`${r(cls)} property`, row.place);
  for (const row of systemRows(model.system, { dates: true }))
    add(`${row.label} ${row.value}`, ['System information'], { view: 'system', other: row.key });
  (model.system?.environment ?? []).forEach((v, i) => {
    add(`${v.name}=${v.value}`, ['Environment variable'], { view: 'environment', index: i });
  });
  (model.disks ?? []).forEach((d, i) =>
    add(d.drive, ['Drive'], { view: 'overview', anchor: `drive-${i}` }),
  );
  if (model.registry) {
    eachKey(model.registry, (key) => {
      const path = pathText(key);
      const parent = key.path.slice(0, -1).join('\\');
      if (key.path.length) {
        const place = { view: 'registry', key: key.at, value: null };
        addNoted(
          key,
          'Registry key',
          () => addNamed(parent, key.name, ['Registry key'], place),
          place,
        );
      }
      const label = msg`Registry value in ${r(path)}`;
      key.values.forEach((v, i) => {
        const place = { view: 'registry', key: key.at, value: i };
        const before = hits.length;
        add(`${v.name} ${v.type} ${v.value ?? ''}`, label, place);
        if (hits.length === before) addNamed(path, v.name, label, place);
      });
    });
  }
  (model.products ?? []).forEach((p, i) => {
    add(`${p.name} ${p.version} ${p.location}`, ['Product'], {
      view: 'overview',
      anchor: `product-${i}`,
    });
  });
  const contents = [];
  if (model.filesystem) {
    eachFolder(model.filesystem, (dir) => {
      const path = pathText(dir);
      if (dir.path.length) {
        const place = { view: 'files', at: dir.at, file: null, line: null };
        addNoted(
          dir,
          'Folder',
          () => addNamed(dir.path.slice(0, -1).join('\\'), dir.name, ['Folder'], place),
          place,
        );
      }
      // Made once per folder, not per file: over many files that is most of a search's cost.
      const label = msg`File in ${r(path)}`;
      dir.files.forEach((file, index) => {
        const place = { view: 'files', at: dir.at, file: index, line: null };
        addNamed(path, file.name, label, place);
        if (file.content) contents.push({ file, path, place });
      });
    });
  }
  (model.processes ?? []).forEach((p, i) => {
    add(`${p.Name ?? ''} ${p.CommandLine ?? ''}`, ['Process'], { view: 'processes', index: i });
  });
  (model.events ?? []).forEach((e, i) =>
    add(`${e.name} ${e.value}`, ['Event'], { view: 'events', index: i }),
  );
  eachGroup(model.groups, (g) => {
    const place = { view: 'groups', path: g.path };
    add(g.name, ['Group'], place);
    for (const [k, v] of g.attrs) add(`${k}=${v}`, msg`Data point of ${r(g.name)}`, place);
  });
  for (const c of contents) searchLines(c, new RegExp(literal(q), 'gi'), hits, limit);
  return hits;
}

// Whether keys, folders or groups nest deeper than the reader went: those parts are not in
// the model, so a search cannot find what they hold. A read model does not change, and the
// page asks at every step through the hits: the answer is kept.
const cutModels = new WeakMap();
export function cutDeeper(model) {
  if (cutModels.has(model)) return cutModels.get(model);
  let cut = false;
  const note = (node) => (cut ||= node.cutDeeper);
  if (model.registry) eachKey(model.registry, note);
  if (model.filesystem) eachFolder(model.filesystem, note);
  eachGroup(model.groups, note);
  cutModels.set(model, Boolean(cut));
  return Boolean(cut);
}

// Every line of an embedded file that holds the query is one hit, with its number.
function searchLines({ file, path, place }, re, hits, limit) {
  const text = file.content;
  let line = 1;
  let counted = 0;
  for (let m = re.exec(text); m && hits.length < limit; m = re.exec(text)) {
    for (
      let i = text.indexOf('\n', counted);
      i >= 0 && i < m.index;
      i = text.indexOf('\n', i + 1)
    ) {
      line++;
      counted = i + 1;
    }
    const lineStart = text.lastIndexOf('\n', m.index) + 1;
    let lineEnd = text.indexOf('\n', m.index);
    if (lineEnd < 0) lineEnd = text.length;
    hits.push({
      label: msg`${r(`${path}\\${file.name}`)}, line ${line}`,
      snippet: snippet(text.slice(lineStart, lineEnd), m.index - lineStart, m[0].length),
      place: { ...place, line },
    });
    // One hit per line: go on from the next line.
    re.lastIndex = lineEnd;
  }
}
