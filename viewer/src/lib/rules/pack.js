// A rule pack read and checked: JSON text to rules whose conditions are compiled into
// tests over a report's facts (see run.js). A pack that breaks the contract in
// docs/RULES.md is refused as a whole, with each problem named by its rule and field.
// The checks are our own rather than a JSON Schema validator's: the page's policy forbids
// the code generation such validators use, and a support engineer needs the rule's id in
// each message, not a pointer into the document. docs/rules.schema.json states the same
// contract for editors, and the tests hold the two together.
import { RULES as BUILTIN_RULES } from '../findings.js';
import { parseRange, wildcard, compilePattern } from './match.js';

export const LIMITS = {
  bytes: 10 * 1024 * 1024,
  rules: 5000,
  conditions: 50000,
  bareLogPatterns: 20,
  depth: 8,
  list: 50,
  evidence: 10,
};
export const SEVERITIES = ['problem', 'warning', 'note'];
export const BUILTIN_IDS = BUILTIN_RULES.map((rule) => rule.name);
const ID = /^[A-Za-z0-9][A-Za-z0-9._-]{0,39}$/;
const LINE_BREAK = /[\r\n\u2028\u2029]/;
const ROOTS = {
  hkey_local_machine: 'hklm',
  hkey_current_user: 'hkcu',
  hkey_classes_root: 'hkcr',
  hkey_users: 'hku',
  hkey_current_config: 'hkcc',
};
const TESTS = ['equals', 'contains', 'matches', 'present', 'absent'];
// A pack refused names at most this many problems.
const MAX_PROBLEMS = 50;

export class PackError extends Error {
  constructor(problems) {
    super(problems.join('\n'));
    this.problems = problems;
  }
}

// A registry or folder path as the index keys it: lower case, one backslash between parts,
// the root's long name made short.
export function pathKey(path) {
  const parts = String(path)
    .toLowerCase()
    .split(/[\\/]+/)
    .filter(Boolean);
  if (parts.length) parts[0] = ROOTS[parts[0]] ?? parts[0];
  return parts.join('\\');
}

const isObject = (v) => v !== null && typeof v === 'object' && !Array.isArray(v);
const said = (v) => (typeof v === 'string' ? JSON.stringify(v.slice(0, 60)) : JSON.stringify(v));

// One condition's checking: `fail(field, message)` records a problem; each getter returns
// the field's value when it is right, else undefined.
function fieldReader(obj, path, fail) {
  const where = (k) => `${path}.${k}`;
  const text = (k, max = 2000, required = true) => {
    const v = obj[k];
    if (v === undefined) return required ? void fail(where(k), 'is missing') : undefined;
    if (typeof v !== 'string' || (!v && k !== 'equals') || v.length > max)
      return void fail(where(k), `must be a text of 1 to ${max} characters, not ${said(v)}`);
    return v;
  };
  return {
    text,
    line: (k, max, required) => {
      const v = text(k, max, required);
      if (v !== undefined && LINE_BREAK.test(v)) return void fail(where(k), 'must be one line');
      return v;
    },
    range: (k) => {
      if (obj[k] === undefined) return undefined;
      try {
        return parseRange(obj[k]);
      } catch (e) {
        return void fail(where(k), e.message);
      }
    },
    pattern: (k) => {
      try {
        return compilePattern(obj[k]);
      } catch (e) {
        return void fail(where(k), e.message);
      }
    },
    flag: (k) => {
      if (obj[k] === undefined) return false;
      if (obj[k] !== true) return void fail(where(k), `must be true, not ${said(obj[k])}`);
      return true;
    },
    only: (allowed) => {
      for (const k of Object.keys(obj))
        if (!allowed.includes(k))
          fail(where(k), `is not a field of this condition (it has ${allowed.join(', ')})`);
    },
    oneOf: (names) => {
      const given = names.filter((k) => obj[k] !== undefined);
      if (given.length !== 1) fail(path, `needs exactly one of ${names.join(', ')}`);
      return given[0];
    },
  };
}

function freeTest(obj, path, fail) {
  if (!isObject(obj)) return void fail(`${path}.free`, 'must be { "below": bytes } or "above"');
  const bad = Object.keys(obj).filter((k) => k !== 'below' && k !== 'above');
  const num = (k) => obj[k] === undefined || (Number.isFinite(obj[k]) && obj[k] >= 0);
  if (bad.length || !Object.keys(obj).length || !num('below') || !num('above'))
    return void fail(`${path}.free`, 'must be { "below": bytes } or "above", in bytes');
  const { below = Infinity, above = -Infinity } = obj;
  return (free) => free != null && free < below && free > above;
}

// Text tests of a value: { test, needle } for the run, or undefined after a problem.
function valueTest(obj, path, fail, f, tests = TESTS) {
  const test = f.oneOf(tests);
  if (!test) return undefined;
  if (test === 'present' || test === 'absent') return f.flag(test) ? { test } : undefined;
  if (test === 'matches') {
    const pattern = f.pattern(test);
    return pattern && { test, pattern };
  }
  const v = f.text(test);
  return v === undefined ? undefined : { test, needle: v.toLowerCase() };
}

// Each kind of condition: (its object, path, fail, tally) to the compiled condition
// { kind, ... } that run.js evaluates, or undefined after a problem.
const KINDS = {
  product(c, path, fail) {
    const f = fieldReader(c, path, fail);
    f.only(['product', 'version']);
    const name = f.line('product', 200);
    const version = f.range('version');
    if (name === undefined || (c.version !== undefined && !version)) return undefined;
    return { kind: 'product', name: wildcard(name), version: version ?? null };
  },
  windows(c, path, fail) {
    const f = fieldReader(c, path, fail);
    if (!isObject(c)) return void fail(path, 'must be an object');
    f.only(['caption', 'build', 'version']);
    if (!['caption', 'build', 'version'].some((k) => c[k] !== undefined))
      return void fail(path, 'needs caption, build or version');
    const caption = f.line('caption', 200, false);
    const [build, version] = [f.range('build'), f.range('version')];
    if (
      [
        ['build', build],
        ['version', version],
      ].some(([k, v]) => c[k] !== undefined && !v)
    )
      return undefined;
    if (c.caption !== undefined && caption === undefined) return undefined;
    return { kind: 'windows', caption: caption?.toLowerCase() ?? null, build, version };
  },
  registry(c, path, fail) {
    if (!isObject(c)) return void fail(path, 'must be an object');
    const f = fieldReader(c, path, fail);
    f.only(['key', 'value', ...TESTS]);
    const key = f.line('key');
    const value = f.line('value', 500, false);
    const test = valueTest(c, path, fail, f, c.value === undefined ? ['present', 'absent'] : TESTS);
    if (key === undefined || test === undefined || (c.value !== undefined && value === undefined))
      return undefined;
    return { kind: 'registry', key: pathKey(key), value: value?.toLowerCase() ?? null, ...test };
  },
  file(c, path, fail) {
    if (!isObject(c)) return void fail(path, 'must be an object');
    const f = fieldReader(c, path, fail);
    f.only(['folder', 'name', 'present', 'absent', 'size']);
    const [folder, name] = [f.line('folder'), f.line('name', 260)];
    const test = f.oneOf(['present', 'absent', 'size']);
    const size = test === 'size' ? f.range('size') : null;
    const ok = test === 'size' ? size : test && f.flag(test);
    if (folder === undefined || name === undefined || !ok) return undefined;
    return { kind: 'file', folder: pathKey(folder), name: wildcard(name), test, size };
  },
  log(c, path, fail, tally) {
    if (!isObject(c)) return void fail(path, 'must be an object');
    const f = fieldReader(c, path, fail);
    f.only(['name', 'folder', 'contains', 'matches']);
    const name = f.line('name', 260);
    const folder = f.line('folder', 2000, false);
    const test = f.oneOf(['contains', 'matches']);
    const needle = test === 'contains' ? f.line('contains')?.toLowerCase() : null;
    const pattern = test === 'matches' ? f.pattern('matches') : null;
    if (name === undefined || (c.folder !== undefined && folder === undefined)) return undefined;
    if (!(needle || pattern)) return undefined;
    if (needle) tally.needles.add(needle);
    if (pattern?.literals) tally.needles.add(pattern.literals[0].toLowerCase());
    else if (pattern && ++tally.bare === LIMITS.bareLogPatterns + 1)
      fail(
        `${path}.matches`,
        `holds no plain text of 3 characters or more, as ${LIMITS.bareLogPatterns} other log patterns of the pack (each searches every log whole): at most ${LIMITS.bareLogPatterns} such are allowed`,
      );
    const where = folder === undefined ? null : pathKey(folder);
    return { kind: 'log', name: wildcard(name), folder: where, needle, pattern };
  },
  process(c, path, fail) {
    if (!isObject(c)) return void fail(path, 'must be an object');
    const f = fieldReader(c, path, fail);
    f.only(['name', 'running']);
    const name = f.line('name', 260);
    if (typeof c.running !== 'boolean')
      return void fail(`${path}.running`, `must be true or false, not ${said(c.running)}`);
    return name === undefined
      ? undefined
      : { kind: 'process', name: wildcard(name), running: c.running };
  },
  environment(c, path, fail) {
    if (!isObject(c)) return void fail(path, 'must be an object');
    const f = fieldReader(c, path, fail);
    f.only(['name', ...TESTS]);
    const name = f.line('name', 200);
    const test = valueTest(c, path, fail, f);
    if (name === undefined || test === undefined) return undefined;
    return { kind: 'environment', name: name.toLowerCase(), ...test };
  },
  disk(c, path, fail) {
    if (!isObject(c)) return void fail(path, 'must be an object');
    const f = fieldReader(c, path, fail);
    f.only(['drive', 'path', 'free']);
    const where = f.oneOf(['drive', 'path']);
    const text = where && f.line(where);
    const free = freeTest(c.free, path, fail);
    if (text !== undefined && where && !/^[A-Za-z]:/.test(text))
      return void fail(
        `${path}.${where}`,
        `must begin with a drive letter, as "C:", not ${said(text)}`,
      );
    if (!where || text === undefined || !free) return undefined;
    return { kind: 'disk', drive: text.slice(0, 2).toUpperCase(), free };
  },
  memory(c, path, fail) {
    if (!isObject(c)) return void fail(path, 'must be an object');
    fieldReader(c, path, fail).only(['free']);
    const free = freeTest(c.free, path, fail);
    return free && { kind: 'memory', free };
  },
  finding(c, path, fail) {
    if (!BUILTIN_IDS.includes(c))
      return void fail(path, `${said(c)} is not a built-in finding (${BUILTIN_IDS.join(', ')})`);
    return { kind: 'finding', rule: c };
  },
};

// The condition at `path`, compiled; depth is bounded, so this recursion is too.
function condition(c, path, fail, tally, depth) {
  // Past the limit, the first condition says so and the rest are left unread.
  if (++tally.conditions > LIMITS.conditions) {
    if (tally.conditions === LIMITS.conditions + 1)
      fail(path, `the pack has more than ${LIMITS.conditions} conditions`);
    return undefined;
  }
  if (!isObject(c)) return void fail(path, `must be a condition object, not ${said(c)}`);
  const keys = Object.keys(c);
  const kind = keys.length === 2 && 'product' in c && 'version' in c ? 'product' : keys[0];
  if (keys.length !== 1 && kind !== 'product')
    return void fail(
      path,
      `holds ${keys.length} conditions (${keys.join(', ')}): put them in "all"`,
    );
  if (kind === 'all' || kind === 'any') {
    const list = c[kind];
    if (!Array.isArray(list) || !list.length || list.length > LIMITS.list)
      return void fail(`${path}.${kind}`, `must be a list of 1 to ${LIMITS.list} conditions`);
    if (depth >= LIMITS.depth)
      return void fail(path, `nests deeper than ${LIMITS.depth} levels of all, any and not`);
    const parts = list.map((x, i) => condition(x, `${path}.${kind}[${i}]`, fail, tally, depth + 1));
    return parts.every(Boolean) ? { kind, parts } : undefined;
  }
  if (kind === 'not') {
    if (depth >= LIMITS.depth)
      return void fail(path, `nests deeper than ${LIMITS.depth} levels of all, any and not`);
    const part = condition(c.not, `${path}.not`, fail, tally, depth + 1);
    return part && { kind, part };
  }
  if (!Object.hasOwn(KINDS, kind)) {
    const known = ['all', 'any', 'not', ...Object.keys(KINDS)].join(', ');
    return void fail(path, `"${kind}" is not a condition (the conditions: ${known})`);
  }
  const [obj, at] = kind === 'product' ? [c, path] : [c[kind], `${path}.${kind}`];
  return KINDS[kind](obj, at, fail, tally);
}

function linkOf(link, fail) {
  if (link === undefined) return null;
  let url = null;
  try {
    url = typeof link === 'string' && link.length <= 2000 ? new URL(link) : null;
  } catch {
    url = null;
  }
  if (!url || !/^https?:$/.test(url.protocol) || !/^https?:\/\/\S+$/i.test(link))
    return void fail('link', `must be an http:// or https:// address, not ${said(link)}`);
  return link;
}

function ruleOf(raw, n, ids, problems, tally) {
  const who = typeof raw?.id === 'string' && ID.test(raw.id) ? raw.id : `rule ${n + 1}`;
  const before = problems.length;
  const fail = (field, message) => problems.push(`${who}: ${field}: ${message}`);
  if (!isObject(raw)) return void fail('rule', `must be an object, not ${said(raw)}`);
  const f = fieldReader(raw, '', (field, message) => fail(field.slice(1), message));
  f.only(['id', 'title', 'severity', 'advice', 'link', 'when']);
  if (typeof raw.id !== 'string' || !ID.test(raw.id))
    fail('id', `must be letters, digits, ".", "_" or "-", up to 40, not ${said(raw.id)}`);
  else if (ids.has(raw.id)) fail('id', 'the id is used by another rule of the pack');
  ids.add(raw.id);
  const title = f.line('title', 200);
  if (!SEVERITIES.includes(raw.severity))
    fail('severity', `must be problem, warning or note, not ${said(raw.severity)}`);
  const advice = f.text('advice', 2000, false) ?? '';
  const link = linkOf(raw.link, fail);
  if (raw.when === undefined) fail('when', 'is missing');
  const when = raw.when === undefined ? null : condition(raw.when, 'when', fail, tally, 0);
  if (problems.length > before) return undefined;
  return { id: raw.id, title, severity: raw.severity, advice, link, when };
}

// A pack from its JSON text: { name, version, rules, needles } where needles are the
// texts its log conditions look for. Throws a PackError whose problems name the file,
// the rule and the field.
export function readPack(text, fileName) {
  const problems = [];
  const refuse = (message) => new PackError([`${fileName}: ${message}`]);
  if (typeof text !== 'string' || text.length > LIMITS.bytes)
    throw refuse(`a pack is at most ${LIMITS.bytes / 1048576} MB`);
  let doc;
  try {
    doc = JSON.parse(text.replace(/^\ufeff/, ''));
  } catch (e) {
    throw refuse(`is not JSON: ${e.message}`);
  }
  if (!isObject(doc)) throw refuse('must be an object with "pack" and "rules"');
  const extra = Object.keys(doc).filter((k) => !['pack', 'version', 'rules'].includes(k));
  if (extra.length) problems.push(`${extra.map(said).join(', ')}: not a field of a pack`);
  if (
    typeof doc.pack !== 'string' ||
    !doc.pack ||
    doc.pack.length > 200 ||
    LINE_BREAK.test(doc.pack)
  )
    problems.push('pack: the pack needs a name of 1 to 200 characters on one line');
  if (doc.version !== undefined && (typeof doc.version !== 'string' || doc.version.length > 50))
    problems.push('version: must be a text of up to 50 characters');
  if (!Array.isArray(doc.rules) || !doc.rules.length)
    problems.push('rules: must be a list of at least one rule');
  else if (doc.rules.length > LIMITS.rules)
    problems.push(
      `rules: the pack has ${doc.rules.length} rules; a pack holds at most ${LIMITS.rules}`,
    );
  if (problems.length) throw new PackError(problems.map((p) => `${fileName}: ${p}`));
  const ids = new Set();
  const tally = { needles: new Set(), conditions: 0, bare: 0 };
  const rules = doc.rules.map((raw, n) => ruleOf(raw, n, ids, problems, tally));
  if (problems.length) {
    const more = problems.length - MAX_PROBLEMS;
    const shown = problems.slice(0, MAX_PROBLEMS).map((p) => `${fileName}: ${p}`);
    throw new PackError(more > 0 ? [...shown, `${fileName}: … and ${more} more problems`] : shown);
  }
  return { name: doc.pack, version: doc.version ?? '', fileName, rules, needles: tally.needles };
}
