#include "host/LayoutModel.h"

namespace host {

QObject* LayoutModel::LayoutInitialize(const core::Variant& title, QObject*& window, int a, int b, int c) {
    record(QStringLiteral("LayoutInitialize"),
           {title, core::Variant::fromObject(window), core::Variant::fromInt32(a),
            core::Variant::fromInt32(b), core::Variant::fromInt32(c)});
    if (m_replacement)
        window = m_replacement;
    m_window = window;
    m_title = title;
    return window;
}

} // namespace host
