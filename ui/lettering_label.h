#pragma once

#include <QColor>
#include <QString>
#include <QWidget>
#include <vector>

// A small label of coloured words on the window's grey, such as "recorded" in red.

namespace sonocap {

struct LetteringPart {
    QString text;
    QColor colour;
    bool outlined = false;  // a dark outline keeps light letters readable on the grey
};

class LetteringLabel final : public QWidget {
    Q_OBJECT

  public:
    LetteringLabel(std::vector<LetteringPart> parts, Qt::Alignment alignment,
                   QWidget* parent = nullptr);

    // The words in order, for tests and for the accessible name.
    QString text() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    std::vector<LetteringPart> parts_;
    Qt::Alignment alignment_;
};

}  // namespace sonocap
