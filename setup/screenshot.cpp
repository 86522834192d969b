// Takes the setup program's screenshot: the dialog as it starts, with the agreement box ticked.
// Usage: setup_screenshot <png file>.

#include "setup_dialog.h"

#include "sorvak_widgets.h"

#include <QApplication>
#include <QCheckBox>
#include <QPixmap>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <png file>\n", argv[0]);
        return 2;
    }
    wavelark::setup::SetupDialog dialog;
    dialog.show();
    static_cast<QCheckBox*>(sorvak::findControl(&dialog, wavelark::setup::ids::kAgreement))->setChecked(true);
    QApplication::processEvents();
    if (!dialog.grab().save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "%s could not be written\n", argv[1]);
        return 1;
    }
    return 0;
}
