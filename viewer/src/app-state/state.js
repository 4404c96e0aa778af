// The page's state in named pieces, and the named actions that change it: nothing else
// can, as update() (which merges a change into the pieces it names) is this module's own.
// Views are given what they show (inputs.js) and call the actions they need.
import { factsOf } from './reports.js';
import { beforeAfter } from '../lib/machines.js';
export const state = {
  // Open reports: { model, id, findings, facts, reading, size } where id is the fingerprint
  // of its text, findings and facts are kept once known, reading is the promise of a files
  // section still being read, and size the file's size in bytes.
  reports: [],
  current: -1,
  // What the page shows: { view, ... } as the views and search hits give it.
  place: { view: 'overview' },
  search: { query: '', hits: [], hit: -1 },
  compare: { a: 0, b: 1, showSame: false },
  // The Machines view: the product and the finding whose spread is shown, the reports
  // picked for Compare, the order of its rows.
  machines: { product: '', rule: '', picked: [], sorted: {} },
  // Whether what leaves the page (tickets, links' words, exports) is redacted.
  redact: false,
  // An address whose report is not open yet: it is shown once that report is opened.
  pending: null,
};

function update(change) {
  for (const [piece, value] of Object.entries(change)) {
    state[piece] =
      value && typeof value === 'object' && !Array.isArray(value) && piece !== 'place'
        ? { ...state[piece], ...value }
        : value;
  }
}

export function currentReport() {
  return state.reports[state.current] ?? null;
}

// How the page shows a place again after an action (push: as a new step of the history);
// set once by the page.
let showAgain = () => {};
export function onAction(show) {
  showAgain = show;
}

// Compare: another Before or After report, or the unchanged items shown or not; Compare is
// shown.
export function chooseCompare(change) {
  update({ compare: change });
  showAgain({ view: 'compare' }, true);
}

// Machines: the product whose versions, or the finding whose spread, the view shows.
export function chooseSpread(change) {
  update({ machines: change });
  showAgain(state.place, false);
}

// Machines: report i picked for Compare or not; two at most, so a third pick replaces the
// one picked before the last. Gives the reports picked; the view marks them itself, so that
// the focus stays on the box.
export function pickMachine(i, on) {
  const rest = state.machines.picked.filter((n) => n !== i);
  update({ machines: { picked: on ? [...rest.slice(-1), i] : rest } });
  return state.machines.picked;
}

// Machines: the two picked go to Compare; the one written first is Before.
export function comparePicked() {
  const writtenAt = (i) => factsOf(state.reports[i]).written?.ms;
  const [a, b] = beforeAfter(state.machines.picked, writtenAt);
  chooseCompare({ a, b });
}

// Machines: the column its rows are sorted by, kept for when the view is shown again.
export function sortMachines(sorted) {
  update({ machines: { sorted } });
}

// The place the page shows.
export function showPlace(place) {
  update({ place });
}

// Report i is the one shown; its search starts afresh.
export function selectReport(i) {
  update({ current: i, search: { query: '', hits: [], hit: -1 } });
}

// A report opened: the next of the list.
export function addReport(report) {
  update({ reports: [...state.reports, report] });
}

// Report i closed: the pair compared keeps its reports (the first two if it loses one),
// nothing stays picked, and no report is current when none is left.
export function closeReport(i) {
  const reports = state.reports.filter((_, n) => n !== i);
  const shift = (n) => (n > i ? n - 1 : n);
  const { a, b } = state.compare;
  const pair = a === i || b === i ? { a: 0, b: 1 } : { a: shift(a), b: shift(b) };
  update({ reports, compare: pair, machines: { picked: [] } });
  if (!reports.length) update({ current: -1 });
}

// Compare: the pair to compare, not shown yet (a link names it, or reports were opened).
export function pairReports(a, b) {
  update({ compare: { a, b } });
}

// An address whose report is not open yet, or null once it is shown.
export function awaitAddress(fragment) {
  update({ pending: fragment });
}

// A new search: its text and hits; the first step forward (or back) goes to the first hit.
export function searched(query, hits, direction) {
  update({ search: { query, hits, hit: direction > 0 ? -1 : 0 } });
}

// The next (direction 1) or previous (-1) hit, round the end; gives it.
export function stepHit(direction) {
  const { hits, hit } = state.search;
  update({ search: { hit: (hit + direction + hits.length) % hits.length } });
  return hits[state.search.hit];
}

// Whether what leaves the page is redacted.
export function setRedact(on) {
  update({ redact: on });
}
