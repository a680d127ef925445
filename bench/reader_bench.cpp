// The readers against their baselines, on generated inputs written to a
// temporary directory (kept in the page cache by the first reads).
//
// Environment:
//   ZOLEHEAD_BENCH_SCALE  fraction of the full sizes (64 MiB files, 20,000
//                         files of about 20 KiB); 0.01 makes a quick smoke run
//   ZOLEHEAD_BENCH_DIR    generate into this directory and keep it (reused
//                         when it already holds a corpus of the same scale)
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "ZoleHead.h"
#include "baselines.hpp"
#include "corpus.hpp"
#include "ratio_report.hpp"
#include "zolehead.hpp"

namespace {

namespace fs = std::filesystem;
using zolehead::HeaderForm;
using zolehead_bench::Content;

constexpr std::size_t kBigFileBytes = 64u << 20;
constexpr int kCollectionFiles = 10000;
constexpr std::size_t kCollectionFileBytes = 16u << 10;
constexpr std::uint64_t kSeed = 20240601;

struct Corpus {
    fs::path dir;
    bool keep = false;
    std::vector<std::pair<Content, std::string>> big_files;
    std::vector<std::string> collection;
    double collection_bytes = 0;
    // The first files of the collection joined into one file as large as the
    // big ones: the same kind of content without a cost per file.
    std::string joined;
};

double Scale() {
    const char* text = std::getenv("ZOLEHEAD_BENCH_SCALE");
    const double scale = text ? std::atof(text) : 1.0;
    return scale > 0 && scale <= 1 ? scale : 1.0;
}

double FileBytes(const std::string& path) { return static_cast<double>(fs::file_size(path)); }

bool PrepareCorpus(Corpus& corpus, double scale) {
    if (const char* dir = std::getenv("ZOLEHEAD_BENCH_DIR")) {
        corpus.dir = dir;
        corpus.keep = true;
        fs::create_directories(corpus.dir);
    } else {
        std::string pattern = (fs::temp_directory_path() / "zolehead-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) return false;
        corpus.dir = pattern;
    }
    const std::size_t big_bytes = static_cast<std::size_t>(static_cast<double>(kBigFileBytes) * scale);
    const int files = std::max(20, static_cast<int>(kCollectionFiles * scale));
    const std::string stamp = std::to_string(big_bytes) + " " + std::to_string(files) + " " +
                              std::to_string(kCollectionFileBytes) + " " + std::to_string(kSeed) +
                              " " + std::to_string(std::size(zolehead_bench::kAllContents));
    const fs::path stamp_path = corpus.dir / "corpus.stamp";
    std::string existing;
    if (std::ifstream in(stamp_path); in) std::getline(in, existing);
    const bool reuse = existing == stamp;

    std::uint64_t seed = kSeed;
    for (Content content : zolehead_bench::kAllContents) {
        const fs::path path = corpus.dir / (std::string(zolehead_bench::ContentName(content)) + ".zole");
        if (!reuse && !zolehead_bench::WriteFileBytes(path, zolehead_bench::GenerateFile(content, big_bytes, ++seed)))
            return false;
        corpus.big_files.emplace_back(content, path.string());
    }
    if (reuse) {
        for (int i = 0; i < files; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "song%05d.zole", i);
            corpus.collection.push_back((corpus.dir / "collection" / std::to_string(i / 100) / name).string());
        }
    } else {
        corpus.collection = zolehead_bench::WriteCollection(corpus.dir / "collection", files, kCollectionFileBytes, ++seed);
        if (corpus.collection.empty()) return false;
        std::ofstream(stamp_path) << stamp << "\n";
    }
    for (const std::string& path : corpus.collection) corpus.collection_bytes += FileBytes(path);
    corpus.joined = (corpus.dir / "collection_joined.zole").string();
    if (!reuse || !fs::exists(corpus.joined)) {
        std::ofstream joined(corpus.joined, std::ios::binary | std::ios::trunc);
        std::size_t written = 0;
        for (std::size_t i = 0; i < corpus.collection.size() && written < big_bytes; ++i) {
            std::ifstream part(corpus.collection[i], std::ios::binary);
            const std::string bytes((std::istreambuf_iterator<char>(part)), std::istreambuf_iterator<char>());
            joined << bytes;
            written += bytes.size();
        }
        if (!joined) return false;
    }
    return true;
}

// The fast readers must agree with the fgetc loop before their speed means
// anything; the realistic file must also yield a header.
bool VerifyCorpus(const Corpus& corpus) {
    auto agree = [](const std::string& path) {
        for (HeaderForm form : {HeaderForm::A, HeaderForm::B, HeaderForm::BOTH}) {
            zolehead::ZoleHeader fast, slow;
            if (!zolehead::ReadHeaderFile(path.c_str(), form, fast) || !zolehead_bench::ReadWithFgetc(path.c_str(), form, slow) ||
                !(fast == slow)) {
                std::cerr << "zolehead_bench: readers disagree on " << path << "\n";
                return false;
            }
        }
        return true;
    };
    for (const auto& [content, path] : corpus.big_files) {
        if (!agree(path)) return false;
    }
    if (!agree(corpus.joined)) return false;
    for (std::size_t i = 0; i < corpus.collection.size(); i += 50) {
        if (!agree(corpus.collection[i])) return false;
    }
    zolehead::ZoleHeader header;
    zolehead::ReadHeaderFile(corpus.big_files.front().second.c_str(), HeaderForm::BOTH, header);
    int filled = 0;
    for (const zolehead::HeaderSlot& slot : header.slots) filled += slot.status != zolehead::STATUS_NONE;
    if (filled == 0) {
        std::cerr << "zolehead_bench: the realistic file has no header\n";
        return false;
    }
    return true;
}

// Registers `name`, timing `body` over `bytes` per iteration, in real time.
void Register(const std::string& name, double bytes, std::function<bool()> body) {
    benchmark::RegisterBenchmark(name.c_str(), [bytes, body](benchmark::State& state) {
        for (auto _ : state) {
            if (!body()) {
                state.SkipWithError("read failed");
                break;
            }
        }
        state.SetBytesProcessed(static_cast<std::int64_t>(bytes * static_cast<double>(state.iterations())));
    })->UseRealTime()->Unit(benchmark::kMillisecond);
}

// The two floors of a file: the bytes alone, and the bytes with a memchr
// per line.
void RegisterFloors(const std::string& input, const std::string& path, double bytes) {
    Register(input + "/memchr_floor", bytes, [path] {
        const long long lines = zolehead_bench::CountLinesWithMemchr(path.c_str());
        benchmark::DoNotOptimize(lines);
        return lines >= 0;
    });
    Register(input + "/open_read_close", bytes, [path] {
        const long long read = zolehead_bench::OpenReadClose(path.c_str());
        benchmark::DoNotOptimize(read);
        return read >= 0;
    });
}

using CReader = int32_t (*)(const char*);

void RegisterBigFile(const std::string& input, const std::string& path, bool every_fgetc) {
    const double bytes = FileBytes(path);
    const struct {
        const char* name;
        CReader read;
        HeaderForm form;
    } readers[] = {{"combined", zhGetZoleHeader, HeaderForm::BOTH},
                   {"form_a", zhGetZoleHeaderA, HeaderForm::A},
                   {"form_b", zhGetZoleHeaderB, HeaderForm::B}};
    for (const auto& r : readers) {
        Register(input + "/" + r.name, bytes, [read = r.read, path] { return read(path.c_str()) == 1; });
    }
    for (const auto& r : readers) {
        if (!every_fgetc && r.form != HeaderForm::BOTH) continue;
        Register(input + "/fgetc_" + r.name, bytes, [form = r.form, path] {
            zolehead::ZoleHeader header;
            const bool ok = zolehead_bench::ReadWithFgetc(path.c_str(), form, header);
            benchmark::DoNotOptimize(header);
            return ok;
        });
    }
    RegisterFloors(input, path, bytes);
}

void RegisterInMemory(const std::string& path, std::vector<std::uint8_t>& bytes) {
    std::ifstream in(path, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    const std::span<const std::uint8_t> span(bytes);
    const double size = static_cast<double>(bytes.size());
    Register("memory/realistic/fast_loop", size, [span] {
        auto header = zolehead::ReadHeader(span, HeaderForm::BOTH);
        benchmark::DoNotOptimize(header);
        return true;
    });
    Register("memory/realistic/plain_loop", size, [span] {
        auto header = zolehead::ReadHeaderReference(span, HeaderForm::BOTH);
        benchmark::DoNotOptimize(header);
        return true;
    });
    Register("memory/realistic/memchr_lines", size, [span] {
        const long long lines = zolehead_bench::CountLinesInMemory(span);
        benchmark::DoNotOptimize(lines);
        return true;
    });
}

void RegisterCollection(const Corpus& corpus) {
    const std::vector<std::string>* files = &corpus.collection;
    const double bytes = corpus.collection_bytes;
    Register("collection/combined", bytes, [files] {
        for (const std::string& path : *files) {
            if (zhGetZoleHeader(path.c_str()) != 1) return false;
        }
        return true;
    });
    Register("collection/fgetc_combined", bytes, [files] {
        zolehead::ZoleHeader header;
        for (const std::string& path : *files) {
            if (!zolehead_bench::ReadWithFgetc(path.c_str(), HeaderForm::BOTH, header)) return false;
            benchmark::DoNotOptimize(header);
        }
        return true;
    });
    Register("collection/memchr_floor", bytes, [files] {
        for (const std::string& path : *files) {
            if (zolehead_bench::CountLinesWithMemchr(path.c_str()) < 0) return false;
        }
        return true;
    });
    Register("collection/open_read_close", bytes, [files] {
        for (const std::string& path : *files) {
            if (zolehead_bench::OpenReadClose(path.c_str()) < 0) return false;
        }
        return true;
    });
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

    Corpus corpus;
    const double scale = Scale();
    std::cerr << "zolehead_bench: preparing inputs (scale " << scale << ")...\n";
    if (!PrepareCorpus(corpus, scale)) {
        std::cerr << "zolehead_bench: cannot write the inputs under " << corpus.dir << "\n";
        return 1;
    }
    // The first pass puts every file in the page cache.
    for (const auto& [content, path] : corpus.big_files) zolehead_bench::OpenReadClose(path.c_str());
    zolehead_bench::OpenReadClose(corpus.joined.c_str());
    for (const std::string& path : corpus.collection) zolehead_bench::OpenReadClose(path.c_str());
    if (!VerifyCorpus(corpus)) return 1;

    std::vector<zolehead_bench::RatioReporter::Input> inputs;
    for (const auto& [content, path] : corpus.big_files) {
        const std::string name(zolehead_bench::ContentName(content));
        RegisterBigFile(name, path, content == Content::REALISTIC);
        inputs.push_back({name, FileBytes(path), 1});
    }
    std::vector<std::uint8_t> in_memory;
    RegisterInMemory(corpus.big_files.front().second, in_memory);
    RegisterCollection(corpus);
    inputs.push_back({"collection", corpus.collection_bytes, static_cast<int>(corpus.collection.size())});
    Register("collection_joined/combined", FileBytes(corpus.joined),
             [path = corpus.joined] { return zhGetZoleHeader(path.c_str()) == 1; });
    RegisterFloors("collection_joined", corpus.joined, FileBytes(corpus.joined));
    inputs.push_back({"collection_joined", FileBytes(corpus.joined), 1});

    zolehead_bench::RatioReporter reporter(inputs, scale);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    if (!corpus.keep) {
        std::error_code ignored;
        fs::remove_all(corpus.dir, ignored);
    }
    return 0;
}
