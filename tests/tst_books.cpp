// The address book and the print history as the user meets them: the
// sender lists of the main window, the address book window and its CSV
// files, the history window, and the database file failing under them, on
// real SQLite files in the test's folder and the real window.
#include "expect.h"
#include "faildevice.h"
#include "failingvfs.h"
#include "support.h"

#include "addressbook/csvfile.h"
#include "app/books/addressbookwindow.h"
#include "app/books/addressdialog.h"
#include "app/books/historywindow.h"
#include "app/desktop/ime.h"
#include "app/goods/goodstablewindow.h"
#include "app/storage/storagedialog.h"
#include "app/widgets/elidedtips.h"
#include "goods/goodscsv.h"
#include "storage/searchkey.h"

#include <QCheckBox>
#include <QDialog>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QSpinBox>
#include <QTimer>
#include <QTreeWidget>

using namespace testing;
using addressbook::Kind;

namespace {

waybill::Address address(const QByteArray& name, const char* postalCode, const char* line1, const char* telephone)
{
    waybill::Address a;
    a.name = QString::fromUtf8(name), a.postalCode = QString::fromUtf8(postalCode);
    a.line1 = QString::fromUtf8(line1), a.telephone = QString::fromUtf8(telephone);
    return a;
}

const waybill::Address kShop = address("ホルテア雑貨店", "5300001", "大阪府大阪市北区梅田1-1-1", "06-6111-2222");
const waybill::Address kStore = [] {
    auto a = address("ホルテア倉庫", "5900001", "大阪府堺市", "072-222-3333");
    a.careOf = QStringLiteral("物流課"), a.careOfShown = true;
    return a;
}();

QDateTime at(const char* iso) { return QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODate); }

void press(QObject* window, const char* button)
{
    QTest::mouseClick(window->findChild<QPushButton*>(QString::fromLatin1(button)), Qt::LeftButton);
}

// Runs `inside` on the popup (a list or a modal dialog) that `open` opens in a nested loop.
template <typename Popup>
void withPopup(const std::function<void()>& open, const std::function<void(Popup*)>& inside)
{
    bool seen = false;
    QTimer::singleShot(0, [&] {
        QWidget* w =
            std::is_same_v<Popup, QMenu> ? QApplication::activePopupWidget() : QApplication::activeModalWidget();
        if (auto* popup = qobject_cast<Popup*>(w))
            seen = true, inside(popup);
    });
    open();
    QVERIFY2(seen, "nothing opened");
}

QStringList names(const QList<history::HistoryEntry>& entries)
{
    QStringList out;
    for (const auto& e : entries)
        out.append(e.record.waybill.recipient.name);
    return out;
}

QList<std::pair<Kind, waybill::Address>> bookOf(addressbook::AddressBook& book)
{
    QList<std::pair<Kind, waybill::Address>> all;
    book.forEach([&](const addressbook::AddressEntry& e) { return all.append({e.kind, e.address}), true; });
    return all;
}

} // namespace

class BooksTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        initTestEnvironment();
        // Every database of this process goes through the failing VFS, which
        // passes everything through until a test sets a fault.
        FailingVfs::instance();
        sqlite3_vfs_register(sqlite3_vfs_find(FailingVfs::name()), 1);
    }
    void init() { FailingVfs::instance().reset(); }

    // ---- the sender lists ----

    void pickingASavedSenderFillsTheWholeBlock()
    {
        TestWindow w;
        w.showActive();
        auto* name = w.c<QComboBox>("iraiNamae");
        name->showPopup(); // nothing saved: no list
        QVERIFY(!QApplication::activePopupWidget());

        auto& book = w.station->addressBook();
        QVERIFY(book.save(Kind::Sender, kShop, at("2026-01-01T00:00:00Z")));
        QVERIFY(book.save(Kind::Sender, kStore, at("2026-01-02T00:00:00Z")));
        QVERIFY(book.save(Kind::Recipient, address("お客様", "1000001", "東京都", "03"), at("2026-01-03T00:00:00Z")));
        w.type("iraiDenwa", QStringLiteral("999"));
        withPopup<QMenu>(
            [&] { name->showPopup(); },
            [](QMenu* menu) {
                QStringList texts;
                for (QAction* a : menu->actions())
                    texts.append(a->text());
                QCOMPARE(texts,
                         (QStringList{QStringLiteral("ホルテア倉庫　大阪府堺市　072-222-3333"),
                                      QStringLiteral("ホルテア雑貨店　大阪府大阪市北区梅田1-1-1　06-6111-2222")}));
                QTest::keyClick(menu, Qt::Key_Return); // the first, most recently used
            });
        QCOMPARE(w.form->readWaybill().sender, kStore);
        QVERIFY(w.c<QCheckBox>("C_2_Samakata")->isChecked());
        QVERIFY(!w.c("iraiSamakata")->isHidden());

        // From the postal code field by keyboard, the other one; the one
        // picked moves to the top; Escape picks nothing.
        w.c("iraiYuubin")->setFocus();
        withPopup<QMenu>([&] { QTest::keyClick(focused(w.c("iraiYuubin")), Qt::Key_Down, Qt::AltModifier); },
                         [](QMenu* menu) {
                             QTest::keyClick(menu, Qt::Key_Down);
                             QTest::keyClick(menu, Qt::Key_Return);
                         });
        QCOMPARE(w.form->readWaybill().sender, kShop);
        QVERIFY(w.c("iraiSamakata")->isHidden());
        QCOMPARE(book.recent(Kind::Sender).front().address, kShop);
        withPopup<QMenu>([&] { name->showPopup(); }, [](QMenu* menu) { QTest::keyClick(menu, Qt::Key_Escape); });
        QCOMPARE(w.form->readWaybill().sender, kShop);

        // Typing goes on as before (arrows and page keys pick nothing, Down in the empty address line
        // takes the postal code's address): the same texts and page as with an empty book.
        auto typeKeys = [](TestWindow& into) {
            into.fillPrintableWaybill();
            into.click("T_clear2");
            into.type("iraiYuubin", QStringLiteral("100-0001"));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
            for (const char* field : {"iraiJyuusyo2", "iraiNamae", "iraiDenwa"}) {
                into.type(field, QStringLiteral("ホ"));
                for (Qt::Key key : {Qt::Key_Down, Qt::Key_Up, Qt::Key_PageDown, Qt::Key_Down})
                    QTest::keyClick(QApplication::focusWidget(), key);
                QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("1"));
            }
            into.messages.answers = {desktop::MsgAnswer::Yes}; // the telephone ホ1 is asked about
            into.click("InsatsuBtn");
        };
        TestWindow empty;
        typeKeys(w);
        typeKeys(empty);
        const auto typed = w.form->readWaybill().sender;
        QCOMPARE(typed.line1, QStringLiteral("東京都千代田区千代田"));
        QVERIFY(typed.line2 == QStringLiteral("ホ1") && typed.name == QStringLiteral("ホ1") &&
                typed.telephone == QStringLiteral("ホ1"));
        QVERIFY(!QApplication::activePopupWidget() && w.messages.shown.size() == 1);
        QVERIFY(w.messages.last().contains(QStringLiteral("「ご依頼主」の電話番号「ホ1」")));
        QCOMPARE(empty.form->readWaybill(), w.form->readWaybill());
        QCOMPARE(empty.recording.lastPage(), w.recording.lastPage());
    }

    // Search keys fold widths and kana and drop spaces and dashes, and keep
    // an ideograph of two UTF-16 units whole.
    void searchKeysFoldAndKeepIdeographsWhole()
    {
        QCOMPARE(storage::searchKey(QStringLiteral("𩸽田 ﾊﾅｺ　０３－１２")), QStringLiteral("𩸽田はなこ0312"));
        // Variant forms of kanji as the form in use, also one of two units (𠮷).
        QCOMPARE(storage::searchKey(QStringLiteral("髙橋 渡邊 渡邉 齋藤 齊藤 山﨑 𠮷田 櫻井 濱田")),
                 QStringLiteral("高橋渡辺渡辺斎藤斎藤山崎吉田桜井浜田"));
        // A lone half of a pair stands as the replacement character.
        QCOMPARE(storage::searchKey(QString(QChar(0xD842)) + u'ア'), QString(QChar::ReplacementCharacter) + u'あ');
        // Every character keyed alone as within text that needs folding (a
        // circled digit after it), where it is surely normalised and folded.
        for (char32_t c = 1; c < 0x10000; ++c) {
            if (QChar::isSurrogate(c))
                continue;
            const QString alone = QString::fromUcs4(&c, 1);
            QCOMPARE(storage::searchKey(alone) + u'1', storage::searchKey(alone + u'①'));
        }
    }

    // ---- the history ----

    void historySearchesByEachKey()
    {
        TestWindow w;
        auto record = [&](const waybill::Address& to, const char* when, std::optional<QString> order) {
            QVERIFY(w.station->history().record(
                {.printedAt = at(when),
                 .destination = QStringLiteral("/home/shop/Documents/送り状_20260301_090000.pdf"),
                 .orderNumber = order,
                 .waybill = {.recipient = to, .sender = kShop}}));
        };
        record(address("山田太郎", "1000001", "東京都千代田区千代田1-1", "03-1234-5678"), "2026-03-01T09:00:00",
               QStringLiteral("A-1"));
        record(address("佐藤花子", "2310023", "神奈川県横浜市中区山下町", "045-987-6543"), "2026-03-05T09:00:00", {});
        record(address("鈴木一郎", "0600001", "北海道札幌市中央区", "011-222-3333"), "2026-03-09T09:00:00",
               QStringLiteral("B-7"));

        app::HistoryWindow* window = app::showHistory(*w.form, *w.services);
        // Telephone and sender beside the recipient, the postal code as lists show it, every column but the address as
        // wide as its texts (the address's tip holds it whole).
        QTreeWidgetItem* newest = window->list().topLevelItem(0);
        QCOMPARE(newest->text(1) + newest->text(2) + newest->text(3) + newest->text(5) + newest->text(6),
                 QStringLiteral("鈴木一郎011-222-3333060-0001ホルテア雑貨店送り状_20260301_090000.pdf"));
        for (int column = 0; column < window->list().columnCount(); ++column)
            QVERIFY2(column == 4 ||
                         !app::ElidedTextTips::isCutShort(window->list(), window->list().model()->index(0, column)),
                     qPrintable(QString::number(column)));
        using Key = app::HistoryWindow::Key;
        const struct {
            Key key;
            const char* typed;
            QStringList found;
        } cases[] = {{Key::Name, "花子", {"佐藤花子"}},
                     {Key::Telephone, "０３１２３４", {"山田太郎"}},
                     {Key::PostalCode, "060-0001", {"鈴木一郎"}},
                     {Key::Address, "横浜", {"佐藤花子"}},
                     {Key::OrderNumber, "b-7", {"鈴木一郎"}}};
        for (const auto& c : cases) {
            window->clearConditions();
            // Typed: the search runs after a short pause, without a click.
            type(&window->field(c.key), QString::fromUtf8(c.typed));
            QTRY_COMPARE(names(window->shownEntries()), c.found);
        }
        window->clearConditions();
        window->setDateRange(QDate(2026, 3, 2), QDate(2026, 3, 9));
        window->search();
        QCOMPARE(names(window->shownEntries()), (QStringList{"鈴木一郎", "佐藤花子"})); // the last day included
        window->setDateRange(QDate(2026, 3, 2), QDate(2026, 3, 8));
        type(&window->field(Key::Name), QStringLiteral("佐藤"));
        QTest::keyClick(&window->field(Key::Name), Qt::Key_Return);
        QCOMPARE(names(window->shownEntries()), QStringList{"佐藤花子"});
        // Back in the window after a print in the main window: it is there.
        window->clearConditions();
        w.fillPrintableWaybill();
        w.setText("T_4_Namae", QStringLiteral("高橋"));
        w.click("InsatsuBtn");
        window->activateWindow();
        QTRY_COMPARE(window->shownEntries().size(), 4);
        QCOMPARE(window->shownEntries().front().record.waybill.recipient.name, QStringLiteral("高橋"));
        QVERIFY(w.messages.shown.empty());
    }

    // A row for each job the printer took, from the main window or again
    // from the history window with the main window's present offsets, read
    // as 印刷 reads them, and the row's order number; none for a refused one
    // (a document the printer refuses is the batch window test's: one print
    // step records for both).
    void historyRowForEachAcceptedJob()
    {
        TestWindow w;
        auto& history = w.station->history();
        w.form->fillFrom(expect::filledWaybill());
        w.click("InsatsuBtn");
        QCOMPARE(history.list(10).front().record.waybill, expect::filledWaybill());
        QVERIFY(history.record({.destination = QStringLiteral("Office"),
                                .orderNumber = QStringLiteral("A-9"),
                                .waybill = expect::filledWaybill()}));
        w.click("T_clear1");
        w.click("OnOffBtn");
        w.type("Sayuu_Xtxt", QStringLiteral("12"));
        w.type("Jyouge_Ytxt", QStringLiteral("-5"));
        app::HistoryWindow* window = app::showHistory(*w.form, *w.services);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QTreeWidget& list = window->list();
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualItemRect(list.topLevelItem(0)).center());
        press(window, "printAgain");
        print::PrintState state;
        QCOMPARE(w.recording.lastPage(), print::waybillPage(expect::filledWaybill(), {12, -5}, state));
        QCOMPARE(w.text("T_4_Namae"), QString()); // the main window untouched
        QCOMPARE(history.list(10).size(), 3);
        QCOMPARE(history.list(1).front().record.orderNumber, QStringLiteral("A-9"));
        // An offset the job refuses: no page, no row, from either window.
        w.type("Jyouge_Ytxt", QStringLiteral("1e9"));
        window->printAgain();
        w.click("InsatsuBtn");
        QCOMPARE(w.recording.documents.size(), size_t(2));
        QCOMPARE(history.list(10).size(), 3);
        // Put back into the window, the waybill reads out again.
        window->choose(0);
        press(window, "putBack");
        QCOMPARE(w.form->readWaybill(), expect::filledWaybill());
    }

    // ---- the address book window ----

    void addressBookWindowFindsFillsSavesEditsAndRemoves()
    {
        TestWindow w;
        w.form->fillFrom(expect::filledWaybill());
        app::AddressBookWindow* book = app::showAddressBook(*w.form, *w.services);
        book->setReadingAsker([](const QString&, const QString& offered) { return std::optional(offered); });
        QVERIFY(book->shownEntries().isEmpty());
        press(book, "saveRecipient");
        press(book, "saveSender");
        QCOMPARE(book->kind(), Kind::Sender);
        QCOMPARE(book->shownEntries().size(), 1);
        QCOMPARE(book->shownEntries().front().address, expect::filledWaybill().sender);
        QVERIFY(app::showAddressBook(*w.form, *w.services) == book); // one window, brought to the front

        // Search as you type (each key is the storage tests'); Enter takes the
        // entry into the block of its kind, the buttons into either.
        book->setKind(Kind::Recipient);
        const waybill::Address saved = expect::filledWaybill().recipient;
        type(&book->searchField(), QStringLiteral("見つからない"));
        QVERIFY(book->shownEntries().isEmpty());
        type(&book->searchField(), saved.telephone.right(4));
        w.click("T_clear1");
        book->activateWindow();
        QTRY_VERIFY(book->isActiveWindow()); // so the list takes the focus, as it does for the user
        QTest::keyClick(&book->searchField(), Qt::Key_Down);
        QTest::keyClick(&book->list(), Qt::Key_Return);
        QCOMPARE(w.form->readWaybill().recipient, saved);
        book->findChild<QPushButton*>(QStringLiteral("toSender"))->click();
        QCOMPARE(w.form->readWaybill().sender, saved);

        // Edited in the dialog, a reading typed there too; removed after a question answered yes.
        withPopup<app::AddressDialog>(
            [&] { book->editChosen(); },
            [](app::AddressDialog* dialog) {
                dialog->findChild<QLineEdit*>(QStringLiteral("name"))->setText(QStringLiteral("山田花子"));
                type(&dialog->readingField(), QStringLiteral("ヤマダ ハナコ"));
                dialog->accept();
            });
        QVERIFY(book->chosenEntry()); // still in view, though the search was for the old name
        QCOMPARE(book->chosenEntry()->address.name, QStringLiteral("山田花子"));
        QCOMPARE(book->chosenEntry()->reading, QStringLiteral("ヤマダ ハナコ"));
        // Found by its reading in either kana and either width, shown with it and its postal code as lists show codes;
        // one Enter in the search field puts it back.
        type(&book->searchField(), QStringLiteral("ﾊﾅｺ"));
        QCOMPARE(book->shownEntries().size(), 1);
        type(&book->searchField(), QStringLiteral("やまだはな"));
        QCOMPARE(book->shownEntries().size(), 1);
        QCOMPARE(book->list().topLevelItem(0)->text(1) + book->list().topLevelItem(0)->text(2),
                 QStringLiteral("ヤマダ ハナコ100-0001"));
        w.click("T_clear1");
        book->activateWindow();
        QTRY_VERIFY(book->isActiveWindow());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(w.form->readWaybill().recipient.name, QStringLiteral("山田花子"));
        w.messages.answers = {desktop::MsgAnswer::No};
        book->removeChosen();
        QCOMPARE(w.station->addressBook().recent(Kind::Recipient).size(), 1);
        w.messages.answers = {desktop::MsgAnswer::Yes};
        QTest::keyClick(&book->list(), Qt::Key_Delete);
        QVERIFY(w.station->addressBook().recent(Kind::Recipient).isEmpty());
        QCOMPARE(w.messages.shown.back().buttons, desktop::MsgButtons::YesNo);
    }

    // 品名の置き換え from the address book: a row typed and saved, rows read
    // from a CSV file and written to one; the main window's 品名 box then
    // offers the names in its list, leaving what was typed as typed.
    void goodsTableFromTheAddressBookAndOfferedInTheGoodsBox()
    {
        QTemporaryDir dir;
        TestWindow w;
        app::AddressBookWindow* book = app::showAddressBook(*w.form, *w.services);
        press(book, "goodsTable");
        auto* table = book->findChild<app::GoodsTableWindow*>();
        QVERIFY(table && table->isVisible());
        type(table->findChild<QLineEdit*>(QStringLiteral("match")), QStringLiteral("tea-01"));
        type(table->findChild<QLineEdit*>(QStringLiteral("shortName")), QStringLiteral("緑茶"));
        press(table, "save");
        QVERIFY2(table->statusText().contains(QStringLiteral("「tea-01」を「緑茶」と印刷するように登録しました")),
                 qPrintable(table->statusText()));

        const QString csvPath = dir.filePath(QStringLiteral("goods-in.csv"));
        QFile in(csvPath);
        QVERIFY(in.open(QIODevice::WriteOnly));
        in.write(
            QStringLiteral("種類,一覧の値,送り状の品名\r\n商品名,有田焼 湯呑み 白,湯呑み\r\n商品コード,TEA-01,煎茶\r\n")
                .toUtf8());
        in.close();
        table->importFrom(csvPath);
        QVERIFY2(table->statusText().contains(QStringLiteral("1 件を登録し、1 件を置き換えました")),
                 qPrintable(table->statusText()));
        QCOMPARE(table->findChild<QTreeWidget*>(QStringLiteral("goodsNames"))->topLevelItemCount(), 2);
        const QString outPath = dir.filePath(QStringLiteral("goods-out.csv"));
        table->exportTo(outPath, csv::Encoding::Cp932);
        const auto back = goods::readCsv(outPath);
        QVERIFY(back && back->size() == 2 && back->at(0).shortName == QStringLiteral("煎茶"));

        auto* box = w.c<QComboBox>("c_Hinmei");
        w.type("c_Hinmei", QStringLiteral("煎"));
        const int own = box->count();
        box->showPopup();
        QCOMPARE(box->count(), own + 2);
        QCOMPARE(box->itemText(own), QStringLiteral("湯呑み"));
        QCOMPARE(box->currentText(), QStringLiteral("煎"));
        box->hidePopup();
        QCOMPARE(w.form->readWaybill().goods[0].description, QStringLiteral("煎"));
    }

    // Saving the window's name asks its reading, offered from what the input method converted (さとう composed, then
    // 佐藤 chosen); the entry is then found by it. A name the input method did not convert offers nothing; a cancel
    // saves nothing.
    void savingAsksTheReadingTheInputMethodSaw()
    {
        TestWindow w;
        w.form->fillFrom(expect::filledWaybill());
        w.showActive();
        const auto compose = [](QWidget* field, const QString& kana, const QString& converted) {
            for (const QString& shown : {kana.left(1), kana, converted}) {
                QInputMethodEvent composing(shown, {});
                QApplication::sendEvent(field, &composing);
            }
            QInputMethodEvent chosen;
            chosen.setCommitString(converted);
            QApplication::sendEvent(field, &chosen);
        };
        w.type("T_4_Namae", QString());
        compose(w.c("T_4_Namae"), QStringLiteral("さとう"), QStringLiteral("佐藤"));
        QTest::keyClick(w.c("T_4_Namae"), Qt::Key_Space);
        compose(w.c("T_4_Namae"), QStringLiteral("はなこ"), QStringLiteral("花子"));
        QCOMPARE(w.text("T_4_Namae"), QStringLiteral("佐藤 花子"));

        app::AddressBookWindow* book = app::showAddressBook(*w.form, *w.services);
        // The dialog itself: the offer filled in, what the user makes of it saved.
        withPopup<QDialog>(
            [&] { press(book, "saveRecipient"); },
            [](QDialog* dialog) {
                // A check that fails leaves the dialog open: closed, so the test goes on.
                const auto closeAfter = qScopeGuard([dialog] {
                    if (dialog->isVisible())
                        dialog->reject();
                });
                auto* reading = dialog->findChild<QLineEdit*>(QStringLiteral("reading"));
                QVERIFY(dialog->objectName() == QStringLiteral("ReadingDialog") && reading);
                QCOMPARE(reading->text(), QStringLiteral("さとう はなこ"));
                QCOMPARE(reading->selectedText(), reading->text());
                QCOMPARE(desktop::imeMode(reading), desktop::ImeMode::Hiragana);
                QVERIFY(dialog->findChildren<QLabel*>().front()->text().contains(QStringLiteral("佐藤 花子")));
                type(reading, QStringLiteral("サトウ ハナコ"));
                QTest::keyClick(reading, Qt::Key_Return);
            });
        const auto saved = w.station->addressBook().recent(Kind::Recipient);
        QVERIFY(saved.size() == 1 && saved.front().reading == QStringLiteral("サトウ ハナコ"));
        type(&book->searchField(), QStringLiteral("さとう"));
        QCOMPARE(book->shownEntries().size(), 1);

        // Typed without converting (pasted, or set by the program): nothing offered. Cancelled: nothing saved.
        QString offered = QStringLiteral("?");
        book->setReadingAsker([&](const QString&, const QString& offer) {
            offered = offer;
            return std::optional<QString>();
        });
        press(book, "saveSender");
        QVERIFY(offered.isEmpty() && w.station->addressBook().recent(Kind::Sender).isEmpty());
        // The sender's name box takes the input method's words too.
        w.c("iraiNamae")->setFocus();
        w.setText("iraiNamae", QString());
        compose(qobject_cast<QComboBox*>(w.c("iraiNamae"))->lineEdit(), QStringLiteral("ほるてあ"),
                QStringLiteral("ホルテア"));
        QCOMPARE(w.form->nameReading(app::AddressBlock::Sender), QStringLiteral("ホルテア")); // converted to kana
        w.setText("iraiNamae", QStringLiteral("髙橋商店"));
        QCOMPARE(w.form->nameReading(app::AddressBlock::Sender), QString());
    }

    // Out and back in, in both encodings: ㈱ and ～ in CP932, names that a
    // spreadsheet would run as a formula, and 𠮷, which only UTF-8 holds.
    // 「データの保存先」 from the address book window: what is missing is
    // said and what was typed stays; a server that does not answer is tried
    // first and kept only when the user says so; the password typed goes to
    // the secret store, and where there is none (here) the message says to
    // use ~/.pgpass; the choice is in use at once and kept for the next
    // start (no password in the settings); 「このPC」 goes back.
    void storageChoiceAppliesAtOnce()
    {
        TestWindow w;
        app::AddressBookWindow* book = app::showAddressBook(*w.form, *w.services);
        QVERIFY(w.station->database().ensureOpen()); // this PC's file in use
        const auto fill = [](app::StorageDialog* d, const char* database) {
            QTest::mouseClick(d->findChild<QRadioButton*>(QStringLiteral("serverChoice")), Qt::LeftButton);
            auto* host = d->findChild<QLineEdit*>(QStringLiteral("serverHost"));
            host->selectAll();
            QTest::keyClicks(host, QStringLiteral("127.0.0.1"));
            d->findChild<QSpinBox*>(QStringLiteral("serverPort"))->setValue(1); // nothing listens there
            auto* name = d->findChild<QLineEdit*>(QStringLiteral("serverDatabase"));
            name->selectAll();
            QTest::keyClicks(name, QString::fromLatin1(database));
            auto* user = d->findChild<QLineEdit*>(QStringLiteral("serverUser"));
            user->selectAll();
            QTest::keyClicks(user, QStringLiteral("clerk"));
            QTest::keyClicks(d->findChild<QLineEdit*>(QStringLiteral("serverPassword")), QStringLiteral("s3cret"));
        };
        w.messages.answers = {desktop::MsgAnswer::Ok, desktop::MsgAnswer::Yes};
        bool typedKept = false;
        withPopup<app::StorageDialog>([&] { press(book, "storage"); },
                                      [&](app::StorageDialog* d) {
                                          fill(d, "");
                                          QTimer::singleShot(0, [&] {
                                              auto* again =
                                                  qobject_cast<app::StorageDialog*>(QApplication::activeModalWidget());
                                              QVERIFY(again);
                                              typedKept =
                                                  again->findChild<QLineEdit*>(QStringLiteral("serverHost"))->text() ==
                                                  QStringLiteral("127.0.0.1");
                                              fill(again, "shop");
                                              QTest::keyClick(again, Qt::Key_Return);
                                          });
                                          QTest::keyClick(d, Qt::Key_Return);
                                      });
        QVERIFY(typedKept);
        // The fourth: the book window, reading the new place at once, meets the server away.
        QCOMPARE(w.messages.shown.size(), size_t(4));
        QVERIFY2(w.messages.shown[0].text.contains(QStringLiteral("データベースの名前を入れてください")),
                 qPrintable(w.messages.shown[0].text));
        for (const QString& part : {QStringLiteral("127.0.0.1:1"), QStringLiteral("につながりません"),
                                    QStringLiteral("つながらないまま、この保存先にしますか")})
            QVERIFY2(w.messages.shown[1].text.contains(part), qPrintable(w.messages.shown[1].text));
        for (const QString& part : {QStringLiteral("いまから"), QStringLiteral("パスワードは保管できませんでした"),
                                    QStringLiteral(".pgpass")})
            QVERIFY2(w.messages.shown[2].text.contains(part), qPrintable(w.messages.shown[2].text));
        QVERIFY2(w.messages.last().contains(QStringLiteral("127.0.0.1:1")), qPrintable(w.messages.last()));
        const QString url = QStringLiteral("postgresql://clerk@127.0.0.1:1/shop");
        QCOMPARE(station::storedServerUrl(w.folders.settingsFile()), url);
        QCOMPARE(w.station->database().location(), url); // in use now, without a restart
        QFile settings(w.folders.settingsFile());
        QVERIFY(settings.open(QIODevice::ReadOnly) && !settings.readAll().contains("s3cret"));
        FixedInstance instance;
        RecordingDestination printer;
        QCOMPARE(station::Station(w.folders, instance, printer).databaseLocation(), url);

        withPopup<app::StorageDialog>([&] { press(book, "storage"); },
                                      [&](app::StorageDialog* d) {
                                          QCOMPARE(d->serverUrl(), url); // as kept
                                          QVERIFY(d->password().isEmpty());
                                          QTest::mouseClick(d->findChild<QRadioButton*>(QStringLiteral("thisPcChoice")),
                                                            Qt::LeftButton);
                                          QTest::keyClick(d, Qt::Key_Return);
                                      });
        QVERIFY(station::storedServerUrl(w.folders.settingsFile()).isEmpty());
        QCOMPARE(w.station->database().location(), station::localDatabasePath(w.folders));
    }

    void csvRoundTrip()
    {
        TestWindow w;
        auto& book = w.station->addressBook();
        auto company = address("㈱ホルテア", "1000001", "東京都千代田区１～３丁目", "03-1111-2222");
        company.careOf = QStringLiteral("総務部"), company.careOfShown = true;
        QVERIFY(book.save(Kind::Recipient, company) &&
                book.save(Kind::Sender, address("=SUM(A1)", "1000002", "@住所", "-123")) &&
                book.save(Kind::Sender, address("+81", "1000004", "東京都", "03")));
        app::AddressBookWindow* window = app::showAddressBook(*w.form, *w.services);
        QTemporaryDir dir;
        auto importedInto = [&](const QString& path) {
            TestWindow other;
            app::AddressBookWindow* fresh = app::showAddressBook(*other.form, *other.services);
            [&] { QVERIFY2(fresh->importFrom(path), qPrintable(other.messages.last())); }();
            return bookOf(other.station->addressBook());
        };

        // A reading goes out and comes back in its own column.
        QVERIFY(book.edit(book.recent(Kind::Recipient).front().id, company, QStringLiteral("ホルテアショウジ")));
        const QString cp932 = dir.filePath(QStringLiteral("cp932.csv"));
        QVERIFY(window->exportTo(cp932, csv::Encoding::Cp932));
        TestWindow readBack;
        QVERIFY(app::showAddressBook(*readBack.form, *readBack.services)->importFrom(cp932));
        QCOMPARE(readBack.station->addressBook().search(Kind::Recipient, QStringLiteral("しょうじ")).value(0).address,
                 company);
        QFile raw(cp932);
        const QByteArray bytes = raw.open(QIODevice::ReadOnly) ? raw.readAll() : QByteArray();
        QVERIFY(bytes.contains("\x87\x8a\x83\x7a") && bytes.contains("\x81\x60") &&
                bytes.contains("\"'=SUM(A1)\"")); // ㈱ホ, ～

        QVERIFY(book.save(Kind::Recipient, address("𠮷田花子", "1000003", "東京都", "03")));
        const QString utf8 = dir.filePath(QStringLiteral("utf8.csv"));
        QVERIFY(window->exportTo(utf8, csv::Encoding::Utf8));
        QCOMPARE(importedInto(utf8), bookOf(book));

        // CP932 names the entry it cannot hold and writes nothing, or UTF-8
        // when the user takes the offer.
        const QString refused = dir.filePath(QStringLiteral("refused.csv"));
        w.messages.answers = {desktop::MsgAnswer::No};
        QVERIFY(!window->exportTo(refused, csv::Encoding::Cp932));
        QVERIFY(w.messages.last().contains(QStringLiteral("𠮷田花子（𠮷）")) &&
                !w.messages.last().contains(QStringLiteral("㈱")));
        QVERIFY(!QFile::exists(refused));
        w.messages.answers = {desktop::MsgAnswer::Yes};
        QVERIFY(window->exportTo(refused, csv::Encoding::Cp932));
        QCOMPARE(importedInto(refused), bookOf(book));

        // A device that fails part way: told, and not taken for done.
        FailDevice full(200);
        const auto failed = addressbook::writeCsv(book, full, csv::Encoding::Utf8);
        QVERIFY(!failed.ok && failed.errorText.contains(QStringLiteral("No space left on device")));
        QVERIFY(!window->exportTo(dir.filePath(QStringLiteral("no/such/folder/x.csv")), csv::Encoding::Utf8));
    }

    // Export then import is lossless and idempotent: a hidden care-of line
    // stays hidden, a text the user began with an apostrophe keeps it (only
    // the guard the export put on comes off), the last use stays, and the
    // same file imported into the same book adds nothing. A file of the first
    // format (seven columns) is read as before; a short row is named.
    void exportImportIsLosslessAndIdempotent()
    {
        TestWindow w;
        auto& book = w.station->addressBook();
        const QDateTime used(QDate(2024, 5, 6), QTime(7, 8, 9, 123), Qt::UTC);
        for (const auto& [kind, a] :
             {std::pair{Kind::Recipient, waybill::Address{"1000001", "東京都", "", "経理 太郎", "経理部", false, "03"}},
              std::pair{Kind::Recipient, waybill::Address{"1000002", "東京都", "", "表示 花子", "", true, "03"}},
              std::pair{Kind::Recipient, waybill::Address{"1000003", "'=1+1", "", "'山田", "''様", true, "-1"}},
              std::pair{Kind::Sender, waybill::Address{"1000004", "@住所", "+2", "=店", "", false, "03"}}})
            QVERIFY(book.save(kind, a, used));
        auto withUse = [](addressbook::AddressBook& b) {
            QList<std::tuple<Kind, waybill::Address, QDateTime>> all;
            b.forEach([&](const addressbook::AddressEntry& e) {
                return all.append({e.kind, e.address, e.lastUsed.toUTC()}), true;
            });
            return all;
        };
        const auto before = withUse(book);
        app::AddressBookWindow* window = app::showAddressBook(*w.form, *w.services);
        QTemporaryDir dir;
        for (const csv::Encoding encoding : {csv::Encoding::Utf8, csv::Encoding::Cp932}) {
            const QString path = dir.filePath(QStringLiteral("book%1.csv").arg(int(encoding)));
            QVERIFY(window->exportTo(path, encoding));
            TestWindow other;
            QVERIFY(app::showAddressBook(*other.form, *other.services)->importFrom(path));
            QCOMPARE(withUse(other.station->addressBook()), before);
            QVERIFY(window->importFrom(path));
            QCOMPARE(withUse(book), before);
        }
        // The first format: its own guard, care-of lines shown.
        QFile first(dir.filePath(QStringLiteral("first.csv")));
        QVERIFY(
            first.open(QIODevice::WriteOnly) &&
            first.write(QStringLiteral(
                            "区分,郵便番号,住所1,住所2,名前,様方,電話番号\r\nお届け先,1000005,東京都,,'=旧,気付,03\r\n"
                            "お届け先,1000006,東京都,,'旧,,03\r\nお届け先,1000007,東京都,旧,,03\r\n")
                            .toUtf8()) > 0);
        first.close();
        TestWindow old;
        QVERIFY(app::showAddressBook(*old.form, *old.services)->importFrom(first.fileName()));
        QVERIFY2(old.messages.last().contains(QStringLiteral("4行目：列が 6 個で、見出しの行（7 個）と合いません")),
                 qPrintable(old.messages.last()));
        const auto read = bookOf(old.station->addressBook());
        QVERIFY(read.size() == 2 && read[0].second.name == QStringLiteral("=旧") && read[0].second.careOfShown &&
                read[1].second.name == QStringLiteral("'旧"));
    }

    // Many rows read and stored piece by piece; rows that are not entries named.
    void importOfManyRows()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("many.csv"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("\xEF\xBB\xBF\xE5\x8C\xBA\xE5\x88\x86,郵便番号,住所1,住所2,名前,様方,電話番号\r\n");
        for (int i = 0; i < 5000; ++i)
            file.write(QStringLiteral("お届け先,100%1,東京都,,取込%2,,03\r\n")
                           .arg(i % 10000, 4, 10, QLatin1Char('0'))
                           .arg(i)
                           .toUtf8());
        file.write("得意先,1000001,東京都,,区分違い,,03\r\nご依頼主,,,,,,\r\nご依頼主,1000001,東京都,,取込0,,03\r\n");
        file.close();
        TestWindow w;
        app::AddressBookWindow* window = app::showAddressBook(*w.form, *w.services);
        // The disk fills part way: the pieces stored so far stay, and the
        // same file read again stores the rest without twins.
        FailingVfs::instance().faults.writableBytes = 400000;
        QVERIFY(!window->importFrom(path));
        QCOMPARE(w.messages.shown.size(), size_t(1));
        const int storedBefore = int(w.station->addressBook().recent(Kind::Recipient, 10000).size());
        QVERIFY2(storedBefore > 0 && storedBefore < 5000, qPrintable(QString::number(storedBefore)));
        for (const QString& part : {QStringLiteral("%1件を登録したところで登録できなくなりました").arg(storedBefore),
                                    QStringLiteral("もう一度読み込むと"), QStringLiteral("空き")})
            QVERIFY2(w.messages.last().contains(part), qPrintable(w.messages.last()));
        FailingVfs::instance().reset();
        QVERIFY(window->importFrom(path));
        for (const QString& part : {QStringLiteral("5001件を読み込みました"),
                                    QStringLiteral("すでに登録されていた住所が%1件").arg(storedBefore),
                                    QStringLiteral("5002行目：区分が"), QStringLiteral("5003行目：住所も名前も空です")})
            QVERIFY2(w.messages.last().contains(part), qPrintable(w.messages.last()));
        QCOMPARE(w.station->addressBook().recent(Kind::Recipient, 10000).size(), 5000);
        QCOMPARE(w.station->addressBook().recent(Kind::Sender).size(), 1);
        // Not the program's format: refused before anything is read.
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("name,address\r\nA,B\r\n");
        file.close();
        QVERIFY(!window->importFrom(path));
        QVERIFY(w.messages.last().contains(QStringLiteral("住所録の形式ではありません")));
    }

    // ---- the file failing under the windows ----

    // A file that cannot be written: one message at the first refused
    // write, the window says so from then on, printing goes on.
    void readOnlyFile()
    {
        TestWindow w;
        QVERIFY(w.station->addressBook().save(Kind::Sender, kShop));
        w.rebuild(); // a new run, the file there before
        QVERIFY(w.form->Form_Load());
        FailingVfs::instance().faults.mainFileReadOnly = true;
        w.form->fillFrom(expect::filledWaybill());
        app::AddressBookWindow* book = app::showAddressBook(*w.form, *w.services);
        book->setReadingAsker([](const QString&, const QString& offered) { return std::optional(offered); });
        book->setKind(Kind::Sender);
        QCOMPARE(book->shownEntries().size(), 1); // reading works
        press(book, "saveRecipient");
        QCOMPARE(w.messages.shown.size(), size_t(1));
        QVERIFY(w.messages.last().contains(QStringLiteral("書き込め")) &&
                w.messages.last().contains(QStringLiteral("お届け先を登録できませんでした")));
        book->search();
        QVERIFY(book->problemText().contains(QStringLiteral("印刷はこれまでどおりできます")));
        QVERIFY(!book->findChild<QPushButton*>(QStringLiteral("saveSender"))->isEnabled());
        w.click("InsatsuBtn");
        QVERIFY(w.recording.documents.size() == 1 && w.messages.shown.size() == 1); // printed, told once
        QCOMPARE(w.form->readWaybill(), expect::filledWaybill());
        // With the file writable again, it can be opened once more.
        FailingVfs::instance().reset();
        press(book, "retry");
        QVERIFY(book->problemText().isEmpty());
    }

    // A full disk: the edit keeps what was typed, the print goes out and
    // says once that it was not recorded.
    void fullDisk()
    {
        TestWindow w;
        QVERIFY(w.station->addressBook().save(Kind::Recipient, kShop));
        app::AddressBookWindow* book = app::showAddressBook(*w.form, *w.services);
        book->choose(0);
        FailingVfs::instance().faults.writableBytes = 0;
        bool stayedOpen = false;
        withPopup<app::AddressDialog>(
            [&] { book->editChosen(); },
            [&](app::AddressDialog* dialog) {
                dialog->findChild<QLineEdit*>(QStringLiteral("name"))->setText(QStringLiteral("新しい名前"));
                dialog->accept();
                stayedOpen = dialog->isVisible() && dialog->address().name == QStringLiteral("新しい名前");
                dialog->reject();
            });
        QVERIFY(stayedOpen && w.messages.shown.size() == 1);
        QVERIFY(w.messages.last().contains(QStringLiteral("入力した内容はこの画面に残っています")) &&
                w.messages.last().contains(QStringLiteral("空き")));
        QCOMPARE(w.station->addressBook().recent(Kind::Recipient).front().address, kShop);

        FailingVfs::instance().faults.writableBytes = -1;
        QVERIFY(w.station->history().record({})); // the edit's fault handed out; the next one is told
        FailingVfs::instance().faults.writableBytes = 0;
        w.form->fillFrom(expect::filledWaybill());
        for (size_t printed = 1; printed <= 2; ++printed) { // told the first time only
            w.click("InsatsuBtn");
            QCOMPARE(w.recording.documents.size(), printed);
            QCOMPARE(w.messages.shown.size(), size_t(2));
            QVERIFY(w.messages.last().contains(QStringLiteral("履歴には記録されていません")));
        }
    }
};

QTEST_MAIN(BooksTest)
#include "tst_books.moc"
