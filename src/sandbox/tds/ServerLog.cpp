#include "sandbox/tds/ServerLog.h"

#include <ctime>

namespace sandbox::tds {

std::string ServerLog::fit(const std::string& text, std::size_t maxBytes) {
    std::string line = text.size() > maxBytes ? text.substr(0, maxBytes + 4) : text;
    for (char& c : line)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    if (line.size() <= maxBytes) return line;
    std::size_t cut = maxBytes - 3;
    while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;
    return line.substr(0, cut) + "...";
}

void ServerLog::write(const std::string& text) {
    std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &utc);
    const std::string prefix = std::string(stamp) + " ";
    const std::string line = prefix + fit(text, kMaxLineBytes - prefix.size() - 1) + "\n";
    std::lock_guard<std::mutex> lock(mutex_);
    std::fputs(line.c_str(), out_);
    std::fflush(out_);
}

}  // namespace sandbox::tds
