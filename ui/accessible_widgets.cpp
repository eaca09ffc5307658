#include "ui/accessible_widgets.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <algorithm>

#include "ui/display_texts.h"
#include "ui/level_meter.h"
#include "ui/reason_notice.h"

namespace sonocap {

namespace {

class AccessibleLevelMeter final : public QAccessibleWidget, public QAccessibleValueInterface {
  public:
    explicit AccessibleLevelMeter(LevelMeter* meter)
        : QAccessibleWidget(meter, QAccessible::ProgressBar), meter_(meter) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text type) const override {
        if (type == QAccessible::Value) return QString::fromStdString(LevelText(meter_->LevelDb()));
        return QAccessibleWidget::text(type);
    }

    // The bar's own scale: below its floor it is empty.
    QVariant currentValue() const override {
        return static_cast<double>(std::max(meter_->LevelDb(), kMeterFloorDb));
    }
    void setCurrentValue(const QVariant&) override {}
    QVariant maximumValue() const override { return 0.0; }
    QVariant minimumValue() const override { return static_cast<double>(kMeterFloorDb); }
    QVariant minimumStepSize() const override { return 0.0; }

  private:
    LevelMeter* meter_;
};

QAccessibleInterface* AccessibleWidget(const QString&, QObject* object) {
    if (auto* meter = qobject_cast<LevelMeter*>(object)) return new AccessibleLevelMeter(meter);
    if (auto* notice = qobject_cast<ReasonNotice*>(object)) {
        return new QAccessibleWidget(notice, QAccessible::Notification);
    }
    return nullptr;
}

}  // namespace

void InstallAccessibleWidgets() {
    static const bool installed = [] {
        QAccessible::installFactory(AccessibleWidget);
        return true;
    }();
    (void)installed;
}

}  // namespace sonocap
