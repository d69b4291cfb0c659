#pragma once

#include <QPlainTextEdit>

namespace platform::detail {

// A multi-line edit box whose cost per key and per opening does not grow with the length of a
// line. Qt lays out a paragraph as a whole, and wrapping a paragraph without a break opportunity
// costs the square of its length; so a line longer than kLongestBlock characters is held as
// blocks of kChunk characters, each block after the first marked as continuing its line. The
// text it reads and writes never holds these breaks: SetText and Text see lines as the box's
// user typed them.
class MultiLineBox : public QPlainTextEdit {
public:
    static constexpr int kChunk = 1024;
    static constexpr int kLongestBlock = 2 * kChunk;

    explicit MultiLineBox(QWidget* parent = nullptr);

    // Shows `text` (lines split by LF) and forgets the undo history, as setPlainText does.
    void SetText(const QString& text);
    // Returns the text as toPlainText would give it if no line had been split into blocks.
    QString Text() const;

    // Returns whether `block` continues the line of the block before it.
    static bool ContinuesLine(const QTextBlock& block);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    // Steps the cursor over the block break that stands between it and the character the key
    // acts on, where that break only continues a line.
    void StepOverContinuation(const QKeyEvent* event);
    // Makes an input method's unfinished text that stands in the box part of its text.
    void PutInStrandedPreedit();
    // After a user's edit that put text at positions from..to: makes each block break the edit
    // typed end its line, and splits the blocks there that grew longer than kLongestBlock, as
    // part of the edit's own undo step.
    void AfterEdit(int from, int to);
};

}  // namespace platform::detail
