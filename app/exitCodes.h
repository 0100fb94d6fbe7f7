#pragma once
// The program's exit codes: what a script calling it sees.

inline constexpr int kExitIdentical = 0;     // the files are identical
inline constexpr int kExitDifferent = 1;     // the files differ (also: the view was left)
inline constexpr int kExitBadInput = 2;      // a bad command line, or a file that cannot be loaded
inline constexpr int kExitOutOfMemory = 3;   // memory ran out
inline constexpr int kExitInformation = 0;   // --help and --version
inline constexpr int kExitGitGoesOn = 0;     // git's external diff, files compared or not: git
                                             // stops at any other status unless it trusts ours
inline constexpr int kExitInterrupted = 130; // Ctrl-C in the view: as the interrupt signal ends it
