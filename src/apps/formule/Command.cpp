#include "apps/formule/Command.h"

#include <algorithm>

namespace formule_cli {

namespace {
QList<Command>& registry() {
    static QList<Command> list;
    return list;
}
} // namespace

void registerCommand(Command command) {
    QList<Command>& list = registry();
    const auto pos = std::lower_bound(list.begin(), list.end(), command.name,
                                      [](const Command& c, const QString& name) { return c.name < name; });
    list.insert(pos, std::move(command));
}

const QList<Command>& commands() {
    return registry();
}

const Command* findCommand(const QString& name) {
    for (const Command& c : registry()) {
        if (c.name == name)
            return &c;
    }
    return nullptr;
}

} // namespace formule_cli
