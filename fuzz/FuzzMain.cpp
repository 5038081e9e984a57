// One libFuzzer target: DROVANE_FUZZ_PROPERTY names the property check it runs.

#include "Properties.h"

#include <QtGlobal>

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Trapped errors print a line each; over a million runs that only slows the search.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type == QtFatalMsg || type == QtCriticalMsg)
            std::fprintf(stderr, "%s\n", qUtf8Printable(text));
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString failed = drovane::fuzz::DROVANE_FUZZ_PROPERTY(
        QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (!failed.isEmpty()) {
        std::fprintf(stderr, "property failed: %s\n", qUtf8Printable(failed));
        std::abort();
    }
    return 0;
}
