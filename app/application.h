#pragma once
// The application object's settings made at start-up: names, help file, style.

namespace app {

// Call once, right after the QApplication exists.
void ConfigureApplication();

}  // namespace app
