// dsadmin-figures: measures and prints the speed figures (see docs/PERFORMANCE.md).
//
//   dsadmin-figures [--quick] [--repeats N] [section...]
//
// Sections: runs, structure, window, sandbox, connections, cli (default: all). --quick uses
// small sizes to try the script itself; its figures mean little.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <exception>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "Sections.h"

using namespace dsadmin::bench;

namespace {

using Section = void (*)(const BenchContext&, FigureTable&);

const std::map<std::string, Section>& sections() {
    static const std::map<std::string, Section> all = {
        {"runs", RunFigures},        {"structure", StructureFigures},    {"window", WindowFigures},
        {"sandbox", SandboxFigures}, {"connections", ConnectionFigures}, {"cli", CliFigures}};
    return all;
}

void header(const BenchContext& c) {
    char host[256] = "?";
    gethostname(host, sizeof host);
    const std::time_t now = std::time(nullptr);
    char date[64];
    std::strftime(date, sizeof date, "%Y-%m-%d %H:%M UTC", std::gmtime(&now));
    std::printf(
        "dsadmin figures, %s, host %s, %ld CPUs online, %d runs each (times: min / "
        "median)\n\n",
        date, host, sysconf(_SC_NPROCESSORS_ONLN), c.repeats);
}

}  // namespace

int main(int argc, char** argv) {
    BenchContext context;
    std::vector<std::string> wanted;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0)
            context.quick = true;
        else if (std::strcmp(argv[i], "--repeats") == 0 && i + 1 < argc)
            context.repeats = std::max(1, std::atoi(argv[++i]));
        else
            wanted.emplace_back(argv[i]);
    }
    if (wanted.empty()) wanted = {"runs", "structure", "window", "sandbox", "connections", "cli"};
    char pattern[] = "/tmp/dsadmin-figures-XXXXXX";
    if (!mkdtemp(pattern)) return 1;
    context.work = pattern;
    header(context);
    FigureTable table;
    int status = 0;
    for (const std::string& name : wanted) {
        const auto it = sections().find(name);
        try {
            if (it == sections().end()) throw std::runtime_error("no section " + name);
            std::fprintf(stderr, "measuring %s ...\n", name.c_str());
            it->second(context, table);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s: %s\n", name.c_str(), e.what());
            table.note(name + ": FAILED", e.what());
            status = 1;
        }
    }
    table.print();
    std::filesystem::remove_all(context.work);
    return status;
}
