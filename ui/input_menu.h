#pragma once

#include <QMenu>

// The window's "Input" submenu: the default input first, then every source by its description,
// the monitors of outputs (what the computer plays) under a heading of their own, the one in
// use checked. A choice applies at once, to a running recording too; the audio system, not the
// parameter file, remembers it. Built anew each time it opens, from what the audio system last
// said, without waiting for it. A device that offers no choice shows the default input alone,
// disabled.

namespace sonocap {

inline constexpr char kInputMenuText[] = "&Input";
inline constexpr char kDefaultInputText[] = "Default input";
inline constexpr char kMonitorsHeading[] = "What the computer plays";

class InputMenu final : public QMenu {
    Q_OBJECT

  public:
    explicit InputMenu(QWidget* parent = nullptr);

    // Fills the menu from the wave-input layer's list.
    void Rebuild();
};

}  // namespace sonocap
