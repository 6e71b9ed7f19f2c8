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
    text += QStringLiteral("    }\n    map \"$kdau_product:$arg_version\" $kdau_answer {\n"
                           "        default %1;\n")
                .arg(QLatin1String(PublishedAnswers::kUnknownProduct));
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
    return text + QStringLiteral("    }\n");
}

QString InfoLocations(const PublishedAnswers& answers, const QString& folder,
                      const QString& service) {
    QString text;
    for (const auto& [name, type] : answers.infoFiles)
        text += QStringLiteral("        location ~ %1 {\n"
                               "            types { } default_type %2;\n"
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
        "    access_log off;\n"
        "    server_tokens off;\n"
        "    sendfile on;\n"
        "    tcp_nopush on;\n"
        "    open_file_cache max=1000;\n"
        "    client_body_temp_path client_body_temp;\n"
        "    proxy_temp_path proxy_temp;\n"
        "    fastcgi_temp_path fastcgi_temp;\n"
        "    uwsgi_temp_path uwsgi_temp;\n"
        "    scgi_temp_path scgi_temp;\n");
    text += Maps(answers);
    text += QStringLiteral("    server {\n"
                           "        listen %1;\n"
                           "        root %2;\n"
                           "        error_page 404 /kdau-not-found;\n"
                           "        if ($request_method != GET) { return 405; }\n"
                           "        location = /kdau-not-found {\n"
                           "            internal;\n"
                           "            types { } default_type \"text/html; charset=utf-8\";\n"
                           "            alias %3;\n        }\n"
                           "        location ~* %4 {\n"
                           "            types { } default_type text/xml;\n"
                           "            try_files /check/$kdau_answer.xml =404;\n        }\n"
                           "        location ~* %5 {\n"
                           "            types { } default_type \"text/html; charset=utf-8\";\n"
                           "            try_files /page/$kdau_answer.html =404;\n        }\n"
                           "        location ~* %6 {\n"
                           "            types { } default_type application/octet-stream;\n"
                           "            alias %7;\n        }\n")
                .arg(listen, Quoted(folder), Quoted(folder + QStringLiteral("/not-found.html")),
                     QuotedPattern(u'^' + service + QStringLiteral("/checkupdate\\.aspx$")),
                     QuotedPattern(u'^' + service + QStringLiteral("/initupdate\\.aspx$")),
                     QuotedPattern(u'^' + service + QStringLiteral("/packages/([^/]+)$")),
                     Quoted(folder + QStringLiteral("/packages/$1")));
    // Patches of packages, as the service serves them.
    text += QStringLiteral("        location ~* %1 {\n"
                           "            types { } default_type application/octet-stream;\n"
                           "            alias %2;\n        }\n")
                .arg(QuotedPattern(u'^' + service + QStringLiteral("/deltas/([^/]+)$")),
                     Quoted(folder + QStringLiteral("/deltas/$1")));
    text += InfoLocations(answers, folder, service);
    text += QStringLiteral("        location / { return 404; }\n    }\n}\n");
    return text.toUtf8();
}

} // namespace KDAutoUpdate
