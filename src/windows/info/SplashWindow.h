#pragma once
#include <QTimer>
#include <QWidget>

class AppContext;
class QLabel;

// The start-up window: prepares the run and starts skinning, then after 75 ticks of its 2 ms timer
// (150 ms as the ticks count them) gives way to the main window. It stays loaded, hidden, for the rest of the run:
// skinning started here and ends when the main window unloads it, last.
class SplashWindow : public QWidget {
    Q_OBJECT
public:
    explicit SplashWindow(AppContext& ctx);

    void onLoad();
    // The main window is unloading the run's windows: this one may close now.
    void allowClose() { m_closable = true; }

signals:
    void handOver(); // the 75th tick: time for the main window
    void unloaded();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void tick();

    AppContext& m_ctx;
    QLabel* m_picture;
    QTimer m_ticks;
    int m_elapsedMs = 0; // as the ticks count it: 2 ms each, however late they come
    bool m_closable = false;
};
