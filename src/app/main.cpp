// Starts the program: the command line, a check for a display, the application set-up, then
// the main window until it is closed (WindowProgram).
#include "app/WindowProgram.h"

int main(int argc, char* argv[]) {
    return dsadmin::RunWindowProgram(argc, argv);
}
