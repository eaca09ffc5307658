#include "ui/dialog_font.h"

#include <QStringList>

namespace sonocap {

QFont DialogFont() {
    QFont font;
    // The faces in order of preference; the first is in fonts-dejavu-extra.
    font.setFamilies({"DejaVu Sans Condensed", "Liberation Sans Narrow", "Sans Serif"});
    font.setPixelSize(kDialogFontPixels);
    return font;
}

}  // namespace sonocap
