#pragma once
#include <functional>

// Where the browser window's controls go for a given window size, all in twips.
// Sizes are absolute values, so a tiny window mirrors a negative size instead of failing.
struct BrowserLayout {
    float panel1Width = 0;
    float panel2Width = 0;
    float frameHeight = 0;
    float frameWidth = 0;
    float text1Width = 0;
    float command3Left = 0;
    float browserWidth = 0;
    float browserHeight = 0;
};

struct BrowserDesign {
    float text1Left = 540;
    float command3Width = 795;
    float browserLeft = 120;
    float browserTop = 1140;
};

// W and H: the window's outer size; S: the status bar's height. Each step uses what earlier
// steps set as the controls report it back (reportBack models a control keeping whole pixels).
BrowserLayout layoutBrowser(float W, float H, float S, const BrowserDesign& design = {},
                            const std::function<float(float)>& reportBack = {});
