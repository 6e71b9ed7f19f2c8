#pragma once

#include "service/Catalogue.h"
#include "service/PublishedAnswers.h"

#include <QList>
#include <QString>

namespace KDAutoUpdate {

// The states a query's gates can be in, as a published catalogue spells them (see
// PublishedAnswers): test mode or not, each campaign the catalogue names or none, and where the
// licence key's bucket lies among the rollout shares. Because one hash decides every share of a
// product, a key within a share is within every greater one: K shares give K + 1 states.
class GateStates {
public:
    struct State {
        bool testMode = false;
        QString campaign;      // lower case; empty for a campaign the catalogue does not name
        QList<bool> inShare;   // per share of Gates::shares
        QString key;           // "T:C:R"
    };

    static PublishedAnswers::Gates Of(const Catalogue& catalogue);
    static QList<State> All(const PublishedAnswers::Gates& gates);
    // Whether `message` passes the gates in `state`.
    static bool Passes(const CatalogueMessage& message, const State& state,
                       const PublishedAnswers::Gates& gates);
};

} // namespace KDAutoUpdate
