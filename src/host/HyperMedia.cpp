#include "host/HyperMedia.h"

#include <atomic>

namespace host {

namespace {
std::atomic<int> g_created{0};
}

CHyperMedia::CHyperMedia(QObject* parent)
    : HostObject(parent) {
    setObjectName(QStringLiteral("CHyperMedia"));
    ++g_created;
}

CHyperMedia::~CHyperMedia() = default;

int CHyperMedia::instancesCreated() {
    return g_created.load();
}

core::Variant CHyperMedia::HypermediaOpen(core::Variant& contextValue1, core::Variant& contextValue2,
                                          core::Variant& connectionString, core::Variant& mediaId,
                                          const core::Variant& parentWindow, int mode, int flags) {
    record(QStringLiteral("HypermediaOpen"),
           {contextValue1, contextValue2, connectionString, mediaId, parentWindow,
            core::Variant::fromInt32(mode), core::Variant::fromInt32(flags)});
    emit opened(mediaId);
    return {};
}

} // namespace host
