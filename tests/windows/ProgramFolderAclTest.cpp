// Who may change the programs of a folder, judged from security descriptors as Windows and
// Wine write them in SDDL.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ctl/ProgramFolderAcl.h"

namespace veltrona::ctl {
namespace {

using Names = std::vector<std::string>;
constexpr AclObject kFolder = AclObject::Folder;
constexpr AclObject kFile = AclObject::File;
const std::string kInstaller = "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
const std::string kWineUser = "S-1-5-21-0-0-0-1000";

struct Row {
    const char* what;
    std::string sddl;
    AclObject object;
    Names expected;
    Names administrators = {};
};

TEST(ProgramFolderAcl, NamesWhoBesidesAdministratorsMayChangeFiles) {
    const Row rows[] = {
        {"the installer's icacls result",
         "O:BAG:SYD:PAI(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)",
         kFolder,
         {}},
        {"a folder in Program Files",
         "O:BAG:SYD:AI(A;ID;FA;;;" + kInstaller + ")(A;CIIOID;GA;;;" + kInstaller +
             ")(A;ID;FA;;;SY)(A;OICIIOID;GA;;;SY)(A;ID;FA;;;BA)(A;OICIIOID;GA;;;BA)"
             "(A;ID;0x1200a9;;;BU)(A;OICIIOID;GXGR;;;BU)(A;OICIIOID;GA;;;CO)(A;ID;0x1200a9;;;AC)"
             "(A;OICIIOID;GXGR;;;AC)",
         kFolder,
         {}},
        {"a folder made under C:\\",
         "O:BAG:SYD:AI(A;OICIID;FA;;;BA)(A;OICIID;FA;;;SY)(A;OICIID;0x1200a9;;;BU)"
         "(A;ID;0x1301bf;;;AU)(A;OICIIOID;SDGXGWGR;;;AU)",
         kFolder,
         {"Authenticated Users"}},
        {"a file there",
         "O:BAD:AI(A;ID;FA;;;BA)(A;ID;0x1301bf;;;AU)",
         kFile,
         {"Authenticated Users"}},
        {"made by a plain user",
         "O:S-1-5-21-1-2-3-1001D:(A;OICI;FA;;;BA)",
         kFolder,
         {"owner S-1-5-21-1-2-3-1001"}},
        {"files only, by inheritance", "D:(A;OICI;FA;;;BA)(A;OIIO;FW;;;WD)", kFolder, {"Everyone"}},
        {"an inherit-only entry on a file", "D:(A;OIIO;FW;;;WD)", kFile, {}},
        {"subfolders only", "D:(A;CIIO;FA;;;BU)", kFolder, {}},
        {"append", "D:(A;;0x4;;;IU)", kFile, {"INTERACTIVE"}},
        {"add a subfolder", "D:(A;;0x4;;;IU)", kFolder, {"INTERACTIVE"}},
        {"delete children", "D:(A;;0x40;;;BU)", kFolder, {"Users"}},
        {"delete, permissions, ownership",
         "D:(A;;SD;;;S-1-5-21-1-2-3-1001)(A;;WD;;;S-1-5-19)(A;;WO;;;NU)",
         kFile,
         {"S-1-5-21-1-2-3-1001", "LOCAL SERVICE", "NETWORK"}},
        {"generic write and all",
         "D:(A;OICIIO;GW;;;BU)(A;;GA;;;AN)",
         kFolder,
         {"Users", "ANONYMOUS LOGON"}},
        {"write data in hex", "D:(A;;0x00000002;;;AU)", kFile, {"Authenticated Users"}},
        {"read and execute only",
         "D:(A;OICI;0x1200a9;;;WD)(A;OICI;FR;;;S-1-5-32-545)(A;;FX;;;IU)",
         kFolder,
         {}},
        {"SIDs spelled out",
         "D:(A;;FA;;;S-1-5-32-545)(A;;FA;;;S-1-5-32-544)(A;;FA;;;S-1-5-18)"
         "(A;;FA;;;S-1-5-21-1-2-3-500)",
         kFolder,
         {"Users"}},
        {"a deny before takes the writing away",
         "D:(D;OICI;0xd0156;;;BU)(A;OICI;FA;;;BU)(D;;FA;;;S-1-1-0)(A;;FA;;;IU)",
         kFolder,
         {}},
        {"a deny that leaves delete", "D:(D;;FW;;;BU)(A;;FA;;;BU)", kFolder, {"Users"}},
        {"a deny after counts for nothing", "D:(A;;FA;;;BU)(D;;FA;;;BU)", kFolder, {"Users"}},
        {"a NULL DACL", "O:BAG:SYD:NO_ACCESS_CONTROL", kFolder, {"Everyone"}},
        {"no DACL at all", "O:BAG:SY", kFile, {"Everyone"}},
        {"an empty DACL", "O:BAD:P", kFolder, {}},
        {"owner rights of a plain owner", "O:BUD:(A;;FA;;;OW)", kFile, {"Users", "owner Users"}},
        {"creator owner", "O:SYD:(A;OICIIO;GA;;;CO)(A;OICIIO;GA;;;CG)", kFolder, {}},
        {"Wine's folders, for a user who is no administrator",
         "O:" + kWineUser + "G:S-1-5-21-0-0-0-513D:(A;OICI;FA;;;SY)(A;OICI;FA;;;" + kWineUser +
             ")(A;OICI;0x1200a9;;;WD)",
         kFolder,
         {kWineUser, "owner " + kWineUser}},
        {"the same for the administrator asking",
         "O:" + kWineUser + "G:S-1-5-21-0-0-0-513D:(A;OICI;FA;;;SY)(A;OICI;FA;;;" + kWineUser +
             ")(A;OICI;0x1200a9;;;WD)",
         kFolder,
         {},
         {kWineUser}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(nonAdministratorWriters(row.sddl, row.object, row.administrators), row.expected)
            << row.what << ": " << row.sddl;
    }
}

TEST(ProgramFolderAcl, RefusesWhatItCannotRead) {
    for (const char* sddl : {"D:(A;;ZZ;;;BU)", "D:(A;;FA;;BU)", "D:(A;;FA;;;BU", "X",
                             "D:(A;XX;FA;;;BU)", "D:(A;;0x2g;;;BU)"}) {
        EXPECT_THROW(nonAdministratorWriters(sddl, kFolder), SddlError) << sddl;
    }
}

}  // namespace
}  // namespace veltrona::ctl
