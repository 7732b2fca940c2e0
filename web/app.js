// The page: takes the text, hands it to the core (core_api.cpp, in core.js) with what the user
// asked, and shows what comes back. The cipher, the encodings and the search are the core's.
"use strict";

const $ = (id) => document.getElementById(id);

// Texts longer than this are used whole but shown only in part: a text area of megabytes is slow.
const shown_characters = 200000;

const page = {
  core: null,
  file: null, // {name, bytes, encoding} of the file opened, until the text is edited
  last: null, // the last run: {way, args, answer, output (bytes), output_asked}
};

function set_language(language) {
  page_language = language;
  document.documentElement.lang = language;
  $("lang").value = language;
  for (const element of document.querySelectorAll("[data-tr]"))
    element.textContent = tr(element.dataset.tr);
  document.title = tr("Columnar transposition");
  show_file_info();
  if (page.last) show_answer();
  else if (page.core) show_status(tr("Ready"));
}

function show_status(text) {
  $("status").textContent = text;
}

// ---- the text in

const encoding_names = ["Windows-1251", "UTF-8", "UTF-16"];
const decoder_labels = ["windows-1251", "utf-8", "utf-16le", "ibm866", "koi8-r"];

// Bytes into the core's memory, for the length of a call.
function with_bytes(bytes, use) {
  const at = page.core._malloc(Math.max(bytes.length, 1));
  page.core.HEAPU8.set(bytes, at);
  try {
    return use(at, bytes.length);
  } finally {
    page.core._free(at);
  }
}

function with_string(text, use) {
  return with_bytes(new TextEncoder().encode(text + "\0"), (at) => use(at));
}

function open_file(file) {
  const reader = new FileReader();
  reader.onload = () => {
    const bytes = new Uint8Array(reader.result);
    const encoding = with_bytes(bytes, (at, size) => page.core._core_encoding(at, size));
    page.file = { name: file.name, bytes, encoding };
    const decoded = new TextDecoder(decoder_labels[encoding]).decode(
      bytes.subarray(0, shown_characters * 2),
    );
    $("text").value = decoded.slice(0, shown_characters);
    show_file_info();
  };
  reader.readAsArrayBuffer(file);
}

function show_file_info() {
  const f = page.file;
  $("file-info").textContent = f
    ? format(
        tr_plural(f.bytes.length, "%s: %s, %zu byte", "%s: %s, %zu bytes"),
        f.name,
        encoding_names[f.encoding],
        f.bytes.length,
      ) +
      (f.bytes.length > shown_characters ? "; " + tr("only its start is shown, all of it is used") : "")
    : "";
}

// What the core is given: the file as it was opened, or the text as typed, in UTF-8.
function input_text() {
  if (page.file) return { bytes: page.file.bytes, name: page.file.name };
  return { bytes: new TextEncoder().encode($("text").value), name: tr("the text") };
}

// ---- the runs

function run_core(way, args, output) {
  const core = page.core;
  const started = performance.now();
  const answer_at = with_bytes(args.bytes, (at, size) =>
    with_string(args.name, (name) => {
      if (way === "crack")
        return with_string(args.crib, (crib) =>
          core._core_crack(at, size, crib, args.shortest, args.longest, 5, name, output, args.words),
        );
      return with_string(args.key, (key) =>
        core._core_cipher(way === "encipher" ? 1 : 0, at, size, key, name, output, args.words),
      );
    }),
  );
  const answer = JSON.parse(core.UTF8ToString(answer_at));
  const from = core._core_output();
  const bytes = core.HEAPU8.slice(from, from + core._core_output_size());
  const ms = performance.now() - started;
  page.last = { way, args, answer, output: bytes, output_asked: output, ms };
}

function arguments_for(way) {
  const args = input_text();
  // Only a plaintext is put in words; encipher takes letters alone anyway.
  args.words = way !== "encipher" && $("words").checked ? 1 : 0;
  if (way === "crack") {
    const length = $("length").value;
    args.crib = $("crib").value;
    args.shortest = length ? Number(length) : 1;
    args.longest = length ? Number(length) : 9;
  } else {
    args.key = $("key").value;
  }
  return args;
}

// Runs after the status is painted: a long text or a search takes a moment.
function start(way, args) {
  show_status(tr("Working…"));
  for (const id of ["encipher", "decipher", "crack", "save"]) $(id).disabled = true;
  requestAnimationFrame(() =>
    setTimeout(() => {
      run_core(way, args, Number($("save-encoding").value));
      for (const id of ["encipher", "decipher", "crack"]) $(id).disabled = false;
      show_answer();
    }, 0),
  );
}

// ---- what came back

function note_text(note) {
  let text = note.plural ? tr_plural(note.n, note.text, note.plural) : tr(note.text);
  text = format(text, ...(note.plural ? [note.n] : [note.arg]));
  if (note.where === undefined) return text;
  const where = note.where_translated ? format(tr(note.where), note.where_arg) : note.where;
  return format(tr("%s: %s"), where, text);
}

function decode_output(last) {
  const label = last.answer.encoding === "utf-8" ? "utf-8" : "windows-1251";
  return new TextDecoder(label).decode(last.output.subarray(0, shown_characters * 2));
}

function show_answer() {
  const last = page.last;
  const answer = last.answer;
  const notes = $("notes");
  notes.replaceChildren(
    ...answer.notes.map((note) => {
      const item = document.createElement("li");
      item.className = note.kind;
      item.textContent = note_text(note);
      return item;
    }),
  );
  const done_text = {
    encipher: tr_plural(answer.letters, "%zu letter enciphered", "%zu letters enciphered"),
    decipher: tr_plural(answer.letters, "%zu letter deciphered", "%zu letters deciphered"),
    crack: tr_plural(answer.letters, "%zu letter deciphered", "%zu letters deciphered"),
  }[last.way];
  show_status(
    answer.done
      ? format(done_text, answer.letters) + format(tr(" in %s s"), (last.ms / 1000).toFixed(2))
      : tr("Nothing done"),
  );
  $("status").dataset.ms = last.ms.toFixed(1);
  $("result").value = answer.done ? decode_output(last).slice(0, shown_characters) : "";
  $("save").disabled = !answer.done;
  $("order").textContent =
    answer.done && last.way !== "crack" && answer.table
      ? "INDEX SORT COMPLEATE: " + answer.table.order.map((c) => c + " ").join("")
      : "";
  show_candidates(answer.done && last.way === "crack" ? answer.candidates : null);
  show_table(answer.done ? answer.table : null, last.way);
}

function cell(tag, text, className) {
  const element = document.createElement(tag);
  element.textContent = text;
  if (className) element.className = className;
  return element;
}

function show_candidates(candidates) {
  const table = $("candidates");
  table.closest("section").hidden = !candidates;
  if (!candidates) return table.replaceChildren();
  const head = document.createElement("tr");
  for (const title of [tr("key"), tr("length"), tr("score"), tr("plaintext begins")])
    head.append(cell("th", title));
  const rows = candidates.map((c, i) => {
    const row = document.createElement("tr");
    const use = cell("button", c.key, "use-key");
    use.type = "button";
    use.title = format(tr("Decipher with %s"), c.key);
    use.addEventListener("click", () => {
      $("key").value = c.key;
      start("decipher", arguments_for("decipher"));
    });
    const key = document.createElement("td");
    key.append(use);
    row.append(key, cell("td", c.length), cell("td", c.score), cell("td", c.start, "letters"));
    if (i === 0) row.className = "best";
    return row;
  });
  table.replaceChildren(cell("thead", ""), cell("tbody", ""));
  table.tHead.append(head);
  table.tBodies[0].append(...rows);
}

// The cipher as --table draws it: the key over its columns, the order they are read in, the
// first block's square, and its columns in that order.
function show_table(table, way) {
  const place = $("table");
  place.closest("section").hidden = !table;
  if (!table) return place.replaceChildren();
  const n = table.order.length;
  const rank = [];
  table.order.forEach((column, r) => (rank[column] = r + 1));
  const blocks = Math.ceil(table.letters / table.block);
  const short = table.letters % table.block;
  let about = format(tr_plural(blocks, "%zu block", "%zu blocks"), blocks) + " " +
    format(tr_plural(table.block, "of %zu letter", "of %zu letters"), table.block);
  if (short !== 0)
    about += blocks === 1
      ? format(tr_plural(short, ", short: %zu letter", ", short: %zu letters"), short)
      : format(tr_plural(short, ", the last short: %zu letter", ", the last short: %zu letters"), short);

  const grid = document.createElement("table");
  grid.className = "cipher";
  const head = document.createElement("thead");
  const keys = [...table.key];
  const label_row = (label, values, className) => {
    const row = document.createElement("tr");
    row.className = className;
    row.append(cell("th", label));
    values.forEach((value, c) => row.append(cell(row.className === "column" ? "th" : "td", value, "c" + rank[c])));
    return row;
  };
  head.append(
    label_row(tr("column"), [...Array(n).keys()], "column"),
    label_row(tr("key"), keys, "key"),
    label_row(tr("read"), rank, "read"),
  );
  const body = document.createElement("tbody");
  const square = [...table.square];
  for (let at = 0; at < square.length; at += n) {
    const row = document.createElement("tr");
    row.append(cell("th", ""));
    square.slice(at, at + n).forEach((letter, c) => row.append(cell("td", letter, "c" + rank[c])));
    body.append(row);
  }
  grid.append(head, body);

  // Each column top down, in the order read: the first block's ciphertext.
  const reading = document.createElement("ol");
  reading.className = "reading";
  table.order.forEach((column, r) => {
    let letters = "";
    for (let q = column; q < square.length; q += n) letters += square[q].toUpperCase();
    reading.append(cell("li", format(tr("%d: column %d: %s"), r + 1, column, letters), "c" + (r + 1)));
  });
  const before = cell("p", way === "encipher"
    ? tr("The first block's plaintext fills the square row by row, and the columns are read out in order:")
    : tr("The first block's ciphertext fills the columns in the order read, and the square gives the plaintext row by row:"));
  const heading = cell("p", format(tr("The key over its columns, and the order the columns are read in (%s):"), about));
  place.replaceChildren(heading, grid, before, reading);
}

// ---- the result out

const saved_names = { encipher: "Crypt.txt", decipher: "Decrypt.txt", crack: "Decrypt.txt" };

function save() {
  const asked = Number($("save-encoding").value);
  if (page.last.output_asked !== asked) {
    run_core(page.last.way, page.last.args, asked);
    show_answer();
  }
  const link = document.createElement("a");
  link.href = URL.createObjectURL(new Blob([page.last.output], { type: "text/plain" }));
  link.download = saved_names[page.last.way];
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 1000);
}

// ---- wiring

function wire() {
  $("lang").addEventListener("change", () => {
    set_language($("lang").value);
    try {
      localStorage.setItem("language", $("lang").value);
    } catch {
      // A page from disk may have no storage: the choice lasts this visit.
    }
  });
  $("file").addEventListener("change", () => {
    if ($("file").files.length > 0) open_file($("file").files[0]);
  });
  const drop = $("drop");
  drop.addEventListener("dragover", (event) => {
    event.preventDefault();
    drop.classList.add("dragging");
  });
  drop.addEventListener("dragleave", () => drop.classList.remove("dragging"));
  drop.addEventListener("drop", (event) => {
    event.preventDefault();
    drop.classList.remove("dragging");
    if (event.dataTransfer.files.length > 0) open_file(event.dataTransfer.files[0]);
  });
  $("text").addEventListener("input", () => {
    page.file = null;
    $("file").value = "";
    show_file_info();
  });
  for (const way of ["encipher", "decipher", "crack"])
    $(way).addEventListener("click", () => start(way, arguments_for(way)));
  $("key").addEventListener("keydown", (event) => {
    if (event.key === "Enter") $("decipher").click();
  });
  $("crib").addEventListener("keydown", (event) => {
    if (event.key === "Enter") $("crack").click();
  });
  $("save").addEventListener("click", save);
}

function chosen_language() {
  try {
    const kept = localStorage.getItem("language");
    if (languages.includes(kept)) return kept;
  } catch {
    // No storage: the browser's language decides.
  }
  return browser_language();
}

wire();
set_language(chosen_language());
show_status(tr("Loading…"));
// Compiled at once, not fetched: a page from disk may fetch nothing, not even what it carries.
createCore({
  onRuntimeInitialized() {
    page.core = this;
    for (const id of ["encipher", "decipher", "crack", "file"]) $(id).disabled = false;
    show_status(tr("Ready"));
    document.body.dataset.readyMs = performance.now().toFixed(1);
  },
});
