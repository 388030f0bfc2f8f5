// Whether a screen shows everything whole: each visible widget inside the
// screen and inside the widget it belongs to, each text it draws inside its
// box, inside the screen and clear of its widget's frame. The screen is
// painted once in full to see its texts.
#pragma once

#include <string>
#include <vector>

class Wnd;

namespace fit {

// What does not fit, one line each ("widget 7 \"Back\" ..."); empty when
// everything does.
std::vector<std::string> Problems(Wnd* screen);

}  // namespace fit
