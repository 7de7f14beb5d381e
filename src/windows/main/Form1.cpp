#include "windows/main/Form1.h"

#include "core/platform/MessageBoxes.h"
#include "core/platform/Twips.h"
#include "core/vault/VaultStorage.h"
#include "windows/context/AppContext.h"
#include "windows/main/EntryListModel.h"
#include "windows/main/EntryListView.h"
#include "windows/main/ListViewSort.h"
#include "windows/platform/Fonts.h"
#include "windows/platform/PictureButton.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QLocale>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>

namespace {

constexpr int kClientWidth = 9015;
constexpr int kClientHeight = 6555;
constexpr std::array<QRect, 3> kCopyButtons = {QRect(60, 1140, 2355, 795), QRect(2460, 1140, 2355, 795),
                                               QRect(4860, 1140, 4095, 795)};

QString generalDateText(const QDateTime& now)
{
    const QLocale locale = QLocale::system();
    QString timeFormat = locale.timeFormat(QLocale::LongFormat);
    timeFormat.remove(QRegularExpression(QStringLiteral("\\s*t+\\s*"))); // no time zone
    return locale.toString(now.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           locale.toString(now.time(), timeFormat.trimmed());
}

} // namespace

std::array<int, 3> Form1::columnWidthsTwips()
{
    return {kCopyButtons[0].width() - 10, kCopyButtons[1].width() + 20, kCopyButtons[2].width()};
}

Form1::Form1(AppContext& ctx) : QMainWindow(nullptr, Qt::Window | Qt::MSWindowsFixedSizeDialogHint), m_ctx(ctx)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowFlag(Qt::WindowMinMaxButtonsHint, false);
    setWindowFlag(Qt::WindowCloseButtonHint, true);
    setFont(verdana());

    auto* client = new QWidget(this);
    client->setFixedSize(twipsSize(kClientWidth, kClientHeight));
    setCentralWidget(client);

    // Created in tab order.
    m_cmdAdd = makeButton(client, "cmdAdd", QStringLiteral("Add"), QRect(60, 60, 1155, 1035), "add.png");
    m_cmdEdit = makeButton(client, "cmdEdit", QStringLiteral("Edit"), QRect(2460, 60, 1155, 1035), "edit.png");
    m_cmdDelete = makeButton(client, "cmdDelete", QStringLiteral("Delete"), QRect(1260, 60, 1155, 1035), "delete.png");
    m_cmdWebsite = makeButton(client, "cmdWebsite", QString(), QRect(4860, 60, 4095, 1035), "website.png");
    m_lstPass = new EntryListView(ctx.vault, client);
    m_lstPass->setObjectName(QStringLiteral("lstPass"));
    m_lstPass->setAccessibleName(QStringLiteral("Entries"));
    m_lstPass->setGeometry(twipsRect(60, 1980, 8895, 4215));
    m_cmdCopy[0] = makeButton(client, "cmdCopy_0", QStringLiteral("Copy Username"), kCopyButtons[0], "copy-user.png");
    m_cmdGoto = makeButton(client, "cmdGoto", QStringLiteral("Go To"), QRect(3660, 60, 1155, 1035), "goto.png");
    m_cmdCopy[1] =
        makeButton(client, "cmdCopy_1", QStringLiteral("Copy Password"), kCopyButtons[1], "copy-password.png");
    m_cmdCopy[2] =
        makeButton(client, "cmdCopy_2", QStringLiteral("Copy Used At"), kCopyButtons[2], "copy-location.png");
    m_statusBar1 = new QStatusBar(client);
    m_statusBar1->setObjectName(QStringLiteral("StatusBar1"));
    m_statusBar1->setSizeGripEnabled(false);
    m_statusBar1->setGeometry(twipsRect(0, 6240, kClientWidth, 315));
    m_statusPanel = new QLabel(m_statusBar1);
    m_statusPanel->setObjectName(QStringLiteral("StatusPanel1"));
    m_statusPanel->setTextFormat(Qt::PlainText);
    m_statusBar1->addWidget(m_statusPanel, 1);

    QWidget::setTabOrder(m_cmdAdd, m_cmdEdit);
    QWidget::setTabOrder(m_cmdEdit, m_cmdDelete);
    QWidget::setTabOrder(m_cmdDelete, m_cmdWebsite);
    QWidget::setTabOrder(m_cmdWebsite, m_lstPass);
    QWidget::setTabOrder(m_lstPass, m_cmdCopy[0]);
    QWidget::setTabOrder(m_cmdCopy[0], m_cmdGoto);
    QWidget::setTabOrder(m_cmdGoto, m_cmdCopy[1]);
    QWidget::setTabOrder(m_cmdCopy[1], m_cmdCopy[2]);

    connect(m_cmdAdd, &QPushButton::clicked, this, &Form1::cmdAdd_Click);
    connect(m_cmdEdit, &QPushButton::clicked, this, &Form1::cmdEdit_Click);
    connect(m_cmdDelete, &QPushButton::clicked, this, &Form1::cmdDelete_Click);
    connect(m_cmdGoto, &QPushButton::clicked, this, &Form1::cmdGoto_Click);
    connect(m_cmdWebsite, &QPushButton::clicked, this, &Form1::cmdWebsite_Click);
    for (int i = 0; i < 3; ++i)
        connect(m_cmdCopy[i], &QPushButton::clicked, this, [this, i] { cmdCopy_Click(i); });
    connect(m_lstPass, &EntryListView::columnClicked, this, &Form1::lstPass_ColumnClick);
    buildMenus();
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void Form1::buildMenus()
{
    // Plain captions: no access keys, no shortcut keys.
    auto* bar = menuBar();
    bar->setNativeMenuBar(false);
    auto menu = [&](const char* name, const QString& title) {
        QMenu* m = bar->addMenu(title);
        m->setObjectName(QLatin1String(name));
        return m;
    };
    auto item = [](QMenu* m, const QString& name, const QString& caption) {
        QAction* a = m->addAction(caption);
        a->setObjectName(name);
        return a;
    };
    m_mnuFile = menu("mnuFile", QStringLiteral("File"));
    m_mnuFileItem[0] = item(m_mnuFile, QStringLiteral("mnuFileItem_0"), QStringLiteral("Exit"));
    m_mnuData = menu("mnuData", QStringLiteral("Data"));
    const std::array<QString, 4> data = {QStringLiteral("Add Username/Password"),
                                         QStringLiteral("Delete Selected Item"), QStringLiteral("Edit Selected Item"),
                                         QStringLiteral("Goto \"Used At\" Location")};
    for (int i = 0; i < 4; ++i)
        m_mnuDataItem[i] = item(m_mnuData, QStringLiteral("mnuDataItem_%1").arg(i), data[i]);
    m_mnuCopy = menu("mnuCopy", QStringLiteral("Copy"));
    const std::array<QString, 3> copy = {QStringLiteral("Selected Username"), QStringLiteral("Selected Password"),
                                         QStringLiteral("Selected Used At Location")};
    for (int i = 0; i < 3; ++i)
        m_mnuCopyItem[i] = item(m_mnuCopy, QStringLiteral("mnuCopyItem_%1").arg(i), copy[i]);
    m_mnuHelp = menu("mnuHelp", QStringLiteral("Help"));
    m_mnuHelpItem[0] = item(m_mnuHelp, QStringLiteral("mnuHelpItem_0"), QStringLiteral("View Help"));
    m_mnuAbout = menu("mnuAbout", QStringLiteral("About"));
    m_mnuAboutItem[0] = item(m_mnuAbout, QStringLiteral("mnuAboutItem_0"), QStringLiteral("About this software"));

    connect(m_mnuFileItem[0], &QAction::triggered, this, &QWidget::close);
    connect(m_mnuDataItem[0], &QAction::triggered, this, &Form1::cmdAdd_Click);
    connect(m_mnuDataItem[1], &QAction::triggered, this, &Form1::cmdDelete_Click);
    connect(m_mnuDataItem[2], &QAction::triggered, this, &Form1::cmdEdit_Click);
    connect(m_mnuDataItem[3], &QAction::triggered, this, &Form1::cmdGoto_Click);
    for (int i = 0; i < 3; ++i)
        connect(m_mnuCopyItem[i], &QAction::triggered, this, [this, i] { cmdCopy_Click(i); });
    connect(m_mnuHelpItem[0], &QAction::triggered, this, &Form1::viewHelp);
    connect(m_mnuAboutItem[0], &QAction::triggered, this, &Form1::about);
}

void Form1::formLoad()
{
    const ProductIdentity& id = m_ctx.identity;
    setWindowTitle(id.productName + QStringLiteral(" by ") + id.companyName);
    m_cmdWebsite->setText(QStringLiteral("Visit ") + id.companyWebsite);
    EntryListModel& model = m_lstPass->entries();
    const std::array<QString, 3> titles = {QStringLiteral("Username"), QStringLiteral("Password"),
                                           QStringLiteral("Website/Location")};
    const auto widths = columnWidthsTwips();
    for (int i = 0; i < 3; ++i) {
        model.addColumn(titles[i]);
        m_lstPass->header()->resizeSection(i, twipsToPixels(widths[i]));
    }
    m_statusPanel->setMinimumWidth(0); // the one panel fills the bar
}

void Form1::reportSave(const VaultSession::Saved& saved, const QString& done)
{
    if (!saved.conflictFile.isEmpty()) {
        // Never written over: the change went beside it.
        const QString file = QDir::toNativeSeparators(m_ctx.vault.path());
        const QString beside = QDir::toNativeSeparators(saved.conflictFile);
        m_ctx.platform.messages.show(
            this,
            QStringLiteral("The data file was changed elsewhere, and %1:\n\n%2\n\n"
                           "It was left as it is. The list, with your change, was saved to this file beside it:"
                           "\n\n%3")
                .arg(saved.reason, file, beside),
            MessageBoxes::Buttons::Ok, {}, MessageBoxes::Icon::Warning);
        return StatusLine(QStringLiteral("Not saved to the data file (%1); saved to %2").arg(saved.reason, beside));
    }
    if (!saved.ok) {
        reportSaveFailure(saved.reason, QStringLiteral("The entries"));
        return StatusLine(QStringLiteral("Save failed: data NOT saved (") + saved.reason +
                          QStringLiteral("); the change is kept in the list"));
    }
    QString status = done.isEmpty() ? QStringLiteral("Saved ") + generalDateText(QDateTime::currentDateTime()) : done;
    if (saved.merged)
        status += QStringLiteral("  Changes made elsewhere were merged.");
    StatusLine(status);
}

void Form1::reportSaveFailure(const QString& reason, const QString& what)
{
    m_ctx.platform.messages.show(this,
                                 QStringLiteral("%1 could not be saved to the data file:\n\n%2\n\n%3\n\n"
                                                "The file still holds what was last saved.")
                                     .arg(what, QDir::toNativeSeparators(m_ctx.vault.path()), reason),
                                 MessageBoxes::Buttons::Ok, {}, MessageBoxes::Icon::Critical);
}

void Form1::entrySaved(const VaultSession::Saved& saved)
{
    m_lstPass->scrollTo(m_lstPass->entries().index(saved.row, 0)); // the user sees the entry just saved
    reportSave(saved, QStringLiteral("Added new entry.  Data saved."));
}

void Form1::StatusLine(const QString& text)
{
    m_statusText = text;
    // The panel cuts the text off at its edge anyway; a field of megabytes from a damaged file
    // would otherwise be measured whole.
    m_statusPanel->setText(EntryStore::shownText(text));
}

QString Form1::statusText() const
{
    return m_statusText;
}

int Form1::FirstSelectedRow() const
{
    return m_lstPass->firstSelectedRow();
}

void Form1::lstPass_ColumnClick(int index1)
{
    EnhListView_SortColumns(*m_lstPass, index1, false, m_ctx.platform.messages);
}

void Form1::closeEvent(QCloseEvent* event)
{
    event->accept();
    emit unloaded();
}
