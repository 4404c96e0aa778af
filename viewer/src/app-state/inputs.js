// What each view is given to show, read from the state: the current report's model, the
// words a search hit marks, its findings (null while its files section is read, with the
// text that says so); the Machines view its rows and choices, Compare the chosen pair
// compared. Views read nothing else of the state.
import { state, currentReport } from './state.js';
import { findingsOf, factsOf, labelOf, comparisonOf, pendingText } from './reports.js';

// The chosen pair, compared once both are read: { a, b, showSame, sections }, { pending }
// while one is read, or null.
export function comparison() {
  const { a, b, showSame } = state.compare;
  const [before, after] = [state.reports[a], state.reports[b]];
  if (!before || !after) return null;
  const waiting = [before, after].find((rep) => rep.reading);
  if (waiting) return { pending: pendingText(waiting) };
  return { a, b, showSame, sections: comparisonOf(before, after) };
}

export function viewInput(view, query = null) {
  const report = currentReport();
  const reports = state.reports;
  const input = {
    model: report.model,
    query,
    // Found when a view asks: the files view, say, never does.
    get findings() {
      return findingsOf(report);
    },
    pending: report.reading ? pendingText(report) : null,
    labels: reports.map((rep) => labelOf(rep, reports)),
  };
  if (view === 'machines') {
    input.rows = reports.map((rep, i) => ({ i, label: input.labels[i], facts: factsOf(rep) }));
    input.choice = state.machines;
  } else if (view === 'compare') {
    input.pair = comparison();
    input.fileNames = reports.map((rep) => rep.model.fileName);
    if (input.pair?.sections)
      input.pairFindings = [input.pair.a, input.pair.b].map((i) => findingsOf(reports[i]) ?? []);
  }
  return input;
}
