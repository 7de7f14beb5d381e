#pragma once
#include <QDialog>

class QLineEdit;

// A page's alert, confirm or prompt. It belongs to the browser window and blocks nothing else:
// the main window goes on answering, and the browser window can still be closed, which
// dismisses the dialog.
class PageDialog : public QDialog {
    Q_OBJECT
public:
    enum class Kind { Alert, Confirm, Prompt };

    PageDialog(QWidget* owner, Kind kind, const QString& title, const QString& text, const QString& value = {});

    // Shows the dialog and waits, letting every window run, until it is answered or dismissed.
    // True for OK; the prompt's answer in value.
    bool ask(QString* value = nullptr);

private:
    QLineEdit* m_value = nullptr;
};
