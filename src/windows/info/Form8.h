#pragma once
#include <QWidget>

class AppContext;
class QCheckBox;
class QTextEdit;

// The Readme/Help window: shows Help.rtf from the program's folder and the "Show at Startup" box.
// Without Help.rtf it stays hidden while it is loaded.
class Form8 : public QWidget {
    Q_OBJECT
public:
    explicit Form8(AppContext& ctx);

    void formLoad();
    bool documentMissing() const { return m_documentMissing; }
    void setVisible(bool visible) override;

signals:
    void unloaded();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Check1_Click();
    void addCutNote();

    AppContext& m_ctx;
    QTextEdit* m_rtf1;
    QCheckBox* m_check1;
    bool m_documentMissing = false;
};
