#include "windows/main/MainWindow.h"

#include "core/platform/MessageBoxes.h"
#include "core/platform/Twips.h"
#include "core/vault/VaultStorage.h"
#include "windows/context/AppContext.h"
#include "windows/main/EntryListModel.h"
#include "windows/main/EntryListView.h"
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

std::array<int, 3> MainWindow::columnWidthsTwips()
{
    return {kCopyButtons[0].width() - 10, kCopyButtons[1].width() + 20, kCopyButtons[2].width()};
}

MainWindow::MainWindow(AppContext& ctx)
    : QMainWindow(nullptr, Qt::Window | Qt::MSWindowsFixedSizeDialogHint), m_ctx(ctx)
{
    setObjectName(QStringLiteral("MainWindow"));
    setWindowFlag(Qt::WindowMinMaxButtonsHint, false);
    setWindowFlag(Qt::WindowCloseButtonHint, true);
    setFont(verdana());

    auto* client = new QWidget(this);
    client->setFixedSize(twipsSize(kClientWidth, kClientHeight));
    setCentralWidget(client);

    // Created in tab order.
    m_addButton = makeButton(client, "cmdAdd", QStringLiteral("Add"), QRect(60, 60, 1155, 1035), "add.png");
    m_editButton = makeButton(client, "cmdEdit", QStringLiteral("Edit"), QRect(2460, 60, 1155, 1035), "edit.png");
    m_deleteButton =
        makeButton(client, "cmdDelete", QStringLiteral("Delete"), QRect(1260, 60, 1155, 1035), "delete.png");
    m_websiteButton = makeButton(client, "cmdWebsite", QString(), QRect(4860, 60, 4095, 1035), "website.png");
    m_entryList = new EntryListView(ctx.vault, client);
    m_entryList->setObjectName(QStringLiteral("entryList"));
    m_entryList->setAccessibleName(QStringLiteral("Entries"));
    m_entryList->setGeometry(twipsRect(60, 1980, 8895, 4215));
    m_copyButtons[0] =
        makeButton(client, "cmdCopy_0", QStringLiteral("Copy Username"), kCopyButtons[0], "copy-user.png");
    m_goToButton = makeButton(client, "cmdGoto", QStringLiteral("Go To"), QRect(3660, 60, 1155, 1035), "goto.png");
    m_copyButtons[1] =
        makeButton(client, "cmdCopy_1", QStringLiteral("Copy Password"), kCopyButtons[1], "copy-password.png");
    m_copyButtons[2] =
        makeButton(client, "cmdCopy_2", QStringLiteral("Copy Used At"), kCopyButtons[2], "copy-location.png");
    m_statusBar = new QStatusBar(client);
    m_statusBar->setObjectName(QStringLiteral("statusBar"));
    m_statusBar->setSizeGripEnabled(false);
    m_statusBar->setGeometry(twipsRect(0, 6240, kClientWidth, 315));
    m_statusPanel = new QLabel(m_statusBar);
    m_statusPanel->setObjectName(QStringLiteral("statusPanel"));
    m_statusPanel->setTextFormat(Qt::PlainText);
    m_statusBar->addWidget(m_statusPanel, 1);

    QWidget::setTabOrder(m_addButton, m_editButton);
    QWidget::setTabOrder(m_editButton, m_deleteButton);
    QWidget::setTabOrder(m_deleteButton, m_websiteButton);
    QWidget::setTabOrder(m_websiteButton, m_entryList);
    QWidget::setTabOrder(m_entryList, m_copyButtons[0]);
    QWidget::setTabOrder(m_copyButtons[0], m_goToButton);
    QWidget::setTabOrder(m_goToButton, m_copyButtons[1]);
    QWidget::setTabOrder(m_copyButtons[1], m_copyButtons[2]);

    connect(m_addButton, &QPushButton::clicked, this, &MainWindow::addEntry);
    connect(m_editButton, &QPushButton::clicked, this, &MainWindow::editSelected);
    connect(m_deleteButton, &QPushButton::clicked, this, &MainWindow::deleteSelected);
    connect(m_goToButton, &QPushButton::clicked, this, &MainWindow::goToLocation);
    connect(m_websiteButton, &QPushButton::clicked, this, &MainWindow::visitWebsite);
    for (int i = 0; i < 3; ++i)
        connect(m_copyButtons[i], &QPushButton::clicked, this, [this, i] { copyField(i); });
    connect(m_entryList, &EntryListView::columnClicked, this, &MainWindow::sortByColumn);
    buildMenus();
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void MainWindow::buildMenus()
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
    m_fileMenu = menu("mnuFile", QStringLiteral("File"));
    m_fileItems[0] = item(m_fileMenu, QStringLiteral("mnuFileItem_0"), QStringLiteral("Exit"));
    m_dataMenu = menu("mnuData", QStringLiteral("Data"));
    const std::array<QString, 4> data = {QStringLiteral("Add Username/Password"),
                                         QStringLiteral("Delete Selected Item"), QStringLiteral("Edit Selected Item"),
                                         QStringLiteral("Goto \"Used At\" Location")};
    for (int i = 0; i < 4; ++i)
        m_dataItems[i] = item(m_dataMenu, QStringLiteral("mnuDataItem_%1").arg(i), data[i]);
    m_copyMenu = menu("mnuCopy", QStringLiteral("Copy"));
    const std::array<QString, 3> copy = {QStringLiteral("Selected Username"), QStringLiteral("Selected Password"),
                                         QStringLiteral("Selected Used At Location")};
    for (int i = 0; i < 3; ++i)
        m_copyItems[i] = item(m_copyMenu, QStringLiteral("mnuCopyItem_%1").arg(i), copy[i]);
    m_helpMenu = menu("mnuHelp", QStringLiteral("Help"));
    m_helpItems[0] = item(m_helpMenu, QStringLiteral("mnuHelpItem_0"), QStringLiteral("View Help"));
    m_aboutMenu = menu("mnuAbout", QStringLiteral("About"));
    m_aboutItems[0] = item(m_aboutMenu, QStringLiteral("mnuAboutItem_0"), QStringLiteral("About this software"));

    connect(m_fileItems[0], &QAction::triggered, this, &QWidget::close);
    connect(m_dataItems[0], &QAction::triggered, this, &MainWindow::addEntry);
    connect(m_dataItems[1], &QAction::triggered, this, &MainWindow::deleteSelected);
    connect(m_dataItems[2], &QAction::triggered, this, &MainWindow::editSelected);
    connect(m_dataItems[3], &QAction::triggered, this, &MainWindow::goToLocation);
    for (int i = 0; i < 3; ++i)
        connect(m_copyItems[i], &QAction::triggered, this, [this, i] { copyField(i); });
    connect(m_helpItems[0], &QAction::triggered, this, &MainWindow::viewHelp);
    connect(m_aboutItems[0], &QAction::triggered, this, &MainWindow::about);
}

void MainWindow::onLoad()
{
    const ProductIdentity& id = m_ctx.identity;
    setWindowTitle(id.productName + QStringLiteral(" by ") + id.companyName);
    m_websiteButton->setText(QStringLiteral("Visit ") + id.companyWebsite);
    EntryListModel& model = m_entryList->entries();
    const std::array<QString, 3> titles = {QStringLiteral("Username"), QStringLiteral("Password"),
                                           QStringLiteral("Website/Location")};
    const auto widths = columnWidthsTwips();
    for (int i = 0; i < 3; ++i) {
        model.addColumn(titles[i]);
        m_entryList->header()->resizeSection(i, twipsToPixels(widths[i]));
    }
    m_statusPanel->setMinimumWidth(0); // the one panel fills the bar
}

void MainWindow::reportSave(const VaultSession::Saved& saved, const QString& done)
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
        return showStatus(QStringLiteral("Not saved to the data file (%1); saved to %2").arg(saved.reason, beside));
    }
    if (!saved.ok) {
        reportSaveFailure(saved.reason, QStringLiteral("The entries"));
        return showStatus(QStringLiteral("Save failed: data NOT saved (") + saved.reason +
                          QStringLiteral("); the change is kept in the list"));
    }
    QString status = done.isEmpty() ? QStringLiteral("Saved ") + generalDateText(QDateTime::currentDateTime()) : done;
    if (saved.merged)
        status += QStringLiteral("  Changes made elsewhere were merged.");
    if (saved.sealedElsewhere)
        status += QStringLiteral("  The data file was sealed elsewhere: it was saved sealed.");
    showStatus(status + copiesText(saved.copies));
}

QString MainWindow::copiesText(const VaultSession::CopiesMerged& copies)
{
    QString text;
    if (copies.copies > 0) {
        text += QStringLiteral("  Changes from another machine were merged.");
        if (copies.needLook == 1)
            text += QStringLiteral("  1 entry needs a look: it was changed on both machines.");
        else if (copies.needLook > 1)
            text +=
                QStringLiteral("  %1 entries need a look: they were changed on both machines.").arg(copies.needLook);
        if (copies.noRecord)
            text += QStringLiteral("  Entries deleted on one machine may have come back.");
    }
    if (!copies.notSaved.isEmpty()) {
        reportSaveFailure(copies.notSaved, QStringLiteral("The merged entries"));
        text += QStringLiteral("  The merge was not saved (%1); it is kept in the list.").arg(copies.notSaved);
    }
    for (int i = 0; i < copies.refused.size(); ++i) {
        const QString copy = QDir::toNativeSeparators(copies.refused[i]);
        m_ctx.platform.messages.show(
            this,
            QStringLiteral("A copy of the data file that a sync tool left beside it cannot be merged, because "
                           "%1:\n\n%2\n\nIt was left where it is.")
                .arg(copies.reasons[i], copy),
            MessageBoxes::Buttons::Ok, {}, MessageBoxes::Icon::Warning);
        text += QStringLiteral("  Not merged: %1 (%2).").arg(copy, copies.reasons[i]);
    }
    return text;
}

void MainWindow::reportSaveFailure(const QString& reason, const QString& what)
{
    m_ctx.platform.messages.show(this,
                                 QStringLiteral("%1 could not be saved to the data file:\n\n%2\n\n%3\n\n"
                                                "The file still holds what was last saved.")
                                     .arg(what, QDir::toNativeSeparators(m_ctx.vault.path()), reason),
                                 MessageBoxes::Buttons::Ok, {}, MessageBoxes::Icon::Critical);
}

void MainWindow::entrySaved(const VaultSession::Saved& saved)
{
    m_entryList->scrollTo(m_entryList->entries().index(saved.row, 0)); // the user sees the entry just saved
    reportSave(saved, QStringLiteral("Added new entry.  Data saved."));
}

void MainWindow::showStatus(const QString& text)
{
    // The panel cuts the text off at its edge anyway; a field of megabytes from a damaged file
    // would otherwise be measured whole.
    m_statusPanel->setText(EntryStore::shownText(text));
}

int MainWindow::firstSelectedRow() const
{
    return m_entryList->firstSelectedRow();
}

void MainWindow::sortByColumn(int header1)
{
    // Every click turns the direction round, whichever column it names; an empty list is left
    // exactly as it is.
    if (m_ctx.vault.entries().count() == 0)
        return;
    const SortSettings now = m_ctx.vault.sortSettings();
    m_ctx.vault.sort({true, header1 - 1, now.order == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder});
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    event->accept();
    emit unloaded();
}
