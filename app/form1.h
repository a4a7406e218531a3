#pragma once
// The program's one window: its controls, start-up and the handlers of its
// control events.
#include "platform/files.h"
#include "platform/instance.h"
#include "platform/messagebox.h"
#include "platform/printerdialog.h"
#include "platform/qtprinter.h"
#include "print/printjob.h"

#include <QHash>
#include <QWidget>
#include <functional>

namespace app {

struct Services {
    platform::MessageBox& messages;
    platform::InstanceDetector& instance;
    const platform::Folders& folders;
    platform::PrintTarget& printTarget;
    platform::PrinterDialog& printerDialog;
    std::function<void()> quit; // ends the process
};

inline const QString kExitQuestion = QStringLiteral("このプログラムを終了しますか？");
inline const QString kExitCaption = QStringLiteral(" 　ホルテア　　");
inline const QString kSecondInstance = QStringLiteral("多重起動できません。");

class Form1 : public QWidget {
    Q_OBJECT
public:
    explicit Form1(Services& services, QWidget* parent = nullptr);

    QWidget* control(const char* name) const;
    template <typename T>
    T* control(const char* name) const { return qobject_cast<T*>(control(name)); }

    // Prepares the window before it is first shown. False: another instance
    // runs, the user has been told, and this process must end.
    bool Form_Load();

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

private:
    void buildControls();
    void connectHandlers();
    void report(const print::JobResult& result);
    std::function<QWidget*(const char*)> finder() const;

    Services& m_services;
    QHash<QString, QWidget*> m_controls;
    print::PrintState m_printState;
    bool m_toldPdfFolder = false;
};

} // namespace app
