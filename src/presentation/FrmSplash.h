#pragma once
#include <QTimer>
#include <QWidget>

class AppContext;
class QLabel;

// The start-up window: prepares the run, then after 75 ticks hands over to the main window.
// It stays loaded, hidden, for the rest of the run because it carries the skin engine.
class FrmSplash : public QWidget {
    Q_OBJECT
public:
    explicit FrmSplash(AppContext& ctx);

    void formLoad();
    void timer2Tick();
    QTimer& timer2() { return m_timer2; }
    qint16 intTemp() const { return m_intTemp; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    AppContext& m_ctx;
    QLabel* m_image1;
    QTimer m_timer2;
    qint16 m_intTemp = 0;
};
