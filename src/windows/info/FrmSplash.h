#pragma once
#include <QTimer>
#include <QWidget>

class AppContext;
class QLabel;

// The start-up window: prepares the run and starts skinning, then after 75 ticks gives way to the
// main window. It stays loaded, hidden, for the rest of the run: skinning started here and ends
// when the main window unloads it, last.
class FrmSplash : public QWidget {
    Q_OBJECT
public:
    explicit FrmSplash(AppContext& ctx);

    void formLoad();
    // The main window is unloading the run's windows: this one may close now.
    void allowClose() { m_closable = true; }

signals:
    void handOver(); // the 75th tick: time for the main window
    void unloaded();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void timer2Tick();

    AppContext& m_ctx;
    QLabel* m_image1;
    QTimer m_timer2;
    qint16 m_intTemp = 0;
    bool m_closable = false;
};
