// What the readers are measured against: the byte-at-a-time stream reader
// of the original design, and the floor of getting the bytes at all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "zolehead.hpp"

namespace zolehead_bench {

// fopen "rb", one fgetc per byte, every byte through the tracker and the
// machines of `form`; stops at 0x1A as the readers do. Fills `out` and
// returns true, or false if the file cannot be opened.
bool ReadWithFgetc(const char* path, zolehead::HeaderForm form, zolehead::ZoleHeader& out);

// The floor: open, read in 64 KiB blocks, count line feeds with memchr,
// close. Returns the count, or -1 if the file cannot be opened.
long long CountLinesWithMemchr(const char* path);

// The same count over bytes already in memory.
long long CountLinesInMemory(std::span<const std::uint8_t> bytes);

// Open, read in 64 KiB blocks, close: the bytes and nothing else. Returns
// the number of bytes read, or -1 if the file cannot be opened.
long long OpenReadClose(const char* path);

}  // namespace zolehead_bench
