#pragma once
#include "windows/skin/SkinEngine.h"

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
    SkinEngine& skn() { return m_skn; }
    bool loading() const { return m_loading; }
    bool handedOver() const { return m_handedOver; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    AppContext& m_ctx;
    QLabel* m_image1;
    QTimer m_timer2;
    qint16 m_intTemp = 0;
    SkinEngine m_skn;
    bool m_loading = false;
    bool m_handedOver = false;
};
