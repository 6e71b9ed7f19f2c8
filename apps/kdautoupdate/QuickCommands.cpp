#include "QuickCommands.h"

#include <map>

#include "ShellValues.h"

namespace KDAutoUpdate {

namespace {

const char* const kCommands[] = {"check", "display", "remind", "pending", "info", "query"};

} // namespace

bool IsQuickCommand(const std::string& command) {
    for (const char* c : kCommands)
        if (command == c)
            return true;
    return false;
}

const char* QuickCommandUsage() {
    return "  check   [options] [--async] [--manual] [--silent]   asks the service for messages\n"
           "  display [options]                 shows the service's message page, waits for it\n"
           "  remind  [options] [--silent]      offers a pending update (CheckInstallableUpdates)\n"
           "  pending [options]                 prints the pending update, if any\n"
           "  info    [options]                 prints the product's stored state\n"
           "  query   [options] [OPTYPE]        prints the query the agent sends\n"
           "  options: --base URL --product CODE [--version A.B.C] [--language LCID]\n"
           "           [--campaign ID] [--lickey KEY] [--test-mode] [--ui-timeout MS]\n";
}

std::optional<QuickCommand> BuildQuickCommand(const std::string& command,
                                              const std::vector<std::string>& args,
                                              std::string& error) {
    std::map<std::string, std::string> values;
    bool async = false, manual = false, silent = false, testMode = false;
    std::string opType;
    long uiTimeout = 30000;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](const char* name) -> bool {
            if (i + 1 >= args.size()) {
                error = std::string(name) + " needs a value";
                return false;
            }
            values[name] = args[++i];
            return true;
        };
        if (a == "--base" || a == "--product" || a == "--version" || a == "--language" ||
            a == "--campaign" || a == "--lickey" || a == "--ui-timeout") {
            if (!value(a.c_str()))
                return std::nullopt;
        } else if (a == "--async" && command == "check") {
            async = true;
        } else if (a == "--manual" && command == "check") {
            manual = true;
        } else if (a == "--silent" && (command == "check" || command == "remind")) {
            silent = true;
        } else if (a == "--test-mode") {
            testMode = true;
        } else if (command == "query" && opType.empty() && a.rfind("--", 0) != 0) {
            opType = a;
        } else {
            error = "unknown option " + a;
            return std::nullopt;
        }
    }
    if (values.count("--ui-timeout")) {
        const auto ms = ParseShellLong(values["--ui-timeout"]);
        if (!ms || *ms < 0) {
            error = "--ui-timeout takes milliseconds";
            return std::nullopt;
        }
        uiTimeout = *ms;
    }
    if (!values.count("--product") && command != "query") {
        error = "--product CODE is needed";
        return std::nullopt;
    }

    std::string s;
    if (values.count("--base"))
        s += "BaseURL = " + values["--base"] + "\n";
    if (values.count("--product"))
        s += "ProductCode = " + values["--product"] + "\n";
    if (values.count("--version")) {
        const std::string v = values["--version"];
        std::vector<std::string> parts;
        size_t start = 0;
        while (true) {
            const size_t dot = v.find('.', start);
            parts.push_back(v.substr(start, dot - start));
            if (dot == std::string::npos)
                break;
            start = dot + 1;
        }
        const char* names[] = {"MajorVer", "MinorVer", "Revision"};
        if (parts.size() > 3) {
            error = "--version is MAJOR[.MINOR[.REVISION]]";
            return std::nullopt;
        }
        for (size_t k = 0; k < parts.size(); ++k) {
            if (!ParseShellLong(parts[k])) {
                error = "--version is MAJOR[.MINOR[.REVISION]]";
                return std::nullopt;
            }
            s += std::string(names[k]) + " = " + parts[k] + "\n";
        }
    }
    if (values.count("--language"))
        s += "ProductLCID = " + values["--language"] + "\n";
    if (values.count("--campaign"))
        s += "CampaignID = " + values["--campaign"] + "\n";
    if (values.count("--lickey"))
        s += "LicKey = " + values["--lickey"] + "\n";
    if (testMode)
        s += "TestMode = True\n";

    const std::string silentText = silent ? "True" : "False";
    if (command == "check") {
        s += "CheckMessages bSilent=" + silentText + " bAsync=" + (async ? "True" : "False") +
             " bAuto=" + (manual ? "False" : "True") + "\n";
        s += async ? "wait ProcessCompleted " + std::to_string(uiTimeout + 15000) + "\n"
                   : std::string();
        if (!silent)
            s += "wait ProcessCompleted " + std::to_string(uiTimeout + 15000) + "\n";
    } else if (command == "display") {
        s += "DisplayMessages\nwait ProcessCompleted 86400000\n";
    } else if (command == "remind") {
        s += "CheckInstallableUpdates bSilent=" + silentText + "\n";
    } else if (command == "pending") {
        s += "set p = GetLastInstallableUpdate\nshow p\n";
    } else if (command == "info") {
        s += "set p = GetProductInfo\nshow p\n";
    } else {
        s += "query " + opType + "\n";
    }
    return QuickCommand{s, uiTimeout};
}

} // namespace KDAutoUpdate
