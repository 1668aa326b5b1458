// Control API of the simulated registry: tests arrange keys and values with
// it and read back what the product left. Roots are HKEY_LOCAL_MACHINE and
// HKEY_CURRENT_USER; paths are backslash-separated and, like every registry
// name, compared without regard to case. These calls are never counted and
// never fail by injection. A fresh machine holds HKLM\HARDWARE, SAM,
// SECURITY, SOFTWARE, SYSTEM and HKCU\Software, all without values.
#pragma once

#include "win32_api.h"

#include <optional>
#include <string>
#include <vector>

namespace sim {

struct RegValue {
  DWORD type;
  std::string data;  // the stored bytes, exactly
};

// Creates the key and its missing ancestors with the given volatility.
// A non-volatile key under a volatile one is refused (std::logic_error).
void CreateKey(HKEY root, const std::string& path, bool isVolatile = false);
// The same for names beyond the code page, given in UTF-16.
void CreateKey(HKEY root, const std::u16string& path, bool isVolatile = false);

// The setters create a missing key (volatile when its nearest existing
// ancestor is). SetValue stores REG_SZ, REG_EXPAND_SZ and REG_MULTI_SZ text
// with one terminating NUL added, any other type byte for byte;
// SetRawValue stores the bytes exactly (e.g. a string without its NUL).
void SetValue(HKEY root, const std::string& path, const std::string& name, DWORD type,
              const std::string& data);
void SetRawValue(HKEY root, const std::string& path, const std::string& name, DWORD type,
                 const std::string& bytes);
void SetDword(HKEY root, const std::string& path, const std::string& name, DWORD value);
// Each string with its NUL, then the empty string that ends the list.
void SetMultiString(HKEY root, const std::string& path, const std::string& name,
                    const std::vector<std::string>& strings);

bool KeyExists(HKEY root, const std::string& path);
bool KeyExists(HKEY root, const std::u16string& path);
bool IsVolatileKey(HKEY root, const std::string& path);
// An empty name is the key's default value.
std::optional<RegValue> GetValue(HKEY root, const std::string& path, const std::string& name);
// The value's bytes up to its first NUL; empty when it is missing.
std::string GetString(HKEY root, const std::string& path, const std::string& name);
// Direct subkeys in enumeration order (sorted without regard to case) and
// value names in creation order, with the letter case they were created in.
// The ANSI forms are converted as the ANSI calls convert (best fit, '?').
std::vector<std::string> Subkeys(HKEY root, const std::string& path);
std::vector<std::u16string> Subkeys(HKEY root, const std::u16string& path);
std::vector<std::string> ValueNames(HKEY root, const std::string& path);

// Removes a key with everything below it (nothing when it is missing).
void DeleteKeyTree(HKEY root, const std::string& path);
// Makes every attempt to open or create (open) the key, or delete it, fail
// with ERROR_ACCESS_DENIED, as a key whose security shuts the user out.
void DenyKeyAccess(HKEY root, const std::string& path, bool deny = true);
// A system that takes REG_OPTION_OPEN_LINK for an unknown option:
// RegOpenKeyExA given it fails with ERROR_INVALID_PARAMETER, as a Windows
// before XP might, instead of ignoring it. Off on a fresh machine.
void RefuseOpenLinkOption(bool refuse = true);

}  // namespace sim
