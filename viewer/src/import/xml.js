// Our own XML reader. It reads a document in steps that stop at a deadline, so that a
// report of many megabytes never holds the page for long, and it never builds markup: it
// calls handler.open(name, attrs), handler.text(text) and handler.close() in document
// order. attrs is a record without prototype in document order. Nesting is kept on an
// explicit stack: no depth of elements can exhaust the call stack.
// A well-formedness error stops the reader; error gives its message and offset.

const NAME = /[A-Za-z_:\u00C0-\uFFFF][\w.:\-\u00B7\u00C0-\uFFFF]*/y;
const ATTRIBUTE =
  /\s+([A-Za-z_:\u00C0-\uFFFF][\w.:\-\u00B7\u00C0-\uFFFF]*)\s*=\s*("[^"<]*"|'[^'<]*')/y;
const TAG_END = /\s*(\/?)>/y;
const CLOSE_TAG = /\s*>/y;
const ENTITIES = { lt: '<', gt: '>', amp: '&', quot: '"', apos: "'" };
// How many steps run between two looks at the clock.
const STEPS_PER_CHECK = 512;

export class XmlError extends Error {
  constructor(message, offset) {
    super(message);
    this.offset = offset;
  }
}

function decodeEntity(ref, at) {
  const body = ref.slice(1, -1);
  if (!ref.endsWith(';') || body === '') throw new XmlError(`a bare "&" in text`, at);
  if (ENTITIES[body]) return ENTITIES[body];
  const hex = /^#x([0-9a-fA-F]{1,6})$/.exec(body);
  const dec = /^#([0-9]{1,7})$/.exec(body);
  const code = hex ? parseInt(hex[1], 16) : dec ? Number(dec[1]) : -1;
  if (code < 0) throw new XmlError(`the entity "${ref}" is not defined`, at);
  if (code === 0 || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff)) {
    throw new XmlError(`"${ref}" is not a character`, at);
  }
  return String.fromCodePoint(code);
}

// Line ends become "\n"; in attribute values every white-space character becomes a blank.
function decode(raw, at, attribute) {
  if (!/[&\r]/.test(raw) && !(attribute && /[\t\n]/.test(raw))) return raw;
  return raw.replace(/\r\n?|[\t\n]|&[^;&<\s]*;?/g, (m, i) => {
    if (m[0] === '&') return decodeEntity(m, at + i);
    return attribute ? ' ' : m === '\t' ? m : '\n';
  });
}

// Line and column (both from 1) of an offset in the text.
export function lineAndColumn(text, offset) {
  let line = 1;
  let start = 0;
  for (let i = text.indexOf('\n'); i >= 0 && i < offset; i = text.indexOf('\n', i + 1)) {
    line++;
    start = i + 1;
  }
  return { line, column: offset - start + 1 };
}

export function xmlReader(text, handler) {
  let at = text.charCodeAt(0) === 0xfeff ? 1 : 0;
  const open = [];
  let rootSeen = false;
  const reader = { done: false, error: null, offset: () => at, depth: () => open.length };

  function fail(message, where = at) {
    throw new XmlError(message, where);
  }
  function skipTo(end, what) {
    const i = text.indexOf(end, at);
    if (i < 0) fail(`${what} is not closed`);
    const body = text.slice(at, i);
    at = i + end.length;
    return body;
  }
  function startTag() {
    NAME.lastIndex = at + 1;
    const name = NAME.exec(text);
    if (!name)
      fail(rootSeen ? 'a "<" that starts no element' : 'it does not start with an element');
    if (!open.length && rootSeen) fail('a second root element', at);
    let i = NAME.lastIndex;
    const attrs = Object.create(null);
    for (;;) {
      ATTRIBUTE.lastIndex = i;
      const a = ATTRIBUTE.exec(text);
      if (!a) break;
      if (a[1] in attrs) fail(`the attribute "${a[1]}" is given twice`, i + a[0].search(/\S/));
      attrs[a[1]] = decode(a[2].slice(1, -1), i, true);
      i = ATTRIBUTE.lastIndex;
    }
    TAG_END.lastIndex = i;
    const end = TAG_END.exec(text);
    if (!end) fail(`the tag <${name[0]}> is not well formed`, i);
    at = TAG_END.lastIndex;
    rootSeen = true;
    handler.open(name[0], attrs);
    if (end[1]) handler.close();
    else open.push(name[0]);
  }
  function endTag() {
    NAME.lastIndex = at + 2;
    const name = NAME.exec(text);
    const expected = open[open.length - 1];
    if (!name || name[0] !== expected) {
      fail(
        expected
          ? `the element <${expected}> is closed by another tag`
          : 'an end tag outside the root',
      );
    }
    CLOSE_TAG.lastIndex = NAME.lastIndex;
    if (!CLOSE_TAG.exec(text)) fail(`the end tag of <${expected}> is not well formed`);
    at = CLOSE_TAG.lastIndex;
    open.pop();
    handler.close();
  }
  function markup() {
    if (text.startsWith('<!--', at)) skipTo('-->', 'a comment');
    else if (text.startsWith('<?', at)) skipTo('?>', 'a processing instruction');
    else if (text.startsWith('<![CDATA[', at)) {
      if (!open.length) fail('character data outside the root element');
      at += 9;
      handler.text(skipTo(']]>', 'a CDATA section').replace(/\r\n?/g, '\n'));
    } else if (text.startsWith('<!DOCTYPE', at) && !rootSeen) {
      // An internal subset may hold ">"; its declarations are not used.
      const close = text.indexOf('>', at);
      const bracket = text.indexOf('[', at);
      if (bracket >= 0 && (close < 0 || bracket < close)) skipTo(']', 'the document type');
      skipTo('>', 'the document type');
    } else if (text.startsWith('</', at)) endTag();
    else startTag();
  }
  function step() {
    const lt = text.indexOf('<', at);
    const end = lt < 0 ? text.length : lt;
    if (end > at) {
      if (open.length) handler.text(decode(text.slice(at, end), at, false));
      else if (/\S/.test(text.slice(at, end))) {
        const first = at + text.slice(at, end).search(/\S/);
        fail(rootSeen ? 'text after the root element' : 'it does not start with an element', first);
      }
      at = end;
    }
    if (lt < 0) {
      if (open.length) fail(`the document ends inside <${open[open.length - 1]}>`, text.length);
      if (!rootSeen) fail('it holds no element', text.length);
      reader.done = true;
      return;
    }
    markup();
  }
  // Reads until the document ends, an error, or the deadline (a performance.now() time).
  reader.run = (deadline = Infinity) => {
    try {
      while (!reader.done) {
        for (let n = 0; n < STEPS_PER_CHECK && !reader.done; n++) step();
        if (deadline !== Infinity && performance.now() >= deadline) break;
      }
    } catch (e) {
      if (!(e instanceof XmlError)) throw e;
      reader.done = true;
      reader.error = e;
    }
    return reader.done;
  };
  return reader;
}

// A plain tree of the document: { name, attrs, children, text } nodes, built without
// recursion. text is the element's own text, kept only for elements without children.
export function treeBuilder() {
  const root = { name: '#document', attrs: null, children: [], text: null };
  const stack = [root];
  const pieces = [];
  return {
    root,
    open(name, attrs) {
      const node = { name, attrs, children: [], text: null };
      stack[stack.length - 1].children.push(node);
      stack.push(node);
      pieces.length = 0;
    },
    text(t) {
      pieces.push(t);
    },
    close() {
      const node = stack.pop();
      if (!node.children.length && pieces.length) node.text = pieces.join('');
      pieces.length = 0;
    },
  };
}
