#pragma once
// The printer on Qt: QPainter on the QPrinter that is this run's current
// printer (the system's default, or what the printer dialog chose).
#include "platform/printer.h"

#include <QFont>
#include <QPointF>
#include <QPrinter>
#include <memory>

namespace platform {

// Hands out the printer for a new document.
class PrintTarget {
public:
    virtual ~PrintTarget() = default;
    virtual Printer& beginJob() = 0;
    // The Qt printer the printer dialog edits; none for a recording target.
    virtual QPrinter* device() { return nullptr; }
};

class RecordingPrintTarget final : public PrintTarget {
public:
    RecordingPrinter printer;
    int jobs = 0;
    Printer& beginJob() override
    {
        ++jobs;
        return printer;
    }
};

class QtPrintTarget;

// Collects the page and paints it onto the device at the end of the
// document, so a job that stops half way never leaves a half page behind.
class QtPrinter final : public Printer {
public:
    explicit QtPrinter(QtPrintTarget& target) : m_target(target) {}
    void reset();

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
    struct Item {
        bool isText;
        QFont font;
        QPointF at;      // twips
        QString text;
        float radius;    // twips
        int width;       // line width in dots of a 180 dpi printer
    };
    QtPrintTarget& m_target;
    QFont m_font;
    float m_x = 0, m_y = 0;
    int m_drawWidth = 1;
    std::vector<Item> m_items;
};

class QtPrintTarget final : public PrintTarget {
public:
    // The system's default printer; on a machine without any printer, pages
    // go to new PDF files in pdfFolder instead.
    explicit QtPrintTarget(QString pdfFolder);
    // Every page into this one PDF file (tests and measurements).
    static std::unique_ptr<QtPrintTarget> toPdfFile(const QString& path);

    Printer& beginJob() override;
    QPrinter* device() override;
    bool writesPdfFiles() const { return !m_pdfFolder.isEmpty(); }
    QString pdfFolder() const { return m_pdfFolder; }

private:
    QtPrintTarget() = default;
    friend class QtPrinter;
    QString nextPdfFile() const;

    // Asking the spooler for its printers costs time, so the device is made
    // at the first print or printer dialog, not at start-up.
    std::unique_ptr<QPrinter> m_device;
    QString m_fallbackFolder;
    QString m_pdfFolder; // non-empty: no system printer, one new file per page
    std::unique_ptr<QtPrinter> m_job;
};

} // namespace platform
