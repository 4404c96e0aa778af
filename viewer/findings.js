// What a support engineer checks first. Each rule is one function from the model to a
// list of findings: { rule, severity ("problem", "warning" or "note"), text, place },
// where place opens the evidence. A new rule is one function here and one test.
import { allFiles, findFolder, wmiFirst } from './model.js';

const GB = 1024 ** 3;
export const DRIVE_MIN_FREE_BYTES = 5 * GB;
export const DRIVE_MIN_FREE_SHARE = 0.1;
export const MEMORY_MIN_FREE_SHARE = 0.1;
export const ERROR_WORDS = /error|exception|fatal/i;
export const FIRST_ERROR_LINES = 3;

function finding(rule, severity, text, place) {
  return { rule, severity, text, place };
}

function gb(bytes) {
  return `${(bytes / GB).toFixed(1)} GB`;
}

export function lowDiskSpace(model) {
  return (model.disks ?? []).flatMap((d, i) => {
    if (d.freeBytes == null) return [];
    const share = d.totalBytes ? d.freeBytes / d.totalBytes : null;
    const low = d.freeBytes < DRIVE_MIN_FREE_BYTES || (share != null && share < DRIVE_MIN_FREE_SHARE);
    if (!low) return [];
    const pct = share != null ? ` (${(share * 100).toFixed(0)} %)` : '';
    return [finding('lowDiskSpace', 'problem', `Drive ${d.drive} has only ${gb(d.freeBytes)} free${pct}.`, { view: 'overview', anchor: `drive-${i}` })];
  });
}

export function lowMemory(model) {
  const os = wmiFirst(model, 'Win32_OperatingSystem');
  const total = Number(os.TotalVisibleMemorySize);
  const free = Number(os.FreePhysicalMemory);
  if (!(total > 0) || !os.FreePhysicalMemory || !(free / total < MEMORY_MIN_FREE_SHARE)) return [];
  return [finding('lowMemory', 'warning', `Only ${((free / total) * 100).toFixed(0)} % of physical memory was free (${(free / 1048576).toFixed(1)} GB of ${(total / 1048576).toFixed(1)} GB).`,
    { view: 'system', cls: 'Win32_OperatingSystem', instance: 0, prop: 'FreePhysicalMemory' })];
}

export function productVersions(model) {
  const out = [];
  const byName = new Map();
  (model.products ?? []).forEach((p, i) => {
    const key = p.name.toLowerCase();
    if (!byName.has(key)) byName.set(key, []);
    byName.get(key).push({ p, i });
  });
  for (const list of byName.values()) {
    const versions = [...new Set(list.map(({ p }) => p.version))];
    const place = { view: 'overview', anchor: `product-${list[0].i}` };
    if (versions.length > 1) out.push(finding('productVersions', 'warning', `${list[0].p.name} is listed with different versions: ${versions.join(', ')}.`, place));
    const views = new Set(list.map(({ p }) => p.source).filter((s) => s.startsWith('registry, ')));
    if (views.size > 1) out.push(finding('productVersions', 'note', `${list[0].p.name} is registered in both the 32-bit and the 64-bit registry view.`, place));
  }
  return out;
}

// The folder the files listing shows for an install location: a path without its final
// backslash is listed as its parent folder.
export function listedFolderOf(location) {
  const parts = location.split('\\');
  parts.pop();
  return parts.filter(Boolean);
}

export function missingInstallFolder(model) {
  // A broken report lists only the files before the break.
  if (!model.filesystem || model.broken) return [];
  return (model.products ?? []).flatMap((p, i) => {
    if (!p.location) return [];
    const path = listedFolderOf(p.location);
    if (!path.length || findFolder(model.filesystem, path)) return [];
    return [finding('missingInstallFolder', 'problem', `The install folder of ${p.name} (${p.location}) is not in the files listing: it does not exist on that machine.`, { view: 'overview', anchor: `product-${i}` })];
  });
}

export function cutLogs(model) {
  if (!model.filesystem) return [];
  const out = [];
  for (const { dir, file } of allFiles(model.filesystem)) {
    if (file.cut) out.push(finding('cutLogs', 'note', `${file.name} was cut to its head and tail: the middle of the file is not in the report.`, { view: 'files', path: dir.path, file: file.name, line: null }));
  }
  return out;
}

export function errorLines(model) {
  if (!model.filesystem) return [];
  const out = [];
  for (const { dir, file } of allFiles(model.filesystem)) {
    if (!file.content || !ERROR_WORDS.test(file.content)) continue;
    const lines = file.content.split('\n');
    const hits = [];
    lines.forEach((l, n) => ERROR_WORDS.test(l) && hits.push(n + 1));
    const first = hits.slice(0, FIRST_ERROR_LINES).map((n) => `line ${n}: ${lines[n - 1].trim().slice(0, 160)}`);
    out.push(finding('errorLines', 'warning', `${file.name} has ${hits.length} line${hits.length === 1 ? '' : 's'} with error, exception or fatal; first ${first.join(' | ')}`,
      { view: 'files', path: dir.path, file: file.name, line: hits[0] }));
  }
  return out;
}

const PII_PROPERTIES = ['CSName', 'RegisteredUser', 'Organization', 'SerialNumber'];

export function personalDataLeftOut(model) {
  const sys = model.system;
  if (!sys || sys.environment !== null || sys.time === null) return [];
  const os = wmiFirst(model, 'Win32_OperatingSystem');
  const wmiStripped = Object.keys(os).length > 0 && !PII_PROPERTIES.some((p) => p in os);
  const absent = ['the environment variables (PATH, TEMP, TMP)'];
  if (wmiStripped) absent.push('the identifying WMI properties (computer, user and domain names, serial number, owner)');
  return [finding('personalDataLeftOut', 'note', `Personal data was left out of this report, so ${absent.join(' and ')} are absent.`, { view: 'environment' })];
}

export function emptyWmi(model) {
  const out = [];
  if (model.processes && model.processes.length === 0) out.push(finding('emptyWmi', 'warning', 'The process list is empty: the WMI query for processes failed on that machine.', { view: 'processes' }));
  const wmi = model.system?.wmi;
  if (wmi && wmi.length === 0) {
    out.push(finding('emptyWmi', 'warning', 'The WMI system section is empty: the query failed (look at the WMI service of that machine).', { view: 'system' }));
  }
  return out;
}

export function noProducts(model) {
  if (!model.products || model.products.length) return [];
  return [finding('noProducts', 'warning', 'No products of the maker were found on that machine.', { view: 'overview', anchor: 'products' })];
}

// A timed event that is never ended has no elapsed time, exactly like a plain event; it
// shows when the same name has an elapsed time on other records.
export function unendedTimedEvents(model) {
  const events = model.events ?? [];
  const timedNames = new Set(events.filter((e) => e.elapsed != null).map((e) => e.name));
  const open = [];
  events.forEach((e, i) => e.elapsed == null && timedNames.has(e.name) && open.push(i));
  if (!open.length) return [];
  const names = [...new Set(open.map((i) => events[i].name))];
  return [finding('unendedTimedEvents', 'note', `${open.length} timed event${open.length === 1 ? ' was' : 's were'} never ended: ${names.slice(0, 5).join(', ')}${names.length > 5 ? ', …' : ''}.`, { view: 'events', index: open[0] })];
}

export const RULES = [lowDiskSpace, lowMemory, productVersions, missingInstallFolder, cutLogs, errorLines, personalDataLeftOut, emptyWmi, noProducts, unendedTimedEvents];

const ORDER = { problem: 0, warning: 1, note: 2 };

export function runFindings(model) {
  return RULES.flatMap((rule) => rule(model)).sort((a, b) => ORDER[a.severity] - ORDER[b.severity]);
}

