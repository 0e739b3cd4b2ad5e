#pragma once

#include "colourmap.h"
#include "colours.h"

#include <QPlainTextEdit>
#include <optional>
#include <utility>

// The code editor both windows use. Text is exact (what was set is what is read, line breaks as
// '\n'); colours are display attributes kept outside the document, so they never enter the undo
// history and applying many of them costs little.
class CodeEditor : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit CodeEditor(QWidget* parent = nullptr);
    ~CodeEditor() override;

    static QFont codeFont();

    QString text() const;
    void setText(const QString& text); // replaces all; nothing selected; all default colour
    int textLength() const;

    int selectionStart() const;
    int selectionLength() const;
    void setSelectionStart(int start);   // collapses the selection to a caret there
    bool setSelectionLength(int length); // selects from the start; refuses a negative length
    QString selectedText() const;
    void replaceSelection(const QString& text); // one undo step; caret after it, nothing selected

    // Colours the selection; with nothing selected, the colour that text typed at the caret takes.
    void setSelectionColour(quint32 colour);
    quint32 colourAt(int position) const;
    const ColourMap& colours() const { return m_colours; }
    // All text default, then the runs, painted once.
    void applyColours(const QList<ColourRun>& runs);

    void setWordWrapOff();
    bool wordWrapOff() const;
    int lineStartOfCaret() const;         // start of the line holding the selection start
    int lineFromChar(int position) const; // line index from 0

    void suspendPainting();
    void resumePainting();

signals:
    void mouseButtonReleased(Qt::MouseButton button, Qt::KeyboardModifiers modifiers,
                             QPoint position);
    void overwriteModeChanged(bool overwrite);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void onContentsChange(int position, int removed, int added);
    void markStale(int start, int length);

    ColourMap m_colours;
    bool m_applyingFormats = false;
    std::optional<std::pair<int, int>> m_exactEdit; // position and removed length of our own edit
    int m_colourGeneration = 0; // lines whose state is not this are painted with fresh colours
    int m_pendingColourPosition = -1;
    quint32 m_pendingColour = Colours::Default;
    int m_paintSuspensions = 0;
};
