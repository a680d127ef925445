#include "scratch_dir.hpp"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace zh_host {

std::string ToAnsi(const std::wstring& text) {
    if (text.empty()) return {};
    BOOL lossy = FALSE;
    const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, &lossy);
    if (n <= 0 || lossy) return {};
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, &lossy);
    return out;
}

bool WriteBytes(const std::wstring& path, std::string_view bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool ok = true;
    std::size_t done = 0;
    while (ok && done < bytes.size()) {
        DWORD wrote = 0;
        const DWORD chunk = static_cast<DWORD>(bytes.size() - done < (1u << 20) ? bytes.size() - done : (1u << 20));
        ok = WriteFile(file, bytes.data() + done, chunk, &wrote, nullptr) && wrote == chunk;
        done += wrote;
    }
    return CloseHandle(file) && ok;
}

namespace {

void RemoveTree(const std::wstring& dir) {
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((dir + L"*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = dir + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path + L"\\");
            } else {
                SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(find, &entry));
        FindClose(find);
    }
    RemoveDirectoryW(dir.c_str());
}

}  // namespace

ScratchDir::ScratchDir() {
    wchar_t temp[MAX_PATH + 1];
    const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
    if (n == 0 || n > MAX_PATH) return;
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        const std::wstring candidate = std::wstring(temp, n) + L"zolehead-host-" +
                                       std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(attempt);
        if (CreateDirectoryW(candidate.c_str(), nullptr)) {
            path_ = candidate + L"\\";
            return;
        }
    }
}

ScratchDir::~ScratchDir() {
    if (!path_.empty()) RemoveTree(path_);
}

std::string ScratchDir::write(const std::wstring& name, std::string_view bytes) const {
    const std::wstring file = path_ + name;
    if (!WriteBytes(file, bytes)) return {};
    return ToAnsi(file);
}

}  // namespace zh_host
