// Security descriptors and access lists in their Windows layouts, the
// token's default owner, and the evaluation of what a user who is no
// administrator may do to a key.
#include "sim_internal.h"

#include <cstring>

namespace sim {
namespace {

// revision 1, sub-authority count, six big-endian authority bytes, then the
// sub-authorities in little-endian.
std::string Sid(BYTE authority, const std::vector<DWORD>& subAuthorities) {
  std::string sid = {1, static_cast<char>(subAuthorities.size()), 0, 0, 0, 0, 0, static_cast<char>(authority)};
  for (DWORD value : subAuthorities) {
    for (int i = 0; i < 4; ++i) sid += static_cast<char>((value >> (8 * i)) & 0xFF);
  }
  return sid;
}

size_t SidLength(const void* sid) { return 8 + 4 * static_cast<size_t>(static_cast<const BYTE*>(sid)[1]); }

struct SecurityState {
  std::string tokenOwner = AdministratorsSid();
};

SecurityState& Security() {
  static SecurityState state;
  return state;
}

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

WORD ReadWord(const std::string& bytes, size_t at) {
  return static_cast<WORD>(static_cast<BYTE>(bytes[at]) | (static_cast<BYTE>(bytes[at + 1]) << 8));
}
DWORD ReadDword(const std::string& bytes, size_t at) {
  return static_cast<DWORD>(ReadWord(bytes, at)) | (static_cast<DWORD>(ReadWord(bytes, at + 2)) << 16);
}

constexpr DWORD kChangeRights = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | DELETE | WRITE_DAC |
                                WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

}  // namespace

std::string AdministratorsSid() { return Sid(5, {32, 544}); }
std::string LocalSystemSid() { return Sid(5, {18}); }
std::string EveryoneSid() { return Sid(1, {0}); }
std::string UsersSid() { return Sid(5, {32, 545}); }
std::string UserSid() { return Sid(5, {21, 1, 2, 3, 1000}); }
std::string PowerUsersSid() { return Sid(5, {32, 547}); }
std::string CreatorOwnerSid() { return Sid(3, {0}); }

std::string AccessList(const std::vector<AccessEntry>& entries) {
  std::string aces;
  for (const auto& entry : entries) {
    WORD size = static_cast<WORD>(8 + entry.sid.size());
    std::string ace = {ACCESS_ALLOWED_ACE_TYPE, static_cast<char>(entry.flags), static_cast<char>(size & 0xFF),
                       static_cast<char>(size >> 8)};
    for (int i = 0; i < 4; ++i) ace += static_cast<char>((entry.rights >> (8 * i)) & 0xFF);
    aces += ace + entry.sid;
  }
  WORD total = static_cast<WORD>(sizeof(ACL) + aces.size());
  WORD count = static_cast<WORD>(entries.size());
  std::string acl = {ACL_REVISION, 0, static_cast<char>(total & 0xFF), static_cast<char>(total >> 8),
                     static_cast<char>(count & 0xFF), static_cast<char>(count >> 8), 0, 0};
  return acl + aces;
}

std::string AllowList(const std::vector<std::pair<std::string, DWORD>>& entries) {
  std::vector<AccessEntry> plain;
  for (const auto& entry : entries) plain.push_back({entry.first, entry.second, 0});
  return AccessList(plain);
}

std::string SoftwareAccessList2000() {
  constexpr DWORD kPowerUsers = KEY_READ | KEY_SET_VALUE | KEY_CREATE_SUB_KEY | DELETE;
  return AccessList({{UsersSid(), KEY_READ, CONTAINER_INHERIT_ACE},
                     {PowerUsersSid(), kPowerUsers, CONTAINER_INHERIT_ACE},
                     {AdministratorsSid(), KEY_ALL_ACCESS, CONTAINER_INHERIT_ACE},
                     {LocalSystemSid(), KEY_ALL_ACCESS, CONTAINER_INHERIT_ACE},
                     {CreatorOwnerSid(), KEY_ALL_ACCESS, CONTAINER_INHERIT_ACE | INHERIT_ONLY_ACE}});
}

KeySecurity AdministratorsOnly() {
  return KeySecurity{AdministratorsSid(),
                     AllowList({{AdministratorsSid(), KEY_ALL_ACCESS}, {LocalSystemSid(), KEY_ALL_ACCESS}})};
}

bool UserMayChange(HKEY root, const std::string& path) {
  KeySecurity security = GetKeySecurity(root, path);
  if (security.owner == UserSid() || !security.dacl) return true;
  const std::string& acl = *security.dacl;
  size_t at = sizeof(ACL);
  for (WORD i = 0; i < ReadWord(acl, 4) && at + 8 <= acl.size(); ++i) {
    BYTE type = static_cast<BYTE>(acl[at]);
    BYTE flags = static_cast<BYTE>(acl[at + 1]);
    WORD size = ReadWord(acl, at + 2);
    std::string sid = acl.substr(at + 8, size - 8);
    bool user = sid == EveryoneSid() || sid == UsersSid() || sid == PowerUsersSid() || sid == UserSid() ||
                sid == Sid(5, {11});
    if (type == ACCESS_ALLOWED_ACE_TYPE && !(flags & INHERIT_ONLY_ACE) && user &&
        (ReadDword(acl, at + 4) & kChangeRights))
      return true;
    at += size;
  }
  return false;
}

void SetTokenOwner(const std::string& sid) { Security().tokenOwner = sid; }

namespace detail {

void ResetSecurity() { Security() = SecurityState{}; }

const std::string& TokenOwnerSid() { return Security().tokenOwner; }

std::string NewKeyAccessList() {
  return AllowList({{EveryoneSid(), KEY_READ | KEY_SET_VALUE | KEY_CREATE_SUB_KEY | DELETE},
                    {AdministratorsSid(), KEY_ALL_ACCESS},
                    {LocalSystemSid(), KEY_ALL_ACCESS}});
}

std::string WithInherited(const std::string& own, const std::optional<std::string>& parent,
                          const std::string& creator) {
  std::vector<std::string> aces;
  for (size_t at = sizeof(ACL), i = 0; i < ReadWord(own, 4) && at + 4 <= own.size(); ++i) {
    aces.push_back(own.substr(at, ReadWord(own, at + 2)));
    at += ReadWord(own, at + 2);
  }
  if (parent) {
    const std::string& list = *parent;
    for (size_t at = sizeof(ACL), i = 0; i < ReadWord(list, 4) && at + 8 <= list.size(); ++i) {
      WORD size = ReadWord(list, at + 2);
      std::string ace = list.substr(at, size);
      at += size;
      BYTE flags = static_cast<BYTE>(ace[1]);
      if (!(flags & CONTAINER_INHERIT_ACE)) continue;
      // A key inherits it for itself and passes it on to its own subkeys.
      ace[1] = static_cast<char>((flags & ~INHERIT_ONLY_ACE) | INHERITED_ACE);
      if (ace.substr(8) == CreatorOwnerSid()) {
        // The creator receives the rights; CREATOR OWNER stays for subkeys.
        std::string own = ace.substr(0, 8) + creator;
        own[1] = static_cast<char>(INHERITED_ACE);
        own[2] = static_cast<char>(own.size() & 0xFF);
        own[3] = static_cast<char>(own.size() >> 8);
        aces.push_back(own);
        ace[1] = static_cast<char>(flags | INHERIT_ONLY_ACE | INHERITED_ACE);
      }
      aces.push_back(ace);
    }
  }
  std::string body;
  for (const std::string& ace : aces) body += ace;
  WORD total = static_cast<WORD>(sizeof(ACL) + body.size());
  WORD count = static_cast<WORD>(aces.size());
  std::string acl = {ACL_REVISION, 0, static_cast<char>(total & 0xFF), static_cast<char>(total >> 8),
                     static_cast<char>(count & 0xFF), static_cast<char>(count >> 8), 0, 0};
  return acl + body;
}

bool IsProtected(const SECURITY_ATTRIBUTES* attributes) {
  return attributes && attributes->lpSecurityDescriptor &&
         (static_cast<const SECURITY_DESCRIPTOR*>(attributes->lpSecurityDescriptor)->Control & SE_DACL_PROTECTED);
}

bool CapturedAccessList(const SECURITY_ATTRIBUTES* attributes, std::optional<std::string>* dacl) {
  if (!attributes || !attributes->lpSecurityDescriptor) return false;
  const auto* descriptor = static_cast<const SECURITY_DESCRIPTOR*>(attributes->lpSecurityDescriptor);
  if (!(descriptor->Control & SE_DACL_PRESENT)) return false;
  if (!descriptor->Dacl) {
    dacl->reset();
  } else {
    *dacl = std::string(reinterpret_cast<const char*>(descriptor->Dacl), descriptor->Dacl->AclSize);
  }
  return true;
}

std::string SelfRelative(const KeySecurity& security, SECURITY_INFORMATION wanted) {
  std::string header(sizeof(SECURITY_DESCRIPTOR_RELATIVE), '\0');
  SECURITY_DESCRIPTOR_RELATIVE fields{};
  fields.Revision = SECURITY_DESCRIPTOR_REVISION;
  fields.Control = SE_SELF_RELATIVE;
  std::string body;
  if (wanted & OWNER_SECURITY_INFORMATION) {
    fields.Owner = static_cast<DWORD>(header.size() + body.size());
    body += security.owner;
  }
  if (wanted & DACL_SECURITY_INFORMATION) {
    fields.Control |= SE_DACL_PRESENT;
    if (security.dacl) {
      fields.Dacl = static_cast<DWORD>(header.size() + body.size());
      body += *security.dacl;
    }
  }
  std::memcpy(&header[0], &fields, sizeof fields);
  return header + body;
}

}  // namespace detail
}  // namespace sim

namespace detail = sim::detail;

extern "C" {

BOOL WINAPI InitializeSecurityDescriptor(PSECURITY_DESCRIPTOR pSecurityDescriptor, DWORD dwRevision) {
  DWORD error;
  if (detail::ShouldFail("InitializeSecurityDescriptor", &error)) return sim::Fail(error);
  if (dwRevision != SECURITY_DESCRIPTOR_REVISION) return sim::Fail(1305);  // ERROR_UNKNOWN_REVISION
  SECURITY_DESCRIPTOR fresh{};
  fresh.Revision = SECURITY_DESCRIPTOR_REVISION;
  *static_cast<SECURITY_DESCRIPTOR*>(pSecurityDescriptor) = fresh;
  return TRUE;
}

BOOL WINAPI InitializeAcl(PACL pAcl, DWORD nAclLength, DWORD dwAclRevision) {
  DWORD error;
  if (detail::ShouldFail("InitializeAcl", &error)) return sim::Fail(error);
  if (nAclLength < sizeof(ACL) || nAclLength > 0xFFFF) return sim::Fail(ERROR_INSUFFICIENT_BUFFER);
  if (dwAclRevision != ACL_REVISION) return sim::Fail(ERROR_INVALID_PARAMETER);
  *pAcl = ACL{ACL_REVISION, 0, static_cast<WORD>(nAclLength & ~3u), 0, 0};
  return TRUE;
}

BOOL WINAPI AddAccessAllowedAce(PACL pAcl, DWORD dwAceRevision, DWORD AccessMask, PSID pSid) {
  DWORD error;
  if (detail::ShouldFail("AddAccessAllowedAce", &error)) return sim::Fail(error);
  if (dwAceRevision != ACL_REVISION || static_cast<const BYTE*>(pSid)[0] != 1)
    return sim::Fail(ERROR_INVALID_PARAMETER);
  // The entries end where the first free byte is: after the last one.
  BYTE* bytes = reinterpret_cast<BYTE*>(pAcl);
  size_t used = sizeof(ACL);
  for (WORD i = 0; i < pAcl->AceCount; ++i) used += reinterpret_cast<ACE_HEADER*>(bytes + used)->AceSize;
  size_t size = 8 + sim::SidLength(pSid);
  if (used + size > pAcl->AclSize) return sim::Fail(1344);  // ERROR_ALLOTTED_SPACE_EXCEEDED
  ACE_HEADER header{ACCESS_ALLOWED_ACE_TYPE, 0, static_cast<WORD>(size)};
  std::memcpy(bytes + used, &header, sizeof header);
  std::memcpy(bytes + used + 4, &AccessMask, 4);
  std::memcpy(bytes + used + 8, pSid, sim::SidLength(pSid));
  ++pAcl->AceCount;
  return TRUE;
}

BOOL WINAPI SetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR pSecurityDescriptor, BOOL bDaclPresent,
                                      PACL pDacl, BOOL bDaclDefaulted) {
  DWORD error;
  if (detail::ShouldFail("SetSecurityDescriptorDacl", &error)) return sim::Fail(error);
  auto* descriptor = static_cast<SECURITY_DESCRIPTOR*>(pSecurityDescriptor);
  if (descriptor->Revision != SECURITY_DESCRIPTOR_REVISION) return sim::Fail(1305);
  descriptor->Control = static_cast<WORD>(bDaclPresent ? descriptor->Control | SE_DACL_PRESENT
                                                       : descriptor->Control & ~SE_DACL_PRESENT);
  descriptor->Dacl = bDaclPresent ? pDacl : nullptr;
  return TRUE;
}

BOOL WINAPI SetSecurityDescriptorControl(PSECURITY_DESCRIPTOR pSecurityDescriptor,
                                         SECURITY_DESCRIPTOR_CONTROL ControlBitsOfInterest,
                                         SECURITY_DESCRIPTOR_CONTROL ControlBitsToSet) {
  DWORD error;
  if (detail::ShouldFail("SetSecurityDescriptorControl", &error)) return sim::Fail(error);
  // Only the inheritance bits may be set this way.
  constexpr WORD kSettable = 0x0100 | 0x0200 | 0x0400 | 0x0800 | SE_DACL_PROTECTED | 0x2000;
  if ((ControlBitsOfInterest | ControlBitsToSet) & ~kSettable) return sim::Fail(ERROR_INVALID_PARAMETER);
  auto* descriptor = static_cast<SECURITY_DESCRIPTOR*>(pSecurityDescriptor);
  if (descriptor->Revision != SECURITY_DESCRIPTOR_REVISION) return sim::Fail(1305);
  descriptor->Control = static_cast<WORD>((descriptor->Control & ~ControlBitsOfInterest) |
                                          (ControlBitsToSet & ControlBitsOfInterest));
  return TRUE;
}

BOOL WINAPI GetTokenInformation(HANDLE TokenHandle, TOKEN_INFORMATION_CLASS TokenInformationClass,
                                LPVOID TokenInformation, DWORD TokenInformationLength, PDWORD ReturnLength) {
  DWORD error;
  if (detail::ShouldFail("GetTokenInformation", &error)) return sim::Fail(error);
  if (!detail::IsOpen(sim::HandleKind::Token, reinterpret_cast<uintptr_t>(TokenHandle)))
    return sim::Fail(ERROR_INVALID_HANDLE);
  if (TokenInformationClass != TokenOwner || !ReturnLength) return sim::Fail(ERROR_INVALID_PARAMETER);
  const std::string& owner = detail::TokenOwnerSid();
  *ReturnLength = static_cast<DWORD>(sizeof(TOKEN_OWNER) + owner.size());
  if (TokenInformationLength < *ReturnLength) return sim::Fail(ERROR_INSUFFICIENT_BUFFER);
  // The SID follows the structure that points at it, in the caller's buffer.
  BYTE* bytes = static_cast<BYTE*>(TokenInformation);
  std::memcpy(bytes + sizeof(TOKEN_OWNER), owner.data(), owner.size());
  static_cast<TOKEN_OWNER*>(TokenInformation)->Owner = bytes + sizeof(TOKEN_OWNER);
  return TRUE;
}

}  // extern "C"
