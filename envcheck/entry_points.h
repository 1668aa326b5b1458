// Ways into the environment check: the cvncheck command line and setup's exports.
#pragma once

#include "platform.h"

// The whole report driven by a cvncheck argument vector: 0, 1 or 2 by the
// problems found, -1 for a bad "-out" or an output file that cannot be opened.
int RunEnvironmentCheck(int argc, char** argv);

#ifdef __cplusplus
extern "C" {
#endif

// The full report at level 0 into `outputFile`; always 0.
int zrHealthLog(const char* outputFile, const char* moduleName);
// Pre-installation validation into `outputFile`: the highest severity, or -1.
int ValidateEnvironment(unsigned flags, int level, const char* outputFile, char* targets,
                        const char* moduleName);
// 0 when a TCP connection to this host's own address on `port` is accepted,
// else a WinSock error code.
int zrPortExists(int port);

#ifdef __cplusplus
}
#endif
