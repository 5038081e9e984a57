#pragma once

#include "core/registrar/ReplyEvent.h"

namespace drovane {

// Tells the user at once that a name was bought. The main window calls it once for
// every successful order; tests put a recorder in its place.
class OrderNotifier {
public:
    virtual ~OrderNotifier() = default;
    virtual void orderPlaced(const ReplyEvent& order) = 0;
};

} // namespace drovane
