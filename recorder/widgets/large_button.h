// The four large buttons of the main window (Record, Play, Import, Save), drawn by the program:
// the window's pattern behind a rounded grey frame, a tinted gradient, a 16 x 16 image and the
// caption in the small font; a frame in kFocusFrameColour while it has the keyboard focus. Its
// accessible name is the first caption ("Record"), a button.
#pragma once

#include "widgets/skin.h"

#include <QColor>
#include <QPushButton>

namespace wavelark {

class LargeButtonWidget : public QPushButton {
public:
    // skin must outlive the button.
    LargeButtonWidget(const QString& caption, const Skin& skin, LargeButton which, QColor tint,
                      QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const Skin& m_skin;
    LargeButton m_which;
    QColor m_tint;
};

// The x of the image inside the button, in pixels.
inline constexpr int kLargeButtonImageX = 35;

}
