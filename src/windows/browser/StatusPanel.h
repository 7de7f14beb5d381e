#pragma once
#include <QLabel>

// A panel of the browser's status bar: plain text only, never read as markup, and a text too long
// for the panel ends in "…" where it is cut. text() keeps the whole text.
class StatusPanel : public QLabel {
    Q_OBJECT
public:
    explicit StatusPanel(QWidget* parent = nullptr);

    // The text as the panel shows it.
    QString shownText() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};
