#pragma once

#include "Support/AppBuildChannel.h"
#include "Support/BundleInfo.h"

#include <QPointer>
#include <QWidget>

namespace kestrivane {

class KVButton;
class KVDeferredRefresh;
class UpdateStatusStore;

// The about pane: the icon, the build channel's name with its badge (one element for screen
// readers), "Development build" on the dev channel, the privacy line, the version, the update
// button while an update is known, and the feedback button.
class AboutPane : public QWidget {
    Q_OBJECT

public:
    explicit AboutPane(UpdateStatusStore &updateStatus, AppBuildChannel buildChannel = AppBuildChannel::current(),
                       const BundleInfo &info = BundleInfo::main(), QWidget *parent = nullptr);

    // "short (build)", else whichever of the two is not empty, else "-".
    static QString appVersion(const BundleInfo &info);

    KVButton *updateButton() const { return update_; }

private:
    void refresh();

    QPointer<UpdateStatusStore> updateStatus_;
    QWidget *updateRow_;
    KVButton *update_;
    KVDeferredRefresh *refresh_;
};

} // namespace kestrivane
