// SPDX-License-Identifier: MIT
#include "editor/languages.h"
#include "editor/syntaxcolouring.h"

#include <QTest>

// What a reader of each language expects to see coloured: keywords, a string holding an
// apostrophe (which the word list would take for a comment), comments and numbers.
class TestLanguages : public QObject {
    Q_OBJECT
private slots:
    void everyGrammarLoads();
    void coloursByLanguage_data();
    void coloursByLanguage();
};

void TestLanguages::everyGrammarLoads() {
    QCOMPARE(Languages::unusable(), QStringList());
    QCOMPARE(Languages::usable().size(), std::size_t(16));
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

QTEST_GUILESS_MAIN(TestLanguages)
#include "test_languages.moc"
