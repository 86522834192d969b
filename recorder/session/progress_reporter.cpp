// The progress reporter.

#include "session/progress_reporter.h"

#include "core/identifiers.h"
#include "core/toolkit_binding.h"

#include "sorvak_widgets.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>

namespace wavelark {

namespace {

QPointer<QWidget> g_window;
ProgressActivity g_activity = ProgressActivity::Importing;
unsigned g_calls = 0;

}

void setProgressTarget(QWidget* window)
{
    g_window = window;
    g_calls = 0;
}

void setProgressActivity(ProgressActivity activity)
{
    g_activity = activity;
}

int progressReporter(int percent)
{
    if (!g_window)
        return 0;
    if (g_calls++ % 20 == 0)
        QCoreApplication::processEvents();
    // Running events may have closed the window.
    if (!g_window)
        return 0;
    if (auto* bar = qobject_cast<QProgressBar*>(sorvak::findControl(g_window, ids::kProgressBar)))
        bar->setValue(percent);
    if (auto* status = qobject_cast<QLabel*>(sorvak::findControl(g_window, ids::kStatusLine))) {
        const char* activity = g_activity == ProgressActivity::Saving ? " Saving Audio File . . . " : " Importing Audio File . . . ";
        status->setText(QString::fromUtf8(g_toolkit.strcatmany(activity, g_toolkit.dw2sz(percent), " %", nullptr, nullptr)));
    }
    return 0;
}

}
