#pragma once
#include <QLabel>

// A text label drawn in the skin's look. Where it copies a plain label it lies over it and hides
// it with its container's background; where it overlaps a box, button or list, which lie above
// it, it paints no background, only its text.
class SkinLabel : public QLabel {
    Q_OBJECT
public:
    explicit SkinLabel(const QString& text = {}, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
