// Which file a stream or a name is on, and when two of them are the same file.
#pragma once

#include <cstdint>

struct file_identity {
    enum kind_t { unknown, regular, directory, fifo, device, other } kind = unknown;
    std::uint64_t volume = 0; // device or volume serial number
    std::uint64_t index = 0;  // inode or file index
};

// Whether writing b would overwrite what a reads: the same regular file, or the same named
// pipe. A terminal or another device is never "the same file", whatever both ends are.
constexpr bool same_file(const file_identity& a, const file_identity& b) {
    return a.kind == b.kind &&
           (a.kind == file_identity::regular || a.kind == file_identity::fifo) &&
           a.volume == b.volume && a.index == b.index;
}

// Whether a and b are one file of any kind: for telling standard input under another name.
constexpr bool same_object(const file_identity& a, const file_identity& b) {
    return a.kind != file_identity::unknown && a.kind == b.kind && a.volume == b.volume &&
           a.index == b.index;
}
