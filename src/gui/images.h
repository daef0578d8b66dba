// The window's two pictures, drawn in code so that no image file is needed.
#pragma once

#include <QPixmap>

namespace mailsift::gui {

// The window icon: 23 x 24 pixels, an envelope with an "@".
QPixmap drawWindowIcon();

// The donate picture: 147 x 47 pixels, a button labelled "Donate".
QPixmap drawDonateImage();

}  // namespace mailsift::gui
