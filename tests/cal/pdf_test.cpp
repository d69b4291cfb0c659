// velmora-cal pdf run as the real program without a display, its pages read back with poppler's
// pdftotext, pdffonts and pdftoppm at the positions the page layout gives.
#include "model/calendar_math.h"
#include "paper/page_layout.h"
#include "tests/cal/cal_run.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

class PdfTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::remove_all(m_root);
        fs::create_directories(m_root / "tmp");
    }
    void TearDown() override { fs::remove_all(m_root); }

    CalRun Cal(const std::string& arguments) const {
        return RunCal(m_root, "-u DISPLAY -u WAYLAND_DISPLAY LANG=C TMPDIR='" + (m_root / "tmp").string() + "'",
                      "--dir . " + arguments, m_root / "tmp");
    }
    // Returns what `command` prints for the file `name` of the folder (and `after`).
    std::string Poppler(const std::string& command, const std::string& name, const std::string& after = "") const {
        const std::string out = (m_root / "tmp" / "poppler").string();
        const std::string line = command + " '" + (m_root / name).string() + "' " + after + " >'" + out + "'";
        EXPECT_EQ(std::system(line.c_str()), 0) << line;
        return Bytes(out);
    }

    // Returns whether pdffonts lists at least one font, and every one embedded.
    bool FontsEmbedded(const std::string& name) const {
        std::istringstream table(Poppler("pdffonts", name));
        std::string header;
        std::getline(table, header);
        const std::size_t column = header.find("emb");
        int fonts = 0;
        for (std::string line; std::getline(table, line);) {
            if (line.rfind("---", 0) == 0) continue;
            if (line.size() < column + 3 || line.compare(column, 3, "yes") != 0) return false;
            ++fonts;
        }
        return fonts > 0;
    }

    fs::path m_root = fs::path(::testing::TempDir()) / ("velmora-pdf-" + std::to_string(::getpid()));
};

// A page rendered at 72 dots per inch: one pixel to one unit of the layout of an A4 page.
struct Pixels {
    int width = 0;
    int height = 0;
    std::string rgb;

    explicit Pixels(const std::string& ppm) {
        std::istringstream in(ppm);
        std::string magic;
        int depth = 0;
        in >> magic >> width >> height >> depth;
        in.get();
        if (in) rgb = ppm.substr(static_cast<std::size_t>(in.tellg()));
        if (rgb.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3) width = height = 0;
    }
    std::array<int, 3> At(double x, double y) const {
        const std::size_t at =
            (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 3;
        return {static_cast<unsigned char>(rgb[at]), static_cast<unsigned char>(rgb[at + 1]),
                static_cast<unsigned char>(rgb[at + 2])};
    }
    // Counts the pixels of the box that are mostly of channel 0 (red), 2 (blue), or dark (-1).
    int Count(const paper::PaperItem& box, int channel) const {
        int count = 0;
        for (double y = box.y; y < box.y + box.height; ++y)
            for (double x = box.x; x < box.x + box.width; ++x) {
                const auto p = At(x, y);
                count += channel < 0 ? p[0] + p[1] + p[2] < 300
                                     : p[static_cast<std::size_t>(channel)] > 200 && p[1] < 90 && p[2 - channel] < 90;
            }
        return count;
    }
};

TEST_F(PdfTest, AMonthPageReadsBackAsTheLayoutDrawsIt) {
    std::string longMemo = "10 MB " + std::string(10U << 20U, 'x');
    std::string lines;
    for (int line = 1; line <= 200; ++line) lines += "行" + std::to_string(line) + "\r\n";
    // Code page 932: 行 is 8D 73; 天皇誕生日 and クリスマス below likewise.
    std::ofstream(m_root / "MemoData.txt", std::ios::binary)
        << "126^11^15^" << std::string("\x8d\x73") << lines << "~126^11^17^" << longMemo << "~";
    std::ofstream(m_root / "Static_holi.txt", std::ios::binary)
        << "12^23^\x93\x56\x8d\x63\x92\x61\x90\xb6\x93\xfa^0~12^25^\x83\x4e\x83\x8a\x83\x58\x83\x7d\x83\x58^0~";
    const CalRun run = Cal("pdf month.pdf 12 2026");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "wrote month.pdf: 2026年（令和8年）12月\n");

    // The caption, then every day in order with each holiday's name after its number.
    std::istringstream text(Poppler("pdftotext -raw", "month.pdf", "-"));
    std::vector<std::string> words;
    for (std::string word; text >> word;) words.push_back(word);
    ASSERT_GE(words.size(), 40U);
    EXPECT_EQ(words[0], "2026年（令和8年）12月");
    std::size_t at = 1;
    for (int day = 1; day <= 31; ++day) {
        while (at < words.size() && words[at] != std::to_string(day)) ++at;
        ASSERT_LT(at, words.size()) << "day " << day;
        if (day == 23 || day == 25) {
            ASSERT_LT(at + 1, words.size());
            EXPECT_EQ(words[at + 1], day == 23 ? "天皇誕生日" : "クリスマス");
        }
    }
    EXPECT_TRUE(FontsEmbedded("month.pdf"));

    paper::PaperMonth month{2026, 12, {}};
    for (int day = 1; day <= 31; ++day)
        month.days.push_back({WeekdayOf(2026, 11, day), (day + WeekdayOf(2026, 11, 1) - 1) / 7 + 1, false, {}, {}});
    month.days[14].memo = "行" + lines;
    month.days[16].memo = longMemo;
    const std::vector<paper::PaperItem> items = paper::MonthPage(month, 595, 842);
    std::vector<paper::PaperItem> frames;
    std::vector<paper::PaperItem> numbers;
    int outside = 0;
    for (std::size_t i = 0; i < items.size(); ++i)
        if (items[i].kind == paper::PaperItem::Kind::Frame) {
            frames.push_back(items[i]);
            numbers.push_back(items[i + 1]);
        } else if (!frames.empty()) {  // each day's texts within its box
            const bool inside = items[i].y + items[i].height <= frames.back().y + frames.back().height &&
                                paper::TextWidth(items[i].text, items[i].size) <= items[i].width;
            outside += inside ? 0 : 1;
        }
    ASSERT_EQ(frames.size(), 31U);
    EXPECT_EQ(outside, 0);
    const Pixels page(Poppler("pdftoppm -r 72", "month.pdf"));
    ASSERT_EQ(page.width, 595);
    const auto box = [&frames](int day) { return frames[static_cast<std::size_t>(day - 1)]; };
    const auto number = [&numbers](int day) { return numbers[static_cast<std::size_t>(day - 1)]; };
    // Each box's left edge is drawn where the layout puts it, and a box without a memo is blank below its number.
    for (int day : {1, 8, 22, 24, 31}) {
        const auto edge = page.At(box(day).x, box(day).y + box(day).height / 2);
        EXPECT_LT(edge[0] + edge[1] + edge[2], 450) << "day " << day;
    }
    for (int day : {22, 24}) {  // below the 200 lines of the 15th and the 10 MB of the 17th
        paper::PaperItem below = box(day);
        below.x += 2;
        below.width -= 4;
        below.y = number(day).y + number(day).height;
        below.height = box(day).y + box(day).height - 2 - below.y;
        EXPECT_EQ(page.Count(below, -1), 0) << "day " << day;
        EXPECT_GT(page.Count(number(day), -1), 0) << "day " << day;
    }
    paper::PaperItem memo = box(15);
    memo.y = number(15).y + number(15).height;
    memo.height = box(15).y + box(15).height - memo.y;
    EXPECT_GT(page.Count(memo, -1), 50);
    // Sundays and holidays red, Saturdays blue, other days black.
    for (int day : {6, 23, 25}) EXPECT_GT(page.Count(number(day), 0), 5) << "day " << day;
    for (int day : {5, 26}) EXPECT_GT(page.Count(number(day), 2), 5) << "day " << day;
    for (int day : {7, 24}) EXPECT_EQ(page.Count(number(day), 0) + page.Count(number(day), 2), 0) << "day " << day;
}

TEST_F(PdfTest, AYearPageGoesToTheOutputAndFailuresLeaveNothingBehind) {
    const CalRun year = Cal("pdf - -y 2019");
    ASSERT_EQ(year.status, 0) << year.err;
    EXPECT_LT(year.out.size(), 200U * 1024);
    std::ofstream(m_root / "year.pdf", std::ios::binary) << year.out;
    const std::string text = Poppler("pdftotext -raw", "year.pdf", "-");
    EXPECT_EQ(text.rfind("2019年（平成31年・令和元年）", 0), 0U) << text;
    EXPECT_NE(text.find("12月"), std::string::npos);
    EXPECT_TRUE(FontsEmbedded("year.pdf"));

    const struct {
        const char* arguments;
        int status;
        const char* says;
    } rows[] = {
        {"pdf", 2, "pdf needs a file name"},
        {"pdf out.pdf 13 2026", 2, "not a month (1..12): \"13\""},
        {"pdf out.pdf 12 0", 2, "0"},
        {"pdf out.pdf 12 2026 -y", 2, "-y takes a year only"},
        {"pdf missing/out.pdf 12 2026", 1, "missing/out.pdf"},
        {"pdf MemoData.txt 12 2026", 2, "is a data file of the calendar"},
    };
    std::ofstream(m_root / "MemoData.txt", std::ios::binary) << "126^11^1^a~";
    for (const auto& row : rows) {
        const CalRun run = Cal(row.arguments);
        EXPECT_EQ(run.status, row.status) << row.arguments;
        EXPECT_NE(run.err.find(row.says), std::string::npos) << row.arguments << ": " << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << row.arguments << ": " << run.err;
    }
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(m_root)) left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"MemoData.txt", "tmp", "year.pdf"}));
    EXPECT_EQ(Bytes(m_root / "MemoData.txt"), "126^11^1^a~");
}

}  // namespace
