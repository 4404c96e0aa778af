// What leaves the page: text put on the clipboard and files saved. With the redact switch
// on, personal data in it is replaced by placeholders (one redactor over every open
// report, so that placeholders agree across reports, tickets, links and exports) and a
// ticket says so at its top, a saved file in its name. The reports themselves never change.
import { state } from './state.js';
import { packs } from './packs.js';
import { redactor, REDACTION_NOTICE } from '../lib/redact.js';
import { literal } from '../lib/text.js';
import { reportTicket, pairTicket, machinesTicket } from '../lib/ticket.js';
import { comparison } from './inputs.js';
import { findingsOf, factsOf, labelOf } from './reports.js';

let cache = { reports: null, redactor: null };

// Forgets the redactor, so that the next text is redacted with what has been read since.
export function reportsChanged() {
  cache = { reports: null, redactor: null };
}

function redactorNow() {
  if (cache.reports !== state.reports)
    cache = { reports: state.reports, redactor: redactor(state.reports.map((r) => r.model)) };
  return cache.redactor;
}

// The articles the rule packs cite are the team's own addresses, not the customer's: they
// leave the page as they are, though they have the form of a host name.
let articles = { engine: null, re: null };

function articlesNow() {
  if (articles.engine !== packs.engine) {
    const links = new Set(packs.list.flatMap((p) => p.pack.rules.map((rule) => rule.link)));
    links.delete(null);
    links.delete(undefined);
    const list = [...links].sort((a, b) => b.length - a.length).map(literal);
    articles = { engine: packs.engine, re: list.length ? new RegExp(`(${list.join('|')})`) : null };
  }
  return articles.re;
}

// One text as it may leave the page.
export function shared(text) {
  if (!state.redact) return String(text ?? '');
  const kept = articlesNow();
  if (!kept) return redactorNow().text(text);
  // Split on the articles: the odd pieces are the articles themselves.
  const pieces = String(text ?? '').split(kept);
  return pieces.map((t, i) => (i % 2 ? t : redactorNow().text(t))).join('');
}

// A whole text (a ticket): redacted, it begins by saying so.
export function sharedDocument(text) {
  return state.redact ? `${REDACTION_NOTICE}\n\n${shared(text)}` : text;
}

// The ticket of what the page shows, as it may leave the page: one line per machine on
// Machines, the pair on Compare, else the current report.
export function ticketText() {
  const report = state.reports[state.current];
  const cmp = state.place.view === 'compare' ? comparison() : null;
  let text;
  if (state.place.view === 'machines') {
    const rows = state.reports.map((rep) => ({
      label: labelOf(rep, state.reports),
      facts: factsOf(rep),
    }));
    text = machinesTicket(rows);
  } else if (cmp?.sections) {
    const side = (i) => ({ model: state.reports[i].model, findings: findingsOf(state.reports[i]) });
    text = pairTicket(side(cmp.a), side(cmp.b), cmp.sections);
  } else text = reportTicket(report.model, findingsOf(report) ?? []);
  return sharedDocument(text);
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

// A file name safe on every system: what a file system forbids becomes a hyphen.
function fileName(text) {
  return text
    .replace(/[\\/:*?"<>|\u0000-\u001f\s]+/g, '-')
    .replace(/-{2,}/g, '-')
    .replace(/^[-.]+|-+$/g, '')
    .slice(0, 120);
}

// Saves a text as a file, by the browser's own download.
function save(name, text) {
  // A byte order mark, so that spreadsheets read the text as UTF-8.
  const blob = new Blob([`\ufeff${text}`], { type: 'text/csv;charset=utf-8' });
  const url = URL.createObjectURL(blob);
  const a = Object.assign(document.createElement('a'), { href: url, download: name });
  document.body.append(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(url), 60000);
}

// Saves records (the first the headings) as a CSV file named after the current report and
// the table (m1-processes.csv), or as `file` names it; redacted, the name says so
// (m1-processes.redacted.csv) and the records begin with their headings all the same.
export function exportFile(name, records, format, file = null) {
  const fields = records.map((fields) => fields.map(shared));
  const report = state.reports[state.current]?.model.fileName.replace(/\.[^.]*$/, '');
  const stem = file ?? `${report && state.place.view !== 'machines' ? `${report}-` : ''}${name}`;
  save(`${fileName(shared(stem))}${state.redact ? '.redacted' : ''}.csv`, format(fields));
}

// Saves the map of placeholders to the values they stand for, for the engineer to keep:
// a customer's answer that quotes COMPUTER-1 can be read back. It is never sent anywhere.
export function savePlaceholders(format) {
  redactorNow();
  save('placeholders.csv', format([['Placeholder', 'Value'], ...cache.redactor.map()]));
}
