// One line per report for the Machines view: what a support engineer compares across a
// customer's machines, from the machine's summary and the report's findings.
import { machineOf } from './facts.js';

const same = (a, b) => a.toLowerCase() === b.toLowerCase();

export function machineFacts(model, findings) {
  const machine = machineOf(model);
  const counts = { problem: 0, warning: 0, note: 0 };
  const rules = new Map();
  // Known issues of rule packs: how many, and each rule's words ("Known issue KB-1042: …").
  const known = { count: 0, titles: new Map() };
  for (const f of findings ?? []) {
    counts[f.severity]++;
    rules.set(f.rule, (rules.get(f.rule) ?? 0) + 1);
    if (f.known) {
      known.count++;
      known.titles.set(f.rule, `Known issue ${f.rule}: ${f.known.title}`);
    }
  }
  return {
    computer: machine.computer,
    windows: machine.windows.caption,
    version: machine.windows.version,
    build: machine.windows.build,
    memory: machine.memory?.total ?? null,
    drive: machine.systemDrive?.drive ?? null,
    free: machine.systemDrive?.free ?? null,
    products: machine.products,
    counts,
    rules,
    known,
    written: machine.written,
  };
}

// The versions of a product on one machine, "" when it has none.
export function versionsOf(facts, name) {
  const versions = facts.products.filter((p) => same(p.name, name)).map((p) => p.version);
  return [...new Set(versions)].join(', ');
}

// The product names of all machines, each once, in the order first met.
export function productNames(all) {
  const names = new Map();
  for (const f of all) for (const p of f.products) names.set(p.name.toLowerCase(), p.name);
  return [...names.values()];
}

// How many machines have each value, the most common first.
export function spread(values) {
  const counts = new Map();
  for (const v of values) counts.set(v, (counts.get(v) ?? 0) + 1);
  return [...counts].sort((a, b) => b[1] - a[1]);
}

// Which of two reports is Before: the one written first, else (no time, or the same) the
// one opened first. picked: two report indexes; writtenAt(i): ms, or null when unknown.
export function beforeAfter(picked, writtenAt) {
  const when = (i) => writtenAt(i) ?? -Infinity;
  return [...picked].sort((x, y) => when(x) - when(y) || x - y);
}
