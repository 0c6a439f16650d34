// Where the structure-file reader's helper program is (see JetReader.h).
#include <unistd.h>

#include <filesystem>
#include <system_error>
#include <vector>

#include "db/jet/JetReader.h"

namespace dsadmin {

std::string JetReaderHelperPath() {
    static const std::string found = [] {
        namespace fs = std::filesystem;
        std::error_code ec;
        const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
        std::vector<fs::path> places;
        if (!ec) {
            places.push_back(exe.parent_path());
            places.push_back(exe.parent_path() / ".." / "lib" / "dsadmin");
            places.push_back(exe.parent_path() / ".." / ".." / "opt" / "dsadmin");
        }
        places.emplace_back(DSADMIN_JETREADER_INSTALLED_DIR);
        for (const auto& dir : places) {
            fs::path p = dir / kJetReaderHelperName;
            if (::access(p.c_str(), X_OK) == 0) return p.string();
        }
        // Not found: the first place, so that the error names where it was looked for.
        return (places.front() / kJetReaderHelperName).string();
    }();
    return found;
}

}  // namespace dsadmin
