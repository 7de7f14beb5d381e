#pragma once
#include "core/platform/Platform.h"
#include "core/platform/VersionInfo.h"
#include "core/vault/VaultSession.h"
#include "core/vault/VaultStorage.h"
#include "windows/context/EntryEditRequest.h"
#include "windows/context/LoadableWindow.h"
#include "windows/context/ProductIdentity.h"
#include "windows/platform/Resources.h"
#include "windows/skin/SkinEngine.h"
#include "windows/skin/SkinService.h"

#include <QString>

// The program-wide state every window shares: the platform's seams, the names, the open vault,
// the skin and a few switches. main() creates one; each test makes its own. It knows no window:
// the windows are created and wired in one place (windows/run/).
class AppContext {
public:
    AppContext(Platform platform, VersionInfo version, QString programFolder)
        : platform(platform),
          version(std::move(version)),
          programFolder(std::move(programFolder)),
          vault(vaultstorage::vaultPath(this->programFolder))
    {
        registerResources();
    }

    Platform platform;
    VersionInfo version;
    QString programFolder;
    QString homePage = builtInHomePage();

    VaultSession vault;
    ProductIdentity identity;
    bool skinningEnabled = false;
    bool mainWindowClosed = false;
    EntryEditRequest editRequest; // what the editor adds or changes when it saves
    QString browserTarget;
    BrowserMaker makeBrowser; // the built-in browser's window, from its library

    QString skinPath = QStringLiteral(":/skins/harbour.skin");
    SkinEngine skinEngine; // loaded when skinning starts
    SkinService skinService;
};

// The start of a run, where the splash window loads: the names filled, the main window not
// closed, and skinning started.
void prepareRun(AppContext& ctx);
