// settings_save PATH SECTION KEY=VALUE...: saves the keys in one write through the settings
// layer (WriteIniStrings), as the window's create and modify runs do; then prints the file's
// values back through ReadIniString. For the package test, which saves through the installed
// link as root and as an operator.
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "settings/PrivateProfile.h"

int main(int argc, char* argv[]) {
    if (argc < 4) {
        std::fputs("usage: settings_save PATH SECTION KEY=VALUE...\n", stderr);
        return 2;
    }
    std::vector<std::pair<std::string, std::string>> keys;
    for (int i = 3; i < argc; ++i) {
        const std::string pair = argv[i];
        const auto eq = pair.find('=');
        if (eq == std::string::npos) return 2;
        keys.emplace_back(pair.substr(0, eq), pair.substr(eq + 1));
    }
    dsadmin::WriteIniStrings(argv[1], argv[2], keys);
    for (const auto& [key, value] : keys) {
        std::printf("%s=%s\n", key.c_str(),
                    dsadmin::ReadIniString(argv[1], argv[2], key, "").c_str());
    }
    return 0;
}
