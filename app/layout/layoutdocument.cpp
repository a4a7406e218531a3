#include "app/layout/layoutdocument.h"

#include <cmath>

namespace app {

double roundedToTenthMm(double mm) { return std::round(mm * 10.0) / 10.0; }

QPointF placeOf(const print::Layout& layout, LayoutItem item)
{
    if (item.kind == LayoutItem::Kind::Text) {
        const print::LayoutText& t = layout.texts.at(size_t(item.index));
        return {t.xMm, t.yMm};
    }
    const print::LayoutMark& m = layout.marks.at(size_t(item.index));
    return {m.xMm, m.yMm};
}

QString itemCaption(const print::Layout& layout, LayoutItem item)
{
    if (item.kind == LayoutItem::Kind::Text)
        return print::captionOf(layout.texts.at(size_t(item.index)));
    return markCaption(layout.marks.at(size_t(item.index)).choice);
}

QString markCaption(print::MarkChoice choice)
{
    return QStringLiteral("%1の○印「%2」")
        .arg(choice < print::MarkChoice::NoticeWanted ? QStringLiteral("配達時間帯") : QStringLiteral("お届け通知"),
             print::captionOf(choice));
}

// One change of the layout: the layouts before and after, with the item
// chosen in each.
class LayoutStep final : public QUndoCommand {
public:
    LayoutStep(LayoutDocument& document, print::Layout before, print::Layout after,
               std::optional<LayoutItem> chosenBefore, std::optional<LayoutItem> chosenAfter, const QString& what)
        : QUndoCommand(what), m_document(document), m_before(std::move(before)), m_after(std::move(after)),
          m_chosenBefore(chosenBefore), m_chosenAfter(chosenAfter)
    {}
    void undo() override { m_document.apply(m_before, m_chosenBefore); }
    void redo() override { m_document.apply(m_after, m_chosenAfter); }

private:
    LayoutDocument& m_document;
    print::Layout m_before, m_after;
    std::optional<LayoutItem> m_chosenBefore, m_chosenAfter;
};

LayoutDocument::LayoutDocument(QObject* parent) : QObject(parent) {}

void LayoutDocument::open(const print::Layout& layout)
{
    m_beforePreview.reset();
    m_undo.clear();
    m_layout = layout;
    m_chosen.reset();
    emit changed();
    emit chosenChanged();
}

void LayoutDocument::apply(const print::Layout& layout, std::optional<LayoutItem> chosen)
{
    m_layout = layout;
    const bool chosenMoved = chosen != m_chosen;
    m_chosen = chosen;
    emit changed();
    if (chosenMoved)
        emit chosenChanged();
}

void LayoutDocument::change(const print::Layout& changed, const QString& what)
{
    if (changed == m_layout)
        return;
    // Pushing runs the step's redo, which applies the change.
    m_undo.push(new LayoutStep(*this, m_layout, changed, m_chosen, m_chosen, what));
}

void LayoutDocument::preview(const print::Layout& changed)
{
    if (!m_beforePreview)
        m_beforePreview = m_layout;
    m_layout = changed;
    emit this->changed();
}

void LayoutDocument::endPreview(const QString& what)
{
    if (!m_beforePreview)
        return;
    const print::Layout after = m_layout;
    m_layout = *std::exchange(m_beforePreview, std::nullopt);
    change(after, what);
}

print::Layout LayoutDocument::withChosenAt(QPointF placeMm) const
{
    print::Layout changed = m_layout;
    if (!m_chosen)
        return changed;
    const double x = roundedToTenthMm(placeMm.x()), y = roundedToTenthMm(placeMm.y());
    if (m_chosen->kind == LayoutItem::Kind::Text) {
        changed.texts[size_t(m_chosen->index)].xMm = x;
        changed.texts[size_t(m_chosen->index)].yMm = y;
    } else {
        changed.marks[size_t(m_chosen->index)].xMm = x;
        changed.marks[size_t(m_chosen->index)].yMm = y;
    }
    return changed;
}

void LayoutDocument::moveChosenBy(QPointF deltaMm, const QString& what)
{
    if (m_chosen)
        change(withChosenAt(placeOf(m_layout, *m_chosen) + deltaMm), what);
}

void LayoutDocument::placeChosenAt(QPointF placeMm, const QString& what)
{
    if (m_chosen)
        change(withChosenAt(placeMm), what);
}

void LayoutDocument::dragChosenTo(QPointF placeMm)
{
    if (m_chosen)
        preview(withChosenAt(placeMm));
}

void LayoutDocument::choose(std::optional<LayoutItem> item)
{
    if (item == m_chosen)
        return;
    m_chosen = item;
    emit chosenChanged();
}

void LayoutDocument::addText(const print::LayoutText& text)
{
    print::Layout changed = m_layout;
    changed.texts.push_back(text);
    const LayoutItem added{LayoutItem::Kind::Text, int(changed.texts.size()) - 1};
    m_undo.push(new LayoutStep(*this, m_layout, changed, m_chosen, added,
                               QStringLiteral("%1の欄を追加").arg(print::captionOf(text))));
}

void LayoutDocument::addMark(const print::LayoutMark& mark)
{
    print::Layout changed = m_layout;
    changed.marks.push_back(mark);
    const LayoutItem added{LayoutItem::Kind::Mark, int(changed.marks.size()) - 1};
    m_undo.push(new LayoutStep(*this, m_layout, changed, m_chosen, added,
                               QStringLiteral("○印「%1」を追加").arg(print::captionOf(mark.choice))));
}

void LayoutDocument::removeChosen()
{
    if (!m_chosen)
        return;
    print::Layout changed = m_layout;
    const QString what = QStringLiteral("%1を削除").arg(itemCaption(m_layout, *m_chosen));
    if (m_chosen->kind == LayoutItem::Kind::Text)
        changed.texts.erase(changed.texts.begin() + m_chosen->index);
    else
        changed.marks.erase(changed.marks.begin() + m_chosen->index);
    m_undo.push(new LayoutStep(*this, m_layout, changed, m_chosen, std::nullopt, what));
}

} // namespace app
