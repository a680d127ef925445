// The twelve exports, as a host might call them in any order: readers on a
// file written from the input (or on paths that cannot be read), getters with
// any index and any maxBytes. Every call is checked against a model kept with
// the core: the result, the exact bytes written, and guard bytes after them
// that must never change.
#include <fuzzer/FuzzedDataProvider.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "ZoleHead.h"
#include "header_invariants.hpp"
#include "zolehead.hpp"

namespace {

using zh_fuzz::Require;

constexpr std::size_t kGuardBytes = 32;

// A private directory holding the file the readers read, removed at exit.
class Scratch {
public:
    Scratch() {
        // Memory-backed when the system has it: the file is rewritten on every run.
        std::error_code no_shm;
        const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", no_shm)
                                               ? std::filesystem::path("/dev/shm")
                                               : std::filesystem::temp_directory_path();
        std::string pattern = (base / "zolehead-fuzz-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) std::abort();
        dir_ = pattern;
        file_ = dir_ + "/input.zole";
    }
    ~Scratch() {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    const std::string& dir() const { return dir_; }
    const std::string& file() const { return file_; }
    void write(const std::vector<std::uint8_t>& bytes) const {
        std::FILE* f = std::fopen(file_.c_str(), "wb");
        Require(f != nullptr, "cannot create the scratch file");
        Require(bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size(),
                "cannot write the scratch file");
        std::fclose(f);
    }

private:
    std::string dir_;
    std::string file_;
};

const Scratch& TheScratch() {
    static const Scratch scratch;
    return scratch;
}

using Getter = int32_t(ZH_CALL*)(int32_t, char*, int32_t);

// Calls a getter on a buffer of exactly `clamped + 1` bytes (so ASan sees any
// write past it) followed by guard bytes, and checks every byte.
void CheckGetter(Getter getter, int32_t index, int32_t max_bytes, int limit, std::string_view expected_text,
                 int32_t expected_result) {
    const bool in_range = index >= 0 && index < zolehead::kFieldCount;
    const std::size_t count = max_bytes < 0 ? 0 : static_cast<std::size_t>(max_bytes < limit ? max_bytes : limit);
    std::vector<unsigned char> buffer(count + 1 + kGuardBytes);
    for (std::size_t i = 0; i < buffer.size(); ++i) buffer[i] = static_cast<unsigned char>(0xA5 ^ i);

    const int32_t result = getter(index, reinterpret_cast<char*>(buffer.data()), max_bytes);
    Require(result == (in_range ? expected_result : 0), "getter result", index);
    for (std::size_t i = 0; i < buffer.size(); ++i) {
        const auto canary = static_cast<unsigned char>(0xA5 ^ i);
        if (!in_range || i > count) {
            Require(buffer[i] == canary, in_range ? "getter wrote past count + 1" : "bad index wrote", index);
        } else if (i < expected_text.size() && i < count) {
            Require(buffer[i] == static_cast<unsigned char>(expected_text[i]), "getter copied the wrong byte", index);
        } else {
            Require(buffer[i] == 0, "getter NUL fill not exact", index);
        }
    }
}

// Any int32, but mostly the interesting ones: near the limits and negative.
int32_t PickCount(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange<int>(0, 3)) {
    case 0: return in.ConsumeIntegralInRange<int32_t>(-2, 20);
    case 1: return in.ConsumeIntegralInRange<int32_t>(120, 130);
    case 2: return in.ConsumeIntegral<int32_t>();
    default: return in.ConsumeIntegralInRange<int32_t>(-1, 200);
    }
}

int32_t PickIndex(FuzzedDataProvider& in) {
    return in.ConsumeBool() ? in.ConsumeIntegralInRange<int32_t>(-1, 16) : in.ConsumeIntegral<int32_t>();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Scratch& scratch = TheScratch();
    FuzzedDataProvider in(data, size);
    // The file's bytes come first; the calls are drawn from what is left.
    const auto file_size = in.ConsumeIntegralInRange<std::size_t>(0, in.remaining_bytes());
    const std::vector<std::uint8_t> content = in.ConsumeBytes<std::uint8_t>(file_size);
    scratch.write(content);
    const std::span<const std::uint8_t> bytes(content.data(), content.size());

    // What the slots must hold: the last read's result, empty after a failure.
    zolehead::ZoleHeader model;
    LibMain(nullptr, 1, nullptr);

    for (int call = 0; call < 64 && in.remaining_bytes() > 0; ++call) {
        switch (in.ConsumeIntegralInRange<int>(0, 8)) {
        case 0:
            Require(zhGetZoleHeaderA(scratch.file().c_str()) == 1, "form A reader failed on a regular file");
            model = zolehead::ReadHeaderReference(bytes, zolehead::HeaderForm::A);
            break;
        case 1:
            Require(zhGetZoleHeaderB(scratch.file().c_str()) == 1, "form B reader failed on a regular file");
            model = zolehead::ReadHeaderReference(bytes, zolehead::HeaderForm::B);
            break;
        case 2:
            Require(zhGetZoleHeader(scratch.file().c_str()) == 1, "combined reader failed on a regular file");
            model = zolehead::ReadHeaderReference(bytes, zolehead::HeaderForm::BOTH);
            break;
        case 3: {
            // Paths that cannot be read: each reader must fail and empty the slots.
            const std::string missing = scratch.dir() + "/missing";
            const char* path = in.ConsumeBool() ? scratch.dir().c_str() : missing.c_str();
            const int reader = in.ConsumeIntegralInRange<int>(0, 2);
            const int32_t result = reader == 0   ? zhGetZoleHeaderA(path)
                                   : reader == 1 ? zhGetZoleHeaderB(path)
                                                 : zhGetZoleHeader(path);
            Require(result == 0, "a reader succeeded on a path it cannot read");
            model = zolehead::ZoleHeader{};
            break;
        }
        case 4: {
            const int32_t index = PickIndex(in);
            const zolehead::HeaderSlot* slot =
                index >= 0 && index < zolehead::kFieldCount ? &model.slots[static_cast<std::size_t>(index)] : nullptr;
            CheckGetter(zhGetZoleHeaderValue, index, PickCount(in), zolehead::kValueMaxBytes,
                        slot ? slot->text() : std::string_view(), slot ? slot->status : 0);
            break;
        }
        case 5:
        case 6:
        case 7: {
            const int which = in.ConsumeIntegralInRange<int>(0, 2);
            const Getter getter = which == 0   ? zhGetZoleHeaderIdent
                                  : which == 1 ? zhGetZoleHeaderIdentA
                                               : zhGetZoleHeaderIdentB;
            const int32_t index = PickIndex(in);
            std::string_view expected;
            if (index >= 0 && index < zolehead::kFieldCount) {
                const zolehead::Identifier& row = zolehead::kIdentifiers[static_cast<std::size_t>(index)];
                expected = which == 2 ? row.keyword : row.label;
            }
            CheckGetter(getter, index, PickCount(in), zolehead::kLabelMaxBytes, expected, 1);
            break;
        }
        default: {
            Require(zhGetZoleHeaderIdentNum() == 16 && zhGetZoleHeaderIdentSize() == 18 &&
                        zhGetZoleHeaderValueSize() == 127,
                    "size queries");
            int32_t v[4] = {-1, -1, -1, -1};
            zhGetZoleHeadDllVersion(&v[0], &v[1], &v[2], &v[3]);
            Require(v[0] == 1 && v[1] == 0 && v[2] == 0 && v[3] == 0, "version");
            break;
        }
        }
    }
    return 0;
}
