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
