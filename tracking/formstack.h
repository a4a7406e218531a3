#pragma once
// The stack of pre-printed forms loaded in one printer: its carrier and the
// number on the next form. Every form used moves it on; the numbers a job
// will use are known before it is sent.
//
// How the print flow uses it:
//   1. before sending a job of N waybill pages: peek(N) (or
//      FormStackStore::load + peek) gives the number each page goes on, and
//      fails before anything is printed when the stack cannot supply them;
//   2. once the spooler accepted the job: FormStackStore::take(key, N)
//      moves the stored stack by N and returns the numbers used, to record
//      per page in the history. A refused or cancelled job takes nothing;
//   3. 「1枚飛ばす」: FormStackStore::spoil(key) gives the torn form's number
//      to record as spoiled; 「伝票を入れ替える」: save() with a new stack.
#include "tracking/trackingnumber.h"

#include <QList>
#include <QString>
#include <optional>

namespace tracking {

class FormStack {
public:
    explicit FormStack(TrackingNumber nextForm) : m_next(std::move(nextForm)) {}

    Carrier carrier() const { return m_next.carrier(); }
    // The number printed on the form the printer takes next.
    const TrackingNumber& nextForm() const { return m_next; }

    // The numbers the next `formCount` forms carry, in order, without moving.
    // Fails (and then advance() would too) when the numbers run out within
    // them or on the form after them; a successful peek(n) guarantees that
    // advance(n) succeeds.
    Result<QList<TrackingNumber>> peek(int formCount) const;
    // Uses `formCount` forms: returns their numbers and moves the stack on
    // past them. Nothing moves when it fails.
    Result<QList<TrackingNumber>> advance(int formCount);
    // One form torn or misprinted: its number, and the stack moves on by one.
    Result<TrackingNumber> spoil();
    // A new stack loaded (伝票を入れ替える), possibly of another carrier.
    void replace(TrackingNumber nextForm) { m_next = std::move(nextForm); }

private:
    // The numbers of `formCount` forms and the number after them.
    Result<QList<TrackingNumber>> numbers(int formCount, TrackingNumber* after) const;

    TrackingNumber m_next;
};

// Keeps stacks in the program's settings file (INI), one per key: the
// print queue's name today; a version with several stations can pass a key
// made of station and queue. Each key is a group formStacks/<key> (the key
// with characters other than letters, digits, _ and - as .XX per UTF-8
// byte) with the entries
//   carrierToken          the carrier's command-line word (carrierToken())
//   nextFormNumberDigits  the next form's number, digits only
//   senderPrePrinted      true when the forms carry the sender printed
// Every call reads the file afresh, so the window and a command line
// started beside it see each other's moves; changes are made under a lock
// file next to the settings file, so two programs never hand out the same
// form.
class FormStackStore {
public:
    // Writes are refused while the disk has less than `minimumFreeBytes`
    // free: there, Qt 6.4 can replace the settings file with an empty one
    // and report success. Changes wait up to 5 s for another program's.
    static constexpr qint64 kMinimumFreeBytes = 1024 * 1024;
    explicit FormStackStore(QString settingsFilePath, qint64 minimumFreeBytes = kMinimumFreeBytes)
        : m_settingsFilePath(std::move(settingsFilePath)), m_minimumFreeBytes(minimumFreeBytes)
    {}

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
    class Lock;
    // `stackKey` with every character but letters, digits, _ and - written
    // as .XX per UTF-8 byte.
    static QString settingsKeyPart(const QString& stackKey);
    // Whether the file on disk holds this stack's entries.
    bool fileHolds(const QString& stackKey, const QString& token, const QString& digits) const;
    Result<void> write(const QString& stackKey, const std::optional<FormStack>& stack) const;

    QString m_settingsFilePath;
    qint64 m_minimumFreeBytes;
};

} // namespace tracking
