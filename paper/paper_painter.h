#pragma once

#include "paper/page_layout.h"

#include <functional>
#include <string>
#include <vector>

class QPainter;

namespace paper {

// Lays out a page of `width` by `height` (in the painting device's units).
using PageLayout = std::function<std::vector<PaperItem>(double width, double height)>;

// Paints the page that `layout` gives for the painter's device, its texts in IPA Gothic, each
// text clipped to its box and each day's texts to their frame.
void PaintPage(QPainter& painter, const PageLayout& layout);

// Returns the PDF of one A4 portrait page painted by `layout`, its fonts embedded; "" with the
// reason in `error` when it could not be made. A QGuiApplication must exist.
std::string PdfOfPage(const PageLayout& layout, std::string& error);

}  // namespace paper
