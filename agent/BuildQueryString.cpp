#include <string>
#include <vector>

#include "AuAgent.h"

namespace KDAutoUpdate {

// The service query: fixed parameter order, values inserted exactly as they stand.
std::string AuAgent::BuildQueryString(const std::string& sOpType) {
    std::vector<std::string> params;
    params.push_back(std::string("TestMode=") + (TestMode() ? "True" : "False"));
    if (!ProductCode().empty())
        params.push_back("ProductCode=" + ProductCode());
    if (MajorVer() != 0 || MinorVer() != 0 || Revision() != 0)
        params.push_back("Version=" + std::to_string(MajorVer()) + "." +
                         std::to_string(MinorVer()) + "." + std::to_string(Revision()));
    if (ProductLCID() > 0)
        params.push_back("Language=" + std::to_string(ProductLCID()));
    if (!CampaignID().empty())
        params.push_back("CmpID=" + CampaignID());
    if (!LicKey().empty())
        params.push_back("LicKey=" + LicKey());
    if (UILanguageLCID() > 0)
        params.push_back("UILang=" + std::to_string(UILanguageLCID()));
    if (!sOpType.empty())
        params.push_back("OpType=" + sOpType);
    params.push_back("CompatMode=" + std::to_string(m_lCompatMode));

    std::string joined;
    for (const auto& p : params) {
        if (!joined.empty())
            joined += '&';
        joined += p;
    }
    return joined.empty() ? std::string() : "?" + joined;
}

} // namespace KDAutoUpdate
