// Runs the built tools in a scratch directory, one table row per case.
#include "child_process.hpp"
#include "test_text.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace {

namespace fs = std::filesystem;

// hard_link and symlink: Decrypt.txt another name of Crypt.txt; as the kind of Crypt.txt,
// symlink is the other way round. fifo: a named pipe that a writer feeds once.
enum class place { file, absent, directory, dev_full, hard_link, symlink, fifo };

struct run_case {
    const char* name;
    place crypt_kind;
    bytes crypt;
    std::optional<bytes> key_input; // nullopt: standard input closed
    place decrypt_kind;
    bool stdout_full;
    int status;
    std::string out;
    std::optional<bytes> decrypt; // nullopt: not checked (not a plain file)
    std::string err;              // a fragment standard error must hold; "" means empty
    const char* tool = "decipher";
    std::vector<const char*> args = {"ignored-argument"};
    bytes decrypt_before = {};        // of a plain Decrypt.txt
    bool out_prefix = false;          // out need only begin standard output
    place plain_kind = place::absent; // Plain.txt; hard_link: another name of Crypt.txt
    bytes plain_text = {};
    std::optional<bytes> crypt_after = {}; // nullopt: Crypt.txt must stay as it was
    unsigned long file_limit = 0;          // the largest file the tool may write, if not 0
};

bytes slurp(const fs::path& path) {
    std::ifstream f(path, std::ios::binary);
    std::string s((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

void spill(const fs::path& path, const bytes& content) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(content.data()),
               static_cast<std::streamsize>(content.size()));
}

void make(const fs::path& path, place kind, const bytes& content, const fs::path& other) {
    if (kind == place::file)
        spill(path, content);
    else if (kind == place::directory)
        fs::create_directory(path);
    else if (kind == place::dev_full)
        fs::create_symlink("/dev/full", path);
    else if (kind == place::hard_link)
        fs::create_hard_link(other, path);
    else if (kind == place::symlink)
        fs::create_symlink(other, path);
#ifndef _WIN32
    else if (kind == place::fifo)
        make_fifo(path);
#endif
}

fs::path scratch_folder() {
    static std::atomic<unsigned> made{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    fs::path dir = fs::temp_directory_path() /
                   ("tools-test-" + std::to_string(stamp) + "-" + std::to_string(made++));
    fs::create_directories(dir);
    return dir;
}

void run(const run_case& c) {
    SCOPED_TRACE(c.name);
    const fs::path dir = scratch_folder();
    child_setup setup{fs::path(TOOL_DIR) / (std::string(c.tool) + EXE_SUFFIX),
                      {},
                      dir,
                      !c.key_input,
                      c.stdout_full,
                      c.file_limit};
    for (const char* arg : c.args)
        setup.args.emplace_back(arg);
    const auto kinds = {c.crypt_kind, c.decrypt_kind, c.plain_kind};
    const auto uses = [&](place p) {
        return std::find(kinds.begin(), kinds.end(), p) != kinds.end();
    };
    if (const std::string why =
            cannot_set_up(uses(place::fifo), uses(place::symlink), uses(place::dev_full), setup);
        !why.empty()) {
        std::printf("skipped here: %s: %s\n", c.name, why.c_str());
        fs::remove_all(dir);
        return;
    }
    const fs::path crypt = dir / "Crypt.txt";
    if (c.crypt_kind == place::symlink) { // by a relative name
        spill(dir / "Decrypt.txt", c.crypt);
        make(crypt, c.crypt_kind, {}, "Decrypt.txt");
    } else {
        make(crypt, c.crypt_kind, c.crypt, {});
        make(dir / "Decrypt.txt", c.decrypt_kind, c.decrypt_before, crypt); // by an absolute name
    }
    make(dir / "Plain.txt", c.plain_kind, c.plain_text, crypt);
    spill(dir / "stdin", c.key_input.value_or(bytes{}));
#ifndef _WIN32
    const int feeder = c.crypt_kind == place::fifo
                           ? start_feeder(crypt, std::string(c.crypt.begin(), c.crypt.end()))
                           : 0;
#endif

    EXPECT_EQ(run_child(setup), c.status);
#ifndef _WIN32
    if (feeder != 0) {
        EXPECT_TRUE(wait_for_feeder(feeder));
    }
#endif
    if (c.crypt_after) {
        EXPECT_EQ(slurp(crypt), *c.crypt_after);
    } else if (c.crypt_kind == place::file || c.crypt_kind == place::symlink) {
        EXPECT_EQ(slurp(crypt), c.crypt) << "Crypt.txt changed";
    }
    for (const auto& entry : fs::directory_iterator(dir)) { // nothing left behind
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == "Crypt.txt" || name == "Decrypt.txt" || name == "Plain.txt" ||
                    name == "stdin" || name == "stdout" || name == "stderr")
            << name;
    }
    if (!c.stdout_full) {
        const bytes out = slurp(dir / "stdout");
        const std::string out_text(out.begin(), out.end());
        EXPECT_EQ(c.out_prefix ? out_text.substr(0, c.out.size()) : out_text, c.out);
    }
    const bytes err = slurp(dir / "stderr");
    const std::string err_text(err.begin(), err.end());
    if (c.err.empty()) {
        EXPECT_EQ(err_text, "");
    } else {
        EXPECT_NE(err_text.find(c.err), std::string::npos) << err_text;
    }
    EXPECT_EQ(std::count(err_text.begin(), err_text.end(), '\n'), c.err.empty() ? 0 : 1);
    if (c.decrypt) {
        EXPECT_EQ(slurp(dir / "Decrypt.txt"), *c.decrypt);
    }
    fs::remove_all(dir);
}

const std::string prompt = "Enter key word: ";
const std::string crack_header = "key        length        score  plaintext begins\n";

bytes example_letters(); // the example's plaintext: see below

// "ПРИВЕТ, МИР! ЗДРАВСТВУЙ." as Windows-1251 capitals, and the key "КЛЮЧ" gives order 0 1 3 2.
const bytes plain =
    "\xCF\xD0\xC8\xC2\xC5\xD2\xCC\xC8\xD0\xC7\xC4\xD0\xC0\xC2\xD1\xD2\xC2\xD3\xC9"_b;
const std::vector<std::int32_t> klyuch = {0, 1, 3, 2};

TEST(Cli, Runs) {
    std::mt19937 rng(5);
    const bytes cipher = sprinkle(rng, encipher(plain, klyuch));
    const std::vector<std::int32_t> nine = {0, 1, 2, 3, 4, 5, 6, 7, 8};
    // 81 letters: ends exactly at a block boundary.
    const bytes square = random_letters(rng, 81);
    const bytes big = random_letters(rng, 300000);
    const bytes big_plain = lowercase(random_letters(rng, 300001));
    // Not Russian as crack reads it: random letters, and Russian in KOI8-R.
    const bytes stray = random_letters(rng, 100);
    const bytes example = example_letters();
    const bytes koi8 = encipher(koi8r(example.substr(0, 100)), klyuch);
    bytes big_russian;
    while (big_russian.size() < big.size())
        big_russian += example;
    const run_case cases[] = {
        // clang-format off
        {"normal run", place::file, cipher, "\xCA\xCB\xDE\xD7\n"_b, place::file, false, 0, prompt +
         "INDEX SORT COMPLEATE: 0 1 3 2 \n", lowercase(plain), ""},
        {"key longer than 9", place::file, sprinkle(rng, encipher(square, nine)),
         "ABCDEFGHIJKL\n"_b, place::file, false, 0, prompt +
         "INDEX SORT COMPLEATE: 0 1 2 3 4 5 6 7 8 \n", lowercase(square), ""},
        {"CR LF key", place::file, encipher(plain, {1, 0}), "BA\r\n"_b, place::file, false, 0,
         prompt + "INDEX SORT COMPLEATE: 1 0 \n", lowercase(plain), ""},
        {"CR inside the key", place::file, encipher(plain, {1, 2, 0}), "b\ra\n"_b, place::file,
         false, 0, prompt + "INDEX SORT COMPLEATE: 1 2 0 \n", lowercase(plain), ""},
        {"zero byte ends the key", place::file, encipher(plain, {0}), "b\0a\n"_b, place::file,
         false, 0, prompt + "INDEX SORT COMPLEATE: 0 \n", lowercase(plain), ""},
        {"blank key, no line break", place::file, encipher(plain, {0}), " "_b, place::file, false,
         0, prompt + "INDEX SORT COMPLEATE: 0 \n", lowercase(plain), ""},
        {"no letters", place::file, "Hello, world! 0123\r\n\xA8\xB8"_b, "key\n"_b, place::file,
         false, 0, prompt + "INDEX SORT COMPLEATE: 1 0 2 \n", ""_b, ""},
        {"missing input", place::absent, {}, "key\n"_b, place::file, false, 1, "No file :(\n", ""_b,
         "Crypt.txt: No such file or directory"},
        {"missing input and output", place::absent, {}, "key\n"_b, place::directory, false, 1,
         "No file :(\n", std::nullopt, "Crypt.txt"},
        {"empty key", place::file, cipher, "\n"_b, place::file, false, 1, prompt +
         "INDEX SORT COMPLEATE: \n", ""_b, "key word: empty"},
        {"input at its end", place::file, cipher, ""_b, place::file, false, 1, prompt +
         "INDEX SORT COMPLEATE: \n", ""_b, "key word: empty"},
        {"closed input", place::file, cipher, std::nullopt, place::file, false, 1, prompt, ""_b,
         "standard input: Bad file descriptor"},
        {"input is a directory", place::directory, {}, "key\n"_b, place::file, false, 1, "", ""_b,
         "Crypt.txt: Is a directory"},
        {"output not creatable", place::file, cipher, "key\n"_b, place::directory, false, 1, "",
         std::nullopt, "Decrypt.txt: Is a directory"},
        {"full disk, small output", place::file, cipher, "\xCA\xCB\xDE\xD7\n"_b, place::dev_full,
         false, 1, prompt + "INDEX SORT COMPLEATE: 0 1 3 2 \n", std::nullopt,
         "Decrypt.txt: No space left on device"},
        {"full disk, large output", place::file, big, "k\n"_b, place::dev_full, false, 1, prompt +
         "INDEX SORT COMPLEATE: 0 \n", std::nullopt, "Decrypt.txt: No space left on device"},
        {"full standard output", place::file, cipher, "\xCA\xCB\xDE\xD7\n"_b, place::file, true, 1,
         "", lowercase(plain), "standard output: No space left on device"},
        {"output a hard link to the input", place::file, cipher, "key\n"_b, place::hard_link, false,
         1, "", cipher, "Crypt.txt and Decrypt.txt are the same file"},
        {"output a symbolic link to the input", place::file, cipher, "key\n"_b, place::symlink,
         false, 1, "", cipher, "Crypt.txt and Decrypt.txt are the same file"},
        {"input a symbolic link to the output", place::symlink, cipher, "key\n"_b, place::file,
         false, 1, "", cipher, "Crypt.txt and Decrypt.txt are the same file"},
        {"input a named pipe", place::fifo, sprinkle(rng, encipher(square, nine)), "ABCDEFGHI\n"_b,
         place::file, false, 0, prompt + "INDEX SORT COMPLEATE: 0 1 2 3 4 5 6 7 8 \n",
         lowercase(square), ""},
        {"input a named pipe, large", place::fifo, big, "k\n"_b, place::file, false, 0, prompt +
         "INDEX SORT COMPLEATE: 0 \n", lowercase(big), ""},
        // encipher: Crypt.txt is replaced only by a whole ciphertext.
        {"encipher: new Crypt.txt", place::absent, {}, "\xCA\xCB\xDE\xD7\n"_b, place::absent, false,
         0, prompt + "INDEX SORT COMPLEATE: 0 1 3 2 \n", std::nullopt, "", "encipher", {}, {},
         false, place::file, sprinkle(rng, lowercase(plain)), laid_out(encipher(plain, klyuch))},
        {"encipher: Crypt.txt replaced", place::file, "old"_b, "k\n"_b, place::absent, false, 0,
         prompt + "INDEX SORT COMPLEATE: 0 \n", std::nullopt, "", "encipher", {}, {}, false,
         place::file, big_plain, laid_out(encipher(big_plain, {0}))},
        {"encipher: no letters", place::file, "old"_b, "k\n"_b, place::absent, false, 0, prompt +
         "INDEX SORT COMPLEATE: 0 \n", std::nullopt, "", "encipher", {}, {}, false, place::file,
         "no letters\r\n"_b, ""_b},
        {"encipher: missing Plain.txt", place::file, "old"_b, "k\n"_b, place::absent, false, 1, "",
         std::nullopt, "encipher: Plain.txt: No such file or directory", "encipher", {}},
        {"encipher: Plain.txt a directory", place::file, "old"_b, "k\n"_b, place::absent, false, 1,
         "", std::nullopt, "encipher: Plain.txt: Is a directory", "encipher", {}, {}, false,
         place::directory},
        {"encipher: empty key", place::file, "old"_b, "\n"_b, place::absent, false, 1, prompt +
         "INDEX SORT COMPLEATE: \n", std::nullopt, "encipher: key word: empty", "encipher", {}, {},
         false, place::file, plain},
        {"encipher: Crypt.txt not creatable", place::directory, {}, "k\n"_b, place::absent, false,
         1, prompt + "INDEX SORT COMPLEATE: 0 \n", std::nullopt,
         "encipher: Crypt.txt: Is a directory", "encipher", {}, {}, false, place::file, plain},
        {"encipher: full disk", place::file, "old"_b, "k\n"_b, place::absent, false, 1, prompt +
         "INDEX SORT COMPLEATE: 0 \n", std::nullopt, "encipher: Crypt.txt: File too large",
         "encipher", {}, {}, false, place::file, big_plain, std::nullopt, 100000},
        {"encipher: Plain.txt is Crypt.txt", place::file, "old"_b, "k\n"_b, place::absent, false, 1,
         "", std::nullopt, "encipher: Plain.txt and Crypt.txt are the same file", "encipher", {},
         {}, false, place::hard_link},
        {"encipher --version", place::absent, {}, ""_b, place::absent, false, 0, "encipher 1.",
         std::nullopt, "", "encipher", {"--version"}, {}, true},
        {"encipher --help", place::absent, {}, ""_b, place::absent, false, 0, "Usage: encipher",
         std::nullopt, "", "encipher", {"--help"}, {}, true},
        {"encipher: unexpected argument", place::absent, {}, ""_b, place::absent, false, 2, "",
         std::nullopt, "encipher: unexpected argument 'x'", "encipher", {"x"}},
        {"encipher's layout", place::file, laid_out(encipher(plain, klyuch)),
         "\xCA\xCB\xDE\xD7\n"_b, place::file, false, 0, prompt + "INDEX SORT COMPLEATE: 0 1 3 2 \n",
         lowercase(plain), ""},
        // crack: a result is written only when there is one.
        {"crack: missing input", place::absent, {}, ""_b, place::file, false, 1, "", "old"_b,
         "crack: Crypt.txt: No such file or directory", "crack", {}, "old"_b},
        {"crack: no letters", place::file, "Hello 123\r\n"_b, ""_b, place::file, false, 1, "",
         "old"_b, "crack: Crypt.txt: no letters", "crack", {}, "old"_b},
        {"crack: input is a directory", place::directory, {}, ""_b, place::file, false, 1, "",
         "old"_b, "crack: Crypt.txt: Is a directory", "crack", {}, "old"_b},
        {"crack: output not creatable", place::file, cipher, ""_b, place::directory, false, 1, "",
         std::nullopt, "crack: Decrypt.txt: Is a directory", "crack", {}},
        {"crack: full disk", place::file, big_russian, ""_b, place::dev_full, false, 1,
         crack_header, std::nullopt, "crack: Decrypt.txt: No space left on device", "crack", {}, {},
         true},
        {"crack: output a hard link to the input", place::file, cipher, ""_b, place::hard_link,
         false, 1, "", cipher, "crack: Crypt.txt and Decrypt.txt are the same file", "crack", {}},
        {"crack --help", place::absent, {}, ""_b, place::file, false, 0, "Usage: crack", "old"_b,
         "", "crack", {"--help"}, "old"_b, true},
        {"crack --version", place::absent, {}, ""_b, place::file, false, 0, "crack 1.", "old"_b, "",
         "crack", {"--version"}, "old"_b, true},
        {"crack: unexpected argument", place::absent, {}, ""_b, place::file, false, 2, "", "old"_b,
         "crack: unexpected argument '-x'", "crack", {"-x"}, "old"_b},
        // crack: text that does not read as Russian still gets its candidates, and a warning.
        {"crack: random letters", place::file, sprinkle(rng, stray), ""_b, place::file, false, 0,
         crack_header, std::nullopt, "crack: no key gives Russian text; is Crypt.txt enciphered "
         "this way, in Windows-1251 or UTF-8?", "crack", {}, {}, true},
        {"crack: KOI8-R", place::file, sprinkle(rng, koi8), ""_b, place::file, false, 0,
         crack_header, std::nullopt, "crack: no key gives Russian text", "crack", {}, {}, true},
        // clang-format on
    };
    for (const auto& c : cases)
        run(c);
}

// The example's plaintext, as Windows-1251 capitals.
bytes example_letters() {
    const bytes utf8 = slurp(EXAMPLES_DIR "/plain-utf8.txt");
    bytes letters;
    for (std::size_t i = 0; i + 1 < utf8.size(); ++i) {
        const unsigned code = (utf8[i] & 0x1FU) << 6 | (utf8[i + 1] & 0x3FU);
        if ((utf8[i] == 0xD0 || utf8[i] == 0xD1) && code >= 0x410 && code <= 0x44F)
            letters += static_cast<std::uint8_t>((0xC0 + code - 0x410) & 0xDFU);
    }
    return letters;
}

// crack must give each text back from its ciphertext alone, and the key word it prints must
// give decipher the same plaintext.
TEST(CrackCli, RecoversTheKey) {
    struct row {
        const char* name;
        std::size_t from, length;
        std::string key;
        std::string warning;
    };
    const row rows[] = {
        {"full blocks only", 0, 250, "DBECA", ""},
        {"a short last block", 100, 300, "GFEDCBAHI", ""},
        {"shorter than one block", 200, 75, "HCAIBGDFE", "crack: the runner-up is close"},
        {"n = 1", 50, 100, "Z", ""},
        {"n = 2", 0, 41, "BA", ""},
        {"ties in the key", 0, 687, "\xC7\xC0\xC3\xC0\xC4\xCA\xC0", ""}, // ЗАГАДКА
    };
    std::mt19937 rng(8);
    const bytes text = example_letters();
    ASSERT_EQ(text.size(), 687U);
    for (const auto& r : rows) {
        const bytes original = text.substr(r.from, r.length);
        const auto order = reference_column_order(r.key);
        std::string digits(order.size(), ' ');
        std::string order_line = "INDEX SORT COMPLEATE: ";
        for (std::size_t rank = 0; rank < order.size(); ++rank) {
            digits[static_cast<std::size_t>(order[rank])] = static_cast<char>('1' + rank);
            order_line += std::to_string(order[rank]) + " ";
        }
        const bytes cipher = sprinkle(rng, encipher(original, order));
        const std::string name = std::string("crack: ") + r.name;
        run({name.c_str(),
             place::file,
             cipher,
             ""_b,
             place::file,
             false,
             0,
             crack_header + digits + " ",
             lowercase(original),
             r.warning,
             "crack",
             {},
             {},
             true});
        run({r.name, place::file, cipher, bytes(digits.begin(), digits.end()) + "\n"_b, place::file,
             false, 0, prompt + order_line + "\n", lowercase(original), ""});
    }
}

} // namespace
