// Writes the benchmark collection to a directory, for measuring tools that
// run as their own processes (the CLI, grep) over the same tree.
//
//   zolehead_make_corpus DIR [FILES [BYTES_EACH]]     (default 20000 files of about 20 KiB)
#include <cstdlib>
#include <iostream>
#include <string>

#include "corpus.hpp"

int main(int argc, char** argv) {
    if (argc < 2 || argc > 4) {
        std::cerr << "usage: zolehead_make_corpus DIR [FILES [BYTES_EACH]]\n";
        return 2;
    }
    const int files = argc > 2 ? std::atoi(argv[2]) : 20000;
    const long bytes = argc > 3 ? std::atol(argv[3]) : 20 * 1024;
    if (files <= 0 || bytes <= 0) {
        std::cerr << "zolehead_make_corpus: FILES and BYTES_EACH must be positive\n";
        return 2;
    }
    if (zolehead_bench::WriteCollection(argv[1], files, static_cast<std::size_t>(bytes), 20240601).empty()) {
        std::cerr << "zolehead_make_corpus: cannot write under " << argv[1] << "\n";
        return 1;
    }
    return 0;
}
