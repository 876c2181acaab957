#pragma once

// The names under which the program appears and keeps its settings.

namespace plinth {

// The program's name, also the caption of its message boxes.
inline constexpr const char* kApplicationName = "Plinth";
// The maker's name: the root of the user's settings (~/.config/Quarnet/).
inline constexpr const char* kMakerName = "Quarnet";
// The product whose data folders the program shares.
inline constexpr const char* kProductName = "Velmora 6.0";

}  // namespace plinth
