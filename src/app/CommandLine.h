#pragma once
// dsadmin's command line. The window takes no options of its own: -h/--help and -v/--version
// answer and end the program, anything else is refused, so no option (Qt's -platform, -style
// and the like included) changes what the window does. Texts are Simplified Chinese.

#include <optional>

namespace dsadmin {

// Parses argv with QCommandLineParser (under a short-lived QCoreApplication, so no display is
// needed). Returns the exit status when the program is to end here: 0 after printing the help
// or the version to stdout, 2 after one line on stderr for an unknown option or an argument.
// Returns nothing when the window is to open, at once when there are no arguments. Call
// before QApplication exists.
std::optional<int> HandleCommandLine(int argc, char* argv[]);

}  // namespace dsadmin
