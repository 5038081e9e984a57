#pragma once

#include "core/registrar/ReplyEvent.h"

namespace drovane {

// Tells the user at once that a name was bought. The main window calls it once for
// every successful order; tests put a recorder in its place.
class OrderNotifier {
public:
    virtual ~OrderNotifier() = default;
    virtual void orderPlaced(const ReplyEvent& order) = 0;
    // A catch is at risk, or a run stopped without the user's Stop: told as urgently as
    // an order, or quietly (`low`) where nothing went wrong (the end time).
    virtual void alert(const QString& summary, const QString& body, bool low) {
        Q_UNUSED(summary);
        Q_UNUSED(body);
        Q_UNUSED(low);
    }
};

} // namespace drovane
