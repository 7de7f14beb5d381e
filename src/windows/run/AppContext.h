#pragma once
#include "core/platform/Platform.h"
#include "core/platform/VersionInfo.h"
#include "core/vault/Entry.h"
#include "windows/platform/Resources.h"
#include "windows/run/ProductIdentity.h"

#include <QPointer>
#include <QString>
#include <QWidget>
#include <memory>

class Form1;
class FrmPass;
class FrmAdd;
class FrmSplash;
class Form8;
class FrmAbout;
class FrmWebsite;
class SkinEngine;
class SkinService;

// The handover from the main window's Add and Edit commands to the entry editor.
// Edit holds on to the entry's identity, so a sort or delete meanwhile cannot redirect it.
struct EntryEditRequest {
    enum class Mode { Add, Edit };
    Mode mode = Mode::Add;
    int row = 0;       // 1-based position when Edit was used
    quint64 rowId = 0; // the entry itself
    Entry entry;
};

struct Windows {
    QPointer<Form1> form1;
    QPointer<FrmPass> frmPass;
    QPointer<FrmAdd> frmAdd;
    QPointer<FrmSplash> frmSplash;
    QPointer<Form8> form8;
    QPointer<FrmAbout> frmAbout;
    QPointer<FrmWebsite> frmWebsite;

    void forget(const QWidget* window);
};

// The program-wide state every window shares. main() creates one; each test makes its own.
class AppContext {
public:
    AppContext(Platform platform, VersionInfo version, QString programFolder)
        : platform(platform), version(std::move(version)), programFolder(std::move(programFolder))
    {
        registerResources();
    }

    Platform platform;
    VersionInfo version;
    QString programFolder;
    QString homePage = builtInHomePage();

    PasswordState password;
    ProductIdentity identity;
    bool skinningEnabled = false;
    bool mainWindowClosed = false;
    EntryEditRequest editRequest;
    QString browserTarget;
    Windows windows;

    QString skinPath = QStringLiteral(":/skins/harbour.skin");
    SkinEngine* skinEngine = nullptr;         // the splash window's engine, once it has loaded
    std::shared_ptr<SkinService> skinService; // created on first use
};
