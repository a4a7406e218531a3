#pragma once
// The side panel of the layout window: the layout's items in a list, and
// the chosen item's value, place, width, size, alignment and fitting
// floors as numbers to type; the form's size and the marks' radius.
#include "app/layout/layoutdocument.h"

#include <QWidget>
#include <functional>

class QComboBox;
class QDoubleSpinBox;
class QFormLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;

namespace app {

class LayoutItemPanel final : public QWidget {
    Q_OBJECT
public:
    explicit LayoutItemPanel(LayoutDocument& document, QWidget* parent = nullptr);

    QListWidget* items() const { return m_items; }
    QComboBox* value() const { return m_value; }
    QSpinBox* index() const { return m_index; }
    QLineEdit* fixedText() const { return m_fixedText; }
    QLineEdit* dateFormat() const { return m_dateFormat; }
    QComboBox* markChoice() const { return m_markChoice; }
    QDoubleSpinBox* xMm() const { return m_x; }
    QDoubleSpinBox* yMm() const { return m_y; }
    QDoubleSpinBox* widthMm() const { return m_width; }
    QDoubleSpinBox* sizePt() const { return m_size; }
    QComboBox* align() const { return m_align; }
    QDoubleSpinBox* fitWidthPercent() const { return m_fitWidth; }
    QDoubleSpinBox* fitSizePt() const { return m_fitSize; }
    QDoubleSpinBox* formWidthMm() const { return m_formWidth; }
    QDoubleSpinBox* formLengthMm() const { return m_formLength; }
    QDoubleSpinBox* markRadiusMm() const { return m_markRadius; }
    QPushButton* addTextButton() const { return m_addText; }
    QPushButton* addMarkButton() const { return m_addMark; }
    QPushButton* removeButton() const { return m_remove; }

private:
    void showLayout();
    void showChosen();
    // One step changing the chosen text or mark, or the layout itself.
    void editText(const std::function<void(print::LayoutText&)>& edit, const QString& what);
    void editMark(const std::function<void(print::LayoutMark&)>& edit, const QString& what);
    void editLayout(const std::function<void(print::Layout&)>& edit, const QString& what);
    void valueChosen(int row);

    LayoutDocument& m_document;
    bool m_showing = false;
    QListWidget* m_items;
    QPushButton* m_addText;
    QPushButton* m_addMark;
    QPushButton* m_remove;
    QGroupBox* m_itemBox;
    QFormLayout* m_itemForm;
    QComboBox* m_value;
    QSpinBox* m_index;
    QLineEdit* m_fixedText;
    QLineEdit* m_dateFormat;
    QComboBox* m_markChoice;
    QDoubleSpinBox* m_x;
    QDoubleSpinBox* m_y;
    QDoubleSpinBox* m_width;
    QDoubleSpinBox* m_size;
    QComboBox* m_align;
    QDoubleSpinBox* m_fitWidth;
    QDoubleSpinBox* m_fitSize;
    QDoubleSpinBox* m_formWidth;
    QDoubleSpinBox* m_formLength;
    QDoubleSpinBox* m_markRadius;
};

} // namespace app
