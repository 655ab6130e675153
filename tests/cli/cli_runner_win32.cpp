// windows.h first: the others build on it.
#include <windows.h>

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

#include "archive/format/names.h"
#include "cli_runner.h"

namespace fs = std::filesystem;

namespace tessapak::cli::test {

namespace {

[[noreturn]] void fail(const std::string& what) {
    throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(), what);
}

std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Quoted so that CommandLineToArgvW gives the argument back unchanged.
std::wstring quoted(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        return argument;
    }
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        out.push_back(c);
    }
    out.append(2 * backslashes, L'\\');
    out.push_back(L'"');
    return out;
}

class Handle {
  public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle() {
        if (handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr) {
            ::CloseHandle(handle_);
        }
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return handle_; }

  private:
    HANDLE handle_;
};

HANDLE inheritable(const fs::path& path, DWORD access, DWORD disposition) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE handle = ::CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  &inherit, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        fail("cannot open " + archive::utf8Of(path));
    }
    return handle;
}

// The tool, found beside the test program as the build lays them out.
fs::path cliPath() {
    std::wstring self(MAX_PATH, L'\0');
    while (true) {
        const DWORD n = ::GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()));
        if (n < self.size()) {
            self.resize(n);
            break;
        }
        self.resize(self.size() * 2);
    }
    return (fs::path(self).parent_path() / archive::pathFromUtf8(TESSAPAK_CLI_FROM_TESTS))
        .lexically_normal();
}

}  // namespace

bool terminalAvailable() {
    return false;
}

CliResult runCli(const std::vector<std::string>& args, const fs::path& workdir,
                 ErrorStream errorStream) {
    if (errorStream == ErrorStream::Terminal) {
        throw std::logic_error("no terminal on this host; check terminalAvailable() first");
    }
    const fs::path captureDir = workdir.parent_path() / (workdir.filename().native() + L".capture");
    fs::create_directories(captureDir);
    const fs::path outPath = captureDir / "stdout";
    const fs::path errPath = captureDir / "stderr";

    CliResult result;
    {
        const Handle in(inheritable(L"NUL", GENERIC_READ, OPEN_EXISTING));
        const Handle out(inheritable(outPath, GENERIC_WRITE, CREATE_ALWAYS));
        const Handle err(inheritable(errPath, GENERIC_WRITE, CREATE_ALWAYS));

        const fs::path program = cliPath();
        std::wstring commandLine = quoted(program.native());
        for (const std::string& arg : args) {
            commandLine += L' ';
            commandLine += quoted(archive::pathFromUtf8(arg).native());
        }

        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = in.get();
        startup.hStdOutput = out.get();
        startup.hStdError = err.get();
        PROCESS_INFORMATION process{};
        if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                              CREATE_NO_WINDOW, nullptr, workdir.c_str(), &startup, &process)) {
            fail("cannot start " + archive::utf8Of(program));
        }
        const Handle processHandle(process.hProcess);
        const Handle threadHandle(process.hThread);
        ::WaitForSingleObject(process.hProcess, INFINITE);
        DWORD status = 0;
        if (!::GetExitCodeProcess(process.hProcess, &status)) {
            fail("GetExitCodeProcess");
        }
        result.status = static_cast<int>(status);
    }
    result.out = slurp(outPath);
    result.err = slurp(errPath);
    return result;
}

}  // namespace tessapak::cli::test
