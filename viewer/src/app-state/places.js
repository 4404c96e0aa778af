// Where a place is: the address of a place of an open report, and the report an address
// names. A place of one report names it by its fingerprint and file name; Machines and
// Compare name the reports they show.
import { state } from './state.js';
import { shared } from './share.js';
import { formAddress, placeParams } from '../lib/address.js';

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

// The open report an address names: { pair: [a, b] } (-1 for one not open) for a view of
// many reports; else { i, renamed } where i is -1 when the report is not open and renamed
// says that only its file name matched (the link was made in another report of that
// name). An address that names no report is a place in the current one.
export function addressed(params) {
  const byId = (id) => state.reports.findIndex((rep) => rep.id === id);
  if (MANY.has(params.get('view')))
    return { pair: [byId(params.get('before')), byId(params.get('after'))] };
  if (!params.has('report') && !params.has('name')) return { i: state.current, renamed: false };
  const i = byId(params.get('report'));
  const name = params.get('name');
  if (i >= 0 || !name) return { i, renamed: false };
  const same = state.reports.findIndex((rep) => rep.model.fileName === name);
  return { i: same, renamed: same >= 0 };
}
