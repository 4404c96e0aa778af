// Inlines the viewer's modules and style sheet into one self-contained HTML file.
// Each module becomes a function scope returning its exports, so modules keep their own
// names; the content security policy allows exactly this script and this style.
// A package named by a bare import (the pattern engine) is inlined the same way from its
// own ES module build, and --rules packs are checked and inlined as data.
// Usage: node build.mjs [--rules PACK.json]... OUTPUT.html
import { readFileSync, writeFileSync } from 'node:fs';
import { createHash } from 'node:crypto';
import { basename, dirname, join, relative } from 'node:path';
import { fileURLToPath } from 'node:url';

const here = dirname(fileURLToPath(import.meta.url));
const IMPORT = /^import\s*\{([^}]*)\}\s*from\s*'(\.{1,2}\/[\w/.-]+\.js|[a-z][\w-]*)';\s*$/gm;
// Packages the page inlines: their ES module build, which ends in one export list.
const PACKAGES = { re2js: 'node_modules/re2js/build/index.js' };
const EXPORT_LIST = /^export\s*\{([^}]*)\};?\s*$/m;
const EXPORT_DECL = /^export\s+(?:async\s+)?(?:function\*?|const|let|class)\s+([A-Za-z_$][\w$]*)/gm;

function scopeName(path) {
  return `__module_${relative(here, path).replace(/\W/g, '_')}`;
}

// Where an import leads: a module of ours beside the importer, or a package's build.
function resolve(from, name) {
  if (name.startsWith('.')) return join(dirname(from), name);
  if (!Object.hasOwn(PACKAGES, name)) throw new Error(`${from}: no package ${name} to inline`);
  return join(here, '..', PACKAGES[name]);
}

// A package's module: its own export list becomes the scope's return value.
function packageScope(path, source) {
  const list = EXPORT_LIST.exec(source);
  if (!list || /^\s*(import|export)\b/m.test(source.replace(EXPORT_LIST, '')))
    throw new Error(`${path}: not a single-file ES module with one export list`);
  const names = list[1].split(',').map((n) => n.trim().split(/\s+as\s+/));
  const exported = names.map(([local, as]) => `${as ?? local}: ${local}`).join(', ');
  const body = source.replace(EXPORT_LIST, '');
  return `const ${scopeName(path)} = (() => {\n${body}\nreturn { ${exported} };\n})();`;
}

export function bundle(entry, prelude = '') {
  const order = [];
  const seen = new Set();
  const visit = (path, trail) => {
    if (trail.includes(path)) {
      throw new Error(`import cycle: ${trail.concat(path).join(' -> ')}`);
    }
    if (seen.has(path)) return;
    const source = readFileSync(path, 'utf8');
    const ours = !path.includes('node_modules');
    if (ours && /^export\s*[{*]/m.test(source))
      throw new Error(`${path}: export each declaration itself`);
    if (ours)
      for (const m of source.matchAll(IMPORT)) visit(resolve(path, m[2]), trail.concat(path));
    seen.add(path);
    order.push({ path, source, ours });
  };
  visit(join(here, entry), []);
  const parts = order.map(({ path, source, ours }) => {
    if (!ours) return packageScope(path, source);
    const exported = [...source.matchAll(EXPORT_DECL)].map((m) => m[1]);
    const body = source
      .replace(IMPORT, (_, names, from) => {
        const list = names
          .replace(/\bas\b/g, ':')
          .replace(/\s+/g, ' ')
          .trim();
        return `const { ${list} } = ${scopeName(resolve(path, from))};`;
      })
      .replace(/^export\s+/gm, '');
    return `const ${scopeName(path)} = (() => {\n${body}\nreturn { ${exported.join(', ')} };\n})();`;
  });
  return `(() => {\n'use strict';\n${prelude}${parts.join('\n')}\n})();`;
}

function sha256(text) {
  return `'sha256-${createHash('sha256').update(text, 'utf8').digest('base64')}'`;
}

// packs: [{ fileName, text }] to build in; each is checked first.
export async function buildPage(packs = []) {
  const { readPack } = await import('./src/lib/rules/pack.js');
  for (const p of packs) readPack(p.text, p.fileName);
  // The packs' texts as data for the page (app-state/packs.js); "<" written as an escape,
  // so that no text can end the script element.
  const baked = `const BAKED_PACKS = ${JSON.stringify(packs).replace(/</g, '\\u003c')};\n`;
  const script = bundle('src/main.js', baked);
  const style = readFileSync(join(here, 'viewer.css'), 'utf8');
  if (script.includes('</script') || style.includes('</style')) {
    throw new Error('a module holds a closing tag');
  }
  // Nothing may be fetched: no connections, images, fonts, frames, workers or forms.
  const csp =
    `default-src 'none'; script-src ${sha256(script)}; style-src ${sha256(style)}; ` +
    `img-src 'none'; base-uri 'none'; form-action 'none'`;
  return readFileSync(join(here, 'index.html'), 'utf8')
    .replace('@CSP@', () => csp)
    .replace('@STYLE@', () => style)
    .replace('@SCRIPT@', () => script);
}

if (process.argv[1] === fileURLToPath(import.meta.url)) {
  const args = process.argv.slice(2);
  const packs = [];
  for (let at = args.indexOf('--rules'); at >= 0; at = args.indexOf('--rules')) {
    const [, file] = args.splice(at, 2);
    if (!file) throw new Error('--rules needs a pack file');
    packs.push({ fileName: basename(file), text: readFileSync(file, 'utf8') });
  }
  const out = args[0];
  if (!out) throw new Error('usage: node build.mjs [--rules PACK.json]... OUTPUT.html');
  try {
    writeFileSync(out, await buildPage(packs));
  } catch (e) {
    console.error(e.message);
    process.exitCode = 2;
  }
}
