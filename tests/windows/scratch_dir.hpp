// A fresh directory under the system's temporary directory for the files a
// host test writes, removed with everything in it at the end. Files are
// created through the wide API, so their names do not depend on the ANSI
// code page; the library is then handed the ANSI spelling.
#pragma once

#include <string>
#include <string_view>

namespace zh_host {

// `text` in the ANSI code page; empty if some character has no exact
// spelling there.
std::string ToAnsi(const std::wstring& text);

// Creates (or replaces) the file at `path` with exactly `bytes`.
bool WriteBytes(const std::wstring& path, std::string_view bytes);

class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    bool ok() const { return !path_.empty(); }
    // The directory, with a trailing backslash.
    const std::wstring& path() const { return path_; }
    // Writes `bytes` to the file `name` in the directory; returns its ANSI path.
    std::string write(const std::wstring& name, std::string_view bytes) const;

private:
    std::wstring path_;
};

}  // namespace zh_host
