#pragma once
// dsadmin's command line. The window takes no options of its own: -h/--help and -v/--version
// answer and end the program, anything else is refused, so no option (Qt's -platform, -style
// and the like included) changes what the window does. Texts are Simplified Chinese.

#include <optional>
#include <string>

namespace dsadmin {

// Parses argv with QCommandLineParser (under a short-lived QCoreApplication, so no display is
// needed). Returns the exit status when the program is to end here: 0 after printing the help
// or the version to stdout, 2 after one line on stderr for an unknown option or an argument.
// Returns nothing when the window is to open. Call before QApplication exists.
std::optional<int> HandleCommandLine(int argc, char* argv[]);

// Why the window cannot open on the display Qt would use, in one line; "" when it can (or
// when Qt's platform is one this cannot judge, such as offscreen or Wayland).
std::string NoDisplayReason();

// Brackets the construction of the QApplication: if Qt's platform fails to start, which Qt
// ends with an abort after several lines, the program ends instead with one line on stderr
// and exit status 1. Messages Qt writes in between are held back and passed on at the end.
void BeginPlatformStart();
void EndPlatformStart();

}  // namespace dsadmin
