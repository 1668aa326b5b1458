// cvncheck.exe: the environment check from a console, on this machine.
#include "entry_points.h"

int main(int argc, char** argv) { return RunEnvironmentCheck(argc, argv); }
