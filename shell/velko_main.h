// The program's start-up and loop, for its entry function (and for an in-process test).
#ifndef VELKO_SHELL_VELKO_MAIN_H
#define VELKO_SHELL_VELKO_MAIN_H

namespace velko {

// Builds the main window and runs the loop until the window is destroyed; the exit code.
int RunVelko(int argc, char** argv);

}  // namespace velko

#endif
