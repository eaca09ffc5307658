#pragma once

#include <QString>
#include <QWidget>

// Why a take ended by itself, as assistive technology meets it: an object of the notification
// role that appears with the reason as its name, which a screen reader speaks at once and keeps
// in its list of notifications. It draws nothing.

namespace sonocap {

class ReasonNotice final : public QWidget {
    Q_OBJECT

  public:
    explicit ReasonNotice(QWidget* parent);

    // Appears anew with `reason`, also when it already shows one.
    void Announce(const QString& reason);
    void Withdraw();
};

}  // namespace sonocap
