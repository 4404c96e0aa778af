// One machine's report grown to a given size for the benchmarks: a Data folder holding a log
// of the given text and as many small files as make up the rest.
export function grownMachine(text, log, bytes) {
  const files = [];
  for (let i = 0, size = text.length + log.length; size < bytes; i++) {
    const f = `\n      <file name="file${i}.dat" bytes="${i * 13}" size="1 KB" datemodified="04/12/2026 9:05:07"/>`;
    files.push(f);
    size += f.length;
  }
  return text.replace(
    '<dir name="Program Files">',
    `<dir name="Data"><file name="app.log" bytes="1" size="1 B" datemodified="04/12/2026 9:05:07">\n${log}</file>${files.join('')}</dir>\n  $&`,
  );
}
