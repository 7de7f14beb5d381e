#pragma once
#include <QString>

class QWidget;

// Modal message boxes. Windows ask through this seam so that tests can answer for the user.
class MessageBoxes {
public:
    enum class Buttons { Ok, OkCancel, RetryCancel };
    enum class Icon { None, Information, Warning, Critical };
    enum class Answer { Ok, Cancel, Retry, Closed };

    struct Box {
        QString text;
        QString title;
        Buttons buttons = Buttons::Ok;
        Icon icon = Icon::None;
        QWidget* owner = nullptr; // the window the box belongs to, which it stays above and beside
    };

    explicit MessageBoxes(QString applicationTitle) : m_applicationTitle(std::move(applicationTitle)) {}
    virtual ~MessageBoxes() = default;

    // A box without a title of its own carries the application's title.
    Answer show(QWidget* owner, const QString& text, Buttons buttons = Buttons::Ok, const QString& title = {},
                Icon icon = Icon::None);

protected:
    virtual Answer present(const Box& box) = 0;

private:
    QString m_applicationTitle;
};
