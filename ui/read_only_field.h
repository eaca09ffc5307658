#pragma once

#include <QLineEdit>

// A text field that shows a value and takes no input. Reaching it with Tab selects nothing:
// a highlighted selection would suggest a text to edit or to replace. A text a little wider
// than the field is set with its letters closer together rather than cut.

namespace sonocap {

class ReadOnlyField final : public QLineEdit {
    Q_OBJECT

  public:
    explicit ReadOnlyField(QWidget* parent = nullptr);

    // Shows `text` from its beginning; an unchanged text costs nothing.
    void ShowText(const QString& text);

    // The pixels across that the field draws its text in.
    int TextRoom() const;

  protected:
    void focusInEvent(QFocusEvent* event) override;
};

}  // namespace sonocap
