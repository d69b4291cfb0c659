#include "velmora-cal/pdf_command.h"

#include "model/data_files.h"
#include "model/record.h"
#include "model/year_calendar.h"
#include "paper/paper_month.h"
#include "paper/paper_painter.h"
#include "platform/code_page.h"
#include "velmora-cal/exit_status.h"
#include "velmora-cal/holiday_stand_in.h"
#include "velmora-cal/messages.h"
#include "velmora-cal/output_file.h"

#include <QGuiApplication>
#include <QtGlobal>

#include <cstdio>
#include <optional>

namespace cal {
namespace {

// Qt's notes (a missing runtime folder and the like) are no concern of the command's user.
void QuietMessages(QtMsgType type, const QMessageLogContext& /*context*/, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg) Complain(message.toStdString());
}

std::optional<int> MonthNumber(const std::string& text) {
    if (text.empty() || text.size() > 2 || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const int value = std::stoi(text);
    if (value < 1 || value > 12) return std::nullopt;
    return value;
}

}  // namespace

int RunPdf(const Options& options) {
    const std::vector<std::string>& words = options.operands;
    if (words.empty())
        return UsageProblem(Tr("pdf needs a file name (or - for the output)",
                               "pdf には書き出すファイル名（標準出力なら -）を指定してください"),
                            "pdf");
    if (words.size() > 3) return UsageProblem(Tr("too many words: ", "余分な語があります: ") + Quoted(words[3]), "pdf");
    const std::tm now = CurrentLocalTime();
    long long year = static_cast<long long>(now.tm_year) + 1900;
    int month = now.tm_mon + 1;
    bool wholeYear = options.Has(kOptionWholeYear);
    if (words.size() == 3) {
        if (wholeYear) return UsageProblem(Tr("-y takes a year only", "-y には年だけを指定してください"), "pdf");
        const auto given = MonthNumber(words[1]);
        if (!given)
            return UsageProblem(Tr("not a month (1..12): ", "月は 1〜12 で指定してください: ") + Quoted(words[1]),
                                "pdf");
        month = *given;
    }
    if (words.size() >= 2) {
        const auto given = ParseYear(words.back());
        if (!given) return UsageProblem(NotAYear(words.back()), "pdf");
        year = *given;
        wholeYear = wholeYear || words.size() == 2;
    }
    const std::string& file = words[0];

    LoadMemoData();
    if (IsUnreadableFile(kMemoFile)) {
        Complain(Tr("cannot read ", "") + std::string(kMemoFile) + Tr("", " を読み込めません"));
        return kExitFailed;
    }
    std::vector<paper::PaperMonth> months;
    {
        const HolidayStandIn holidays;
        for (int m = wholeYear ? 1 : month; m <= (wholeYear ? 12 : month); ++m)
            months.push_back(paper::LoadPaperMonth(year, m, g_strMemoData, platform::Utf8FromCp932));
    }

    // The pages are painted without a window system: velmora-cal runs where there is no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(QuietMessages);
    int argc = 1;
    char name[] = "velmora-cal";
    char* argv[] = {name, nullptr};
    const QGuiApplication application(argc, argv);
    std::string error;
    const std::string pdf = paper::PdfOfPage(
        [&months, wholeYear](double width, double height) {
            return wholeYear ? paper::YearPage(months, width, height) : paper::MonthPage(months[0], width, height);
        },
        error);
    if (pdf.empty()) {
        Complain(error);
        return kExitFailed;
    }
    if (file == "-") {
        if (std::fwrite(pdf.data(), 1, pdf.size(), stdout) != pdf.size() || std::fflush(stdout) != 0) {
            Complain(Tr("cannot write the output", "標準出力に書き込めません"));
            return kExitFailed;
        }
        return kExitOk;
    }
    if (const int status = ExitStatusOfWrite(
            WriteFileAtomically(ResolvePath(file, options.here), pdf, DataFilesVeto(file), error), error);
        status != kExitOk)
        return status;
    const std::string shown = wholeYear ? paper::YearCaption(year) : paper::MonthCaption(year, month);
    std::printf(JapaneseMessages() ? "%s を %s に書き出しました\n" : "wrote %s: %s\n",
                (JapaneseMessages() ? shown : file).c_str(), (JapaneseMessages() ? file : shown).c_str());
    return kExitOk;
}

}  // namespace cal
