#pragma once

#include <QDialog>

// The About box: the program icon, two lines of notice, OK and the maker's web address. It
// opens centred over the recorder, which keeps recording and ticking meanwhile.

namespace sonocap {

inline constexpr char kAboutTitle[] = "Sonocap 2.1";
inline constexpr char kAboutNoticeFirst[] = "Sonocap 2.1  stereo recorder";
inline constexpr char kAboutNoticeSecond[] = "\u00a9 Audiograph 2024";
inline constexpr char kMakerWebAddress[] = "audiograph.example";

class AboutDialog final : public QDialog {
    Q_OBJECT

  public:
    explicit AboutDialog(QWidget* parent = nullptr);
};

}  // namespace sonocap
