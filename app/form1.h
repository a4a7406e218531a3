#pragma once
// The program's one window: its controls, start-up and the handlers of its
// control events.
#include "app/widgets/services.h"
#include "app/widgets/waybillwindow.h"

#include <QHash>
#include <functional>

namespace app {

inline const QString kExitQuestion = QStringLiteral("このプログラムを終了しますか？");
inline const QString kExitCaption = QStringLiteral(" 　ホルテア　　");

class Form1 : public WaybillWindow {
    Q_OBJECT
public:
    explicit Form1(Services& services, QWidget* parent = nullptr);

    QWidget* control(const char* name) const;
    template <typename T>
    T* control(const char* name) const
    {
        return qobject_cast<T*>(control(name));
    }

    // Prepares the window before it is first shown. False: another instance
    // runs, the user has been told, and this process must end.
    bool Form_Load();

    // What the program's other windows see (app/widgets/waybillwindow.h).
    using AddressBlock = app::AddressBlock;
    waybill::Waybill readWaybill() const override;
    void fillFrom(const waybill::Waybill& waybill) override;
    void fillAddress(AddressBlock block, const waybill::Address& address) override;
    WaybillChoices choices() const override;
    QString nameReading(AddressBlock block) const override;
    OffsetTexts offsetTexts() const override;
    std::optional<print::PrintOffsets> offsetsForPrint(QWidget* over) override;
    void report(const station::Printed& printed, QWidget* over) override;
    QRect partInUseOnScreen() const override;

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
    void openFormStack();
    void openLayouts();
    // 「位置合わせ印刷」: the alignment sheet and the offsets read on it.
    void openAlignment();
    // The line under the commands: the next form's number, as the settings
    // file holds it now.
    void refreshNextForm();

protected:
    bool event(QEvent* event) override;

private:
    // Once the window is up, while the user types: what waits on the
    // spooler or loads for the first print.
    void afterFirstPaint();
    void buildControls();
    // Every number box shows its longest value whole within its size.
    void keepNumbersWhole();
    void connectHandlers();
    // changed() and offsetsChanged() after every edit, choice and toggle.
    void announceChanges();
    waybill::Address readAddress(const char* const (&fields)[6]) const;
    QStringList addressesOf(const QString& postalCode);
    // Refuses a waybill that cannot be delivered, asks before one with
    // findings is printed; true for one without.
    bool mayPrintAsItStands(const waybill::Waybill& waybill);
    // The line under the commands: what printed on which form, and the next.
    void showPrinted(const waybill::Waybill& waybill, const station::Printed& printed);
    void setCommandLine(const QString& text);
    std::function<QWidget*(const char*)> finder() const;

    Services& m_services;
    QHash<QString, QWidget*> m_controls;
    QWidget* m_partInUse = nullptr; // the frame that last held the focus
    bool m_toldPostalData = false;
    bool m_painted = false;
};

} // namespace app
