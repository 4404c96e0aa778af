// DOM building for every view. Report text only ever becomes text nodes or attribute
// values set through the DOM; nothing here parses markup. Report text is isolated from
// the page's own words (a <bdi>), invisible format characters in it are shown as
// markers, letters of another script are marked, and the words a search matched are
// marked.
import { textPieces } from '../lib/text.js';

export function h(tag, props, ...children) {
  const el = document.createElement(tag);
  for (const [k, v] of Object.entries(props ?? {})) {
    if (v == null || v === false) continue;
    if (k === 'class') el.className = v;
    else if (k === 'on') for (const [ev, fn] of Object.entries(v)) el.addEventListener(ev, fn);
    else if (k === 'dataset') Object.assign(el.dataset, v);
    else el.setAttribute(k, v === true ? '' : v);
  }
  append(el, children);
  return el;
}

function append(el, children) {
  for (const c of children) {
    if (c == null || c === false) continue;
    if (Array.isArray(c)) append(el, c);
    else if (c instanceof Node) el.appendChild(c);
    else if (typeof c === 'object' && 'report' in c) el.appendChild(rt(c.report));
    else appendText(el, String(c));
  }
}

// Text with its format characters as markers, its foreign letters marked and named,
// combining marks past a few counted, and the query's matches marked.
function appendText(el, text, query = null, layout = false) {
  const cut = textPieces(text, query, layout);
  if (!cut) {
    el.appendChild(document.createTextNode(text));
    return;
  }
  let mark = null;
  for (const piece of cut.pieces) {
    if (piece.mark && !mark) mark = el.appendChild(h('mark'));
    if (!piece.mark) mark = null;
    const into = mark ?? el;
    if (piece.special) {
      const [kind, shown, title] = piece.special;
      into.appendChild(h('span', { class: kind === 'foreign' ? 'foreign' : 'fmt', title }, shown));
    } else if (!piece.hidden) into.appendChild(document.createTextNode(piece.text));
  }
  if (cut.note) el.appendChild(h('span', { class: 'fmt mixed', title: 'Mixed scripts' }, cut.note));
}

// A piece of report text: isolated, markers shown, the query's matches marked; layout
// leaves tabs and line feeds as they are.
export function rt(text, query = null, layout = false) {
  const el = document.createElement('bdi');
  appendText(el, String(text ?? ''), query, layout);
  return el;
}

export function section(title, ...children) {
  return h('section', { class: 'block' }, h('h2', null, title), ...children);
}

export function empty(text) {
  return h('p', { class: 'empty' }, text);
}

// A bar of used against free; share is the used part, 0 to 1. Its width is set through
// the element's style object, which the page's policy allows (style attributes it does not).
export function bar(share, caption) {
  const pct = Math.max(0, Math.min(100, share * 100));
  const fill = h('div', { class: pct > 90 ? 'fill high' : 'fill' });
  fill.style.width = `${pct.toFixed(1)}%`;
  return h('div', { class: 'bar', title: caption }, fill, h('span', null, caption));
}

// A link that runs an action; a button would look out of place in running text. Its
// address (a function that gives it), when given, lets the browser open or copy it as a
// link too: it is made when the link is first pointed at, focused or opened in a menu,
// so that a page of links costs nothing until one is used.
export function actionLink(text, action, { address, ...props } = {}) {
  const click = (e) => {
    if (e.ctrlKey || e.metaKey || e.shiftKey) return;
    e.preventDefault();
    action();
  };
  const a = h('a', { href: '#', ...props, on: { click } }, text);
  const fill = () => a.setAttribute('href', address());
  if (address)
    for (const on of ['pointerenter', 'focus', 'contextmenu']) a.addEventListener(on, fill);
  return a;
}

// Links to places: a view only says which place (of report i, else the current one); the
// page follows them, one listener for the whole view, so that no view needs the page's
// actions to link. A click goes there ("go") or goes there and copies the link ("cite");
// the link's address is filled in when it is pointed at, focused or opened in a new tab.
const LINKED = new WeakMap();

function linkTo(text, place, i, how, props) {
  const a = h('a', { href: '#', ...props }, text);
  LINKED.set(a, { place, i, how });
  return a;
}

// The place a link of a view opens: { place, i, how }, or null.
export const linkedPlace = (a) => (a ? (LINKED.get(a) ?? null) : null);

export function goLink(text, place, i = undefined, props = {}) {
  return linkTo(text, place, i, 'go', props);
}

// A link to a row's or item's place, that copies its link as well.
export function placeLink(place, text = 'Link', label = 'Copy a link to this row') {
  const props = { class: 'item-link', title: label };
  if (text === 'Link') props['aria-label'] = label;
  return linkTo(text, place, undefined, 'cite', props);
}

// A date read from the report: shown as ISO 8601, the text as written one hover away.
export function dateView(date) {
  const props = { datetime: date.iso, title: `As written: ${date.text}` };
  return h(
    'time',
    props,
    h('span', { class: 'at' }, date.at),
    date.zone ? [' ', rt(date.zone)] : null,
  );
}

// Marks a hit: the element, the first of the query's marks inside it brought into view.
export function showHit(el) {
  if (!el) return;
  el.classList.add('hit');
  requestAnimationFrame(() =>
    (el.querySelector('mark') ?? el).scrollIntoView({ block: 'center', inline: 'nearest' }),
  );
}

// A collapsible tree node whose children are built only when it is first opened.
export function lazyNode(label, fill, { open = false, extraClass = '' } = {}) {
  const summary = h('summary', null, label);
  const details = h('details', { class: `node ${extraClass}` }, summary);
  let filled = false;
  details.ensure = () => {
    if (!filled) {
      filled = true;
      fill(details);
    }
  };
  details.addEventListener('toggle', () => details.open && details.ensure());
  if (open) {
    details.ensure();
    details.open = true;
  }
  return details;
}
