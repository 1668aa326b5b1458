/*
 * cvnunist.h - the exports of CVNUNIST.dll, the Corvane uninstall extension
 * and environment check (32-bit, Windows NT 3.51 and 4.0 on Intel).
 *
 * Link with lib/libcvnunist.a (MinGW) or lib/cvnunist.lib (Microsoft linker),
 * or load the DLL with LoadLibraryA and find the exports by the names below
 * with GetProcAddress (the pointer types at the end of this file).
 *
 * Calling conventions: the two uninstaller hooks are WINAPI (__stdcall, the
 * callee removes the arguments); the other four use the C calling convention
 * (__cdecl, the caller removes them). Every export is published under its
 * plain name, without a leading underscore or an "@n" suffix. Calling an
 * export through a declaration of the other convention corrupts the caller's
 * stack: use these declarations. They name both conventions, so a compiler
 * whose own default is __stdcall (/Gz) calls them right too.
 *
 * Strings are ANSI. Run one export at a time, on one thread; only
 * zrPortExists keeps no shared state and may run beside the others.
 *
 * The exports that reach the file system (both hooks, ValidateEnvironment
 * and zrHealthLog) add SEM_FAILCRITICALERRORS to the process error mode while
 * they work: a floppy or CD-ROM drive without a disk fails the call instead
 * of showing the system's "There is no disk in the drive" box. The caller's
 * own mode is set again before they return.
 */
#ifndef CVNUNIST_H
#define CVNUNIST_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Uninstaller hooks (WINAPI) -------------------------------------------
 * The uninstaller calls UninstInitialize when the uninstall starts and
 * UninstUnInitialize when it ends. The three arguments are the ones an
 * uninstaller passes to its extension hooks; neither hook uses them.
 *
 * Both hooks run unattended when the process command line holds "-a "
 * outside double quotes, followed by at least one more character: no dialog
 * is shown, every question counts as Yes and the databases and journals are
 * kept. Otherwise they ask with message boxes owned by the focus window.
 */

/* Stops and deletes the product's services and drivers, deletes the driver
 * files and left-over files of the installation directory, offers to delete
 * the databases and journals, and keeps the installation directory for
 * UninstUnInitialize in a volatile registry key.
 * Returns 0 to let the uninstall proceed, -1 to abort it. */
LONG WINAPI UninstInitialize(HWND dialog, HANDLE instance, LONG reserved);

/* Deletes the product's remaining files and registry trees, then asks to
 * restart Windows NT (unattended: completes the status file "cvnunins.mif"
 * in the Windows directory instead). Always returns 0. */
LONG WINAPI UninstUnInitialize(HWND dialog, HANDLE instance, LONG reserved);

/* ---- Setup's exports (C calling convention) --------------------------------
 * The two report exports reopen the standard output of msvcrt.dll on
 * outputFile, write the report and close it: a caller that uses msvcrt.dll
 * finds its stdout closed after the call.
 *
 * moduleName names a loaded module whose string table holds the report's
 * messages: pass "CVNUNIST.dll". NULL keeps the module of the previous call,
 * at first the process's own program, whose lines then read
 * "***BAD STRING ID***".
 */

/* Report levels (the level argument of ValidateEnvironment) and severities
 * (its result). */
#define CVN_LEVEL_ALL        0  /* everything; severity: information only */
#define CVN_LEVEL_WARNINGS   1  /* warnings and errors; severity: warning */
#define CVN_LEVEL_ERRORS     2  /* errors only; severity: error */

/* flags bit of ValidateEnvironment: examine the target servers. */
#define CVN_VALIDATE_TARGETS 0x0001

/* The short pre-installation validation (operating system, network, the
 * target servers when asked, product compatibility) into outputFile.
 * targets: NULL, or a writable string of host names or dotted addresses, each
 *   followed by one blank ("alpha beta "); the call overwrites every such
 *   blank with '\0'. A name without a blank after it is not examined; a name
 *   of 128 characters or more counts as a target that cannot be reached.
 * Returns the highest severity found (0, 1 or 2), or -1 when outputFile is
 * NULL or cannot be opened. */
int __cdecl ValidateEnvironment(unsigned flags, int level, const char* outputFile,
                                char* targets, const char* moduleName);

/* The full environment report, every section, into outputFile.
 * Always returns 0, whatever the report found. */
int __cdecl zrHealthLog(const char* outputFile, const char* moduleName);

/* Tries a TCP connection to this host's own address (the first address of
 * its name, not loopback) on port (the low 16 bits). Returns 0 when the
 * connection was accepted (the port is in use), else the WinSock error code
 * (WSAECONNREFUSED when nobody listens, the failure of WSAStartup or of the
 * host look-up). */
int __cdecl zrPortExists(int port);

/* Stops the service (its key name, not its display name) and waits up to
 * 65 s for it to stop. Returns 0 when it is
 * stopped, was not running or is not installed; the Win32 error code when
 * opening or stopping it failed; -1 when the Service Control Manager cannot
 * be opened, a status query fails or the service has not stopped in time. */
int __cdecl inEnsureServiceNotRunning(const char* serviceName);

/* ---- Pointer types for GetProcAddress -------------------------------------- */
typedef LONG (WINAPI *CVN_UNINST_HOOK)(HWND dialog, HANDLE instance, LONG reserved);
typedef int (__cdecl *CVN_VALIDATE_ENVIRONMENT)(unsigned flags, int level,
                                                const char* outputFile, char* targets,
                                                const char* moduleName);
typedef int (__cdecl *CVN_HEALTH_LOG)(const char* outputFile, const char* moduleName);
typedef int (__cdecl *CVN_PORT_EXISTS)(int port);
typedef int (__cdecl *CVN_ENSURE_SERVICE_NOT_RUNNING)(const char* serviceName);

#ifdef __cplusplus
}
#endif

#endif /* CVNUNIST_H */
