// The rule packs of the page: those built into this copy of the viewer, those opened, and
// those remembered in the browser's own storage when the user asked for it (nothing is
// kept anywhere else). A refused pack is named with its problems and leaves the others
// working. When the packs change, every open report's findings are found again, a few
// reports at a time, so that the page stays responsive.
import { readPack, PackError } from '../lib/rules/pack.js';
import { ruleEngine } from '../lib/rules/run.js';

const STORE = 'vitascan-viewer.packs';
export const PACK_FILE = /\.json$/i;

// list: [{ pack, text, origin }] where origin is "built in", "opened" or "remembered".
export const packs = { list: [], engine: ruleEngine([]), remember: false };

function storage() {
  try {
    return globalThis.localStorage ?? null;
  } catch {
    return null;
  }
}

function changed() {
  packs.engine = ruleEngine(packs.list.map((p) => p.pack));
  const store = storage();
  if (!store) return;
  const kept = packs.list.filter((p) => p.origin !== 'built in');
  try {
    if (packs.remember)
      store.setItem(
        STORE,
        JSON.stringify(kept.map((p) => ({ fileName: p.pack.fileName, text: p.text }))),
      );
    else store.removeItem(STORE);
  } catch {
    // Storage full or refused: the packs still work for this visit.
  }
}

// Adds a pack from its text, in place of a loaded pack of the same name; throws a
// PackError when it is refused.
export function addPack(text, fileName, origin = 'opened') {
  const pack = readPack(text, fileName);
  const at = packs.list.findIndex((p) => p.pack.name === pack.name);
  const entry = { pack, text, origin };
  if (at >= 0) packs.list[at] = entry;
  else packs.list.push(entry);
  changed();
  return pack;
}

export function removePack(index) {
  packs.list.splice(index, 1);
  changed();
}

export function rememberPacks(on) {
  packs.remember = on;
  changed();
}

// The packs built in and those remembered, when the page starts: the problems of any
// refused (a remembered pack from an older viewer, say).
export function startPacks(baked) {
  const problems = [];
  const load = (list, origin) => {
    for (const { fileName, text } of list) {
      try {
        addPack(text, fileName, origin);
      } catch (e) {
        problems.push(...(e instanceof PackError ? e.problems : [`${fileName}: ${e.message}`]));
      }
    }
  };
  load(baked, 'built in');
  let kept = null;
  try {
    kept = JSON.parse(storage()?.getItem(STORE) ?? 'null');
  } catch {
    kept = null;
  }
  if (Array.isArray(kept)) {
    packs.remember = true;
    load(
      kept.filter((k) => typeof k?.text === 'string' && typeof k?.fileName === 'string'),
      'remembered',
    );
  }
  return problems;
}
