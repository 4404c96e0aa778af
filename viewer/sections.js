// The browsable sections that are tables: system, environment, processes, events and the
// client's groups. Each render function takes the model and a place to show, if any.
import { h, section, empty, propertyTable, pagedTable, flash } from './dom.js';

export function renderSystem(model, place) {
  const sys = model.system;
  if (!sys) return empty('The report has no system section.');
  const parts = [];
  for (const cls of sys.wmi ?? []) {
    cls.instances.forEach((inst, n) => parts.push(section(cls.instances.length > 1 ? `${cls.name} #${n + 1}` : cls.name,
      Object.keys(inst).length ? propertyTable(Object.entries(inst), place?.cls === cls.name && place.instance === n ? place.prop : null) : empty('No properties: the query returned nothing.'))));
  }
  if (sys.wmi && sys.wmi.length === 0) parts.push(section('WMI', empty('The WMI section is empty: WMI could not be queried on that machine.')));
  const other = [];
  if (sys.windowsInstaller != null) other.push(['Windows Installer', sys.windowsInstaller]);
  if (sys.ie != null) other.push(['Internet Explorer', sys.ie]);
  for (const d of sys.dotnet ?? []) other.push(['.NET Framework', d.version]);
  if (sys.processors) other.push(['Processors', Object.entries(sys.processors).map(([k, v]) => `${k}=${v}`).join(' ')]);
  if (sys.memory) other.push(['Memory', Object.entries(sys.memory).map(([k, v]) => `${k}=${v}`).join(' ')]);
  if (sys.time) other.push(['Time', Object.entries(sys.time).map(([k, v]) => `${k}=${v}`).join(' ')]);
  for (const m of sys.monitors ?? []) other.push(['Monitor', Object.entries(m).map(([k, v]) => `${k}=${v}`).join(' ')]);
  if (sys.locale) other.push(['Locale', Object.entries(sys.locale).map(([k, v]) => `${k}=${v}`).join(' ')]);
  parts.push(section('Other system information', propertyTable(other)));
  const el = h('div', null, parts);
  requestAnimationFrame(() => flash(el.querySelector('tr.hit')));
  return el;
}

export function renderEnvironment(model, place) {
  const env = model.system?.environment;
  if (!env) return empty('The report has no environment section (left out with personal data, or not asked for).');
  const el = section('Environment', propertyTable(env.map((v) => [v.name, v.value]), place ? env[place.index]?.name : null));
  requestAnimationFrame(() => flash(el.querySelector('tr.hit')));
  return el;
}

const PROCESS_COLUMNS = ['Name', 'ProcessID', 'ParentProcessID', 'ThreadCount', 'WorkingSetSize', 'ExecutablePath', 'CommandLine'];

export function renderProcesses(model, place) {
  if (!model.processes) return empty('The report has no process section.');
  if (!model.processes.length) return empty('The process list is empty: WMI could not be queried on that machine.');
  const table = pagedTable(PROCESS_COLUMNS.map((c) => ({ label: c, get: (p) => p[c] ?? '' })), model.processes, { filterLabel: 'Filter processes' });
  if (place?.index != null) requestAnimationFrame(() => table.showRow(place.index));
  return section('Processes', table);
}

export function renderEvents(model, place) {
  if (!model.events) return empty('The report has no events.');
  // A start without an end looks like a plain event; the name tells it is timed.
  const timed = new Set(model.events.filter((e) => e.elapsed != null).map((e) => e.name));
  const kind = (e) => (e.elapsed != null ? 'timed' : timed.has(e.name) ? 'timed, never ended' : e.value !== '' ? 'with value' : 'plain');
  const table = pagedTable([
    { label: 'Name', get: (e) => e.name },
    { label: 'Kind', get: kind },
    { label: 'Value', get: (e) => e.value },
    { label: 'Time', get: (e) => e.eventtime },
    { label: 'Elapsed', get: (e) => e.elapsed ?? '' },
  ], model.events, { filterLabel: 'Filter events' });
  if (place?.index != null) requestAnimationFrame(() => table.showRow(place.index));
  return section('Events', table);
}

// Groups nest as deeply as the client wrote them (up to the model's limit), so the
// tree is built with an explicit stack rather than recursion.
export function renderGroups(model, place) {
  if (!model.groups.length) return empty('The report has no groups of the client.');
  const root = h('div', { class: 'groups' });
  const target = place?.path?.join('.');
  const stack = model.groups.map((g, i) => ({ g, parent: root, path: [i] })).reverse();
  let hit = null;
  while (stack.length) {
    const { g, parent, path } = stack.pop();
    const item = h('div', { class: 'group', dataset: { path: path.join('.') } },
      h('div', { class: 'group-name' }, g.name),
      g.attrs.length ? propertyTable(g.attrs) : null,
      g.cutDeeper ? empty('Deeper groups are not shown.') : null);
    if (path.join('.') === target) hit = item;
    parent.appendChild(item);
    for (let i = g.children.length - 1; i >= 0; i--) stack.push({ g: g.children[i], parent: item, path: path.concat(i) });
  }
  requestAnimationFrame(() => flash(hit));
  return section('Groups of the client', root);
}

