#pragma once
// The printer as the print jobs see it: a device addressed in twips from the
// top-left corner of its printable area, with a font, a current position,
// text output at that position, a line width, circles and an end of document.
#include <QString>
#include <vector>

namespace platform {

struct EndDocResult {
    bool ok = true;
    QString error;     // Japanese, for the user, when !ok
    QString savedFile; // set when the page went to a PDF file instead of a printer
};

class Printer {
public:
    virtual ~Printer() = default;
    virtual void setFontSize(int points) = 0;
    // The size the device reports, to four decimal places.
    virtual double fontSize() const = 0;
    virtual void setFontName(const QString& name) = 0;
    virtual void setFontBold(bool bold) = 0;
    virtual void setCurrentX(float twips) = 0;
    virtual void setCurrentY(float twips) = 0;
    // Text with the top-left corner of its character cell at the current position.
    virtual void printText(const QString& text) = 0;
    virtual void setDrawWidth(int width) = 0;
    // Absolute centre, no fill, the device's default colour.
    virtual void circle(float centreX, float centreY, float radius) = 0;
    // Releases the page.
    virtual EndDocResult endDoc() = 0;
    // Throws the unfinished document away; nothing of it is printed.
    virtual void killDoc() = 0;
};

// Logs every operation with its arguments, for tests and for timing the
// job's own work without a device.
class RecordingPrinter final : public Printer {
public:
    enum class Kind { FontSize, FontName, FontBold, CurrentX, CurrentY, Print, DrawWidth, Circle, EndDoc, KillDoc };
    struct Op {
        Kind kind;
        double a = 0, b = 0, c = 0; // size / bold / x / y / width / circle x, y, r
        QString text;               // font name or printed text
    };

    double reportedFontSize = -1; // < 0: report the size that was set
    std::vector<Op> ops;

    void setFontSize(int points) override;
    double fontSize() const override;
    void setFontName(const QString& name) override;
    void setFontBold(bool bold) override;
    void setCurrentX(float twips) override;
    void setCurrentY(float twips) override;
    void printText(const QString& text) override;
    void setDrawWidth(int width) override;
    void circle(float centreX, float centreY, float radius) override;
    EndDocResult endDoc() override;
    void killDoc() override;

private:
    int m_size = 0;
};

} // namespace platform
