#pragma once

#include <QString>

#include <cstdio>
#include <cstdlib>

// A failed property aborts, so that libFuzzer keeps the input as a crash.
#define FUZZ_CHECK(condition, detail)                                                              \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "FUZZ_CHECK failed at %s:%d: %s\n%s\n", __FILE__, __LINE__,       \
                         #condition, qPrintable(QString(detail)));                                 \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

// Code units in hexadecimal, so that invisible and unpaired characters show in a report.
inline QString fuzzDump(const QString& text)
{
    QString out = QStringLiteral("\"") + text + QStringLiteral("\" [");
    for (const QChar c : text)
        out += QString::number(c.unicode(), 16) + u' ';
    return out + u']';
}
