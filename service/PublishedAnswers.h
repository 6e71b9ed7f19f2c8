#pragma once

#include <QList>
#include <QString>

namespace KDAutoUpdate {

// Which rendered answer a request gets: the product its ProductCode names, then the first rule
// whose pattern matches its Version. Answer names name the files check/NAME.xml and
// page/NAME.html of a published catalogue.
struct PublishedAnswers {
    struct Rule {
        QString versionPattern; // a VersionPattern expression, empty for "Version" absent or empty
        QString answer;
    };
    struct Product {
        QString key;          // short name used inside the configuration
        QString code;         // normalized product code
        QList<Rule> rules;    // in the order they are tried
        QString otherVersion; // answer for a Version no rule reads
    };
    static constexpr const char* kUnknownProduct = "unknown";

    QList<Product> products;
    // Files of info/ with the content type the service gives them.
    QList<QPair<QString, QString>> infoFiles;
};

} // namespace KDAutoUpdate
