#pragma once
// The pictures of the auxiliary windows, painted here so they scale with the fonts installed and
// need no image files.
#include <QPixmap>

namespace krvs::ide {

// The about picture, 500 x 309: the name, the version and the toolchain.
QPixmap aboutPicture();
// A small chip (the emulated PC), `side` pixels square.
QPixmap chipPicture(int side);
// A sheet of assembly source, `side` pixels square.
QPixmap sourcePicture(int side);
// The pale backdrop of the extended-services pages.
QPixmap reminderBackdrop(int side);

}  // namespace krvs::ide
