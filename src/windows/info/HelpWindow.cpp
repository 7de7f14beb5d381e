#include "windows/info/HelpWindow.h"

#include "core/platform/SettingsStore.h"
#include "core/platform/Twips.h"
#include "core/presentation/RtfReader.h"
#include "core/vault/VaultStorage.h"
#include "windows/context/AppContext.h"
#include "windows/platform/Fonts.h"
#include "windows/platform/Topmost.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QTextEdit>

namespace {

// More than any help needs; reading stops here so that a huge file opens at once.
constexpr qint64 kMaxHelpBytes = qint64(4) * 1024 * 1024;

const QString kSection = QStringLiteral("Settings");
const QString kKey = QStringLiteral("showHelp");

// The box's value as the classic check box numbers it: 0 clear, 1 ticked, 2 greyed.
int checkValue(const QCheckBox* box)
{
    switch (box->checkState()) {
    case Qt::Unchecked: return 0;
    case Qt::Checked: return 1;
    default: return 2;
    }
}

} // namespace

HelpWindow::HelpWindow(AppContext& ctx) : QWidget(nullptr, Qt::Tool | Qt::MSWindowsFixedSizeDialogHint), m_ctx(ctx)
{
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("Readme/Help"));
    setWindowFlag(Qt::WindowMinMaxButtonsHint, false);
    setWindowFlag(Qt::WindowCloseButtonHint, true);
    setFixedSize(twipsSize(10290, 7920));
    setFont(verdana());
    m_text = new QTextEdit(this);
    m_text->setObjectName(QStringLiteral("helpText"));
    m_text->setReadOnly(true);
    m_text->setAccessibleName(QStringLiteral("Readme/Help"));
    m_text->setGeometry(twipsRect(0, 0, 10275, 7515));
    m_showAtStartup = new QCheckBox(QStringLiteral("Show at Startup"), this);
    m_showAtStartup->setObjectName(QStringLiteral("chkShowAtStartup"));
    m_showAtStartup->setGeometry(twipsRect(60, 7620, 1995, 255));
    m_showAtStartup->setChecked(true);
    // Any change of the value, by the user or by the load, writes the setting.
    connect(m_showAtStartup, &QCheckBox::stateChanged, this, &HelpWindow::saveShowAtStartup);
}

void HelpWindow::onLoad()
{
    // Each step that fails is skipped; the window shows whatever the earlier steps did.
    const QString path = QDir(m_ctx.programFolder).filePath(QStringLiteral("Help.rtf"));
    if (!vaultstorage::fileExists(path)) {
        m_documentMissing = true;
        return;
    }
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        const QByteArray rtf = file.read(kMaxHelpBytes + 1);
        const bool whole =
            readRtf(QByteArrayView(rtf).first(std::min(rtf.size(), qsizetype(kMaxHelpBytes))), *m_text->document());
        if (!whole || rtf.size() > kMaxHelpBytes)
            addCutNote();
    }
    m_text->moveCursor(QTextCursor::Start);
    setTopmost(this, true);
    bool ok = false;
    const int value =
        m_ctx.platform.settings.read(m_ctx.version.productName, kSection, kKey, QStringLiteral("1")).toInt(&ok);
    if (ok && value >= 0 && value <= 2) {
        m_showAtStartup->setTristate(value == 2);
        m_showAtStartup->setCheckState(value == 0 ? Qt::Unchecked : value == 1 ? Qt::Checked : Qt::PartiallyChecked);
    }
}

void HelpWindow::addCutNote()
{
    QTextCursor cursor(m_text->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertBlock();
    QTextCharFormat note;
    note.setFontItalic(true);
    cursor.insertText(QStringLiteral("Part of this help is not shown: Help.rtf holds more than this window reads "
                                     "(more than 4 MB, or a run of over 500 characters without a blank)."),
                      note);
}

void HelpWindow::setVisible(bool visible)
{
    if (visible && m_documentMissing)
        return;
    QWidget::setVisible(visible);
}

void HelpWindow::saveShowAtStartup()
{
    // A stored 2 shows the box grey; a click makes it a plain box again, which the user can
    // only check or clear.
    if (m_showAtStartup->checkState() != Qt::PartiallyChecked)
        m_showAtStartup->setTristate(false);
    m_ctx.platform.settings.write(m_ctx.version.productName, kSection, kKey,
                                  QString::number(checkValue(m_showAtStartup)));
}

void HelpWindow::closeEvent(QCloseEvent* event)
{
    emit unloaded();
    event->accept();
}
