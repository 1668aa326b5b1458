/*
 * call_linked.c - calls the six exports of CVNUNIST.dll through its import
 * library and checks that each call leaves the stack pointer where it was.
 *
 *   call_linked -a PORT SERVICE
 *
 * Careful: the two hooks uninstall Corvane from the machine this runs on.
 * "-a" on the command line makes them run unattended (no dialogs, the
 * databases and journals kept). PORT goes to zrPortExists, SERVICE to
 * inEnsureServiceNotRunning; the reports go to health.txt and validate.txt
 * in the current directory. Exit code: the number of calls that moved the
 * stack pointer, or 100 for a wrong command line.
 *
 * MinGW:     gcc -I../include call_linked.c -L../lib -lcvnunist -o call_linked.exe
 * Microsoft: cl /I..\include call_linked.c ..\lib\cvnunist.lib
 */
#include <stdlib.h>
#include <string.h>

#include "cvnunist.h"
#include "call_check.h"

int main(int argc, char** argv)
{
    /* Writable: the validation cuts the names out in place. */
    char targets[] = "localhost ";
    int moved = 0;

    if (argc != 4 || strcmp(argv[1], "-a") != 0) {
        fprintf(stderr, "usage: call_linked -a PORT SERVICE\n");
        return 100;
    }
    CHECKED_CALL("zrHealthLog", zrHealthLog("health.txt", "CVNUNIST.dll"), moved);
    CHECKED_CALL("ValidateEnvironment",
                 ValidateEnvironment(CVN_VALIDATE_TARGETS, CVN_LEVEL_ALL, "validate.txt",
                                     targets, "CVNUNIST.dll"),
                 moved);
    CHECKED_CALL("zrPortExists", zrPortExists(atoi(argv[2])), moved);
    CHECKED_CALL("inEnsureServiceNotRunning", inEnsureServiceNotRunning(argv[3]), moved);
    CHECKED_CALL("UninstInitialize", UninstInitialize(NULL, NULL, 0), moved);
    CHECKED_CALL("UninstUnInitialize", UninstUnInitialize(NULL, NULL, 0), moved);
    return moved;
}
