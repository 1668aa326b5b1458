// The stash: the installation directory carried from the first hook to the
// second in a volatile key that administrators and the system alone may
// change. The second hook believes it only after seeing that for itself: a
// key that a user made, or may still change, would let them choose the
// directory the second hook deletes in.
#include "registry_tree.h"
#include "uninstall_steps.h"

const char kStashParentKey[] = "SOFTWARE";
const char kStashKeyName[] = "Velmora Software Uninstall";
const char kStashKey[] = "SOFTWARE\\Velmora Software Uninstall";

// Security identifiers in their documented layout (revision 1, the count of
// sub-authorities, the NT authority 5 in six big-endian bytes, then the
// sub-authorities) as little-endian DWORDs.
static const DWORD kAdministratorsSid[] = {0x00000201, 0x05000000, 32, 544};  // S-1-5-32-544
static const DWORD kLocalSystemSid[] = {0x00000101, 0x05000000, 18};          // S-1-5-18

// An entry of an access list is its header and mask, then its SID.
enum { ACE_FIXED_SIZE = sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) };
enum {
  STASH_ACL_SIZE = sizeof(ACL) + 2 * ACE_FIXED_SIZE + sizeof kAdministratorsSid + sizeof kLocalSystemSid
};
// Room for the stash's owner and access list as the system reports them,
// with the entries a newer system adds from the parent; a larger one is
// not believed.
enum { STASH_SECURITY_SIZE = 1024 };
// Room for the token's default owner: the pointer and a SID of at most 15
// sub-authorities.
enum { TOKEN_OWNER_SIZE = sizeof(TOKEN_OWNER) + 8 + 15 * sizeof(DWORD) };

// Rights that change the key, what it holds or who may do so.
static const DWORD kChangeRights = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | DELETE |
                                   WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;
// Asked for as a lasting subkey, which a volatile key refuses.
static const char kVolatileProbe[] = "Probe";

// Windows 2000 and later merge the parent's inheritable entries (SOFTWARE
// lets Power Users change its subkeys) into a list given at creation unless
// the descriptor says it is protected; the call that says so is theirs, and
// earlier systems merge nothing.
typedef BOOL(WINAPI* SetControlCall)(PSECURITY_DESCRIPTOR, SECURITY_DESCRIPTOR_CONTROL,
                                     SECURITY_DESCRIPTOR_CONTROL);
static const char kSecurityLibrary[] = "advapi32.dll";
static const char kSetControl[] = "SetSecurityDescriptorControl";

static int ProtectAccessList(SECURITY_DESCRIPTOR* descriptor) {
  HMODULE library = GetModuleHandleA(kSecurityLibrary);
  // Through the generic function type, which converts to any other.
  SetControlCall setControl =
      library ? (SetControlCall)(void (*)(void))GetProcAddress(library, kSetControl) : NULL;
  return setControl == NULL || setControl(descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
}

// Administrators and the system have full control, nobody else any access.
static int AdministratorsOnly(SECURITY_DESCRIPTOR* descriptor, ACL* acl) {
  return InitializeSecurityDescriptor(descriptor, SECURITY_DESCRIPTOR_REVISION) &&
         InitializeAcl(acl, STASH_ACL_SIZE, ACL_REVISION) &&
         AddAccessAllowedAce(acl, ACL_REVISION, KEY_ALL_ACCESS, (PSID)kAdministratorsSid) &&
         AddAccessAllowedAce(acl, ACL_REVISION, KEY_ALL_ACCESS, (PSID)kLocalSystemSid) &&
         SetSecurityDescriptorDacl(descriptor, TRUE, acl, FALSE) && ProtectAccessList(descriptor);
}

void StashInstallDir(void) {
  // Without a directory to store, a stash there is kept: a rerun after the
  // uninstaller removed the product key still needs the one stored before.
  char* directory = ReadInstallDir();
  if (directory == NULL) return;
  // The second hook deletes where the stash says: only the product's own. A
  // directory without a program file is not stored, and a stash made when it
  // still had one is kept for the same reason as above.
  if (!IsProductDirectory(directory)) {
    free(directory);
    return;
  }
  // A stash key there already was made by someone else, maybe a user who
  // kept the right to change it: it goes, and the stash is made anew.
  DeleteRegistryTree(HKEY_LOCAL_MACHINE, kStashKey);
  SECURITY_DESCRIPTOR descriptor;
  DWORD acl[(STASH_ACL_SIZE + sizeof(DWORD) - 1) / sizeof(DWORD)];
  SECURITY_ATTRIBUTES security = {sizeof security, &descriptor, FALSE};
  HKEY software;
  if (AdministratorsOnly(&descriptor, (ACL*)acl) &&
      RegOpenKeyExA(HKEY_LOCAL_MACHINE, kStashParentKey, 0, KEY_CREATE_SUB_KEY, &software) ==
          ERROR_SUCCESS) {
    HKEY stash;
    DWORD disposition;
    if (RegCreateKeyExA(software, kStashKeyName, 0, NULL, REG_OPTION_VOLATILE, KEY_SET_VALUE,
                        &security, &stash, &disposition) == ERROR_SUCCESS) {
      // One that could not be deleted is not ours to write into.
      if (disposition == REG_CREATED_NEW_KEY)
        RegSetValueExA(stash, kInstallDirValue, 0, REG_SZ, (const BYTE*)directory,
                       (DWORD)strlen(directory) + 1);
      RegCloseKey(stash);
    }
    RegCloseKey(software);
  }
  free(directory);
}

static size_t SidLength(const BYTE* sid) { return 8 + 4 * (size_t)sid[1]; }

// 1 when `sid`, with `room` bytes from it on, is `wanted` (`size` bytes).
static int IsSid(const BYTE* sid, size_t room, const DWORD* wanted, size_t size) {
  return room >= size && memcmp(sid, wanted, size) == 0;
}

static int IsAdministration(const BYTE* sid, size_t room) {
  return IsSid(sid, room, kAdministratorsSid, sizeof kAdministratorsSid) ||
         IsSid(sid, room, kLocalSystemSid, sizeof kLocalSystemSid);
}

// 1 when `sid` owns what this process makes: on some systems that is the
// administrator's own account, not the Administrators group.
static int IsOwnDefaultOwner(const BYTE* sid, size_t room) {
  HANDLE token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return 0;
  union {
    TOKEN_OWNER owner;
    BYTE bytes[TOKEN_OWNER_SIZE];
  } info;
  DWORD length;
  int same = 0;
  if (GetTokenInformation(token, TokenOwner, &info, sizeof info, &length) && length <= sizeof info) {
    const BYTE* own = (const BYTE*)info.owner.Owner;
    const BYTE* end = info.bytes + length;
    same = own >= info.bytes && own + 8 <= end && own + SidLength(own) <= end &&
           room >= SidLength(own) && memcmp(sid, own, SidLength(own)) == 0;
  }
  CloseHandle(token);
  return same;
}

// 1 when an entry of an access list lets someone other than the
// administrators, the system or the key's verified owner (`owner`, whose
// SID has `ownerSize` bytes; it may change the list anyway) change the key,
// or is of a kind not known here; `room` bytes of the list remain from the
// entry on.
static int EntryLetsOthersChange(const ACCESS_ALLOWED_ACE* entry, size_t room, const BYTE* owner,
                                 size_t ownerSize) {
  if (entry->Header.AceType == ACCESS_DENIED_ACE_TYPE) return 0;
  if (entry->Header.AceType != ACCESS_ALLOWED_ACE_TYPE) return 1;
  if ((entry->Header.AceFlags & INHERIT_ONLY_ACE) || !(entry->Mask & kChangeRights)) return 0;
  const BYTE* sid = (const BYTE*)&entry->SidStart;
  room -= ACE_FIXED_SIZE;
  return !IsAdministration(sid, room) && !(room >= ownerSize && memcmp(sid, owner, ownerSize) == 0);
}

// 1 when the open stash may be changed by the administrators and the system
// alone: one of them (or whoever owns what this process makes) owns it, and
// its access list gives nobody else a right to change it.
static int OnlyAdministratorsMayChange(HKEY stash) {
  DWORD buffer[STASH_SECURITY_SIZE / sizeof(DWORD)];
  DWORD size = sizeof buffer;
  if (RegGetKeySecurity(stash, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, buffer,
                        &size) != ERROR_SUCCESS ||
      size > sizeof buffer || size < sizeof(SECURITY_DESCRIPTOR_RELATIVE))
    return 0;
  const BYTE* bytes = (const BYTE*)buffer;
  const SECURITY_DESCRIPTOR_RELATIVE* header = (const SECURITY_DESCRIPTOR_RELATIVE*)buffer;
  // Without an access list everyone may do everything.
  if (!(header->Control & SE_SELF_RELATIVE) || !(header->Control & SE_DACL_PRESENT) ||
      header->Owner == 0 || header->Owner > size - 8 || header->Dacl == 0 ||
      header->Dacl > size - sizeof(ACL))
    return 0;
  const BYTE* owner = bytes + header->Owner;
  size_t ownerSize = SidLength(owner);
  if (ownerSize > size - header->Owner ||
      (!IsAdministration(owner, size - header->Owner) && !IsOwnDefaultOwner(owner, size - header->Owner)))
    return 0;
  const ACL* acl = (const ACL*)(bytes + header->Dacl);
  if (acl->AclSize > size - header->Dacl) return 0;
  size_t at = sizeof(ACL);
  for (WORD i = 0; i < acl->AceCount; ++i) {
    const ACCESS_ALLOWED_ACE* entry = (const ACCESS_ALLOWED_ACE*)((const BYTE*)acl + at);
    if (at + sizeof(ACCESS_ALLOWED_ACE) > acl->AclSize || entry->Header.AceSize < sizeof *entry ||
        entry->Header.AceSize > acl->AclSize - at ||
        EntryLetsOthersChange(entry, entry->Header.AceSize, owner, ownerSize))
      return 0;
    at += entry->Header.AceSize;
  }
  return 1;
}

// A volatile key refuses a lasting subkey: the one way Windows NT 3.51 can
// tell. One made all the same is taken away again.
static int IsVolatile(HKEY stash) {
  HKEY probe;
  DWORD disposition;
  LONG status = RegCreateKeyExA(stash, kVolatileProbe, 0, NULL, REG_OPTION_NON_VOLATILE,
                                KEY_QUERY_VALUE, NULL, &probe, &disposition);
  if (status == ERROR_SUCCESS) {
    RegCloseKey(probe);
    if (disposition == REG_CREATED_NEW_KEY) RegDeleteKeyA(stash, kVolatileProbe);
  }
  return status == ERROR_CHILD_MUST_BE_VOLATILE;
}

char* ReadStashedInstallDir(void) {
  HKEY stash;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kStashKey, 0,
                    KEY_QUERY_VALUE | KEY_CREATE_SUB_KEY | READ_CONTROL, &stash) != ERROR_SUCCESS)
    return NULL;
  char* directory = NULL;
  if (OnlyAdministratorsMayChange(stash) && IsVolatile(stash))
    ReadStringValue(stash, kInstallDirValue, &directory);
  RegCloseKey(stash);
  return directory;
}
