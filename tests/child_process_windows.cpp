#include "child_process.hpp"

#include <cstdio>

#include <windows.h>

namespace {

constexpr DWORD time_limit_ms = 120000;

// Quoted for the command line the way the C runtime splits it again.
std::string quoted(const std::string& arg) {
    std::string out = "\"";
    for (const char c : arg) {
        if (c == '"')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

HANDLE open_for_child(const std::filesystem::path& path, bool write) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return CreateFileW(path.c_str(), write ? GENERIC_WRITE : GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                       write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

} // namespace

int run_child(const child_setup& setup) {
    std::string command = quoted(setup.exe.filename().string());
    for (const auto& arg : setup.args)
        command.append(1, ' ').append(quoted(arg));
    STARTUPINFOW start{};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdInput = open_for_child(setup.dir / "stdin", false);
    start.hStdOutput = open_for_child(setup.dir / "stdout", true);
    start.hStdError = open_for_child(setup.dir / "stderr", true);
    for (HANDLE h : {start.hStdInput, start.hStdOutput, start.hStdError})
        if (h == INVALID_HANDLE_VALUE)
            std::fprintf(stderr, "run_child: a standard stream: error %lu\n", GetLastError());
    // The arguments are UTF-8, and the child reads its command line as UTF-16.
    std::wstring wide(command.size() + 1, L'\0');
    wide.resize(static_cast<std::size_t>(
        MultiByteToWideChar(CP_UTF8, 0, command.data(), static_cast<int>(command.size()),
                            wide.data(), static_cast<int>(wide.size()))));
    // The language variables the child's environment is made with, taken back afterwards.
    std::vector<std::wstring> names;
    for (const std::string& variable : setup.language) {
        const std::size_t equals = variable.find('=');
        names.emplace_back(variable.begin(), variable.begin() + static_cast<long>(equals));
        SetEnvironmentVariableW(
            names.back().c_str(),
            std::wstring(variable.begin() + static_cast<long>(equals) + 1, variable.end()).c_str());
    }
    PROCESS_INFORMATION child{};
    // A start that fails is the harness's fault, not the tool's: say why, and try again.
    BOOL started = FALSE;
    for (int attempt = 0; attempt < 3 && started == 0; ++attempt) {
        started = CreateProcessW(setup.exe.c_str(), wide.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                 setup.dir.c_str(), &start, &child);
        if (started == 0)
            std::fprintf(stderr, "run_child: %s did not start: error %lu\n", command.c_str(),
                         GetLastError());
    }
    for (const std::wstring& name : names)
        SetEnvironmentVariableW(name.c_str(), nullptr);
    for (HANDLE h : {start.hStdInput, start.hStdOutput, start.hStdError})
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
    if (started == 0)
        return -1;
    DWORD status = 0;
    const DWORD waited = WaitForSingleObject(child.hProcess, time_limit_ms);
    const bool ended = waited == WAIT_OBJECT_0 && GetExitCodeProcess(child.hProcess, &status) != 0;
    if (!ended) {
        std::fprintf(stderr, "run_child: %s did not end: wait %lu, error %lu\n", command.c_str(),
                     waited, GetLastError());
        TerminateProcess(child.hProcess, 1);
    } else if (status > 255) { // an exception, as Windows codes them
        std::fprintf(stderr, "run_child: %s ended with status 0x%08lX\n", command.c_str(), status);
    }
    CloseHandle(child.hProcess);
    CloseHandle(child.hThread);
    return ended ? static_cast<int>(status) : -1;
}

const char* cannot_set_up(bool fifo, bool symlink, bool dev_full, const child_setup& setup) {
    if (fifo)
        return "a named pipe is not a file in the folder on Windows";
    if (symlink)
        return "symbolic links need a privilege on Windows";
    if (dev_full || setup.stdout_full || setup.file_limit != 0)
        return "Windows has no full device and no file size limit to stand in for a full disk";
    if (setup.stdin_closed)
        return "a Windows child cannot start with a closed standard input";
    if (!setup.stdin_path.empty() || setup.posix_only)
        return "the row names POSIX devices or files";
    if (setup.memory_limit != 0)
        return "no address-space limit is set for a Windows child here";
    if (setup.signal != 0)
        return "Windows has no signals to send to a child";
    if (setup.stdin_held != 0)
        return "no pipe is held open for a Windows child here";
    if (setup.as_other_user)
        return "no other user to run as on Windows";
    if (setup.locale != nullptr)
        return "Windows takes a key's characters from the console, not from a locale";
    // Wine takes a child's code page from its own locale, not from the child's LANG.
    if (!setup.language.empty() && setup.language.front().find("=ru") != std::string::npos &&
        GetACP() != 1251)
        return "Russian text redirected needs Wine under a Russian locale: the cli_russian test";
    return "";
}

long other_user() {
    return -1;
}

void give_to_other_user(const std::filesystem::path&) {}

long owner_of(const std::filesystem::path&) {
    return -1;
}
