#include "recorder_test_support.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>

#include <cstdlib>
#include <cstring>
#include <fstream>

namespace wavelark::testing {

namespace {

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

}

void ensureApplication()
{
    if (QCoreApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "recorder-tests";
    static char* argv[] = {name, nullptr};
    static QApplication* application = new QApplication(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    Q_UNUSED(application);
}

RecorderHome::RecorderHome()
    : m_oldHome(environment("HOME"))
    , m_oldPath(environment("PATH"))
{
    std::filesystem::create_directories(home());
    setenv("WAVELARK_HOME", home().c_str(), 1);
    setenv("HOME", m_folder.path().c_str(), 1);
}

RecorderHome::~RecorderHome()
{
    setenv("HOME", m_oldHome.c_str(), 1);
    setenv("PATH", m_oldPath.c_str(), 1);
}

void SettingsBytes::putInt(std::size_t offset, int32_t value)
{
    std::memcpy(bytes.data() + offset, &value, 4);
}

void SettingsBytes::putText(std::size_t offset, const std::string& text)
{
    std::memcpy(bytes.data() + offset, text.c_str(), text.size() + 1);
}

int32_t SettingsBytes::intAt(std::size_t offset) const
{
    return testing::intAt(bytes, offset);
}

std::string SettingsBytes::textAt(std::size_t offset) const
{
    return std::string(bytes.c_str() + offset);
}

int32_t intAt(const std::string& bytes, std::size_t offset)
{
    int32_t value = 0;
    if (offset + 4 <= bytes.size())
        std::memcpy(&value, bytes.data() + offset, 4);
    return value;
}

SettingsBytes defaultSettingsBytes(const std::string& archiveFolder)
{
    SettingsBytes settings;
    settings.putText(0, archiveFolder);
    settings.putInt(2048, -1);
    settings.putInt(2052, 8192);
    settings.putInt(2056, 8);
    settings.putInt(2080, 1);
    settings.putInt(2084, 1);
    settings.putInt(3120, 100);
    settings.putInt(3124, 100);
    settings.putInt(3140, -1);
    settings.putInt(3144, 1);
    return settings;
}

UrlRecorder::UrlRecorder(const QStringList& schemes)
    : m_schemes(schemes)
{
    for (const QString& scheme : m_schemes)
        QDesktopServices::setUrlHandler(scheme, this, "open");
}

UrlRecorder::~UrlRecorder()
{
    for (const QString& scheme : m_schemes)
        QDesktopServices::unsetUrlHandler(scheme);
}

FakeOpener::FakeOpener(int exitCode)
    : m_oldPath(qgetenv("PATH"))
{
    const std::filesystem::path script = m_folder.path() / "xdg-open";
    std::ofstream(script) << "#!/bin/sh\necho \"$1\" >> '" << log().string() << "'\nexit " << exitCode << "\n";
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    qputenv("PATH", QByteArray(m_folder.path().c_str()) + ':' + m_oldPath);
}

FakeOpener::~FakeOpener()
{
    qputenv("PATH", m_oldPath);
}

QStringList FakeOpener::opened() const
{
    return QString::fromStdString(readFile(log())).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

ModalRecorder::ModalRecorder()
{
    connect(&m_timer, &QTimer::timeout, this, &ModalRecorder::poll);
    m_timer.start(20);
}

QStringList ModalRecorder::titles() const
{
    QStringList titles;
    for (const Seen& seen : m_seen)
        titles << seen.title;
    return titles;
}

void ModalRecorder::onTitle(const QString& title, std::function<void(QWidget*)> action)
{
    m_actions[title] = std::move(action);
}

void ModalRecorder::poll()
{
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible())
        return;
    const auto* box = qobject_cast<QMessageBox*>(modal);
    m_seen.push_back({modal->windowTitle(), box ? box->text() : QString()});
    auto action = m_actions.find(modal->windowTitle());
    // A title registered with a trailing '*' takes every title that begins with the rest.
    for (auto candidate = m_actions.begin(); action == m_actions.end() && candidate != m_actions.end(); ++candidate) {
        if (candidate->first.endsWith(QLatin1Char('*')) && modal->windowTitle().startsWith(candidate->first.chopped(1)))
            action = candidate;
    }
    if (action != m_actions.end())
        action->second(modal);
    else
        modal->close();
}

}
