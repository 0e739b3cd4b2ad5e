// SPDX-License-Identifier: MIT
#include "editor/colourmap.h"
#include "editor/languages.h"
#include "editor/syntaxcolouring.h"

#include <QTest>
#include <thread>

namespace {
// An edit made where `at` first stands in the text (after the first `skip` characters of it).
struct Edit {
    QString at;
    int skip = 0;
    int removed = 0;
    QString inserted;
    // The window takes the colours before the next edit, rather than typing on and dropping them.
    bool waits = true;
};
} // namespace
Q_DECLARE_METATYPE(QList<Edit>)

// What a reader of each language expects to see coloured: keywords, a string holding an
// apostrophe (which the word list would take for a comment), comments and numbers.
class TestLanguages : public QObject {
    Q_OBJECT
private slots:
    void everyGrammarLoads();
    void coloursByLanguage_data();
    void coloursByLanguage();
    void editsRecolourWhatTheyChange_data();
    void editsRecolourWhatTheyChange();
};

void TestLanguages::everyGrammarLoads() {
    QCOMPARE(Languages::unusable(), QStringList());
    QCOMPARE(Languages::usable().size(), std::size_t(17));
}

void TestLanguages::coloursByLanguage_data() {
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("text");
    // Each mark: the first occurrence of a piece of text, and the colour of its first character.
    QTest::addColumn<QStringList>("marks");
    QTest::addColumn<QList<quint32>>("colours");
    const quint32 K = Colours::Keyword, C = Colours::Comment, S = SyntaxColours::String,
                  N = SyntaxColours::Number, D = Colours::Default;
    QTest::newRow("python") << "python"
                            << "def f():\n    s = \"it's\"  # note\n    return 42\n"
                            << QStringList{"def", "'s\"", "# note", "42", "s ="}
                            << QList<quint32>{K, S, C, N, D};
    QTest::newRow("javascript") << "javascript"
                                << "const s = \"don't\"; // note\nlet n = 42;\n"
                                << QStringList{"const", "'t", "// note", "42"}
                                << QList<quint32>{K, S, C, N};
    QTest::newRow("c") << "c"
                       << "int main() { char *s = \"it's\"; /* note */ return 42; }\n"
                       << QStringList{"return", "'s", "/* note", "42"}
                       << QList<quint32>{K, S, C, N};
    QTest::newRow("bash") << "bash"
                          << "if true; then echo \"it's\"; fi # note\nexit 42\n"
                          << QStringList{"if", "'s", "# note", "then"}
                          << QList<quint32>{K, S, C, K};
    QTest::newRow("c++") << "cpp"
                         << "int main() { auto s = \"it's\"; /* note */ return 42; }\n"
                         << QStringList{"return", "'s", "/* note", "42"}
                         << QList<quint32>{K, S, C, N};
    QTest::newRow("c#") << "csharp"
                        << "class A { string s = \"it's\"; // note\n int n = 42; }\n"
                        << QStringList{"class", "'s", "// note", "42"}
                        << QList<quint32>{K, S, C, N};
    QTest::newRow("css") << "css"
                         << "@media screen { a { width: 42px; content: \"it's\"; } } /* note */\n"
                         << QStringList{"@media", "'s", "/* note", "42"}
                         << QList<quint32>{K, S, C, N};
    QTest::newRow("go") << "go"
                        << "func main() { s := \"it's\" // note\n\tn := 42 }\n"
                        << QStringList{"func", "'s", "// note", "42"} << QList<quint32>{K, S, C, N};
    QTest::newRow("html") << "html"
                          << "<!-- note --><p class=\"it's\">x</p>\n"
                          << QStringList{"<!--", "'s", "p class", "class"}
                          << QList<quint32>{C, S, SyntaxColours::Tag, SyntaxColours::Attribute};
    QTest::newRow("java") << "java"
                          << "class A { String s = \"it's\"; /* note */ int n = 42; }\n"
                          << QStringList{"class", "'s", "/* note", "42"}
                          << QList<quint32>{K, S, C, N};
    QTest::newRow("php") << "php"
                         << "<?php $s = \"it's\"; // note\nif ($s) { $n = 42; }\n"
                         << QStringList{"if", "'s", "// note", "42"} << QList<quint32>{K, S, C, N};
    QTest::newRow("ruby") << "ruby"
                          << "def f\n  s = \"it's\" # note\n  42\nend\n"
                          << QStringList{"def", "'s", "# note", "42"} << QList<quint32>{K, S, C, N};
    QTest::newRow("rust") << "rust"
                          << "fn main() { let s = \"it's\"; // note\n let n = 42; }\n"
                          << QStringList{"fn", "'s", "// note", "42"}
                          // Rust's own query calls its literals built-in constants.
                          << QList<quint32>{K, S, C, SyntaxColours::Constant};
    QTest::newRow("sql") << "sql"
                         << "SELECT name FROM t WHERE s = 'it''s' -- note\n  AND n > 42 /* x */;\n"
                         << QStringList{"SELECT", "'s'", "-- note", "42", "/* x", "WHERE"}
                         // SQL's own query writes its number patterns for Lua, so they match
                         // nothing and a number is coloured as the literal it is.
                         << QList<quint32>{K, S, C, S, C, K};
    QTest::newRow("typescript") << "typescript"
                                << "const s: string = \"it's\"; // note\nlet n = 42;\n"
                                << QStringList{"const", "'s", "// note", "42"}
                                << QList<quint32>{K, S, C, N};
    QTest::newRow("yaml") << "yaml"
                          << "a: \"it's\" # note\nb: [42, true]\n"
                          << QStringList{"'s", "# note", "42", "true"}
                          << QList<quint32>{S, C, N, SyntaxColours::Constant};
    QTest::newRow("json") << "json"
                          << "{\"it's\": 42, \"b\": [1.5, \"x\"]}\n"
                          << QStringList{"'s", "42", "1.5", "{"} << QList<quint32>{S, N, N, D};
}

void TestLanguages::coloursByLanguage() {
    QFETCH(QString, language);
    QFETCH(QString, text);
    QFETCH(QStringList, marks);
    QFETCH(QList<quint32>, colours);
    const CodeLanguage* found = Languages::find(language);
    QVERIFY(found);
    const QList<ColourRun> runs = SyntaxColouring::colourNow(*found, text);
    auto colourAt = [&runs](int position) {
        for (const ColourRun& run : runs) {
            if (position >= run.start && position < run.start + run.length)
                return run.colour;
        }
        return Colours::Default;
    };
    for (qsizetype i = 0; i < marks.size(); ++i) {
        const int at = int(text.indexOf(marks[i]));
        QVERIFY2(at >= 0, qPrintable(marks[i]));
        QVERIFY2(colourAt(at) == colours[i],
                 qPrintable(QStringLiteral("%1: %2, expected %3")
                                .arg(marks[i])
                                .arg(colourAt(at), 6, 16, QLatin1Char('0'))
                                .arg(colours[i], 6, 16, QLatin1Char('0'))));
    }
}

void TestLanguages::editsRecolourWhatTheyChange_data() {
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<Edit>>("edits");
    QString python;
    for (int n = 0; n < 60; ++n)
        python += QStringLiteral("def f%1(value):\n    text = \"it's %1\"  # note\n"
                                 "    return Value(text, 0x%1)\n\n")
                      .arg(n);
    QTest::newRow("a hash makes a comment")
        << "python" << python << QList<Edit>{{"return Value(text, 0x30", 0, 0, "#"}};
    QTest::newRow("an open docstring runs to the end, and closed, stops")
        << "python" << python
        << QList<Edit>{{"def f10", 0, 0, "\"\"\"\n"}, {"def f40", 0, 0, "\"\"\"\n"}};
    QTest::newRow("an unclosed string, then closed, while the colours are on their way")
        << "python" << python
        << QList<Edit>{{"it's 20", 0, 0, "\"\"\"", false},
                       {"it's 40", 0, 0, "\"\"\"", false},
                       {"def f5(", 0, 0, "x = 1\n"}};
    QTest::newRow("a name's first letter, which a pattern's predicate reads")
        << "python" << python << QList<Edit>{{"Value(text, 0x7", 0, 1, "v"}};
    QTest::newRow("lines joined") << "python" << python
                                  << QList<Edit>{{"\n    return Value(text, 0x9", 0, 5, ""}};
    QTest::newRow("edits far apart, colours of the first never taken")
        << "python" << python
        << QList<Edit>{{"text = \"it's 3\"", 0, 0, "#", false},
                       {"Value(text, 0x55", 6, 0, "'", false},
                       {"text = \"it's 30\"", 0, 7, ""}};
    QString longPython;
    while (longPython.size() < 300 * 1024)
        longPython += python;
    QTest::newRow("a long text, coloured in pieces side by side")
        << "python" << longPython << QList<Edit>{{"return Value(text, 0x30", 0, 0, "#"}};
    QTest::newRow("a block comment opened and closed further down")
        << "c"
        << QStringLiteral("int a = 1;\nchar* s = \"x\";\n/* one */\nint b = 2;\n"
                          "int c = 3; /* two */\nreturn 0;\n")
        << QList<Edit>{{"char", 0, 0, "/*"}, {"int b", 0, 0, "*/"}};
    QTest::newRow("inside a template string across lines")
        << "javascript"
        << QStringLiteral("const a = `one\n${b}\ntwo`;\nconst c = 42; // done\nlet d = 'x';\n")
        << QList<Edit>{{"two`", 3, 1, ""}, {"42", 0, 0, "`"}};
}

// The colours a window holds after taking the thread's results as they come, each edit moving the
// ones it has, are those of the edited text coloured anew.
void TestLanguages::editsRecolourWhatTheyChange() {
    QFETCH(QString, language);
    QFETCH(QString, text);
    QFETCH(QList<Edit>, edits);
    const CodeLanguage* found = Languages::find(language);
    QVERIFY(found);
    SyntaxColouring thread;
    ColourMap map;
    map.assign(int(text.size()), {});
    quint64 generation = 1;
    const auto apply = [&map](const SyntaxColouring::Result& result) {
        for (const SyntaxColouring::Span& span : result.spans)
            map.replace(span.start, span.length, result.runs);
    };
    const auto await = [&] {
        for (int i = 0; i < 100000; ++i) {
            if (std::optional<SyntaxColouring::Result> result = thread.take(generation)) {
                apply(*result);
                return true;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        return false;
    };
    thread.colour(found, text, generation);
    QVERIFY(await());
    for (qsizetype e = 0; e < edits.size(); ++e) {
        const Edit& edit = edits[e];
        const qsizetype at = text.indexOf(edit.at);
        QVERIFY2(at >= 0, qPrintable(edit.at));
        const int position = int(at) + edit.skip;
        text.replace(position, edit.removed, edit.inserted);
        map.applyEdit(position, edit.removed, int(edit.inserted.size()));
        ++generation;
        const bool last = e == edits.size() - 1;
        // The part in view goes first; the last edit's one result holds all that is left.
        thread.colour(found, text, generation,
                      last ? SyntaxColouring::Span{} : SyntaxColouring::Span{position, 40});
        if (last || edit.waits) {
            QVERIFY(await());
        } else {
            // The window had moved on when the colours came: it drops them, and what they were
            // for comes again with the next.
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            thread.take(generation + 1);
        }
    }
    ColourMap fresh;
    fresh.assign(int(text.size()), SyntaxColouring::colourNow(*found, text));
    QCOMPARE(map.runsIn(0, map.length()), fresh.runsIn(0, fresh.length()));
}

QTEST_GUILESS_MAIN(TestLanguages)
#include "test_languages.moc"
