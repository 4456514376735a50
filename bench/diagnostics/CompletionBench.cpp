// Completion list of a one-word fragment over 100,000 categories (target under 20 ms), after
// the search index was built once.
#include "diagnostics/ElementSearch.h"

#include <QElapsedTimer>
#include <QTextStream>

int main() {
    QList<diagnostics::ElementCatalog::Reference> categories;
    categories.reserve(100000);
    const char* words[] = {"Colore", "Altezza",        "Finitura",    "Materiale",
                           "Linea",  "Certificazione", "Verniciatura"};
    for (int i = 0; i < 100000; ++i) {
        const QString code = QStringLiteral("C%1").arg(i, 6, 10, QLatin1Char('0'));
        categories.append({code,
                           code + QStringLiteral(" - ") + QString::fromLatin1(words[i % 7]) +
                               QStringLiteral(" gruppo %1").arg(i % 997),
                           QString::number(i + 1)});
    }
    QElapsedTimer timer;
    timer.start();
    const auto catalog = std::make_shared<const diagnostics::ElementCatalog>(
        diagnostics::ElementCatalog::withLists(categories, {}));
    const diagnostics::ElementSearch search(catalog);
    QTextStream out(stdout);
    out << "index of 100000 categories: " << timer.nsecsElapsed() / 1e6 << " ms\n";
    for (const QString& fragment : {QStringLiteral("{vernic"), QStringLiteral("{c0999"),
                                    QStringLiteral("{colore"), QStringLiteral("{gruppo 12")}) {
        qint64 best = -1;
        qsizetype count = 0;
        for (int run = 0; run < 5; ++run) {
            timer.restart();
            count = search.complete(fragment).size();
            const qint64 ns = timer.nsecsElapsed();
            best = best < 0 ? ns : std::min(best, ns);
        }
        out << "complete " << fragment << ": " << count << " candidates, " << best / 1e6 << " ms\n";
    }
    return 0;
}
