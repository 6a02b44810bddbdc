#include "app/program.h"
#ifdef _WIN32
#include "app/windows_start.h"
#endif

int main(int argc, char** argv) {
#ifdef _WIN32
    start_beside_program();
#endif
    return program_main(argc, argv);
}
