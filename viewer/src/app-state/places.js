// Where a place is: the address of a place of an open report, and the report an address
// names. A place of one report names it by its fingerprint and file name; Machines and
// Compare name the reports they show.
import { state } from './state.js';
import { shared } from './share.js';
import { formAddress, parseAddress, placeParams, placeOf } from '../lib/address.js';

// Views of more than one report, shown only when more than one is open.
export const MANY = new Set(['machines', 'compare']);

// The fragment of a place of report i (the current one when not given); redacted, it
// names no folder, key or file.
export function addressOf(place, i = state.current, redacted = false) {
  const report = state.reports[i];
  if (MANY.has(place.view) || !report) {
    const pair = place.view === 'compare' ? state.compare : null;
    const id = (n) => state.reports[n]?.id;
    return formAddress([
      ['view', place.view],
      ['before', pair && id(pair.a)],
      ['after', pair && id(pair.b)],
    ]);
  }
  // What a redacted address still names (a variable, a WMI class) is redacted too.
  const params = placeParams(report.model, place, redacted);
  return formAddress([
    ['report', report.id],
    ['name', redacted ? null : report.model.fileName],
    ...(redacted ? params.map(([k, v]) => [k, v == null ? v : shared(v)]) : params),
  ]);
}

// What an address (a fragment) names, with its parameters: null when it names nothing or
// no report is open; { pair: [a, b] } (-1 for one not open) for a view of many reports;
// else { i, renamed } where i is -1 while its report is not open and renamed says that
// only the file name matched (the link was made in another report of that name), and once
// it is open the place in it as placeOf finds it. An address that names no report is a
// place in the current one.
export function addressed(fragment) {
  const params = parseAddress(fragment);
  if (!params.size || !state.reports.length) return null;
  const byId = (id) => state.reports.findIndex((rep) => rep.id === id);
  if (MANY.has(params.get('view')))
    return { params, pair: [byId(params.get('before')), byId(params.get('after'))] };
  let [i, renamed] = [state.current, false];
  const name = params.get('name');
  if (params.has('report') || params.has('name')) {
    i = byId(params.get('report'));
    if (i < 0 && name) {
      i = state.reports.findIndex((rep) => rep.model.fileName === name);
      renamed = i >= 0;
    }
  }
  if (i < 0) return { params, i, renamed };
  return { params, i, renamed, ...placeOf(state.reports[i].model, params) };
}
