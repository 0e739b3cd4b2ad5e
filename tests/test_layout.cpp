// SPDX-License-Identifier: MIT
#include "app/formlayout.h"

#include <QTest>

class TestLayout : public QObject {
    Q_OBJECT
private slots:
    void workedExampleAtStartSize();
    void minimisedSkipsNegativesAndKeepsTheRest();
    void zeroIsApplied();
    void maximisedGrowsEditorAndSplitsHeight();
    void tallerToolbarChangesAllHeights();
};

static FormLayout::Input startInput(float outerWidth = 9585) {
    FormLayout::Input in;
    in.clientWidth = 9465;
    in.clientHeight = 6720;
    in.toolbarHeight = 360;
    in.statusBarHeight = 285;
    in.outerWidth = outerWidth;
    in.currentTreeHeight = 3195;
    return in;
}

void TestLayout::workedExampleAtStartSize() {
    const auto r = FormLayout::compute(startInput(9585));
    QCOMPARE(r.editorWidth.value(), 6720.0f);
    QCOMPARE(r.editorHeight.value(), 6075.0f);
    QCOMPARE(r.treeHeight.value(), 3007.5f);
    QCOMPARE(r.listTop.value(), 3412.5f);
    QCOMPARE(r.listHeight.value(), 3007.5f);
    QCOMPARE(r.panel1Width.value(), 9585.0f - 4050.0f);
    // The list ends 15 twips above the status bar, the editor meets it.
    QCOMPARE(r.listTop.value() + r.listHeight.value(), 6435.0f - 15.0f);
    QCOMPARE(FormLayout::EditorTop + r.editorHeight.value(), 6435.0f);
}

void TestLayout::minimisedSkipsNegativesAndKeepsTheRest() {
    FormLayout::Input in = startInput(160);
    in.clientWidth = 0;
    in.clientHeight = 0;
    in.currentTreeHeight = 3007.5f;
    const auto r = FormLayout::compute(in);
    QVERIFY(!r.editorWidth);
    QVERIFY(!r.editorHeight);
    QVERIFY(!r.treeHeight);
    QVERIFY(!r.listHeight);
    QVERIFY(!r.panel1Width);
    // The list's top is re-applied from the tree's kept height: unchanged.
    QCOMPARE(r.listTop.value(), 3412.5f);
}

void TestLayout::zeroIsApplied() {
    FormLayout::Input in = startInput(4050);
    in.clientWidth = 2745; // 2655 + 90
    in.clientHeight = 645; // S + T
    const auto r = FormLayout::compute(in);
    QCOMPARE(r.editorWidth.value(), 0.0f);
    QCOMPARE(r.editorHeight.value(), 0.0f);
    QCOMPARE(r.panel1Width.value(), 0.0f);
    QVERIFY(!r.treeHeight); // 322.5 - 352.5 is negative
}

void TestLayout::maximisedGrowsEditorAndSplitsHeight() {
    FormLayout::Input in = startInput(28800);
    in.clientWidth = 28800;
    in.clientHeight = 15000;
    const auto r = FormLayout::compute(in);
    QCOMPARE(r.editorWidth.value(), 28800.0f - 2655.0f - 90.0f);
    QCOMPARE(r.editorHeight.value(), 15000.0f - 645.0f);
    QCOMPARE(r.treeHeight.value(), r.listHeight.value());
    QCOMPARE(r.treeHeight.value(), 7500.0f - 352.5f);
    QCOMPARE(r.listTop.value(), 7147.5f + 360.0f + 45.0f);
}

void TestLayout::tallerToolbarChangesAllHeights() {
    FormLayout::Input in = startInput();
    in.toolbarHeight = 500;
    const auto r = FormLayout::compute(in);
    QCOMPARE(r.editorHeight.value(), 6720.0f - 785.0f);
    QCOMPARE(r.treeHeight.value(), 3360.0f - (392.5f + 30.0f));
    QCOMPARE(r.listHeight.value(), r.treeHeight.value());
    QCOMPARE(r.listTop.value(), r.treeHeight.value() + 360.0f + 45.0f);
}

QTEST_APPLESS_MAIN(TestLayout)
#include "test_layout.moc"
