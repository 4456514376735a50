// Creates an embedded database with the demo rows and N categories and N variants of company 1,
// for the benchmarks that start the shipped programs (bench/startup.sh).
//
//   bench_database PATH N

#include "BenchData.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_database PATH N\n");
        return 2;
    }
    const int rows = QString::fromLocal8Bit(argv[2]).toInt();
    const QString cs = bench::makeDatabase(QString::fromLocal8Bit(argv[1]), rows, rows);
    if (cs.isEmpty())
        return 1;
    std::printf("%s\n", qPrintable(cs));
    return 0;
}
