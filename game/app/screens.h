// The screens the application object and the other screens open: each is
// made, built with the display and the input object and pushed on the
// screen stack. Each returns the screen, null when it could not be built.
#pragma once

class ksMain;
class Dlg;

// The main menu (always the bottom screen).
Dlg* PushMainMenu(ksMain* app);
// The quick play set-up screen.
Dlg* PushQuickPlay(ksMain* app);
// Career play: the select screen, the new-career screens and the map.
Dlg* PushCareerSelect(ksMain* app);
Dlg* PushCareerNickname(ksMain* app);
Dlg* PushCareerMap(ksMain* app);
// Settings, help, credits and the welcome pages.
Dlg* PushSettings(ksMain* app);
Dlg* PushHelp(ksMain* app);
Dlg* PushCredits(ksMain* app);
void PushWelcome(ksMain* app);
// The in-game menu over a match; the state becomes the menus.
Dlg* PushInGameMenu(ksMain* app);
// Shows the keypad picture over the match, or hides it when shown.
void ToggleKeyMap(ksMain* app);
