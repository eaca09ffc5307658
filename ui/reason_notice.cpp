#include "ui/reason_notice.h"

namespace sonocap {

ReasonNotice::ReasonNotice(QWidget* parent) : QWidget(parent) {
    // One transparent pixel in the window's corner: an object of no size would count as off
    // the screen, which screen readers pass over.
    setGeometry(0, 0, 1, 1);
    setFocusPolicy(Qt::NoFocus);
    hide();
}

void ReasonNotice::Announce(const QString& reason) {
    // Qt 6.4 has no announcement event; an object of the notification role that comes into
    // view is what screen readers speak without the focus moving there.
    hide();
    setAccessibleName(reason);
    show();
}

void ReasonNotice::Withdraw() {
    hide();
}

}  // namespace sonocap
