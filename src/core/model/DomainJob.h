#pragma once

#include <QString>
#include <memory>

namespace drovane {

// One domain job of a run.
class DomainJob {
public:
    QString domain;
    qint16 tries = 0;
    bool buyNext = false;

    // Counts one more submission; stops at the 16-bit maximum instead of wrapping.
    void countTry() {
        if (tries < INT16_MAX)
            ++tries;
    }
};

using DomainJobPtr = std::shared_ptr<DomainJob>;

} // namespace drovane
