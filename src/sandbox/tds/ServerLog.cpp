#include "sandbox/tds/ServerLog.h"

#include <ctime>

namespace sandbox::tds {

void ServerLog::write(const std::string& text) {
    std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &utc);
    std::string line = std::string(stamp) + " " + text + "\n";
    std::lock_guard<std::mutex> lock(mutex_);
    std::fputs(line.c_str(), out_);
    std::fflush(out_);
}

}  // namespace sandbox::tds
