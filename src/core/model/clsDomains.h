#pragma once

#include <QString>
#include <memory>

namespace drovane {

// One domain job of a run.
class clsDomains {
public:
    QString Domain;
    qint16 Tries = 0;
    bool DoPURCHASE = false;

    // Counts one more submission; stops at the 16-bit maximum instead of wrapping.
    void countTry() {
        if (Tries < INT16_MAX)
            ++Tries;
    }
};

using DomainJob = std::shared_ptr<clsDomains>;

} // namespace drovane
