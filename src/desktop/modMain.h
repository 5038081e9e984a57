#pragma once

#include <QString>

namespace drovane {

// Makes "Tahoma" resolve to the font Debian's fonts-wine ships, which fontconfig does
// not scan. Without the file the windows fall back to the system's sans serif.
void registerFonts();

// Start-up: the settings, the legal-type codes and the main window. Returns the
// application's exit code.
int Main(int argc, char* argv[], const QString& registrarHost);

} // namespace drovane
