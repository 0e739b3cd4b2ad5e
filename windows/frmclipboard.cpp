// SPDX-License-Identifier: MIT
#include "windows/frmclipboard.h"

#include "editor/codeeditor.h"
#include "windows/twips.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMainWindow>
#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>

#include <algorithm>

namespace {

using Twips::toPixels;

// The editor is a little larger than the client area on purpose: its right and bottom borders
// fall outside and are clipped away.
constexpr QSize clientSize(toPixels(4845), toPixels(2100));
constexpr QRect editorPlace(0, 0, toPixels(4875), toPixels(2115));

// The part of the main window the clipboard may sit in: below its menu bar, if it has one.
QRect clientAreaOf(const QWidget* parent) {
    QRect area = parent->rect();
    if (const auto* window = qobject_cast<const QMainWindow*>(parent)) {
        const QWidget* menu = window->menuWidget();
        if (menu && !menu->isHidden())
            area.setTop(menu->geometry().bottom() + 1);
    }
    return area;
}

// Wholly inside when it fits; otherwise the caption's left end stays reachable.
QPoint keptInside(QPoint topLeft, QSize size, const QRect& area) {
    const int right = std::max(area.left(), area.right() + 1 - size.width());
    const int bottom = std::max(area.top(), area.bottom() + 1 - size.height());
    return {std::clamp(topLeft.x(), area.left(), right),
            std::clamp(topLeft.y(), area.top(), bottom)};
}

// The close box's cross, drawn so it stays legible on the small button.
QIcon crossIcon(int side, const QColor& colour) {
    QPixmap cross(side, side);
    cross.fill(Qt::transparent);
    QPainter painter(&cross);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(colour, 1.6, Qt::SolidLine, Qt::FlatCap));
    const qreal near = 1.5, far = side - 1.5;
    painter.drawLine(QPointF(near, near), QPointF(far, far));
    painter.drawLine(QPointF(near, far), QPointF(far, near));
    return QIcon(cross);
}

// The narrow caption strip; dragging it moves the whole window within its parent.
class CaptionBar : public QWidget {
public:
    explicit CaptionBar(QWidget* window) : QWidget(window), m_window(window) {}

protected:
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() != Qt::LeftButton) {
            QWidget::mousePressEvent(event);
            return;
        }
        m_window->raise();
        m_window->setFocus(Qt::MouseFocusReason);
        m_grab = mapTo(m_window, event->position().toPoint());
        m_dragging = true;
        event->accept();
    }

    void mouseMoveEvent(QMouseEvent* event) override {
        if (!m_dragging || !(event->buttons() & Qt::LeftButton)) {
            QWidget::mouseMoveEvent(event);
            return;
        }
        const QPoint global = event->globalPosition().toPoint();
        if (QWidget* parent = m_window->parentWidget()) {
            const QPoint wanted = parent->mapFromGlobal(global) - m_grab;
            m_window->move(keptInside(wanted, m_window->size(), clientAreaOf(parent)));
        } else {
            m_window->move(global - m_grab);
        }
        event->accept();
    }

    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton)
            m_dragging = false;
        QWidget::mouseReleaseEvent(event);
    }

private:
    QWidget* m_window;
    QPoint m_grab;
    bool m_dragging = false;
};

} // namespace

class frmClipboard::Private {
public:
    CaptionBar* caption = nullptr;
    QLabel* captionText = nullptr;
    QToolButton* closeBox = nullptr;
    QWidget* client = nullptr;
    CodeEditor* txtCodeFile = nullptr;
    bool placed = false;
};

frmClipboard::frmClipboard(QWidget* parent) : QFrame(parent), d(new Private) {
    setObjectName(QStringLiteral("frmClipboard"));
    setWindowTitle(tr("Code Clipboard"));
    setAccessibleName(tr("Code Clipboard"));
    setFrameStyle(QFrame::WinPanel | QFrame::Raised);
    setAutoFillBackground(true);

    d->caption = new CaptionBar(this);
    d->caption->setObjectName(QStringLiteral("caption"));
    d->caption->setAutoFillBackground(true);
    QPalette captionColours = d->caption->palette();
    captionColours.setColor(QPalette::Window, captionColours.color(QPalette::Highlight));
    captionColours.setColor(QPalette::WindowText, captionColours.color(QPalette::HighlightedText));
    d->caption->setPalette(captionColours);

    QFont captionFont = font();
    captionFont.setBold(true);
    captionFont.setPointSizeF(captionFont.pointSizeF() * 0.9);
    d->captionText = new QLabel(tr("Code Clipboard"), d->caption);
    d->captionText->setObjectName(QStringLiteral("captionText"));
    d->captionText->setTextFormat(Qt::PlainText);
    d->captionText->setFont(captionFont);
    d->captionText->setAttribute(Qt::WA_TransparentForMouseEvents);
    const int captionHeight = std::max(QFontMetrics(captionFont).height() + 3, 16);

    d->closeBox = new QToolButton(d->caption);
    d->closeBox->setObjectName(QStringLiteral("closeBox"));
    d->closeBox->setAccessibleName(tr("Close"));
    d->closeBox->setFocusPolicy(Qt::NoFocus);
    const int boxSize = captionHeight - 2;
    d->closeBox->setFixedSize(boxSize + 2, boxSize);
    d->closeBox->setIconSize(QSize(boxSize - 6, boxSize - 6));
    d->closeBox->setIcon(crossIcon(boxSize - 6, palette().color(QPalette::ButtonText)));
    connect(d->closeBox, &QToolButton::clicked, this, &QWidget::close);

    // Plain child widgets clip their children, which is what trims the oversized editor.
    d->client = new QWidget(this);
    d->client->setObjectName(QStringLiteral("clientArea"));
    d->txtCodeFile = new CodeEditor(d->client);
    d->txtCodeFile->setObjectName(QStringLiteral("txtCodeFile"));
    d->txtCodeFile->setAccessibleName(tr("Code Clipboard editor"));
    d->txtCodeFile->setFont(CodeEditor::codeFont());
    d->txtCodeFile->setGeometry(editorPlace);
    setFocusProxy(d->txtCodeFile);

    const int frame = frameWidth();
    const int width = clientSize.width();
    d->caption->setGeometry(frame, frame, width, captionHeight);
    d->captionText->setGeometry(3, 0, width - boxSize - 8, captionHeight);
    d->closeBox->move(width - boxSize - 4, 1);
    d->client->setGeometry(frame, frame + captionHeight, width, clientSize.height());
    setFixedSize(width + 2 * frame, captionHeight + clientSize.height() + 2 * frame);

    // A child widget would otherwise appear with its parent.
    hide();
    Form_Load();
}

frmClipboard::~frmClipboard() {
    delete d;
}

CodeEditor* frmClipboard::editor() const {
    return d->txtCodeFile;
}

void frmClipboard::attachTo(QWidget* mainWindow) {
    if (parentWidget() != mainWindow) {
        const bool shown = !isHidden();
        setParent(mainWindow);
        setVisible(shown);
    }
    if (!d->placed && mainWindow) {
        // Somewhere a new window would turn up, clear of the toolbar.
        const QRect area = clientAreaOf(mainWindow);
        const QPoint cascade(area.width() / 8, area.height() / 8);
        move(keptInside(area.topLeft() + cascade, size(), area));
        d->placed = true;
    }
    raise();
}

void frmClipboard::closeEvent(QCloseEvent* event) {
    event->ignore();
    hide();
}

void frmClipboard::showEvent(QShowEvent* event) {
    raise();
    QFrame::showEvent(event);
}

void frmClipboard::Form_Load() {
    d->txtCodeFile->setWordWrapOff();
}
