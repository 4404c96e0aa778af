// Rule packs run over one report. The report's facts are indexed once per run (keys and
// folders by path, the lines of embedded files that hold any log needle of any pack, found
// in one pass per file), so that a thousand rules cost little more than one. A matched
// rule is a finding as the built-in ones are, with every place that made it match.
import { allFiles, eachFolder, eachKey, pathText, wmiFirst } from '../model.js';
import { driveFacts, memoryFacts } from '../facts.js';
import { runFindings } from '../findings.js';
import { literal, msg, r } from '../text.js';
import { LIMITS, pathKey } from './pack.js';
import { patternFinds, matchingLines, lineMatches } from './match.js';

const ORDER = { problem: 0, warning: 1, note: 2 };
const LINE_HITS = 200;
const OS_PLACE = { view: 'system', cls: 'Win32_OperatingSystem', instance: 0 };

function pushTo(map, key, item) {
  const list = map.get(key);
  if (list) list.push(item);
  else map.set(key, [item]);
}

// Where a line begins in a text, found by halving over the line starts.
function lineNumber(starts, offset) {
  let [lo, hi] = [0, starts.length - 1];
  while (lo < hi) {
    const mid = (lo + hi + 1) >> 1;
    if (starts[mid] <= offset) lo = mid;
    else hi = mid - 1;
  }
  return lo + 1;
}

function lineStarts(text) {
  const starts = [0];
  for (let i = text.indexOf('\n'); i >= 0; i = text.indexOf('\n', i + 1)) starts.push(i + 1);
  return starts;
}

// The report's facts as the conditions read them, each built when first asked for.
function reportFacts(model, builtins, needles) {
  const cache = new Map();
  const once = (name, make) => () => {
    if (!cache.has(name)) cache.set(name, make());
    return cache.get(name);
  };
  const facts = {
    model,
    builtins,
    keys: once('keys', () => {
      const byPath = new Map();
      if (model.registry) eachKey(model.registry, (k) => pushTo(byPath, pathKey(pathText(k)), k));
      return byPath;
    }),
    folders: once('folders', () => {
      const byPath = new Map();
      if (model.filesystem)
        eachFolder(model.filesystem, (d) => pushTo(byPath, pathKey(pathText(d)), d));
      return byPath;
    }),
    logs: once('logs', () => {
      const logs = [];
      if (!model.filesystem) return logs;
      for (const { dir, file, index } of allFiles(model.filesystem)) {
        if (file.content == null) continue;
        const log = { dir, file, index, folder: pathKey(pathText(dir)), starts: null };
        // The line of an offset into the text, or into its lower case (which has as many lines).
        log.place = (offset, lower = false) => {
          const text = lower ? log.lower() : file.content;
          const starts = lower
            ? (log.lowerStarts ??= lineStarts(text))
            : (log.starts ??= lineStarts(text));
          return { view: 'files', at: dir.at, file: index, line: lineNumber(starts, offset) };
        };
        log.lower = () => (log.lowered ??= file.content.toLowerCase());
        logs.push(log);
      }
      return logs;
    }),
    // needle -> Map(log -> offsets of the lines that hold it: all of them when there are
    // up to LINE_HITS, else LINE_HITS + 1).
    lineHits: once('lineHits', () => neededLines(facts.logs(), needles)),
    os: once('os', () => wmiFirst(model, 'Win32_OperatingSystem')),
    // A folder's file names in lower case, and where each name is.
    names: (dir) => {
      const known = facts.namesOf ?? (facts.namesOf = new Map());
      if (!known.has(dir)) {
        const names = dir.files.map((f) => f.name.toLowerCase());
        const byName = new Map();
        names.forEach((n, i) => pushTo(byName, n, i));
        known.set(dir, { names, byName });
      }
      return known.get(dir);
    },
  };
  return facts;
}

// One pass over each embedded file for every needle at once: an alternation of plain
// texts finds the lines that hold any of them, and only those lines are searched for
// each needle.
function neededLines(logs, needles) {
  const hits = new Map();
  if (!needles.length) return hits;
  const any = new RegExp(needles.map(literal).join('|'), 'gi');
  for (const log of logs) {
    const text = log.file.content;
    any.lastIndex = 0;
    for (let m = any.exec(text); m; m = any.exec(text)) {
      const start = text.lastIndexOf('\n', m.index - 1) + 1;
      let end = text.indexOf('\n', m.index);
      if (end < 0) end = text.length;
      const line = text.slice(start, end).toLowerCase();
      for (const needle of needles) {
        if (!line.includes(needle)) continue;
        let byLog = hits.get(needle);
        if (!byLog) hits.set(needle, (byLog = new Map()));
        const lines = byLog.get(log);
        if (!lines) byLog.set(log, [start]);
        else if (lines.length <= LINE_HITS) lines.push(start);
      }
      any.lastIndex = end + 1;
    }
  }
  return hits;
}

const first = (places) => places.slice(0, LIMITS.evidence);
const textTest = (c, v) => {
  const value = String(v ?? '');
  if (c.test === 'equals') return value.toLowerCase() === c.needle;
  if (c.test === 'contains') return value.toLowerCase().includes(c.needle);
  return patternFinds(c.pattern, value);
};

// Each kind of condition: the places that make it match ([] when it matches with nothing
// to show), or null.
const EVALUATE = {
  product(c, facts) {
    const found = [];
    (facts.model.products ?? []).forEach((p, i) => {
      if (c.name(p.name) && (!c.version || c.version(p.version)))
        found.push({ view: 'overview', anchor: `product-${i}` });
    });
    return found.length ? first(found) : null;
  },
  windows(c, facts) {
    const os = facts.os();
    const places = [];
    const check = (prop, ok) => {
      places.push({ ...OS_PLACE, prop });
      return ok;
    };
    if (
      c.caption !== null &&
      !check('Caption', (os.Caption ?? '').toLowerCase().includes(c.caption))
    )
      return null;
    if (c.build && !check('BuildNumber', c.build(os.BuildNumber))) return null;
    if (c.version && !check('Version', c.version(os.Version))) return null;
    return places;
  },
  registry(c, facts) {
    const keys = facts.keys().get(c.key) ?? [];
    if (c.value === null) {
      if (c.test === 'absent') return keys.length ? null : [];
      return keys.length
        ? first(keys.map((k) => ({ view: 'registry', key: k.at, value: null })))
        : null;
    }
    const values = [];
    for (const k of keys)
      k.values.forEach((v, i) => {
        if (v.name.toLowerCase() === c.value)
          values.push({ v, place: { view: 'registry', key: k.at, value: i } });
      });
    if (c.test === 'absent')
      return values.length
        ? null
        : first(keys.map((k) => ({ view: 'registry', key: k.at, value: null })));
    const found = c.test === 'present' ? values : values.filter(({ v }) => textTest(c, v.value));
    return found.length ? first(found.map((x) => x.place)) : null;
  },
  file(c, facts) {
    const found = [];
    for (const dir of facts.folders().get(c.folder) ?? []) {
      const { names, byName } = facts.names(dir);
      const indexes = c.name.exact !== null ? (byName.get(c.name.exact) ?? []) : names.keys();
      for (const index of indexes) {
        const bytes = dir.files[index].bytes;
        if (c.name.exact === null && !c.name.lower(names[index])) continue;
        if (c.test === 'size' && (bytes == null || !c.size(String(bytes)))) continue;
        found.push({ view: 'files', at: dir.at, file: index, line: null });
      }
    }
    if (c.test === 'absent') return found.length ? null : [];
    return found.length ? first(found) : null;
  },
  log(c, facts) {
    const found = [];
    const wanted = (log) => c.name(log.file.name) && (c.folder === null || log.folder === c.folder);
    if (c.needle !== null) {
      for (const [log, starts] of facts.lineHits().get(c.needle) ?? [])
        if (wanted(log))
          found.push(...starts.slice(0, LIMITS.evidence).map((offset) => log.place(offset)));
    } else {
      const { re, folded, literals } = c.pattern;
      // A log that does not hold the pattern's plain text, in any case, is not searched.
      const holding = literals && facts.lineHits().get(literals[0].toLowerCase());
      for (const log of facts.logs()) {
        if (!wanted(log) || (literals && !holding?.has(log))) continue;
        const lines = holding?.get(log);
        if (lines && lines.length <= LINE_HITS) {
          // Every line that holds the plain text is known: only those are tried.
          const text = log.file.content;
          for (const start of lines) {
            if (found.length >= LIMITS.evidence) break;
            const end = text.indexOf('\n', start);
            const line = text.slice(start, end < 0 ? text.length : end);
            if (lineMatches(c.pattern, line)) found.push(log.place(start));
          }
          continue;
        }
        const text = folded ? log.lower() : log.file.content;
        const starts = matchingLines(folded ?? re, literals, text, LIMITS.evidence);
        found.push(...starts.map((offset) => log.place(offset, folded !== null)));
      }
    }
    return found.length ? first(found) : null;
  },
  process(c, facts) {
    const found = [];
    (facts.model.processes ?? []).forEach((p, index) => {
      if (c.name(p.Name ?? '')) found.push({ view: 'processes', index });
    });
    if (!c.running) return found.length ? null : [];
    return found.length ? first(found) : null;
  },
  environment(c, facts) {
    const found = [];
    (facts.model.system?.environment ?? []).forEach((v, index) => {
      if (v.name.toLowerCase() === c.name) found.push({ v, place: { view: 'environment', index } });
    });
    if (c.test === 'absent') return found.length ? null : [];
    const hits = c.test === 'present' ? found : found.filter(({ v }) => textTest(c, v.value));
    return hits.length ? first(hits.map((x) => x.place)) : null;
  },
  disk(c, facts) {
    const found = [];
    driveFacts(facts.model).forEach((d, i) => {
      if (d.drive.slice(0, 2).toUpperCase() === c.drive && c.free(d.free))
        found.push({ view: 'overview', anchor: `drive-${i}` });
    });
    return found.length ? found : null;
  },
  memory(c, facts) {
    const free = memoryFacts(facts.model)?.free;
    return c.free(free) ? [{ ...OS_PLACE, prop: 'FreePhysicalMemory' }] : null;
  },
  finding(c, facts) {
    const found = facts.builtins.filter((f) => f.rule === c.rule).map((f) => f.place);
    return found.length ? first(found) : null;
  },
  all(c, facts) {
    const places = [];
    for (const part of c.parts) {
      const got = evaluate(part, facts);
      if (!got) return null;
      places.push(...got);
    }
    return places;
  },
  any(c, facts) {
    let matched = null;
    for (const part of c.parts) {
      const got = evaluate(part, facts);
      if (got) (matched ??= []).push(...got);
    }
    return matched;
  },
  not(c, facts) {
    return evaluate(c.part, facts) ? null : [];
  },
};

// Conditions nest at most LIMITS.depth levels (the pack is refused otherwise).
function evaluate(c, facts) {
  return EVALUATE[c.kind](c, facts);
}

// The finding of a matched rule; its key names the pack and the rule, so that Compare
// matches it across reports.
function knownFinding(pack, rule, places) {
  const seen = new Set();
  const evidence = places.filter((p) => {
    const k = JSON.stringify(p);
    return !seen.has(k) && seen.add(k);
  });
  return {
    rule: rule.id,
    severity: rule.severity,
    text: msg`Known issue ${r(rule.id)}: ${r(rule.title)}`,
    place: evidence[0] ?? { view: 'overview' },
    key: `known ${pack.name} ${rule.id}`,
    known: {
      pack: pack.name,
      id: rule.id,
      title: rule.title,
      advice: rule.advice,
      link: rule.link,
      evidence,
    },
  };
}

// Runs packs (from readPack) over reports: run(model, builtins) gives the findings of
// every matched rule, problems first, with the built-in findings of that report given.
export function ruleEngine(packs) {
  const needles = [...new Set(packs.flatMap((p) => [...p.needles]))];
  return {
    count: packs.reduce((n, p) => n + p.rules.length, 0),
    run(model, builtins = []) {
      const facts = reportFacts(model, builtins, needles);
      const out = [];
      for (const pack of packs)
        for (const rule of pack.rules) {
          const places = evaluate(rule.when, facts);
          if (places) out.push(knownFinding(pack, rule, places));
        }
      return out.sort((a, b) => ORDER[a.severity] - ORDER[b.severity]);
    },
  };
}

// A report's built-in findings (found here unless given) and its known issues together,
// problems first.
export function allFindings(model, engine, builtins = runFindings(model)) {
  if (!engine?.count) return builtins;
  return [...builtins, ...engine.run(model, builtins)].sort(
    (a, b) => ORDER[a.severity] - ORDER[b.severity],
  );
}
