// Walks over the model and look-ups in it. Every walk uses an explicit stack, so that no
// depth of keys or folders can exhaust the call stack.

// The line that replaces the middle of an embedded file the program cut.
export const CUT_BANNER = '*************** File content truncated by Vitascan ***************';

// Each node of a tree and each node under it, depth first in report order.
function eachNode(roots, childrenOf, visit) {
  const stack = [...roots].reverse();
  while (stack.length) {
    const node = stack.pop();
    visit(node);
    const children = childrenOf(node);
    for (let i = children.length - 1; i >= 0; i--) stack.push(children[i]);
  }
}

// Each key of a registry tree (the root first), depth first in report order.
export const eachKey = (root, visit) => eachNode([root], (key) => key.keys, visit);

// Each folder of the files tree (the root first), depth first in report order.
export const eachFolder = (root, visit) => eachNode([root], (dir) => dir.dirs, visit);

// Each client group and each group nested in it, depth first in report order.
export const eachGroup = (groups, visit) => eachNode(groups, (group) => group.children, visit);

// All files of the tree with their folder, depth first.
export function* allFiles(root) {
  const stack = [root];
  while (stack.length) {
    const dir = stack.pop();
    for (let index = 0; index < dir.files.length; index++) {
      yield { dir, file: dir.files[index], index };
    }
    for (let i = dir.dirs.length - 1; i >= 0; i--) stack.push(dir.dirs[i]);
  }
}

// The key or folder at an index path ([] is the root); null when there is none.
export function nodeAt(root, at, children) {
  let node = root;
  for (const i of at ?? []) node = node?.[children][i];
  return node ?? null;
}

// Windows compares folder names ignoring case.
export function findFolder(root, path) {
  let d = root;
  for (const name of path) {
    const lower = name.toLowerCase();
    d = d?.dirs.find((c) => c.name.toLowerCase() === lower);
  }
  return d ?? null;
}

// The full path of a key or folder, as Windows writes it.
export function pathText(node) {
  return node.path.join('\\');
}

// WMI properties of the first instance of a class, or an empty record.
export function wmiFirst(model, cls) {
  return model.system?.wmi?.find((c) => c.name === cls)?.instances[0] ?? Object.create(null);
}

// The top-level parts of a report in their order: the client's groups and events, then the
// sections.
export const PARTS = [
  'groups',
  'events',
  'networking',
  'system',
  'disks',
  'registry',
  'products',
  'filesystem',
  'processes',
];
const PART_TITLES = {
  groups: 'client groups',
  events: 'events',
  networking: 'network',
  system: 'system',
  disks: 'drives',
  registry: 'registry',
  products: 'products',
  filesystem: 'files',
  processes: 'processes',
};

// How much of a part was read: "7 rows read".
function readCount(model, part) {
  const value = model[part];
  if (part === 'registry' || part === 'filesystem') {
    let n = 0;
    if (value && part === 'registry') eachKey(value, () => n++);
    if (value && part === 'filesystem') eachFolder(value, (d) => (n += d.files.length));
    const [one, many] = part === 'registry' ? ['key', 'keys'] : ['file', 'files'];
    return `${n === 1 ? `1 ${one}` : `${n} ${many}`} read`;
  }
  if (part === 'system') {
    const n = value ? Object.values(value).filter((v) => v !== null).length : 0;
    return `${n} ${n === 1 ? 'part' : 'parts'} read`;
  }
  const n = value?.length ?? 0;
  const [one, many] = part === 'groups' ? ['group', 'groups'] : ['row', 'rows'];
  return `${n} ${n === 1 ? one : many} read`;
}

// Where a cut report ends for a part: null when the part is whole (or the report is not
// cut), else { inside, line, read }: inside when the file ends inside the part, else it
// ends before the part could come.
export function partCut(model, part) {
  const { cut, broken } = model;
  if (!cut) return null;
  const rank = PARTS.indexOf(part) - 2;
  let inside = false;
  if (rank >= 0) inside = cut.kind === 'section' && cut.name === part;
  else inside = cut.kind === (part === 'groups' ? 'group' : 'events');
  const before = rank >= 0 ? rank > cut.rank : cut.rank < 0 && !(part === 'events' && model.events);
  if (!inside && !before) return null;
  return { inside, line: broken.line, read: inside ? readCount(model, part) : null };
}

// The words for a part of a cut report.
export function cutText(cut) {
  return cut.inside
    ? `The report ends inside this section, at line ${cut.line}; ${cut.read}.`
    : `The report ends before this section could come, at line ${cut.line}: it is not read.`;
}

// The parts a cut report does not hold whole, in words: "processes (ends inside, line 80,
// 7 rows read), files (not read)".
export function incompleteParts(model) {
  return PARTS.map((part) => [part, partCut(model, part)])
    .filter(([, c]) => c)
    .map(([part, c]) =>
      c.inside
        ? `${PART_TITLES[part]} (ends inside it at line ${c.line}, ${c.read})`
        : `${PART_TITLES[part]} (not read)`,
    );
}

const LINK_KINDS = {
  junction: 'A junction',
  'mount point': 'A mount point',
  'symbolic link': 'A symbolic link',
  link: 'A link',
};
const STOPPED = {
  loop: 'Not listed again: the same folder as one above it.',
  depth: 'Not listed: deeper than the listing goes.',
};

// Why the program did not read a key or go into a folder, in words; null when it did. Its
// content is then unknown, which is not the same as empty.
export function unreadNote(node) {
  if (node.error != null) return `Could not be read: ${node.error}`;
  if (node.link != null) {
    const kind = LINK_KINDS[node.link] ?? `A link (${node.link})`;
    return `${kind}: not followed.`;
  }
  if (node.stopped != null)
    return STOPPED[node.stopped] ?? `Not listed: stopped (${node.stopped}).`;
  return null;
}
