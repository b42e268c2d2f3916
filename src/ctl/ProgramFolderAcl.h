#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace veltrona::ctl {

// What a security descriptor protects: a folder, where new files take the inheritable
// entries, or a file.
enum class AclObject { Folder, File };

// A security descriptor that is no SDDL this rule understands; nothing may be judged safe
// from it.
class SddlError : public std::invalid_argument {
  public:
    using std::invalid_argument::invalid_argument;
};

// Who, besides administrators, may change `object` or, for a folder, the files in it,
// judged from its security descriptor in SDDL ("O:BAG:SYD:PAI(A;OICI;FA;;;BA)..."): the
// trustees that may write, append, delete or add files, delete the object itself, change its
// permissions or take its ownership (GENERIC_WRITE and GENERIC_ALL included), through an
// entry for the object itself or, on a folder, one inherited by its files; and an owner who
// is no administrator, who may always change the permissions. A deny entry takes away what it
// names from allow entries after it, for its own trustee or, denying Everyone, for all.
//
// Administrators are the Administrators group, SYSTEM, TrustedInstaller, the built-in
// Administrator account, the domain's and enterprise's admins, and the SIDs in
// `administrators` (say the administrator asking, "S-1-5-21-..."). CREATOR OWNER and
// CREATOR GROUP entries count for no one: only a trustee that may add files creates them.
// A descriptor without a DACL (a NULL DACL) lets Everyone do anything.
//
// Each trustee is named once, in the order of the descriptor: "Users", "Authenticated
// Users", "Everyone", "INTERACTIVE" and the other well-known names, or the SID as SDDL spells
// it; the owner as "owner " and its name. Empty when only administrators may change it.
// Throws SddlError.
std::vector<std::string> nonAdministratorWriters(
    std::string_view sddl, AclObject object, const std::vector<std::string>& administrators = {});

}  // namespace veltrona::ctl
