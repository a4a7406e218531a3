#include "platform/printer.h"

namespace platform {

void RecordingPrinter::setFontSize(int points)
{
    m_size = points;
    ops.push_back({Kind::FontSize, double(points)});
}

double RecordingPrinter::fontSize() const { return reportedFontSize >= 0 ? reportedFontSize : m_size; }

void RecordingPrinter::setFontName(const QString& name) { ops.push_back({Kind::FontName, 0, 0, 0, name}); }
void RecordingPrinter::setFontBold(bool bold) { ops.push_back({Kind::FontBold, bold ? 1.0 : 0.0}); }
void RecordingPrinter::setCurrentX(float twips) { ops.push_back({Kind::CurrentX, twips}); }
void RecordingPrinter::setCurrentY(float twips) { ops.push_back({Kind::CurrentY, twips}); }
void RecordingPrinter::printText(const QString& text) { ops.push_back({Kind::Print, 0, 0, 0, text}); }
void RecordingPrinter::setDrawWidth(int width) { ops.push_back({Kind::DrawWidth, double(width)}); }

void RecordingPrinter::circle(float centreX, float centreY, float radius)
{
    ops.push_back({Kind::Circle, centreX, centreY, radius});
}

EndDocResult RecordingPrinter::endDoc()
{
    ops.push_back({Kind::EndDoc});
    return {};
}

void RecordingPrinter::killDoc() { ops.push_back({Kind::KillDoc}); }

} // namespace platform
