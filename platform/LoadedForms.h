#pragma once
// The thread's collection of loaded forms, by name.

#include <algorithm>
#include <string>
#include <vector>

namespace KDAutoUpdate {

class LoadedForms {
public:
    void Add(const std::string& name) { m_names.push_back(name); }
    void Remove(const std::string& name) {
        auto it = std::find(m_names.begin(), m_names.end(), name);
        if (it != m_names.end())
            m_names.erase(it);
    }
    bool Contains(const std::string& name) const {
        return std::find(m_names.begin(), m_names.end(), name) != m_names.end();
    }
    const std::vector<std::string>& Names() const { return m_names; }

private:
    std::vector<std::string> m_names;
};

} // namespace KDAutoUpdate
