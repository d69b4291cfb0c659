#include "platform/multi_line_box.h"

#include <QGuiApplication>
#include <QInputMethod>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>

#include <vector>

namespace platform::detail {
namespace {

constexpr int kContinuesLine = QTextFormat::UserProperty + 1;

// The characters with which Qt's text cursor starts a new block ("\r\n" counts once).
bool IsBlockBreak(QChar c) {
    return c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QChar::ParagraphSeparator ||
           c.unicode() == 0xFDD0 || c.unicode() == 0xFDD1;
}

// Returns where the piece of a long line that starts at `from` ends: kChunk characters on, but
// never between the two halves of a surrogate pair, and at most at the line's end.
qsizetype NextCut(QStringView line, qsizetype from) {
    qsizetype cut = from + MultiLineBox::kChunk;
    if (cut >= line.size()) return line.size();
    if (line.at(cut - 1).isHighSurrogate() && line.at(cut).isLowSurrogate()) ++cut;
    return cut;
}

// Returns the offsets in `line` at which its pieces after the first start.
std::vector<qsizetype> CutsOf(QStringView line) {
    std::vector<qsizetype> cuts;
    for (qsizetype cut = NextCut(line, 0); cut < line.size(); cut = NextCut(line, cut)) cuts.push_back(cut);
    return cuts;
}

QTextBlockFormat WithMark(QTextBlockFormat format, bool continues) {
    if (continues) {
        format.setProperty(kContinuesLine, true);
    } else {
        format.clearProperty(kContinuesLine);
    }
    return format;
}

// Returns the positions at which blocks from..to are to be cut: every block there longer than
// kLongestBlock, except one that holds an input method's unfinished text.
std::vector<int> CutsBetween(const QTextDocument* document, int from, int to) {
    std::vector<int> cuts;
    const QTextBlock last = document->findBlock(to);
    for (QTextBlock block = document->findBlock(from); block.isValid(); block = block.next()) {
        const bool composing = block.layout() != nullptr && !block.layout()->preeditAreaText().isEmpty();
        if (block.length() - 1 > MultiLineBox::kLongestBlock && !composing) {
            for (const qsizetype cut : CutsOf(block.text())) cuts.push_back(block.position() + static_cast<int>(cut));
        }
        if (block == last) break;
    }
    return cuts;
}

// Starts a block continuing its line at each of the ascending positions.
void Cut(QTextCursor& cursor, const std::vector<int>& cuts) {
    // From the last, so that the positions before it stay where they are.
    for (std::size_t i = cuts.size(); i-- > 0;) {
        cursor.setPosition(cuts[i]);
        cursor.insertBlock(WithMark(cursor.blockFormat(), true));
    }
}

}  // namespace

MultiLineBox::MultiLineBox(QWidget* parent) : QPlainTextEdit(parent) {}

bool MultiLineBox::ContinuesLine(const QTextBlock& block) {
    return block.isValid() && block.blockFormat().boolProperty(kContinuesLine);
}

void MultiLineBox::SetText(const QString& text) {
    // The text with a break inserted after every kChunk characters of a long line; the blocks
    // that these breaks start are marked once the document holds them.
    QString shown;
    shown.reserve(text.size() + text.size() / kChunk + 1);
    std::vector<int> continuing;  // block numbers, ascending
    int blockNumber = 0;
    qsizetype start = 0;
    while (true) {
        qsizetype end = start;
        while (end < text.size() && !IsBlockBreak(text.at(end))) ++end;
        const QStringView line = QStringView(text).sliced(start, end - start);
        qsizetype piece = 0;
        if (line.size() > kLongestBlock) {
            for (const qsizetype cut : CutsOf(line)) {
                shown.append(line.sliced(piece, cut - piece)).append(QLatin1Char('\n'));
                continuing.push_back(++blockNumber);
                piece = cut;
            }
        }
        shown.append(line.sliced(piece));
        if (end == text.size()) break;
        const bool crLf =
            text.at(end) == QLatin1Char('\r') && end + 1 < text.size() && text.at(end + 1) == QLatin1Char('\n');
        const qsizetype breakLength = crLf ? 2 : 1;
        shown.append(QStringView(text).sliced(end, breakLength));
        ++blockNumber;
        start = end + breakLength;
    }
    setPlainText(shown);
    if (continuing.empty()) return;

    // Marking the blocks is no edit of the user's: it leaves no undo step and no modification.
    QTextDocument* document = this->document();
    const bool undo = document->isUndoRedoEnabled();
    const bool modified = document->isModified();
    document->setUndoRedoEnabled(false);
    QTextCursor cursor(document);
    cursor.beginEditBlock();
    QTextBlock block = document->begin();
    int number = 0;
    for (const int wanted : continuing) {
        for (; number < wanted; ++number) block = block.next();
        cursor.setPosition(block.position());
        cursor.setBlockFormat(WithMark(block.blockFormat(), true));
    }
    cursor.endEditBlock();
    document->setUndoRedoEnabled(undo);
    document->setModified(modified);
}

QString MultiLineBox::Text() const {
    const QTextDocument* document = this->document();
    QString text;
    text.reserve(document->characterCount());
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        if (block != document->begin() && !ContinuesLine(block)) text.append(QLatin1Char('\n'));
        text.append(block.text());
    }
    // The characters that toPlainText turns into line breaks and spaces.
    for (QChar& c : text) {
        if (c == QChar::LineSeparator || c == QChar::ParagraphSeparator || c.unicode() == 0xFDD0 ||
            c.unicode() == 0xFDD1) {
            c = QLatin1Char('\n');
        } else if (c == QChar::Nbsp) {
            c = QLatin1Char(' ');
        }
    }
    return text;
}

void MultiLineBox::StepOverContinuation(const QKeyEvent* event) {
    QTextCursor cursor = textCursor();
    const bool select =
        event->matches(QKeySequence::SelectPreviousChar) || event->matches(QKeySequence::SelectNextChar);
    const bool backspace = event->key() == Qt::Key_Backspace && (event->modifiers() & ~Qt::ShiftModifier) == 0;
    const bool backward = event->matches(QKeySequence::SelectPreviousChar) ||
                          (!cursor.hasSelection() && (backspace || event->matches(QKeySequence::MoveToPreviousChar)));
    const bool forward = event->matches(QKeySequence::SelectNextChar) ||
                         (!cursor.hasSelection() &&
                          (event->matches(QKeySequence::Delete) || event->matches(QKeySequence::MoveToNextChar)));
    const QTextCursor::MoveMode mode = select ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor;
    bool stepped = false;
    while (backward && cursor.atBlockStart() && ContinuesLine(cursor.block())) {
        stepped = cursor.movePosition(QTextCursor::PreviousCharacter, mode) || stepped;
    }
    while (forward && cursor.atBlockEnd() && ContinuesLine(cursor.block().next())) {
        stepped = cursor.movePosition(QTextCursor::NextCharacter, mode) || stepped;
    }
    if (stepped) setTextCursor(cursor);
}

void MultiLineBox::AfterEdit(int from, int to) {
    QTextDocument* document = this->document();
    std::vector<int> typedBreaks;  // block starts
    for (QTextBlock block = document->findBlock(from).next(); block.isValid() && block.position() <= to;
         block = block.next()) {
        if (block.position() > from && ContinuesLine(block)) typedBreaks.push_back(block.position());
    }
    const std::vector<int> cuts = CutsBetween(document, from, to);
    if (typedBreaks.empty() && cuts.empty()) return;
    QTextCursor cursor(document);
    cursor.joinPreviousEditBlock();
    for (const int at : typedBreaks) {
        cursor.setPosition(at);
        cursor.setBlockFormat(WithMark(cursor.blockFormat(), false));
    }
    Cut(cursor, cuts);
    cursor.endEditBlock();
}

void MultiLineBox::PutInStrandedPreedit() {
    const QTextLayout* layout = textCursor().block().layout();
    if (layout == nullptr || layout->preeditAreaText().isEmpty()) return;
    // Handed over as a field's data exchange hands it over (see UpdateData), so that the input
    // method forgets it too; one that no longer answers leaves it to the box.
    QInputMethod* method = QGuiApplication::inputMethod();
    method->commit();
    method->reset();
    const QString stranded = textCursor().block().layout()->preeditAreaText();
    if (stranded.isEmpty()) return;
    QInputMethodEvent commit;
    commit.setCommitString(stranded);
    inputMethodEvent(&commit);
}

void MultiLineBox::keyPressEvent(QKeyEvent* event) {
    // While an input method converts, it takes the keys; one that reaches the box with
    // unfinished text shown means the input method has gone (killed, restarted) and left that
    // text standing where it began. Qt would put the key's text before it and a later commit
    // would put it after, so that what is stored differs from what was shown: it goes in first.
    PutInStrandedPreedit();
    if (event->matches(QKeySequence::Undo) || event->matches(QKeySequence::Redo)) {
        QPlainTextEdit::keyPressEvent(event);
        return;
    }
    StepOverContinuation(event);
    // An edit that leaves both counts alone replaced characters with as many others, and so
    // neither typed a line break nor made a block longer.
    const QTextDocument* document = this->document();
    const int characters = document->characterCount();
    const int blocks = document->blockCount();
    QPlainTextEdit::keyPressEvent(event);
    if (document->characterCount() == characters && document->blockCount() == blocks) return;
    // Enter leaves the cursor at the start of the block it began, which took the format, and so
    // the mark, of the block it was typed in.
    const int at = textCursor().position();
    AfterEdit(event->matches(QKeySequence::InsertParagraphSeparator) ? at - 1 : at, at);
}

void MultiLineBox::inputMethodEvent(QInputMethodEvent* event) {
    const QString commit = event->commitString();
    QPlainTextEdit::inputMethodEvent(event);
    if (commit.isEmpty()) return;
    // The committed text ends at the cursor; each "\r\n" in it became one block break.
    const int at = textCursor().position();
    AfterEdit(at - static_cast<int>(commit.size() - commit.count(QStringLiteral("\r\n"))), at);
}

void MultiLineBox::insertFromMimeData(const QMimeData* source) {
    // The clipboard's and a drop's data are read once, here, and `source` is not touched again:
    // another program serves them, and it may serve them once and leave (password managers
    // do), after which the same object offers no format at all. Qt's own insertion takes the
    // first of the formats without asking whether there is one, and dies on an empty list; so
    // it only ever sees data of ours, holding the text as it was read.
    const QString text = source->text();
    if (text.isNull()) return;
    if (text.size() <= kChunk && !ContinuesLine(textCursor().block())) {
        QMimeData read;
        read.setText(text);
        QPlainTextEdit::insertFromMimeData(&read);
        const int at = textCursor().position();
        AfterEdit(at, at);
        return;
    }
    // Pasted as Qt pastes plain text, but with each pasted line break ending its line, and long
    // lines cut before the box lays a single block of them out.
    QTextCursor cursor = textCursor();
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    const int from = cursor.position();
    const QTextBlockFormat lineFormat = WithMark(cursor.blockFormat(), false);
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype end = i;
        if (text.at(i) == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n')) ++i;
        if (!IsBlockBreak(text.at(i))) continue;
        cursor.insertText(text.sliced(start, end - start));
        cursor.insertBlock(lineFormat);
        start = i + 1;
    }
    cursor.insertText(text.sliced(start));
    // A cursor of its own at the pasted text's end follows it while the cuts go in before it.
    QTextCursor end(document());
    end.setPosition(cursor.position());
    Cut(cursor, CutsBetween(document(), from, end.position()));
    cursor.endEditBlock();
    setTextCursor(end);
    ensureCursorVisible();
}

}  // namespace platform::detail
