// Inlines the viewer's modules and style sheet into one self-contained HTML file.
// Each module becomes a function scope returning its exports, so modules keep their own
// names; the content security policy allows exactly this script and this style.
// Packages named by a bare import (the XML parser, the pattern engine) are inlined from
// their CommonJS files, and --rules packs are checked and inlined as data.
// Usage: node build.mjs [--rules PACK.json]... OUTPUT.html
import { readFileSync, writeFileSync } from 'node:fs';
import { createHash } from 'node:crypto';
import { basename, dirname, join, relative } from 'node:path';
import { fileURLToPath } from 'node:url';
import { createRequire } from 'node:module';

const here = dirname(fileURLToPath(import.meta.url));
const IMPORT = /^import\s*\{([^}]*)\}\s*from\s*'(\.{1,2}\/[\w/.-]+\.(?:js|rng))';\s*$/gm;
// A package from node_modules (CommonJS, as saxes and re2js are), by its name.
const PACKAGE_IMPORT = /^import\s*\{([^}]*)\}\s*from\s*'([a-z][\w-]*)';\s*$/gm;
const REQUIRE = /\brequire\("([^"]+)"\)/g;
const EXPORT_DECL = /^export\s+(?:async\s+)?(?:function\*?|const|let|class)\s+([A-Za-z_$][\w$]*)/gm;

function scopeName(path) {
  return `__module_${relative(here, path).replace(/\W/g, '_')}`;
}

// The CommonJS files a package needs, each as a function of (module, exports, require),
// and a require that runs each once.
function packages(names) {
  const files = new Map();
  const add = (path) => {
    if (files.has(path)) return;
    const source = readFileSync(path, 'utf8').replace(/^\/\/# sourceMappingURL=.*$/m, '');
    const deps = {};
    files.set(path, { source, deps });
    const req = createRequire(path);
    for (const m of source.matchAll(REQUIRE)) {
      deps[m[1]] = req.resolve(m[1]);
      add(deps[m[1]]);
    }
  };
  const roots = names.map((name) => {
    const path = createRequire(join(here, 'build.mjs')).resolve(name);
    add(path);
    return [name, path];
  });
  const id = (path) => JSON.stringify(relative(join(here, '..'), path));
  const defs = [...files].map(
    ([path, { source, deps }]) =>
      `${id(path)}: [${JSON.stringify(Object.fromEntries(Object.entries(deps).map(([k, v]) => [k, relative(join(here, '..'), v)])))}, function (module, exports, require) {\n${source}\n}]`,
  );
  const runtime = `const __packages = (() => {
const defs = {${defs.join(',\n')}};
const done = {};
const load = (path) => {
  if (!done[path]) {
    const module = { exports: {} };
    done[path] = module;
    const [deps, run] = defs[path];
    run(module, module.exports, (name) => load(deps[name]));
  }
  return done[path].exports;
};
return {${roots.map(([name, path]) => `${JSON.stringify(name)}: load(${id(path)})`).join(', ')}};
})();`;
  return runtime;
}

export function bundle(entry, prelude = '') {
  const order = [];
  const seen = new Set();
  const packageNames = new Set();
  const visit = (path, trail) => {
    if (trail.includes(path)) {
      throw new Error(`import cycle: ${trail.concat(path).join(' -> ')}`);
    }
    if (seen.has(path)) return;
    if (path.endsWith('.rng')) {
      seen.add(path);
      order.push({
        path,
        source: `export const RNG = ${JSON.stringify(readFileSync(path, 'utf8'))};`,
      });
      return;
    }
    const source = readFileSync(path, 'utf8');
    for (const m of source.matchAll(PACKAGE_IMPORT)) packageNames.add(m[2]);
    if (/^export\s*[{*]/m.test(source)) throw new Error(`${path}: export each declaration itself`);
    for (const m of source.matchAll(IMPORT)) visit(join(dirname(path), m[2]), trail.concat(path));
    seen.add(path);
    order.push({ path, source });
  };
  visit(join(here, entry), []);
  const parts = order.map(({ path, source }) => {
    const exported = [...source.matchAll(EXPORT_DECL)].map((m) => m[1]);
    const body = source
      .replace(IMPORT, (_, names, from) => {
        const list = names
          .replace(/\bas\b/g, ':')
          .replace(/\s+/g, ' ')
          .trim();
        return `const { ${list} } = ${scopeName(join(dirname(path), from))};`;
      })
      .replace(
        PACKAGE_IMPORT,
        (_, names, from) => `const {${names}} = __packages[${JSON.stringify(from)}];`,
      )
      .replace(/^export\s+/gm, '');
    return `const ${scopeName(path)} = (() => {\n${body}\nreturn { ${exported.join(', ')} };\n})();`;
  });
  const runtime = packageNames.size ? packages([...packageNames]) : '';
  return `(() => {\n'use strict';\n${prelude}${runtime}\n${parts.join('\n')}\n})();`;
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
