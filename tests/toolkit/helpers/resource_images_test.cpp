// BitmapButtonXP and LoadResourceJpeg read pictures from Qt resources named ":/BITMAP/<id>" and
// ":/BINARY/<id>". The test draws its pictures, packs them with Qt's resource compiler and
// registers the package, as a program's own resources would be.

#include "sorvak.h"
#include "sorvak_widgets.h"

#include "support/temporary_folder.h"

#include <QImage>
#include <QPushButton>
#include <QResource>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace {

using wavelark::testing::TemporaryFolder;
using wavelark::testing::writeFile;

constexpr int kButtonBitmap = 600;
constexpr int kPlainBitmap = 601;
constexpr int kHeaderPicture = 117;
constexpr QRgb kMagenta = qRgb(255, 0, 255);
const QRgb kHeaderColour = qRgb(200, 100, 50);
const QRgb kFooterColour = qRgb(20, 40, 220);

void expectNear(QRgb pixel, QRgb wanted)
{
    EXPECT_NEAR(qRed(pixel), qRed(wanted), 8);
    EXPECT_NEAR(qGreen(pixel), qGreen(wanted), 8);
    EXPECT_NEAR(qBlue(pixel), qBlue(wanted), 8);
}

class ResourceImagesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static TemporaryFolder folder;
        // Two 16 x 16 images side by side: red and green, each with a magenta top left corner.
        QImage buttons(32, 16, QImage::Format_RGB32);
        buttons.fill(qRgb(255, 0, 0));
        for (int x = 16; x < 32; ++x) {
            for (int y = 0; y < 16; ++y)
                buttons.setPixel(x, y, qRgb(0, 255, 0));
        }
        buttons.setPixel(0, 0, kMagenta);
        buttons.setPixel(16, 0, kMagenta);
        ASSERT_TRUE(buttons.save(QString::fromStdString(folder.file("buttons.bmp")), "BMP"));
        QImage plain(8, 8, QImage::Format_RGB32);
        plain.fill(qRgb(0, 0, 255));
        plain.setPixel(0, 0, qRgb(1, 2, 3));
        ASSERT_TRUE(plain.save(QString::fromStdString(folder.file("plain.bmp")), "BMP"));
        QImage header(40, 30, QImage::Format_RGB32);
        header.fill(kHeaderColour);
        for (int y = 15; y < 30; ++y) {
            for (int x = 0; x < 40; ++x)
                header.setPixel(x, y, kFooterColour);
        }
        ASSERT_TRUE(header.save(QString::fromStdString(folder.file("header.jpg")), "JPEG", 95));
        writeFile(folder.path() / "pictures.qrc",
                  "<RCC><qresource prefix=\"/BITMAP\"><file alias=\"600\">buttons.bmp</file>"
                  "<file alias=\"601\">plain.bmp</file></qresource>"
                  "<qresource prefix=\"/BINARY\"><file alias=\"117\">header.jpg</file></qresource></RCC>");
        const std::string command = std::string("'") + WAVELARK_RCC_PATH + "' --binary -o '" + folder.file("pictures.rcc")
                                    + "' '" + folder.file("pictures.qrc") + "'";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        ASSERT_TRUE(QResource::registerResource(QString::fromStdString(folder.file("pictures.rcc"))));
    }

    ResourceImagesTest()
    {
        m_button = new QPushButton(QStringLiteral("Record"), &m_dialog);
        sorvak::setControlId(m_button, 1006);
        m_toolButton = new QToolButton(&m_dialog);
        sorvak::setControlId(m_toolButton, 1007);
    }

    std::unique_ptr<sorvak::ImageList> bitmapButton(int bitmapId, int buttonId, int alignment, uint32_t mask, QFont* font)
    {
        return std::unique_ptr<sorvak::ImageList>(static_cast<sorvak::ImageList*>(
            BitmapButtonXP(nullptr, &m_dialog, bitmapId, buttonId, 16, 16, 2, 1, alignment, mask, font)));
    }

    QWidget m_dialog;
    QPushButton* m_button;
    QToolButton* m_toolButton;
};

TEST_F(ResourceImagesTest, BitmapButtonCutsTheBitmapAndMasksItsColour)
{
    QFont font(QStringLiteral("Sans"), 7);
    const auto list = bitmapButton(kButtonBitmap, 1006, 0, 0x00FF00FF, &font);
    ASSERT_TRUE(list);
    EXPECT_EQ(list->imageSize, QSize(16, 16));
    ASSERT_EQ(list->images.size(), 2);
    EXPECT_EQ(qAlpha(list->images[0].pixel(0, 0)), 0);
    EXPECT_EQ(list->images[0].pixel(5, 5), qRgb(255, 0, 0));
    EXPECT_EQ(qAlpha(list->images[1].pixel(0, 0)), 0);
    EXPECT_EQ(list->images[1].pixel(5, 5), qRgb(0, 255, 0));
    EXPECT_EQ(list->margins, QMargins(2, 1, 0, 0));
    EXPECT_FALSE(m_button->icon().isNull());
    // The margins are transparent space left of and above the image.
    EXPECT_EQ(m_button->iconSize(), QSize(18, 17));
    EXPECT_EQ(m_button->font(), font);
}

TEST_F(ResourceImagesTest, DefaultMaskColourIsTheTopLeftPixel)
{
    const auto list = bitmapButton(kPlainBitmap, 1007, 2, 0xFF000000, nullptr);
    ASSERT_TRUE(list);
    // An 8-pixel-wide bitmap holds no whole 16-pixel image.
    EXPECT_TRUE(list->images.isEmpty());
    const auto narrow = std::unique_ptr<sorvak::ImageList>(static_cast<sorvak::ImageList*>(
        BitmapButtonXP(nullptr, &m_dialog, kPlainBitmap, 1007, 8, 8, 0, 0, 2, 0xFF000000, nullptr)));
    ASSERT_TRUE(narrow);
    ASSERT_EQ(narrow->images.size(), 1);
    EXPECT_EQ(qAlpha(narrow->images[0].pixel(0, 0)), 0);
    EXPECT_EQ(narrow->images[0].pixel(1, 1), qRgb(0, 0, 255));
    EXPECT_EQ(m_toolButton->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
}

TEST_F(ResourceImagesTest, BitmapButtonNeedsTheBitmapAndTheButton)
{
    EXPECT_FALSE(bitmapButton(9999, 1006, 0, 0x00FF00FF, nullptr));
    EXPECT_FALSE(bitmapButton(kButtonBitmap, 4242, 0, 0x00FF00FF, nullptr));
    EXPECT_TRUE(m_button->icon().isNull());
}

TEST_F(ResourceImagesTest, LoadResourceJpegDecodesThePictureUpright)
{
    std::unique_ptr<QImage> picture(static_cast<QImage*>(LoadResourceJpeg(nullptr, &m_dialog, kHeaderPicture)));
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->size(), QSize(40, 30));
    EXPECT_EQ(picture->format(), QImage::Format_RGB32);
    expectNear(picture->pixel(0, 0), kHeaderColour);
    expectNear(picture->pixel(20, 4), kHeaderColour);
    expectNear(picture->pixel(20, 26), kFooterColour);
    expectNear(picture->pixel(39, 29), kFooterColour);
    EXPECT_EQ(LoadResourceJpeg(nullptr, nullptr, 9999), nullptr);
}

}
