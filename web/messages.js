// The page's texts in the user's language, as the tools take theirs: English as the sources write
// it, Russian from russian_messages, which po/make_catalog.py writes from po/ru.po as it does the
// tools' table. A text is marked tr("...") where it is shown, tr_plural(n, "...", "...") when it
// counts something, tr_noop("...") where it is only named; xgettext --language=JavaScript finds
// all three.
"use strict";

const languages = ["en", "ru"];
let page_language = "en";

const russian_table = new Map();
for (const [english, plural, forms] of russian_messages)
  russian_table.set(plural === null ? english : english + "\u0000" + plural, forms);

// Russian's three plural forms, as the catalog's Plural-Forms header gives them.
function russian_plural_form(n) {
  return n % 10 === 1 && n % 100 !== 11
    ? 0
    : n % 10 >= 2 && n % 10 <= 4 && (n % 100 < 10 || n % 100 >= 20)
      ? 1
      : 2;
}

function tr(english) {
  const forms = page_language === "ru" ? russian_table.get(english) : undefined;
  return forms ? forms[0] : english;
}

function tr_plural(n, one, many) {
  const forms = page_language === "ru" ? russian_table.get(one + "\u0000" + many) : undefined;
  if (forms) return forms[russian_plural_form(n)] || forms[2];
  return n === 1 ? one : many;
}

function tr_noop(english) {
  return english;
}

// The catalog's texts are C formats: each %s, %d or %zu takes the next argument.
function format(text, ...args) {
  let next = 0;
  return text.replace(/%(s|d|zu)/g, () => String(args[next++]));
}

// The browser's first language the page has, else English.
function browser_language() {
  for (const tag of navigator.languages || [navigator.language || "en"]) {
    const code = tag.toLowerCase().split("-")[0];
    if (languages.includes(code)) return code;
  }
  return "en";
}
