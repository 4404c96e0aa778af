// The page's state in named pieces. It changes only through the named actions of
// actions.js, each of which calls update(), which merges a change into the pieces it
// names; views are given what they show (inputs.js) and call actions.
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

export function update(change) {
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
