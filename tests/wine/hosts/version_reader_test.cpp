// The file version reader over the real version library: the version
// resources windres built into CVNUNIST.dll and cvncheck.exe, a system
// library of the machine, and files that carry no resource at all.
#include <windows.h>

#include <string.h>

#include "check.h"
#include "readers.h"

namespace {

// A file next to this host; false when the path would not fit.
bool Beside(const char* name, char* path) {
  DWORD length = GetModuleFileNameA(NULL, path, MAX_PATH);
  char* slash = strrchr(path, '\\');
  if (length == 0 || slash == NULL || slash - path + 1 + strlen(name) + 1 > MAX_PATH) return false;
  strcpy(slash + 1, name);
  return true;
}

void CheckOwnResource(const char* name) {
  char path[MAX_PATH];
  if (!CHECK(Beside(name, path))) return;
  char text[VERSION_TEXT_SIZE + 16];
  memset(text, 0x55, sizeof text);
  WORD major = 0, minor = 0, build = 0, revision = 0;
  LONG result = GetFileVersionStrings(path, text, &major, &minor, &build, &revision);
  if (!CHECK_THAT(result == 0, "%s: result %ld", name, result)) return;
  CHECK_STR("V1.5.1 Build 841-0", text);
  CHECK_EQ(1, major);
  CHECK_EQ(5, minor);
  CHECK_EQ(1, build);
  CHECK_EQ(841, revision);
  CHECK_EQ(0x55, static_cast<unsigned char>(text[VERSION_TEXT_SIZE]));
}

}  // namespace

int main() {
  CheckOwnResource("CVNUNIST.dll");
  CheckOwnResource("cvncheck.exe");

  // A library of the machine itself carries a resource with a FileVersion.
  char system[MAX_PATH];
  UINT length = GetSystemDirectoryA(system, MAX_PATH - sizeof "\\kernel32.dll");
  if (CHECK(length > 0 && length < MAX_PATH - sizeof "\\kernel32.dll")) {
    strcat(system, "\\kernel32.dll");
    char text[VERSION_TEXT_SIZE];
    WORD major = 0, minor = 0, build = 0, revision = 0;
    LONG result = GetFileVersionStrings(system, text, &major, &minor, &build, &revision);
    if (CHECK_THAT(result == 0, "kernel32.dll: result %ld", result)) {
      CHECK_THAT(text[0] != '\0', "kernel32.dll has an empty FileVersion");
      CHECK_THAT(major >= 4, "kernel32.dll major version %u", major);
    }
  }

  // Without a version resource: the system's code, and never 0 or -1.
  char text[VERSION_TEXT_SIZE];
  WORD major, minor, build, revision;
  char path[MAX_PATH];
  if (CHECK(Beside("no-such-file.dll", path))) {
    CHECK_EQ(static_cast<LONG>(ERROR_FILE_NOT_FOUND),
             GetFileVersionStrings(path, text, &major, &minor, &build, &revision));
  }
  if (CHECK(Beside("version_reader_test.exe", path))) {
    LONG result = GetFileVersionStrings(path, text, &major, &minor, &build, &revision);
    CHECK_THAT(result > 0, "an executable without version resource gives %ld", result);
  }
  if (CHECK(Beside("version-reader.txt", path))) {
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (CHECK(file != INVALID_HANDLE_VALUE)) {
      DWORD written = 0;
      CHECK(WriteFile(file, "not a program\r\n", 15, &written, NULL));
      CloseHandle(file);
      LONG result = GetFileVersionStrings(path, text, &major, &minor, &build, &revision);
      CHECK_THAT(result > 0, "a text file gives %ld", result);
      DeleteFileA(path);
    }
  }
  return check::Summary();
}
