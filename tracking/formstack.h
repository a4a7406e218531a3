#pragma once
// The stack of pre-printed forms loaded in one printer: its carrier and the
// number on the next form. Every form used moves it on; the numbers a job
// will use are known before it is sent.
//
// How the print flow uses it:
//   1. before sending a job of N waybill pages: FormStackStore::reserve(key,
//      N) holds the stacks (no other program hands out a form meanwhile) and
//      gives the number each page goes on, or fails before anything is
//      printed: the numbers run out, or another program held the stacks
//      longer than the wait;
//   2. once the spooler accepted the job: Reservation::commit() moves the
//      stored stack past the N forms. A refused or cancelled job commits
//      nothing, and the stack stays where it was;
//   3. 「1枚飛ばす」: FormStackStore::spoil(key) gives the torn form's number
//      to record as spoiled; 「伝票を入れ替える」: save() with a new stack.
// peek() and load() say what the next forms would be, for showing only.
#include "tracking/trackingnumber.h"

#include <QList>
#include <QString>
#include <memory>
#include <optional>

namespace tracking {

class FormStack {
public:
    // A stack whose next number was typed or scanned; `typed` false for
    // one worked out from the forms before it.
    explicit FormStack(TrackingNumber nextForm, bool usedUp = false, bool typed = true)
        : m_next(std::move(nextForm)), m_usedUp(usedUp), m_typed(typed)
    {}

    Carrier carrier() const { return m_next.carrier(); }
    // The number printed on the form the printer takes next; for a stack
    // used up, the number of its last form, which was used.
    const TrackingNumber& nextForm() const { return m_next; }
    // The last form of the numbers' range was used: no form is left (a
    // number with no successor of its width, 9999-9999-999x).
    bool usedUp() const { return m_usedUp; }
    // The next form's number is the one the user gave, not one worked out
    // by the carrier's rule from the form before it.
    bool typed() const { return m_typed; }

    // The numbers the next `formCount` forms carry, in order, without moving.
    // Fails (and then advance() would too) when the numbers run out within
    // them; the last form of a range can be used, and the stack is then used
    // up. A successful peek(n) guarantees that advance(n) succeeds.
    Result<QList<TrackingNumber>> peek(int formCount) const;
    // Uses `formCount` forms: returns their numbers and moves the stack on
    // past them. Nothing moves when it fails.
    Result<QList<TrackingNumber>> advance(int formCount);
    // One form torn or misprinted: its number, and the stack moves on by one.
    Result<TrackingNumber> spoil();
    // A new stack loaded (伝票を入れ替える), possibly of another carrier.
    void replace(TrackingNumber nextForm)
    {
        m_next = std::move(nextForm);
        m_usedUp = false;
        m_typed = true;
    }

private:
    // The numbers of `formCount` forms and the stack after them.
    Result<QList<TrackingNumber>> numbers(int formCount, FormStack* after) const;

    TrackingNumber m_next;
    bool m_usedUp = false;
    bool m_typed = true;
};

// Keeps stacks in the program's settings file (INI), one per key: the
// print queue's name today; a version with several stations can pass a key
// made of station and queue. Each key is a group formStacks/<key> (the key
// with characters other than letters, digits, _ and - as .XX per UTF-8
// byte) with the entries
//   carrierToken          the carrier's command-line word (carrierToken())
//   nextFormNumberDigits  the next form's number, digits only
//   usedUp                true once the last form of the range was used
//                         (then nextFormNumberDigits is that form's)
//   nextFormTyped         true while the next number is the one the user
//                         gave (absent: worked out from the forms before)
//   senderPrePrinted      true when the forms carry the sender printed
// Every call reads the file afresh, so the window and a command line
// started beside it see each other's moves; changes are made under a lock
// file next to the settings file, so two programs never hand out the same
// form.
class FormStackStore {
public:
    // Writes are refused while the disk has less than `minimumFreeBytes`
    // free: there, Qt 6.4 can replace the settings file with an empty one
    // and report success. Changes wait up to `lockWaitMs` for another
    // program's change or print to end, then fail saying so.
    static constexpr qint64 kMinimumFreeBytes = 1024 * 1024;
    // Long enough for a slow disk or a short document of another program,
    // short enough that a stuck program is told.
    static constexpr int kLockWaitMs = 5000;
    explicit FormStackStore(QString settingsFilePath, qint64 minimumFreeBytes = kMinimumFreeBytes,
                            int lockWaitMs = kLockWaitMs)
        : m_settingsFilePath(std::move(settingsFilePath)), m_minimumFreeBytes(minimumFreeBytes),
          m_lockWaitMs(lockWaitMs)
    {}

    class Lock;
    // The next forms of one stack held for one document: while it lives no
    // other program (nor another store in this one) changes any stack.
    class Reservation {
    public:
        Reservation(std::unique_ptr<Lock> lock, const FormStackStore& store, QString stackKey,
                    std::optional<FormStack> stack, QList<TrackingNumber> numbers);
        ~Reservation();
        Reservation(const Reservation&) = delete;
        Reservation& operator=(const Reservation&) = delete;

        // The numbers the forms carry, in order; empty when no stack is set
        // (the forms carry no number the program knows).
        const QList<TrackingNumber>& numbers() const { return m_numbers; }
        // The stack as it will be after these forms.
        const std::optional<FormStack>& stackAfter() const { return m_after; }
        // The first number is the one the user gave (the rest, and a first
        // worked out from earlier forms, follow by the carrier's rule).
        bool firstNumberTyped() const { return m_firstTyped; }
        // The forms were used: the stored stack moves past them. Once.
        Result<void> commit();

    private:
        std::unique_ptr<Lock> m_lock;
        std::unique_ptr<FormStackStore> m_store; // a copy: stores are made and dropped freely
        QString m_stackKey;
        std::optional<FormStack> m_after;
        QList<TrackingNumber> m_numbers;
        bool m_firstTyped = false;
        bool m_committed = false;

        friend class FormStackStore;
    };
    // Holds the stacks and the next `formCount` forms of `stackKey`; with
    // `loaded`, that stack is saved first (the first form's number given for
    // this print). Fails before anything moves when another program holds
    // the stacks longer than the wait, the stack cannot be read or its
    // numbers run out.
    Result<std::unique_ptr<Reservation>> reserve(const QString& stackKey, int formCount,
                                                 const std::optional<FormStack>& loaded = {}) const;

    // The stack kept under `stackKey`, nothing when none was set, or why it
    // cannot be read (a damaged entry is reported, never taken as a stack).
    Result<std::optional<FormStack>> load(const QString& stackKey) const;
    // Sets (or replaces) the stack under `stackKey`.
    Result<void> save(const QString& stackKey, const FormStack& stack) const;
    // Forgets the stack under `stackKey`: the printer's forms carry no
    // number the program knows.
    Result<void> remove(const QString& stackKey) const;

    // Moves the stored stack by `formCount` forms and returns their numbers;
    // an empty list when no stack is set for `stackKey` (the forms carry no
    // number the program knows). Nothing moves when it fails; when the forms
    // were already printed, the caller records the numbers peek() gave and
    // tells the user the next form's number could not be kept.
    Result<QList<TrackingNumber>> take(const QString& stackKey, int formCount) const;
    // One stored form spoiled: its number. Fails when no stack is set.
    Result<TrackingNumber> spoil(const QString& stackKey) const;

    // Whether the forms under `stackKey` carry the sender printed on them,
    // so the check before a print asks for none; false until set. Kept
    // apart from the stack: a new stack of the same forms keeps it.
    bool senderPrePrinted(const QString& stackKey) const;
    Result<void> setSenderPrePrinted(const QString& stackKey, bool prePrinted) const;

    // The settings group of `stackKey`.
    static QString settingsGroup(const QString& stackKey);

private:
    Result<std::unique_ptr<Lock>> lock() const;
    // `stackKey` with every character but letters, digits, _ and - written
    // as .XX per UTF-8 byte.
    static QString settingsKeyPart(const QString& stackKey);
    // Whether the file on disk holds this stack's entries.
    bool fileHolds(const QString& stackKey, const QString& token, const QString& digits) const;
    Result<void> write(const QString& stackKey, const std::optional<FormStack>& stack) const;

    QString m_settingsFilePath;
    qint64 m_minimumFreeBytes;
    int m_lockWaitMs;
};

} // namespace tracking
