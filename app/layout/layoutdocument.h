#pragma once
// The layout being edited in the layout window: its items, which one is
// chosen, and every change as a step that can be undone and redone.
#include "print/layout.h"

#include <QObject>
#include <QPointF>
#include <QUndoStack>
#include <optional>

namespace app {

// An item of a layout: one of its texts or one of its marks, by index.
struct LayoutItem {
    enum class Kind { Text, Mark };
    Kind kind = Kind::Text;
    int index = 0;
    bool operator==(const LayoutItem&) const = default;
};

// The place an item is set by, in mm from the layout's origin.
QPointF placeOf(const print::Layout& layout, LayoutItem item);
// What the user calls the item: お届け先の住所1, 配達時間帯の○印「午前」.
QString itemCaption(const print::Layout& layout, LayoutItem item);
QString markCaption(print::MarkChoice choice);

class LayoutDocument final : public QObject {
    Q_OBJECT
public:
    explicit LayoutDocument(QObject* parent = nullptr);

    const print::Layout& layout() const { return m_layout; }
    // A layout to edit from its beginning: nothing to undo, nothing changed.
    void open(const print::Layout& layout);
    // Whether it differs from the layout as opened or last saved.
    bool modified() const { return !m_undo.isClean(); }
    void markSaved() { m_undo.setClean(); }
    QUndoStack& undoStack() { return m_undo; }

    // One step: the whole layout as it is to be, under `what` (元に戻す: …).
    // A step that changes nothing is not taken.
    void change(const print::Layout& changed, const QString& what);
    // While an item is dragged: shown at once, one step when it ends.
    void preview(const print::Layout& changed);
    void endPreview(const QString& what);
    bool previewing() const { return m_beforePreview.has_value(); }

    // Moves the chosen item by this much, rounded to 0.1 mm.
    void moveChosenBy(QPointF deltaMm, const QString& what);
    // Sets the chosen item's place, rounded to 0.1 mm.
    void placeChosenAt(QPointF placeMm, const QString& what);
    // The same while it is dragged: one step when the drag ends (endPreview).
    void dragChosenTo(QPointF placeMm);

    std::optional<LayoutItem> chosen() const { return m_chosen; }
    void choose(std::optional<LayoutItem> item);
    // Adds a text or a mark after the others, and chooses it.
    void addText(const print::LayoutText& text);
    void addMark(const print::LayoutMark& mark);
    void removeChosen();

signals:
    // After any change of the layout, by a step, an undo or a redo.
    void changed();
    void chosenChanged();

private:
    friend class LayoutStep;
    void apply(const print::Layout& layout, std::optional<LayoutItem> chosen);
    print::Layout withChosenAt(QPointF placeMm) const;

    print::Layout m_layout;
    std::optional<LayoutItem> m_chosen;
    std::optional<print::Layout> m_beforePreview;
    QUndoStack m_undo;
};

// Millimetres as a layout keeps them: whole tenths.
double roundedToTenthMm(double mm);

} // namespace app
