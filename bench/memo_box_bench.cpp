// The day dialog's memo box with one long line: the time to fill and show it, and the time of one
// key typed into the middle of the line, for the box the window layer makes and for Qt's plain
// box, which the layer used before.
#include "platform/multi_line_box.h"
#include "platform/wnd.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTextCursor>

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace {

enum Box : int { kPlain = 0, kLayers = 1 };

std::unique_ptr<QPlainTextEdit> MakeBox(int kind) {
    std::unique_ptr<QPlainTextEdit> box =
        kind == kLayers ? std::make_unique<platform::detail::MultiLineBox>() : std::make_unique<QPlainTextEdit>();
    box->resize(360, 200);
    return box;
}

// A memo of one line of `bytes` code page 932 bytes, ASCII letters without a space.
std::string OneLineMemo(std::int64_t bytes) {
    std::string memo(static_cast<std::size_t>(bytes), 'a');
    for (std::size_t i = 0; i < memo.size(); ++i) memo[i] = static_cast<char>('a' + i % 26);
    return memo;
}

// Fills the box with the memo as the day dialog does at opening, and shows it laid out.
void OpenMemo(benchmark::State& state) {
    const std::string memo = OneLineMemo(state.range(1));
    for (auto _ : state) {
        const std::unique_ptr<QPlainTextEdit> box = MakeBox(static_cast<int>(state.range(0)));
        platform::detail::SetWidgetText(box.get(), memo);
        box->show();
        QApplication::processEvents();
    }
    state.SetBytesProcessed(state.iterations() * state.range(1));
}

// One key typed into the middle of the line, with the box laid out and painted after it.
void TypeKey(benchmark::State& state) {
    const std::unique_ptr<QPlainTextEdit> box = MakeBox(static_cast<int>(state.range(0)));
    platform::detail::SetWidgetText(box.get(), OneLineMemo(state.range(1)));
    box->show();
    QApplication::processEvents();
    QTextCursor middle(box->document());
    middle.setPosition(box->document()->characterCount() / 2);
    box->setTextCursor(middle);
    box->ensureCursorVisible();
    QApplication::processEvents();
    for (auto _ : state) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
        QApplication::sendEvent(box.get(), &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
        QApplication::sendEvent(box.get(), &release);
        box->repaint();
        QApplication::processEvents();
    }
    // The text still comes back whole: every key went in.
    if (platform::detail::WidgetText(box.get()).size() !=
        static_cast<std::size_t>(state.range(1) + state.iterations())) {
        state.SkipWithError("a typed key is missing from the text");
    }
}

constexpr std::int64_t kKiB = 1024;
constexpr std::int64_t kMiB = 1024 * kKiB;

// Qt's plain box takes seconds at 256 KB and minutes beyond, so it is measured on shorter lines.
BENCHMARK(OpenMemo)
    ->ArgNames({"layer_box", "bytes"})
    ->Args({kPlain, 16 * kKiB})
    ->Args({kPlain, 64 * kKiB})
    ->Args({kPlain, 256 * kKiB})
    ->Args({kLayers, 16 * kKiB})
    ->Args({kLayers, 64 * kKiB})
    ->Args({kLayers, 256 * kKiB})
    ->Args({kLayers, kMiB})
    ->Args({kLayers, 10 * kMiB})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(TypeKey)
    ->ArgNames({"layer_box", "bytes"})
    ->Args({kPlain, 1 * kKiB})
    ->Args({kPlain, 16 * kKiB})
    ->Args({kPlain, 64 * kKiB})
    ->Args({kLayers, 1 * kKiB})
    ->Args({kLayers, 16 * kKiB})
    ->Args({kLayers, 64 * kKiB})
    ->Args({kLayers, 256 * kKiB})
    ->Args({kLayers, kMiB})
    ->Args({kLayers, 10 * kMiB})
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(50);

}  // namespace

int main(int argc, char** argv) {
    // Without a display the boxes are laid out and painted on Qt's offscreen screen.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
