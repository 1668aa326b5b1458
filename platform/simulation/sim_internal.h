// Shared plumbing of the simulation's areas: handle values, fault checks,
// reset hooks and the redirected standard output's file hooks.
#pragma once

#include "sim.h"

#include <optional>
#include <string>

namespace sim::detail {

// Every simulated call starts here: counts the call and tells whether a
// scripted failure is due, with its error code.
bool ShouldFail(const char* api, DWORD* error);

// Handle values: unique, never null, never INVALID_HANDLE_VALUE.
uintptr_t NewHandle(HandleKind kind);
// Releases a handle of that kind; false when it is not an open handle of it.
bool ReleaseHandle(HandleKind kind, uintptr_t value);
bool IsOpen(HandleKind kind, uintptr_t value);

// Each area returns to a fresh machine; sim::Reset calls them all.
void ResetRegistry();
void ResetFiles();
void ResetServices();
void ResetPrivileges();
void ResetSysinfo();
void ResetEventLog();
void ResetNetwork();
void ResetCodePage();
void ResetModules();
void ResetSecurity();

// What each area does at a simulated restart; sim::Reboot calls them all.
void RebootRegistry();
void RebootServices();
void RebootFiles();

// References that loaded libraries hold, for the handle accounting.
int LibraryReferences();
// The handle of a system library the product imports (loaded with it), or
// 0 for another name (lower case, with its extension).
uintptr_t ResidentModule(const std::string& lowerName);
// What GetSystemDirectoryA reports, for the areas that place system files.
const std::string& SystemDirectoryPath();

// Security of keys, for the registry area: the token's default owner, the
// access list of a key made without a descriptor, the access list a
// descriptor carries (false when it carries none; a null list is nullopt),
// and a key's security in the form RegGetKeySecurity returns.
const std::string& TokenOwnerSid();
std::string NewKeyAccessList();
bool CapturedAccessList(const SECURITY_ATTRIBUTES* attributes, std::optional<std::string>* dacl);
// From Windows 2000: a list given at creation, own entries first, then the
// parent's inheritable ones (INHERITED_ACE), CREATOR OWNER's for `creator`;
// not for a descriptor marked SE_DACL_PROTECTED.
std::string WithInherited(const std::string& own, const std::optional<std::string>& parent,
                          const std::string& creator);
bool IsProtected(const SECURITY_ATTRIBUTES* attributes);
// SOFTWARE's access list follows the simulated version (sim::SetOsVersion).
void ApplySoftwareAccessList(DWORD majorVersion);
std::string SelfRelative(const KeySecurity& security, SECURITY_INFORMATION wanted);

// Removes a value, for areas that keep records in the registry (no-op when
// the key or value is missing).
void RemoveRegistryValue(HKEY root, const std::string& path, const std::string& name);

// CloseHandle dispatches to the area that owns the handle's kind.
bool CloseFileHandle(uintptr_t value);
bool CloseTokenHandle(uintptr_t value);

// Counted heap blocks (for LocalAlloc and the simulation's own hand-outs).
void* CountedAlloc(size_t size);
bool CountedFree(void* block);
size_t CountedSize(void* block);

// Whether the simulated Windows version knows reparse points (2000 and later).
bool KnowsReparsePoints();
// Whether the simulated system is Windows NT major.minor or later.
bool VersionAtLeast(DWORD major, DWORD minor);
// The lower-case name of a module GetModuleHandleA hands out ("kernel32.dll"),
// empty for the host or an unknown handle.
std::string ModuleName(HMODULE module);
// The simulated version's major number.
DWORD MajorVersion();

// Does this byte start a character of two bytes in the code page in force?
bool IsLeadByte(unsigned char c);
// Bytes of the character at text: 2, 1, or 0 at the NUL.
size_t CharacterSize(const char* text);
// The offset of the character after the one at `at` (never past the end).
size_t NextCharacter(const std::string& text, size_t at);
// The first (from `start`) or last character of text that is one of
// `separators`, or npos; the second byte of a character is never one.
size_t FindSeparator(const std::string& text, size_t start, const char* separators);
size_t FindLastSeparator(const std::string& text, const char* separators);
// The ANSI code page in force (no call counted).
UINT CurrentCodePage();
// UTF-8 as the ANSI code page (Windows 10 1903 and later may be set so).
constexpr UINT kUtf8CodePage = 65001;
// Names as Windows keeps them, UTF-16, and as the ANSI calls of the code
// page in force give and take them (sim_conversion.cpp). ToUnicode is what
// MultiByteToWideChar(CP_ACP, 0) makes of the bytes; ToAnsi what
// WideCharToMultiByte(CP_ACP, 0) makes of the name: a character the page
// lacks becomes its best fit where Windows' tables have one, else '?'
// (*usedDefault then true).
std::u16string ToUnicode(const std::string& ansi);
std::string ToAnsi(const std::u16string& text, bool* usedDefault = nullptr, bool bestFit = true);
// Whether the name comes back the same through the ANSI calls.
bool SurvivesAnsi(const std::u16string& text);
// UTF-8 spellings for tests and the control API; a lone surrogate keeps
// its own three bytes.
std::u16string FromUtf8(const std::string& utf8);
std::string ToUtf8(const std::u16string& text);
// WCHAR is wider here than on Windows: each holds one UTF-16 unit.
std::u16string FromWide(const WCHAR* text, size_t length);
std::u16string FromWide(const WCHAR* text);
std::wstring ToWide(const std::u16string& text);
// The files and the registry keep names in UTF-8 (the form above): from the
// ANSI bytes the A calls take, from a wide name, and back to what the A calls
// hand out (best fit unless told otherwise); Units counts UTF-16 units, as
// Windows' length limits do.
std::string KeptFromAnsi(const std::string& ansi);
std::string KeptFromWide(const WCHAR* text);
std::string AnsiFromKept(const std::string& kept, bool bestFit = true);
size_t Units(const std::string& kept);

// Letters of one byte folded by `fold`; characters of two bytes stay.
std::string FoldCase(std::string text, int (*fold)(int));
// The user's locale, and a UTF-16 text in the bytes of an ANSI code page.
const UserLocale& CurrentUserLocale();
std::string ToCodePage(const std::u16string& text, UINT codePage);

// A call that reached a drive without a disk: the critical-error box unless
// the process fails critical errors (sim::ErrorMode). True for such a drive.
bool DriveWithoutDisk(char letter);
void ShowNoDiskBox(UINT driveType);

// Case-insensitive ASCII comparison, as Windows compares names.
bool EqualsNoCase(const std::string& a, const std::string& b);
std::string Lower(std::string text);

// Files, for a standard output reopened on a file. Implemented by the file
// system area. CreateForWrite makes or truncates the file; false with a
// Win32 error when the path cannot be written.
bool FileCreateForWrite(const std::string& path, DWORD* error);
void FileAppend(const std::string& path, const std::string& bytes);

// The version resource a file carries, for the version area: false with
// the Win32 error for a missing file, ERROR_RESOURCE_TYPE_NOT_FOUND when it
// is an image ("MZ") without one, ERROR_RESOURCE_DATA_NOT_FOUND when it is
// no image at all.
bool FileVersionResource(const std::string& path, std::string* block, DWORD* error);
void SetFileVersionResource(const std::string& path, const std::string& block);

}  // namespace sim::detail
