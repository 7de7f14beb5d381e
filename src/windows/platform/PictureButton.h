#pragma once
#include <QPushButton>

// A command button that shows its picture above its caption. The caption is never dropped:
// where both do not fit, the picture shrinks or goes.
class PictureButton : public QPushButton {
    Q_OBJECT
public:
    PictureButton(const QString& caption, const QString& picture, QWidget* parent = nullptr);

    struct Placement {
        QRect picture; // empty when the picture goes
        QRect caption;
    };
    // Where the picture and the caption go inside the contents rectangle, as painted now.
    Placement placement() const;
    QRect contentsRectangle() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Placement placeIn(const QRect& inner) const;
};

// A button as the layout tables give it: object name, caption, position and size in twips and,
// for a picture button, the picture from the resources, its size and a tooltip.
QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption, const QRect& twips,
                        const char* picture = nullptr, QSize pictureSize = QSize(32, 32), const QString& tooltip = {});
