#pragma once
// What one run of the program keeps, with a window or without one: where the
// offsets live, the printer in use, the print state carried from job to job,
// and the notices already given.
#include "adjust/offsets.h"
#include "platform/files.h"
#include "platform/instance.h"
#include "postal/directory.h"
#include "print/destination.h"
#include "print/printjob.h"
#include "waybill/waybill.h"

#include <memory>
#include <span>

namespace session {

inline const QString kSecondInstance = QStringLiteral("多重起動できません。");

class Session {
public:
    // saveFilter: see platform::AtomicFile; tests make saves fail with it.
    Session(const platform::Folders& folders, platform::InstanceDetector& instance, print::Destination& printer,
            platform::DeviceFilter saveFilter = {});
    ~Session();

    adjust::OffsetStore& offsets() { return m_offsets; }
    print::Destination& printer() { return m_printer; }
    bool anotherInstanceRunning() { return m_instance.anotherInstanceRunning(); }
    // Opened at the first look-up, not before.
    postal::Directory& postalCodes();

    struct Printed {
        print::Delivery delivery;
        // Said once per run: where documents go on a machine without a printer.
        QString notice;
    };
    // One document, one page per waybill, in order.
    Printed printWaybills(std::span<const waybill::Waybill> waybills, print::PrintOffsets offsets,
                          const print::Progress& progress = {});
    Printed printTestMarks(print::PrintOffsets offsets);

private:
    Printed deliver(int pageCount, const print::PageSource& pages, const print::Progress& progress);

    adjust::OffsetStore m_offsets;
    platform::InstanceDetector& m_instance;
    print::Destination& m_printer;
    print::PrintState m_printState;
    std::unique_ptr<postal::Directory> m_postalCodes;
    bool m_toldPdfFolder = false;
};

} // namespace session
