// What a support engineer checks first. Each rule is one function from the model to a
// list of findings: { rule, severity ("problem", "warning" or "note"), text, place, key },
// where text is a message (report parts kept apart), place opens the evidence and key
// names what the finding is about, so that the findings of two reports can be matched.
// A new rule is one function here and one test.
import {
  allFiles,
  eachFolder,
  eachGroup,
  eachKey,
  findFolder,
  pathText,
  wmiFirst,
} from './model.js';
import { driveFacts, memoryFacts, freeText } from './facts.js';
import { counted, bytesText, percentText } from './format.js';
import { msg, r } from './text.js';

const GB = 1024 ** 3;
export const DRIVE_MIN_FREE_BYTES = 5 * GB;
export const DRIVE_MIN_FREE_SHARE = 0.1;
export const MEMORY_MIN_FREE_SHARE = 0.1;
export const FIRST_ERROR_LINES = 3;
const GONE = ': it does not exist on that machine.';
const DEEPER = ': the deeper levels are not shown.';
// Whole words, in any case, and names such as NullReferenceException or TypeError; not
// ErrorReporting.dll, ExceptionHandler, terror or onerror.
const ERROR_WORD = /\b(?:errors?|exceptions?|fatal)\b/gi;
const ERROR_NAME = /[a-z0-9](?:Error|Exception)\b/g;
// "0 errors", "no errors", "errors: 0" count nothing.
const ZERO_BEFORE = /\b(?:0|no|zero)\s+$/i;
const ZERO_AFTER = /^\s*[:=]\s*0\b/;

function finding(rule, severity, text, place, key) {
  return { rule, severity, text, place, key: `${rule} ${key}` };
}

function filePlace(dir, index, line = null) {
  return { view: 'files', at: dir.at, file: index, line };
}

export function lowDiskSpace(model) {
  return driveFacts(model).flatMap((d, i) => {
    if (d.free == null) return [];
    const low =
      d.free < DRIVE_MIN_FREE_BYTES || (d.share != null && d.share < DRIVE_MIN_FREE_SHARE);
    if (!low) return [];
    const pct = d.share != null ? ` (${percentText(d.share)})` : '';
    const text = msg`Drive ${r(d.drive)} has only ${bytesText(d.free)} free${pct}.`;
    return [
      finding('lowDiskSpace', 'problem', text, { view: 'overview', anchor: `drive-${i}` }, d.drive),
    ];
  });
}

export function lowMemory(model) {
  const mem = memoryFacts(model);
  if (!mem || mem.free == null || !(mem.free / mem.total < MEMORY_MIN_FREE_SHARE)) return [];
  const text = `Only ${percentText(mem.free / mem.total)} of physical memory was free (${freeText(mem)}).`;
  const place = {
    view: 'system',
    cls: 'Win32_OperatingSystem',
    instance: 0,
    prop: 'FreePhysicalMemory',
  };
  return [finding('lowMemory', 'warning', [text], place, '')];
}

export function productVersions(model) {
  const out = [];
  const byName = new Map();
  (model.products ?? []).forEach((p, i) => {
    const key = p.name.toLowerCase();
    if (!byName.has(key)) byName.set(key, []);
    byName.get(key).push({ p, i });
  });
  for (const [key, list] of byName) {
    const versions = [...new Set(list.map(({ p }) => p.version))];
    const place = { view: 'overview', anchor: `product-${list[0].i}` };
    const name = r(list[0].p.name);
    if (versions.length > 1) {
      const listed = versions.map((v, i) => (i ? [', ', r(v)] : [r(v)])).flat();
      out.push(
        finding(
          'productVersions',
          'warning',
          msg`${name} is listed with different versions: ${listed}.`,
          place,
          key,
        ),
      );
    }
    const views = new Set(list.map(({ p }) => p.source).filter((s) => s.startsWith('registry, ')));
    if (views.size > 1) {
      const text = msg`${name} is registered in both the 32-bit and the 64-bit registry view.`;
      out.push(finding('productVersions', 'note', text, place, `${key} views`));
    }
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
    const text = msg`The install folder of ${r(p.name)} (${r(p.location)}) is not in the files listing${GONE}`;
    return [
      finding(
        'missingInstallFolder',
        'problem',
        text,
        { view: 'overview', anchor: `product-${i}` },
        p.location,
      ),
    ];
  });
}

function fullPath(dir, file) {
  return [...dir.path, file.name].join('\\');
}

export function cutLogs(model) {
  if (!model.filesystem) return [];
  const out = [];
  for (const { dir, file, index } of allFiles(model.filesystem)) {
    if (!file.cut) continue;
    const path = fullPath(dir, file);
    const text = msg`${r(path)} was cut to its head and tail: the middle of the file is not in the report.`;
    out.push(finding('cutLogs', 'note', text, filePlace(dir, index), path));
  }
  return out;
}

// Whether a line reports an error: a word of error that is not a count of zero.
export function isErrorLine(line) {
  for (const re of [ERROR_WORD, ERROR_NAME]) {
    re.lastIndex = 0;
    for (let m = re.exec(line); m; m = re.exec(line)) {
      const start = re === ERROR_NAME ? m.index + 1 : m.index;
      const end = m.index + m[0].length;
      if (
        !ZERO_BEFORE.test(line.slice(Math.max(0, start - 8), start)) &&
        !ZERO_AFTER.test(line.slice(end, end + 8))
      ) {
        return true;
      }
    }
  }
  return false;
}

export function errorLines(model) {
  if (!model.filesystem) return [];
  const out = [];
  for (const { dir, file, index } of allFiles(model.filesystem)) {
    if (!file.content || !/error|exception|fatal/i.test(file.content)) continue;
    const lines = file.content.split('\n');
    const hits = [];
    lines.forEach((l, n) => isErrorLine(l) && hits.push(n + 1));
    if (!hits.length) continue;
    const path = fullPath(dir, file);
    const first = hits.slice(0, FIRST_ERROR_LINES).flatMap((n, i) => {
      return msg`${i ? ' | ' : ''}line ${n}: ${r(lines[n - 1].trim().slice(0, 160))}`;
    });
    const text = msg`${r(path)} has ${counted(hits.length, 'line')} with error, exception or fatal; first ${first}`;
    out.push(finding('errorLines', 'warning', text, filePlace(dir, index, hits[0]), path));
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
  if (wmiStripped) {
    absent.push(
      'the identifying WMI properties (computer, user and domain names, serial number, owner)',
    );
  }
  const text = `Personal data was left out of this report, so ${absent.join(' and ')} are absent.`;
  return [finding('personalDataLeftOut', 'note', [text], { view: 'environment' }, '')];
}

export function emptyWmi(model) {
  const out = [];
  if (model.processes && model.processes.length === 0) {
    const text = 'The process list is empty: the WMI query for processes failed on that machine.';
    out.push(finding('emptyWmi', 'warning', [text], { view: 'processes' }, 'processes'));
  }
  if (model.system?.wmi && model.system.wmi.length === 0) {
    const text =
      'The WMI system section is empty: the query failed (look at the WMI service of that machine).';
    out.push(finding('emptyWmi', 'warning', [text], { view: 'system' }, 'system'));
  }
  return out;
}

export function noProducts(model) {
  if (!model.products || model.products.length) return [];
  const text = 'No products of the maker were found on that machine.';
  return [finding('noProducts', 'warning', [text], { view: 'overview', anchor: 'products' }, '')];
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
  const listed = names.slice(0, 5).flatMap((n, i) => (i ? [', ', r(n)] : [r(n)]));
  const verb = open.length === 1 ? ' was' : 's were';
  const text = msg`${open.length} timed event${verb} never ended: ${listed}${names.length > 5 ? ', …' : ''}.`;
  return [finding('unendedTimedEvents', 'note', text, { view: 'events', index: open[0] }, '')];
}

// Keys, folders or client groups nested deeper than the viewer reads.
export function deepNesting(model) {
  const out = [];
  const cut = (what, node, place) => {
    const text = msg`${what} nest deeper than the viewer reads under ${r(pathText(node))}${DEEPER}`;
    out.push(finding('deepNesting', 'note', text, place, `${what} ${pathText(node)}`));
  };
  if (model.registry) {
    eachKey(
      model.registry,
      (k) => k.cutDeeper && cut('Registry keys', k, { view: 'registry', key: k.at }),
    );
  }
  if (model.filesystem) {
    eachFolder(
      model.filesystem,
      (d) => d.cutDeeper && cut('Folders', d, { view: 'files', at: d.at, file: null }),
    );
  }
  eachGroup(model.groups, (g) => {
    if (!g.cutDeeper) return;
    const text = msg`Client groups nest deeper than the viewer reads under ${r(g.name)}${DEEPER}`;
    const place = { view: 'groups', path: g.path };
    out.push(finding('deepNesting', 'note', text, place, `groups ${g.path.join('.')}`));
  });
  return out;
}

// Folders and keys that exist but could not be read: what they hold is not in the report,
// which a support engineer must not take for empty. One finding names them all.
export const UNREADABLE_NAMED = 5;
const filesPlace = (d) => ({ view: 'files', at: d.at, file: null, line: null });
export function unreadable(model) {
  const found = [];
  if (model.filesystem)
    eachFolder(
      model.filesystem,
      (d) => d.error != null && found.push(['folder', d, filesPlace(d)]),
    );
  if (model.registry)
    eachKey(model.registry, (k) => {
      if (k.error != null)
        found.push(['registry key', k, { view: 'registry', key: k.at, value: null }]);
    });
  if (!found.length) return [];
  const named = found
    .slice(0, UNREADABLE_NAMED)
    .flatMap(([, node], i) => [
      i ? '; ' : '',
      r(pathText(node)),
      ' (',
      r(node.error.replace(/\.$/, '')),
      ')',
    ]);
  const folders = found.filter(([what]) => what === 'folder').length;
  const what = [
    folders ? counted(folders, 'folder') : '',
    found.length - folders ? counted(found.length - folders, 'registry key') : '',
  ]
    .filter(Boolean)
    .join(' and ');
  const more = found.length > UNREADABLE_NAMED ? '; …' : '';
  const text = msg`${what} could not be read, so what they hold is not in the report: ${named}${more}.`;
  return [finding('unreadable', 'warning', text, found[0][2], '')];
}

export const RULES = [
  lowDiskSpace,
  lowMemory,
  productVersions,
  missingInstallFolder,
  cutLogs,
  errorLines,
  personalDataLeftOut,
  emptyWmi,
  noProducts,
  unendedTimedEvents,
  deepNesting,
  unreadable,
];

const ORDER = { problem: 0, warning: 1, note: 2 };

export function runFindings(model) {
  return RULES.flatMap((rule) => rule(model)).sort((a, b) => ORDER[a.severity] - ORDER[b.severity]);
}

// The findings of After that Before does not have, and those of Before that After no
// longer has.
export function findingChanges(before, after) {
  const keysA = new Set(before.map((f) => f.key));
  const keysB = new Set(after.map((f) => f.key));
  return {
    added: after.filter((f) => !keysA.has(f.key)),
    resolved: before.filter((f) => !keysB.has(f.key)),
  };
}
