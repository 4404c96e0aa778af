// The named actions that change what the page shows: each changes the state through
// update() and says so to the page, which shows the place again. Views call these (and the
// page's go, link and cite), never update() itself.
import { state, update } from './state.js';
import { factsOf } from './reports.js';
import { beforeAfter } from '../lib/machines.js';

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
