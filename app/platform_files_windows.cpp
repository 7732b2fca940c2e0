#include "app/platform.hpp"
#include "app/platform_windows.hpp"

#include <algorithm>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

HANDLE handle_of(std::FILE* file) {
    return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file))); // NOLINT
}

std::wstring widen(const char* text) {
    const int size = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring wide(size > 0 ? static_cast<std::size_t>(size) : 1, L'\0');
    if (size > 0)
        MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), size);
    wide.pop_back(); // the terminating zero
    return wide;
}

std::string narrow(const wchar_t* text, UINT page) {
    const int size = WideCharToMultiByte(page, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(size > 0 ? static_cast<std::size_t>(size) : 1, '\0');
    if (size > 0)
        WideCharToMultiByte(page, 0, text, -1, out.data(), size, nullptr, nullptr);
    out.pop_back();
    return out;
}

namespace {

// The file create_beside made and no one has committed or discarded yet. A console's Ctrl-C
// runs the handler on a thread of its own: the name is a fixed array, written only while the
// flag is clear, and the flag is released after it, so the handler never reads it half made.
// The file is opened to allow deleting it while open: the system removes it once the process
// is gone.
constexpr std::size_t longest_name = 32768;
wchar_t unfinished_name[longest_name];
std::atomic<bool> unfinished{false};

extern "C" void remove_and_die(int signal_number) {
    if (unfinished.load(std::memory_order_acquire))
        DeleteFileW(unfinished_name);
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);
}

void catch_fatal_signals() {
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    for (const int s : {SIGINT, SIGBREAK, SIGTERM}) {
        // A Ctrl-C the parent set to be ignored stays ignored.
        if (std::signal(s, remove_and_die) == SIG_IGN)
            std::signal(s, SIG_IGN);
    }
}

file_identity::kind_t kind_of_handle(HANDLE h) {
    switch (GetFileType(h)) {
    case FILE_TYPE_DISK: {
        BY_HANDLE_FILE_INFORMATION info{};
        if (GetFileInformationByHandle(h, &info) != 0 &&
            (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            return file_identity::directory;
        return file_identity::regular;
    }
    case FILE_TYPE_PIPE: return file_identity::fifo;
    case FILE_TYPE_CHAR: return file_identity::device;
    default: return file_identity::other;
    }
}

file_identity identity_of_handle(HANDLE h) {
    file_identity id;
    BY_HANDLE_FILE_INFORMATION info{};
    if (h == INVALID_HANDLE_VALUE)
        return id;
    id.kind = kind_of_handle(h);
    // A pipe or a console has no identity on a volume: unknown, never the same as another.
    if (id.kind == file_identity::fifo || id.kind == file_identity::device) {
        id.kind = file_identity::unknown;
        return id;
    }
    if (GetFileInformationByHandle(h, &info) == 0)
        return file_identity{};
    id.volume = info.dwVolumeSerialNumber;
    id.index = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return id;
}

// A stream that writes to fd and owns it; on failure fd is closed, errno kept.
std::FILE* stream_of(int fd) {
    std::FILE* file = _fdopen(fd, "wb");
    if (file == nullptr) {
        const int error = errno;
        _close(fd);
        errno = error;
    }
    return file;
}

} // namespace

int write_failure(std::FILE* stream, int error) {
    // The runtime maps a full disk to EINVAL; the system still knows better.
    const DWORD system_error = GetLastError();
    if (system_error == ERROR_DISK_FULL || system_error == ERROR_HANDLE_DISK_FULL)
        return ENOSPC;
    // A pipe whose reader has gone is EINVAL, EACCES or EBADF to the runtime, and the system's
    // reason is often overwritten by then: on a pipe, nothing else makes a write fail so.
    if ((error == EINVAL || error == EACCES || error == EBADF) && stream != nullptr &&
        GetFileType(handle_of(stream)) == FILE_TYPE_PIPE)
        return EPIPE;
    return error;
}

int open_failure(const char* name, int error) {
    const DWORD attributes = GetFileAttributesW(widen(name).c_str());
    const bool directory =
        attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return error == EACCES && directory ? EISDIR : error;
}

void guard_standard_streams() {
    for (int fd = 0; fd <= 2; ++fd)
        if (_get_osfhandle(fd) == -1)
            _open("NUL", fd == 0 ? _O_WRONLY : _O_RDONLY);
    // Bytes in and out as they are: no CR added to a line break, none taken from the key.
    _setmode(0, _O_BINARY);
    _setmode(1, _O_BINARY);
    _setmode(2, _O_BINARY);
}

file_kind kind_of(const char* name) {
    const DWORD attributes = GetFileAttributesW(widen(name).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return file_kind::absent;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return file_kind::directory;
    // Devices such as NUL have no attributes of a file on disk.
    const HANDLE h = CreateFileW(widen(name).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return file_kind::regular;
    const DWORD type = GetFileType(h);
    CloseHandle(h);
    return type == FILE_TYPE_DISK ? file_kind::regular : file_kind::special;
}

int named_descriptor(const char*) {
    return -1; // CON and its kind are opened as any device is
}

std::FILE* open_descriptor(int descriptor) {
    const int fd = _dup(descriptor);
    if (fd < 0)
        return nullptr;
    return stream_of(fd);
}

std::FILE* open_unemptied(const char* name) {
    const int fd = _wopen(widen(name).c_str(), _O_WRONLY | _O_CREAT | _O_BINARY | _O_NOINHERIT,
                          _S_IREAD | _S_IWRITE);
    if (fd < 0)
        return nullptr;
    return stream_of(fd);
}

bool empty_file(std::FILE* file) {
    if (GetFileType(handle_of(file)) != FILE_TYPE_DISK)
        return true;
    const errno_t error = _chsize_s(_fileno(file), 0);
    errno = error;
    return error == 0;
}

file_identity identify(std::FILE* file) {
    return identity_of_handle(handle_of(file));
}

file_identity identify(const char* name) {
    const HANDLE h =
        CreateFileW(widen(name).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return {};
    const file_identity id = identity_of_handle(h);
    CloseHandle(h);
    return id;
}

void remove_created(const char* name) {
    _wunlink(widen(name).c_str());
}

int refuses_replacement(const char* name) {
    const DWORD attributes = GetFileAttributesW(widen(name).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0
               ? EACCES
               : 0;
}

// The folder that holds name, with its separator: "" for the current one.
std::string folder_of(const char* name) {
    const std::string path(name);
    const std::size_t slash = path.find_last_of("\\/:");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::FILE* create_beside(const char* name, std::string& temp_name) {
    catch_fatal_signals();
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        temp_name = folder_of(name) + "tmp." + std::to_string(GetCurrentProcessId()) + "-" +
                    std::to_string(attempt);
        const std::wstring wide = widen(temp_name.c_str());
        if (wide.size() >= longest_name) {
            errno = ENAMETOOLONG;
            return nullptr;
        }
        unfinished.store(false, std::memory_order_release);
        wcscpy_s(unfinished_name, longest_name, wide.c_str());
        const HANDLE h = CreateFileW(unfinished_name, GENERIC_WRITE | DELETE,
                                     FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            if (GetLastError() == ERROR_FILE_EXISTS)
                continue;
            errno = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
            return nullptr;
        }
        unfinished.store(true, std::memory_order_release);
        const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_WRONLY | _O_BINARY);
        std::FILE* file = fd >= 0 ? _fdopen(fd, "wb") : nullptr;
        if (file == nullptr) {
            if (fd >= 0)
                _close(fd);
            else
                CloseHandle(h);
            discard_beside(nullptr, temp_name);
            errno = ENOMEM;
        }
        return file;
    }
    errno = EEXIST;
    return nullptr;
}

close_failure commit_beside(std::FILE* temp, const std::string& temp_name, const char* name) {
    bool done = std::fflush(temp) == 0 && FlushFileBuffers(handle_of(temp)) != 0;
    int error = done ? 0 : write_failure(temp, errno != 0 ? errno : EIO);
    if (std::fclose(temp) != 0 && done) {
        done = false;
        error = write_failure(nullptr, errno);
    }
    if (done && MoveFileExW(widen(temp_name.c_str()).c_str(), widen(name).c_str(),
                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
        done = false;
        error = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
    }
    if (done)
        unfinished.store(false, std::memory_order_release);
    return {done ? 0 : error, false};
}

void discard_beside(std::FILE* temp, const std::string& temp_name) {
    if (temp != nullptr)
        std::fclose(temp);
    _wunlink(widen(temp_name.c_str()).c_str());
    unfinished.store(false, std::memory_order_release);
}

std::FILE* open_file(const char* name, const char* mode) {
    return _wfopen(widen(name).c_str(), widen(mode).c_str());
}
