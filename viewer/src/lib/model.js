// Walks over the model and look-ups in it. Every walk uses an explicit stack, so that no
// depth of keys or folders can exhaust the call stack.

// The line that replaces the middle of an embedded file the program cut.
export const CUT_BANNER = '*************** File content truncated by Vitascan ***************';

// Each key of a registry tree (the root first), depth first in report order.
export function eachKey(root, visit) {
  const stack = [root];
  while (stack.length) {
    const key = stack.pop();
    visit(key);
    for (let i = key.keys.length - 1; i >= 0; i--) stack.push(key.keys[i]);
  }
}

// Each folder of the files tree (the root first), depth first in report order.
export function eachFolder(root, visit) {
  const stack = [root];
  while (stack.length) {
    const dir = stack.pop();
    visit(dir);
    for (let i = dir.dirs.length - 1; i >= 0; i--) stack.push(dir.dirs[i]);
  }
}

// Each client group and each group nested in it, depth first in report order.
export function eachGroup(groups, visit) {
  const stack = [...groups].reverse();
  while (stack.length) {
    const group = stack.pop();
    visit(group);
    for (let i = group.children.length - 1; i >= 0; i--) stack.push(group.children[i]);
  }
}

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
