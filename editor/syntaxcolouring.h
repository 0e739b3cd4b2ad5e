// SPDX-License-Identifier: MIT
#pragma once

#include "editor/colours.h"

#include <QList>
#include <QObject>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

struct CodeLanguage;
struct TSParser;
struct TSTree;

// Colours texts by their language's grammar on a thread of its own. Each text handed over
// supersedes the one before; when it is the same language, the tree of the last text is edited
// where the two differ and parsed again from there, and only what that changed is coloured again,
// so a key press costs a fraction of a parse and its colours a fraction of the text's.
class SyntaxColouring : public QObject {
    Q_OBJECT
public:
    SyntaxColouring();
    ~SyntaxColouring() override;

    // The colours of `text` in one pass on the caller's thread.
    static QList<ColourRun> colourNow(const CodeLanguage& language, QStringView text);

    struct Span { // no member initialisers: it is a default argument below
        int start;
        int length;
        friend bool operator==(const Span&, const Span&) = default;
    };
    // `visible`: the part of the text in view, coloured before the rest.
    void colour(const CodeLanguage* language, const QString& text, quint64 generation,
                Span visible = {0, 0});
    // A text the window holds no colours of yet: all of it is coloured.
    void colourNew(const CodeLanguage* language, const QString& text, quint64 generation,
                   Span visible = {0, 0});
    // The edits made to the text handed over last, in order, leaving it `length` long: a key
    // press need not copy the whole text.
    struct Edit {
        int position;
        int removed;
        QString inserted;
    };
    void colourEdits(const CodeLanguage* language, std::vector<Edit> edits, int length,
                     quint64 generation, Span visible = {0, 0});
    // Whether edits came for a text this colouring no longer holds (and were dropped): the whole
    // text is wanted again. Asked once, by the window on ready().
    bool lostText() { return m_lostText.exchange(false); }
    // Parses a text about to be shown while the window takes it in, so that colourNew() with the
    // same text only has to colour it. `text` is called on the colouring's thread and must give
    // the text as the window will hold it; `ticket` names this text for colourParsedAhead().
    void parseAhead(const CodeLanguage* language, std::function<QString()> text, quint64 ticket);
    // colourNew() of the text parseAhead() was given under `ticket`, which the window now holds,
    // `length` long, without copying it out of the window. When that text is not at hand (or is
    // not that long), lostText() says so and the tree is forgotten.
    void colourParsedAhead(const CodeLanguage* language, quint64 ticket, int length,
                           quint64 generation, Span visible = {0, 0});
    void stop(); // drops what is queued and the tree

    struct Result {
        quint64 generation = 0;
        // The parts of the text these colours are for (all of it for a new text), sorted and
        // apart; outside them the colours the last result left stand, moved along with the edits.
        QList<Span> spans;
        QList<ColourRun> runs; // sorted, inside the spans, default ones left out
        quint64 sequence = 0;
    };
    // The result for the text of `generation`, once there. One for an earlier text is dropped:
    // what it covered comes again with the next.
    std::optional<Result> take(quint64 generation);

signals:
    // Sent from the colouring's thread when take() has a result, and once the grammars are
    // checked at start.
    void ready();

private:
    using Parts = std::vector<std::pair<int, int>>; // [from, to), sorted and apart
    struct Request {
        const CodeLanguage* language = nullptr;
        QString text{};
        quint64 generation = 0;
        Span visible{0, 0};
        bool drop = false;  // forget the tree
        bool whole = false; // the window has none of the text's colours
        std::function<QString()> ahead{};
        std::vector<Edit> edits{}; // made to `text`, or to the tree's text
        int length = -1;           // once the edits are made; -1: no edits
        bool toTreeText = false;
        quint64 ticket = 0; // of the text parsed ahead, by an ahead request or one that uses it
        bool colourAhead = false; // an ahead request coloured once parsed
        bool fromAhead = false;   // the text is the one parsed ahead under `ticket`
        int aheadLength = -1;     // that text's length as the window holds it
    };
    // The text parsed ahead under `request.ticket` becomes the request's own; false when it is
    // not at hand, or not the window's.
    bool tookAheadText(Request& request);
    // Changes what is queued, under the lock, and wakes the thread; `cancel` also stops the parse
    // under way.
    template <typename Change> void queue(Change change, bool cancel = false);
    void run();
    // The edits made to the text they follow; false when that text is gone.
    bool madeEdits(Request& request);
    void work(const Request& request);
    void colourPending(const Request& request); // the visible part first
    void forgetTree();
    // Colours `parts` of the tree's text, widened to whole coloured nodes, and hands them over;
    // false when a newer text came meanwhile.
    bool publish(const CodeLanguage& language, Parts parts, quint64 generation);

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::optional<Request> m_request;
    std::optional<Result> m_result;
    quint64 m_delivered = 0; // the sequence of the last result taken
    bool m_quit = false;
    std::atomic<std::size_t> m_cancel{0};
    std::atomic<bool> m_lostText{false};

    // The colouring's thread alone.
    TSParser* m_parser = nullptr;
    TSTree* m_tree = nullptr;
    const CodeLanguage* m_treeLanguage = nullptr;
    QString m_treeText;
    quint64 m_treeTicket = 0; // the ticket of the ahead text the tree is of, as parsed
    Parts m_pending;          // of the tree's text: what the window may not have the colours of yet
    std::vector<std::pair<quint64, Parts>> m_published; // since the last parse, by sequence
    quint64 m_sequence = 0;

    std::thread m_thread; // last: starts once the rest is made
};
