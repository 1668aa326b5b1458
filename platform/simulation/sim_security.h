// Control API of simulated security: SIDs as their bytes, access lists of
// allow entries, the security of keys and the token's default owner. The
// product runs as an administrator and is never refused by a key's access
// list; tests ask instead what a user who is no administrator could do.
// After Reset the token's default owner is Administrators, and a key made
// without a security descriptor (by the product or the control API) is
// owned by Administrators with the access list of Windows NT 4.0's SOFTWARE
// key: Everyone may read, set values, create subkeys and delete.
// From version 5 (SetOsVersion) SOFTWARE itself has the access list Windows
// 2000 and XP ship (SoftwareAccessList2000), and a key created with an
// access list that is not protected (SE_DACL_PROTECTED) receives its
// parent's inheritable entries after its own, marked INHERITED_ACE, with
// CREATOR OWNER's given to the creator (the token's default owner), as
// those systems do; SetSecurityDescriptorControl exists from version 5.
#pragma once

#include "win32_api.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace sim {

std::string AdministratorsSid();  // S-1-5-32-544
std::string LocalSystemSid();     // S-1-5-18
std::string EveryoneSid();        // S-1-1-0
std::string UsersSid();           // S-1-5-32-545
std::string PowerUsersSid();    // S-1-5-32-547
std::string CreatorOwnerSid();  // S-1-3-0
// A user who is no administrator: S-1-5-21-1-2-3-1000.
std::string UserSid();

// An access list (ACL_REVISION) of allow entries: SID and rights, in order.
std::string AllowList(const std::vector<std::pair<std::string, DWORD>>& entries);

// An access list of allow entries with their inheritance flags.
struct AccessEntry {
  std::string sid;
  DWORD rights;
  BYTE flags;
};
std::string AccessList(const std::vector<AccessEntry>& entries);
// SOFTWARE as Windows 2000 and XP install it: Users read, Power Users read,
// set values, create subkeys and delete, Administrators and the system full
// control, all for the key and its subkeys; CREATOR OWNER full control of
// subkeys only.
std::string SoftwareAccessList2000();

// What a key's security is: its owner, and its access list (none: everyone
// may do everything).
struct KeySecurity {
  std::string owner;
  std::optional<std::string> dacl;
};
// Owned by Administrators, who with the system alone have any access: the
// security the first hook gives its stash.
KeySecurity AdministratorsOnly();
KeySecurity GetKeySecurity(HKEY root, const std::string& path);
void SetKeySecurity(HKEY root, const std::string& path, const KeySecurity& security);
// Could a user who is no administrator (Everyone, Users, Power Users and
// UserSid) change
// the key: set a value, add a subkey or link, delete it or change its
// security? They can when they own it or an allow entry that applies to the
// key itself grants them such a right.
bool UserMayChange(HKEY root, const std::string& path);

// A registry link at `path`: a key whose SymbolicLinkValue (REG_LINK)
// names `target`. Opening a path through it reaches the target, unless the
// link is the last name and REG_OPTION_OPEN_LINK is given; RegDeleteKeyA
// by its name deletes the target, as on Windows.
void MakeRegistryLink(HKEY root, const std::string& path, HKEY targetRoot, const std::string& target);

// The owner GetTokenInformation(TokenOwner) reports and new keys get.
void SetTokenOwner(const std::string& sid);

}  // namespace sim
