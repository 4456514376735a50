#pragma once

#include "core/Variant.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

namespace host {

// One call received by a host object: the member's name and the arguments it was given.
struct Call {
    QString member;
    QList<core::Variant> args;
    // "Member(arg1, arg2)" with texts quoted, objects as their objectName (or class name),
    // Nothing for a null object, Empty and Null by name.
    QString toString() const;
};

// Renders one argument the way Call::toString does.
QString describe(const core::Variant& value);

// Base of every host stand-in object: a QObject whose members are reachable late bound through
// the meta-object, and which records every call it receives so tests and the demo host can
// see what the component asked.
class HostObject : public QObject {
    Q_OBJECT
public:
    explicit HostObject(QObject* parent = nullptr)
        : QObject(parent) {}

    const QList<Call>& calls() const { return m_calls; }
    QStringList callNames() const;               // just the member names, in order
    Q_INVOKABLE QStringList callStrings() const; // Call::toString of each call, in order
    int callCount(const QString& member) const;
    void clearCalls() { m_calls.clear(); }

signals:
    void called(const QString& member);

protected:
    void record(const QString& member, QList<core::Variant> args = {});

private:
    QList<Call> m_calls;
};

} // namespace host
