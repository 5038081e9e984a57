#include "desktop/modMain.h"

#include <QString>

int main(int argc, char* argv[]) {
    return drovane::Main(argc, argv, QStringLiteral(DROVANE_REGISTRAR_HOST));
}
