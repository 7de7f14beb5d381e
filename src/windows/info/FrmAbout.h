#pragma once
#include <QWidget>
#include <vector>

class AppContext;
class SkinLabel;

// The About window: product name, version, company and website.
class FrmAbout : public QWidget {
    Q_OBJECT
public:
    explicit FrmAbout(AppContext& ctx);

    void formLoad();
    const std::vector<SkinLabel*>& skinLabel1() const { return m_skinLabel1; }

signals:
    void unloaded();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    AppContext& m_ctx;
    std::vector<SkinLabel*> m_skinLabel1; // element 0 is the hidden template
};
