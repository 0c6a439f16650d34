#pragma once
// dsfile's subcommands. Each takes its arguments (after the subcommand's name) and the
// three streams, and returns the exit status: 0 done, 1 bad input or an unreadable file,
// 2 wrong usage. To add a subcommand, write its function and add it to commands().

#include <iosfwd>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace dsadmin::dsfile {

inline constexpr int kOk = 0;
inline constexpr int kBadInput = 1;
inline constexpr int kUsage = 2;

struct Streams {
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
};

using CommandFn = int (*)(std::span<const std::string> args, Streams io);

struct Command {
    std::string_view name;
    std::string_view usage;    // the arguments, as shown after "dsfile <name> "
    std::string_view summary;  // one line
    CommandFn run;
};

// Every subcommand, in the order the usage text lists them.
std::span<const Command> commands();

// Runs the subcommand named by args[0]. --help (-h, help) prints the usage text, --version (-v)
// "dsfile <version>", both to io.out with kOk. Any other option gets one line on io.err and
// kUsage; no subcommand or an unknown one prints the usage text to io.err with kUsage.
int dispatch(std::span<const std::string> args, Streams io);

// Prints "usage: dsfile <name> <usage>" to io.err and returns kUsage.
int usageError(std::string_view name, Streams io);

int runTables(std::span<const std::string> args, Streams io);
int runDump(std::span<const std::string> args, Streams io);
int runWrite(std::span<const std::string> args, Streams io);
int runScript(std::span<const std::string> args, Streams io);

}  // namespace dsadmin::dsfile
