// The findings of one report, each with a link that opens its evidence.
import { h, section, empty } from './dom.js';

export function findingsList(findings, open) {
  if (!findings.length) return empty('Nothing stands out in this report.');
  return h('ul', { class: 'findings-list' }, findings.map((f) => h('li', { dataset: { rule: f.rule, severity: f.severity } },
    h('span', { class: `sev ${f.severity}` }, f.severity), f.text, ' ',
    h('a', { href: '#', class: 'evidence', on: { click: (e) => { e.preventDefault(); open(f.place); } } }, 'show'))));
}

export function renderFindings(model, place, ctx) {
  return h('div', { class: 'findings' }, section('Findings', findingsList(ctx.findings(), ctx.open)));
}
