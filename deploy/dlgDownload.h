#pragma once
// The download of one message's package with progress, rate, remaining time and a confirmed
// cancel. Modal; made anew for every download.

#include <memory>
#include <optional>
#include <string>

#include "DeltaChoice.h"
#include "common/Form.h"
#include "platform/AnimationPlayer.h"
#include "platform/Downloader.h"

namespace KDAutoUpdate {

class AuMessage;

class dlgDownload : public Form, public IDownloadEvents {
public:
    explicit dlgDownload(Platform& platform);
    ~dlgDownload() override;
    static FormDef Definition();

    // Starts the transfer of the message's DownloadPath and shows the dialog modally; returns
    // when it hides. A null message returns at once.
    void Execute(AuMessage* message);

    bool Cancelled() const { return m_bCancelled; }
    const std::string& DownloadedFile() const { return m_sDownloadedFile; }

    // IDownloadEvents
    void DownloadProgress(long long unused1, long long percent, long long rate, long long remaining,
                          long long received, long long total, long long unused2) override;
    void DownloadComplete(const std::string& value) override;

protected:
    void Form_Load() override;
    bool Form_QueryUnload(UnloadMode mode) override;
    void Form_Unload() override;
    void Control_Click(const std::string& control, int index) override;

private:
    bool ConfirmCancel();
    // Ends a patch's transfer: true when it gave the package, or when the whole package's
    // transfer has begun in its place.
    bool PatchDone();
    std::string MessageID() const;

    AuMessage* m_message = nullptr; // non-owning: the messages window owns it
    std::unique_ptr<IDownloader> m_ctlDownload;
    std::unique_ptr<IAnimationPlayer> m_player;
    bool m_bCancelled = false;
    std::string m_sDownloadedFile;
    // The patch being fetched instead of the package, while it is.
    std::optional<DeltaChoice> m_delta;
    // Lets a posted end of a refused transfer find out that the dialog has gone.
    std::shared_ptr<dlgDownload*> m_self = std::make_shared<dlgDownload*>(this);
};

} // namespace KDAutoUpdate
