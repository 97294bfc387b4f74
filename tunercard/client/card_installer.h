// Installs and removes the virtual tuner card: a root device created with
// SetupAPI from the card's hardware id, with the driver installed for it
// from its INF, as a plug-and-play card would be set up.
#pragma once

#include <string>

namespace tunercard {

struct InstallResult {
    bool ok;
    std::string message;
};

class CardInstaller {
public:
    virtual ~CardInstaller() = default;
    // infPath: full path of the INF, with the driver file beside it.
    InstallResult Install(const std::string &infPath);
    InstallResult Uninstall();
    bool IsInstalled();
};

} // namespace tunercard
