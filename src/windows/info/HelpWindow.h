#pragma once
#include <QWidget>

class AppContext;
class QCheckBox;
class QTextEdit;

// The Readme/Help window: shows Help.rtf from the program's folder and the "Show at Startup" box.
// Without Help.rtf it stays hidden while it is loaded.
class HelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(AppContext& ctx);

    void onLoad();
    void setVisible(bool visible) override;

signals:
    void unloaded();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void saveShowAtStartup();
    void addCutNote();

    AppContext& m_ctx;
    QTextEdit* m_text;
    QCheckBox* m_showAtStartup;
    bool m_documentMissing = false;
};
