// Reading allocates nothing on the heap. This program replaces malloc and
// its relatives (which operator new uses too) with a counting bump allocator,
// then counts the allocations made while reading in every way there is.
#include <gtest/gtest.h>
#include <sys/mman.h>

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "ZoleHead.h"
#include "corpus.hpp"
#include "test_support.hpp"

namespace {

std::atomic<std::size_t> g_allocations{0};

// Blocks are never reused, so this only suits a short test program. Each
// block is preceded by its size, for realloc.
constexpr std::size_t kArenaBytes = std::size_t{1} << 32;
std::atomic<std::uintptr_t> g_arena{0};
std::atomic<std::size_t> g_used{0};

std::uintptr_t Arena() {
    std::uintptr_t arena = g_arena.load(std::memory_order_acquire);
    if (arena != 0) return arena;
    void* mapped = mmap(nullptr, kArenaBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (mapped == MAP_FAILED) std::abort();
    std::uintptr_t expected = 0;
    if (!g_arena.compare_exchange_strong(expected, reinterpret_cast<std::uintptr_t>(mapped))) {
        munmap(mapped, kArenaBytes);
        return expected;
    }
    return reinterpret_cast<std::uintptr_t>(mapped);
}

void* Allocate(std::size_t bytes, std::size_t alignment) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (alignment < 16) alignment = 16;
    if (bytes > kArenaBytes) return nullptr;
    const std::size_t need = bytes + alignment + 16;
    const std::size_t offset = g_used.fetch_add(need, std::memory_order_relaxed);
    if (offset + need > kArenaBytes) return nullptr;
    const std::uintptr_t start = Arena() + offset + 16;
    const std::uintptr_t block = (start + alignment - 1) & ~(alignment - 1);
    reinterpret_cast<std::size_t*>(block)[-1] = bytes;
    return reinterpret_cast<void*>(block);
}

std::size_t BlockSize(void* p) { return static_cast<std::size_t*>(p)[-1]; }

}  // namespace

// Fresh anonymous pages are zero, and blocks are never reused: calloc needs
// no memset.
extern "C" {
void* malloc(std::size_t bytes) { return Allocate(bytes, 16); }
void free(void*) {}
void* calloc(std::size_t count, std::size_t size) {
    if (size != 0 && count > SIZE_MAX / size) return nullptr;
    return Allocate(count * size, 16);
}
void* realloc(void* old, std::size_t bytes) {
    void* fresh = Allocate(bytes, 16);
    if (old != nullptr && fresh != nullptr) std::memcpy(fresh, old, std::min(BlockSize(old), bytes));
    return fresh;
}
void* aligned_alloc(std::size_t alignment, std::size_t bytes) { return Allocate(bytes, alignment); }
void* memalign(std::size_t alignment, std::size_t bytes) { return Allocate(bytes, alignment); }
int posix_memalign(void** out, std::size_t alignment, std::size_t bytes) {
    void* p = Allocate(bytes, alignment);
    if (p == nullptr) return ENOMEM;
    *out = p;
    return 0;
}
void* valloc(std::size_t bytes) { return Allocate(bytes, 4096); }
void* pvalloc(std::size_t bytes) { return Allocate((bytes + 4095) & ~std::size_t{4095}, 4096); }
std::size_t malloc_usable_size(void* p) { return p ? BlockSize(p) : 0; }
}

namespace {

using zolehead::HeaderForm;

std::size_t Allocations() { return g_allocations.load(std::memory_order_relaxed); }

TEST(Allocations, TheCounterSeesAllocations) {
    const std::size_t before = Allocations();
    auto text = std::make_unique<std::string>(1000, 'x');
    char* volatile raw = static_cast<char*>(std::malloc(64));
    std::free(raw);
    const std::size_t made = Allocations() - before;
    EXPECT_GE(made, 3u);
    EXPECT_EQ(text->size(), 1000u);
}

TEST(Allocations, ReadingAllocatesNothing) {
    zh_test::TempDir dir;
    std::uint64_t seed = 40;
    for (zolehead_bench::Content content : zolehead_bench::kAllContents) {
        const std::string name(zolehead_bench::ContentName(content));
        const std::string bytes = zolehead_bench::GenerateFile(content, 512 * 1024, ++seed);
        const std::string path = dir.write(name + ".zole", bytes);
        const std::span<const std::uint8_t> span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        const std::string missing = (dir.path() / "missing.zole").string();

        const std::size_t before = Allocations();
        zolehead::ZoleHeader header;
        int read = 0;
        for (HeaderForm form : {HeaderForm::A, HeaderForm::B, HeaderForm::BOTH}) {
            read += static_cast<bool>(zolehead::ReadHeaderFile(path.c_str(), form, header));
            read += !zolehead::ReadHeaderFile(missing.c_str(), form, header);
            header = zolehead::ReadHeader(span, form);
            header = zolehead::ReadHeaderReference(span, form);
            zolehead::HeaderScanner scanner(form);
            for (std::size_t at = 0; at < bytes.size(); at += 777) scanner.feed(span.subspan(at, std::min<std::size_t>(777, bytes.size() - at)));
        }
        read += zhGetZoleHeaderA(path.c_str()) + zhGetZoleHeaderB(path.c_str()) + zhGetZoleHeader(path.c_str());
        char value[128];
        for (int32_t slot = 0; slot < 16; ++slot) zhGetZoleHeaderValue(slot, value, 127);
        const std::size_t made = Allocations() - before;

        EXPECT_EQ(read, 9) << name;
        EXPECT_EQ(made, 0u) << name;
    }
}

}  // namespace
