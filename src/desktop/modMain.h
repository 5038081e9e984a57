#pragma once

#include <QString>

namespace drovane {

// Makes "Tahoma" resolve to the font Debian's fonts-wine ships, which fontconfig does
// not scan. Without the file the windows fall back to the system's sans serif.
void registerFonts();

// --version and --help, printed to stdout; true when one of them was asked, and the
// program is to end. Needs no display, nor the application object.
bool answerCommandLine(int argc, char* argv[]);

// Start-up: --version or --help, or else the settings, the legal-type codes and the
// main window. Returns the application's exit code.
int Main(int argc, char* argv[], const QString& registrarHost);

} // namespace drovane
