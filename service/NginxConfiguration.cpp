#include "service/NginxConfiguration.h"

#include "service/UpdateService.h"

#include <QRegularExpression>
#include <QStringList>

namespace KDAutoUpdate {

namespace {

// A double-quoted string of the configuration; nginx keeps other backslashes as they are.
QString Quoted(QString text) {
    text.replace(u'\\', QStringLiteral("\\\\")).replace(u'"', QStringLiteral("\\\""));
    return u'"' + text + u'"';
}

// A regular expression inside a quoted string: its backslashes must reach nginx as written.
QString QuotedPattern(const QString& pattern) {
    QString text = pattern;
    text.replace(u'"', QStringLiteral("\\\""));
    return u'"' + text + u'"';
}

// The query's gates as PublishedAnswers spells them. The rollout shares use split_clients over
// "<product code>:<LicKey>", the key and hash RolloutBucket computes, one block per share so that
// each bound is exactly the one of "P% 1;".
QString GateMaps(const PublishedAnswers& answers) {
    const PublishedAnswers::Gates& gates = answers.gates;
    QString text = QStringLiteral("    map $arg_testmode $kdau_test {\n        default 0;\n"
                                  "        \"~*^true$\" 1;\n    }\n"
                                  "    map $kdau_test $kdau_channel {\n        default release;\n"
                                  "        1 test;\n    }\n");
    if (!gates.Any())
        return text +
               QStringLiteral("    map $arg_lickey $kdau_bucket {\n        default -;\n    }\n");
    text += QStringLiteral("    map $kdau_product $kdau_code {\n        default \"\";\n");
    for (const PublishedAnswers::Product& product : answers.products)
        text += QStringLiteral("        %1 %2;\n").arg(product.key, Quoted(product.code));
    // Exact strings of a map compare without regard to letter case, as the service does.
    text += QStringLiteral("    }\n    map $arg_cmpid $kdau_campaign {\n        default \"\";\n");
    for (const QString& campaign : gates.campaigns)
        text += QStringLiteral("        %1 %1;\n").arg(campaign);
    text += QStringLiteral("    }\n");
    QString flags;
    QString closed;
    for (const int share : gates.shares) {
        text += QStringLiteral("    split_clients \"${kdau_code}:${arg_lickey}\" $kdau_share_%1 {\n"
                               "        %1% 1;\n        * 0;\n    }\n")
                    .arg(share);
        flags += QStringLiteral("$kdau_share_%1").arg(share);
        closed += u'0';
    }
    // Without a licence key a message is offered at 100 % only.
    text += QStringLiteral("    map $arg_lickey $kdau_rollout {\n        \"\" \"%1\";\n"
                           "        default \"%2\";\n    }\n")
                .arg(closed, flags);
    // For the log: between which shares the key's bucket lies.
    text += QStringLiteral("    map $arg_lickey $kdau_bucket {\n        \"\" -;\n"
                           "        default $kdau_bucket_range;\n    }\n"
                           "    map \"%1\" $kdau_bucket_range {\n        default -;\n")
                .arg(flags);
    for (qsizetype outside = 0; outside <= gates.shares.size(); ++outside) {
        const QString state = QString(outside, u'0') + QString(gates.shares.size() - outside, u'1');
        const QString range = outside == 0 ? QStringLiteral("<%1%").arg(gates.shares.first())
                              : outside == gates.shares.size()
                                  ? QStringLiteral(">=%1%").arg(gates.shares.last())
                                  : QStringLiteral("%1-%2%")
                                        .arg(gates.shares[outside - 1])
                                        .arg(gates.shares[outside]);
        if (!state.isEmpty())
            text += QStringLiteral("        %1 %2;\n").arg(Quoted(state), Quoted(range));
    }
    text += QStringLiteral("    }\n    map \"$kdau_set:$kdau_test:$kdau_campaign:$kdau_rollout\" "
                           "$kdau_answer {\n        default $kdau_set;\n");
    for (const auto& [key, answer] : answers.gatedAnswers)
        text += QStringLiteral("        %1 %2;\n").arg(Quoted(key), answer);
    return text + QStringLiteral("    }\n");
}

// Which messages the answer offers, for the access log.
QString OfferedMap(const PublishedAnswers& answers) {
    QString text = QStringLiteral("    map $kdau_answer $kdau_offered {\n        default -;\n");
    for (const auto& [answer, ids] : answers.offeredIds)
        text += QStringLiteral("        %1 %2;\n").arg(answer, Quoted(ids));
    return text + QStringLiteral("    }\n");
}

QString Maps(const PublishedAnswers& answers) {
    // nginx's $arg_NAME is the first parameter of that name, letter case ignored, as the
    // service reads it; the code may come with or without braces, escaped or not.
    QString text =
        QStringLiteral("    map $arg_productcode $kdau_product {\n        default \"\";\n");
    for (const PublishedAnswers::Product& product : answers.products)
        text += QStringLiteral("        %1 %2;\n")
                    .arg(QuotedPattern(QStringLiteral("~*^(?:\\{|%7B)?%1(?:\\}|%7D)?$")
                                           .arg(QRegularExpression::escape(product.code))),
                         product.key);
    // With gates the version's rule names a version set; the gate map below picks the answer.
    text +=
        QStringLiteral("    }\n    map \"$kdau_product:$arg_version\" %1 {\n"
                       "        default %2;\n")
            .arg(answers.gates.Any() ? QStringLiteral("$kdau_set") : QStringLiteral("$kdau_answer"),
                 QLatin1String(PublishedAnswers::kUnknownProduct));
    for (const PublishedAnswers::Product& product : answers.products) {
        for (const PublishedAnswers::Rule& rule : product.rules) {
            const QString key =
                rule.versionPattern.isEmpty()
                    ? Quoted(product.key + u':')
                    : QuotedPattern(
                          QStringLiteral("~^%1:%2$").arg(product.key, rule.versionPattern));
            text += QStringLiteral("        %1 %2;\n").arg(key, rule.answer);
        }
        text +=
            QStringLiteral("        %1 %2;\n")
                .arg(QuotedPattern(QStringLiteral("~^%1:").arg(product.key)), product.otherVersion);
    }
    return text + QStringLiteral("    }\n") + GateMaps(answers);
}

QString InfoLocations(const PublishedAnswers& answers, const QString& folder,
                      const QString& service) {
    QString text;
    for (const auto& [name, type] : answers.infoFiles)
        text += QStringLiteral("        location ~ %1 {\n"
                               "            types { } default_type %2;\n"
                               "            gzip_static on;\n"
                               "            alias %3;\n        }\n")
                    .arg(QuotedPattern(QStringLiteral("^(?i:%1/info/)%2$")
                                           .arg(QRegularExpression::escape(service),
                                                QRegularExpression::escape(name))),
                         Quoted(type), Quoted(folder + QStringLiteral("/info/") + name));
    return text;
}

} // namespace

QByteArray NginxConfiguration::Text(const PublishedAnswers& answers, const QString& folder,
                                    const QString& listen) {
    const QString service = QLatin1String(UpdateService::kServicePath);
    QString text = QStringLiteral(
        "# The published update service: static answers chosen by ProductCode and Version.\n"
        "worker_processes auto;\n"
        "pid kdautoupdate-nginx.pid;\n"
        "events { worker_connections 1024; }\n"
        "http {\n"
        "    map_hash_max_size 262144;\n"
        "    map_hash_bucket_size 256;\n"
        "    variables_hash_max_size 4096;\n"
        "    log_format kdautoupdate '$remote_addr [$time_local] \"$request\" $status '\n"
        "        'offered=$kdau_offered bucket=$kdau_bucket channel=$kdau_channel';\n"
        "    access_log kdautoupdate-access.log kdautoupdate buffer=64k flush=1s;\n"
        "    server_tokens off;\n"
        "    sendfile on;\n"
        "    tcp_nopush on;\n"
        "    open_file_cache max=1000;\n"
        // Answers and pages: short-lived in caches, revalidated by their ETag (nginx gives
        // every static file one). Clients that accept gzip get the NAME.gz publish wrote
        // beside them; nothing is compressed per request.
        "    gzip off;\n"
        "    gzip_vary on;\n"
        "    gzip_http_version 1.0;\n"
        "    client_body_temp_path client_body_temp;\n"
        "    proxy_temp_path proxy_temp;\n"
        "    fastcgi_temp_path fastcgi_temp;\n"
        "    uwsgi_temp_path uwsgi_temp;\n"
        "    scgi_temp_path scgi_temp;\n");
    text += Maps(answers) + OfferedMap(answers);
    text += QStringLiteral("    server {\n"
                           "        listen %1;\n"
                           "        root %2;\n"
                           "        error_page 404 /kdau-not-found;\n"
                           "        if ($request_method != GET) { return 405; }\n"
                           "        location = /kdau-not-found {\n"
                           "            internal;\n"
                           "            gzip_static on;\n"
                           "            types { } default_type \"text/html; charset=utf-8\";\n"
                           "            alias %3;\n        }\n"
                           "        location ~* %4 {\n"
                           "            types { } default_type text/xml;\n"
                           "            add_header Cache-Control \"public, max-age=60\";\n"
                           "            gzip_static on;\n"
                           "            try_files /check/$kdau_answer.xml =404;\n        }\n"
                           "        location ~* %5 {\n"
                           "            types { } default_type text/html;\n"
                           "            charset utf-8;\n"
                           "            add_header Cache-Control \"public, max-age=60\";\n"
                           "            gzip_static on;\n"
                           "            try_files /page/$kdau_answer.html =404;\n        }\n"
                           "        location ~* %8 {\n"
                           "            types { } default_type application/octet-stream;\n"
                           "            add_header Cache-Control \"public, max-age=31536000, "
                           "immutable\";\n"
                           "            alias %9;\n        }\n"
                           "        location ~* %6 {\n"
                           "            types { } default_type application/octet-stream;\n"
                           "            alias %7;\n        }\n")
                .arg(listen, Quoted(folder), Quoted(folder + QStringLiteral("/not-found.html")),
                     QuotedPattern(u'^' + service + QStringLiteral("/checkupdate\\.aspx$")),
                     QuotedPattern(u'^' + service + QStringLiteral("/initupdate\\.aspx$")),
                     QuotedPattern(u'^' + service + QStringLiteral("/packages/([^/]+)$")),
                     Quoted(folder + QStringLiteral("/packages/$1")),
                     QuotedPattern(u'^' + service +
                                   QStringLiteral("/packages/([0-9a-f]{16})/([^/]+)$")),
                     Quoted(folder + QStringLiteral("/packages/$1/$2")));
    // Patches of packages, named by the hashes of both ends: never changed, kept for good.
    text += QStringLiteral("        location ~* %1 {\n"
                           "            types { } default_type application/octet-stream;\n"
                           "            add_header Cache-Control \"public, max-age=31536000, "
                           "immutable\";\n"
                           "            alias %2;\n        }\n")
                .arg(QuotedPattern(u'^' + service + QStringLiteral("/deltas/([^/]+)$")),
                     Quoted(folder + QStringLiteral("/deltas/$1")));
    text += InfoLocations(answers, folder, service);
    text += QStringLiteral("        location / { return 404; }\n    }\n}\n");
    return text.toUtf8();
}

} // namespace KDAutoUpdate
