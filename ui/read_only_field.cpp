#include "ui/read_only_field.h"

#include <QFocusEvent>
#include <QStyle>
#include <QStyleOptionFrame>

namespace sonocap {

namespace {

// A line edit draws its text this far in from its contents rectangle.
constexpr int kLineEditTextIndent = 2;
// How much closer the letters of a text that does not fit may come, in pixels.
constexpr double kTightenedSpacing = -0.5;

}  // namespace

ReadOnlyField::ReadOnlyField(QWidget* parent) : QLineEdit(parent) {
    setReadOnly(true);
}

int ReadOnlyField::TextRoom() const {
    QStyleOptionFrame option;
    initStyleOption(&option);
    const QRect contents = style()->subElementRect(QStyle::SE_LineEditContents, &option, this);
    return contents.marginsRemoved(textMargins()).width() - kLineEditTextIndent;
}

void ReadOnlyField::ShowText(const QString& text) {
    if (this->text() == text) return;
    // The window's font where the text fits, so that the usual texts look as they always do.
    QFont normal = parentWidget() != nullptr ? parentWidget()->font() : QFont();
    QFont chosen = normal;
    if (QFontMetrics(normal).horizontalAdvance(text) > TextRoom()) {
        chosen.setLetterSpacing(QFont::AbsoluteSpacing, kTightenedSpacing);
    }
    if (chosen != font()) setFont(chosen);
    setText(text);
    // A text still longer than the field shows its beginning: "10606:05 min" with its first
    // digits scrolled out of view would read as 606 minutes.
    setCursorPosition(0);
}

void ReadOnlyField::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    // A line edit selects all of its text when Tab reaches it.
    if (event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason) {
        deselect();
    }
}

}  // namespace sonocap
