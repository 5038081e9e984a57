#pragma once

#include "core/model/DomainGroup.h"

#include <QStringList>

namespace drovane::test {

// A group holding a fresh job for each name, in order.
inline DomainGroup groupOf(const QStringList& names) {
    DomainGroup g;
    for (const QString& name : names) {
        auto job = std::make_shared<DomainJob>();
        job->domain = name;
        g.add(job);
    }
    return g;
}

// The names of a group's jobs, in position order.
inline QStringList namesOf(const DomainGroup& g) {
    QStringList names;
    for (int k = 1; k <= g.size(); ++k)
        names << g.at(k)->domain;
    return names;
}

} // namespace drovane::test
