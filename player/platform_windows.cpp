// The player's files on Windows. Paths arrive as UTF-8 and go to the wide
// (UTF-16) system calls.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <string>

#include "platform.h"

namespace {

// The prefix of the new file GetTempFileNameW makes beside the target.
constexpr const wchar_t *kTempPrefix = L"qpl";

// The path as UTF-16; empty when it is no valid UTF-8 (or empty).
std::wstring wide(const char *path) {
    const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, nullptr, 0);
    if (n <= 0) return std::wstring();
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, out.data(), n);
    out.resize(static_cast<std::size_t>(n - 1));
    return out;
}

HANDLE open_regular(const char *path) {
    const std::wstring name = wide(path);
    if (name.empty()) return INVALID_HANDLE_VALUE;
    // Without FILE_FLAG_BACKUP_SEMANTICS a folder does not open; a pipe or a
    // device opens at once and is told apart by its type.
    HANDLE h = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE && GetFileType(h) != FILE_TYPE_DISK) {
        CloseHandle(h);
        h = INVALID_HANDLE_VALUE;
    }
    return h;
}

HANDLE native(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

DWORD attributes(const char *path) {
    const std::wstring name = wide(path);
    return name.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(name.c_str());
}

// The system's text for error code, in UTF-8.
std::string error_text(DWORD code) {
    wchar_t *text = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    std::string out;
    if (n > 0) {
        const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(n), nullptr, 0, nullptr, nullptr);
        out.resize(static_cast<std::size_t>(bytes));
        WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(n), out.data(), bytes, nullptr, nullptr);
        while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    }
    LocalFree(text);
    return out.empty() ? "Error " + std::to_string(code) : out;
}

bool fail(std::string *error, const std::string &why) {
    if (error) *error = why;
    return false;
}

bool fail_last_error(std::string *error) { return fail(error, error_text(GetLastError())); }

bool write_all(HANDLE h, const std::string &bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, MAXDWORD));
        DWORD n = 0;
        if (!WriteFile(h, bytes.data() + done, chunk, &n, nullptr) || n == 0) return false;
        done += n;
    }
    return true;
}

// Writes bytes into the existing file temp, to the disk.
bool fill(const std::wstring &temp, const std::string &bytes) {
    HANDLE h = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    const bool written = write_all(h, bytes) && FlushFileBuffers(h);
    const DWORD code = GetLastError();
    const bool closed = CloseHandle(h);
    if (!written) SetLastError(code);
    return written && closed;
}

}  // namespace

Input_File::~Input_File() {
    if (is_open()) CloseHandle(native(handle_));
}

bool Input_File::open(const char *path) {
    if (is_open()) return false;
    HANDLE h = open_regular(path);
    if (h == INVALID_HANDLE_VALUE) return false;
    handle_ = reinterpret_cast<intptr_t>(h);
    return true;
}

bool Input_File::is_open() const { return native(handle_) != INVALID_HANDLE_VALUE; }

int Input_File::read(void *buffer, int size) {
    auto *bytes = static_cast<unsigned char *>(buffer);
    int got = 0;
    while (got < size) {
        DWORD n = 0;
        if (!ReadFile(native(handle_), bytes + got, static_cast<DWORD>(size - got), &n, nullptr) || n == 0) break;
        got += static_cast<int>(n);
    }
    return got;
}

bool Input_File::seek(int64_t offset) {
    LARGE_INTEGER to;
    to.QuadPart = offset;
    return SetFilePointerEx(native(handle_), to, nullptr, FILE_BEGIN) != 0;
}

int64_t Input_File::size() const {
    LARGE_INTEGER n;
    return GetFileSizeEx(native(handle_), &n) ? n.QuadPart : -1;
}

std::FILE *Open_Regular_Stream(const char *path) {
    HANDLE h = open_regular(path);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    // From here the C runtime's descriptor owns the handle.
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(h);
        return nullptr;
    }
    std::FILE *file = _fdopen(fd, "rb");
    if (!file) _close(fd);
    return file;
}

bool File_Exists(const char *path) {
    const DWORD a = attributes(path);
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool Is_Regular_File(const char *path) {
    if (!File_Exists(path)) return false;
    HANDLE h = open_regular(path);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    return true;
}

const char *const kLineEnd = "\r\n";

bool Replace_File(const char *path, const std::string &bytes, std::string *error) {
    const std::wstring target = wide(path);
    if (target.empty()) return fail(error, "The name is not valid UTF-8.");
    if (GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES && !Is_Regular_File(path))
        return fail(error, "It exists and is not a regular file.");
    const std::size_t slash = target.find_last_of(L"/\\");
    const std::wstring folder = slash == std::wstring::npos ? std::wstring(L".") : target.substr(0, slash + 1);
    // GetTempFileNameW makes a new, empty file with a name no file had.
    wchar_t temp[MAX_PATH];
    if (GetTempFileNameW(folder.c_str(), kTempPrefix, 0, temp) == 0) return fail_last_error(error);
    if (fill(temp, bytes) &&
        MoveFileExW(temp, target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    fail_last_error(error);
    DeleteFileW(temp);
    return false;
}
