#pragma once
// Qt's own texts (the buttons of message boxes, the file, folder and print
// dialogs) in Russian, as all of the program's texts are, whatever the
// system's language. Both window programs call this once at start-up.

namespace shell {

// Right after the QApplication exists. Loads Qt's Russian translation from a
// "translations" folder beside the program (the Windows folder) or from Qt's
// own translations folder (Debian's qt6-translations-l10n); false when
// neither has it, and Qt's texts stay English. Where the system's language is
// not Russian, the system's file dialogs would speak it: Qt's own dialogs are
// used instead.
bool UseRussianQtTexts();

}  // namespace shell
