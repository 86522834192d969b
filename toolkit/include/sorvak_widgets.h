// Control identifiers of Wavelark's widgets, and the image list that BitmapButtonXP hands back.
//
// Every dialog control carries its numeric identifier in the dynamic property "controlId". The
// toolkit's window helpers (wmGetText, EnableWindows10, SetFonts10, ...) receive a dialog and an
// identifier and look the control up among the dialog's descendants with findControl. Everything
// here is inline, so the recorder, the tests and the toolkit share one definition without any
// C++ symbol crossing the library boundary.
#ifndef SORVAK_WIDGETS_H
#define SORVAK_WIDGETS_H

#include <QImage>
#include <QList>
#include <QMargins>
#include <QSize>
#include <QVariant>
#include <QWidget>

namespace sorvak {

inline constexpr char kControlIdProperty[] = "controlId";

// Gives a widget its control identifier.
inline void setControlId(QWidget* widget, int id)
{
    widget->setProperty(kControlIdProperty, id);
}

// The control identifier of a widget; 0 when it has none.
inline int controlId(const QWidget* widget)
{
    const QVariant id = widget->property(kControlIdProperty);
    return id.isValid() ? id.toInt() : 0;
}

// The first descendant of dialog (children before grandchildren) with the identifier; null
// when dialog is null, id is 0 or no descendant carries it.
inline QWidget* findControl(QWidget* dialog, int id)
{
    if (!dialog || id == 0)
        return nullptr;
    QList<QWidget*> level = dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    while (!level.isEmpty()) {
        QList<QWidget*> next;
        for (QWidget* child : level) {
            if (controlId(child) == id)
                return child;
            next += child->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        }
        level = next;
    }
    return nullptr;
}

// The image list BitmapButtonXP creates from the bitmap resource ":/BITMAP/<id>" (the resource
// type as the prefix, the identifier as the name; LoadResourceJpeg reads ":/BINARY/<id>"). It belongs to the caller, who deletes it; the button
// keeps its own icon made from these images, so deleting the list leaves the button as it is.
struct ImageList {
    QSize imageSize;
    // The bitmap cut into images of imageSize, left to right; pixels of the mask colour are
    // transparent. One image serves every button state; with four or more, image 1 is the
    // hovered state and image 3 the disabled one.
    QList<QImage> images;
    // Left and top margins around the image on the button.
    QMargins margins;
    // 0 left of the text, 1 right, 2 above, 3 below, 4 centred without text.
    int alignment = 0;
};

}

#endif
