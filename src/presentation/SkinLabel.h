#pragma once
#include <QLabel>

// A text label drawn in the skin's look. Where it copies a plain label it lies over it.
class SkinLabel : public QLabel {
    Q_OBJECT
public:
    explicit SkinLabel(const QString& text = {}, QWidget* parent = nullptr);
};
