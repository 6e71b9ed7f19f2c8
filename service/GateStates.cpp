#include "service/GateStates.h"

#include <algorithm>

namespace KDAutoUpdate {

PublishedAnswers::Gates GateStates::Of(const Catalogue& catalogue) {
    PublishedAnswers::Gates gates;
    for (const CatalogueProduct& product : catalogue.Products()) {
        for (const CatalogueMessage& message : product.messages) {
            gates.testChannel = gates.testChannel || message.testChannel;
            if (!message.campaign.isEmpty() && !gates.campaigns.contains(message.campaign.toLower()))
                gates.campaigns.append(message.campaign.toLower());
            if (message.rollout > 0 && message.rollout < 100 &&
                !gates.shares.contains(message.rollout))
                gates.shares.append(message.rollout);
        }
    }
    std::sort(gates.shares.begin(), gates.shares.end());
    gates.campaigns.sort();
    return gates;
}

QList<GateStates::State> GateStates::All(const PublishedAnswers::Gates& gates) {
    QList<State> states;
    QStringList campaigns{QString()};
    campaigns += gates.campaigns;
    for (const bool test : {false, true}) {
        if (test && !gates.testChannel)
            break;
        for (const QString& campaign : campaigns) {
            // Below the first k shares' bounds means outside them and inside all the others.
            for (qsizetype outside = 0; outside <= gates.shares.size(); ++outside) {
                State state{test, campaign, {}, {}};
                QString flags;
                for (qsizetype i = 0; i < gates.shares.size(); ++i) {
                    state.inShare.append(i >= outside);
                    flags += i >= outside ? u'1' : u'0';
                }
                state.key = (test ? QStringLiteral("1:") : QStringLiteral("0:")) + campaign + u':' + flags;
                states.append(state);
            }
        }
    }
    return states;
}

bool GateStates::Passes(const CatalogueMessage& message, const State& state,
                        const PublishedAnswers::Gates& gates) {
    const qsizetype share = gates.shares.indexOf(message.rollout);
    return message.PassesGates(state.testMode, state.campaign,
                               share >= 0 && state.inShare[share]);
}

} // namespace KDAutoUpdate
