#include "cipher/text_stream.hpp"

#include "cipher/alphabet.hpp"
#include "cipher/letter_reader.hpp"
#include "cipher/text_writer.hpp"
#include "cipher/transposition.hpp"

#include <algorithm>
#include <array>
#include <atomic>
#include <cassert>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <new>
#include <optional>
#include <system_error>
#include <thread>

#ifndef _WIN32
#include <csignal>
#include <pthread.h>
#endif
#ifdef __linux__
#include <sched.h>
#endif

namespace {

// What the stream loops need to write in the input's encoding: scratch for UTF-8, none for
// Windows-1251, which goes out as it is. The mark goes out with the first letters, so that a
// text with none leaves the output untouched.
struct text_writer {
    text_encoding encoding;
    bool mark_due; // the input's UTF-8 mark, for UTF-8 out
    io_buffer scratch;
    std::size_t scratch_size;
    bool (*write)(std::FILE*, const std::uint8_t*, std::size_t);
    bool end_line;     // a terminal's text ends with a line break
    std::uint8_t last; // the last byte written, 0 before the first
};

// The encoding the text goes out in, and whether the mark goes before it.
text_encoding output_encoding(const letter_reader& in, const stream_extras& extras) {
    return extras.output.value_or(in.encoding);
}

bool output_mark(const letter_reader& in, const stream_extras& extras) {
    return !extras.terminal && in.byte_order_mark && in.encoding == text_encoding::utf8 &&
           output_encoding(in, extras) == text_encoding::utf8;
}

text_writer writer_for(const letter_reader& reader, const stream_extras& extras) {
    const text_encoding encoding = output_encoding(reader, extras);
    const bool encoded = encoding != text_encoding::windows_1251 && extras.write == nullptr;
    const std::size_t size = encoded ? io_chunk_size : 0;
    return {encoding,
            output_mark(reader, extras),
            size > 0 ? make_io_buffer(size) : io_buffer{},
            size,
            extras.write,
            extras.terminal,
            0};
}

bool write_mark(std::FILE* out) {
    return std::fwrite(utf8_mark.data(), 1, utf8_mark.size(), out) == utf8_mark.size();
}

bool write_out(std::FILE* out, text_writer& writer, const std::uint8_t* text, std::size_t size) {
    if (size == 0)
        return true;
    if (writer.mark_due) {
        writer.mark_due = false;
        if (!write_mark(out))
            return false;
    }
    writer.last = text[size - 1];
    if (writer.write != nullptr)
        return writer.write(out, text, size);
    return write_text(out, text, size, writer.encoding, writer.scratch.get(), writer.scratch_size);
}

// Plaintext goes out through the caller's filter, when there is one.
bool write_plain(std::FILE* out, text_writer& writer, const stream_extras& extras,
                 const std::uint8_t* letters, std::size_t size, bool last) {
    if (extras.filter.pass == nullptr)
        return write_out(out, writer, letters, size);
    const std::vector<std::uint8_t>& text =
        extras.filter.pass(extras.filter.state, letters, size, last);
    return write_out(out, writer, text.data(), text.size());
}

// The line break a terminal's text ends with, when it has any text.
bool end_text(std::FILE* out, text_writer& writer) {
    static constexpr std::uint8_t line_break[] = {'\n'};
    return !writer.end_line || writer.last == 0 || writer.last == '\n' ||
           write_out(out, writer, line_break, 1);
}

// Keeps the first plaintext letters and the count, for what the tool says after the run.
void note_plaintext(stream_summary* summary, const std::uint8_t* letters, std::size_t size) {
    if (summary == nullptr)
        return;
    const std::size_t take = std::min(size, summary->start.size() - summary->start_size);
    std::copy_n(letters, take,
                summary->start.begin() + static_cast<std::ptrdiff_t>(summary->start_size));
    summary->start_size += take;
    summary->letters += size;
}

// How the letters of one read become plaintext.
struct block_work {
    const std::int32_t* order;
    int n;
    std::size_t block_size;
    std::size_t capacity; // letters a read asks for: whole blocks
    std::array<std::uint8_t, max_block_size> table;
};

// Reads go ahead on a thread of their own, which also deciphers, into a small ring of buffers,
// while this thread encodes and writes the one before: the kernel's copies and the work
// overlap, and memory stays flat. Only this thread writes, so a failed write is the last
// thing written, and a failed read stops the output right behind the read before.
constexpr std::size_t ring_size = 2;
// From a file, whose reads never wait, a slot holds four of the caller's buffers: each
// hand-over wakes the other thread, which at one buffer (256 KiB in the tools) cost more CPU
// time than the overlap saved. From a pipe a slot is one buffer, so that what comes in goes out
// as soon as one buffer has. UTF-8 is encoded here, a piece at a time into the writer's scratch,
// which measured faster than writing a slot's text encoded on the reader's core.
constexpr std::size_t buffers_a_slot = 4;

struct ring_slot {
    std::uint8_t* letters = nullptr; // what a read gets, deciphered in place
    std::size_t size = 0;
    bool last = false;   // the read came up short: the stream's end or a failure
    bool failed = false; // the read failed, with error its errno, after the size written
    int error = 0;
};

struct letter_ring {
    std::mutex lock;
    std::condition_variable changed;
    std::size_t filled = 0;        // slots made ready, counted from the start
    std::size_t freed = 0;         // slots written and handed back
    bool stop = false;             // the writer has given up
    std::atomic<bool> done{false}; // the reader has returned
    std::array<ring_slot, ring_size> slots;
};

// Deciphers the got letters of one read in place; a read that came up short was the last, and
// its short block is deciphered too.
void decipher_read(const block_work& work, std::uint8_t* letters, std::size_t got) {
    // Full blocks never depend on where the text ends; the short last block's shape follows
    // from its own length.
    const std::size_t full = got / work.block_size * work.block_size;
    decipher_full_blocks(letters, full / work.block_size, work.table.data(), work.n);
    if (got == work.capacity)
        return;
    std::array<std::uint8_t, max_block_size> plain;
    const std::size_t size = unscramble_block(letters + full, work.order, work.n, 0,
                                              static_cast<std::int64_t>(got - full), plain.data());
    std::copy_n(plain.data(), size, letters + full);
}

// work's capacity is a slot's; piece is the caller's, the letters one thread reads at a time.
void fill_ring(letter_reader& in, letter_ring& ring, const block_work& work, std::size_t piece,
               std::size_t held, const stream_extras& extras) {
    for (std::size_t k = 0;; ++k) {
        {
            std::unique_lock<std::mutex> guard(ring.lock);
            ring.changed.wait(guard, [&] { return ring.stop || k - ring.freed < ring_size; });
            if (ring.stop)
                return;
        }
        ring_slot& slot = ring.slots[k % ring_size];
        // Piece by piece, as one thread reads: a failed read keeps the pieces read before it,
        // what one thread would have written.
        std::size_t got = k == 0 ? held : 0;
        std::size_t end = piece;
        for (;; end += piece) {
            got += read_letters(in, slot.letters + got, end - got);
            if (reader_failed(in) || got < end || end == work.capacity)
                break;
        }
        slot.error = errno;
        slot.failed = reader_failed(in);
        slot.last = slot.failed || got < work.capacity;
        const std::size_t kept = slot.failed ? end - piece : got;
        decipher_read(work, slot.letters, kept);
        note_plaintext(extras.summary, slot.letters, kept);
        slot.size = kept;
        {
            const std::lock_guard<std::mutex> guard(ring.lock);
            ring.filled = k + 1;
        }
        ring.changed.notify_all();
        if (slot.last)
            return;
    }
}

#ifndef _WIN32
// What wakes the reader from a read that waits: ignored by default, so that until a run wants
// it, it comes and goes unnoticed.
constexpr int wake_signal = SIGURG;

extern "C" void on_wake(int) {}
#endif

void read_ahead(letter_reader& in, letter_ring& ring, const block_work& work, std::size_t piece,
                std::size_t held, const stream_extras& extras) {
#ifndef _WIN32
    sigset_t wake;
    sigemptyset(&wake);
    sigaddset(&wake, wake_signal);
    pthread_sigmask(SIG_UNBLOCK, &wake, nullptr);
#endif
    fill_ring(in, ring, work, piece, held, extras);
    ring.done = true;
}

// A read from a pipe that stays open would hold a run that has given up until the writer
// ends: the read is made to fail, and again, should the signal come just before it began.
void wake_reader(std::thread& reader, const letter_ring& ring) {
#if !defined(_WIN32) && !defined(__EMSCRIPTEN__) // the page runs no reader thread
    struct sigaction action {};
    action.sa_handler = on_wake; // NOLINT: no SA_RESTART, so that read(2) gives up
    sigaction(wake_signal, &action, nullptr);
    while (!ring.done) {
        pthread_kill(reader.native_handle(), wake_signal);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
#else
    (void)reader;
    (void)ring;
#endif
}

// The reader thread, started with every signal blocked, so that signals keep reaching the
// thread that writes and may have files to clean up; only the one that wakes it reaches it.
// Empty when no thread could be had.
std::optional<std::thread> start_reader(letter_reader& in, letter_ring& ring,
                                        const block_work& work, std::size_t piece, std::size_t held,
                                        const stream_extras& extras) {
    std::optional<std::thread> reader;
#ifndef _WIN32
    sigset_t all;
    sigset_t old;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &old);
#endif
    try {
        reader.emplace(read_ahead, std::ref(in), std::ref(ring), std::cref(work), piece, held,
                       std::cref(extras));
    } catch (const std::system_error&) { // this thread does it all, as on one core
    }
#ifndef _WIN32
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
#endif
    return reader;
}

// The block loop with the reader thread; empty when there was no thread or memory for it.
std::optional<stream_fault> decipher_overlapped(letter_reader& in, std::FILE* out,
                                                const block_work& work, std::uint8_t* buffer,
                                                std::size_t held, const stream_extras& extras) {
    // The ring's buffers, one after the other, each page-aligned as make_io_buffer's are.
    block_work slot_work = work;
    if (!extras.reads_wait)
        slot_work.capacity *= buffers_a_slot;
    constexpr std::size_t page = 4096;
    const std::size_t stride = (slot_work.capacity + page - 1) / page * page;
    std::optional<io_buffer> room;
    std::optional<text_writer> writer;
    try {
        room.emplace(make_io_buffer(ring_size * stride));
        writer.emplace(writer_for(in, extras));
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    letter_ring ring;
    for (std::size_t i = 0; i < ring_size; ++i)
        ring.slots[i].letters = room->get() + i * stride;
    std::copy_n(buffer, held, ring.slots[0].letters);
    std::optional<std::thread> reader =
        start_reader(in, ring, slot_work, work.capacity, held, extras);
    if (!reader)
        return std::nullopt;

    // errno is the reader's own: the failing call's reason is carried over by hand.
    const auto finish = [&](stream_failure failure, int error) {
        {
            const std::lock_guard<std::mutex> guard(ring.lock);
            ring.stop = true;
        }
        ring.changed.notify_all();
        if (failure == stream_failure::write)
            wake_reader(*reader, ring);
        reader->join();
        return stream_fault{failure, error};
    };
    for (std::size_t k = 0;; ++k) {
        {
            std::unique_lock<std::mutex> guard(ring.lock);
            ring.changed.wait(guard, [&] { return ring.filled > k; });
        }
        const ring_slot& slot = ring.slots[k % ring_size];
        if (!write_plain(out, *writer, extras, slot.letters, slot.size, slot.last))
            return finish(stream_failure::write, errno);
        if (slot.failed)
            return finish(stream_failure::read, slot.error);
        if (slot.last)
            return end_text(out, *writer) ? finish(stream_failure::none, 0)
                                          : finish(stream_failure::write, errno);
        {
            const std::lock_guard<std::mutex> guard(ring.lock);
            ring.freed = k + 1;
        }
        ring.changed.notify_all();
    }
}

// The cores this process may run on: a CPU affinity mask (taskset, a container's cpuset) may
// allow fewer than the machine has.
unsigned usable_cores() {
#ifdef __linux__
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0)
        return static_cast<unsigned>(CPU_COUNT(&set));
#endif
    return std::thread::hardware_concurrency();
}

} // namespace

stream_fault decipher_stream(letter_reader& in, std::FILE* out, const std::int32_t* order, int n,
                             std::uint8_t* buffer, std::size_t buffer_size, std::size_t held,
                             const stream_extras& extras) {
    block_work work{order, n, block_letters(n), 0, {}};
    work.capacity = buffer_size / work.block_size * work.block_size;
    assert(work.capacity > 0 && held <= work.capacity);
    make_block_table(order, n, work.table.data());
    decide_encoding(in);
    if (reader_failed(in))
        return {stream_failure::read, errno};

        // With one core the thread would only take turns with this one. On Windows nothing we can
        // rely on wakes a thread from a read that waits, so text from a pipe or a console is read
        // here, and a failed write ends the run at once, not when the text's writer closes.
#ifdef _WIN32
    const bool wakeable = !extras.reads_wait;
#else
    const bool wakeable = true;
#endif
    if (extras.reader_thread && wakeable && usable_cores() > 1)
        if (const auto fault = decipher_overlapped(in, out, work, buffer, held, extras))
            return *fault;
    text_writer writer = writer_for(in, extras);
    for (;;) {
        const std::size_t got = held + read_letters(in, buffer + held, work.capacity - held);
        held = 0;
        if (reader_failed(in)) {
            const int error = errno;
            if (!write_plain(out, writer, extras, buffer, 0, true))
                return {stream_failure::write, errno};
            return {stream_failure::read, error};
        }
        decipher_read(work, buffer, got);
        note_plaintext(extras.summary, buffer, got);
        if (!write_plain(out, writer, extras, buffer, got, got < work.capacity))
            return {stream_failure::write, errno};
        if (got < work.capacity)
            return end_text(out, writer) ? stream_fault{}
                                         : stream_fault{stream_failure::write, errno};
    }
}

std::size_t lay_out_groups(const std::uint8_t* letters, std::size_t size, std::uint64_t& laid,
                           std::uint8_t* out) {
    std::uint8_t* const begin = out;
    for (std::size_t i = 0; i < size;) {
        if (laid % line_letters == 0 && size - i >= line_letters) { // a whole line at once
            if (laid > 0)
                *out++ = '\n';
            for (std::size_t group = 0; group < line_letters / group_letters; ++group) {
                if (group > 0)
                    *out++ = ' ';
                std::memcpy(out, letters + i, group_letters);
                out += group_letters;
                i += group_letters;
            }
            laid += line_letters;
            continue;
        }
        if (laid % line_letters == 0 && laid > 0)
            *out++ = '\n';
        else if (laid % group_letters == 0 && laid > 0)
            *out++ = ' ';
        // The rest of this group in one copy.
        const auto room = static_cast<std::size_t>(group_letters - laid % group_letters);
        const std::size_t take = std::min(room, size - i);
        std::memcpy(out, letters + i, take);
        out += take;
        i += take;
        laid += take;
    }
    return static_cast<std::size_t>(out - begin);
}

stream_fault encipher_stream(letter_reader& in, std::FILE* out, const std::int32_t* order, int n,
                             std::uint8_t* buffer, std::size_t buffer_size,
                             std::uint64_t* letters_read, const stream_extras& extras) {
    const std::size_t block_size = block_letters(n);
    const std::size_t capacity = buffer_size / block_size * block_size;
    assert(capacity > 0);
    decide_encoding(in);
    if (reader_failed(in))
        return {stream_failure::read, errno};
    text_writer writer = writer_for(in, extras);
    const auto cipher = make_io_buffer(capacity);
    const auto text = make_io_buffer(capacity + capacity / group_letters + 1);
    std::uint64_t laid = 0;
    for (;;) {
        // Every read but the last is whole blocks, so blocks never straddle two reads.
        const std::size_t got = read_letters(in, buffer, capacity);
        if (reader_failed(in))
            return {stream_failure::read, errno};
        note_plaintext(extras.summary, buffer, got);
        encipher_letters(buffer, got, order, n, cipher.get());
        std::size_t size = lay_out_groups(cipher.get(), got, laid, text.get());
        const bool last = got < capacity;
        if (last && laid > 0)
            text[size++] = '\n';
        if (letters_read != nullptr)
            *letters_read = laid;
        if (!write_out(out, writer, text.get(), size))
            return {stream_failure::write, errno};
        if (last)
            return {};
    }
}
