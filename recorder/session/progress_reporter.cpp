// The progress route.

#include "session/progress_reporter.h"

#include "session/take_display.h"

#include "core/toolkit_binding.h"

#include <QCoreApplication>

#include <utility>

namespace wavelark {

namespace {

// The innermost route alive; each route keeps the one it replaced.
ProgressRoute* g_route = nullptr;

}

ProgressRoute::ProgressRoute(std::function<void(int)> report)
    : m_report(std::move(report))
    , m_previous(std::exchange(g_route, this))
{
}

ProgressRoute::~ProgressRoute()
{
    g_route = m_previous;
}

int progressReporter(int percent)
{
    ProgressRoute* route = g_route;
    if (!route)
        return 0;
    if (route->m_calls++ % 20 == 0)
        QCoreApplication::processEvents();
    // The route outlives the conversion that calls it, so it is still there after the events.
    if (route->m_report)
        route->m_report(percent);
    return 0;
}

std::function<void(int)> conversionProgress(TakeDisplay& display, ProgressActivity activity)
{
    const char* text = activity == ProgressActivity::Saving ? " Saving Audio File . . . " : " Importing Audio File . . . ";
    return [&display, text](int percent) {
        display.setProgress(percent);
        display.setStatusText(QString::fromUtf8(g_toolkit.strcatmany(text, g_toolkit.dw2sz(percent), " %", nullptr, nullptr)));
    };
}

}
