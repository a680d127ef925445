// Room for one block between two inaccessible pages. A block is copied in
// against one of them, so a search that reads a byte too far crashes the
// test; each copy also overwrites the one before, as a reader's buffer does.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string_view>

namespace zh_test {

class GuardedBuffer {
public:
    static constexpr std::size_t kCapacity = 1 << 20;

    GuardedBuffer() {
        page_ = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        void* mapped = mmap(nullptr, kCapacity + 2 * page_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped == MAP_FAILED) std::abort();
        base_ = static_cast<std::uint8_t*>(mapped);
        if (mprotect(base_, page_, PROT_NONE) != 0 || mprotect(base_ + page_ + kCapacity, page_, PROT_NONE) != 0)
            std::abort();
    }
    ~GuardedBuffer() { munmap(base_, kCapacity + 2 * page_); }
    GuardedBuffer(const GuardedBuffer&) = delete;
    GuardedBuffer& operator=(const GuardedBuffer&) = delete;

    std::span<const std::uint8_t> place(std::string_view bytes, bool against_start) {
        if (bytes.size() > kCapacity) std::abort();
        std::uint8_t* data = against_start ? base_ + page_ : base_ + page_ + kCapacity - bytes.size();
        if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
        return {data, bytes.size()};
    }

private:
    std::size_t page_;
    std::uint8_t* base_;
};

// One buffer per test program.
inline GuardedBuffer& Guarded() {
    static GuardedBuffer buffer;
    return buffer;
}

}  // namespace zh_test
