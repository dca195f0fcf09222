#pragma once
// Context numbers of the pop-up help texts in the help's "Context.txt". A control that carries one
// shows its text through HelpWindow::ShowPopup; the numbers here and the ".topic" lines of the file
// must agree (a test checks that every number has a text).

namespace tola {

// The configuration editor's "Enable Antennas" page.
inline constexpr unsigned kHelpAllBandsAnt1 = 5001;
inline constexpr unsigned kHelpAllBandsAnt2 = 5002;
inline constexpr unsigned kHelpBandAnt1 = 5003;  // any band's ANT 1 box
inline constexpr unsigned kHelpBandAnt2 = 5004;  // any band's ANT 2 box

inline constexpr unsigned kHelpContexts[] = {kHelpAllBandsAnt1, kHelpAllBandsAnt2, kHelpBandAnt1, kHelpBandAnt2};

}  // namespace tola
