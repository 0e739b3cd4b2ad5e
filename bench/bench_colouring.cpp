// SPDX-License-Identifier: MIT
// Colouring against the literal one-keyword-at-a-time rules and against lowering the text once,
// side by side in one process. Prints ratios; the keyword list is read from the path given as the
// first argument, else from wordlist.dat in the build folder, else a built-in BASIC list is used.

#include "editor/colouring.h"
#include "editor/keywordlist.h"
#include "tests/colouringoracle.h"
#include "tests/support/basiccode.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

using BasicCode::basicCode;
using BasicCode::identifier;

volatile qsizetype sink = 0;

const char* const builtinKeywords[] = {
    "abs",    "and",        "any",      "append",    "as",           "asc",        "base",
    "beep",   "binary",     "boolean",  "byref",     "byte",         "byval",      "call",
    "case",   "cbool",      "cbyte",    "ccur",      "cdate",        "cdbl",       "chdir",
    "chr",    "cint",       "circle",   "clng",      "close",        "cls",        "compare",
    "const",  "csng",       "cstr",     "currency",  "cvar",         "date",       "declare",
    "defint", "dim",        "do",       "double",    "each",         "else",       "elseif",
    "empty",  "end",        "end if",   "end sub",   "end function", "enum",       "eof",
    "eqv",    "erase",      "error",    "event",     "exit",         "explicit",   "false",
    "fix",    "for",        "format",   "freefile",  "friend",       "function",   "get",
    "global", "gosub",      "goto",     "if",        "iif",          "imp",        "implements",
    "input",  "instr",      "int",      "integer",   "is",           "lbound",     "lcase",
    "left",   "len",        "let",      "lib",       "like",         "line",       "load",
    "lock",   "long",       "loop",     "lset",      "ltrim",        "me",         "mid",
    "mod",    "msgbox",     "new",      "next",      "not",          "nothing",    "now",
    "null",   "object",     "on",       "open",      "option",       "optional",   "or",
    "output", "paramarray", "preserve", "print",     "private",      "property",   "public",
    "put",    "raiseevent", "random",   "randomize", "read",         "redim",      "rem",
    "resume", "return",     "right",    "rnd",       "rset",         "rtrim",      "seek",
    "select", "set",        "single",   "space",     "static",       "step",       "stop",
    "str",    "string",     "sub",      "then",      "time",         "to",         "trim",
    "true",   "type",       "typeof",   "ubound",    "ucase",        "unload",     "until",
    "val",    "variant",    "wend",     "while",     "with",         "withevents", "write",
    "xor"};

QStringList shippedKeywords(int argc, char** argv, QString* source) {
    QStringList candidates;
    if (argc > 1)
        candidates << QString::fromLocal8Bit(argv[1]);
    candidates << QFileInfo(QString::fromLocal8Bit(argv[0])).absolutePath() +
                      QStringLiteral("/../wordlist.dat");
    for (const QString& path : candidates) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) {
            const QStringList keywords = KeywordList::parse(QString::fromUtf8(file.readAll()));
            if (!keywords.isEmpty()) {
                *source = QFileInfo(path).canonicalFilePath();
                return keywords;
            }
        }
    }
    *source = QStringLiteral("built-in list");
    QStringList keywords;
    for (const char* keyword : builtinKeywords)
        keywords << QString::fromLatin1(keyword);
    return keywords;
}

QStringList generatedKeywords(int count, const QStringList& base) {
    QRandomGenerator random(1000);
    QStringList keywords = base.mid(0, std::min<qsizetype>(count, base.size()));
    while (keywords.size() < count)
        keywords << Colouring::lowered(identifier(random) + identifier(random));
    return keywords;
}

double bestSeconds(int runs, const std::function<void()>& work) {
    double best = 1e100;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        best = std::min(best, double(timer.nsecsElapsed()) / 1e9);
    }
    return best;
}

double timeColour(const QString& text, const QStringList& keywords, int runs);

// Evicts the caches, as the program colours a text it has just read, not one it coloured before.
void evictCaches() {
    static std::vector<char> buffer(64 << 20);
    for (std::size_t i = 0; i < buffer.size(); i += 64)
        buffer[i] = char(buffer[i] + 1);
}

double timeColourCold(const QString& text, const QStringList& keywords, int runs) {
    double best = 1e100;
    for (int i = 0; i < runs; ++i) {
        evictCaches();
        best = std::min(best, timeColour(text, keywords, 1));
    }
    return best;
}

double timeColour(const QString& text, const QStringList& keywords, int runs) {
    return bestSeconds(runs, [&] { sink = sink + Colouring::colour(text, keywords).size(); });
}

double timeOracle(const QString& text, const QStringList& keywords, int runs) {
    return bestSeconds(runs,
                       [&] { sink = sink + ColouringOracle::colourCode(text, keywords).size(); });
}

double timeLower(const QString& text, int runs) {
    return bestSeconds(runs, [&] { sink = sink + text.toLower().size(); });
}

int failures = 0;

void row(const char* what, double ratio, const char* target, bool holds) {
    std::printf("  %-58s %9.2f   %-8s %s\n", what, ratio, target, holds ? "holds" : "FAILS");
    if (!holds)
        ++failures;
}

} // namespace

int main(int argc, char** argv) {
    QString source;
    const QStringList shipped = shippedKeywords(argc, argv, &source);
    const QStringList thousand = generatedKeywords(1000, shipped);
    const QStringList hundred = generatedKeywords(100, shipped);
    const QString text100k = basicCode(100 * 1024, 1);
    const QString text1m = basicCode(1024 * 1024, 1);
    const QString text10m = basicCode(10 * 1024 * 1024, 1);

    std::printf("keywords: %lld from %s; generated lists of %lld and %lld\n",
                qlonglong(shipped.size()), qPrintable(source), qlonglong(hundred.size()),
                qlonglong(thousand.size()));

    // The fast colouring must give what the literal rules give.
    for (const QStringList* keywords : {&shipped, &thousand}) {
        if (ColouringOracle::expand(Colouring::colour(text100k, *keywords), text100k.size()) !=
            ColouringOracle::colourCode(text100k, *keywords)) {
            std::printf("MISMATCH against the literal rules\n");
            return 1;
        }
    }

    std::printf("\n(1) literal rules time / colour() time (higher is better)\n");
    struct Size {
        const char* name;
        const QString* text;
    };
    const Size sizes[] = {{"100 KB", &text100k}, {"1 MB", &text1m}};
    for (const Size& size : sizes) {
        const int runs = size.text == &text100k ? 5 : 2;
        const double fastShipped = timeColour(*size.text, shipped, runs * 2);
        const double slowShipped = timeOracle(*size.text, shipped, runs);
        const double fastThousand = timeColour(*size.text, thousand, runs * 2);
        const double slowThousand = timeOracle(*size.text, thousand, runs);
        std::printf("  %s: colour %.2f ms / literal %.1f ms (shipped), colour %.2f ms / literal "
                    "%.1f ms (1,000)\n",
                    size.name, fastShipped * 1e3, slowShipped * 1e3, fastThousand * 1e3,
                    slowThousand * 1e3);
        row(qPrintable(QStringLiteral("%1, shipped list").arg(QLatin1String(size.name))),
            slowShipped / fastShipped, ">= 10", slowShipped / fastShipped >= 10);
        row(qPrintable(QStringLiteral("%1, 1,000 keywords").arg(QLatin1String(size.name))),
            slowThousand / fastThousand, ">= 50", slowThousand / fastThousand >= 50);
    }

    std::printf("\n(2) colour() time / QString::toLower() time over the same text\n");
    const Size allSizes[] = {{"100 KB", &text100k}, {"1 MB", &text1m}, {"10 MB", &text10m}};
    double shippedTime[3] = {};
    int index = 0;
    for (const Size& size : allSizes) {
        const int runs = size.text == &text10m ? 5 : 15;
        const double lower = timeLower(*size.text, runs);
        const double fastShipped = timeColour(*size.text, shipped, runs);
        const double fastThousand = timeColour(*size.text, thousand, runs);
        shippedTime[index++] = fastShipped;
        row(qPrintable(QStringLiteral("%1, shipped list").arg(QLatin1String(size.name))),
            fastShipped / lower, "<= 5", fastShipped / lower <= 5);
        row(qPrintable(QStringLiteral("%1, 1,000 keywords").arg(QLatin1String(size.name))),
            fastThousand / lower, "<= 5", fastThousand / lower <= 5);
    }

    std::printf("\n(3) scaling of colour()\n");
    // Warm: the same text coloured again and again, so 100 KB stays in the cache and 1 MB does
    // not; cold: caches evicted before each run. The target is judged on the cold figures.
    double coldTime[3] = {};
    for (int i = 0; i < 3; ++i)
        coldTime[i] = timeColourCold(*allSizes[i].text, shipped, i == 2 ? 5 : 15);
    std::printf("  %-58s %9.2f   (warm)\n", "1 MB / 100 KB, shipped list",
                shippedTime[1] / shippedTime[0]);
    std::printf("  %-58s %9.2f   (warm)\n", "10 MB / 1 MB, shipped list",
                shippedTime[2] / shippedTime[1]);
    row("1 MB / 100 KB, shipped list, cold", coldTime[1] / coldTime[0], "<= 12",
        coldTime[1] / coldTime[0] <= 12);
    row("10 MB / 1 MB, shipped list, cold", coldTime[2] / coldTime[1], "<= 12",
        coldTime[2] / coldTime[1] <= 12);
    const QString tiny = QStringLiteral("x");
    std::printf("  construction alone (1-character text): %.3f ms for 100 keywords, %.3f ms for "
                "1,000\n",
                timeColour(tiny, hundred, 50) * 1e3, timeColour(tiny, thousand, 50) * 1e3);
    for (const Size& size : allSizes) {
        const int runs = size.text == &text10m ? 5 : 15;
        // Interleaved so that drift in the machine's load hits both sides alike.
        double few = 1e100;
        double many = 1e100;
        for (int i = 0; i < runs; ++i) {
            few = std::min(few, timeColour(*size.text, hundred, 1));
            many = std::min(many, timeColour(*size.text, thousand, 1));
        }
        row(qPrintable(QStringLiteral("%1: 1,000 / 100 keywords").arg(QLatin1String(size.name))),
            many / few, "<= 1.5", many / few <= 1.5);
    }

    std::printf("\n%s\n", failures == 0 ? "all targets hold" : "some targets fail");
    return failures == 0 ? 0 : 2;
}
