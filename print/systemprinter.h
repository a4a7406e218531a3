#pragma once
// This run's printer: the system's default queue, or the printer and paper
// confirmed in the printer dialog, kept for later runs in the program's own
// settings. On a machine without any printer, each document becomes a new
// PDF file in the documents folder instead.
#include "paper/formpaper.h"
#include "print/destination.h"

#include <QPrinter>
#include <functional>
#include <memory>
#include <optional>

namespace print {

class SystemPrinter final : public Destination {
public:
    // choiceFile: where the confirmed printer, its paper and the form's
    // size are kept between runs; none: they last for this run only.
    explicit SystemPrinter(QString pdfFolder, QString choiceFile = {});
    ~SystemPrinter() override;

    // What the printer dialog edits. Asking the spooler for its printers
    // costs time, so it is made at the first print or dialog, not at start-up.
    QPrinter& settings();
    // No printer on this machine: documents go to new PDF files.
    bool writesPdfFiles();
    QString pdfFolder() const { return m_pdfFolder; }

    // Lets `choose` edit the settings (the printer dialog); when it answers
    // false (cancelled) the settings are put back exactly as they were, even
    // where the dialog changed them on its way.
    bool chooseWith(const std::function<bool(QPrinter&)>& choose);

    // The continuous form's exact size, used for every page until it is
    // cleared; none: the printer's own paper.
    std::optional<paper::FormPaper> formPaper() const { return m_formPaper; }
    // Why the settings file, or the form's size kept in it, is not used; also
    // said with the next delivery.
    QString settingsProblem() const { return m_settingsProblem; }
    void setFormPaper(std::optional<paper::FormPaper> formPaper);
    // The paper every page is drawn on now, and where on it the printer's
    // printable area starts (its hardware margins; none for a PDF file).
    QPageLayout paperLayout();
    QPointF printableCornerMm();

    Delivery print(int pageCount, const PageSource& pages, const Progress& progress = {}) override;
    QString formQueue() override;

private:
    void loadChoice();
    void saveChoice();
    Delivery printToQueue(int pageCount, const PageSource& pages, const Progress& progress);
    Delivery printToNewPdfFile(int pageCount, const PageSource& pages, const Progress& progress);

    std::unique_ptr<QPrinter> m_settings;
    // The queue this run prints to. Kept apart from the settings: Qt's
    // printer refuses the name of a queue that has gone and quietly keeps
    // whatever it had before.
    QString m_queue;
    QString m_pdfFolder;
    QString m_choiceFile;
    std::optional<paper::FormPaper> m_formPaper;
    QString m_notice; // said with the next delivery
    QString m_settingsProblem;
    bool m_noPrinter = false;
};

} // namespace print
