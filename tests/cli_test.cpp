// Runs the built tools in a scratch directory, one table row per case.
#include "child_process.hpp"
#include "test_text.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
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
    bool stdout_full = false;
    int status = 0;
    std::string out = {};
    std::optional<bytes> decrypt = {}; // nullopt: not checked (not a plain file)
    std::string err = {};              // a fragment standard error must hold; "" means empty
    const char* tool = "decipher";
    std::vector<const char*> args = {};
    bytes decrypt_before = {};        // of a plain Decrypt.txt
    bool out_prefix = false;          // out need only begin standard output
    place plain_kind = place::absent; // Plain.txt; hard_link: another name of Crypt.txt
    bytes plain_text = {};
    std::optional<bytes> crypt_after = {};  // nullopt: Crypt.txt must stay as it was
    unsigned long file_limit = 0;           // the largest file the tool may write, if not 0
    int signal = 0;                         // sent once the tool has made its new Crypt.txt
    fs::perms crypt_mode = fs::perms::none; // of a plain Crypt.txt, before and after
    // Where the test runs as root: files_of_other gives the folder and its files to another
    // user, other also runs the tool as that user.
    enum { me, files_of_other, other } who = me;
    // LC_ALL for the tool where it matters; such a row is skipped on Windows. Else the tool
    // runs under C.UTF-8 on POSIX.
    const char* locale = nullptr;
    // The files' names, in UTF-8; the tool is given them as operands in args.
    const char* crypt_file = "Crypt.txt";
    const char* decrypt_file = "Decrypt.txt";
    const char* plain_file = "Plain.txt";
    bool err_lines_any = false; // standard error may hold more lines than err
    // With signal: the file whose name begins so, once it holds signal_size bytes, is the cue.
    const char* signal_when = "Crypt.txt.";
    std::uintmax_t signal_size = 0;
};

// A name in UTF-8, on every platform.
fs::path utf8_path(const char* name) {
    return {std::u8string(reinterpret_cast<const char8_t*>(name))};
}

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
    setup.signal = c.signal;
    setup.signal_when = c.signal_when;
    setup.signal_size = c.signal_size;
    setup.as_other_user = c.who == run_case::other;
    setup.locale = c.locale;
#ifndef _WIN32
    if (c.locale == nullptr)
        setup.locale = "C.UTF-8";
#endif
    for (const char* arg : c.args)
        setup.args.emplace_back(arg);
    const auto kinds = {c.crypt_kind, c.decrypt_kind, c.plain_kind};
    const auto uses = [&](place p) {
        return std::find(kinds.begin(), kinds.end(), p) != kinds.end();
    };
    std::string why =
        cannot_set_up(uses(place::fifo), uses(place::symlink), uses(place::dev_full), setup);
#ifdef _WIN32
    if (c.crypt_mode != fs::perms::none)
        why = "Windows files have no POSIX permissions to keep";
#endif
    if (!why.empty()) {
        std::printf("skipped here: %s: %s\n", c.name, why.c_str());
        fs::remove_all(dir);
        return;
    }
    const fs::path crypt = dir / utf8_path(c.crypt_file);
    const fs::path decrypt = dir / utf8_path(c.decrypt_file);
    if (c.crypt_kind == place::symlink) { // by a relative name
        spill(decrypt, c.crypt);
        make(crypt, c.crypt_kind, {}, utf8_path(c.decrypt_file));
    } else {
        make(crypt, c.crypt_kind, c.crypt, {});
        make(decrypt, c.decrypt_kind, c.decrypt_before, crypt); // by an absolute name
    }
    make(dir / utf8_path(c.plain_file), c.plain_kind, c.plain_text, crypt);
    spill(dir / "stdin", c.key_input.value_or(bytes{}));
    if (c.crypt_mode != fs::perms::none)
        fs::permissions(crypt, c.crypt_mode);
    if (c.who != run_case::me) {
        fs::permissions(dir, fs::perms::all);
        for (const auto& entry : fs::directory_iterator(dir))
            give_to_other_user(entry.path());
    }
    const long owner = owner_of(crypt);
    const fs::path drained = dir.string() + ".drained";
#ifndef _WIN32
    // A named pipe is Crypt.txt: decipher reads it from a writer, encipher writes to a reader.
    const bool enciphering = std::string(c.tool) == "encipher";
    const int feeder = c.crypt_kind != place::fifo ? 0
                       : enciphering
                           ? start_drainer(crypt, drained)
                           : start_feeder(crypt, std::string(c.crypt.begin(), c.crypt.end()));
#endif

    EXPECT_EQ(run_child(setup), c.status);
#ifndef _WIN32
    if (feeder != 0) {
        EXPECT_TRUE(wait_for_feeder(feeder));
    }
    if (feeder != 0 && enciphering) {
        EXPECT_EQ(slurp(drained), c.crypt_after.value_or(bytes{}));
    }
    fs::remove(drained);
#endif
    if (c.crypt_mode != fs::perms::none) {
        EXPECT_EQ(fs::status(crypt).permissions(), c.crypt_mode);
        EXPECT_EQ(owner_of(crypt), owner);
    }
    if (c.crypt_kind == place::absent && std::string(c.tool) != "encipher") {
        EXPECT_FALSE(fs::exists(crypt)) << "an input made";
    }
    if (c.crypt_kind == place::fifo) {
        EXPECT_EQ(fs::status(crypt).type(), fs::file_type::fifo);
    } else if (c.crypt_after) {
        EXPECT_EQ(slurp(crypt), *c.crypt_after);
    } else if (c.crypt_kind == place::file || c.crypt_kind == place::symlink) {
        EXPECT_EQ(slurp(crypt), c.crypt) << "Crypt.txt changed";
    }
    for (const auto& entry : fs::directory_iterator(dir)) { // nothing left behind
        const fs::path file = entry.path().filename();
        EXPECT_TRUE(file == utf8_path(c.crypt_file) || file == utf8_path(c.decrypt_file) ||
                    file == utf8_path(c.plain_file) || file == "stdin" || file == "stdout" ||
                    file == "stderr")
            << reinterpret_cast<const char*>(file.u8string().c_str());
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
    // One line a message, and c.err may span several.
    if (!c.err_lines_any) {
        EXPECT_EQ(std::count(err_text.begin(), err_text.end(), '\n'),
                  c.err.empty() ? 0 : 1 + std::count(c.err.begin(), c.err.end(), '\n'));
    }
    if (c.decrypt) {
        EXPECT_EQ(slurp(decrypt), *c.decrypt);
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
    // ЗАГАДКА typed on a UTF-8 terminal; the order its Windows-1251 letters give, and the order
    // its first nine bytes give.
    const bytes zagadka_utf8 = "\xD0\x97\xD0\x90\xD0\x93\xD0\x90\xD0\x94\xD0\x9A\xD0\x90\n"_b;
    const std::vector<std::int32_t> zagadka = {6, 3, 1, 2, 4, 0, 5};
    const std::vector<std::int32_t> zagadka_bytes = {7, 3, 5, 1, 8, 6, 4, 2, 0};
    const char* utf8 = "C.UTF-8";
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
        {"UTF-8 key, UTF-8 locale", place::file, encipher(plain, zagadka), zagadka_utf8,
         place::file, false, 0, prompt + "INDEX SORT COMPLEATE: 6 3 1 2 4 0 5 \n", lowercase(plain),
         "", "decipher", {}, {}, false, place::absent, {}, {}, 0, 0, {}, run_case::me, utf8},
        {"UTF-8 key, C locale: its bytes", place::file, encipher(plain, zagadka_bytes),
         zagadka_utf8, place::file, false, 0, prompt + "INDEX SORT COMPLEATE: 7 3 5 1 8 6 4 2 0 \n",
         lowercase(plain), "", "decipher", {}, {}, false, place::absent, {}, {}, 0, 0, {},
         run_case::me, "C"},
        {"Windows-1251 key, UTF-8 locale", place::file, encipher(plain, zagadka),
         "\xC7\xC0\xC3\xC0\xC4\xCA\xC0\n"_b, place::file, false, 0, prompt +
         "INDEX SORT COMPLEATE: 6 3 1 2 4 0 5 \n", lowercase(plain), "", "decipher", {}, {}, false,
         place::absent, {}, {}, 0, 0, {}, run_case::me, utf8},
        {"a UTF-8 key of 22 characters, cut to 9", place::file, encipher(plain, {2, 5, 0, 8, 6, 4, 1, 3, 7}),
         "\xD0\x94\xD0\x9E\xD0\x91\xD0\xA0\xD0\x9E\xD0\x94\xD0\x95\xD0\xA2\xD0\x95\xD0\x9B\xD0\xAC"
         "\xD0\x94\xD0\x9E\xD0\x91\xD0\xA0\xD0\x9E\xD0\x94\xD0\x95\xD0\xA2\xD0\x95\xD0\x9B\xD0\xAC\n"_b,
         place::file, false, 0, prompt + "INDEX SORT COMPLEATE: 2 5 0 8 6 4 1 3 7 \n",
         lowercase(plain), "", "decipher", {}, {}, false,
         place::absent, {}, {}, 0, 0, {}, run_case::me, utf8},
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
         "No file :(\n", std::nullopt, "Crypt.txt: No such file or directory\n"
         "decipher: Decrypt.txt: Is a directory"},
        {"missing input, the output a symbolic link to it", place::absent, {}, "key\n"_b,
         place::symlink, false, 1, "No file :(\n", std::nullopt,
         "Crypt.txt: No such file or directory"},
        {"output a hard link to an unreadable input", place::file, cipher, "key\n"_b,
         place::hard_link, false, 1, "No file :(\n", cipher, "Crypt.txt: Permission denied",
         "decipher", {}, {}, false, place::absent, {}, {}, 0, 0, fs::perms::owner_write,
         run_case::other},
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
        {"encipher: Crypt.txt replaced", place::file, "old"_b, "ba\n"_b, place::absent, false, 0,
         prompt + "INDEX SORT COMPLEATE: 1 0 \n", std::nullopt, "", "encipher", {}, {}, false,
         place::file, big_plain, laid_out(encipher(big_plain, {1, 0}))},
        {"encipher: a private Crypt.txt stays private and its owner's", place::file, "old"_b,
         "ba\n"_b, place::absent, false, 0, prompt + "INDEX SORT COMPLEATE: 1 0 \n", std::nullopt,
         "", "encipher", {}, {}, false, place::file, plain, laid_out(encipher(plain, {1, 0})), 0,
         0, fs::perms::owner_read | fs::perms::owner_write, run_case::files_of_other},
        {"encipher: Crypt.txt a named pipe, written through", place::fifo, {},
         "\xCA\xCB\xDE\xD7\n"_b, place::absent, false, 0, prompt +
         "INDEX SORT COMPLEATE: 0 1 3 2 \n", std::nullopt, "", "encipher", {}, {}, false,
         place::file, plain, laid_out(encipher(plain, klyuch))},
        {"encipher: a key of one letter", place::file, "old"_b, "k\n"_b, place::absent, false, 0,
         prompt + "INDEX SORT COMPLEATE: 0 \n", std::nullopt,
         "encipher: a key of one character leaves the letters in order", "encipher", {}, {},
         false, place::file, plain, laid_out(plain)},
        {"encipher: SIGTERM", place::file, "old"_b, ""_b, place::absent, false, 128 + 15, "",
         std::nullopt, "", "encipher", {}, {}, true, place::file, plain, std::nullopt, 0, 15},
        {"encipher: SIGINT", place::file, "old"_b, ""_b, place::absent, false, 128 + 2, "",
         std::nullopt, "", "encipher", {}, {}, true, place::file, plain, std::nullopt, 0, 2},
        {"encipher: SIGHUP", place::file, "old"_b, ""_b, place::absent, false, 128 + 1, "",
         std::nullopt, "", "encipher", {}, {}, true, place::file, plain, std::nullopt, 0, 1},
        {"encipher: full standard output", place::file, "old"_b, "ba\n"_b, place::absent, true, 1,
         "", std::nullopt, "encipher: standard output: No space left on device", "encipher", {},
         {}, false, place::file, plain},
        {"encipher: no letters", place::file, "old"_b, "ba\n"_b, place::absent, false, 1, prompt +
         "INDEX SORT COMPLEATE: 1 0 \n", std::nullopt, "encipher: Plain.txt: no letters",
         "encipher", {}, {}, false, place::file, "no letters\r\n"_b},
        {"encipher: missing Plain.txt", place::file, "old"_b, "k\n"_b, place::absent, false, 1, "",
         std::nullopt, "encipher: Plain.txt: No such file or directory", "encipher", {}},
        {"encipher: Plain.txt a directory", place::file, "old"_b, "k\n"_b, place::absent, false, 1,
         "", std::nullopt, "encipher: Plain.txt: Is a directory", "encipher", {}, {}, false,
         place::directory},
        {"encipher: empty key", place::file, "old"_b, "\n"_b, place::absent, false, 1, prompt +
         "INDEX SORT COMPLEATE: \n", std::nullopt, "encipher: key word: empty", "encipher", {}, {},
         false, place::file, plain},
        {"encipher: Crypt.txt not creatable", place::directory, {}, "k\n"_b, place::absent, false,
         1, "", std::nullopt,
         "encipher: Crypt.txt: Is a directory", "encipher", {}, {}, false, place::file, plain},
        {"encipher: full disk", place::file, "old"_b, "ba\n"_b, place::absent, false, 1, prompt +
         "INDEX SORT COMPLEATE: 1 0 \n", std::nullopt, "encipher: Crypt.txt: File too large",
         "encipher", {}, {}, false, place::file, big_plain, std::nullopt, 100000},
        {"encipher: Plain.txt is Crypt.txt", place::file, "old"_b, "k\n"_b, place::absent, false, 1,
         "", std::nullopt, "encipher: Plain.txt and Crypt.txt are the same file", "encipher", {},
         {}, false, place::hard_link},
        {"encipher --version", place::absent, {}, ""_b, place::absent, false, 0, "encipher 1.",
         std::nullopt, "", "encipher", {"--version"}, {}, true},
        {"encipher --help", place::absent, {}, ""_b, place::absent, false, 0, "Usage: encipher",
         std::nullopt, "", "encipher", {"--help"}, {}, true},
        {"encipher: unknown option", place::absent, {}, ""_b, place::absent, false, 2, "",
         std::nullopt, "encipher: invalid option -- 'x'\nUsage: encipher [-k KEY | --key=KEY] "
         "[PLAIN [CRYPT]]\n       encipher --help | --version", "encipher", {"-x"}},
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
        {"crack: no key to give", place::absent, {}, ""_b, place::file, false, 2, "", "old"_b,
         "crack: invalid option -- 'k'\nUsage: crack [CRYPT [DECRYPT]]\n"
         "       crack --help | --version", "crack", {"-k", "x"}, "old"_b},
        // crack: text that does not read as Russian still gets its candidates, and a warning.
        {"crack: random letters", place::file, sprinkle(rng, stray), ""_b, place::file, false, 0,
         crack_header, std::nullopt, "crack: no key gives Russian text; is Crypt.txt enciphered "
         "this way, in Windows-1251 or UTF-8?", "crack", {}, {}, true},
        {"crack: KOI8-R", place::file, sprinkle(rng, koi8), ""_b, place::file, false, 0,
         crack_header, std::nullopt, "crack: no key gives Russian text", "crack", {}, {}, true},
        // clang-format on

        // Nothing written before the first letter: a UTF-8 mark with no letters after it.
        {.name = "encipher: a mark and no letters, to standard output",
         .crypt_kind = place::file,
         .crypt = "old"_b,
         .key_input = ""_b,
         .decrypt_kind = place::absent,
         .status = 1,
         .err = "INDEX SORT COMPLEATE: 1 0 \nencipher: Plain.txt: no letters",
         .tool = "encipher",
         .args = {"-k", "ba", "Plain.txt", "-"},
         .plain_kind = place::file,
         .plain_text = "\xEF\xBB\xBF"_b},
        {.name = "a mark and no letters, to standard output",
         .crypt_kind = place::file,
         .crypt = "\xEF\xBB\xBF"_b,
         .key_input = ""_b,
         .decrypt_kind = place::absent,
         .err = "INDEX SORT COMPLEATE: 1 0 ",
         .args = {"-k", "ba", "Crypt.txt", "-"}},
        // A signal while the reads run ahead: the run ends at once, its first buffer written.
        {.name = "SIGTERM with the text from a pipe, one buffer in",
         .crypt_kind = place::absent,
         .crypt = {},
         .key_input = big,
         .decrypt_kind = place::absent,
         .status = 128 + 15,
         .out = "INDEX SORT COMPLEATE: 0 \n",
         .decrypt = lowercase(big.substr(0, io_chunk_size)),
         .args = {"-k", "k", "-"},
         .signal = 15,
         .signal_when = "Decrypt.txt",
         .signal_size = io_chunk_size},
    };
    for (const auto& c : cases)
        run(c);

    // The command line, and text as the user has it.
    const char* key = "\xD0\x9A\xD0\x9B\xD0\xAE\xD0\xA7"; // КЛЮЧ in UTF-8
    const std::string order_line = "INDEX SORT COMPLEATE: 0 1 3 2 \n";
    const std::string usage = "\nUsage: decipher [-k KEY | --key=KEY] [CRYPT [DECRYPT]]\n"
                              "       decipher --help | --version";
    const bytes text = lowercase(plain);
    const bytes laid = laid_out(encipher(plain, klyuch));
    const bytes bom = "\xEF\xBB\xBF"_b;
    const bytes ascii(std::size_t{300} * 1024, 'a');
    const auto as_text = [](const bytes& b) { return std::string(b.begin(), b.end()); };
    // decipher with the key from the command line, the files as given.
    const auto keyed = [&](const char* name, std::vector<const char*> args, bytes crypt,
                           std::optional<bytes> decrypt) {
        return run_case{.name = name,
                        .crypt_kind = place::file,
                        .crypt = std::move(crypt),
                        .key_input = ""_b,
                        .decrypt_kind = place::absent,
                        .status = 0,
                        .out = order_line,
                        .decrypt = std::move(decrypt),
                        .args = std::move(args)};
    };
    // decipher refusing its command line: nothing touched, nothing asked.
    const auto refused = [&](const char* name, std::vector<const char*> args,
                             const std::string& err) {
        return run_case{.name = name,
                        .crypt_kind = place::file,
                        .crypt = cipher,
                        .key_input = ""_b,
                        .decrypt_kind = place::file,
                        .status = 2,
                        .out = "",
                        .decrypt = "old"_b,
                        .err = "decipher: " + err + usage,
                        .args = std::move(args),
                        .decrypt_before = "old"_b};
    };
    // encipher with the key from the command line.
    const auto enciphered = [&](const char* name, std::vector<const char*> args, bytes plain_text,
                                bytes crypt_after) {
        return run_case{.name = name,
                        .crypt_kind = place::file,
                        .crypt = "old"_b,
                        .key_input = ""_b,
                        .decrypt_kind = place::absent,
                        .status = 0,
                        .out = order_line,
                        .tool = "encipher",
                        .args = std::move(args),
                        .plain_kind = place::file,
                        .plain_text = std::move(plain_text),
                        .crypt_after = std::move(crypt_after)};
    };
    const std::string k_joined = std::string("-k") + key;
    const std::string key_joined = std::string("--key=") + key;
    run_case named = keyed("file names outside ASCII",
                           {"-k", key, "шифр.txt", "открытый текст.txt"}, cipher, text);
    named.crypt_file = "шифр.txt";
    named.decrypt_file = "открытый текст.txt";
    run_case dashed =
        keyed("-- before a name that begins with -", {"-k", key, "--", "-шифр.txt"}, cipher, text);
    dashed.crypt_file = "-шифр.txt";
    run_case same = keyed("two names of one file", {"-k", key, "Crypt.txt", "./Crypt.txt"}, cipher,
                          std::nullopt);
    same.status = 1;
    same.out = "";
    same.err = "decipher: Crypt.txt and ./Crypt.txt are the same file";
    run_case piped =
        keyed("- -: standard output holds the text alone", {"-k", key, "-", "-"}, {}, std::nullopt);
    piped.crypt_kind = place::absent;
    piped.key_input = cipher;
    piped.out = as_text(text);
    piped.err = "INDEX SORT COMPLEATE: 0 1 3 2 ";
    run_case closed = keyed("closed standard input as the text", {"-k", key, "-"}, {}, ""_b);
    closed.crypt_kind = place::absent;
    closed.key_input = std::nullopt;
    closed.status = 1;
    closed.out = "";
    closed.err = "decipher: standard input: Bad file descriptor";
    run_case no_key = refused("text from standard input needs -k", {"-"},
                              "the text comes from standard input, so the key must come with -k");
    run_case help = refused("--help", {"--help"}, "");
    help.status = 0;
    help.out = "Usage: decipher [-k KEY | --key=KEY] [CRYPT [DECRYPT]]\n";
    help.out_prefix = true;
    help.err = "";
    run_case version = help;
    version.args = {"--version"};
    version.out = "decipher 1.";
    run_case utf16 = keyed("UTF-16 refused", {"-k", key}, "\xFF\xFE\x1F\x04"_b, ""_b);
    utf16.decrypt_kind = place::file;
    utf16.status = 1;
    utf16.out = "";
    utf16.err = "decipher: Crypt.txt: UTF-16 text; save it as UTF-8 or Windows-1251";
    run_case utf16_plain =
        enciphered("encipher: UTF-16 refused", {"-k", key}, "\xFE\xFF"_b, "old"_b);
    utf16_plain.status = 1;
    utf16_plain.out = "";
    utf16_plain.err = "encipher: Plain.txt: UTF-16 text; save it as UTF-8 or Windows-1251";
    run_case utf16_crack = utf16;
    utf16_crack.tool = "crack";
    utf16_crack.args = {};
    utf16_crack.decrypt_before = "old"_b;
    utf16_crack.decrypt = "old"_b;
    utf16_crack.err = "crack: Crypt.txt: UTF-16 text; save it as UTF-8 or Windows-1251";
    run_case to_standard_output =
        enciphered("encipher to standard output", {"-k", key, "Plain.txt", "-"}, plain, "old"_b);
    to_standard_output.out = as_text(laid);
    to_standard_output.err = "INDEX SORT COMPLEATE: 0 1 3 2 ";
    run_case from_standard_input =
        enciphered("encipher from standard input", {"-k", key, "-"}, {}, laid);
    from_standard_input.plain_kind = place::absent;
    from_standard_input.key_input = lowercase(plain);
    run_case encipher_names = enciphered("encipher: names outside ASCII",
                                         {"--key", key, "письмо.txt", "шифр.txt"}, plain, laid);
    encipher_names.plain_file = "письмо.txt";
    encipher_names.crypt_file = "шифр.txt";
    // Windows-1251 whose first bytes above 0x7F happen to be well-formed UTF-8.
    bytes like_utf8 = cipher;
    like_utf8.insert(like_utf8.find(0xCF) + 1, "\xBB"_b);
    const run_case rows[] = {
        keyed("-k KEY", {"-k", key}, cipher, text),
        keyed("-kKEY", {k_joined.c_str()}, cipher, text),
        keyed("--key KEY", {"--key", key}, cipher, text),
        keyed("--key=KEY", {key_joined.c_str()}, cipher, text),
        named,
        dashed,
        same,
        piped,
        no_key,
        help,
        version,
        refused("unknown option", {"-x"}, "invalid option -- 'x'"),
        refused("unknown long option", {"--frobnicate"}, "unrecognized option '--frobnicate'"),
        refused("-k with no key", {"-k"}, "option requires an argument -- 'k'"),
        refused("too many operands", {"a", "b", "c"}, "extra operand 'c'"),
        keyed("UTF-8 in, UTF-8 out", {"-k", key}, utf8_of(cipher), utf8_of(text)),
        keyed("UTF-8 with its mark", {"-k", key}, bom + utf8_of(cipher), bom + utf8_of(text)),
        keyed("Windows-1251 that opens like UTF-8", {"-k", key}, like_utf8, text),
        keyed("UTF-8 after 300 KiB of ASCII", {"-k", key}, ascii + utf8_of(cipher), utf8_of(text)),
        keyed("Windows-1251 after 300 KiB of ASCII", {"-k", key}, ascii + cipher, text),
        utf16,
        utf16_plain,
        utf16_crack,
        to_standard_output,
        from_standard_input,
        encipher_names,
        enciphered("encipher: UTF-8 in, UTF-8 out", {"-k", key}, utf8_of(plain), utf8_of(laid)),
        enciphered("encipher: UTF-8 with its mark", {"-k", key}, bom + utf8_of(plain),
                   bom + utf8_of(laid)),
    };
    for (const auto& c : rows)
        run(c);
}

// Under an address-space limit rising from a few MiB, each tool either cannot load at all, or
// runs out of memory and says so, removing what it made, or runs to its end: never a crash.
TEST(Cli, OutOfMemory) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer needs far more address space";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    GTEST_SKIP() << "the address sanitizer needs far more address space";
#endif
#endif
    if (const char* preload = std::getenv("LD_PRELOAD");
        preload != nullptr && std::strstr(preload, "vgpreload") != nullptr)
        GTEST_SKIP() << "valgrind's own address space is not the tool's";
    std::mt19937 rng(9);
    const bytes cipher = sprinkle(rng, encipher(plain, klyuch));
    for (const char* tool : {"decipher", "encipher", "crack"}) {
        const std::string tool_name(tool);
        int out_of_memory = 0;
        for (unsigned long limit = 4UL << 20; limit < 64UL << 20; limit += 64UL << 10) {
            const fs::path dir = scratch_folder();
            child_setup setup{fs::path(TOOL_DIR) / (tool_name + EXE_SUFFIX), {}, dir};
            setup.memory_limit = limit;
            if (const std::string why = cannot_set_up(false, false, false, setup); !why.empty())
                GTEST_SKIP() << why;
            spill(dir / "Crypt.txt", cipher);
            spill(dir / "Plain.txt", plain);
            spill(dir / "stdin", "\xCA\xCB\xDE\xD7\n"_b);
            const int status = run_child(setup);
            const bytes err = slurp(dir / "stderr");
            const std::string err_text(err.begin(), err.end());
            std::string trace = tool_name + " under " + std::to_string(limit);
            trace.append(" bytes: ").append(err_text);
            SCOPED_TRACE(trace);
            // The loader's own failure, before the tool runs: it never ends with 127 itself.
            const bool unloadable = status == 127;
            EXPECT_TRUE(status == 0 || status == 1 || unloadable);
            if (status == 1) {
                // Either the run's own report, or a file that could not be opened for it.
                const std::string reason = ": Cannot allocate memory\n";
                EXPECT_EQ(err_text.rfind(tool_name + ":", 0), 0U);
                EXPECT_EQ(
                    err_text.substr(err_text.size() - std::min(err_text.size(), reason.size())),
                    reason);
                EXPECT_EQ(slurp(dir / "Crypt.txt"), cipher);
                ++out_of_memory;
            }
            for (const auto& entry : fs::directory_iterator(dir))
                EXPECT_EQ(entry.path().filename().string().rfind("Crypt.txt.", 0),
                          std::string::npos);
            fs::remove_all(dir);
            if (status == 0)
                break;
        }
        EXPECT_GT(out_of_memory, 0) << tool_name << " never ran out of memory";
    }
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
    // UTF-8 through a pipeline: the plaintext alone on standard output, the candidates on
    // standard error.
    const bytes whole = sprinkle(rng, encipher(text, reference_column_order("GFEDCBAHI")));
    run({.name = "crack: UTF-8 from standard input to standard output",
         .crypt_kind = place::absent,
         .crypt = {},
         .key_input = utf8_of(whole),
         .decrypt_kind = place::absent,
         .out =
             [&] {
                 const bytes u = utf8_of(lowercase(text));
                 return std::string(u.begin(), u.end());
             }(),
         .err = crack_header,
         .tool = "crack",
         .args = {"-", "-"},
         .err_lines_any = true});
}

} // namespace
