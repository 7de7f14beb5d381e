#include "windows/browser/PageDialog.h"

#include <QDialogButtonBox>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QVBoxLayout>

PageDialog::PageDialog(QWidget* owner, Kind kind, const QString& title, const QString& text, const QString& value)
    : QDialog(owner)
{
    setObjectName(QStringLiteral("pageDialog"));
    setWindowTitle(title);
    setWindowModality(Qt::NonModal);
    auto* layout = new QVBoxLayout(this);
    auto* message = new QLabel(text, this);
    message->setObjectName(QStringLiteral("pageDialogText"));
    message->setTextFormat(Qt::PlainText); // a page's words are never markup here
    message->setWordWrap(true);
    layout->addWidget(message);
    if (kind == Kind::Prompt) {
        m_value = new QLineEdit(value, this);
        m_value->setObjectName(QStringLiteral("pageDialogValue"));
        m_value->setAccessibleName(text);
        layout->addWidget(m_value);
    }
    auto* buttons = new QDialogButtonBox(
        kind == Kind::Alert ? QDialogButtonBox::Ok : QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

bool PageDialog::ask(QString* value)
{
    QPointer<PageDialog> self = this;
    QEventLoop loop;
    connect(this, &QDialog::finished, &loop, &QEventLoop::quit);
    connect(this, &QObject::destroyed, &loop, &QEventLoop::quit);
    show();
    raise();
    activateWindow();
    loop.exec();
    if (!self)
        return false;
    if (value && m_value)
        *value = m_value->text();
    return result() == QDialog::Accepted;
}
