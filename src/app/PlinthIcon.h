#pragma once

#include <QIcon>

namespace plinth {

// The program's icon, a chess piece on a plinth, drawn from its SVG picture at
// the sizes that window managers and dialogs ask for.
QIcon PlinthIcon();

}  // namespace plinth
