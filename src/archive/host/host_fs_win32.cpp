#include <windows.h>

#include <aclapi.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cwchar>
#include <memory>
#include <random>

#include "archive/host/host_fs.h"

// Wide paths only, every absolute path with the "\\?\" prefix, so that no
// name is bent by the Win32 layer (trailing dots, device names) and paths
// past 260 characters work. Windows cannot open relative to a folder handle
// through Win32, so a Folder keeps its full path and holds its handle without
// delete sharing: while it is open, nobody can rename or replace it, which
// gives the same guarantee as opening relative to it.

namespace tessapak::archive::host {

namespace {

namespace fs = std::filesystem;

// Not-a-link answers that Windows has no code for; these are the nearest.
constexpr DWORD kLinkInTheWay = 681;  // ERROR_STOPPED_ON_SYMLINK
constexpr DWORD kNotAFolder = ERROR_DIRECTORY;

// A replaced archive may be held for a moment by a virus scanner or an
// indexer; this is how long a replace keeps trying.
constexpr int kReplaceAttempts = 40;
constexpr DWORD kReplacePauseMs = 50;

std::error_code codeOf(DWORD code) {
    return {static_cast<int>(code), std::system_category()};
}

std::error_code lastError() {
    return codeOf(::GetLastError());
}

HANDLE handleOf(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

std::intptr_t valueOf(HANDLE handle) {
    return reinterpret_cast<std::intptr_t>(handle);
}

std::wstring joined(const std::wstring& folder, const std::wstring& name) {
    if (folder.empty()) {
        return name;
    }
    std::wstring out = folder;
    if (out.back() != L'\\') {
        out.push_back(L'\\');
    }
    return out + name;
}

// Absolute form of a path as the user gave it: either separator, relative to
// the current folder, "." and ".." resolved.
std::wstring fullPathOf(const fs::path& path) {
    std::wstring text = path.native();
    if (text.empty()) {
        text = L".";
    }
    std::replace(text.begin(), text.end(), L'/', L'\\');
    if (text.rfind(LR"(\\?\)", 0) == 0 || text.rfind(LR"(\\.\)", 0) == 0) {
        return text;
    }
    std::wstring full(MAX_PATH, L'\0');
    while (true) {
        const DWORD n =
            ::GetFullPathNameW(text.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (n == 0) {
            return text;
        }
        if (n < full.size()) {
            full.resize(n);
            return full;
        }
        full.resize(n);
    }
}

// The form Win32 takes verbatim, of a full path.
std::wstring verbatim(const std::wstring& full) {
    if (full.rfind(LR"(\\?\)", 0) == 0 || full.rfind(LR"(\\.\)", 0) == 0) {
        return full;
    }
    if (full.rfind(LR"(\\)", 0) == 0) {
        return LR"(\\?\UNC\)" + full.substr(2);
    }
    return LR"(\\?\)" + full;
}

// What the path was given as, for messages; the full path without prefix.
fs::path shown(const std::wstring& full) {
    return fs::path(full);
}

struct Opened {
    HANDLE handle = INVALID_HANDLE_VALUE;
    BY_HANDLE_FILE_INFORMATION info{};
};

Status statusFrom(HANDLE handle, const BY_HANDLE_FILE_INFORMATION& info) {
    Status status;
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        // Only seen when opened without following; a reparse point that is
        // not a link (a cloud placeholder, say) is what it holds.
        FILE_ATTRIBUTE_TAG_INFO tag{};
        if (::GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag) &&
            (tag.ReparseTag == IO_REPARSE_TAG_SYMLINK ||
             tag.ReparseTag == IO_REPARSE_TAG_MOUNT_POINT)) {
            status.kind = Kind::Link;
        }
    }
    if (status.kind != Kind::Link) {
        if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            status.kind = Kind::Folder;
        } else if (::GetFileType(handle) == FILE_TYPE_DISK) {
            status.kind = Kind::File;
            status.size = static_cast<std::int64_t>((std::uint64_t{info.nFileSizeHigh} << 32) |
                                                    info.nFileSizeLow);
        } else {
            status.kind = Kind::Other;
        }
    }
    status.id = {info.dwVolumeSerialNumber,
                 (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow, 0};
    return status;
}

// Opens a path for reading its attributes only, which no other process's
// sharing mode can refuse.
HANDLE openForAttributes(const std::wstring& longPath, Links links) {
    DWORD flags = FILE_FLAG_BACKUP_SEMANTICS;
    if (links == Links::DoNotFollow) {
        flags |= FILE_FLAG_OPEN_REPARSE_POINT;
    }
    return ::CreateFileW(longPath.c_str(), FILE_READ_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, flags, nullptr);
}

bool isMissing(const std::error_code& error) {
    return isNotFound(error) || error.value() == ERROR_CANT_RESOLVE_FILENAME;
}

Status statusAt(const std::wstring& longPath, Links links, std::error_code& error) {
    error.clear();
    HANDLE handle = openForAttributes(longPath, links);
    if (handle == INVALID_HANDLE_VALUE) {
        error = lastError();
        if (isMissing(error)) {
            error.clear();  // a missing entry is an answer, not an error
        }
        return {};
    }
    BY_HANDLE_FILE_INFORMATION info{};
    Status status;
    if (::GetFileInformationByHandle(handle, &info)) {
        status = statusFrom(handle, info);
    } else {
        error = lastError();
    }
    ::CloseHandle(handle);
    return status;
}

// Opens a folder, or fails with kNotAFolder when the path leads elsewhere
// and with kLinkInTheWay when links may not be followed and one is there.
HANDLE openFolderHandle(const std::wstring& longPath, Links links, DWORD access,
                        std::error_code& error) {
    DWORD flags = FILE_FLAG_BACKUP_SEMANTICS;
    if (links == Links::DoNotFollow) {
        flags |= FILE_FLAG_OPEN_REPARSE_POINT;
    }
    HANDLE handle =
        ::CreateFileW(longPath.c_str(), access | FILE_READ_ATTRIBUTES,
                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = lastError();
        return handle;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(handle, &info)) {
        error = lastError();
    } else if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
               links == Links::DoNotFollow) {
        error = codeOf(kLinkInTheWay);
    } else if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        error = codeOf(kNotAFolder);
    }
    if (error) {
        ::CloseHandle(handle);
        return INVALID_HANDLE_VALUE;
    }
    return handle;
}

File openFileForReading(const std::wstring& longPath, std::error_code& error) {
    error.clear();
    // Others may go on reading, writing, renaming or deleting it meanwhile:
    // a pack must not get in the way of the program that owns the file.
    HANDLE handle = ::CreateFileW(longPath.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = lastError();
        return File();
    }
    return File(valueOf(handle));
}

std::int64_t readFully(HANDLE handle, void* buffer, std::size_t size, std::int64_t offset,
                       std::error_code& error) {
    error.clear();
    auto* out = static_cast<unsigned char*>(buffer);
    std::size_t done = 0;
    while (done < size) {
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size - done, 1U << 30));
        DWORD got = 0;
        BOOL ok;
        if (offset < 0) {
            ok = ::ReadFile(handle, out + done, want, &got, nullptr);
        } else {
            OVERLAPPED at{};
            const auto position = static_cast<std::uint64_t>(offset) + done;
            at.Offset = static_cast<DWORD>(position);
            at.OffsetHigh = static_cast<DWORD>(position >> 32);
            ok = ::ReadFile(handle, out + done, want, &got, &at);
        }
        if (!ok) {
            const DWORD code = ::GetLastError();
            if (code == ERROR_HANDLE_EOF || code == ERROR_BROKEN_PIPE) {
                break;
            }
            error = codeOf(code);
            return -1;
        }
        if (got == 0) {
            break;
        }
        done += got;
    }
    return static_cast<std::int64_t>(done);
}

bool markForDeletion(HANDLE handle) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    return ::SetFileInformationByHandle(handle, FileDispositionInfo, &disposition,
                                        sizeof disposition) != 0;
}

// Temporary files that an interruption must remove. A console control
// handler runs on a thread of its own, so the slots are atomics: each holds
// the open handle of a live temporary file (0 when free), which was opened
// with delete access so that marking it is all the handler needs to do.
constexpr int kLiveSlots = 16;
std::array<std::atomic<std::intptr_t>, kLiveSlots> liveTemporaries{};

int registerLive(HANDLE handle) {
    for (int i = 0; i < kLiveSlots; ++i) {
        std::intptr_t expected = 0;
        if (liveTemporaries[i].compare_exchange_strong(expected, valueOf(handle))) {
            return i;
        }
    }
    return -1;  // more live runs than slots: this one is not cleaned on interrupt
}

void unregisterLive(int slot) {
    if (slot >= 0) {
        liveTemporaries[slot].store(0);
    }
}

// What an interruption writes to standard error before it ends the process;
// fixed memory, since the handler can reach nothing else.
std::array<char, 8192> interruptNote;
std::atomic<std::size_t> interruptNoteLength{0};

BOOL WINAPI removeLiveTemporariesAndExit(DWORD event) {
    if (const std::size_t length = interruptNoteLength.load(); length > 0) {
        DWORD written = 0;
        ::WriteFile(::GetStdHandle(STD_ERROR_HANDLE), interruptNote.data(),
                    static_cast<DWORD>(length), &written, nullptr);
    }
    for (auto& live : liveTemporaries) {
        const std::intptr_t handle = live.load();
        if (handle != 0) {
            markForDeletion(handleOf(handle));
        }
    }
    // The statuses a POSIX shell gives for SIGINT, SIGHUP and SIGTERM.
    UINT status = 130;
    if (event == CTRL_CLOSE_EVENT) {
        status = 129;
    } else if (event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
        status = 143;
    }
    ::ExitProcess(status);
}

}  // namespace

std::uint64_t processId() {
    return ::GetCurrentProcessId();
}

bool isNotFound(const std::error_code& error) {
    if (error.category() != std::system_category()) {
        return false;
    }
    switch (error.value()) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_NETPATH:
        case ERROR_DIRECTORY:
            return true;
        default:
            return false;
    }
}

bool isAlreadyThere(const std::error_code& error) {
    return error.category() == std::system_category() &&
           (error.value() == ERROR_ALREADY_EXISTS || error.value() == ERROR_FILE_EXISTS);
}

bool isLink(const std::error_code& error) {
    return error.category() == std::system_category() &&
           (error.value() == static_cast<int>(kLinkInTheWay) ||
            error.value() == ERROR_CANT_RESOLVE_FILENAME);
}

std::string errorText(const std::error_code& error) {
    if (error.category() != std::system_category()) {
        return error.message();
    }
    wchar_t* text = nullptr;
    const DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                        FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK;
    const auto code = static_cast<DWORD>(error.value());
    // The engine's messages are English; the system's own language is the
    // fallback where English texts are not installed.
    DWORD n = ::FormatMessageW(flags, nullptr, code, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                               reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (n == 0) {
        n = ::FormatMessageW(flags, nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0,
                             nullptr);
    }
    if (n == 0 || text == nullptr) {
        return "system error " + std::to_string(code);
    }
    std::unique_ptr<wchar_t, decltype(&::LocalFree)> owned(text, ::LocalFree);
    std::wstring wide(text, n);
    while (!wide.empty() && (wide.back() == L' ' || wide.back() == L'.' || wide.back() == L'\r' ||
                             wide.back() == L'\n')) {
        wide.pop_back();
    }
    const std::u8string utf8 = fs::path(wide).u8string();
    return std::string(utf8.begin(), utf8.end());
}

// --- File

void File::reset() {
    if (handle_ != kInvalid) {
        ::CloseHandle(handleOf(handle_));
        handle_ = kInvalid;
    }
}

std::error_code File::close() {
    if (handle_ == kInvalid) {
        return {};
    }
    const BOOL ok = ::CloseHandle(handleOf(handle_));
    handle_ = kInvalid;
    return ok ? std::error_code() : lastError();
}

Status File::status(std::error_code& error) const {
    error.clear();
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(handleOf(handle_), &info)) {
        // Pipes and consoles have no file information; they are no files.
        if (::GetFileType(handleOf(handle_)) != FILE_TYPE_DISK) {
            Status other;
            other.kind = Kind::Other;
            return other;
        }
        error = lastError();
        return {};
    }
    return statusFrom(handleOf(handle_), info);
}

std::int64_t File::readAt(void* buffer, std::size_t size, std::int64_t offset,
                          std::error_code& error) const {
    return readFully(handleOf(handle_), buffer, size, offset, error);
}

std::int64_t File::read(void* buffer, std::size_t size, std::error_code& error) const {
    return readFully(handleOf(handle_), buffer, size, -1, error);
}

std::int64_t File::readOnce(void* buffer, std::size_t size, std::error_code& error) const {
    error.clear();
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size, 1U << 30));
    DWORD got = 0;
    if (!::ReadFile(handleOf(handle_), buffer, want, &got, nullptr)) {
        const DWORD code = ::GetLastError();
        if (code == ERROR_HANDLE_EOF || code == ERROR_BROKEN_PIPE) {
            return 0;
        }
        error = codeOf(code);
        return -1;
    }
    return got;
}

std::error_code File::writeAll(const void* data, std::size_t size) const {
    const auto* in = static_cast<const unsigned char*>(data);
    while (size > 0) {
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size, 1U << 30));
        DWORD put = 0;
        if (!::WriteFile(handleOf(handle_), in, want, &put, nullptr)) {
            return lastError();
        }
        in += put;
        size -= put;
    }
    return {};
}

std::error_code File::flushToDisk() const {
    return ::FlushFileBuffers(handleOf(handle_)) ? std::error_code() : lastError();
}

void File::startWriteback(std::int64_t, std::int64_t) const {}

void File::startReadahead(std::int64_t, std::int64_t) const {}

std::int64_t copyRange(const File& in, std::int64_t inOffset, const File& out, std::int64_t size,
                       unsigned char* scratch, bool& readFailed, std::error_code& error) {
    readFailed = false;
    error.clear();
    return copyThroughBuffer(in, inOffset, out, size, 0, scratch, readFailed, error);
}

// --- Folder

void Folder::reset() {
    if (handle_ != File::kInvalid) {
        ::CloseHandle(handleOf(handle_));
        handle_ = File::kInvalid;
    }
}

Folder Folder::duplicate(std::error_code& error) const {
    error.clear();
    Folder copy;
    HANDLE process = ::GetCurrentProcess();
    HANDLE handle = nullptr;
    if (!::DuplicateHandle(process, handleOf(handle_), process, &handle, 0, FALSE,
                           DUPLICATE_SAME_ACCESS)) {
        error = lastError();
        return copy;
    }
    copy.handle_ = valueOf(handle);
    copy.path_ = path_;
    return copy;
}

Folder Folder::open(const fs::path& path, std::error_code& error) {
    error.clear();
    Folder folder;
    const std::wstring full = fullPathOf(path);
    HANDLE handle = openFolderHandle(verbatim(full), Links::Follow, 0, error);
    if (handle == INVALID_HANDLE_VALUE) {
        return folder;
    }
    folder.handle_ = valueOf(handle);
    folder.path_ = shown(full);
    return folder;
}

Status Folder::status(std::error_code& error) const {
    error.clear();
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(handleOf(handle_), &info)) {
        error = lastError();
        return {};
    }
    return statusFrom(handleOf(handle_), info);
}

Status Folder::statusOf(const NativeString& name, Links links, std::error_code& error) const {
    return statusAt(verbatim(joined(path_.native(), name)), links, error);
}

namespace {

// One entry of a listing, classified the way the walk needs it.
FolderEntry entryOf(const Folder& folder, const FILE_ID_BOTH_DIR_INFO& info, NativeString name,
                    const BY_HANDLE_FILE_INFORMATION& folderInfo) {
    const DWORD attributes = info.FileAttributes;
    FolderEntry item;
    item.name = std::move(name);
    if ((attributes & FILE_ATTRIBUTE_SYSTEM) != 0) {
        // What a listing for read-only, hidden and folders leaves out.
        item.kind = Kind::Other;
    } else if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        // Links and junctions lead where they point.
        const Status target = folder.statusOf(item.name, Links::Follow, item.error);
        item.kind = target.kind;
        item.size = target.size;
        item.id = target.id;
    } else if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        item.kind = Kind::Folder;
    } else if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0) {
        item.kind = Kind::Other;
    } else {
        item.kind = Kind::File;
        item.size = info.EndOfFile.QuadPart;
        item.id = {folderInfo.dwVolumeSerialNumber,
                   static_cast<std::uint64_t>(info.FileId.QuadPart), 0};
    }
    return item;
}

}  // namespace

std::vector<FolderEntry> Folder::list(std::error_code& error) const {
    error.clear();
    std::vector<FolderEntry> entries;
    // A handle of its own, so that the listing starts at the beginning
    // whatever was listed through another.
    HANDLE listing = openFolderHandle(verbatim(path_.native()), Links::Follow,
                                      FILE_LIST_DIRECTORY | SYNCHRONIZE, error);
    if (listing == INVALID_HANDLE_VALUE) {
        return entries;
    }
    std::unique_ptr<void, decltype(&::CloseHandle)> owned(listing, ::CloseHandle);
    BY_HANDLE_FILE_INFORMATION folderInfo{};
    if (!::GetFileInformationByHandle(listing, &folderInfo)) {
        error = lastError();
        return entries;
    }
    // One call returns many entries with their attributes, sizes and file
    // ids, so that a folder of thousands of pictures costs no open per file.
    alignas(8) static thread_local std::array<unsigned char, 64 * 1024> buffer;
    FILE_INFO_BY_HANDLE_CLASS request = FileIdBothDirectoryRestartInfo;
    while (true) {
        if (!::GetFileInformationByHandleEx(listing, request, buffer.data(),
                                            static_cast<DWORD>(buffer.size()))) {
            const DWORD code = ::GetLastError();
            if (code == ERROR_NO_MORE_FILES) {
                return entries;
            }
            error = codeOf(code);
            entries.clear();
            return entries;
        }
        request = FileIdBothDirectoryInfo;
        std::size_t at = 0;
        while (true) {
            const auto* info = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(buffer.data() + at);
            NativeString name(info->FileName, info->FileNameLength / sizeof(wchar_t));
            if (name != L"." && name != L"..") {
                entries.push_back(entryOf(*this, *info, std::move(name), folderInfo));
            }
            if (info->NextEntryOffset == 0) {
                break;
            }
            at += info->NextEntryOffset;
        }
    }
}

Folder Folder::openFolder(const NativeString& name, Links links, std::error_code& error) const {
    error.clear();
    Folder folder;
    const std::wstring full = joined(path_.native(), name);
    HANDLE handle = openFolderHandle(verbatim(full), links, 0, error);
    if (handle == INVALID_HANDLE_VALUE) {
        return folder;
    }
    folder.handle_ = valueOf(handle);
    folder.path_ = shown(full);
    return folder;
}

File Folder::openForReading(const NativeString& name, std::error_code& error) const {
    return openFileForReading(verbatim(joined(path_.native(), name)), error);
}

File Folder::createTruncated(const NativeString& name, std::error_code& error) const {
    error.clear();
    const std::wstring longPath = verbatim(joined(path_.native(), name));
    HANDLE handle = ::CreateFileW(longPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_FILE_EXISTS) {
        // A later entry of the same name: it replaces the earlier one's
        // bytes, but never what a link in its place leads to.
        handle = ::CreateFileW(longPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            BY_HANDLE_FILE_INFORMATION info{};
            DWORD refusal = 0;
            if (!::GetFileInformationByHandle(handle, &info)) {
                refusal = ::GetLastError();
            } else if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
                refusal = kLinkInTheWay;
            } else if (!::SetEndOfFile(handle)) {
                refusal = ::GetLastError();
            }
            if (refusal != 0) {
                ::CloseHandle(handle);
                error = codeOf(refusal);
                return File();
            }
        }
    }
    if (handle == INVALID_HANDLE_VALUE) {
        error = lastError();
        return File();
    }
    return File(valueOf(handle));
}

std::error_code Folder::makeFolder(const NativeString& name) const {
    const std::wstring longPath = verbatim(joined(path_.native(), name));
    return ::CreateDirectoryW(longPath.c_str(), nullptr) ? std::error_code() : lastError();
}

// --- Paths

Status statusOf(const fs::path& path, Links links, std::error_code& error) {
    return statusAt(verbatim(fullPathOf(path)), links, error);
}

File openForReading(const fs::path& path, std::error_code& error) {
    return openFileForReading(verbatim(fullPathOf(path)), error);
}

bool fitsBelow(const fs::path& folder, std::size_t relativeLength) {
    // The longest path Windows takes, with its terminating zero.
    constexpr std::size_t kPathLimit = 32767;
    const std::size_t folderLength = verbatim(fullPathOf(folder)).size();
    return folderLength + 1 + relativeLength < kPathLimit;
}

std::error_code remove(const fs::path& path) {
    return ::DeleteFileW(verbatim(fullPathOf(path)).c_str()) ? std::error_code() : lastError();
}

// --- Temporary files

namespace {

// Gives file the access list of the file at target, if there is one: a move
// keeps the moved file's own list, which it took from the folder, so a
// protected archive would otherwise open up when replaced. Best effort, like
// the permission bits on POSIX: a volume without access lists has none.
void adoptAccessList(HANDLE file, const std::wstring& target) {
    HANDLE old = ::CreateFileW(target.c_str(), READ_CONTROL,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (old == INVALID_HANDLE_VALUE) {
        return;
    }
    PACL list = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD got = ::GetSecurityInfo(old, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                        nullptr, &list, nullptr, &descriptor);
    ::CloseHandle(old);
    if (got != ERROR_SUCCESS) {
        return;
    }
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ::GetSecurityDescriptorControl(descriptor, &control, &revision);
    // Inherited entries come from the folder, the same for both files.
    const SECURITY_INFORMATION what =
        DACL_SECURITY_INFORMATION |
        ((control & SE_DACL_PROTECTED) != 0 ? PROTECTED_DACL_SECURITY_INFORMATION
                                            : UNPROTECTED_DACL_SECURITY_INFORMATION);
    ::SetSecurityInfo(file, SE_FILE_OBJECT, what, nullptr, nullptr, list, nullptr);
    ::LocalFree(descriptor);
}

}  // namespace

TemporaryFile TemporaryFile::create(const fs::path& folder, const NativeString& prefix,
                                    const NativeString& suffix, std::error_code& error) {
    TemporaryFile temporary;
    temporary.folder_ = Folder::open(folder, error);
    if (error) {
        return temporary;
    }
    for (int attempt = 0; attempt < 64; ++attempt) {
        NativeString name = prefix + temporaryRandomPart() + suffix;
        const std::wstring longPath = verbatim(joined(temporary.folder_.path_.native(), name));
        // Open is the mark of a live file: removeAbandonedTemporaries of
        // another run opens without sharing, which fails while this handle
        // lives. Delete sharing lets it be moved into place while still open;
        // delete access lets an interruption mark it for removal.
        // Write-DAC access lets it take the replaced archive's access list.
        HANDLE handle =
            ::CreateFileW(longPath.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE | WRITE_DAC,
                          FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            if (::GetLastError() == ERROR_FILE_EXISTS) {
                continue;
            }
            error = lastError();
            return temporary;
        }
        temporary.file_ = File(valueOf(handle));
        temporary.name_ = std::move(name);
        temporary.slot_ = registerLive(handle);
        return temporary;
    }
    error = std::make_error_code(std::errc::file_exists);
    return temporary;
}

TemporaryFile::~TemporaryFile() {
    unregisterLive(slot_);
    if (!done_ && file_) {
        if (!markForDeletion(handleOf(file_.native()))) {
            file_.reset();
            ::DeleteFileW(verbatim(joined(folder_.path_.native(), name_)).c_str());
        }
    }
    file_.reset();
}

fs::path TemporaryFile::path() const {
    return fs::path(joined(folder_.path_.native(), name_));
}

std::error_code TemporaryFile::replace(const NativeString& target) {
    const std::wstring from = verbatim(joined(folder_.path_.native(), name_));
    const std::wstring to = verbatim(joined(folder_.path_.native(), target));
    adoptAccessList(handleOf(file_.native()), to);
    DWORD code = ERROR_SUCCESS;
    for (int attempt = 0; attempt < kReplaceAttempts; ++attempt) {
        if (::MoveFileExW(from.c_str(), to.c_str(),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            done_ = true;
            unregisterLive(slot_);
            slot_ = -1;
            // Closed only now, so that it stays marked as live until it is
            // in place; its data was flushed before.
            file_.reset();
            return {};
        }
        code = ::GetLastError();
        if (code != ERROR_SHARING_VIOLATION && code != ERROR_ACCESS_DENIED &&
            code != ERROR_LOCK_VIOLATION) {
            break;
        }
        ::Sleep(kReplacePauseMs);
    }
    return codeOf(code);
}

void removeAbandonedTemporaries(const fs::path& folderPath, const NativeString& prefix,
                                const NativeString& suffix) {
    std::error_code error;
    const Folder folder = Folder::open(folderPath, error);
    if (error) {
        return;
    }
    const auto entries = folder.list(error);
    if (error) {
        return;
    }
    const std::wstring base = fullPathOf(folderPath);
    for (const FolderEntry& entry : entries) {
        const NativeString& name = entry.name;
        if (entry.kind != Kind::File || !matchesTemporaryPattern(name, prefix, suffix)) {
            continue;
        }
        const std::wstring longPath = verbatim(joined(base, name));
        // Opening without any sharing succeeds only when no live run holds it.
        HANDLE handle = ::CreateFileW(longPath.c_str(), DELETE | FILE_READ_ATTRIBUTES, 0, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            continue;
        }
        BY_HANDLE_FILE_INFORMATION info{};
        if (::GetFileInformationByHandle(handle, &info) &&
            (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ==
                0 &&
            (info.nFileSizeHigh != 0 || info.nFileSizeLow != 0)) {
            markForDeletion(handle);
        }
        ::CloseHandle(handle);
    }
}

void setInterruptNote(std::string_view text) {
    interruptNoteLength.store(0);
    const std::size_t length = std::min(text.size(), interruptNote.size());
    std::copy_n(text.data(), length, interruptNote.data());
    interruptNoteLength.store(length);
}

std::size_t spareDescriptors() {
    // A process may hold about sixteen million handles.
    return std::size_t{1} << 24;
}

void installInterruptCleanup() {
    ::SetConsoleCtrlHandler(removeLiveTemporariesAndExit, TRUE);
}

}  // namespace tessapak::archive::host
