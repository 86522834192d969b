// A frame drawn around the widget that has the keyboard focus, for controls whose own painting
// shows none (the sliders under their style sheet, the checkboxes without a caption, the
// waveform view). It is a sibling laid over the control, transparent for the mouse, shown once
// the window's focus has moved by the keyboard (Tab, a shortcut), as the style's own focus
// rectangles are. Window thread only.
#pragma once

#include <QColor>
#include <QPointer>
#include <QSet>
#include <QWidget>

namespace wavelark {

// The colour of every focus frame the program draws itself (the large buttons' too).
inline const QColor kFocusFrameColour(18, 96, 160);

class FocusRing : public QWidget {
public:
    // parent is the area the watched controls lie in; the ring is owned by it.
    explicit FocusRing(QWidget* parent);

    // Draws the frame around control while it has the focus; control must be a child of the
    // ring's parent.
    void watch(QWidget* control);
    // The control framed now, null when the ring is hidden.
    QWidget* framed() const { return m_framed; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void focusMoved(QWidget* now);

    QSet<QWidget*> m_watched;
    QPointer<QWidget> m_framed;
};

}
