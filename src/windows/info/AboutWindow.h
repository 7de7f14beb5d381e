#pragma once
#include <QWidget>
#include <vector>

class AppContext;
class SkinLabel;

// The About window: product name, version, company and website.
class AboutWindow : public QWidget {
    Q_OBJECT
public:
    explicit AboutWindow(AppContext& ctx);

    void onLoad();

signals:
    void unloaded();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    AppContext& m_ctx;
    std::vector<SkinLabel*> m_skinLabels; // element 0 is the hidden template
};
