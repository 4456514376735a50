#include "host/controls/VXL_RESIZEFORM.h"

#include "core/Error.h"

#include <QEvent>

namespace controls {

VXL_RESIZEFORM::VXL_RESIZEFORM(QWidget* window)
    : QObject(window)
    , m_window(window) {
    setObjectName(QStringLiteral("RESIZEFORM"));
}

void VXL_RESIZEFORM::AddControl(const QVariant& controlName, const QVariant& layoutCode) {
    const QString name = controlName.toString();
    bool ok = false;
    const int code = layoutCode.toInt(&ok);
    if (!ok || code < 0 || code > 15)
        throw core::ComError(core::err::InvalidProcedureCall,
                             QStringLiteral("Codice di ridimensionamento non valido per %1").arg(name));
    auto* widget = m_window->findChild<QWidget*>(name);
    if (widget == nullptr)
        throw core::ComError(core::err::InvalidProcedureCall,
                             QStringLiteral("Controllo %1 non trovato").arg(name));
    for (Item& item : m_items) {
        if (item.widget == widget) {
            item.code = code;
            return;
        }
    }
    m_items.append({widget, name, code, widget->geometry()});
}

QList<QPair<QString, int>> VXL_RESIZEFORM::registrations() const {
    QList<QPair<QString, int>> list;
    for (const Item& item : m_items)
        list.append({item.name, item.code});
    return list;
}

void VXL_RESIZEFORM::Start() {
    if (!m_registered) {
        m_registered = true;
        emit RegisterControls();
        bool proportional = false;
        emit QueryProportional(&proportional);
        m_proportional = proportional;
    }
    if (!m_started) {
        m_started = true;
        m_designSize = m_window->size();
        for (Item& item : m_items)
            item.design = item.widget ? item.widget->geometry() : QRect();
        if (m_proportional) {
            const auto children = m_window->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
            for (QWidget* child : children) {
                bool registered = false;
                for (const Item& item : m_items)
                    registered = registered || item.widget == child;
                if (!registered && !child->isWindow())
                    m_scaled.append({child, child->objectName(), 0, child->geometry()});
            }
        }
        m_window->installEventFilter(this);
    }
    apply();
}

void VXL_RESIZEFORM::apply() {
    if (!m_started || m_designSize.isEmpty())
        return;
    const int dx = m_window->width() - m_designSize.width();
    const int dy = m_window->height() - m_designSize.height();
    for (const Item& item : m_items) {
        if (!item.widget)
            continue;
        QRect r = item.design;
        const bool left = item.code & Left, right = item.code & Right;
        const bool top = item.code & Top, bottom = item.code & Bottom;
        if (left && right)
            r.setWidth(std::max(r.width() + dx, 0));
        else if (right)
            r.moveLeft(r.left() + dx);
        if (top && bottom)
            r.setHeight(std::max(r.height() + dy, 0));
        else if (bottom)
            r.moveTop(r.top() + dy);
        item.widget->setGeometry(r);
    }
    const double sx = double(m_window->width()) / m_designSize.width();
    const double sy = double(m_window->height()) / m_designSize.height();
    for (const Item& item : m_scaled) {
        if (!item.widget)
            continue;
        const QRect& d = item.design;
        item.widget->setGeometry(qRound(d.x() * sx), qRound(d.y() * sy), qRound(d.width() * sx),
                                 qRound(d.height() * sy));
    }
    if (m_afterApply)
        m_afterApply();
}

bool VXL_RESIZEFORM::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_window && event->type() == QEvent::Resize)
        apply();
    return QObject::eventFilter(watched, event);
}

} // namespace controls
