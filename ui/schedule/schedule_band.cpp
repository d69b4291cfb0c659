#include "ui/schedule/schedule_band.h"

#include "platform/text_codec.h"

namespace {

constexpr int kBandHeight = 20;
constexpr COLORREF kBandColour = RGB(192, 192, 192);

}  // namespace

void PaintScheduleBand(CWnd& wnd, const CToolBar& toolBar, CPoint textAt, std::string_view textCp932) {
    CRect band = wnd.GetClientRect();
    band.top += toolBar.CalcFixedLayout(FALSE, TRUE).cy;
    band.bottom = band.top + kBandHeight;
    wnd.InvalidateRect(&band, FALSE);
    {
        CPaintDC dc(&wnd);
        CFont font;
        if (font.CreatePointFont(120, Cp932("ＭＳ 明朝"))) {
            CFont* previous = dc.SelectObject(&font);
            dc.FillSolidRect(band, kBandColour);
            dc.SetTextColor(RGB(0, 0, 0));
            dc.TextOut(textAt.x, textAt.y, textCp932);
            dc.SelectObject(previous);
        }
    }
    wnd.ValidateRect(&band);
}
