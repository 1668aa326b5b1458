// The layouts scripts/bench-wine.sh times, and the DLL's side of its timings.
//   bench_exports keys N          the product key with its values and N keys
//                                 of three values each (a string, a DWORD,
//                                 8 bytes of binary), created afresh; no
//                                 stashed installation directory
//   bench_exports dump FILE       zrHealthLog into FILE
//   bench_exports initialize -a x     UninstInitialize (unattended)
//   bench_exports uninitialize -a x   UninstUnInitialize (unattended)
// The calls print the time the export itself took (QueryPerformanceCounter,
// milliseconds) on standard error; the script times the whole process.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

const char kProductKey[] = "SOFTWARE\\Velmora Software\\Corvane\\1.5";
const char kProductTree[] = "SOFTWARE\\Velmora Software\\Corvane";
// Left by an earlier UninstInitialize; UninstUnInitialize would then look
// for installer logs too.
const char kStashKey[] = "SOFTWARE\\Velmora Software Uninstall";
const char kInstallDir[] = "C:\\Program Files\\Corvane\\";

typedef int (*HealthLog)(const char*, const char*);
typedef LONG(WINAPI* Hook)(HWND, HANDLE, LONG);
typedef void (*AnyFunction)(void);  // converts to every function pointer type

LONG Set(HKEY key, const char* name, DWORD type, const void* data, DWORD size) {
  return RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
}

// Values are created in name order, the order Wine lists them in.
int MakeKeys(long count) {
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, kProductTree);
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, kStashKey);
  HKEY product;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kProductKey, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &product,
                      NULL) != ERROR_SUCCESS)
    return 1;
  LONG status = Set(product, "InstallationDirectory", REG_SZ, kInstallDir, sizeof kInstallDir);
  for (long i = 0; i < count && status == ERROR_SUCCESS; ++i) {
    char name[32];
    snprintf(name, sizeof name, "Key%06ld", i);
    HKEY key;
    status = RegCreateKeyExA(product, name, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL);
    if (status != ERROR_SUCCESS) break;
    const BYTE blob[8] = {1, 2, 3, 4, 5, 6, 7, (BYTE)i};
    DWORD number = (DWORD)i;
    char text[64];
    snprintf(text, sizeof text, "C:\\Program Files\\Corvane\\Jobs\\%s", name);
    status = Set(key, "Blob", REG_BINARY, blob, sizeof blob);
    if (status == ERROR_SUCCESS) status = Set(key, "Count", REG_DWORD, &number, sizeof number);
    if (status == ERROR_SUCCESS) status = Set(key, "Path", REG_SZ, text, (DWORD)strlen(text) + 1);
    RegCloseKey(key);
  }
  RegCloseKey(product);
  if (status != ERROR_SUCCESS) fprintf(stderr, "registry layout failed: %ld\n", status);
  return status == ERROR_SUCCESS ? 0 : 1;
}

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * (double)(to.QuadPart - from.QuadPart) / (double)frequency.QuadPart;
}

AnyFunction Export(HMODULE dll, const char* name) {
  AnyFunction function = (AnyFunction)GetProcAddress(dll, name);
  if (function == NULL) {
    fprintf(stderr, "no export %s\n", name);
    exit(100);
  }
  return function;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && strcmp(argv[1], "keys") == 0) return MakeKeys(atol(argv[2]));
  HMODULE dll = LoadLibraryA("CVNUNIST.dll");
  if (dll == NULL || argc < 2) {
    fprintf(stderr, "usage, or CVNUNIST.dll not loaded (error %lu)\n", GetLastError());
    return 100;
  }
  LARGE_INTEGER start, end;
  int result;
  if (strcmp(argv[1], "dump") == 0 && argc >= 3) {
    HealthLog call = (HealthLog)Export(dll, "zrHealthLog");
    QueryPerformanceCounter(&start);
    result = call(argv[2], "CVNUNIST.dll");
    QueryPerformanceCounter(&end);
  } else if (strcmp(argv[1], "initialize") == 0 || strcmp(argv[1], "uninitialize") == 0) {
    Hook call = (Hook)Export(dll, argv[1][0] == 'i' ? "UninstInitialize" : "UninstUnInitialize");
    QueryPerformanceCounter(&start);
    result = (int)call(NULL, NULL, 0);
    QueryPerformanceCounter(&end);
  } else {
    fprintf(stderr, "unknown call %s\n", argv[1]);
    return 100;
  }
  fprintf(stderr, "%.3f\n", Milliseconds(start, end));
  return result;
}
