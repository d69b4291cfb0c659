#include "platform/multi_line_box.h"
#include "platform/dialog.h"
#include "platform/testing.h"
#include "platform/text_codec.h"
#include "tests/platform/test_resources.h"
#include "tests/support/window_input.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextBlock>

#include <gtest/gtest.h>

#include <string>

namespace {

using platform::detail::MultiLineBox;
using namespace test_resources;

constexpr int kChunk = MultiLineBox::kChunk;

QString Repeated(const char* unit, int times) { return QString::fromUtf8(unit).repeated(times); }

// Returns the length of the longest block of the box's document.
int LongestBlock(const QPlainTextEdit& box) {
    int longest = 0;
    for (QTextBlock block = box.document()->begin(); block.isValid(); block = block.next()) {
        longest = std::max(longest, block.length() - 1);
    }
    return longest;
}

// Returns whether some block of the box starts with the second half of a surrogate pair.
bool SplitsAPair(const QPlainTextEdit& box) {
    for (QTextBlock block = box.document()->begin(); block.isValid(); block = block.next()) {
        if (!block.text().isEmpty() && block.text().front().isLowSurrogate()) return true;
    }
    return false;
}

// Puts the caret `offset` characters into the text as Text() gives it.
void PlaceCaret(MultiLineBox& box, int offset) {
    QTextCursor cursor(box.document());
    for (QTextBlock block = box.document()->begin(); block.isValid(); block = block.next()) {
        if (offset <= block.length() - 1) {
            cursor.setPosition(block.position() + offset);
            break;
        }
        offset -= block.length() - 1 + (MultiLineBox::ContinuesLine(block.next()) ? 0 : 1);
    }
    box.setTextCursor(cursor);
}

TEST(MultiLineBox, ShowsAndGivesBackTextAsAPlainBoxDoes) {
    struct Case {
        const char* name;
        QString text;
    } cases[] = {
        {"empty", QString()},
        {"short lines", QStringLiteral("a\nb\n")},
        {"a line of exactly the longest block", Repeated("a", MultiLineBox::kLongestBlock)},
        {"a line one longer", Repeated("a", MultiLineBox::kLongestBlock + 1)},
        {"a long line between short ones", "x\n" + Repeated("ab", 3000) + "\ny"},
        {"a long line of Japanese", Repeated("日本語", 2000)},
        {"surrogate pairs across every cut", "a" + Repeated("😀", 3000)},
        {"lone CR, CR LF and paragraph separators", Repeated("c", 2500) + "\r" + Repeated("d", 2500) + "\r\n" +
                                                        Repeated("e", 2500) + QChar::ParagraphSeparator + "f"},
        {"line separators and no-break spaces", Repeated("g", 2500) + QChar::LineSeparator + QChar::Nbsp + "h"},
        {"a line break at the very end", Repeated("i", 5000) + "\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QPlainTextEdit plain;
        plain.setPlainText(c.text);
        MultiLineBox box;
        box.SetText(c.text);
        EXPECT_EQ(box.Text(), plain.toPlainText());
        EXPECT_LE(LongestBlock(box), MultiLineBox::kLongestBlock);
        EXPECT_FALSE(SplitsAPair(box));
        // Loading is no edit: nothing to undo, nothing modified.
        EXPECT_FALSE(box.document()->isUndoAvailable());
        EXPECT_FALSE(box.document()->isModified());
    }
}

// A box holding one line of 3 * kChunk characters "0123456789..." and a short second line.
class LongLine : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < 3 * kChunk; ++i) line += QChar(u'0' + i % 10);
        box.SetText(line + "\nend");
        box.show();
        ASSERT_GT(box.document()->blockCount(), 2);
    }

    // Returns the text expected after replacing `removed` characters at `offset` by `typed`.
    QString Edited(int offset, int removed, const QString& typed) const {
        return QString(line + "\nend").replace(offset, removed, typed);
    }

    QString line;
    MultiLineBox box;
};

TEST_F(LongLine, KeysActOnTheCharactersBesideTheCaretAtACut) {
    struct Case {
        const char* name;
        int caret;
        Qt::Key key;
        QString expected;
    } cases[] = {
        {"Enter at a cut", kChunk, Qt::Key_Return, QString()},
        {"Backspace after a cut", kChunk, Qt::Key_Backspace, QString()},
        {"Delete before a cut", kChunk, Qt::Key_Delete, QString()},
        {"Enter within a continuing block", kChunk + 5, Qt::Key_Return, QString()},
    };
    cases[0].expected = Edited(kChunk, 0, "\n");
    cases[1].expected = Edited(kChunk - 1, 1, "");
    cases[2].expected = Edited(kChunk, 1, "");
    cases[3].expected = Edited(kChunk + 5, 0, "\n");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const bool atBlockEnd : {true, false}) {
            // The caret at a cut stands at the end of one block or at the start of the next.
            box.SetText(line + "\nend");
            PlaceCaret(box, c.caret);
            if (!atBlockEnd && box.textCursor().atBlockEnd() && c.caret % kChunk == 0) {
                box.moveCursor(QTextCursor::NextCharacter);
            }
            QTest::keyClick(&box, c.key);
            EXPECT_EQ(box.Text(), c.expected);
            box.undo();
            EXPECT_EQ(box.Text(), line + "\nend");
            box.redo();
            EXPECT_EQ(box.Text(), c.expected);
        }
    }
}

TEST_F(LongLine, ArrowsStepOverACutAsOverNothing) {
    for (const Qt::Key key : {Qt::Key_Right, Qt::Key_Left}) {
        SCOPED_TRACE(key == Qt::Key_Right ? "right" : "left");
        box.SetText(line + "\nend");
        PlaceCaret(box, kChunk);
        if (key == Qt::Key_Left) box.moveCursor(QTextCursor::NextCharacter);  // the start of the next block
        QTest::keyClick(&box, key);
        QTest::keyClicks(&box, "x");
        EXPECT_EQ(box.Text(), Edited(key == Qt::Key_Right ? kChunk + 1 : kChunk - 1, 0, "x"));
    }
    box.SetText(line);
    PlaceCaret(box, kChunk - 1);
    QTest::keyClick(&box, Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(&box, Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClicks(&box, "x");
    EXPECT_EQ(box.Text(), QString(line).replace(kChunk - 1, 2, "x"));
}

TEST_F(LongLine, ReplacingTextAcrossACutJoinsTheLine) {
    QTextCursor cursor(box.document());
    PlaceCaret(box, kChunk - 2);
    cursor.setPosition(box.textCursor().position());
    cursor.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor, 5);  // four characters and the cut
    box.setTextCursor(cursor);
    QTest::keyClicks(&box, "y");
    EXPECT_EQ(box.Text(), Edited(kChunk - 2, 4, "y"));
}

TEST(MultiLineBox, TypingALongLineKeepsBlocksShortAndTheTextWhole) {
    MultiLineBox box;
    box.show();
    QString typed;
    for (int i = 0; i < 3 * kChunk; ++i) typed += QChar(u'a' + i % 26);
    QTest::keyClicks(&box, typed);
    EXPECT_EQ(box.Text(), typed);
    EXPECT_GT(box.document()->blockCount(), 2);
    EXPECT_LE(LongestBlock(box), MultiLineBox::kLongestBlock);
    while (box.document()->isUndoAvailable()) box.undo();
    EXPECT_EQ(box.Text(), QString());
}

TEST(MultiLineBox, PastedTextKeepsItsLineBreaksAndIsCut) {
    struct Case {
        const char* name;
        QString pasted;
    } cases[] = {
        {"a short line", QStringLiteral("xy")},
        {"lines", QStringLiteral("x\r\ny\rz\n")},
        {"a long line", Repeated("p", 5 * kChunk)},
        {"a long line with breaks", Repeated("p", 3 * kChunk) + "\n" + Repeated("q", 3 * kChunk)},
    };
    const QString before = Repeated("a", 3 * kChunk);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Pasted into a long line, 1.5 * kChunk characters in, and into a plain box alike.
        MultiLineBox box;
        box.SetText(before);
        PlaceCaret(box, kChunk + kChunk / 2);
        QPlainTextEdit plain;  // what a plain box makes of the same paste
        plain.setPlainText(before);
        plain.moveCursor(QTextCursor::Start);
        for (int i = 0; i < kChunk + kChunk / 2; ++i) plain.moveCursor(QTextCursor::NextCharacter);
        QApplication::clipboard()->setText(c.pasted);
        plain.paste();
        box.paste();
        EXPECT_EQ(box.Text(), plain.toPlainText());
        EXPECT_LE(LongestBlock(box), MultiLineBox::kLongestBlock);
        box.undo();
        EXPECT_EQ(box.Text(), before);
    }
}

TEST(MultiLineBox, AnInputMethodsTextGoesInWhereTheCaretIs) {
    MultiLineBox box;
    box.SetText(Repeated("a", 3 * kChunk));
    box.show();
    PlaceCaret(box, kChunk);
    QInputMethodEvent composing(QStringLiteral("にほん"), {});
    QApplication::sendEvent(&box, &composing);
    EXPECT_EQ(box.Text(), Repeated("a", 3 * kChunk));
    QInputMethodEvent committed;
    committed.setCommitString(QStringLiteral("日本"));
    QApplication::sendEvent(&box, &committed);
    EXPECT_EQ(box.Text(), Repeated("a", kChunk) + "日本" + Repeated("a", 2 * kChunk));
    // Unfinished text left standing by an input method that went away is kept before a key.
    QApplication::sendEvent(&box, &composing);
    QTest::keyClicks(&box, "x");
    EXPECT_EQ(box.Text(), Repeated("a", kChunk) + "日本にほんx" + Repeated("a", 2 * kChunk));
}

class LongMemoDialog : public CDialog {
public:
    LongMemoDialog() : CDialog(kMemoDialog) {}
    void DoDataExchange(CDataExchange* dx) override { DDX_Text(dx, kMemo, memo); }
    std::string memo;
};

class LongMemo : public ::testing::Test {
protected:
    void SetUp() override {
        Install();
        platform::testing::EnableTestMode();
        platform::testing::Reset();
    }
    void TearDown() override { platform::testing::Reset(); }
};

// The memo box holds a long line in short blocks, and gives back every byte of it.
TEST_F(LongMemo, AMegabyteLineIsHeldInShortBlocksAndComesBackWhole) {
    std::string memo;
    for (int i = 0; i < 1 << 20; ++i) memo += static_cast<char>('a' + i % 26);
    memo += "\r\n" + Cp932("日本語") + std::string(5000, 'z') + "\r\n";
    LongMemoDialog dialog;
    dialog.memo = memo;
    ASSERT_TRUE(dialog.Create(kMemoDialog));
    const auto* box = Control<QPlainTextEdit>(dialog, kMemo);
    ASSERT_NE(box, nullptr);
    EXPECT_LE(LongestBlock(*box), 2 * kChunk);
    dialog.memo.clear();
    ASSERT_TRUE(dialog.UpdateData(TRUE));
    EXPECT_TRUE(dialog.memo == memo) << "the memo came back with " << dialog.memo.size() << " bytes of " << memo.size();
    dialog.DestroyWindow();
}

}  // namespace
