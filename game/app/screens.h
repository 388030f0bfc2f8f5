// The screens the application object opens itself: each is made, built
// with the display and the input object and pushed on the screen stack.
#pragma once

class ksMain;
class Dlg;

// The main menu (always the bottom screen); returns it, null when it could
// not be built.
Dlg* PushMainMenu(ksMain* app);
// The quick play set-up screen.
Dlg* PushQuickPlay(ksMain* app);
