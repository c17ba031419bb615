#pragma once
// The protocol program's command-line arguments as given (one implementation
// file per system): from the wide command line on Windows, elsewhere the bytes
// of argv whatever their encoding.

#include <QString>

namespace protocol {

// The argument `index` of main's argv, once the application object exists
// (Qt has taken its own options out of argv).
QString ProgramArgument(char** argv, int index);

}  // namespace protocol
