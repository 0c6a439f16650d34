// The plain-executable driver of a fuzz target, for the normal test run (g++, no libFuzzer):
// runs every file of a seed corpus, then a fixed number of pseudo-random mutations of those
// seeds, all derived from one seed number so that a failing run can be repeated exactly.
//
//   <target>_smoke <corpus folder> [mutations] [seed]
//
// A target reports a fault by crashing or aborting; the driver only feeds it. With
// DSADMIN_FUZZ_VERBOSE set, each input's number and size go to stderr and its bytes to the
// file fuzz-last-input in the current folder before it runs: after a crash that file holds
// the input that caused it (run it under the libFuzzer build to see the sanitizers' report).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "MutationSource.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) __attribute__((weak));

namespace {

std::vector<std::string> readCorpus(const std::filesystem::path& dir) {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());  // the same order on every machine
    std::vector<std::string> seeds;
    for (const auto& f : files) {
        std::ifstream in(f, std::ios::binary);
        seeds.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return seeds;
}

void runOne(const std::string& input, long number, bool verbose) {
    if (verbose) {
        std::fprintf(stderr, "input %ld (%zu bytes)\n", number, input.size());
        std::ofstream("fuzz-last-input", std::ios::binary | std::ios::trunc) << input;
    }
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <corpus folder> [mutations] [seed]\n", argv[0]);
        return 2;
    }
    const long mutations = argc > 2 ? std::atol(argv[2]) : 2000;
    const std::uint64_t seed = argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 1;
    const bool verbose = std::getenv("DSADMIN_FUZZ_VERBOSE") != nullptr;
    if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);

    const std::vector<std::string> seeds = readCorpus(argv[1]);
    if (seeds.empty()) {
        std::fprintf(stderr, "no seed files in %s\n", argv[1]);
        return 2;
    }
    long number = 0;
    for (const std::string& s : seeds) runOne(s, number++, verbose);
    runOne(std::string(), number++, verbose);

    dsadmin::fuzz::MutationSource source(seeds, seed);
    for (long i = 0; i < mutations; ++i) runOne(source.next(), number++, verbose);
    std::printf("%zu seeds and %ld mutations (seed %llu) ran without a fault\n", seeds.size(),
                mutations, static_cast<unsigned long long>(seed));
    return 0;
}
