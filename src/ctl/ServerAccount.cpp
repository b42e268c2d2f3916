#include "ServerAccount.h"

namespace veltrona::ctl {

PackageLayout& packageLayout() {
    static PackageLayout layout{VELTRONA_PACKAGE_FOLDER, VELTRONA_SERVER_ACCOUNT};
    return layout;
}

}  // namespace veltrona::ctl
