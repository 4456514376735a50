#pragma once

// The verdict corpus format (cases/*.txt and the shared corpus): "=== name", then "expect:
// accepted" or "expect: Msg N", "declare:" lines of variables the case needs besides the check's
// declaration block, "source:" lines for the reader, then the batch. Read by the engine's corpus
// test and by the live SQL Server test, which run the same cases.

#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <vector>

namespace corpus {

struct Case {
    QString name;
    int expected = 0; // 0 accepted, else the message number
    QString declare;  // "declare ..." lines, each ending in CR LF
    QString text;     // the batch, lines joined by CR LF
};

// Msg 40000: the embedded engine's refusal of a construct it cannot reproduce exactly, which the
// server runs.
inline constexpr int EngineRefusal = 40000;

inline std::vector<Case> readCorpus(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly | QIODevice::Text)) << path.toStdString();
    std::vector<Case> cases;
    QStringList body;
    auto flush = [&] {
        if (cases.empty())
            return;
        while (!body.isEmpty() && body.last().trimmed().isEmpty())
            body.removeLast();
        cases.back().text = body.join(QStringLiteral("\r\n"));
        body.clear();
    };
    bool header = false;
    const QStringList lines = QString::fromUtf8(f.readAll()).split(u'\n');
    for (const QString& raw : lines) {
        QString line = raw;
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.startsWith(QStringLiteral("==="))) {
            flush();
            cases.push_back(Case{line.mid(3).trimmed(), 0, {}, {}});
            header = true;
            continue;
        }
        if (cases.empty())
            continue;
        if (header && line.startsWith(QStringLiteral("expect:"))) {
            QString v = line.mid(7).trimmed();
            cases.back().expected = v == u"accepted" ? 0 : v.mid(4).toInt();
            continue;
        }
        if (header && line.startsWith(QStringLiteral("declare:"))) {
            cases.back().declare +=
                QStringLiteral("declare ") + line.mid(8).trimmed() + QStringLiteral("\r\n");
            continue;
        }
        if (header && line.startsWith(QStringLiteral("source:")))
            continue;
        header = false;
        body << line;
    }
    flush();
    return cases;
}

// The case files of a directory (*.txt), by name.
inline QStringList caseFiles(const QString& directory) {
    const QDir dir(directory);
    QStringList paths;
    for (const QString& file : dir.entryList({QStringLiteral("*.txt")}, QDir::Files, QDir::Name))
        paths << dir.filePath(file);
    return paths;
}

} // namespace corpus
