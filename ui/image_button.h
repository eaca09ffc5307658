#pragma once

#include <QAbstractButton>
#include <QPixmap>

// A push button that shows only a picture, drawn as a raised grey key that looks pressed
// while the mouse holds it or while it is held down on purpose (setHeld).

namespace sonocap {

class ImageButton final : public QAbstractButton {
    Q_OBJECT

  public:
    explicit ImageButton(QWidget* parent = nullptr);

    void SetImage(const QPixmap& image);
    const QPixmap& Image() const { return image_; }

    // Keeps the button drawn pressed until it is released with false.
    void SetHeld(bool held);
    bool IsHeld() const { return held_; }

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QPixmap image_;
    bool held_ = false;
};

}  // namespace sonocap
