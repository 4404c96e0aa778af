// Inlines the viewer's modules and style sheet into one self-contained HTML file.
// Each module becomes a function scope returning its exports, so modules keep their own
// names; the content security policy allows exactly this script and this style.
// Usage: node build.mjs OUTPUT.html
import { readFileSync, writeFileSync } from 'node:fs';
import { createHash } from 'node:crypto';
import { dirname, join, relative } from 'node:path';
import { fileURLToPath } from 'node:url';

const here = dirname(fileURLToPath(import.meta.url));
const IMPORT = /^import\s*\{([^}]*)\}\s*from\s*'(\.{1,2}\/[\w/.-]+\.js)';\s*$/gm;
const EXPORT_DECL = /^export\s+(?:async\s+)?(?:function\*?|const|let|class)\s+([A-Za-z_$][\w$]*)/gm;

function scopeName(path) {
  return `__module_${relative(here, path).replace(/\W/g, '_')}`;
}

export function bundle(entry) {
  const order = [];
  const seen = new Set();
  const visit = (path, trail) => {
    if (trail.includes(path)) {
      throw new Error(`import cycle: ${trail.concat(path).join(' -> ')}`);
    }
    if (seen.has(path)) return;
    const source = readFileSync(path, 'utf8');
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
      .replace(/^export\s+/gm, '');
    return `const ${scopeName(path)} = (() => {\n${body}\nreturn { ${exported.join(', ')} };\n})();`;
  });
  return `(() => {\n'use strict';\n${parts.join('\n')}\n})();`;
}

function sha256(text) {
  return `'sha256-${createHash('sha256').update(text, 'utf8').digest('base64')}'`;
}

export function buildPage() {
  const script = bundle('src/main.js');
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
  const out = process.argv[2];
  if (!out) throw new Error('usage: node build.mjs OUTPUT.html');
  writeFileSync(out, buildPage());
}
