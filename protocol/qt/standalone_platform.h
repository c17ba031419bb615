#pragma once
// The platform of the GUI application a command-line tool makes to draw its
// papers (one implementation file per system).

namespace protocol::paper {

// Called before that application object is made. No display is needed: on
// Linux a terminal may have none, so the offscreen platform is taken unless
// QT_QPA_PLATFORM names one. Windows always has its platform, and only it
// gives the system's fonts to the PDF (the offscreen platform there finds
// none and draws boxes).
void ChooseStandalonePlatform();

}  // namespace protocol::paper
