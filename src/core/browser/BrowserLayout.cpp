#include "core/browser/BrowserLayout.h"

#include <cmath>

BrowserLayout layoutBrowser(float W, float H, float S, const BrowserDesign& d,
                            const std::function<float(float)>& reportBack)
{
    // Each step's result is a single-precision value, computed from higher-precision operands.
    const auto back = [&](double v) {
        const auto single = static_cast<float>(v);
        return reportBack ? reportBack(single) : single;
    };
    BrowserLayout l;
    l.panel1Width = back(std::fabs(W / 2.0f));
    l.panel2Width = back(std::fabs(W / 2.0f));
    l.frameHeight = back(std::fabs(double(H) - S));
    l.frameWidth = back(std::fabs(double(W) - 300));
    l.text1Width = back(std::fabs(double(l.frameWidth) - d.text1Left - 300 - d.command3Width));
    l.command3Left = back(double(l.text1Width) + d.text1Left + 100);
    l.browserWidth = back(std::fabs(double(l.frameWidth) - d.browserLeft - 100));
    const auto inner = static_cast<float>(double(l.frameHeight) - d.browserTop - 800); // single before S
    l.browserHeight = back(std::fabs(double(inner) - S));
    return l;
}
