#pragma once
// The start of Qt's platform, held in check. Texts are Simplified Chinese.

namespace dsadmin {

// Brackets the construction of the QApplication: if Qt's platform fails to start, which Qt
// ends with an abort after several lines, the program ends instead with one line on stderr
// and exit status 1. Messages Qt writes in between are held back and passed on at the end.
// Not reentrant: one start at a time, on the main thread.
void BeginPlatformStart();
void EndPlatformStart();

}  // namespace dsadmin
