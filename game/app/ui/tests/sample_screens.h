// Screens built the way the game's menus build theirs, over the menu
// archive the build makes: a main menu (background picture, six buttons in
// a focus ring, the "Home" and "Back" pictures) and a gallery of every
// widget. For the screenshots and the frame benchmark.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "display/display_s16.h"
#include "ui/dlg.h"

namespace ks::ui::sample {

// A device opened headless at width x height (turned as the game turns a
// portrait screen) whose archive serves the menu archive at hostResArk as
// "\UI\res.ark". Null when it cannot be opened or the archive is missing.
std::unique_ptr<ssDisplayS16> OpenWithMenuArchive(const std::string& hostResArk, int width = 240, int height = 320);

Dlg* BuildMainMenu(ssDisplay* display);
Dlg* BuildGallery(ssDisplay* display);
// A screen holding the on-screen keyboard, opened, with a text typed.
Dlg* BuildKeyboard(ssDisplay* display);

// The logical screen as RGB565 pixels, row by row.
std::vector<std::uint16_t> LogicalPixels(const ssDisplayS16& display);

}  // namespace ks::ui::sample
