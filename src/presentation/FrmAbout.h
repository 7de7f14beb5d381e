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

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    AppContext& m_ctx;
    std::vector<SkinLabel*> m_skinLabel1; // element 0 is the hidden template
};

// A skinned copy of each plain label of the window whose parent is the template's,
// in the window's control order, added to the array; copies are never copied again.
void copyPlainLabelsToSkinLabels(QWidget* window, std::vector<SkinLabel*>& array);

// "major.minor" in plain decimal numbers.
QString versionText(int major, int minor);
