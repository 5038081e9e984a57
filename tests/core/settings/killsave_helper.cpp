// Saves into the folder given as its argument, alternating between two contents,
// until it is killed; one byte on standard output after each save that went through.

#include "KillSaveContents.h"

#include <unistd.h>

int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
    drovane::SettingsStore store(QString::fromLocal8Bit(argv[1]));
    const drovane::MainFields contents[2] = {drovane::test::killSaveFields(false),
                                             drovane::test::killSaveFields(true)};
    for (unsigned i = 0;; ++i) {
        const bool b = i % 2 == 1;
        drovane::test::killSaveSettings(store, b);
        if (!store.WriteSettings(contents[b]).ok)
            return 1;
        if (::write(STDOUT_FILENO, b ? "B" : "A", 1) != 1)
            return 1;
    }
}
