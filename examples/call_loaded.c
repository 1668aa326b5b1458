/*
 * call_loaded.c - loads CVNUNIST.dll with LoadLibraryA, finds its six
 * exports with GetProcAddress and calls them through the pointer types of
 * cvnunist.h, checking that each call leaves the stack pointer where it was.
 * Needs no import library.
 *
 *   call_loaded -a PORT SERVICE
 *
 * Careful: the two hooks uninstall Corvane from the machine this runs on.
 * "-a" on the command line makes them run unattended (no dialogs, the
 * databases and journals kept). PORT goes to zrPortExists, SERVICE to
 * inEnsureServiceNotRunning; the reports go to health.txt and validate.txt
 * in the current directory. Exit code: the number of calls that moved the
 * stack pointer, 100 for a wrong command line, 101 when the DLL or an export
 * is missing.
 *
 * MinGW:     gcc -I../include call_loaded.c -o call_loaded.exe
 * Microsoft: cl /I..\include call_loaded.c
 */
#include <stdlib.h>
#include <string.h>

#include "cvnunist.h"
#include "call_check.h"

/* GetProcAddress, reported when the export is missing. */
static FARPROC Export(HMODULE dll, const char* name)
{
    FARPROC address = GetProcAddress(dll, name);
    if (address == NULL) fprintf(stderr, "%s not found (error %lu)\n", name, GetLastError());
    return address;
}

int main(int argc, char** argv)
{
    char targets[] = "localhost ";
    int moved = 0;
    HMODULE dll;
    CVN_HEALTH_LOG healthLog;
    CVN_VALIDATE_ENVIRONMENT validateEnvironment;
    CVN_PORT_EXISTS portExists;
    CVN_ENSURE_SERVICE_NOT_RUNNING ensureServiceNotRunning;
    CVN_UNINST_HOOK uninstInitialize;
    CVN_UNINST_HOOK uninstUnInitialize;

    if (argc != 4 || strcmp(argv[1], "-a") != 0) {
        fprintf(stderr, "usage: call_loaded -a PORT SERVICE\n");
        return 100;
    }
    dll = LoadLibraryA("CVNUNIST.dll");
    if (dll == NULL) {
        fprintf(stderr, "CVNUNIST.dll not loaded (error %lu)\n", GetLastError());
        return 101;
    }
    /* Through void (*)(void), which converts to every function pointer type. */
    healthLog = (CVN_HEALTH_LOG)(void (*)(void))Export(dll, "zrHealthLog");
    validateEnvironment =
        (CVN_VALIDATE_ENVIRONMENT)(void (*)(void))Export(dll, "ValidateEnvironment");
    portExists = (CVN_PORT_EXISTS)(void (*)(void))Export(dll, "zrPortExists");
    ensureServiceNotRunning =
        (CVN_ENSURE_SERVICE_NOT_RUNNING)(void (*)(void))Export(dll, "inEnsureServiceNotRunning");
    uninstInitialize = (CVN_UNINST_HOOK)(void (*)(void))Export(dll, "UninstInitialize");
    uninstUnInitialize = (CVN_UNINST_HOOK)(void (*)(void))Export(dll, "UninstUnInitialize");
    if (healthLog == NULL || validateEnvironment == NULL || portExists == NULL ||
        ensureServiceNotRunning == NULL || uninstInitialize == NULL || uninstUnInitialize == NULL) {
        FreeLibrary(dll);
        return 101;
    }

    CHECKED_CALL("zrHealthLog", healthLog("health.txt", "CVNUNIST.dll"), moved);
    CHECKED_CALL("ValidateEnvironment",
                 validateEnvironment(CVN_VALIDATE_TARGETS, CVN_LEVEL_ALL, "validate.txt",
                                     targets, "CVNUNIST.dll"),
                 moved);
    CHECKED_CALL("zrPortExists", portExists(atoi(argv[2])), moved);
    CHECKED_CALL("inEnsureServiceNotRunning", ensureServiceNotRunning(argv[3]), moved);
    CHECKED_CALL("UninstInitialize", uninstInitialize(NULL, NULL, 0), moved);
    CHECKED_CALL("UninstUnInitialize", uninstUnInitialize(NULL, NULL, 0), moved);
    FreeLibrary(dll);
    return moved;
}
