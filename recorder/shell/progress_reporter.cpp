// The progress reporter.

#include "shell/progress_reporter.h"

#include "shell/identifiers.h"
#include "shell/shell_state.h"
#include "shell/toolkit_binding.h"

#include "sorvak_widgets.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>

namespace wavelark {

namespace {

QPointer<QWidget> g_window;
const ShellState* g_state = nullptr;
unsigned g_calls = 0;

}

void setProgressTarget(QWidget* window, const ShellState* state)
{
    g_window = window;
    g_state = state;
    g_calls = 0;
}

int progressReporter(int percent)
{
    if (!g_window || !g_state)
        return 0;
    if (g_calls++ % 20 == 0)
        QCoreApplication::processEvents();
    // Running events may have closed the window.
    if (!g_window)
        return 0;
    if (auto* bar = qobject_cast<QProgressBar*>(sorvak::findControl(g_window, ids::kProgressBar)))
        bar->setValue(percent);
    if (auto* status = qobject_cast<QLabel*>(sorvak::findControl(g_window, ids::kStatusLine))) {
        const char* activity = g_state->saving ? " Saving Audio File . . . " : " Importing Audio File . . . ";
        status->setText(QString::fromUtf8(g_toolkit.strcatmany(activity, g_toolkit.dw2sz(percent), " %", nullptr, nullptr)));
    }
    return 0;
}

}
