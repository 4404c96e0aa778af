// Reading XML with saxes, a streaming parser tested against the W3C conformance suite: it
// is fed the text in slices, so that a report of many megabytes, or one huge token, never
// holds the page for long. The reader calls handler.open(name, attrs, line),
// handler.text(text) and handler.close() in document order; attrs is a record without
// prototype in document order. The first well-formedness error stops it; error then gives
// its message, line, column and offset.
import { SaxesParser } from 'saxes';

// Characters given to the parser between two looks at the clock.
const SLICE_CHARS = 1 << 16;

export class XmlError extends Error {
  constructor(message, line, column, offset) {
    super(message);
    Object.assign(this, { line, column, offset });
  }
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

// saxes's messages, in the words of the page where they are terse.
const WORDS = [
  [/^unclosed tag: (.*)$/, (_, name) => `the file ends inside <${name}>`],
  [/^duplicate attribute: (.*)$/, (_, name) => `the attribute "${name}" is given twice`],
  [/^undefined entity$/, () => 'a reference to an entity that is not defined'],
  [/^document must contain a root element$/, () => 'it holds no element'],
  [/^text data outside of root node$/, () => 'text outside the root element'],
];
function plain(message) {
  const said = message.replace(/^\d+:\d+: /, '').replace(/\.$/, '');
  const words = WORDS.find(([pattern]) => pattern.test(said));
  return words ? said.replace(words[0], words[1]) : said;
}

// A document type is read only as a name: declarations (entities, attribute defaults)
// would change what the document holds, and no report carries them.
function checkDoctype(body) {
  if (!/^\s*[^\s[]+\s*$/.test(body)) {
    return 'it has a document type with declarations or an external subset, which the viewer does not read';
  }
  return null;
}

export function xmlReader(text, handler) {
  const parser = new SaxesParser({ defaultXMLVersion: '1.0', forceXMLVersion: true });
  let fed = 0;
  const reader = { done: false, error: null };
  const stop = (message) => {
    throw new XmlError(plain(message), parser.line, parser.column + 1, parser.position);
  };
  parser.on('error', (e) => stop(e.message));
  parser.on('doctype', (body) => {
    const problem = checkDoctype(body);
    if (problem) stop(problem);
  });
  parser.on('opentag', (tag) => handler.open(tag.name, tag.attributes, parser.line));
  parser.on('text', (t) => {
    if (parser.tags.length) handler.text(t);
  });
  parser.on('cdata', (t) => handler.text(t));
  parser.on('closetag', () => handler.close());
  // Reads until the document ends, an error, or the deadline (a performance.now() time).
  reader.run = (deadline = Infinity) => {
    try {
      while (!reader.done) {
        if (fed < text.length) {
          parser.write(text.slice(fed, fed + SLICE_CHARS));
          fed += SLICE_CHARS;
        } else {
          parser.close();
          reader.done = true;
        }
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

// A plain tree of the document: { name, attrs, children, text, line } nodes, built
// without recursion. text is the element's own text, kept only for elements without
// children.
export function treeBuilder() {
  const root = { name: '#document', attrs: null, children: [], text: null };
  const stack = [root];
  const pieces = [];
  return {
    root,
    open(name, attrs, line) {
      const node = { name, attrs, children: [], text: null, line };
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
