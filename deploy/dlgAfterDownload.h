#pragma once
// After a download: install now, at the next program start, or not at all. Modal.

#include "common/Form.h"

namespace KDAutoUpdate {

class dlgAfterDownload : public Form {
public:
    explicit dlgAfterDownload(Platform& platform);
    static FormDef Definition();

    // Index of the selected option: 0 now, 1 at the next start, 2 not at all; -1 for none.
    long InstallOption() const;
    // True when the user closed the dialog from its frame instead of pressing OK.
    bool Cancelled() const { return m_bCancelled; }

protected:
    // The application icon in the title bar, as every window of the agent has.
    void Form_Load() override;
    bool Form_QueryUnload(UnloadMode mode) override;
    void Control_Click(const std::string& control, int index) override;

private:
    bool m_bCancelled = false;
};

} // namespace KDAutoUpdate
