#include "windows/info/Form8.h"

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

Form8::Form8(AppContext& ctx) : QWidget(nullptr, Qt::Tool | Qt::MSWindowsFixedSizeDialogHint), m_ctx(ctx)
{
    setObjectName(QStringLiteral("Form8"));
    setWindowTitle(QStringLiteral("Readme/Help"));
    setWindowFlag(Qt::WindowMinMaxButtonsHint, false);
    setWindowFlag(Qt::WindowCloseButtonHint, true);
    setFixedSize(twipsSize(10290, 7920));
    setFont(verdana());
    m_rtf1 = new QTextEdit(this);
    m_rtf1->setObjectName(QStringLiteral("rtf1"));
    m_rtf1->setReadOnly(true);
    m_rtf1->setAccessibleName(QStringLiteral("Readme/Help"));
    m_rtf1->setGeometry(twipsRect(0, 0, 10275, 7515));
    m_check1 = new QCheckBox(QStringLiteral("Show at Startup"), this);
    m_check1->setObjectName(QStringLiteral("Check1"));
    m_check1->setGeometry(twipsRect(60, 7620, 1995, 255));
    m_check1->setChecked(true);
    // Any change of the value, by the user or by the load, writes the setting.
    connect(m_check1, &QCheckBox::stateChanged, this, &Form8::Check1_Click);
}

void Form8::formLoad()
{
    // Each step that fails is skipped; the window shows whatever the earlier steps did.
    const QString path = QDir(m_ctx.programFolder).filePath(QStringLiteral("Help.rtf"));
    if (!vaultstorage::FileExists(path)) {
        m_documentMissing = true;
        return;
    }
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        const QByteArray rtf = file.read(kMaxHelpBytes + 1);
        const bool whole =
            readRtf(QByteArrayView(rtf).first(std::min(rtf.size(), qsizetype(kMaxHelpBytes))), *m_rtf1->document());
        if (!whole || rtf.size() > kMaxHelpBytes)
            addCutNote();
    }
    m_rtf1->moveCursor(QTextCursor::Start);
    SetTopmost(this, true);
    bool ok = false;
    const int value =
        m_ctx.platform.settings.read(m_ctx.version.productName, kSection, kKey, QStringLiteral("1")).toInt(&ok);
    if (ok && value >= 0 && value <= 2) {
        m_check1->setTristate(value == 2);
        m_check1->setCheckState(value == 0 ? Qt::Unchecked : value == 1 ? Qt::Checked : Qt::PartiallyChecked);
    }
}

void Form8::addCutNote()
{
    QTextCursor cursor(m_rtf1->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertBlock();
    QTextCharFormat note;
    note.setFontItalic(true);
    cursor.insertText(QStringLiteral("Part of this help is not shown: Help.rtf holds more than this window reads "
                                     "(more than 4 MB, or a run of over 500 characters without a blank)."),
                      note);
}

void Form8::setVisible(bool visible)
{
    if (visible && m_documentMissing)
        return;
    QWidget::setVisible(visible);
}

void Form8::Check1_Click()
{
    // A stored 2 shows the box grey; a click makes it a plain box again, which the user can
    // only check or clear.
    if (m_check1->checkState() != Qt::PartiallyChecked)
        m_check1->setTristate(false);
    m_ctx.platform.settings.write(m_ctx.version.productName, kSection, kKey, QString::number(checkValue(m_check1)));
}

void Form8::closeEvent(QCloseEvent* event)
{
    emit unloaded();
    event->accept();
}
