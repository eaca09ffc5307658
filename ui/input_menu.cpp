#include "ui/input_menu.h"

#include <QAction>
#include <QActionGroup>

#include "platform/wave_input.h"

namespace sonocap {

namespace {

// A description as a menu item's text: an ampersand is no mnemonic.
QString ItemText(const std::string& description) {
    return QString::fromStdString(description).replace("&", "&&");
}

}  // namespace

InputMenu::InputMenu(QWidget* parent) : QMenu(kInputMenuText, parent) {
    connect(this, &QMenu::aboutToShow, this, &InputMenu::Rebuild);
    Rebuild();
}

void InputMenu::Rebuild() {
    clear();
    const platform::InputChoice choice = platform::Current<platform::WaveInput>().Inputs();
    auto* group = new QActionGroup(this);
    const auto item = [&](const QString& text, const std::string& name) {
        QAction* action = addAction(text);
        action->setCheckable(true);
        action->setChecked(name == choice.inUse);
        group->addAction(action);
        connect(action, &QAction::triggered, this,
                [name] { platform::Current<platform::WaveInput>().ChooseInput(name); });
        return action;
    };
    QAction* fallback = item(kDefaultInputText, "");
    if (choice.sources.empty()) {
        fallback->setEnabled(false);
        return;
    }
    for (const platform::InputSource& source : choice.sources) {
        if (!source.monitor) item(ItemText(source.description), source.name);
    }
    bool headed = false;
    for (const platform::InputSource& source : choice.sources) {
        if (!source.monitor) continue;
        if (!headed) {
            addSeparator();
            addAction(kMonitorsHeading)->setEnabled(false);
            headed = true;
        }
        item(ItemText(source.description), source.name);
    }
}

}  // namespace sonocap
