#!/usr/bin/env python3
"""Builds the language model that crack and decipher judge text with, from the Russian text of
four Debian packages and of nine authors in the public domain, and nothing else:

    analysis/make_model.py --literature DIR [--debs DIR] [--excerpts DIR] [--output FILE]
                           [--boundary-output FILE]

Sources and their licences:
  developers-reference-ru 12.18   GPL-2+
  debian-faq-ru 11.1              the Debian FAQ's notice (free to copy and change)
  maint-guide-ru 1.2.53           GPL-2+
  manpages-ru 4.18.1-1            GPL-3+
  DIR/*.txt.xz (--literature): Blok, Bryusov, Dostoevsky, Gogol, Gorky, Herzen,
  Lermontov, Nekrasov, Pushkin; public domain, from the RusLit collection (d0rj/RusLit, commit
  4509680)

Without --debs the packages are fetched with apt-get download at the versions below, which is
what makes the table come out byte for byte the same. Every text is kept as the tools see it:
Windows-1251 letters only, lowercase. A package's documents are split by a hash of their path,
an author's file into pieces of about PIECE letters split by a hash of file and number: one in ten
for testing, one in ten for tuning, the rest for the model.

The model: a letter 4-gram model with interpolated Kneser-Ney for each of the two kinds of text,
mixed with the weight that fits the tuning text best (the mean of both kinds' bits per letter);
and two edge tables, as a message starts and ends at a word boundary: the cost of its first
three letters after a word start, and of a word's end after its last three letters. Beside it,
in boundary_model.inc, a 6-gram over the letters and the blank between words, pruned, as a
trie, with which crack weighs a short text's best orders again.

--excerpts DIR writes the testing and tuning letters there, a document a line, for bench/:
test.txt and tune.txt from the packages, literature-test.txt and literature-tune.txt from the
authors. A sentence's first letter is written as a capital, every other letter lowercase. The
same with a blank between words: test-words.txt, tune-words.txt, literature-test-words.txt and
literature-tune-words.txt.
"""
import argparse
import collections
import glob
import gzip
import lzma
import math
import os
import re
import subprocess
import sys
import tempfile
import zlib

PACKAGES = {
    "developers-reference-ru": ("12.18", "GPL-2+"),
    "debian-faq-ru": ("11.1", "Debian FAQ notice"),
    "maint-guide-ru": ("1.2.53", "GPL-2+"),
    "manpages-ru": ("4.18.1-1", "GPL-3+"),
}
# One source per document: the same text in other formats is left out.
SOURCES = [
    "usr/share/developers-reference/ru/_sources/*.rst.txt",
    "usr/share/doc/debian/FAQ/ru/*.ru.html",
    "usr/share/doc/maint-guide-ru/html/*.ru.html",
    "usr/share/man/ru/man*/*.gz",
]
LITERATURE_SOURCE = "public domain, RusLit (d0rj/RusLit, commit 4509680)"
PIECE = 20000
ALPHABET = 32
ORDER = 4
# A cost is -log2 p in steps of 1/STEP bit, written as one printable character.
STEP = 4
DIGITS = [chr(c) for c in range(0x21, 0x7F) if chr(c) not in '"\\?']
MAX_COST = len(DIGITS) - 1
MIXES = [i / 20 for i in range(1, 20)]
# How much the edge tables lean on the letters' general frequencies, in counts.
EDGE_PRIOR = 32
# The word-boundary model: letters and the blank between words (BLANK), as a 6-gram of both
# kinds of text counted together, the packages' counts weighed PACKAGE_WEIGHT times, n-grams of
# order 5 and 6 seen fewer than CUTOFF times left out; chosen on the tuning parts.
BLANK = 32
SPACED_ORDER = 6
PACKAGE_WEIGHT = 8
CUTOFF = 4

WORD = re.compile(rb"[\xc0-\xff]+")
# Where a sentence starts: a capital after a full stop, a question or exclamation mark or an
# ellipsis and blanks, quotes or dashes, or after a blank line.
SENTENCE = re.compile(rb"(?:^|[.!?\x85][\"'\x93\x94\xab\xbb)]*\s|\n\s*\n)[\s\"'\x93\x94\xab\xbb\x96\x97-]*"
                      rb"([\xc0-\xdf])")


class Text:
    """Letters as numbers 0..31, with where words and sentences start and words end."""

    def __init__(self):
        self.letters = bytearray()
        self.word_starts = []
        self.word_ends = []
        self.sentences = []


def texts_of(raw, piece=None):
    """The letters the tools would see in a UTF-8 document; split into pieces of about `piece`
    letters at word ends when given."""
    data = raw.decode("utf-8", errors="replace").encode("cp1251", errors="ignore")
    sentence_at = {m.start(1) for m in SENTENCE.finditer(data)}
    texts = [Text()]
    for m in WORD.finditer(data):
        t = texts[-1]
        if m.start() in sentence_at:
            t.sentences.append(len(t.letters))
        t.word_starts.append(len(t.letters))
        t.letters += bytes((c | 0x20) - 0xE0 for c in m.group())
        t.word_ends.append(len(t.letters))
        if piece is not None and len(t.letters) >= piece:
            texts.append(Text())
    return [t for t in texts if t.letters]


def documents(root):
    for pattern in SOURCES:
        for path in sorted(glob.glob(os.path.join(root, pattern))):
            raw = open(path, "rb").read()
            if path.endswith(".gz"):
                raw = gzip.decompress(raw)
            yield os.path.relpath(path, root), (texts_of(raw) or [Text()])[0]


def literature(folder):
    for path in sorted(glob.glob(os.path.join(folder, "*.txt.xz"))):
        with lzma.open(path) as f:
            pieces = texts_of(f.read(), PIECE)
        for k, t in enumerate(pieces):
            yield f"{os.path.basename(path)}:{k}", t


def split_of(name):
    h = zlib.crc32(name.encode()) % 10
    return "test" if h == 0 else "tune" if h == 1 else "train"


def fetch(folder):
    wanted = [f"{p}={v}" for p, (v, _) in PACKAGES.items()]
    subprocess.run(["apt-get", "download", "-q", *wanted], cwd=folder, check=True)


def extract(debs, root):
    for package, (version, _) in PACKAGES.items():
        found = glob.glob(os.path.join(debs, f"{package}_{version}_*.deb"))
        if not found:
            sys.exit(f"make_model.py: {package} {version} not found in {debs}")
        subprocess.run(["dpkg-deb", "-x", found[0], root], check=True)


def discount(counts):
    """Kneser and Ney's estimate n1 / (n1 + 2 n2) from the counts of counts."""
    n1 = sum(1 for c in counts.values() if c == 1)
    n2 = sum(1 for c in counts.values() if c == 2)
    return n1 / (n1 + 2 * n2) if n1 + n2 > 0 else 0.5


def grams(texts, k):
    counts = collections.Counter()
    for t in texts:
        s = bytes(t.letters)
        counts.update(s[i:i + k] for i in range(len(s) - k + 1))
    return counts


def model(texts):
    """Interpolated Kneser-Ney: the top order on counts, the lower ones on the number of
    letters seen before each n-gram. Returns P(d | a b c), index ((a*32+b)*32+c)*32+d."""
    counts = [collections.Counter() for _ in range(ORDER + 1)]
    counts[ORDER] = grams(texts, ORDER)
    for k in range(ORDER - 1, 0, -1):  # continuation counts: distinct letters before
        for gram in counts[k + 1]:
            counts[k][gram[1:]] += 1

    p = [None, [(counts[1].get(bytes([w]), 0) + 1) / (sum(counts[1].values()) + ALPHABET)
                for w in range(ALPHABET)]]
    for k in range(2, ORDER + 1):
        d = discount(counts[k])
        total = collections.Counter()
        kinds = collections.Counter()
        for gram, c in counts[k].items():
            total[gram[:-1]] += c
            kinds[gram[:-1]] += 1
        lower = p[k - 1]
        table = [0.0] * ALPHABET ** k
        for index in range(ALPHABET ** k):
            gram = bytes(index // ALPHABET ** (k - 1 - i) % ALPHABET for i in range(k))
            back = lower[index % ALPHABET ** (k - 1)]
            s = total.get(gram[:-1], 0)
            if s == 0:
                table[index] = back
            else:
                c = counts[k].get(gram, 0)
                table[index] = max(c - d, 0) / s + d * kinds[gram[:-1]] / s * back
        p.append(table)
    return p[ORDER]


def indices(texts, limit):
    """The 4-grams' table indices of the texts' first `limit` letters in all."""
    found = []
    for t in texts:
        s = t.letters[:max(0, limit - len(found))]
        found += [((s[i] * 32 + s[i + 1]) * 32 + s[i + 2]) * 32 + s[i + 3] for i in range(len(s) - 3)]
    return found


def bits(p, found):
    return -sum(math.log2(p[i]) for i in found) / len(found)


def edges(texts):
    """-log2 P(a b c | a word starts at a) and -log2 P(a word ends | it ends in a b c), each
    leaning on the general frequencies where counts are few."""
    three = grams(texts, 3)
    total = sum(three.values())
    starts = collections.Counter()
    ends = collections.Counter()
    for t in texts:
        s = bytes(t.letters)
        starts.update(s[i:i + 3] for i in t.word_starts if i + 3 <= len(s))
        ends.update(s[e - 3:e] for e in t.word_ends if e >= 3)
    start_total = sum(starts.values())
    end_rate = sum(ends.values()) / total
    start_costs = []
    end_costs = []
    for index in range(ALPHABET ** 3):
        gram = bytes((index >> 10, index >> 5 & 31, index & 31))
        general = (three.get(gram, 0) + 1) / (total + ALPHABET ** 3)
        start = (starts.get(gram, 0) + EDGE_PRIOR * general) / (start_total + EDGE_PRIOR)
        end = (ends.get(gram, 0) + EDGE_PRIOR * end_rate) / (three.get(gram, 0) + EDGE_PRIOR)
        start_costs.append(min(MAX_COST, round(-math.log2(start) * STEP)))
        end_costs.append(min(MAX_COST, round(-math.log2(min(end, 1.0)) * STEP)))
    return start_costs, end_costs


def spaced(t):
    """The letters of a text with a blank before every word and after the last."""
    out = bytearray([BLANK])
    starts = set(t.word_starts)
    for i, c in enumerate(t.letters):
        if i in starts and i > 0:
            out.append(BLANK)
        out.append(c)
    out.append(BLANK)
    return bytes(out)


def spaced_levels(groups):
    """Interpolated Kneser-Ney over letters and blanks, pruned, as a trie: for each order k a list
    of (k-gram, cost of its last symbol after the rest, cost of backing off from it as a
    context), sorted. A context left out backs off at no cost, as one never seen."""
    order = SPACED_ORDER
    counts = [collections.Counter() for _ in range(order + 1)]
    raw = [collections.Counter() for _ in range(order + 1)]
    for texts, weight in groups:
        found = collections.Counter()
        for t in texts:
            s = spaced(t)
            found.update(s[i:i + order] for i in range(len(s) - order + 1))
        for gram, c in found.items():
            counts[order][gram] += c * weight
            raw[order][gram] += c
    for k in range(order - 1, 0, -1):
        for gram in counts[k + 1]:
            counts[k][gram[1:]] += 1
        for gram, c in raw[k + 1].items():
            raw[k][gram[:-1]] += c

    def kept(gram):
        return len(gram) < 5 or raw[len(gram)].get(gram, 0) >= CUTOFF

    discounts = [0.0] * (order + 1)
    totals = [collections.Counter() for _ in range(order + 1)]
    kinds = [collections.Counter() for _ in range(order + 1)]
    for k in range(2, order + 1):
        discounts[k] = discount(counts[k])
        for gram, c in counts[k].items():
            totals[k][gram[:-1]] += c
            kinds[k][gram[:-1]] += 1
    unigrams = sum(counts[1].values())
    cache = {}

    def p(gram):
        if gram in cache:
            return cache[gram]
        k = len(gram)
        if k == 1:
            q = (counts[1].get(gram, 0) + 1) / (unigrams + BLANK + 1)
        else:
            back = p(gram[1:])
            context = gram[:-1]
            s = totals[k].get(context, 0) if kept(context) else 0
            c = counts[k].get(gram, 0) if kept(gram) else 0
            q = back if s == 0 else max(c - discounts[k], 0) / s + backoff(context) * back
        cache[gram] = q
        return q

    def backoff(context):
        k = len(context) + 1
        s = totals[k].get(context, 0) if k <= order and kept(context) else 0
        return discounts[k] * kinds[k][context] / s if s > 0 else 1.0

    def cost(q):
        return min(MAX_COST, round(-math.log2(q) * STEP))

    nodes = [set() for _ in range(order + 1)]
    nodes[1] = {bytes([w]) for w in range(BLANK + 1)}
    for k in range(2, order + 1):
        nodes[k] = {g for g, c in counts[k].items() if c > 0 and kept(g)}
    for k in range(order, 1, -1):  # every node's context is a node
        nodes[k - 1] |= {g[:-1] for g in nodes[k]}
    return [[(g, cost(p(g)), cost(backoff(g)) if k < order else 0) for g in sorted(nodes[k])]
            for k in range(1, order + 1)]


def write_spaced(levels, path, counted):
    """The trie, level by level, each node as its symbol, its cost and, below the top order, its
    cost of backing off and the number of its children."""
    with open(path, "w", encoding="ascii", newline="\n") as out:
        out.write("// Generated by analysis/make_model.py: do not edit.\n")
        out.write(f"// The word-boundary model: a {SPACED_ORDER}-gram over the 32 letters and the blank "
                  f"({BLANK}) between words,\n"
                  f"// in steps of 1/{STEP} bit, one character each (see DIGITS there), the packages' "
                  f"counts weighed {PACKAGE_WEIGHT} times,\n"
                  f"// n-grams of order 5 and 6 seen fewer than {CUTOFF} times left out. A trie, level by "
                  "level, each node its symbol and\n"
                  "// cost and, below the top, its cost of backing off and its number of children.\n")
        write_sources(out, counted)
        out.write("constexpr std::size_t boundary_level_nodes[] = {"
                  + ", ".join(str(len(level)) for level in levels) + "};\n")
        chars = []
        for k, level in enumerate(levels, start=1):
            children = collections.Counter(t[0][:-1] for t in levels[k]) if k < len(levels) else {}
            for gram, c, b in level:
                chars += [DIGITS[gram[-1]], DIGITS[c]]
                if k < len(levels):
                    chars += [DIGITS[b], DIGITS[children.get(gram, 0)]]
        out.write("constexpr char boundary_rows[][129] = {\n")
        line = 128
        for i in range(0, len(chars), line):
            out.write('"' + "".join(chars[i:i + line]) + '",\n')
        out.write("};\n")


def write_sources(out, counted):
    out.write(f"// Counted from {counted[0]} letters of Debian packages:\n")
    for package, (version, licence) in PACKAGES.items():
        out.write(f"//   {package} {version} ({licence})\n")
    out.write(f"// and {counted[1]} letters of Russian literature, {LITERATURE_SOURCE}:\n")
    names = sorted(os.path.basename(p).split(".")[0]
                   for p in glob.glob(os.path.join(LITERATURE_DIR, "*.txt.xz")))
    out.write("//   " + " ".join(names) + "\n")


def write_table(tables, path, counted, mix):
    with open(path, "w", encoding="ascii", newline="\n") as out:
        out.write("// Generated by analysis/make_model.py: do not edit.\n")
        out.write(f"// Costs, -log2 p in steps of 1/{STEP} bit, one character each (see DIGITS there),\n"
                  "// 128 a row: P(d | a b c) for the 4-gram a b c d at ((a*32+b)*32+c)*32+d; then\n"
                  "// P(a b c | a word starts at a) and P(a word ends | it ends in a b c), at (a*32+b)*32+c.\n")
        out.write(f"// The 4-gram costs mix the two kinds of text, {1 - mix:.2f} packages to {mix:.2f} literature.\n")
        write_sources(out, counted)
        costs = [c for table in tables for c in table]
        line = 128
        for i in range(0, len(costs), line):
            out.write('"' + "".join(DIGITS[c] for c in costs[i:i + line]) + '",\n')


def write_excerpts(texts, path, blanks=False):
    with open(path, "wb") as out:
        for t in texts:
            letters = bytearray(b + 0xE0 for b in t.letters)
            for i in t.sentences:
                letters[i] &= 0xDF
            if blanks:
                ends = t.word_ends[:-1]
                letters = b" ".join(letters[a:b] for a, b in zip([0] + ends, ends + [len(letters)]))
            out.write(bytes(letters) + b"\n")


LITERATURE_DIR = ""


def main():
    global LITERATURE_DIR
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser()
    parser.add_argument("--debs", help="a folder holding the four .deb files")
    parser.add_argument("--literature", required=True,
                        help="the folder of the authors' .txt.xz files")
    parser.add_argument("--excerpts", help="write the testing and tuning letters here")
    parser.add_argument("--output", default=os.path.join(here, "russian_model.inc"))
    parser.add_argument("--boundary-output", default=os.path.join(here, "boundary_model.inc"))
    args = parser.parse_args()
    LITERATURE_DIR = args.literature
    split = {"train": [], "tune": [], "test": []}
    with tempfile.TemporaryDirectory() as work:
        os.chmod(work, 0o755)  # apt fetches as its own user
        debs = args.debs
        if debs is None:
            debs = os.path.join(work, "debs")
            os.mkdir(debs)
            os.chmod(debs, 0o755)
            fetch(debs)
        root = os.path.join(work, "root")
        extract(debs, root)
        for name, text in documents(root):
            split[split_of(name)].append(text)
    books = {"train": [], "tune": [], "test": []}
    for name, text in literature(args.literature):
        books[split_of(name)].append(text)
    if not books["train"]:  # also when the folder is not found
        sys.exit(f"make_model.py: no .txt.xz files in {args.literature}")

    technical = model(split["train"])
    literary = model(books["train"])
    tune = [indices(split["tune"], 200000), indices(books["tune"], 200000)]
    best = None
    for mix in MIXES:
        p = [(1 - mix) * a + mix * b for a, b in zip(technical, literary)]
        figures = [bits(p, found) for found in tune]
        print(f"mix {mix:.2f}: tuning bits per letter, packages {figures[0]:.4f}, "
              f"literature {figures[1]:.4f}")
        if best is None or sum(figures) < best[0]:
            best = (sum(figures), mix, p)
    _, mix, p = best
    costs = [min(MAX_COST, round(-math.log2(q) * STEP)) for q in p]
    start_costs, end_costs = edges(split["train"] + books["train"])
    counted = [sum(len(t.letters) for t in split["train"]),
               sum(len(t.letters) for t in books["train"])]
    write_table([costs, start_costs, end_costs], args.output, counted, mix)
    write_spaced(spaced_levels([(books["train"], 1), (split["train"], PACKAGE_WEIGHT)]),
                 args.boundary_output, counted)
    if args.excerpts:
        os.makedirs(args.excerpts, exist_ok=True)
        for part in ("tune", "test"):
            write_excerpts(split[part], os.path.join(args.excerpts, part + ".txt"))
            write_excerpts(books[part], os.path.join(args.excerpts, f"literature-{part}.txt"))
            write_excerpts(split[part], os.path.join(args.excerpts, part + "-words.txt"), True)
            write_excerpts(books[part], os.path.join(args.excerpts, f"literature-{part}-words.txt"),
                           True)
    for kind, parts in (("packages", split), ("literature", books)):
        for part, texts in parts.items():
            print(f"{kind} {part}: {len(texts)} documents, {sum(len(t.letters) for t in texts)} letters")


if __name__ == "__main__":
    main()
