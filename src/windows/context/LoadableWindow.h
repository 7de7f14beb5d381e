#pragma once
#include <QWidget>
#include <functional>

// A window the program makes through a seam (the built-in browser, whose library is loaded only
// when it is first opened): its load step, and its word when it is unloaded.
class LoadableWindow : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
    virtual void onLoad() = 0;

signals:
    void unloaded();
};

class AppContext;
// Makes the built-in browser's window; null when it cannot be had, with the reason.
using BrowserMaker = std::function<LoadableWindow*(AppContext& ctx, QString* why)>;
