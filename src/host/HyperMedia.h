#pragma once

#include "host/HostObject.h"

namespace host {

// The hypermedia library's object: opens the multimedia data linked to a record.
class CHyperMedia : public HostObject {
    Q_OBJECT
public:
    explicit CHyperMedia(QObject* parent = nullptr);
    ~CHyperMedia() override;

    core::Variant HypermediaOpen(core::Variant& contextValue1, core::Variant& contextValue2,
                                 core::Variant& connectionString, core::Variant& mediaId,
                                 const core::Variant& parentWindow, int mode, int flags);

    // Objects created in this process so far (the hypermedia library is created lazily by its users).
    static int instancesCreated();

signals:
    // Emitted by every HypermediaOpen (the demo host shows it).
    void opened(const core::Variant& mediaId);
};

} // namespace host
