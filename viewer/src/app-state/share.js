// What leaves the page: text put on the clipboard and files saved. With the redact switch
// on, personal data in it is replaced by placeholders (one redactor over every open
// report, so that placeholders agree across reports, tickets, links and exports) and a
// ticket or an export says so at its top. The reports themselves never change.
import { state } from './state.js';
import { redactor, REDACTION_NOTICE } from '../lib/redact.js';

let cache = { reports: null, redactor: null };

// Forgets the redactor, so that the next text is redacted with what has been read since.
export function reportsChanged() {
  cache = { reports: null, redactor: null };
}

// One text as it may leave the page.
export function shared(text) {
  if (!state.redact) return String(text ?? '');
  if (cache.reports !== state.reports)
    cache = { reports: state.reports, redactor: redactor(state.reports.map((r) => r.model)) };
  return cache.redactor.text(text);
}

// A whole text (a ticket): redacted, it begins by saying so.
export function sharedDocument(text) {
  return state.redact ? `${REDACTION_NOTICE}\n\n${shared(text)}` : text;
}

// Puts a text on the clipboard as it may leave the page (redact false: a text that holds
// no report text, such as the page's own address); the button, if any, says for a moment
// how that went.
export function copy(text, button = null, redact = true) {
  const out = redact ? shared(text) : String(text);
  const label = button?.textContent;
  const say = (word) => () => {
    if (!button) return;
    button.textContent = word;
    setTimeout(() => (button.textContent = label), 2000);
  };
  const written = navigator.clipboard?.writeText(out) ?? Promise.reject(new Error('no clipboard'));
  written.then(say('Copied'), say('Copy failed: select the text'));
}

// Saves records (the first the headings) as a file named after the current report.
export function exportFile(name, records, format) {
  const fields = records.map((fields) => fields.map(shared));
  if (state.redact) fields.unshift([REDACTION_NOTICE]);
  const report = state.reports[state.current]?.model.fileName.replace(/\.[^.]*$/, '');
  const file = `${report && state.place.view !== 'machines' ? `${report}-` : ''}${name}.csv`;
  // A byte order mark, so that spreadsheets read the text as UTF-8.
  const blob = new Blob([`\ufeff${format(fields)}`], { type: 'text/csv;charset=utf-8' });
  const url = URL.createObjectURL(blob);
  const a = Object.assign(document.createElement('a'), { href: url, download: shared(file) });
  document.body.append(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(url), 60000);
}
