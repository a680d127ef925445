// Whether bytes are plainly something other than Zole text (code page 932):
// an archive, a binary file, UTF-16. Such a file is never changed, even
// where a reader happens to find an entry in it: one byte more would break
// an archive's sizes and checksums.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace zolehead::edit {

// "" for text that may be Zole text, else what it is ("a ZIP archive").
std::string_view NotZoleText(std::span<const std::uint8_t> bytes) noexcept;

// Whether the text is UTF-8 with some character beyond ASCII: a Zole file
// saved by an editor in UTF-8, into which code page 932 bytes must not go.
bool IsUtf8Text(std::span<const std::uint8_t> bytes) noexcept;

}  // namespace zolehead::edit
