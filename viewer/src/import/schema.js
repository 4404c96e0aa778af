// Checking a report against docs/vitascan.rng, the one statement of the format, in the
// page: the schema's own text is read here (the build inlines it) and interpreted by
// derivatives (James Clark's algorithm for RELAX NG validation), on the same calls the
// reader makes, so checking adds no second pass over the file. Patterns are interned and
// the derivatives of a pattern by a tag name are kept, so each element costs a few look-ups.
// The schema uses no interleave, list or namespaces beyond "no namespace"; a schema that
// used them would be refused when compiled, not misread.
import { xmlReader, treeBuilder } from './xml.js';

const table = new Map();
let nextId = 0;
function intern(key, make) {
  let p = table.get(key);
  if (!p) {
    p = make();
    p.id = nextId++;
    p.key = key;
    table.set(key, p);
  }
  return p;
}
const EMPTY = intern('e', () => ({ t: 'empty', nullable: true }));
const NOT_ALLOWED = intern('n', () => ({ t: 'notAllowed', nullable: false }));
const TEXT = intern('x', () => ({ t: 'text', nullable: true }));

function choice(a, b) {
  if (a === NOT_ALLOWED || a === b) return b;
  if (b === NOT_ALLOWED) return a;
  const [x, y] = a.id < b.id ? [a, b] : [b, a];
  return intern(`c${x.id},${y.id}`, () => ({
    t: 'choice',
    a: x,
    b: y,
    nullable: x.nullable || y.nullable,
  }));
}
function group(a, b) {
  if (a === NOT_ALLOWED || b === NOT_ALLOWED) return NOT_ALLOWED;
  if (a === EMPTY) return b;
  if (b === EMPTY) return a;
  return intern(`g${a.id},${b.id}`, () => ({
    t: 'group',
    a,
    b,
    nullable: a.nullable && b.nullable,
  }));
}
function oneOrMore(p) {
  if (p === NOT_ALLOWED || p === EMPTY) return p;
  return intern(`o${p.id}`, () => ({ t: 'oneOrMore', p, nullable: p.nullable }));
}
function after(a, b) {
  if (a === NOT_ALLOWED || b === NOT_ALLOWED) return NOT_ALLOWED;
  return intern(`a${a.id},${b.id}`, () => ({ t: 'after', a, b, nullable: false }));
}

// Name classes: { any: true, except }, { name }, { noNamespace: true }, { choice: [a, b] }.
// A name in a namespace is given as "{uri}local", as libxml2 reads it; a prefix that is
// not declared leaves the whole name in no namespace.
function contains(nc, name) {
  if (nc.name !== undefined) return nc.name === name;
  if (nc.noNamespace) return name[0] !== '{';
  if (nc.choice) return nc.choice.some((c) => contains(c, name));
  return !(nc.except && contains(nc.except, name));
}

// Derivatives by text.
function textDeriv(p, s) {
  switch (p.t) {
    case 'choice':
      return choice(textDeriv(p.a, s), textDeriv(p.b, s));
    case 'group': {
      const x = group(textDeriv(p.a, s), p.b);
      return p.a.nullable ? choice(x, textDeriv(p.b, s)) : x;
    }
    case 'after':
      return after(textDeriv(p.a, s), p.b);
    case 'oneOrMore':
      return group(textDeriv(p.p, s), choice(p, EMPTY));
    case 'text':
      return TEXT;
    case 'value':
      return p.value === (p.token ? s.trim().replace(/\s+/g, ' ') : s) ? EMPTY : NOT_ALLOWED;
    case 'data':
      return p.pattern.test(s) ? EMPTY : NOT_ALLOWED;
    default:
      return NOT_ALLOWED;
  }
}
const blank = (s) => /^[ \t\r\n]*$/.test(s);
function valueMatch(p, s) {
  return textDeriv(p, s).nullable || (p.nullable && blank(s));
}

function applyAfter(f, p) {
  if (p.t === 'after') return after(p.a, f(p.b));
  if (p.t === 'choice') return choice(applyAfter(f, p.a), applyAfter(f, p.b));
  return NOT_ALLOWED;
}

function startTagOpen(p, name) {
  switch (p.t) {
    case 'choice':
      return choice(startTagOpen(p.a, name), startTagOpen(p.b, name));
    case 'element':
      return contains(p.nc, name) ? after(p.content(), EMPTY) : NOT_ALLOWED;
    case 'oneOrMore':
      return applyAfter((x) => group(x, choice(p, EMPTY)), startTagOpen(p.p, name));
    case 'group': {
      const x = applyAfter((y) => group(y, p.b), startTagOpen(p.a, name));
      return p.a.nullable ? choice(x, startTagOpen(p.b, name)) : x;
    }
    case 'after':
      return applyAfter((y) => after(y, p.b), startTagOpen(p.a, name));
    default:
      return NOT_ALLOWED;
  }
}

// The attribute patterns of p that could take an attribute of this name.
function candidates(p, name, out) {
  if (p.t === 'attribute') {
    if (contains(p.nc, name)) out.push(p);
  } else if (p.t === 'oneOrMore') candidates(p.p, name, out);
  else if (p.a) {
    candidates(p.a, name, out);
    if (p.t !== 'after') candidates(p.b, name, out);
  }
  return out;
}

// The derivative by an attribute, given which candidates take its value (matches).
function attDeriv(p, name, matches) {
  switch (p.t) {
    case 'after':
      return after(attDeriv(p.a, name, matches), p.b);
    case 'choice':
      return choice(attDeriv(p.a, name, matches), attDeriv(p.b, name, matches));
    case 'group':
      return choice(
        group(attDeriv(p.a, name, matches), p.b),
        group(p.a, attDeriv(p.b, name, matches)),
      );
    case 'oneOrMore':
      return group(attDeriv(p.p, name, matches), choice(p, EMPTY));
    case 'attribute':
      return contains(p.nc, name) && matches.has(p) ? EMPTY : NOT_ALLOWED;
    default:
      return NOT_ALLOWED;
  }
}

function startTagClose(p) {
  switch (p.t) {
    case 'after':
      return after(startTagClose(p.a), p.b);
    case 'choice':
      return choice(startTagClose(p.a), startTagClose(p.b));
    case 'group':
      return group(startTagClose(p.a), startTagClose(p.b));
    case 'oneOrMore':
      return oneOrMore(startTagClose(p.p));
    case 'attribute':
      return NOT_ALLOWED;
    default:
      return p;
  }
}

function endTag(p) {
  if (p.t === 'choice') return choice(endTag(p.a), endTag(p.b));
  if (p.t === 'after') return p.a.nullable ? p.b : NOT_ALLOWED;
  return NOT_ALLOWED;
}

// What follows the element being read whatever its content: used to go on after a problem.
function skipContent(p) {
  if (p.t === 'choice') return choice(skipContent(p.a), skipContent(p.b));
  if (p.t === 'after') return p.b;
  return NOT_ALLOWED;
}

// fn(p, key) kept per pattern and key.
function memo(fn) {
  const caches = new Map();
  return (p, key = '') => {
    let cache = caches.get(p);
    if (!cache) caches.set(p, (cache = new Map()));
    let v = cache.get(key);
    if (v === undefined) cache.set(key, (v = fn(p, key)));
    return v;
  };
}

// The rng's tree to patterns. Element content is made on first use, so that recursive
// definitions (a client group in a client group) end.
function compile(root, elements) {
  const kids = (n) => n.children;
  const defines = new Map();
  let start = null;
  for (const c of kids(root)) {
    if (c.name === 'define') defines.set(c.attrs.name, c);
    else if (c.name === 'start') start = c;
    else throw new Error(`the schema uses <${c.name}>, which the viewer does not interpret`);
  }
  const made = new Map();
  const nameClass = (n) => {
    if (n.name === 'name') return { name: (n.text ?? '').trim() };
    if (n.name === 'nsName') {
      if ((n.attrs.ns ?? '') !== '') throw new Error('the schema names a namespace');
      return { noNamespace: true };
    }
    if (n.name === 'anyName') {
      const ex = kids(n).find((c) => c.name === 'except');
      return { any: true, except: ex ? { choice: kids(ex).map(nameClass) } : null };
    }
    if (n.name === 'choice') return { choice: kids(n).map(nameClass) };
    throw new Error(`the schema uses the name class <${n.name}>`);
  };
  const seq = (nodes) => nodes.map(pattern).reduce(group, EMPTY);
  function named(n) {
    if (n.attrs.name !== undefined) return [{ name: n.attrs.name.trim() }, kids(n)];
    return [nameClass(kids(n)[0]), kids(n).slice(1)];
  }
  function pattern(n) {
    switch (n.name) {
      case 'element': {
        const [nc, body] = named(n);
        let content = null;
        const p = { t: 'element', nc, nullable: false, content: () => (content ??= seq(body)) };
        elements.push(p);
        return intern(`el${nextId}`, () => p);
      }
      case 'attribute': {
        const [nc, body] = named(n);
        const value = body.length ? seq(body) : TEXT;
        return intern(`at${nextId}`, () => ({ t: 'attribute', nc, value, nullable: false }));
      }
      case 'group':
        return seq(kids(n));
      case 'choice':
        return kids(n).map(pattern).reduce(choice, NOT_ALLOWED);
      case 'optional':
        return choice(seq(kids(n)), EMPTY);
      case 'zeroOrMore':
        return choice(oneOrMore(seq(kids(n))), EMPTY);
      case 'oneOrMore':
        return oneOrMore(seq(kids(n)));
      case 'empty':
        return EMPTY;
      case 'text':
        return TEXT;
      case 'ref': {
        const name = n.attrs.name;
        if (!made.has(name)) {
          if (!defines.has(name)) throw new Error(`the schema refers to "${name}", never defined`);
          made.set(name, null);
          made.set(name, seq(kids(defines.get(name))));
        }
        const p = made.get(name);
        if (!p) throw new Error(`the definition "${name}" refers to itself outside an element`);
        return p;
      }
      case 'value':
        return intern(`v${n.attrs.type}:${n.text ?? ''}`, () => ({
          t: 'value',
          value: n.text ?? '',
          token: n.attrs.type !== 'string',
          nullable: false,
        }));
      case 'data': {
        const param = kids(n).find((c) => c.name === 'param' && c.attrs.name === 'pattern');
        const source = param ? (param.text ?? '') : '[\\s\\S]*';
        // XML Schema's patterns match the whole value; the ones used read the same in JS.
        return intern(`d${source}`, () => ({
          t: 'data',
          pattern: new RegExp(`^(?:${source})$`, 'u'),
          nullable: false,
        }));
      }
      default:
        throw new Error(`the schema uses <${n.name}>, which the viewer does not interpret`);
    }
  }
  return seq(kids(start));
}

const MAX_PROBLEMS = 20;
const XML_SCOPE = new Map([['xml', 'http://www.w3.org/XML/1998/namespace']]);

// The names of an element and its attributes as the schema matches them, given the
// namespace declarations in scope; xmlns attributes are declarations, not attributes.
function qualified(scope, name, attrs) {
  let declared = null;
  for (const a in attrs) {
    if (a !== 'xmlns' && !a.startsWith('xmlns:')) continue;
    declared ??= new Map(scope);
    declared.set(a === 'xmlns' ? '' : a.slice(6), attrs[a]);
  }
  if (declared) scope = declared;
  const of = (n, element) => {
    const i = n.indexOf(':');
    const uri = i < 0 ? (element ? scope.get('') : '') : scope.get(n.slice(0, i));
    return uri ? `{${uri}}${i < 0 ? n : n.slice(i + 1)}` : n;
  };
  const names = [];
  for (const a in attrs)
    if (a !== 'xmlns' && !a.startsWith('xmlns:')) names.push([a, of(a, false)]);
  return { scope, name: of(name, true), attributes: names };
}
// Content nested deeper than this is not checked, so that the patterns of a state stay
// few however deep a hostile file nests (the viewer reads 200 levels of a part).
const CHECK_DEPTH = 256;

// Compiles the schema's text. validator() then checks one report: open(name, attrs, line,
// part) says whether the element is allowed where it stands (an element that is not is
// skipped with its content, and its close is not given); text(t); close(); problems()
// gives { count, problems: [{ line, message, part }] }, the first few of them.
export function compileSchema(rngText) {
  const tree = treeBuilder();
  const reader = xmlReader(rngText, tree);
  reader.run();
  if (reader.error) throw new Error(`the schema is not XML: ${reader.error.message}`);
  const grammar = tree.root.children[0];
  const elements = [];
  const start = compile(grammar, elements);
  // The name classes of the elements that a pattern holds directly.
  const childClasses = (p, out) => {
    if (p.t === 'element') out.push(p.nc);
    else if (p.t === 'oneOrMore') childClasses(p.p, out);
    else if (p.a) [p.a, p.b].forEach((x) => childClasses(x, out));
    return out;
  };
  // Making an element's content makes the elements in it: all are made first.
  for (let i = 0; i < elements.length; i++) elements[i].content();
  const children = elements.map((e) => [e.nc, childClasses(e.content(), [])]);
  // Whether the format has an element of this name in one of this parent name anywhere
  // (the elements the format names itself first: a client group may take any name): one
  // that it does not is other content; one that it has, out of place, is read.
  const knows = memo((_, key) => {
    const [parent, name] = key.split('\n');
    const named = children.filter(([nc]) => nc.name === parent);
    const parents = named.length ? named : children.filter(([nc]) => contains(nc, parent));
    return parents.some(([, kids]) => kids.some((k) => contains(k, name)));
  });
  const open = memo((p, name) => startTagOpen(p, name));
  const close = memo((p) => startTagClose(p));
  const end = memo((p) => endTag(p));
  const skip = memo((p) => skipContent(p));
  const named = memo((p, name) => candidates(p, name, []));
  // The derivative by an attribute, given which of its candidates take its value (bits).
  const attributeDerivs = new Map();
  const byAttribute = (p, name, bits, cands) => {
    let byName = attributeDerivs.get(p);
    if (!byName) attributeDerivs.set(p, (byName = new Map()));
    let byBits = byName.get(name);
    if (!byBits) byName.set(name, (byBits = []));
    let v = byBits[bits];
    if (v === undefined) {
      const matches = new Set(cands.filter((_, i) => bits & (1 << i)));
      byBits[bits] = v = attDeriv(p, name, matches);
    }
    return v;
  };
  return {
    validator() {
      let state = start;
      let pending = '';
      // Inside an element whose attributes are wrong, its content is not checked.
      let lax = 0;
      let resume = null;
      const stack = [];
      const report = { count: 0, problems: [] };
      const problem = (line, message, part) => {
        if (report.count++ < MAX_PROBLEMS) report.problems.push({ line, message, part });
      };
      const flushText = (line, part) => {
        if (pending === '') return;
        const s = pending;
        pending = '';
        const next = blank(s) ? choice(state, textDeriv(state, s)) : textDeriv(state, s);
        if (next !== NOT_ALLOWED) state = next;
        else problem(line, 'text where the format has none', part);
      };
      return {
        open(name, attrs, line, part) {
          if (lax) return lax++ > 0;
          flushText(line, part);
          const q = qualified(stack.at(-1)?.scope ?? XML_SCOPE, name, attrs);
          const opened = open(state, q.name);
          if (opened === NOT_ALLOWED) {
            const parent = stack.at(-1)?.q ?? '';
            if (!knows(EMPTY, `${parent}\n${q.name}`)) {
              problem(line, `<${name}> is not part of the format`, part ?? name);
              return false;
            }
            problem(line, `<${name}> is out of its place`, part ?? name);
            stack.push({ name, q: q.name, scope: q.scope, line, part });
            [lax, resume] = [1, state];
            return true;
          }
          let p = opened;
          for (const [a, qa] of q.attributes) {
            const value = attrs[a];
            const cands = named(p, qa);
            let bits = 0;
            for (let i = 0; i < cands.length; i++)
              if (cands[i].value === TEXT || valueMatch(cands[i].value, value)) bits |= 1 << i;
            const next = byAttribute(p, qa, bits, cands);
            if (next !== NOT_ALLOWED) p = next;
            else if (cands.length) {
              problem(
                line,
                `<${name}>: the value of ${a} is not of its form ("${value.slice(0, 60)}")`,
                part ?? name,
              );
              // Taken as given, so that the attribute is not also said to be missing.
              const taken = byAttribute(p, qa, (1 << cands.length) - 1, cands);
              if (taken !== NOT_ALLOWED) p = taken;
            } else
              problem(
                line,
                `<${name}> has an attribute ${a} that the format does not have`,
                part ?? name,
              );
          }
          const closed = close(p);
          stack.push({ name, q: q.name, scope: q.scope, line, part });
          if (closed !== NOT_ALLOWED && stack.length >= CHECK_DEPTH)
            [lax, resume] = [1, skip(closed)];
          else if (closed !== NOT_ALLOWED) state = closed;
          else {
            problem(line, `<${name}> lacks an attribute that the format requires`, part ?? name);
            [lax, resume] = [1, skip(p)];
          }
          return true;
        },
        text(t) {
          if (!lax) pending += t;
        },
        close() {
          if (lax > 1) return lax--;
          const top = stack.pop();
          if (lax) {
            [lax, state] = [0, resume];
            return;
          }
          flushText(top.line, top.part);
          const next = end(state);
          if (next === NOT_ALLOWED) {
            problem(
              top.line,
              `<${top.name}> lacks content that the format requires`,
              top.part ?? top.name,
            );
            state = skip(state);
          } else state = next;
        },
        problems: () => report,
      };
    },
  };
}
