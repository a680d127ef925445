// Shared helpers for the test suites: Shift_JIS spellings, reading a byte
// string, and temporary files.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "zolehead.hpp"

namespace zh_test {

// Shift_JIS bytes, spelled out so the tests do not depend on the table they
// check. Each is a separate literal so no hex escape runs into the next one.
inline const std::string kTitleLabel =
    "\x8B\xC8"
    "\x96\xBC";  // 曲名
inline const std::string kGenreLabel =
    "\x83\x57"
    "\x83\x83"
    "\x83\x93"
    "\x83\x8B";  // ジャンル
inline const std::string kCommentLabel =
    "\x83\x52"
    "\x83\x81"
    "\x83\x93"
    "\x83\x67";  // コメント
inline const std::string kZoleVersionLabel =
    "\x82\x79"
    "\x82\x8F"
    "\x82\x8C"
    "\x82\x85"
    "\x83\x6F"
    "\x81\x5B"
    "\x83\x57"
    "\x83\x87"
    "\x83\x93";                                    // Ｚｏｌｅバージョン
inline const std::string kColon = "\x81\x46";      // ：
inline const std::string kWideSpace = "\x81\x40";  // 　
inline const std::string kMe = "\x83\x81";         // メ: its trail byte is 0x81
inline const std::string kHiraA = "\x82\xA0";      // あ

inline zolehead::ZoleHeader Read(std::string_view bytes, zolehead::HeaderForm form) {
    return zolehead::ReadHeader({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}, form);
}

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes.
class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "zolehead-test-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) std::abort();
        path_ = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }

    // Writes `bytes` to a file named `name` in the directory; returns its path.
    std::string write(const std::string& name, std::string_view bytes) const {
        std::filesystem::path file = path_ / name;
        std::ofstream out(file, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return file.string();
    }

private:
    std::filesystem::path path_;
};

}  // namespace zh_test
