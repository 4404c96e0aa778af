// The address of a place, kept in the page's fragment so that it can be cited, and the
// same place in words for a ticket. The fragment names the report (a fingerprint of its
// text, and its file name), the view and the item as a person reads it:
//   #report=1f2e3d4c&name=pc7.vitascan&view=files&file=C:\ProgramData\Pallanto\app.log&line=12
// Keys and folders are named by their full path (with nth=2 when two share it), a
// process by its name and id, a variable by its name. A redacted address names keys and
// folders by their position instead (at=0.2.1&row=3), so that it carries no user's folder
// name, a process by its id alone, and leaves out the file name.
import { nodeAt, pathText } from './model.js';
import { visible } from './text.js';
import { systemRows, systemRowAt } from './system.js';

export const VIEW_TITLES = {
  machines: 'Machines',
  overview: 'Overview',
  findings: 'Findings',
  system: 'System',
  environment: 'Environment',
  registry: 'Registry',
  files: 'Files',
  processes: 'Processes',
  events: 'Events',
  groups: 'Groups',
  compare: 'Compare',
  other: 'Other content',
};
const OVERVIEW_PARTS = {
  drive: 'Fixed drives',
  product: 'Products',
  products: 'Products',
  adapter: 'Network adapters',
  memory: 'Memory',
};

// Backslashes, colons and slashes stay readable; what would end a parameter is escaped.
const READABLE = { '%5C': '\\', '%3A': ':', '%2F': '/', '%40': '@', '%2C': ',' };
const encode = (v) =>
  encodeURIComponent(String(v)).replace(/%(5C|3A|2F|40|2C)/g, (m) => READABLE[m]);
const decode = (v) => {
  try {
    return decodeURIComponent(v);
  } catch {
    return v;
  }
};

// [[name, value], ...] as a fragment (without "#"); empty values are left out.
export function formAddress(params) {
  return params
    .filter(([, v]) => v != null && v !== '')
    .map(([k, v]) => `${k}=${encode(v)}`)
    .join('&');
}

// The parameters of a fragment (with or without "#"); the first of a repeated name counts.
export function parseAddress(fragment) {
  const params = new Map();
  for (const part of String(fragment ?? '')
    .replace(/^#/, '')
    .split('&')) {
    const at = part.indexOf('=');
    const name = at > 0 ? decode(part.slice(0, at)) : '';
    if (name && !params.has(name)) params.set(name, decode(part.slice(at + 1)));
  }
  return params;
}

const same = (a, b) => String(a).toLowerCase() === String(b).toLowerCase();

// Every item whose path is `names`, in report order: the levels are read along
// `children`, the last name among `leaves` of the level above (Windows ignores case).
function itemsAt(root, names, children, leaves = children) {
  if (!root || !names.length) return [];
  let level = [root];
  for (const name of names.slice(0, -1))
    level = level.flatMap((n) => n[children].filter((c) => same(c.name, name)));
  return level.flatMap((n) =>
    n[leaves].flatMap((c, index) => (same(c.name, names.at(-1)) ? [{ parent: n, index }] : [])),
  );
}

// The path of an item and, when another item shares it, which one it is (from 1).
function pathParams(name, root, parent, index, children, leaves = children) {
  const path = parent.path.concat(parent[leaves][index].name);
  const all = itemsAt(root, path, children, leaves);
  const nth = all.findIndex((x) => x.parent === parent && x.index === index) + 1;
  return [
    [name, path.join('\\')],
    ['nth', nth > 1 ? nth : null],
  ];
}

function treeParams(model, place, redacted) {
  const registry = place.view === 'registry';
  const root = registry ? model.registry : model.filesystem;
  const at = registry ? place.key : place.at;
  const row = registry ? place.value : place.file;
  const node = nodeAt(root, at, registry ? 'keys' : 'dirs');
  if (!node || !at?.length) return [];
  const line = registry ? [] : [['line', place.line]];
  if (redacted) return [['at', at.join('.')], ['row', row], ...line];
  if (registry) {
    const parent = nodeAt(root, at.slice(0, -1), 'keys');
    const value = node.values[row]?.name;
    return [...pathParams('key', root, parent, at.at(-1), 'keys'), ['value', value]];
  }
  if (row == null || !node.files[row]) {
    const parent = nodeAt(root, at.slice(0, -1), 'dirs');
    return pathParams('folder', root, parent, at.at(-1), 'dirs');
  }
  return [...pathParams('file', root, node, row, 'dirs', 'files'), ...line];
}

// The parameters that name a place of a report; redacted ones name no folder or key.
export function placeParams(model, place, redacted = false) {
  const params = [['view', place.view]];
  const { view } = place;
  if (view === 'overview') params.push(['item', place.anchor]);
  else if (view === 'system' && place.cls) {
    params.push(['wmi', place.cls], ['instance', place.instance ? place.instance + 1 : null]);
    params.push(['prop', place.prop]);
  } else if (view === 'system') params.push(['part', place.other]);
  else if (view === 'environment')
    params.push(['var', model.system?.environment?.[place.index]?.name]);
  else if (view === 'registry' || view === 'files')
    params.push(...treeParams(model, place, redacted));
  else if (view === 'processes') {
    const p = model.processes?.[place.index];
    params.push(['process', redacted ? null : p?.Name], ['pid', p?.ProcessID]);
  } else if (view === 'events' && place.index != null) params.push(['event', place.index + 1]);
  else if (view === 'groups') params.push(['group', place.path?.join('.')]);
  return params;
}

const count = (text) => (/^\d{1,9}$/.test(text ?? '') ? Number(text) : null);
const positions = (text) =>
  /^\d{1,9}(\.\d{1,9})*$/.test(text ?? '') ? text.split('.').map(Number) : null;

// The line a link names in a file, if the file has it: { line } or { line: null, badLine }.
function lineIn(file, text) {
  if (text == null) return { line: null };
  const line = count(text);
  const content = file?.content ?? '';
  const lines = content.split('\n').length - (content.endsWith('\n') ? 1 : 0);
  return line >= 1 && line <= lines ? { line } : { line: null, badLine: text };
}

function treePlace(model, params, view) {
  const registry = view === 'registry';
  const root = registry ? model.registry : model.filesystem;
  const nodes = registry ? 'keys' : 'dirs';
  if (params.has('at')) {
    const at = positions(params.get('at'));
    const row = count(params.get('row'));
    const node = at && nodeAt(root, at, nodes);
    if (!node) return { place: { view }, missing: 'the item' };
    if (registry) return { place: { view, key: at, value: row } };
    const { line, badLine } = lineIn(node.files[row], params.get('line'));
    return { place: { view, at, file: row, line }, badLine };
  }
  const name = ['key', 'folder', 'file'].find((n) => params.has(n));
  if (!name) return { place: { view } };
  const path = params.get(name).split('\\');
  const leaves = name === 'file' ? 'files' : nodes;
  const found = itemsAt(root, path, nodes, leaves)[(count(params.get('nth')) ?? 1) - 1];
  if (!found) return { place: { view }, missing: params.get(name) };
  if (name === 'file') {
    const { line, badLine } = lineIn(found.parent.files[found.index], params.get('line'));
    return { place: { view, at: found.parent.at, file: found.index, line }, badLine };
  }
  const node = found.parent[nodes][found.index];
  if (!registry) return { place: { view, at: node.at, file: null, line: null } };
  const value = node.values.findIndex((v) => same(v.name, params.get('value') ?? '\0'));
  return { place: { view, key: node.at, value: value >= 0 ? value : null } };
}

// The place that parameters name in a model: { place, missing, badLine, unknownView }
// where missing names what the model does not hold (the place is then its view), badLine
// a line the file does not have (the place is then the file) and unknownView a view the
// viewer does not have (the place is then the overview).
export function placeOf(model, params) {
  const view = params.get('view') ?? 'overview';
  if (!Object.hasOwn(VIEW_TITLES, view))
    return { place: { view: 'overview' }, missing: null, unknownView: view };
  const get = (k) => params.get(k) ?? null;
  if (view === 'registry' || view === 'files') return treePlace(model, params, view);
  let place = { view };
  let missing = null;
  const find = (list, test, what) => {
    const i = (list ?? []).findIndex(test);
    if (i < 0 && what) missing = what;
    return i >= 0 ? i : null;
  };
  if (view === 'overview') place.anchor = get('item');
  else if (view === 'system' && params.has('wmi')) {
    place = {
      view,
      cls: get('wmi'),
      instance: (count(get('instance')) || 1) - 1,
      prop: get('prop'),
    };
  } else if (view === 'system') place.other = get('part');
  else if (view === 'environment')
    place.index = find(model.system?.environment, (v) => v.name === get('var'), get('var'));
  else if (view === 'processes') {
    const [name, pid] = [get('process'), get('pid')];
    // A redacted link names a process by its id alone.
    const exact = (p) =>
      (name === null || p.Name === name) && (pid === null || p.ProcessID === pid);
    const byName = (p) => p.Name === name;
    place.index = find(model.processes, exact) ?? find(model.processes, byName, name ?? pid);
  } else if (view === 'events') place.index = (count(get('event')) || 1) - 1;
  else if (view === 'groups') place.path = positions(get('group'));
  return { place, missing };
}

// A place in words a person can follow: "Files › C:\ProgramData\Pallanto\app.log, line 12".
export function placeWords(model, place) {
  const title = VIEW_TITLES[place.view] ?? place.view;
  const words = (...parts) => visible([title, ...parts.filter((p) => p)].join(' › '));
  switch (place.view) {
    case 'overview': {
      const [, part, n] = /^([a-z]+)(?:-(\d+))?$/.exec(place.anchor ?? '') ?? [];
      const item = {
        drive: () => model.disks?.[n]?.drive,
        product: () => model.products?.[n]?.name,
        adapter: () => model.networking?.[n]?.description,
      }[part]?.();
      return words(OVERVIEW_PARTS[part], item);
    }
    case 'system': {
      const instance = place.instance ? ` #${place.instance + 1}` : '';
      if (place.cls) return words(place.cls + instance, place.prop);
      const rows = systemRows(model.system, { dates: true });
      return words(rows[systemRowAt(rows, place.other)]?.label ?? place.other);
    }
    case 'environment':
      return words(model.system?.environment?.[place.index]?.name);
    case 'registry': {
      const key = nodeAt(model.registry, place.key, 'keys');
      return words(key && pathText(key), key?.values[place.value]?.name);
    }
    case 'files': {
      const dir = nodeAt(model.filesystem, place.at, 'dirs');
      const file = dir?.files[place.file];
      const line = file && place.line != null ? `, line ${place.line}` : '';
      return words(dir && [...dir.path, file?.name].filter(Boolean).join('\\') + line);
    }
    case 'processes': {
      const p = model.processes?.[place.index];
      return words(p && `${p.Name} (process ${p.ProcessID})`);
    }
    case 'events': {
      const e = model.events?.[place.index];
      return words(e && `${e.name} (record ${place.index + 1})`);
    }
    case 'groups': {
      const names = [];
      let list = model.groups;
      for (const i of place.path ?? []) {
        const g = list?.[i];
        if (!g) break;
        names.push(g.name);
        list = g.children;
      }
      return words(...names);
    }
    default:
      return words();
  }
}
