#include "MutationSource.h"

#include <algorithm>
#include <cstring>

namespace dsadmin::fuzz {

MutationSource::MutationSource(std::vector<std::string> seeds, std::uint64_t seed)
    : seeds_(std::move(seeds)), state_(seed * 0x9E3779B97F4A7C15ull + 1) {}

// splitmix64: small, fast, and the same sequence everywhere.
std::uint64_t MutationSource::random() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

std::size_t MutationSource::below(std::size_t n) {
    return n == 0 ? 0 : static_cast<std::size_t>(random() % n);
}

std::string MutationSource::next() {
    std::string s = seeds_[below(seeds_.size())];
    const std::size_t count = 1 + below(4);
    for (std::size_t i = 0; i < count; ++i) mutate(s);
    return s;
}

// Lengths, counts and offsets are where parsers go wrong: write values at and around the
// limits of 1, 2 and 4 bytes, in either byte order.
void MutationSource::overwriteInteger(std::string& s) {
    static const std::uint32_t kValues[] = {
        0,      1,       2,          0x7F,        0x80,        0xFF,        0x100, 0x7FFF, 0x8000,
        0xFFFF, 0x10000, 0x7FFFFFFF, 0x80000000u, 0xFFFFFFFFu, 0xFFFFFFFEu, 4096,  8,      94};
    if (s.empty()) return;
    std::uint32_t v = kValues[below(std::size(kValues))];
    const std::size_t width = std::size_t{1} << below(3);  // 1, 2 or 4 bytes
    if (random() & 1) v = __builtin_bswap32(v) >> (8 * (4 - width));
    const std::size_t at = below(s.size());
    for (std::size_t i = 0; i < width && at + i < s.size(); ++i)
        s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

void MutationSource::mutate(std::string& s) {
    switch (below(8)) {
        case 0:  // flip one bit
            if (!s.empty()) s[below(s.size())] ^= static_cast<char>(1u << below(8));
            break;
        case 1:  // one random byte
            if (!s.empty()) s[below(s.size())] = static_cast<char>(random());
            break;
        case 2:
            overwriteInteger(s);
            break;
        case 3: {  // insert random bytes
            std::string bytes(1 + below(8), '\0');
            for (char& c : bytes) c = static_cast<char>(random());
            s.insert(below(s.size() + 1), bytes);
            break;
        }
        case 4: {  // delete a range
            const std::size_t at = below(s.size());
            s.erase(at, 1 + below(std::min<std::size_t>(s.size() - at, 64)));
            break;
        }
        case 5: {  // repeat a range
            if (s.empty()) break;
            const std::size_t at = below(s.size());
            const std::string range = s.substr(at, 1 + below(32));
            s.insert(below(s.size() + 1), range);
            break;
        }
        case 6:  // cut the tail off
            s.resize(below(s.size() + 1));
            break;
        default: {  // splice: this seed's head, another seed's tail
            const std::string& other = seeds_[below(seeds_.size())];
            const std::size_t from = below(other.size() + 1);
            s = s.substr(0, below(s.size() + 1)) + other.substr(from);
            break;
        }
    }
}

}  // namespace dsadmin::fuzz
