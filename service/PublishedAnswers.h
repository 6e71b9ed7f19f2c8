#pragma once

#include <QList>
#include <QString>

namespace KDAutoUpdate {

// Which rendered answer a request gets: the product its ProductCode names, then the first rule
// whose pattern matches its Version. Answer names name the files check/NAME.xml and
// page/NAME.html of a published catalogue.
//
// Messages with gates (test channel, campaign, rollout share) make the version's rule name a
// version set ("p0-g0_2") instead of an answer; the answer then comes from the gate key
//   VSET:T:C:R
// with T "1" in test mode, else "0"; C the query's campaign when the catalogue names it, else
// empty; R one flag per rollout share of the catalogue (ascending), "1" where the licence key's
// bucket lies within the share, all "0" without a licence key.
struct PublishedAnswers {
    struct Rule {
        QString versionPattern; // a VersionPattern expression, empty for "Version" absent or empty
        QString answer;         // or version set
    };
    struct Product {
        QString key;          // short name used inside the configuration
        QString code;         // normalized product code
        QList<Rule> rules;    // in the order they are tried
        QString otherVersion; // answer for a Version no rule reads
    };
    static constexpr const char* kUnknownProduct = "unknown";

    struct Gates {
        bool testChannel = false; // some message is for test mode only
        QStringList campaigns;    // lower case
        QList<int> shares;        // distinct rollout percentages from 1 to 99, ascending
        bool Any() const { return testChannel || !campaigns.isEmpty() || !shares.isEmpty(); }
    };

    QList<Product> products;
    Gates gates;
    // Gate key to answer, for every version set with gated messages and every gate state.
    QList<QPair<QString, QString>> gatedAnswers;
    // Answer to the ids of the messages it offers ("-" for none), for the access log.
    QList<QPair<QString, QString>> offeredIds;
    // Files of info/ with the content type the service gives them.
    QList<QPair<QString, QString>> infoFiles;
};

} // namespace KDAutoUpdate
