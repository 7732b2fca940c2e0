#include "app/platform.hpp"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <shellapi.h>

namespace {

HANDLE handle_of(std::FILE* file) {
    return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file))); // NOLINT
}

// Names reach the tools as UTF-8 (command_line_arguments), and the system takes them as
// UTF-16, so that a name in any language opens whatever the code page.
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

// The file create_beside made and no one has committed or discarded yet. A console's Ctrl-C
// runs the handler on a thread of its own, so the file is opened to allow deleting it while
// open: the system removes it once the process is gone.
std::wstring unfinished_name;
volatile std::sig_atomic_t unfinished = 0;

extern "C" void remove_and_die(int signal_number) {
    if (unfinished != 0)
        DeleteFileW(unfinished_name.c_str());
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);
}

void catch_fatal_signals() {
    for (const int s : {SIGINT, SIGBREAK, SIGTERM})
        std::signal(s, remove_and_die);
}

bool identify(const char* name, BY_HANDLE_FILE_INFORMATION& info) {
    const HANDLE h =
        CreateFileW(widen(name).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    const bool known = GetFileInformationByHandle(h, &info) != 0;
    CloseHandle(h);
    return known;
}

bool same_identity(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
    return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
           a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}

} // namespace

int write_failure(int error) {
    // The runtime maps a full disk to EINVAL; the system still knows better.
    const DWORD system_error = GetLastError();
    if (system_error == ERROR_DISK_FULL || system_error == ERROR_HANDLE_DISK_FULL)
        return ENOSPC;
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

bool same_file(std::FILE* file, const char* name) {
    BY_HANDLE_FILE_INFORMATION a{};
    BY_HANDLE_FILE_INFORMATION b{};
    return GetFileInformationByHandle(handle_of(file), &a) != 0 && identify(name, b) &&
           same_identity(a, b);
}

bool same_file(const char* a, const char* b) {
    BY_HANDLE_FILE_INFORMATION ia{};
    BY_HANDLE_FILE_INFORMATION ib{};
    return identify(a, ia) && identify(b, ib) && same_identity(ia, ib);
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

std::FILE* open_unemptied(const char* name) {
    const int fd = _wopen(widen(name).c_str(), _O_WRONLY | _O_CREAT | _O_BINARY | _O_NOINHERIT,
                          _S_IREAD | _S_IWRITE);
    if (fd < 0)
        return nullptr;
    std::FILE* file = _fdopen(fd, "wb");
    if (file == nullptr) {
        const int error = errno;
        _close(fd);
        errno = error;
    }
    return file;
}

bool empty_file(std::FILE* file) {
    if (GetFileType(handle_of(file)) != FILE_TYPE_DISK)
        return true;
    const errno_t error = _chsize_s(_fileno(file), 0);
    errno = error;
    return error == 0;
}

bool same_file(std::FILE* a, std::FILE* b) {
    BY_HANDLE_FILE_INFORMATION ia{};
    BY_HANDLE_FILE_INFORMATION ib{};
    return GetFileInformationByHandle(handle_of(a), &ia) != 0 &&
           GetFileInformationByHandle(handle_of(b), &ib) != 0 && same_identity(ia, ib);
}

bool is_directory(std::FILE* file) {
    struct _stat64 st {};
    return _fstat64(_fileno(file), &st) == 0 && (st.st_mode & _S_IFDIR) != 0;
}

std::FILE* create_beside(const char* name, std::string& temp_name) {
    catch_fatal_signals();
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        temp_name = std::string(name) + "." + std::to_string(GetCurrentProcessId()) + "-" +
                    std::to_string(attempt);
        unfinished = 0;
        unfinished_name = widen(temp_name.c_str());
        const HANDLE h = CreateFileW(unfinished_name.c_str(), GENERIC_WRITE | DELETE,
                                     FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            if (GetLastError() == ERROR_FILE_EXISTS)
                continue;
            errno = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
            return nullptr;
        }
        unfinished = 1;
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

bool commit_beside(std::FILE* temp, const std::string& temp_name, const char* name) {
    bool done = std::fflush(temp) == 0 && FlushFileBuffers(handle_of(temp)) != 0;
    int error = done ? 0 : write_failure(errno != 0 ? errno : EIO);
    if (std::fclose(temp) != 0 && done) {
        done = false;
        error = write_failure(errno);
    }
    if (done && MoveFileExW(widen(temp_name.c_str()).c_str(), widen(name).c_str(),
                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
        done = false;
        error = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
    }
    if (done)
        unfinished = 0;
    errno = error;
    return done;
}

void discard_beside(std::FILE* temp, const std::string& temp_name) {
    if (temp != nullptr)
        std::fclose(temp);
    _wunlink(widen(temp_name.c_str()).c_str());
    unfinished = 0;
}

void discard_unfinished() {
    if (unfinished != 0) {
        _wunlink(unfinished_name.c_str());
        unfinished = 0;
    }
}

std::string key_in_windows_1251(const std::string& line) {
    return line; // piped bytes; a console's characters come through read_console_key
}

std::string key_from_argument(const char* argument) {
    return narrow(widen(argument).c_str(), 1251);
}

char** command_line_arguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr || count != argc)
        return argv;
    static std::vector<std::string> arguments;
    static std::vector<char*> pointers;
    for (int i = 0; i < count; ++i)
        arguments.push_back(narrow(wide[i], CP_UTF8));
    LocalFree(wide);
    for (auto& argument : arguments)
        pointers.push_back(argument.data());
    pointers.push_back(nullptr);
    return pointers.data();
}

std::FILE* open_file(const char* name, const char* mode) {
    return _wfopen(widen(name).c_str(), widen(mode).c_str());
}

void remove_file(const char* name) {
    _wunlink(widen(name).c_str());
}

std::string wide_to_windows_1251(const wchar_t* text, std::size_t size) {
    if (size == 0)
        return {};
    const auto length = static_cast<int>(size);
    std::string out(size, '\0');
    const int written =
        WideCharToMultiByte(1251, 0, text, length, out.data(), length, "?", nullptr);
    out.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
    return out;
}

bool read_console_key(std::string& line) {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (GetConsoleMode(input, &mode) == 0)
        return false;
    // Characters, whatever the console's code page: up to the line break, a key's worth kept.
    std::wstring typed;
    wchar_t chunk[64];
    DWORD got = 0;
    while (ReadConsoleW(input, chunk, 64, &got, nullptr) != 0 && got > 0) {
        typed.append(chunk, got);
        if (typed.find(L'\n') != std::wstring::npos)
            break;
    }
    const std::size_t end = typed.find_first_of(L"\r\n");
    line = wide_to_windows_1251(typed.data(), end == std::wstring::npos ? typed.size() : end);
    return true;
}

std::string console_text(const std::uint8_t* text, std::size_t size) {
    // The console's own code page; out of a console, the system's.
    UINT page = GetConsoleOutputCP();
    if (page == 0)
        page = GetACP();
    std::string shown;
    for (std::size_t i = 0; i < size; ++i) {
        wchar_t wide = 0;
        char out[8];
        BOOL lossy = FALSE;
        const auto in = static_cast<char>(text[i]);
        const int length = MultiByteToWideChar(1251, 0, &in, 1, &wide, 1) == 1
                               ? WideCharToMultiByte(page, 0, &wide, 1, out, sizeof out, nullptr,
                                                     page == CP_UTF8 ? nullptr : &lossy)
                               : 0;
        if (length > 0 && lossy == FALSE)
            shown.append(out, static_cast<std::size_t>(length));
        else
            shown += '?';
    }
    return shown;
}
