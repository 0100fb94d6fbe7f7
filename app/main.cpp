#include "app/driver.h"

#include <new>

int main(int argc, char** argv) {
    // Memory that runs out anywhere ends the program one way: "Out of memory", exit code 3.
    std::set_new_handler(endOutOfMemory);
    return runProgram(argc, argv);
}
