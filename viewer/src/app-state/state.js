// The page's state in named pieces. Views read it; the page changes it only through
// update(), which merges a change into the pieces it names.
export const state = {
  // Open reports: { model, findings, reading } where reading is the promise of a files
  // section still being read.
  reports: [],
  current: -1,
  // What the page shows: { view, ... } as the views and search hits give it.
  place: { view: 'overview' },
  search: { query: '', hits: [], hit: -1 },
  compare: { a: 0, b: 1, showSame: false },
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
