// The small dialog-control helpers: text of a control, tool tips, combo and list boxes, and the
// operations applied to up to ten controls at once. Controls are found by their "controlId"
// property among the dialog's descendants. Window thread only.

#include "sorvak.h"
#include "sorvak_widgets.h"

#include "helpers/utf.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTextEdit>

#include <algorithm>
#include <array>
#include <cstring>

namespace {

// The control-text area of wmGetText: 260 bytes with the terminator.
char g_controlText[260];

QString textOfControl(const QWidget* control)
{
    if (auto* edit = qobject_cast<const QLineEdit*>(control))
        return edit->text();
    if (auto* combo = qobject_cast<const QComboBox*>(control))
        return combo->isEditable() && combo->lineEdit() ? combo->lineEdit()->text() : combo->currentText();
    if (auto* button = qobject_cast<const QAbstractButton*>(control))
        return button->text();
    if (auto* label = qobject_cast<const QLabel*>(control))
        return label->text();
    if (auto* plain = qobject_cast<const QPlainTextEdit*>(control))
        return plain->toPlainText();
    if (auto* rich = qobject_cast<const QTextEdit*>(control))
        return rich->toPlainText();
    if (auto* group = qobject_cast<const QGroupBox*>(control))
        return group->title();
    if (auto* spin = qobject_cast<const QAbstractSpinBox*>(control))
        return spin->text();
    return control->windowTitle();
}

QWidget* dialogControl(void* dialog, int id)
{
    return sorvak::findControl(static_cast<QWidget*>(dialog), id);
}

}

char* wmGetText(void* dialog, int controlId)
{
    std::memset(g_controlText, 0, sizeof g_controlText);
    QWidget* control = dialogControl(dialog, controlId);
    if (!control)
        return g_controlText;
    const QByteArray text = textOfControl(control).toUtf8();
    sorvak::copyUtf8Cut(g_controlText, sizeof g_controlText, text.constData(), static_cast<std::size_t>(text.size()));
    return g_controlText;
}

// Qt shows tool tips itself; the tooltip window the caller made (which may be null) takes no part.
int AddToolTip(void* dialog, void* /*toolTip*/, int controlId, const char* text)
{
    QWidget* control = dialogControl(dialog, controlId);
    if (!control)
        return 0;
    control->setToolTip(QString::fromUtf8(text ? text : ""));
    return 1;
}

int AddComboStrings(void* dialog, int comboId, const char* texts, int resize, int height, int index)
{
    auto* combo = qobject_cast<QComboBox*>(dialogControl(dialog, comboId));
    if (!combo)
        return -1;
    // Adding texts selects nothing: Qt would select the first text added to an empty box.
    const int selected = combo->currentIndex();
    if (texts) {
        for (const char* text = texts; *text; text += std::strlen(text) + 1)
            combo->addItem(QString::fromUtf8(text));
    }
    combo->setCurrentIndex(selected);
    if (!resize)
        return 0;
    // The height is that of the box with its dropped-down list, as a combo box measures itself
    // elsewhere; here the box keeps its size and the list shows as many rows as fit below it.
    int rowHeight = combo->view()->sizeHintForRow(0);
    if (rowHeight <= 0)
        rowHeight = combo->fontMetrics().height();
    combo->setMaxVisibleItems(std::max(1, (height - combo->height()) / rowHeight));
    if (index < 0 || index >= combo->count()) {
        combo->setCurrentIndex(-1);
        return -1;
    }
    combo->setCurrentIndex(index);
    return index;
}

int LBDeleteSelected(void* dialog, int listBoxId)
{
    auto* list = qobject_cast<QListWidget*>(dialogControl(dialog, listBoxId));
    if (!list)
        return 0;
    while (!list->selectedItems().isEmpty()) {
        int row = 0;
        while (row < list->count() && !list->item(row)->isSelected())
            ++row;
        if (row == list->count())
            break;
        delete list->takeItem(row);
    }
    return 0;
}

void EnableWindows10(void* dialog, int enable, int id1, int id2, int id3, int id4, int id5, int id6, int id7,
                     int id8, int id9, int id10)
{
    for (int id : std::array {id1, id2, id3, id4, id5, id6, id7, id8, id9, id10}) {
        if (QWidget* control = dialogControl(dialog, id))
            control->setEnabled(enable != 0);
    }
}

int SetFonts10(void* dialog, int id1, int id2, int id3, int id4, int id5, int id6, int id7, int id8, int id9,
               int id10, void* font)
{
    // No font means the system's own, as with a null font handle.
    const QFont chosen = font ? *static_cast<const QFont*>(font) : QFont();
    for (int id : std::array {id1, id2, id3, id4, id5, id6, id7, id8, id9, id10}) {
        if (QWidget* control = dialogControl(dialog, id))
            control->setFont(chosen);
    }
    // Setting a font has no result of its own.
    return 0;
}
