// The "Program Setup" dialog.

#include "setup_dialog.h"

#include "install_files.h"
#include "setup_payload.h"

#include "widgets/dialog_units.h"
#include "widgets/skin.h"

#include "sorvak_widgets.h"

#include <QCheckBox>
#include <QEvent>
#include <QFileDialog>
#include <QFontMetrics>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>

#include <algorithm>

namespace wavelark::setup {

namespace {

constexpr char kTitle[] = "Wavelark 2.0";
constexpr char kBrowseTitle[] = "Select a Folder to Install to";

// The title's face: Arial (or a face of its metrics) fitted to a 20-pixel cell whose average
// character is 10 pixels wide, bold.
QFont titleFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), QStringLiteral("sans-serif")});
    font.setStyleHint(QFont::SansSerif);
    font.setWeight(QFont::Bold);
    for (int size = 20; size > 1; --size) {
        font.setPixelSize(size);
        if (QFontMetrics(font).height() <= 20)
            break;
    }
    const int average = QFontMetrics(font).averageCharWidth();
    if (average > 0)
        font.setStretch(std::clamp(100 * 10 / average, 1, 4000));
    return font;
}

// The banner across the top with the product's title drawn over it.
class Banner : public QWidget {
public:
    explicit Banner(QWidget* parent)
        : QWidget(parent)
        , m_image(QString::fromLatin1(kBannerResource))
        , m_font(titleFont())
    {
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.drawImage(rect(), m_image);
        painter.setFont(m_font);
        painter.setPen(QColor(255, 144, 176));
        painter.drawText(QRect(70, 20, width() - 70, height() - 20), Qt::AlignLeft | Qt::AlignTop,
                         QString::fromLatin1(kTitle));
    }

private:
    QImage m_image;
    QFont m_font;
};

QLabel* addLabel(QWidget* parent, const char* text, QRect geometry)
{
    auto* label = new QLabel(QString::fromLatin1(text), parent);
    label->setGeometry(geometry);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return label;
}

void addEtchedLine(QWidget* parent, QRect geometry)
{
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(geometry);
}

}

SetupServices desktopServices()
{
    SetupServices services;
    services.browseForFolder = [](QWidget*) {
        // No owner, as the desktop's own browser would be: it stays above every window.
        return QFileDialog::getExistingDirectory(nullptr, QString::fromLatin1(kBrowseTitle), QString(),
                                                 QFileDialog::ShowDirsOnly);
    };
    services.showMessage = [](QWidget* owner, QMessageBox::Icon icon, const QString& caption, const QString& text) {
        QMessageBox box(icon, caption, text, QMessageBox::Ok, owner);
        box.exec();
    };
    services.startProgram = startInstalledProgram;
    return services;
}

SetupDialog::SetupDialog(SetupServices services, QWidget* owner)
    : QDialog(owner)
    , m_services(std::move(services))
{
    setWindowTitle(QStringLiteral("Program Setup"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint
                   | Qt::WindowMinimizeButtonHint);
    setFixedSize(dialogX(322), dialogY(218));
    Skin skin;
    if (loadSkin(skin, nullptr)) {
        setFont(skin.smallFont);
        setWindowIcon(skin.programIcon);
    }
    createControls();
    m_path->setText(initialInstallPath());
    m_licence->setPlainText(licenceText());
}

void SetupDialog::createControls()
{
    placeControl(new Banner(this), ids::kBanner, QRect(0, 0, dialogX(322), dialogY(40)));

    addLabel(this, "Install Path", dialogRect(7, 45, 120, 9));
    m_path = placeControl(new QLineEdit(this), ids::kInstallPath, dialogRect(7, 55, 254, 13));
    m_path->setAcceptDrops(false);
    m_path->setContextMenuPolicy(Qt::NoContextMenu);
    m_path->installEventFilter(this);
    m_browse = placeControl(new QPushButton(QStringLiteral("Browse"), this), ids::kBrowse, dialogRect(265, 53, 50, 17));
    m_browse->setIcon(QIcon(QPixmap(QString::fromLatin1(kBrowseImageResource))));
    m_browse->setToolTip(QString::fromLatin1(kBrowseTitle));
    m_browse->setAutoDefault(false);
    connect(m_browse, &QPushButton::clicked, this, [this] { browse(); });

    addLabel(this, "License Agreement", dialogRect(7, 74, 160, 9));
    m_licence = placeControl(new QPlainTextEdit(this), ids::kLicence, dialogRect(7, 84, 308, 86));
    m_licence->setReadOnly(true);
    m_licence->setTabChangesFocus(true);
    m_licence->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_licence->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_licence->installEventFilter(this);
    QPalette licenceColours = m_licence->palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        licenceColours.setColor(group, QPalette::Base, QColor(112, 112, 112));
        licenceColours.setColor(group, QPalette::Window, QColor(112, 112, 112));
        licenceColours.setColor(group, QPalette::Text, QColor(128, 255, 128));
    }
    m_licence->setPalette(licenceColours);

    m_agreement = placeControl(new QCheckBox(QStringLiteral("I have Read, Understand and Agree to the License Agreement Above"), this),
                        ids::kAgreement, dialogRect(7, 174, 308, 10));
    addEtchedLine(this, dialogRect(7, 188, 308, 2));
    m_install = placeControl(new QPushButton(QStringLiteral("Install"), this), ids::kInstall, dialogRect(255, 195, 60, 15));
    m_install->setEnabled(false);
    m_install->setAutoDefault(false);
    addEtchedLine(this, dialogRect(7, 213, 308, 2));
    connect(m_agreement, &QCheckBox::toggled, m_install, &QWidget::setEnabled);
    connect(m_install, &QPushButton::clicked, this, [this] { install(); });
}

void SetupDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    m_licence->setFocus();
}

QString SetupDialog::installPath() const
{
    return m_path->text();
}

bool SetupDialog::eventFilter(QObject* watched, QEvent* event)
{
    // The path changes only through Browse: keys and clicks into the path box go nowhere, and
    // the licence box takes no keys (its scroll bar and the wheel still move it). Tab and
    // Shift+Tab still move the focus on, so the dialog can be worked from the keyboard.
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Tab || key == Qt::Key_Backtab)
            return QDialog::eventFilter(watched, event);
    }
    if (watched == m_path) {
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::InputMethod:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::ContextMenu:
            return true;
        default:
            break;
        }
    } else if (watched == m_licence && (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease)) {
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void SetupDialog::browse()
{
    if (m_browsing)
        return;
    m_browsing = true;
    m_browse->setEnabled(false);
    const QString folder = m_services.browseForFolder(this);
    if (!folder.isEmpty())
        m_path->setText(installPathOf(folder));
    m_browse->setEnabled(true);
    m_browsing = false;
}

void SetupDialog::setControlsEnabled(bool enabled)
{
    m_install->setEnabled(enabled && m_agreement->isChecked());
    m_agreement->setEnabled(enabled);
    m_browse->setEnabled(enabled);
}

void SetupDialog::install()
{
    if (!m_agreement->isChecked() || m_installed)
        return;
    setControlsEnabled(false);
    const QString folder = installFolderOf(installPath());
    std::optional<InstallFailure> failure;
    if (folder.size() > kLongestPath)
        failure = InstallFailure{folder, QStringLiteral("the path is longer than %1 characters").arg(kLongestPath)};
    else
        failure = installFiles(folder, payloadFiles());
    if (failure) {
        m_services.showMessage(this, QMessageBox::Critical, QString::fromLatin1(kErrorCaption),
                               QStringLiteral("Wavelark could not be installed into %1.\n\n%2:\n%3")
                                   .arg(folder, failure->path, failure->reason));
        setControlsEnabled(true);
        return;
    }
    m_installed = true;
    m_services.showMessage(this, QMessageBox::Information, QString::fromLatin1(kSuccessCaption),
                           QString::fromLatin1(kSuccessText));
    const ProgramStart start = m_services.startProgram(folder);
    if (!start.started)
        m_services.showMessage(this, QMessageBox::Critical, QString::fromLatin1(kErrorCaption),
                               QString::fromLatin1(kCannotOpenText) + QStringLiteral("\n\n") + start.reason);
    close();
}

}
