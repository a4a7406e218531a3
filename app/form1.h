#pragma once
// The program's one window: its controls, start-up and the handlers of its
// control events.
#include "app/platform/messagebox.h"
#include "app/platform/printerdialog.h"
#include "print/systemprinter.h"
#include "session/session.h"
#include "waybill/waybill.h"

#include <QHash>
#include <QWidget>
#include <functional>

namespace app {

struct Services {
    platform::MessageBox& messages;
    session::Session& session;
    platform::PrinterDialog& printerDialog;
    print::SystemPrinter* systemPrinter; // what the printer dialog edits; none when printing elsewhere
    std::function<void()> quit;             // ends the process
};

inline const QString kExitQuestion = QStringLiteral("このプログラムを終了しますか？");
inline const QString kExitCaption = QStringLiteral(" 　ホルテア　　");

class Form1 : public QWidget {
    Q_OBJECT
public:
    explicit Form1(Services& services, QWidget* parent = nullptr);

    QWidget* control(const char* name) const;
    // What the window's own windows print and keep with.
    Services& services() const { return m_services; }
    template <typename T>
    T* control(const char* name) const { return qobject_cast<T*>(control(name)); }

    // Prepares the window before it is first shown. False: another instance
    // runs, the user has been told, and this process must end.
    bool Form_Load();

    // The window's contents as one waybill, and back: filling writes the
    // texts as typing would (a box keeps to its length) and sets the
    // choices, care-of lines and numeric mode with their own handlers.
    waybill::Waybill readWaybill() const;
    void fillFrom(const waybill::Waybill& waybill);
    enum class AddressBlock { Recipient, Sender };
    void fillAddress(AddressBlock block, const waybill::Address& address);

public slots:
    void zEndBtn_Click();
    void InsatsuBtn_Click();
    void GoukeiBtn_Click();
    void SuujiNyuuryokuBtn_Click();
    void C_1_Samakata_Click();
    void C_2_Samakata_Click();
    void T_clear1_Click();
    void T_clear2_Click();
    void z_Henkan_Click();
    void OnOffBtn_Click();
    void UpDownX_Change();
    void UpDownY_Change();
    void HozonBtn_Click();
    void IchiBtn_Click();
    void PriDiaBtn_Click();

    // The commands of the bottom-left frame, each opening its own window.
    void openPreview();
    void openAddressBook();
    void openHistory();
    void openBatch();

public:
    // Tells the user how a print went, as 印刷 does; over another window
    // when the print was asked for there.
    void report(const session::Session::Printed& printed, QWidget* over = nullptr);

private:
    void buildControls();
    void connectHandlers();
    waybill::Address readAddress(const char* const (&fields)[6]) const;
    QStringList addressesOf(const QString& postalCode);
    std::function<QWidget*(const char*)> finder() const;

    Services& m_services;
    QHash<QString, QWidget*> m_controls;
    bool m_toldPostalData = false;
};

} // namespace app
