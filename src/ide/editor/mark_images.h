#pragma once
// The six 12 x 12 gutter pictures, indexed by the line-mark code: grey dot, red ball, cyan arrow,
// red ball with a white X, red ball with a green tick, red ball with a blue arrow.

#include <QList>
#include <QPixmap>

namespace krvs::ide {

inline constexpr int kMarkImageSize = 12;

QList<QPixmap> makeMarkImages();

}  // namespace krvs::ide
