// The sections that are tables: system, environment, processes, events and the client's
// groups. Each render function takes the view's input (the model) and the place to show
// (with the words a search hit marks).
import { h, rt, section, empty, showHit, dateView, placeLink } from './dom.js';
import { wmiInstances, systemRows, systemRowAt } from '../lib/system.js';
import { table, propertyTable, linkColumn } from './table.js';
import { msg, r, matchRanges } from '../lib/text.js';

// Marks and shows the row of a place once the view is in the page.
function showRowLater(t, index, query) {
  if (index != null && index >= 0) requestAnimationFrame(() => t.showRow(index, query));
}

export function renderSystem({ model }, place) {
  const sys = model.system;
  if (!sys) return empty('The report has no system section.');
  const parts = [];
  for (const { cls, instance, suffix, rows } of wmiInstances(sys)) {
    const title = msg`${r(cls)}${suffix}`;
    if (!rows.length) {
      parts.push(section(title, empty('No properties: the query returned nothing.')));
      continue;
    }
    const pairs = rows.map((row) => [row.prop, row.value]);
    const name = suffix ? `${cls}-${instance + 1}` : cls;
    const link = linkColumn((_, i) => rows[i].place);
    const t = propertyTable(pairs, { nameLabel: 'Property', name }, [link]);
    if (place.cls === cls && place.instance === instance)
      showRowLater(
        t,
        rows.findIndex((row) => row.prop === place.prop),
        place.query,
      );
    parts.push(section(title, t));
  }
  if (sys.wmi && sys.wmi.length === 0)
    parts.push(
      section('WMI', empty('The WMI section is empty: WMI could not be queried on that machine.')),
    );
  const other = systemRows(sys, { dates: true });
  const t = propertyTable(
    other.map((row) => [row.label, row.date ? dateView(row.date) : row.value]),
    { name: 'system' },
  );
  if (place.other) showRowLater(t, systemRowAt(other, place.other), place.query);
  parts.push(section('Other system information', t));
  return h('div', null, parts);
}

export function renderEnvironment({ model }, place) {
  const env = model.system?.environment;
  if (!env)
    return empty(
      'The report has no environment section (left out with personal data, or not asked for).',
    );
  const t = propertyTable(
    env.map((v) => [v.name, v.value]),
    { filter: 'Filter variables', name: 'environment' },
    [linkColumn((_, index) => ({ view: 'environment', index }))],
  );
  showRowLater(t, place.index, place.query);
  return section('Environment', t);
}

const PROCESS_COLUMNS = [
  'Name',
  'ProcessID',
  'ParentProcessID',
  'ThreadCount',
  'WorkingSetSize',
  'ExecutablePath',
  'CommandLine',
];
const NUMERIC = new Set(['ProcessID', 'ParentProcessID', 'ThreadCount', 'WorkingSetSize']);

export function renderProcesses({ model }, place) {
  if (!model.processes) return empty('The report has no process section.');
  if (!model.processes.length)
    return empty('The process list is empty: WMI could not be queried on that machine.');
  const columns = PROCESS_COLUMNS.map((c) => ({
    label: c,
    num: NUMERIC.has(c),
    get: (p) => p[c] ?? '',
  }));
  columns.push(linkColumn((_, index) => ({ view: 'processes', index })));
  const t = table(columns, model.processes, { filter: 'Filter processes', name: 'processes' });
  showRowLater(t, place.index, place.query);
  return section('Processes', t);
}

export function renderEvents({ model }, place) {
  if (!model.events) return empty('The report has no events.');
  // A start without an end looks like a plain event; the name tells it is timed.
  const timed = new Set(model.events.filter((e) => e.elapsed != null).map((e) => e.name));
  const kind = (e) =>
    e.elapsed != null
      ? 'timed'
      : timed.has(e.name)
        ? 'timed, never ended'
        : e.value !== ''
          ? 'with value'
          : 'plain';
  const columns = [
    { label: 'Name', get: (e) => e.name },
    { label: 'Kind', get: kind },
    { label: 'Value', get: (e) => e.value },
    { label: 'Time', nowrap: true, get: (e) => e.eventtime, sort: (e) => e.eventtimeMs ?? -1 },
    {
      label: 'Elapsed',
      nowrap: true,
      get: (e) => e.elapsed ?? '',
      sort: (e) => e.elapsedMs ?? -1,
    },
    linkColumn((_, index) => ({ view: 'events', index })),
  ];
  const t = table(columns, model.events, { filter: 'Filter events', name: 'events' });
  showRowLater(t, place.index, place.query);
  return section('Events', t);
}

// Groups nest as deeply as the client wrote them (up to the model's limit), so the
// tree is built with an explicit stack rather than recursion.
export function renderGroups({ model }, place) {
  if (!model.groups.length) return empty('The report has no groups of the client.');
  const root = h('div', { class: 'groups' });
  const target = place.path?.join('.');
  const stack = model.groups.map((g) => ({ g, parent: root })).reverse();
  let hit = null;
  while (stack.length) {
    const { g, parent } = stack.pop();
    const path = g.path.join('.');
    const attrs = g.attrs.length ? propertyTable(g.attrs, { name: `group-${g.name}` }) : null;
    const cut = g.cutDeeper ? empty('Deeper groups are not shown.') : null;
    const query = path === target ? place.query : null;
    const link = placeLink({ view: 'groups', path: g.path });
    const name = h('div', { class: 'group-name' }, rt(g.name, query), ' ', link);
    const item = h('div', { class: 'group', dataset: { path } }, name, attrs, cut);
    if (path === target) {
      hit = item;
      const at = g.attrs.findIndex(([k, v]) => matchRanges(`${k}=${v}`, query).length);
      if (at >= 0) showRowLater(attrs, at, place.query);
    }
    parent.appendChild(item);
    for (let i = g.children.length - 1; i >= 0; i--) stack.push({ g: g.children[i], parent: item });
  }
  if (hit) showHit(hit);
  return section('Groups of the client', root);
}
