// The shared drawing resources: created once at start-up from the embedded skin, released at
// shutdown. Window thread only.
#pragma once

#include <QBrush>
#include <QCursor>
#include <QFont>
#include <QIcon>
#include <QImage>
#include <QPen>
#include <QPixmap>
#include <QSize>

#include <array>

namespace wavelark {

// The two images of a large button: image 0 the bitmap, image 1 its grey copy (every pixel that
// is not pure white becomes grey, each channel the truncated mean of red, green and blue). White
// is transparent in both.
struct ButtonImages {
    QPixmap normal;
    QPixmap grey;
};

// Builds the two images from a 16 x 16 bitmap on white.
ButtonImages makeButtonImages(const QImage& bitmap);

// The large font's character cell in pixels.
inline constexpr QSize kLargeFontCell(24, 48);

enum class LargeButton { Record = 0, Play = 1, Import = 2, Save = 3 };

struct Skin {
    QImage background;        // 105, 800 x 404: the window and label background pattern
    QImage meterLit;          // 107, 22 x 337
    QImage meterUnlit;        // 108, 22 x 337
    QImage welcomeHeader;     // 117
    QBrush backgroundBrush;
    QBrush meterLitBrush;
    QBrush meterUnlitBrush;
    QBrush whiteBrush{Qt::white};
    QBrush blackBrush{Qt::black};
    QPen navyPen{QColor(0, 0, 128)};
    QPen whitePen{QColor(255, 255, 255)};
    QPen blackPen{QColor(0, 0, 0)};
    QPen greyPen{QColor(128, 128, 128)};
    QPen redPen{QColor(255, 0, 0)};
    QCursor edgeCursor;       // 114, the selection-edge cursor
    QCursor arrowCursor{Qt::ArrowCursor};
    QFont smallFont;          // all control texts
    QFont largeFont;          // the recording caption: a 48 x 24 pixel cell, weight 100
    QIcon programIcon;        // 102
    std::array<ButtonImages, 4> buttonImages;  // indexed by LargeButton

    const ButtonImages& images(LargeButton button) const { return buttonImages[static_cast<int>(button)]; }
};

// Loads every resource. Returns false (and names the missing one in error) when the embedded
// skin is incomplete, which only a broken build can cause.
bool loadSkin(Skin& skin, QString* error);

}
