#pragma once
// Deterministic mutations of seed inputs for the smoke driver: the kinds of damage a fuzzer
// starts with (bit flips, boundary integers, inserted, deleted and repeated ranges, cuts,
// splices of two seeds), drawn from a fixed-seed generator so that every run is the same.

#include <cstdint>
#include <string>
#include <vector>

namespace dsadmin::fuzz {

class MutationSource {
  public:
    // `seeds` must not be empty.
    MutationSource(std::vector<std::string> seeds, std::uint64_t seed);

    // A copy of one seed with one to four mutations applied.
    std::string next();

  private:
    std::uint64_t random();
    std::size_t below(std::size_t n);  // 0 when n == 0
    void mutate(std::string& s);
    void overwriteInteger(std::string& s);

    std::vector<std::string> seeds_;
    std::uint64_t state_;
};

}  // namespace dsadmin::fuzz
