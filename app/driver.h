#pragma once
// The program: options, file names, loading, the identity test, then the verdict or the view.

// Runs the whole program on the process's arguments (argument 0 is the program's own path) and
// returns the exit code:
//   0 the files are identical
//   1 the files are not identical
//   2 an invalid option, missing or surplus file names, a path that is too long, or a file that
//     could not be loaded
//   3 out of memory while preparing the texts for the view
int runProgram(int argumentCount, char** argumentVector);

// Ends the program when memory runs out where no caller can give up gracefully (a container that
// cannot grow, ncurses' own allocations): the colour file being written removed, the terminal
// given back at once, "Out of memory" on standard output (not in host mode), exit code 3.
// Allocates nothing. The programs install it as the new handler before anything else.
[[noreturn]] void endOutOfMemory();
