// Runs the built tools in a scratch directory, one table row per case.
#include "child_process.hpp"
#include "test_text.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// hard_link and symlink: Decrypt.txt another name of Crypt.txt; as the kind of Crypt.txt,
// symlink is the other way round. fifo: a named pipe that a writer feeds once.
// Signals a Windows build has no names for; its signal rows are skipped.
#ifdef _WIN32
constexpr int user_signal = 10;
constexpr int timer_signal = 26;
#else
constexpr int user_signal = SIGUSR1;
constexpr int timer_signal = SIGVTALRM;
#endif

// dangling: as the kind of Crypt.txt, a symbolic link to a Decrypt.txt that is not there.
enum class place { file, absent, directory, dev_full, hard_link, symlink, fifo, dangling };

struct run_case {
    std::string name;
    place crypt_kind = place::file;
    bytes crypt = {};
    std::optional<bytes> key_input = bytes{}; // nullopt: standard input closed
    place decrypt_kind = place::file;
    bool stdout_full = false;
    int status = 0;
    std::string out = {};
    std::optional<bytes> decrypt = {}; // nullopt: not checked (not a plain file)
    std::string err = {};              // a fragment standard error must hold; "" means empty
    const char* tool = "decipher";
    std::vector<std::string> args = {};
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
    // "NAME=value": the language variables for the tool, in place of LC_ALL; Windows too.
    std::vector<std::string> language = {};
    // The files' names, in UTF-8; the tool is given them as operands in args.
    const char* crypt_file = "Crypt.txt";
    const char* decrypt_file = "Decrypt.txt";
    const char* plain_file = "Plain.txt";
    bool err_lines_any = false;       // standard error may hold more lines than err
    const char* stdin_path = nullptr; // standard input, if not the key input: /dev/zero, "."
    bool posix_only = false;          // names POSIX devices: skipped on Windows
    // With signal: the file whose name begins so, once it holds signal_size bytes, is the cue.
    const char* signal_when = "tmp.";
    std::uintmax_t signal_size = 0;
    unsigned stdin_held = 0; // key_input through a pipe held open so long, as child_setup's
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
    setup.stdin_held = c.stdin_held;
    setup.as_other_user = c.who == run_case::other;
    setup.locale = c.locale;
    setup.language = c.language;
    setup.posix_only = c.posix_only;
    if (c.stdin_path != nullptr)
        setup.stdin_path = c.stdin_path;
#ifndef _WIN32
    if (c.locale == nullptr && c.language.empty())
        setup.locale = "C.UTF-8";
#endif
    for (const std::string& arg : c.args)
        setup.args.emplace_back(arg);
    const auto kinds = {c.crypt_kind, c.decrypt_kind, c.plain_kind};
    const auto uses = [&](place p) {
        return std::find(kinds.begin(), kinds.end(), p) != kinds.end();
    };
    std::string why =
        cannot_set_up(uses(place::fifo), uses(place::symlink) || uses(place::dangling),
                      uses(place::dev_full), setup);
#ifdef _WIN32
    if (c.crypt_mode != fs::perms::none)
        why = "Windows files have no POSIX permissions to keep";
#endif
    if (!why.empty()) {
        fs::remove_all(dir);
        GTEST_SKIP() << c.name << ": " << why;
    }
    const fs::path crypt = dir / utf8_path(c.crypt_file);
    const fs::path decrypt = dir / utf8_path(c.decrypt_file);
    if (c.crypt_kind == place::symlink || c.crypt_kind == place::dangling) { // by a relative name
        if (c.crypt_kind == place::symlink)
            spill(decrypt, c.crypt);
        make(crypt, place::symlink, {}, utf8_path(c.decrypt_file));
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
    if (c.crypt_kind == place::dangling) {
        EXPECT_TRUE(fs::is_symlink(crypt)) << "the link removed";
        EXPECT_FALSE(fs::exists(decrypt)) << "the input made";
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

// Windows-1251 text as a Russian run writes it: UTF-8 under ru_RU.UTF-8; in the code page of a
// Russian Windows when redirected there.
std::string russian(const bytes& windows_1251) {
#ifdef _WIN32
    const bytes& shown = windows_1251;
#else
    const bytes shown = utf8_of(windows_1251);
#endif
    return {shown.begin(), shown.end()};
}

// "ПРИВЕТ, МИР! ЗДРАВСТВУЙ." as Windows-1251 capitals, and the key "КЛЮЧ" gives order 0 1 3 2.
const bytes plain =
    "\xCF\xD0\xC8\xC2\xC5\xD2\xCC\xC8\xD0\xC7\xC4\xD0\xC0\xC2\xD1\xD2\xC2\xD3\xC9"_b;
const std::vector<std::int32_t> klyuch = {0, 1, 3, 2};

// Built once, in this order: the rows draw on one generator in turn.
std::vector<run_case> make_cli_cases() {
    std::mt19937 rng(5);
    static const std::string long_name(250, 'c');
    // encipher reads Ё and ё as letters, which the sprinkled noise holds.
    const auto without_yo = [](bytes text) {
        std::erase_if(text, [](std::uint8_t b) { return b == 0xA8 || b == 0xB8; });
        return text;
    };
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
        {.name = "normal run",
         .crypt = cipher,
         .key_input = "\xCA\xCB\xDE\xD7\n"_b,
         .out = prompt + "INDEX SORT COMPLEATE: 0 1 3 2 \n",
         .decrypt = lowercase(plain)},
        {.name = "UTF-8 key, UTF-8 locale",
         .crypt = encipher(plain, zagadka),
         .key_input = zagadka_utf8,
         .out = prompt + "INDEX SORT COMPLEATE: 6 3 1 2 4 0 5 \n",
         .decrypt = lowercase(plain),
         .locale = utf8},
        {.name = "UTF-8 key, C locale: read as UTF-8, and said so",
         .crypt = encipher(plain, zagadka),
         .key_input = zagadka_utf8,
         .out = prompt + "INDEX SORT COMPLEATE: 6 3 1 2 4 0 5 \n",
         .decrypt = lowercase(plain),
         .err = "decipher: the locale is C; the key was read as UTF-8",
         .locale = "C"},
        {.name = "Windows-1251 key, C locale: its bytes",
         .crypt = encipher(plain, zagadka),
         .key_input = "\xC7\xC0\xC3\xC0\xC4\xCA\xC0\n"_b,
         .out = prompt + "INDEX SORT COMPLEATE: 6 3 1 2 4 0 5 \n",
         .decrypt = lowercase(plain),
         .locale = "C"},
        {.name = "a UTF-8 key with no Cyrillic, C locale: its bytes",
         .crypt = encipher(plain, {2, 1, 3, 0}),
         .key_input = "b\xC3\xA9"
                      "a\n"_b,
         .out = prompt + "INDEX SORT COMPLEATE: 2 1 3 0 \n",
         .decrypt = lowercase(plain),
         .locale = "C"},
        {.name = "a key character with no Windows-1251 form",
         .crypt = cipher,
         .key_input = "\xD0\x97\xE2\x9C\x93\n"_b,
         .status = 1,
         .out = prompt,
         .decrypt = ""_b,
         .err = "decipher: key: \"\xE2\x9C\x93\" has no Windows-1251 form",
         .locale = utf8},
        {.name = "a key character with no Windows-1251 form, given with -k: nothing touched",
         .crypt = cipher,
         .decrypt_kind = place::absent,
         .status = 1,
         .err = "decipher: key: \"\xE2\x9C\x93\" has no Windows-1251 form",
         .args = {"-k", "\xD0\x97\xE2\x9C\x93"},
         .locale = utf8},
        {.name = "Windows-1251 key, UTF-8 locale",
         .crypt = encipher(plain, zagadka),
         .key_input = "\xC7\xC0\xC3\xC0\xC4\xCA\xC0\n"_b,
         .out = prompt + "INDEX SORT COMPLEATE: 6 3 1 2 4 0 5 \n",
         .decrypt = lowercase(plain),
         .locale = utf8},
        {.name = "a UTF-8 key of 22 characters, cut to 9",
         .crypt = encipher(plain, {2, 5, 0, 8, 6, 4, 1, 3, 7}),
         .key_input = "\xD0\x94\xD0\x9E\xD0\x91\xD0\xA0\xD0\x9E"
                      "\xD0\x94\xD0\x95\xD0\xA2\xD0\x95\xD0\x9B\xD0\xAC"
                      "\xD0\x94\xD0\x9E\xD0\x91\xD0\xA0\xD0\x9E"
                      "\xD0\x94\xD0\x95\xD0\xA2\xD0\x95\xD0\x9B\xD0\xAC\n"_b,
         .out = prompt + "INDEX SORT COMPLEATE: 2 5 0 8 6 4 1 3 7 \n",
         .decrypt = lowercase(plain),
         .err = "decipher: the key is cut to its first 9 characters: "
                "\xD0\x94\xD0\x9E\xD0\x91\xD0\xA0\xD0\x9E\xD0\x94\xD0\x95\xD0\xA2\xD0\x95",
         .locale = utf8},
        {.name = "key longer than 9",
         .crypt = sprinkle(rng, encipher(square, nine)),
         .key_input = "ABCDEFGHIJKL\n"_b,
         .out = prompt + "INDEX SORT COMPLEATE: 0 1 2 3 4 5 6 7 8 \n",
         .decrypt = lowercase(square),
         .err = "decipher: the key is cut to its first 9 characters: ABCDEFGHI\n"
                "decipher: the text does not read as Russian; is the key right?"},
        {.name = "CR LF key",
         .crypt = encipher(plain, {1, 0}),
         .key_input = "BA\r\n"_b,
         .out = prompt + "INDEX SORT COMPLEATE: 1 0 \n",
         .decrypt = lowercase(plain)},
        {.name = "CR at the end of the input",
         .crypt = encipher(plain, {2, 0, 1}),
         .key_input = "bca\r"_b,
         .out = prompt + "INDEX SORT COMPLEATE: 2 0 1 \n",
         .decrypt = lowercase(plain)},
        {.name = "CR inside the key",
         .crypt = encipher(plain, {1, 2, 0}),
         .key_input = "b\ra\n"_b,
         .out = prompt + "INDEX SORT COMPLEATE: 1 2 0 \n",
         .decrypt = lowercase(plain)},
        {.name = "zero byte ends the key",
         .crypt = encipher(plain, {0}),
         .key_input = "b\0a\n"_b,
         .out = prompt + "INDEX SORT COMPLEATE: 0 \n",
         .decrypt = lowercase(plain)},
        {.name = "blank key, no line break",
         .crypt = encipher(plain, {0}),
         .key_input = " "_b,
         .out = prompt + "INDEX SORT COMPLEATE: 0 \n",
         .decrypt = lowercase(plain)},
        {.name = "no letters",
         .crypt = "Hello, world! 0123\r\n\xA8\xB8"_b,
         .key_input = "key\n"_b,
         .out = prompt + "INDEX SORT COMPLEATE: 1 0 2 \n",
         .decrypt = ""_b,
         .err = "decipher: Crypt.txt: no letters"},
        {.name = "missing input",
         .crypt_kind = place::absent,
         .key_input = "key\n"_b,
         .status = 1,
         .out = "No file :(\n",
         .decrypt = ""_b,
         .err = "Crypt.txt: No such file or directory"},
        {.name = "missing input and output",
         .crypt_kind = place::absent,
         .key_input = "key\n"_b,
         .decrypt_kind = place::directory,
         .status = 1,
         .out = "No file :(\n",
         .err = "Crypt.txt: No such file or directory\n"
                "decipher: Decrypt.txt: Is a directory"},
        {.name = "missing input, the output a symbolic link to it",
         .crypt_kind = place::absent,
         .key_input = "key\n"_b,
         .decrypt_kind = place::symlink,
         .status = 1,
         .out = "No file :(\n",
         .err = "Crypt.txt: No such file or directory"},
        {.name = "output a hard link to an unreadable input",
         .crypt = cipher,
         .key_input = "key\n"_b,
         .decrypt_kind = place::hard_link,
         .status = 1,
         .out = "No file :(\n",
         .decrypt = cipher,
         .err = "Crypt.txt: Permission denied",
         .crypt_mode = fs::perms::owner_write,
         .who = run_case::other},
        {.name = "empty key",
         .crypt = cipher,
         .key_input = "\n"_b,
         .status = 1,
         .out = prompt + "INDEX SORT COMPLEATE: \n",
         .decrypt = ""_b,
         .err = "key word: empty"},
        {.name = "input at its end",
         .crypt = cipher,
         .status = 1,
         .out = prompt + "INDEX SORT COMPLEATE: \n",
         .decrypt = ""_b,
         .err = "key word: empty"},
        {.name = "closed input",
         .crypt = cipher,
         .key_input = std::nullopt,
         .status = 1,
         .out = prompt,
         .decrypt = ""_b,
         .err = "standard input: Bad file descriptor"},
        {.name = "input is a directory",
         .crypt_kind = place::directory,
         .key_input = "key\n"_b,
         .status = 1,
         .decrypt = ""_b,
         .err = "Crypt.txt: Is a directory"},
        {.name = "output not creatable",
         .crypt = cipher,
         .key_input = "key\n"_b,
         .decrypt_kind = place::directory,
         .status = 1,
         .err = "Decrypt.txt: Is a directory"},
        {.name = "full disk, small output",
         .crypt = cipher,
         .key_input = "\xCA\xCB\xDE\xD7\n"_b,
         .decrypt_kind = place::dev_full,
         .status = 1,
         .out = prompt + "INDEX SORT COMPLEATE: 0 1 3 2 \n",
         .err = "Decrypt.txt: No space left on device"},
        {.name = "full disk, large output",
         .crypt = big,
         .key_input = "k\n"_b,
         .decrypt_kind = place::dev_full,
         .status = 1,
         .out = prompt + "INDEX SORT COMPLEATE: 0 \n",
         .err = "Decrypt.txt: No space left on device"},
        {.name = "full standard output",
         .crypt = cipher,
         .key_input = "\xCA\xCB\xDE\xD7\n"_b,
         .stdout_full = true,
         .status = 1,
         .decrypt = lowercase(plain),
         .err = "standard output: No space left on device"},
        {.name = "output a hard link to the input",
         .crypt = cipher,
         .key_input = "key\n"_b,
         .decrypt_kind = place::hard_link,
         .status = 1,
         .decrypt = cipher,
         .err = "Crypt.txt and Decrypt.txt are the same file"},
        {.name = "output a symbolic link to the input",
         .crypt = cipher,
         .key_input = "key\n"_b,
         .decrypt_kind = place::symlink,
         .status = 1,
         .decrypt = cipher,
         .err = "Crypt.txt and Decrypt.txt are the same file"},
        {.name = "input a symbolic link to the output",
         .crypt_kind = place::symlink,
         .crypt = cipher,
         .key_input = "key\n"_b,
         .status = 1,
         .decrypt = cipher,
         .err = "Crypt.txt and Decrypt.txt are the same file"},
        {.name = "input a dangling link to the output: the link stays, nothing made",
         .crypt_kind = place::dangling,
         .decrypt_kind = place::absent,
         .status = 1,
         .out = "No file :(\n",
         .err = "Crypt.txt: No such file or directory"},
        {.name = "a device as text and output is not the same file",
         .crypt_kind = place::absent,
         .decrypt_kind = place::absent,
         .out = "INDEX SORT COMPLEATE: 0 \n",
         .err = "decipher: /dev/null: no letters",
         .args = {"-k", "a", "/dev/null", "/dev/null"},
         .posix_only = true},
        {.name = "standard input by another name needs -k",
         .crypt_kind = place::absent,
         .decrypt_kind = place::absent,
         .status = 2,
         .err = "decipher: the text comes from standard input, so the key must come with -k",
         .args = {"/dev/stdin"},
         .err_lines_any = true,
         .posix_only = true},
        {.name = "a folder as standard input: refused before the output is made",
         .crypt_kind = place::absent,
         .decrypt_kind = place::absent,
         .status = 1,
         .err = "decipher: standard input: Is a directory",
         .args = {"-k", "K", "-", "made.txt"},
         .stdin_path = "."},
        {.name = "an endless key line of zero bytes: the first ends it",
         .status = 1,
         .out = prompt + "INDEX SORT COMPLEATE: \n",
         .decrypt = ""_b,
         .err = "decipher: key word: empty",
         .stdin_path = "/dev/zero"},
        {.name = "input a named pipe",
         .crypt_kind = place::fifo,
         .crypt = sprinkle(rng, encipher(square, nine)),
         .key_input = "ABCDEFGHI\n"_b,
         .out = prompt + "INDEX SORT COMPLEATE: 0 1 2 3 4 5 6 7 8 \n",
         .decrypt = lowercase(square),
         .err = "decipher: the text does not read as Russian; is the key right?"},
        {.name = "input a named pipe, large",
         .crypt_kind = place::fifo,
         .crypt = big,
         .key_input = "k\n"_b,
         .out = prompt + "INDEX SORT COMPLEATE: 0 \n",
         .decrypt = lowercase(big),
         .err = "decipher: the text does not read as Russian; is the key right?"},
        // What decipher says of the text it gives: Russian is let be, and gibberish named.
        {.name = "the right key on Russian: no word",
         .crypt = sprinkle(rng, encipher(example, zagadka)),
         .decrypt = lowercase(example),
         .args = {"-q", "-k", "\xD0\x97\xD0\x90\xD0\x93\xD0\x90\xD0\x94\xD0\x9A\xD0\x90"}},
        {.name = "a wrong key on Russian: the text does not read as Russian",
         .crypt = sprinkle(rng, encipher(example, zagadka)),
         .out = "INDEX SORT COMPLEATE: 2 0 1 \n",
         .err = "decipher: the text does not read as Russian; is the key right? (crack finds a "
                "key from the text alone)",
         .args = {"-k", "bca"}},
        {.name = "a near miss on 60 letters of Russian, two columns swapped: not Russian",
         .crypt = encipher(example.substr(0, 60), zagadka),
         .err = "decipher: the text does not read as Russian; is the key right?",
         .args = {"-q", "-k", "\xD0\x97\xD0\x90\xD0\x93\xD0\x90\xD0\x9A\xD0\x94\xD0\x90"}},
        {.name = "-e utf-8: Windows-1251 in, UTF-8 out",
         .crypt = cipher,
         .out = "INDEX SORT COMPLEATE: 0 1 3 2 \n",
         .decrypt = utf8_of(lowercase(plain)),
         .args = {"-e", "utf-8", "-k", "\xD0\x9A\xD0\x9B\xD0\xAE\xD0\xA7"}},
        {.name = "--encoding=windows-1251: UTF-8 in with its mark, Windows-1251 out",
         .crypt = "\xEF\xBB\xBF"_b + utf8_of(cipher),
         .out = "INDEX SORT COMPLEATE: 0 1 3 2 \n",
         .decrypt = lowercase(plain),
         .args = {"--encoding=windows-1251", "-k", "\xD0\x9A\xD0\x9B\xD0\xAE\xD0\xA7"}},
        {.name = "-q: no prompt, no order line",
         .crypt = cipher,
         .key_input = "\xCA\xCB\xDE\xD7\n"_b,
         .decrypt = lowercase(plain),
         .args = {"-q"}},
        // encipher: Crypt.txt is replaced only by a whole ciphertext.
        {.name = "encipher: new Crypt.txt",
         .crypt_kind = place::absent,
         .key_input = "\xCA\xCB\xDE\xD7\n"_b,
         .decrypt_kind = place::absent,
         .out = prompt + "INDEX SORT COMPLEATE: 0 1 3 2 \n",
         .tool = "encipher",
         .plain_kind = place::file,
         .plain_text = without_yo(sprinkle(rng, lowercase(plain))),
         .crypt_after = laid_out(encipher(plain, klyuch))},
        {.name = "encipher: yo as ye, counted with -v",
         .crypt_kind = place::absent,
         .decrypt_kind = place::absent,
         .out = "INDEX SORT COMPLEATE: 1 0 \n",
         .err = "encipher: Plain.txt: 3 letters yo written as ye",
         .tool = "encipher",
         .args = {"-v", "-k", "ba"},
         .plain_kind = place::file,
         .plain_text = utf8_of("\xEF\xF0\xEE\xE2\xB8\xEB \xE2\xF1\xB8 \xA8\xE6"_b),
         .crypt_after =
             utf8_of(laid_out(encipher("\xCF\xD0\xCE\xC2\xC5\xCB\xC2\xD1\xC5\xC5\xC6"_b, {1, 0})))},
        // The tables drawn by hand: the key КЛЮЧ reads its columns 0, 1, 3, 2.
        {.name = "encipher --table: the square, then its columns",
         .crypt_kind = place::absent,
         .decrypt_kind = place::absent,
         .err = "2 blocks of 16 letters, the last short: 15 letters.\n"
                "The key over its columns, and the order they are read in:\n"
                "  column   0  1  2  3\n  key      К  Л  Ю  Ч\n  read     1  2  4  3\n"
                "The first block's plaintext fills the square row by row:\n"
                "           з  а  в  т\n           р  а  у  т\n"
                "           р  о  м  п\n           р  и  е  д\n"
                "and the columns are read out in order:\n"
                "  1: column 0: ЗРРР\n  2: column 1: ААОИ\n  3: column 3: ТТПД\n"
                "  4: column 2: ВУМЕ",
         .tool = "encipher",
         .args = {"-q", "--table", "-k", "КЛЮЧ"},
         .plain_kind = place::file,
         .plain_text = "завтра утром приеду поездом жди меня"_b,
         .crypt_after = "ЗРРРА АОИТТ ПДВУМ ЕУЗЖЕ ПДДНЕ ММООИ Я\n"_b,
         .locale = utf8},
        {.name = "decipher --table: a short block's columns, then its rows",
         .crypt = utf8_of("\xC7\xD0\xD0\xC0\xC0\xCE\xD2\xD2\xC2\xD3\xCC"_b),
         .decrypt = "завтраутром"_b,
         .err = "1 block of 16 letters, short: 11 letters.\n"
                "The key over its columns, and the order they are read in:\n"
                "  column   0  1  2  3\n  key      К  Л  Ю  Ч\n  read     1  2  4  3\n"
                "The first block's ciphertext fills the columns in the order read:\n"
                "  1: column 0: ЗРР\n  2: column 1: ААО\n  3: column 3: ТТ\n  4: column 2: ВУМ\n"
                "and the square gives the plaintext row by row:\n"
                "           з  а  в  т\n           р  а  у  т\n           р  о  м",
         .args = {"-q", "--table", "-k", "КЛЮЧ"},
         .locale = utf8},
        // The user's language; the three console texts stay as they are in every one.
        {.name = "Russian: decipher's prompt and order line as ever, its note in Russian",
         .crypt = "abc"_b,
         .key_input = "abdc\n"_b,
         .out = prompt + "INDEX SORT COMPLEATE: 0 1 3 2 \n",
         .decrypt = ""_b,
         .err = "decipher: Crypt.txt: нет букв",
         .language = {"LANG=ru_RU.UTF-8"},
         .posix_only = true},
        {.name = "LANG=C: English, LANGUAGE ignored as gettext does",
         .crypt = "abc"_b,
         .key_input = "abdc\n"_b,
         .out = prompt + "INDEX SORT COMPLEATE: 0 1 3 2 \n",
         .decrypt = ""_b,
         .err = "decipher: Crypt.txt: no letters",
         .language = {"LANG=C", "LANGUAGE=ru"},
         .posix_only = true},
        {.name = "Russian: encipher's count of yo, plural",
         .crypt_kind = place::absent,
         .decrypt_kind = place::absent,
         .out = "INDEX SORT COMPLEATE: 1 0 \n",
         // "3 буквы ё записаны как е" in KOI8-R
         .err = "encipher: Plain.txt: 3 \xC2\xD5\xCB\xD7\xD9 \xA3 \xDA\xC1\xD0\xC9\xD3\xC1\xCE\xD9 "
                "\xCB\xC1\xCB \xC5",
         .tool = "encipher",
         .args = {"-v", "-k", "ba"},
         .plain_kind = place::file,
         .plain_text = utf8_of("\xEF\xF0\xEE\xE2\xB8\xEB \xE2\xF1\xB8 \xA8\xE6"_b),
         .crypt_after =
             utf8_of(laid_out(encipher("\xCF\xD0\xCE\xC2\xC5\xCB\xC2\xD1\xC5\xC5\xC6"_b, {1, 0}))),
         .language = {"LANG=ru_RU.KOI8-R", "LANGUAGE=de:ru_UA"},
         .posix_only = true},
        {.name = "LANG=C: encipher's count of one yo",
         .crypt_kind = place::absent,
         .decrypt_kind = place::absent,
         .out = "INDEX SORT COMPLEATE: 1 0 \n",
         .err = "encipher: Plain.txt: 1 letter yo written as ye",
         .tool = "encipher",
         .args = {"-v", "-k", "ba"},
         .plain_kind = place::file,
         .plain_text = "\xB8\xE6"_b,
         .crypt_after = laid_out(encipher("\xC5\xC6"_b, {1, 0})),
         .language = {"LANG=C"},
         .posix_only = true},
        // The Wine row too, when Wine runs under a Russian locale (the cli_russian test).
        {.name = "Russian: crack's column heads and a count of 21 letters",
         .crypt =
             "\xE0\xE1\xE2\xE3\xE4\xE5\xE6\xE7\xE8\xE9\xEA\xEB\xEC\xED\xEE\xEF\xF0\xF1\xF2\xF3\xF4"_b,
         // "ключ        длина       оценка  начало расшифровки", "crack: 21 буква"
         .out =
             russian("\xEA\xEB\xFE\xF7        \xE4\xEB\xE8\xED\xE0       \xEE\xF6\xE5\xED\xEA\xE0  "
                     "\xED\xE0\xF7\xE0\xEB\xEE \xF0\xE0\xF1\xF8\xE8\xF4\xF0\xEE\xE2\xEA\xE8\n"_b),
         .err = russian("crack: 21 \xE1\xF3\xEA\xE2\xE0"_b),
         .tool = "crack",
         .out_prefix = true,
         .language = {"LANG=ru_RU.UTF-8"}},
        {.name = "LANG=C: crack's column heads and count in English",
         .crypt =
             "\xE0\xE1\xE2\xE3\xE4\xE5\xE6\xE7\xE8\xE9\xEA\xEB\xEC\xED\xEE\xEF\xF0\xF1\xF2\xF3\xF4"_b,
         .out = crack_header,
         .err = "crack: 21 letters are too few to be sure; a word you expect in the text "
                "(--crib) or the key length (--length) narrows the search",
         .tool = "crack",
         .out_prefix = true,
         .language = {"LANG=C"}},
        {.name = "encipher: Crypt.txt replaced",
         .crypt = "old"_b,
         .key_input = "ba\n"_b,
         .decrypt_kind = place::absent,
         .out = prompt + "INDEX SORT COMPLEATE: 1 0 \n",
         .tool = "encipher",
         .plain_kind = place::file,
         .plain_text = big_plain,
         .crypt_after = laid_out(encipher(big_plain, {1, 0}))},
        {.name = "encipher: a private Crypt.txt stays private and its owner's",
         .crypt = "old"_b,
         .key_input = "ba\n"_b,
         .decrypt_kind = place::absent,
         .out = prompt + "INDEX SORT COMPLEATE: 1 0 \n",
         .tool = "encipher",
         .plain_kind = place::file,
         .plain_text = plain,
         .crypt_after = laid_out(encipher(plain, {1, 0})),
         .crypt_mode = fs::perms::owner_read | fs::perms::owner_write,
         .who = run_case::files_of_other},
        {.name = "encipher: a read-only Crypt.txt is not replaced",
         .crypt = "old"_b,
         .key_input = "ba\n"_b,
         .decrypt_kind = place::absent,
         .status = 1,
         .err = "encipher: Crypt.txt: Permission denied",
         .tool = "encipher",
         .plain_kind = place::file,
         .plain_text = plain,
         .crypt_mode = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read},
        {.name = "encipher: an output name near the longest the system allows",
         .crypt_kind = place::absent,
         .decrypt_kind = place::absent,
         .out = "INDEX SORT COMPLEATE: 1 0 \n",
         .tool = "encipher",
         .args = {"-k", "ba", "Plain.txt", long_name},
         .plain_kind = place::file,
         .plain_text = plain,
         .crypt_after = laid_out(encipher(plain, {1, 0})),
         .crypt_file = long_name.c_str(),
         .posix_only = true},
        {.name = "encipher: Crypt.txt a named pipe, written through",
         .crypt_kind = place::fifo,
         .key_input = "\xCA\xCB\xDE\xD7\n"_b,
         .decrypt_kind = place::absent,
         .out = prompt + "INDEX SORT COMPLEATE: 0 1 3 2 \n",
         .tool = "encipher",
         .plain_kind = place::file,
         .plain_text = plain,
         .crypt_after = laid_out(encipher(plain, klyuch))},
        {.name = "encipher: a key of one letter",
         .crypt = "old"_b,
         .key_input = "k\n"_b,
         .decrypt_kind = place::absent,
         .out = prompt + "INDEX SORT COMPLEATE: 0 \n",
         .err = "encipher: a key of one character leaves the letters in order",
         .tool = "encipher",
         .plain_kind = place::file,
         .plain_text = plain,
         .crypt_after = laid_out(plain)},
        {.name = "encipher: SIGTERM",
         .crypt = "old"_b,
         .decrypt_kind = place::absent,
         .status = 128 + 15,
         .tool = "encipher",
         .out_prefix = true,
         .plain_kind = place::file,
         .plain_text = plain,
         .signal = 15},
        {.name = "encipher: SIGINT",
         .crypt = "old"_b,
         .decrypt_kind = place::absent,
         .status = 128 + 2,
         .tool = "encipher",
         .out_prefix = true,
         .plain_kind = place::file,
         .plain_text = plain,
         .signal = 2},
        {.name = "encipher: SIGHUP",
         .crypt = "old"_b,
         .decrypt_kind = place::absent,
         .status = 128 + 1,
         .tool = "encipher",
         .out_prefix = true,
         .plain_kind = place::file,
         .plain_text = plain,
         .signal = 1},
        {.name = "encipher: SIGUSR1",
         .crypt = "old"_b,
         .decrypt_kind = place::absent,
         .status = 128 + user_signal,
         .tool = "encipher",
         .out_prefix = true,
         .plain_kind = place::file,
         .plain_text = plain,
         .signal = user_signal},
        {.name = "encipher: SIGVTALRM",
         .crypt = "old"_b,
         .decrypt_kind = place::absent,
         .status = 128 + timer_signal,
         .tool = "encipher",
         .out_prefix = true,
         .plain_kind = place::file,
         .plain_text = plain,
         .signal = timer_signal},
        {.name = "encipher: full standard output",
         .crypt = "old"_b,
         .key_input = "ba\n"_b,
         .decrypt_kind = place::absent,
         .stdout_full = true,
         .status = 1,
         .err = "encipher: standard output: No space left on device",
         .tool = "encipher",
         .plain_kind = place::file,
         .plain_text = plain},
        {.name = "encipher: no letters",
         .crypt = "old"_b,
         .key_input = "ba\n"_b,
         .decrypt_kind = place::absent,
         .status = 1,
         .out = prompt + "INDEX SORT COMPLEATE: 1 0 \n",
         .err = "encipher: Plain.txt: no letters",
         .tool = "encipher",
         .plain_kind = place::file,
         .plain_text = "no letters\r\n"_b},
        {.name = "encipher: missing Plain.txt",
         .crypt = "old"_b,
         .key_input = "k\n"_b,
         .decrypt_kind = place::absent,
         .status = 1,
         .err = "encipher: Plain.txt: No such file or directory",
         .tool = "encipher"},
        {.name = "encipher: Plain.txt a directory",
         .crypt = "old"_b,
         .key_input = "k\n"_b,
         .decrypt_kind = place::absent,
         .status = 1,
         .err = "encipher: Plain.txt: Is a directory",
         .tool = "encipher",
         .plain_kind = place::directory},
        {.name = "encipher: empty key",
         .crypt = "old"_b,
         .key_input = "\n"_b,
         .decrypt_kind = place::absent,
         .status = 1,
         .out = prompt + "INDEX SORT COMPLEATE: \n",
         .err = "encipher: key word: empty",
         .tool = "encipher",
         .plain_kind = place::file,
         .plain_text = plain},
        {.name = "encipher: Crypt.txt not creatable",
         .crypt_kind = place::directory,
         .key_input = "k\n"_b,
         .decrypt_kind = place::absent,
         .status = 1,
         .err = "encipher: Crypt.txt: Is a directory",
         .tool = "encipher",
         .plain_kind = place::file,
         .plain_text = plain},
        {.name = "encipher: full disk",
         .crypt = "old"_b,
         .key_input = "ba\n"_b,
         .decrypt_kind = place::absent,
         .status = 1,
         .out = prompt + "INDEX SORT COMPLEATE: 1 0 \n",
         .err = "encipher: Crypt.txt: File too large",
         .tool = "encipher",
         .plain_kind = place::file,
         .plain_text = big_plain,
         .file_limit = 100000},
        {.name = "encipher: Plain.txt is Crypt.txt",
         .crypt = "old"_b,
         .key_input = "k\n"_b,
         .decrypt_kind = place::absent,
         .status = 1,
         .err = "encipher: Plain.txt and Crypt.txt are the same file",
         .tool = "encipher",
         .plain_kind = place::hard_link},
        {.name = "encipher --version",
         .crypt_kind = place::absent,
         .decrypt_kind = place::absent,
         .out = "encipher 1.",
         .tool = "encipher",
         .args = {"--version"},
         .out_prefix = true},
        {.name = "encipher --help",
         .crypt_kind = place::absent,
         .decrypt_kind = place::absent,
         .out = "Usage: encipher",
         .tool = "encipher",
         .args = {"--help"},
         .out_prefix = true},
        {.name = "encipher: unknown option",
         .crypt_kind = place::absent,
         .decrypt_kind = place::absent,
         .status = 2,
         .err =
             "encipher: invalid option -- 'x'\nUsage: encipher [-q] [-v] [-e ENCODING] [--table] "
             "[-k KEY | --key=KEY] [PLAIN [CRYPT]]\n       encipher --help | --version",
         .tool = "encipher",
         .args = {"-x"}},
        {.name = "encipher's layout",
         .crypt = laid_out(encipher(plain, klyuch)),
         .key_input = "\xCA\xCB\xDE\xD7\n"_b,
         .out = prompt + "INDEX SORT COMPLEATE: 0 1 3 2 \n",
         .decrypt = lowercase(plain)},
        // crack: a result is written only when there is one.
        {.name = "crack: missing input",
         .crypt_kind = place::absent,
         .status = 1,
         .decrypt = "old"_b,
         .err = "crack: Crypt.txt: No such file or directory",
         .tool = "crack",
         .decrypt_before = "old"_b},
        {.name = "crack: no letters",
         .crypt = "Hello 123\r\n"_b,
         .status = 1,
         .decrypt = "old"_b,
         .err = "crack: Crypt.txt: no letters",
         .tool = "crack",
         .decrypt_before = "old"_b},
        {.name = "crack: input is a directory",
         .crypt_kind = place::directory,
         .status = 1,
         .decrypt = "old"_b,
         .err = "crack: Crypt.txt: Is a directory",
         .tool = "crack",
         .decrypt_before = "old"_b},
        {.name = "crack: output not creatable",
         .crypt = cipher,
         .decrypt_kind = place::directory,
         .status = 1,
         .err = "crack: Decrypt.txt: Is a directory",
         .tool = "crack"},
        {.name = "crack: full disk",
         .crypt = big_russian,
         .decrypt_kind = place::dev_full,
         .status = 1,
         .out = crack_header,
         .err = "crack: Decrypt.txt: No space left on device",
         .tool = "crack",
         .out_prefix = true},
        {.name = "crack: output a hard link to the input",
         .crypt = cipher,
         .decrypt_kind = place::hard_link,
         .status = 1,
         .decrypt = cipher,
         .err = "crack: Crypt.txt and Decrypt.txt are the same file",
         .tool = "crack"},
        {.name = "crack --help",
         .crypt_kind = place::absent,
         .out = "Usage: crack",
         .decrypt = "old"_b,
         .tool = "crack",
         .args = {"--help"},
         .decrypt_before = "old"_b,
         .out_prefix = true},
        {.name = "crack --version",
         .crypt_kind = place::absent,
         .out = "crack 1.",
         .decrypt = "old"_b,
         .tool = "crack",
         .args = {"--version"},
         .decrypt_before = "old"_b,
         .out_prefix = true},
        {.name = "crack: no key to give",
         .crypt_kind = place::absent,
         .status = 2,
         .decrypt = "old"_b,
         .err = "crack: invalid option -- 'k'\nUsage: crack [-q] [-e ENCODING] [--table] [--words] "
                "[--crib "
                "WORD]... "
                "[--length N[-M]] [--top N] [CRYPT [DECRYPT]]\n       crack --help | --version",
         .tool = "crack",
         .args = {"-k", "x"},
         .decrypt_before = "old"_b},
        // crack: text that does not read as Russian still gets its candidates, and a warning.
        {.name = "crack: random letters",
         .crypt = sprinkle(rng, stray),
         .out = crack_header,
         .err = "crack: no key gives Russian text; is Crypt.txt enciphered "
                "this way, in Windows-1251 or UTF-8?",
         .tool = "crack",
         .out_prefix = true},
        {.name = "crack: KOI8-R, read as such and said so, the plaintext in KOI8-R",
         .crypt = sprinkle(rng, koi8),
         .out = crack_header,
         .decrypt = koi8r(lowercase(example.substr(0, 100))),
         .err = "crack: Crypt.txt: read as KOI8-R",
         .tool = "crack",
         .out_prefix = true},

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
         .err = "INDEX SORT COMPLEATE: 1 0 \ndecipher: Crypt.txt: no letters",
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
        // A failed write ends the run at once, though a read is waiting on the pipe.
        {.name = "full disk, the text's pipe held open",
         .crypt_kind = place::absent,
         .key_input = big,
         .decrypt_kind = place::dev_full,
         .status = 1,
         .out = "INDEX SORT COMPLEATE: 0 \n",
         .err = "decipher: Decrypt.txt: No space left on device",
         .args = {"-k", "k", "-"},
         .stdin_held = 10},
        // One named pipe at both ends: refused by name, for opening it would wait for a writer.
        {.name = "one named pipe as text and output",
         .crypt_kind = place::absent,
         .decrypt_kind = place::fifo,
         .status = 1,
         .err = "decipher: Decrypt.txt and Decrypt.txt are the same file",
         .args = {"-k", "k", "Decrypt.txt", "Decrypt.txt"}},
        // CP866 (a Windows console's echo) and KOI8-R are read as what they are, said so, and
        // written back in the same set.
        {.name = "encipher: a CP866 Plain.txt, read as CP866, Crypt.txt in CP866",
         .crypt_kind = place::absent,
         .decrypt_kind = place::absent,
         .err = "encipher: Plain.txt: read as CP866",
         .tool = "encipher",
         .args = {"-q", "-k", "КЛЮЧ"},
         .plain_kind = place::file,
         .plain_text = cp866(lowercase(example.substr(0, 100))) + "\r\n"_b,
         .crypt_after = cp866(laid_out(encipher(lowercase(example.substr(0, 100)), klyuch)))},
        {.name = "decipher: that CP866 ciphertext, the plaintext in CP866",
         .crypt = cp866(laid_out(encipher(lowercase(example.substr(0, 100)), klyuch))),
         .decrypt = cp866(lowercase(example.substr(0, 100))),
         .err = "decipher: Crypt.txt: read as CP866",
         .args = {"-q", "-k", "КЛЮЧ"}},
        {.name = "decipher: a KOI8-R ciphertext, said so",
         .crypt = laid_out(koi8),
         .decrypt = koi8r(lowercase(example.substr(0, 100))),
         .err = "decipher: Crypt.txt: read as KOI8-R",
         .args = {"-q", "-k", "КЛЮЧ"}},
        {.name = "--from koi8-r on 19 letters: read so, no note; -e windows-1251 out",
         .crypt = koi8r(encipher(plain, klyuch)),
         .decrypt = lowercase(plain),
         .args = {"-q", "--from", "KOI8-R", "-e", "cp1251", "-k", "КЛЮЧ"}},
    };

    // The command line, and text as the user has it.
    const char* key = "\xD0\x9A\xD0\x9B\xD0\xAE\xD0\xA7"; // КЛЮЧ in UTF-8
    const std::string order_line = "INDEX SORT COMPLEATE: 0 1 3 2 \n";
    const std::string usage = "\nUsage: decipher [-q] [-e ENCODING] [--table] [--words] [-k KEY | "
                              "--key=KEY] [CRYPT [DECRYPT]]\n"
                              "       decipher --help | --version";
    const bytes text = lowercase(plain);
    const bytes laid = laid_out(encipher(plain, klyuch));
    const bytes bom = "\xEF\xBB\xBF"_b;
    const bytes ascii(std::size_t{300} * 1024, 'a');
    const auto as_text = [](const bytes& b) { return std::string(b.begin(), b.end()); };
    // decipher with the key from the command line, the files as given.
    const auto keyed = [&](const char* name, std::vector<std::string> args, bytes crypt,
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
    const auto refused = [&](const char* name, std::vector<std::string> args,
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
    const auto enciphered = [&](const char* name, std::vector<std::string> args, bytes plain_text,
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
    help.out = "Usage: decipher [-q] [-e ENCODING] [--table] [--words] [-k KEY | --key=KEY] [CRYPT "
               "[DECRYPT]]\n";
    help.out_prefix = true;
    help.err = "";
    run_case version = help;
    version.name = "--version";
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
    utf16_crack.name = "crack: UTF-16 refused";
    utf16_crack.tool = "crack";
    utf16_crack.args = {};
    utf16_crack.decrypt_before = "old"_b;
    utf16_crack.decrypt = "old"_b;
    utf16_crack.err = "crack: Crypt.txt: UTF-16 text; save it as UTF-8 or Windows-1251";
    run_case utf16_bare = utf16;
    utf16_bare.name = "UTF-16 without a mark refused";
    utf16_bare.crypt = "\x1F\x04\x40\x04\x20\x00\x3C\x04"_b;
    run_case ambiguous = refused("encipher: an ambiguous abbreviation", {"--ver"}, "");
    ambiguous.tool = "encipher";
    ambiguous.err =
        "encipher: option '--ver' is ambiguous; possibilities: '--version' "
        "'--verbose'\nUsage: encipher [-q] [-v] [-e ENCODING] [--table] [-k KEY | --key=KEY] "
        "[PLAIN [CRYPT]]\n       encipher --help | --version";
    run_case koi8_refused =
        refused("KOI8-R locale: the refused character as typed", {"-k", "\xEB\x80"}, "");
    koi8_refused.status = 1;
    koi8_refused.err = "decipher: key: \"\x80\" has no Windows-1251 form";
    koi8_refused.locale = "ru_RU.KOI8-R";
    koi8_refused.language = {"LC_ALL=ru_RU.KOI8-R", "LANGUAGE=en"};
    run_case to_standard_output =
        enciphered("encipher to standard output", {"-k", key, "Plain.txt", "-"}, plain, "old"_b);
    to_standard_output.out = as_text(laid);
    to_standard_output.err = "INDEX SORT COMPLEATE: 0 1 3 2 ";
    // A name of standard output is written through, not replaced: as root, a new file put in
    // place of /dev/stdout would be the whole system's.
    run_case to_descriptor = to_standard_output;
    to_descriptor.name = "encipher to /dev/fd/1: standard output itself";
    to_descriptor.args = {"-k", key, "Plain.txt", "/dev/fd/1"};
    to_descriptor.posix_only = true;
    run_case from_standard_input =
        enciphered("encipher from standard input", {"-k", key, "-"}, {}, laid);
    from_standard_input.plain_kind = place::absent;
    from_standard_input.key_input = lowercase(plain);
    run_case encipher_names = enciphered("encipher: names outside ASCII",
                                         {"--key", key, "письмо.txt", "шифр.txt"}, plain, laid);
    encipher_names.plain_file = "письмо.txt";
    encipher_names.crypt_file = "шифр.txt";
    // --words: a message whose every word break the model gets, in words and as capitals.
    const bytes words = "\xE7\xE0\xE2\xF2\xF0\xE0 \xF3\xF2\xF0\xEE\xEC \xEF\xF0\xE8\xE5\xE4\xF3 "
                        "\xEF\xEE\xE5\xE7\xE4\xEE\xEC \xE6\xE4\xE8 \xEC\xE5\xED\xFF \xED\xE0 "
                        "\xE2\xEE\xEA\xE7\xE0\xEB\xE5\n"_b;
    bytes message;
    for (const std::uint8_t b : words)
        if (b >= 0xC0)
            message += static_cast<std::uint8_t>(b & 0xDFU);
    const bytes message_cipher = laid_out(encipher(message, klyuch));
    run_case crack_words = keyed("crack --words", {"-q", "--words"}, message_cipher, words);
    crack_words.tool = "crack";
    crack_words.out = "";
    run_case words_out = keyed("--words -e utf-8 to standard output",
                               {"-q", "-k", key, "--words", "-e", "utf-8", "Crypt.txt", "-"},
                               message_cipher, std::nullopt);
    words_out.out = as_text(utf8_of(words));
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
        utf16_bare,
        refused("an empty -k", {"-k", ""}, "key word: empty"),
        keyed("a CR at the end of -k, as a CR LF script leaves it", {"-k", std::string(key) + "\r"},
              cipher, text),
        ambiguous,
        koi8_refused,
        to_standard_output,
        to_descriptor,
        from_standard_input,
        encipher_names,
        enciphered("encipher: UTF-8 in, UTF-8 out", {"-k", key}, utf8_of(plain), utf8_of(laid)),
        enciphered("encipher: UTF-8 with its mark", {"-k", key}, bom + utf8_of(plain),
                   bom + utf8_of(laid)),
        keyed("--words", {"-k", key, "--words"}, message_cipher, words),
        keyed("--words, UTF-8", {"-k", key, "--words"}, utf8_of(message_cipher), utf8_of(words)),
        words_out,
        crack_words,
    };
    std::vector<run_case> all(std::begin(cases), std::end(cases));
    all.insert(all.end(), std::begin(rows), std::end(rows));
    return all;
}

const std::vector<run_case>& cli_cases() {
    static const std::vector<run_case> cases = make_cli_cases();
    return cases;
}

// A row's name as a test's: letters, digits and single underscores, made unique by its
// place among rows of the same name.
std::string test_name(const std::vector<run_case>& table, std::size_t index) {
    const auto plain_name = [](const std::string& name) {
        std::string out;
        for (const char ch : name) {
            if (std::isalnum(static_cast<unsigned char>(ch)) != 0)
                out += ch;
            else if (!out.empty() && out.back() != '_')
                out += '_';
        }
        while (!out.empty() && out.back() == '_')
            out.pop_back();
        return out.empty() ? std::string("row") : out;
    };
    const std::string name = plain_name(table[index].name);
    int earlier = 0;
    for (std::size_t i = 0; i < index; ++i)
        earlier += plain_name(table[i].name) == name ? 1 : 0;
    return earlier == 0 ? name : name + "_" + std::to_string(earlier + 1);
}

class CliRuns : public testing::TestWithParam<std::size_t> {};

TEST_P(CliRuns, Row) {
    run(cli_cases()[GetParam()]);
}

INSTANTIATE_TEST_SUITE_P(Tools, CliRuns, testing::Range<std::size_t>(0, cli_cases().size()),
                         [](const testing::TestParamInfo<std::size_t>& row) {
                             return test_name(cli_cases(), row.param);
                         });

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
        const fs::path exe = fs::path(TOOL_DIR) / (tool_name + EXE_SUFFIX);
        // Below its own size and a little more, the loader itself may crash before the tool runs.
        const unsigned long floor =
            std::max(4UL << 20, static_cast<unsigned long>(fs::file_size(exe)) + (2UL << 20));
        for (unsigned long limit = floor; limit < floor + (60UL << 20); limit += 64UL << 10) {
            const fs::path dir = scratch_folder();
            child_setup setup{exe, {}, dir};
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
            // The new file a run makes beside its output is named tmp.*.
            for (const auto& entry : fs::directory_iterator(dir))
                EXPECT_EQ(entry.path().filename().string().rfind("tmp.", 0), std::string::npos);
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
std::vector<run_case> make_crack_cases() {
    struct row {
        const char* name;
        std::size_t from, length;
        std::string key;
        std::string warning = {};
        // "CRIB": the plaintext's letters 5 to 11, in UTF-8; "CRIB_YO": the same with Е as Ё;
        // "LAST": its last seven letters
        std::vector<std::string> args = {};
        bytes ending = {}; // after the excerpt, which runs on over the text repeated
    };
    const row rows[] = {
        {.name = "full blocks only", .from = 0, .length = 250, .key = "DBECA"},
        {.name = "a short last block", .from = 100, .length = 300, .key = "GFEDCBAHI"},
        {.name = "shorter than one block", .from = 200, .length = 75, .key = "HCAIBGDFE"},
        {.name = "40 letters, a word for the key",
         .from = 300,
         .length = 40,
         .key = "\xCB\xC5\xD1\xCD\xC8\xCA"}, // ЛЕСНИК
        {.name = "50 letters, the words telling the order",
         .from = 483,
         .length = 50,
         .key = "\xC4\xCE\xC1\xD0\xCE\xC4\xC5\xD2\xC5", // ДОБРОДЕТЕ
         .warning = "crack: the runner-up is close; the text may be too short to be sure"},
        {.name = "a crib",
         .from = 400,
         .length = 25,
         .key = "\xCF\xC0\xD0\xCE\xC2\xCE\xC7\xC8\xCA", // ПАРОВОЗИК
         .args = {"--crib", "CRIB"}},
        {.name = "a crib with yo for ye",
         .from = 400,
         .length = 25,
         .key = "\xCF\xC0\xD0\xCE\xC2\xCE\xC7\xC8\xCA", // ПАРОВОЗИК
         .args = {"--crib", "CRIB_YO"}},
        {.name = "a crib past the letters weighed",
         .from = 0,
         .length = std::size_t{6} * 687,
         .key = "\xC7\xC0\xC3\xC0\xC4\xCA\xC0", // ЗАГАДКА
         .args = {"--crib", "LAST"},
         .ending = "\xC6\xD3\xD0\xC0\xC2\xCB\xC8"_b}, // ЖУРАВЛИ
        {.name = "a key length",
         .from = 500,
         .length = 30,
         .key = "\xCA\xCE\xD2", // КОТ
         .args = {"--length=3", "--top", "2"}},
        {.name = "n = 1", .from = 50, .length = 100, .key = "Z"},
        {.name = "n = 2", .from = 0, .length = 41, .key = "BA"},
        {.name = "ties in the key",
         .from = 0,
         .length = 687,
         .key = "\xC7\xC0\xC3\xC0\xC4\xCA\xC0"}, // ЗАГАДКА
    };
    std::mt19937 rng(8);
    const bytes text = example_letters();
    bytes repeated;
    for (int i = 0; i < 7; ++i)
        repeated += text;
    std::vector<run_case> cases;
    for (const auto& r : rows) {
        const bytes original = repeated.substr(r.from, r.length) + r.ending;
        const auto order = reference_column_order(r.key);
        std::string digits(order.size(), ' ');
        std::string order_line = "INDEX SORT COMPLEATE: ";
        for (std::size_t rank = 0; rank < order.size(); ++rank) {
            digits[static_cast<std::size_t>(order[rank])] = static_cast<char>('1' + rank);
            order_line += std::to_string(order[rank]) + " ";
        }
        const bytes cipher = sprinkle(rng, encipher(original, order));
        std::vector<std::string> args = r.args;
        for (std::string& arg : args)
            if (arg == "CRIB" || arg == "CRIB_YO" || arg == "LAST") {
                bytes crib =
                    arg == "LAST" ? original.substr(original.size() - 7) : original.substr(5, 7);
                if (arg == "CRIB_YO")
                    std::replace(crib.begin(), crib.end(), std::uint8_t{0xC5}, std::uint8_t{0xA8});
                crib = utf8_of(crib);
                arg.assign(crib.begin(), crib.end());
            }
        cases.push_back({.name = std::string("crack: ") + r.name,
                         .crypt = cipher,
                         .out = crack_header + digits + " ",
                         .decrypt = lowercase(original),
                         .err = r.warning,
                         .tool = "crack",
                         .args = args,
                         .out_prefix = true});
        cases.push_back({.name = r.name,
                         .crypt = cipher,
                         .key_input = bytes(digits.begin(), digits.end()) + "\n"_b,
                         .out = prompt + order_line + "\n",
                         .decrypt = lowercase(original)});
    }
    // Too short to judge, and a crib no plaintext holds.
    const bytes short_cipher = sprinkle(rng, encipher(text.substr(0, 38), {2, 0, 1}));
    cases.push_back({.name = "crack: too few letters to be sure",
                     .crypt = random_letters(rng, 38),
                     .out = crack_header,
                     .err = "crack: 38 letters are too few to be sure; a word you expect in the "
                            "text (--crib) or the key length (--length) narrows the search",
                     .tool = "crack",
                     .out_prefix = true});
    cases.push_back({.name = "crack: a crib no plaintext holds",
                     .crypt = short_cipher,
                     .status = 1,
                     .decrypt = "old"_b,
                     .err = "crack: Crypt.txt: no key gives a plaintext holding the crib",
                     .tool = "crack",
                     .args = {"--crib", "zzzzzz\xD1\x8A\xD1\x8A\xD1\x8A\xD1\x8A"},
                     .decrypt_before = "old"_b});
    cases.push_back(cases.back());
    cases.back().name = "crack: C locale, a crib no plaintext holds: the crib named";
    cases.back().locale = "C";
    cases.back().err = "crack: the locale is C; the crib was read as UTF-8\n" + cases.back().err;
    // Periodic text weighs every order about alike; a crib given many times is still quick.
    std::vector<std::string> cribs = {"-q"};
    for (int i = 0; i < 500; ++i)
        cribs.insert(cribs.end(), {"--crib", "\xD0\xB0\xD0\xB0\xD0\xB0\xD0\xB0\xD0\xB0"}); // ааааа
    bytes periodic;
    for (int i = 0; i < 2048; ++i)
        periodic += "\xE0\xEE"_b; // ао
    cases.push_back({.name = "crack: a crib on periodic text",
                     .crypt = encipher(periodic, reference_column_order("GFEDCBAHI")),
                     .decrypt = std::nullopt,
                     .err = "crack: no key gives Russian text; is Crypt.txt enciphered this way, "
                            "in Windows-1251 or UTF-8?",
                     .tool = "crack",
                     .args = cribs});
    // UTF-8 through a pipeline: the plaintext alone on standard output, the candidates on
    // standard error.
    const bytes whole = sprinkle(rng, encipher(text, reference_column_order("GFEDCBAHI")));
    cases.push_back({.name = "crack: UTF-8 from standard input to standard output",
                     .crypt_kind = place::absent,
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
    // Under the C locale the key is read as UTF-8, and so the candidates are written; a
    // narrowing already asked for is not offered.
    const bytes few = lowercase(random_letters(rng, 38));
    const bytes few_utf8 = utf8_of(few);
    cases.push_back({.name = "crack: C locale, a crib and a length: UTF-8, nothing offered",
                     .crypt = few,
                     .decrypt_kind = place::absent,
                     .out = std::string(few.begin(), few.end()),
                     .err = std::string(few_utf8.begin(), few_utf8.end()) +
                            "\ncrack: 38 letters are too few to be sure\n",
                     .tool = "crack",
                     .args = {"--crib", std::string(few_utf8.begin(), few_utf8.begin() + 6),
                              "--length=1", "Crypt.txt", "-"},
                     .locale = "C",
                     .err_lines_any = true});
    return cases;
}

const std::vector<run_case>& crack_cases() {
    static const std::vector<run_case> cases = make_crack_cases();
    return cases;
}

class CrackCli : public testing::TestWithParam<std::size_t> {};

TEST_P(CrackCli, RecoversTheKey) {
    ASSERT_EQ(example_letters().size(), 687U);
    run(crack_cases()[GetParam()]);
}

INSTANTIATE_TEST_SUITE_P(Tools, CrackCli, testing::Range<std::size_t>(0, crack_cases().size()),
                         [](const testing::TestParamInfo<std::size_t>& row) {
                             return test_name(crack_cases(), row.param);
                         });

} // namespace
