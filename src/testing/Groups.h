#pragma once

#include "core/model/clsDomainsMain.h"

#include <QStringList>

namespace drovane::test {

// A group holding a fresh job for each name, in order.
inline clsDomainsMain groupOf(const QStringList& names) {
    clsDomainsMain g;
    for (const QString& name : names) {
        auto job = std::make_shared<clsDomains>();
        job->Domain = name;
        g.Add(job);
    }
    return g;
}

// The names of a group's jobs, in position order.
inline QStringList namesOf(const clsDomainsMain& g) {
    QStringList names;
    for (int k = 1; k <= g.Count(); ++k)
        names << g.item(k)->Domain;
    return names;
}

} // namespace drovane::test
