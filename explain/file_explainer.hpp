// Explaining and linting files: what the tool, the Python module and the web
// catalog call. One per thread: it owns a code page 932 decoder and the
// buffer that holds one file at a time.
//
//   FileExplainer explainer;
//   std::string text = DumpJson(explainer.explain_json("song.zole"));
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "explain_json.hpp"
#include "field_story.hpp"
#include "file_walker.hpp"
#include "lint_checks.hpp"
#include "shift_jis_decoder.hpp"

namespace zolehead::explain {

// A file is explained from memory, whole, and its entries take some fifty
// times the bytes of a file made of nothing but entries. Any real Zole data
// file is far smaller than this; a larger one is refused rather than held.
inline constexpr std::uint64_t kMaxFileBytes = 4 * 1024 * 1024;

class FileExplainer {
public:
    // Throws std::system_error when the C library cannot convert from CP932.
    FileExplainer() = default;

    // The file's story, or false with `error` set (a short English reason)
    // when it cannot be read.
    bool explain(const collection::WalkEntry& entry, Story& story, std::string& error);
    // The file's warnings without the codes in `ignore`, or false with `error` set.
    bool lint(const collection::WalkEntry& entry, std::span<const std::string> ignore, std::vector<Warning>& warnings,
              std::string& error);

    // The same as JSON records (explain_json.hpp); an error record when the
    // file cannot be read.
    Json explain_json(const std::string& path);
    Json lint_json(const std::string& path, std::span<const std::string> ignore = {});
    // The same records for bytes the caller holds (read through its own
    // checks, or streamed out of an archive); `path` only names them. At
    // most kMaxFileBytes, as a file would be.
    Json explain_bytes_json(std::string_view path, std::span<const std::uint8_t> bytes);
    Json lint_bytes_json(std::string_view path, std::span<const std::uint8_t> bytes,
                         std::span<const std::string> ignore = {});

    collection::ShiftJisDecoder& decoder() noexcept { return decoder_; }
    // The errno behind the last explain or lint that returned false; 0 when
    // there is none (a file too large, a FIFO).
    int system_error() const noexcept { return system_error_; }

private:
    bool load(const collection::WalkEntry& entry, std::string& error);

    collection::ShiftJisDecoder decoder_;
    std::vector<std::uint8_t> bytes_;
    int system_error_ = 0;
};

}  // namespace zolehead::explain
