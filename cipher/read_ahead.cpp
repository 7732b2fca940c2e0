#include "cipher/read_ahead.hpp"

#include "cipher/stream_output.hpp"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
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

bool reads_run_ahead(const stream_extras& extras) {
#ifdef _WIN32
    const bool wakeable = !extras.reads_wait;
#else
    const bool wakeable = true;
#endif
    return extras.reader_thread && wakeable && usable_cores() > 1;
}

std::optional<stream_fault> decipher_read_ahead(letter_reader& in, std::FILE* out,
                                                const block_work& work, std::uint8_t* buffer,
                                                std::size_t held, const stream_extras& extras) {
    // The ring's buffers, one after the other, each page-aligned as make_io_buffer's are.
    block_work slot_work = work;
    if (!extras.reads_wait)
        slot_work.capacity *= buffers_a_slot;
    constexpr std::size_t page = 4096;
    const std::size_t stride = (slot_work.capacity + page - 1) / page * page;
    std::optional<io_buffer> room;
    std::optional<stream_output> output;
    try {
        room.emplace(make_io_buffer(ring_size * stride));
        output.emplace(make_stream_output(in, extras));
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
        if (!write_plain(out, *output, extras, slot.letters, slot.size, slot.last))
            return finish(stream_failure::write, errno);
        if (slot.failed)
            return finish(stream_failure::read, slot.error);
        if (slot.last)
            return end_text(out, *output) ? finish(stream_failure::none, 0)
                                          : finish(stream_failure::write, errno);
        {
            const std::lock_guard<std::mutex> guard(ring.lock);
            ring.freed = k + 1;
        }
        ring.changed.notify_all();
    }
}
