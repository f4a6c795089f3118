#pragma once
// The about window as a splash at start: shown for a second before the main window exists.
namespace krvs::ide {

class TSet;

inline constexpr int kAboutSplashMs = 1000;

// When the settings ask for it: creates the about window (it fades in), waits kAboutSplashMs
// without processing messages, hides and destroys it.
void showAboutSplash(const TSet& set);

}  // namespace krvs::ide
