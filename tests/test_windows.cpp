// SPDX-License-Identifier: MIT
#include "app/pictures.h"
#include "editor/codeeditor.h"
#include "generated/version.h"
#include "windows/frmabout.h"
#include "windows/frmclipboard.h"
#include "windows/programicon.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>
#include <QToolButton>

namespace {

QWidget* caption(frmClipboard* clip) {
    return clip->findChild<QWidget*>("caption");
}

// Shows `main` and a clipboard window over it; null if `main` never reaches the screen.
frmClipboard* clipboardOver(QWidget& main) {
    main.show();
    if (!QTest::qWaitForWindowExposed(&main))
        return nullptr;
    auto* clip = new frmClipboard;
    clip->attachTo(&main);
    clip->show();
    return clip;
}

void drag(QWidget* widget, QPoint from, QPoint to, Qt::MouseButton button = Qt::LeftButton) {
    QTest::mousePress(widget, button, {}, from);
    QTest::mouseMove(widget, to);
    QTest::mouseRelease(widget, button, {}, to);
}

// Which of red, green and blue clearly leads in a pixel; 'y' for yellow (red and green).
char hueOf(QRgb pixel) {
    const int r = qRed(pixel), g = qGreen(pixel), b = qBlue(pixel);
    if (r > 160 && g > 140 && b < 120)
        return 'y';
    if (r > g + 60 && r > b + 60)
        return 'r';
    if (g > r + 60 && g > b + 60)
        return 'g';
    if (b > r + 60 && b > g + 30)
        return 'b';
    return '?';
}

} // namespace

class TestWindows : public QObject {
    Q_OBJECT

private slots:
    void clipboardStartsHiddenAndEmpty();
    void clipboardAttachKeepsVisibilityAndPlace();
    void clipboardSitsBelowTheMenuBar();
    void clipboardCloseOnlyHides();
    void clipboardLongLinesDoNotWrap();
    void clipboardDragStaysInside();

    void aboutContents();
    void aboutModalTwiceAndDestroyed();
    void aboutDestroyedWhenClosed();
    void aboutBlocksOwner();

    void pictures();
    void pictureSubjects_data();
    void pictureSubjects();
};

void TestWindows::clipboardStartsHiddenAndEmpty() {
    QWidget owner;
    auto* clip = new frmClipboard(&owner);
    owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&owner));
    QVERIFY(clip->isHidden());
    QCOMPARE(clip->objectName(), QString("frmClipboard"));

    CodeEditor* editor = clip->editor();
    QCOMPARE(editor->objectName(), QString("txtCodeFile"));
    QCOMPARE(editor->accessibleName(), QString("Code Clipboard editor"));
    QVERIFY(editor->text().isEmpty());
    QVERIFY(editor->wordWrapOff());
    QCOMPARE(editor->lineWrapMode(), QPlainTextEdit::NoWrap);
    QCOMPARE(editor->font().family(), CodeEditor::codeFont().family());
    QCOMPARE(editor->font().pointSizeF(), CodeEditor::codeFont().pointSizeF());
    QVERIFY(!editor->font().bold() && !editor->font().italic());

    // The editor overhangs the client area by 2 x 1 pixels and is clipped by it.
    auto* client = clip->findChild<QWidget*>("clientArea");
    QVERIFY(client);
    QCOMPARE(client->size(), QSize(323, 140));
    QCOMPARE(editor->parentWidget(), client);
    QCOMPARE(editor->geometry(), QRect(0, 0, 325, 141));
    QCOMPARE(clip->minimumSize(), clip->maximumSize());
    QVERIFY(client->y() > caption(clip)->geometry().bottom());
    QVERIFY(clip->rect().contains(client->geometry()));

    auto* close = clip->findChild<QToolButton*>("closeBox");
    QVERIFY(close);
    QCOMPARE(close->accessibleName(), QString("Close"));
    auto* title = clip->findChild<QLabel*>("captionText");
    QVERIFY(title);
    QCOMPARE(title->text(), QString("Code Clipboard"));
}

void TestWindows::clipboardAttachKeepsVisibilityAndPlace() {
    QWidget main;
    main.resize(640, 480);
    auto* sibling = new QWidget(&main);
    sibling->setGeometry(0, 0, 640, 480);
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));

    auto* hidden = new frmClipboard;
    hidden->attachTo(&main);
    QCOMPARE(hidden->parentWidget(), &main);
    QVERIFY(!hidden->isWindow());
    QVERIFY(hidden->isHidden());
    QVERIFY(main.rect().contains(hidden->geometry()));

    auto* shown = new frmClipboard;
    shown->show();
    shown->attachTo(&main);
    QCOMPARE(shown->parentWidget(), &main);
    QVERIFY(shown->isVisible());
    QVERIFY(!shown->isWindow());

    // Later calls change neither the parent nor the place.
    hidden->move(30, 40);
    hidden->attachTo(&main);
    QCOMPARE(hidden->parentWidget(), &main);
    QCOMPARE(hidden->pos(), QPoint(30, 40));
    QVERIFY(hidden->isHidden());

    // Shown again, it is stacked above the main window's own widgets.
    sibling->raise();
    hidden->show();
    QCOMPARE(main.children().last(), hidden);
    QVERIFY(hidden->isAncestorOf(main.childAt(hidden->geometry().center())));
}

void TestWindows::clipboardSitsBelowTheMenuBar() {
    QMainWindow main;
    main.menuBar()->addMenu("&File");
    main.setCentralWidget(new QWidget);
    main.resize(631, 470);
    auto* clip = clipboardOver(main);
    QVERIFY(clip);
    const int menuBottom = main.menuBar()->geometry().bottom();
    QVERIFY(clip->y() > menuBottom);
    QVERIFY(main.rect().contains(clip->geometry()));

    drag(caption(clip), QPoint(20, 5), QPoint(20, -2000));
    QCOMPARE(clip->y(), menuBottom + 1);
}

void TestWindows::clipboardCloseOnlyHides() {
    QWidget main;
    main.resize(640, 480);
    QPointer<frmClipboard> clip = clipboardOver(main);
    QVERIFY(clip);
    clip->editor()->setText("Dim a As Long\nkept");
    clip->move(25, 35);

    QVERIFY(!clip->close());
    QVERIFY(clip);
    QVERIFY(clip->isHidden());
    clip->show();
    QCOMPARE(clip->editor()->text(), QString("Dim a As Long\nkept"));
    QCOMPARE(clip->pos(), QPoint(25, 35));

    QTest::mouseClick(clip->findChild<QToolButton*>("closeBox"), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(clip);
    QVERIFY(clip->isHidden());
    clip->show();
    QCOMPARE(clip->editor()->text(), QString("Dim a As Long\nkept"));
    QCOMPARE(clip->pos(), QPoint(25, 35));
}

void TestWindows::clipboardLongLinesDoNotWrap() {
    QWidget main;
    main.resize(640, 480);
    auto* clip = clipboardOver(main);
    QVERIFY(clip);
    clip->editor()->setText(QString(400, 'x') + " ' and a comment");
    QCoreApplication::processEvents();
    QCOMPARE(clip->editor()->document()->firstBlock().layout()->lineCount(), 1);
    QVERIFY(clip->editor()->horizontalScrollBar()->maximum() > 0);
}

void TestWindows::clipboardDragStaysInside() {
    QWidget main;
    main.resize(640, 480);
    auto* clip = clipboardOver(main);
    QVERIFY(clip);
    clip->move(50, 60);
    QWidget* bar = caption(clip);
    QVERIFY(bar);

    drag(bar, QPoint(20, 5), QPoint(60, 25));
    QCOMPARE(clip->pos(), QPoint(90, 80));

    // Dragging on the caption's text moves it too (routed as the window system would).
    auto* text = clip->findChild<QLabel*>("captionText");
    const QPoint grip = text->mapTo(&main, QPoint(30, text->height() / 2));
    QWindow* window = main.windowHandle();
    QTest::mousePress(window, Qt::LeftButton, {}, grip);
    QTest::mouseMove(window, grip - QPoint(10, 10));
    QTest::mouseRelease(window, Qt::LeftButton, {}, grip - QPoint(10, 10));
    QCOMPARE(clip->pos(), QPoint(80, 70));

    drag(bar, QPoint(20, 5), QPoint(5000, 5000));
    QCOMPARE(clip->pos(), QPoint(640 - clip->width(), 480 - clip->height()));
    QVERIFY(main.rect().contains(clip->geometry()));

    drag(bar, QPoint(20, 5), QPoint(-5000, -5000));
    QCOMPARE(clip->pos(), QPoint(0, 0));

    // Only the left button drags.
    drag(bar, QPoint(20, 5), QPoint(80, 80), Qt::RightButton);
    QCOMPARE(clip->pos(), QPoint(0, 0));

    // A drag on the editor does not move the window.
    drag(clip->editor()->viewport(), QPoint(20, 20), QPoint(90, 60));
    QCOMPARE(clip->pos(), QPoint(0, 0));

    // In a parent smaller than the window, the caption's left end stays in reach.
    main.resize(200, 100);
    drag(bar, QPoint(20, 5), QPoint(300, 300));
    QCOMPARE(clip->pos(), QPoint(0, 0));
}

void TestWindows::aboutContents() {
    QWidget owner;
    QPointer<frmAbout> box = new frmAbout(&owner);
    QCOMPARE(box->objectName(), QString("frmAbout"));
    QCOMPARE(box->windowTitle(), QString("About Quillary™"));
    QCOMPARE(box->minimumSize(), QSize(370, 231));
    QCOMPARE(box->maximumSize(), QSize(370, 231));
    QVERIFY(box->testAttribute(Qt::WA_DeleteOnClose));
    QVERIFY(box->isModal());
    QCOMPARE(box->windowModality(), Qt::ApplicationModal);
    const Qt::WindowFlags flags = box->windowFlags();
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QVERIFY(!(flags & Qt::WindowContextHelpButtonHint));
    QCOMPARE(box->parentWidget(), &owner);
    QCOMPARE(box->font().pointSizeF(), 9.75);

    auto* cmdOk = box->findChild<QPushButton*>("cmdOk");
    QVERIFY(cmdOk);
    QCOMPARE(cmdOk->text(), QString("OK I get the picture..."));
    QVERIFY(cmdOk->isDefault());
    QCOMPARE(cmdOk->geometry(), QRect(109, 188, 153, 35));

    QLabel* info[4];
    for (int i = 0; i < 4; ++i) {
        info[i] = box->findChild<QLabel*>(QString("lblInfo%1").arg(i));
        QVERIFY(info[i]);
        QCOMPARE(info[i]->property("index").toInt(), i);
    }
    QCOMPARE(info[0]->text(), QString("Quillary™"));
    QCOMPARE(info[1]->text(), QString("Version %1.%2 build %3")
                                  .arg(Version::Major)
                                  .arg(Version::Minor)
                                  .arg(Version::Revision));
    QCOMPARE(info[1]->text(), QString("Version 1.0 build 2"));
    QCOMPARE(frmAbout::versionText(), info[1]->text());
    QVERIFY(!info[2]->text().isEmpty());
    QVERIFY(!info[2]->text().contains('\n'));
    QVERIFY(info[3]->wordWrap());
    QVERIFY(!info[3]->text().isEmpty());
    QCOMPARE(info[0]->pos(), QPoint(66, 8));
    QCOMPARE(info[1]->pos(), QPoint(66, 26));
    QCOMPARE(info[2]->pos(), QPoint(66, 44));
    QCOMPARE(info[3]->geometry(), QRect(12, 68, 346, 100));
    // Self-sizing labels fit their text, whatever width they were given at first.
    for (int i = 0; i < 3; ++i)
        QCOMPARE(info[i]->size(), info[i]->sizeHint());
    QVERIFY(box->rect().contains(info[2]->geometry()));

    auto* image = box->findChild<QLabel*>("Image1");
    QVERIFY(image);
    QCOMPARE(image->geometry(), QRect(20, 12, 32, 32));
    QCOMPARE(image->pixmap().size(), QSize(32, 32));
    delete box;
}

void TestWindows::aboutModalTwiceAndDestroyed() {
    QWidget owner;
    owner.resize(600, 400);
    owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&owner));

    struct Seen {
        QPointer<frmAbout> box;
        QString version;
        bool modal = false;
        QPoint centreOffset;
    };
    auto inspectAndClose = [&owner](Seen& seen, bool byButton) {
        QTimer::singleShot(0, [&owner, &seen, byButton] {
            seen.box = qobject_cast<frmAbout*>(QApplication::activeModalWidget());
            if (!seen.box)
                return;
            seen.modal = seen.box->isModal();
            seen.version = seen.box->findChild<QLabel*>("lblInfo1")->text();
            seen.centreOffset = seen.box->frameGeometry().center() - owner.frameGeometry().center();
            if (byButton)
                QTest::mouseClick(seen.box->findChild<QPushButton*>("cmdOk"), Qt::LeftButton);
            else
                seen.box->close();
        });
    };
    // Whatever goes wrong above, no dialog is left blocking the test.
    QTimer safety;
    connect(&safety, &QTimer::timeout, [] {
        if (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
    });
    safety.start(5000);

    Seen first, second;
    inspectAndClose(first, true);
    frmAbout::showModal(&owner);
    inspectAndClose(second, false);
    frmAbout::showModal(&owner);

    QVERIFY(first.modal && second.modal);
    QCOMPARE(first.version, QString("Version 1.0 build 2"));
    QCOMPARE(second.version, first.version);
    QVERIFY(first.box.isNull());
    QVERIFY(second.box.isNull());
    QVERIFY(qAbs(first.centreOffset.x()) <= 2 && qAbs(first.centreOffset.y()) <= 2);
}

void TestWindows::aboutDestroyedWhenClosed() {
    QWidget owner;
    owner.show();
    QPointer<frmAbout> byButton = new frmAbout(&owner);
    byButton->show();
    QTest::mouseClick(byButton->findChild<QPushButton*>("cmdOk"), Qt::LeftButton);
    QVERIFY(byButton->isHidden());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(byButton.isNull());

    QPointer<frmAbout> byCloseBox = new frmAbout(&owner);
    byCloseBox->show();
    QVERIFY(byCloseBox->close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(byCloseBox.isNull());
}

void TestWindows::aboutBlocksOwner() {
    QWidget owner;
    owner.resize(300, 200);
    auto* button = new QPushButton("owner", &owner);
    button->setGeometry(10, 10, 100, 30);
    int clicks = 0;
    connect(button, &QPushButton::clicked, [&clicks] { ++clicks; });
    owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&owner));

    // The same click through the window system reaches the owner when no box is open.
    QTest::mouseClick(owner.windowHandle(), Qt::LeftButton, {}, QPoint(50, 25));
    QCOMPARE(clicks, 1);

    bool blockedWhileOpen = false;
    QTimer::singleShot(0, [&] {
        QWidget* box = QApplication::activeModalWidget();
        if (!box)
            return;
        QTest::mouseClick(owner.windowHandle(), Qt::LeftButton, {}, QPoint(50, 25));
        blockedWhileOpen = clicks == 1;
        box->close();
    });
    frmAbout::showModal(&owner);
    QVERIFY(blockedWhileOpen);
    QCOMPARE(clicks, 1);
}

void TestWindows::pictures() {
    const QList<QPixmap> toolbar = Pictures::toolbarPictures();
    const QList<QPixmap> tree = Pictures::treePictures();
    QCOMPARE(toolbar.size(), 6);
    QCOMPARE(tree.size(), 2);
    const QList<QPixmap> all = toolbar + tree;
    QList<QImage> images;
    for (const QPixmap& picture : all) {
        QCOMPARE(picture.size(), QSize(16, 16));
        const QImage image = picture.toImage().convertToFormat(QImage::Format_ARGB32);
        int opaque = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                opaque += qAlpha(image.pixel(x, y)) == 255;
        QVERIFY2(opaque > 40, qPrintable(QString("picture %1 is nearly blank").arg(images.size())));
        for (const QPoint corner : {QPoint(0, 0), QPoint(15, 0), QPoint(0, 15), QPoint(15, 15)})
            QCOMPARE(qAlpha(image.pixel(corner)), 0);
        for (const QImage& earlier : images)
            QVERIFY(earlier != image);
        images.append(image);
    }

    const QPixmap icon = programPicture();
    QCOMPARE(icon.size(), QSize(32, 32));
    const QImage iconImage = icon.toImage();
    QCOMPARE(qAlpha(iconImage.pixel(0, 31)), 0);
    QCOMPARE(qAlpha(iconImage.pixel(16, 16)), 255);
    QVERIFY(!programIcon().isNull());
}

void TestWindows::pictureSubjects_data() {
    QTest::addColumn<bool>("toolbar");
    QTest::addColumn<int>("index");
    QTest::addColumn<QPoint>("where");
    QTest::addColumn<char>("hue");
    QTest::newRow("1 folder") << true << 0 << QPoint(4, 8) << 'y';
    QTest::newRow("1 plus") << true << 0 << QPoint(11, 11) << 'g';
    QTest::newRow("4 folder") << true << 3 << QPoint(4, 8) << 'y';
    QTest::newRow("4 minus") << true << 3 << QPoint(11, 11) << 'r';
    QTest::newRow("4 no plus above the minus") << true << 3 << QPoint(11, 9) << 'y';
    QTest::newRow("2 clip") << true << 1 << QPoint(8, 2) << 'y';
    QTest::newRow("5 disk") << true << 4 << QPoint(2, 9) << 'b';
    QTest::newRow("6 disk") << true << 5 << QPoint(2, 9) << 'b';
    QTest::newRow("tree folder") << false << 1 << QPoint(4, 8) << 'y';
}

void TestWindows::pictureSubjects() {
    QFETCH(bool, toolbar);
    QFETCH(int, index);
    QFETCH(QPoint, where);
    QFETCH(char, hue);
    const QPixmap picture =
        (toolbar ? Pictures::toolbarPictures() : Pictures::treePictures()).at(index);
    QCOMPARE(hueOf(picture.toImage().pixel(where)), hue);
}

QTEST_MAIN(TestWindows)
#include "test_windows.moc"
