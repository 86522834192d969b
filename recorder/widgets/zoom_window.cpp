#include "widgets/zoom_window.h"

#include "core/take_format.h"

#include <algorithm>
#include <cmath>

namespace wavelark {

ZoomWindow::ZoomWindow(uint32_t takeBytes, int width)
    : m_width(std::max(1, width))
{
    setTake(takeBytes);
}

void ZoomWindow::setTake(uint32_t takeBytes)
{
    m_takeBytes = takeBytes;
    m_whole = true;
    m_firstFrame = 0;
    m_framesPerPixel = wholeFramesPerPixel();
}

double ZoomWindow::wholeFramesPerPixel() const
{
    return static_cast<double>(takeFrames()) / m_width;
}

uint64_t ZoomWindow::lastFirstFrame() const
{
    const auto shown = static_cast<uint64_t>(std::ceil(m_width * m_framesPerPixel));
    return takeFrames() > shown ? takeFrames() - shown : 0;
}

uint64_t ZoomWindow::visibleFrames() const
{
    if (m_whole)
        return takeFrames();
    const auto shown = static_cast<uint64_t>(std::ceil(m_width * m_framesPerPixel));
    return std::min(shown, takeFrames() - std::min(m_firstFrame, takeFrames()));
}

uint64_t ZoomWindow::frameAt(int x) const
{
    const int held = std::clamp(x, 0, m_width);
    if (m_whole)
        return frameOfColumn(held * kColumnSpan / m_width);
    const auto frame = m_firstFrame + static_cast<uint64_t>(std::floor(held * m_framesPerPixel));
    return std::min(frame, takeFrames());
}

double ZoomWindow::xOf(uint64_t frame) const
{
    if (m_whole)
        return columnOf(frame) * m_width / kColumnSpan;
    return (static_cast<double>(frame) - static_cast<double>(m_firstFrame)) / m_framesPerPixel;
}

double ZoomWindow::columnOf(uint64_t frame) const
{
    if (m_takeBytes == 0)
        return 0.0;
    return std::min(kColumnSpan, static_cast<double>(frame) * kTakeFrameBytes / m_takeBytes * kColumnSpan);
}

uint64_t ZoomWindow::frameOfColumn(double column) const
{
    return wholeFrames(columnToOffset(column, m_takeBytes)) / kTakeFrameBytes;
}

bool ZoomWindow::apply(double framesPerPixel, double firstFrame)
{
    const bool wasWhole = m_whole;
    const uint64_t oldFirst = m_firstFrame;
    const double oldZoom = m_framesPerPixel;
    if (takeFrames() == 0 || framesPerPixel >= wholeFramesPerPixel()) {
        setTake(m_takeBytes);
    } else {
        m_whole = false;
        m_framesPerPixel = std::max(framesPerPixel, kFinestFramesPerPixel);
        const double held = std::clamp(std::round(firstFrame), 0.0, static_cast<double>(lastFirstFrame()));
        m_firstFrame = static_cast<uint64_t>(held);
    }
    return wasWhole != m_whole || oldFirst != m_firstFrame || oldZoom != m_framesPerPixel;
}

bool ZoomWindow::zoomIn()
{
    if (m_framesPerPixel <= kFinestFramesPerPixel)
        return false;
    const double middle = static_cast<double>(m_firstFrame) + m_width / 2.0 * m_framesPerPixel;
    const double finer = std::max(m_framesPerPixel / 2.0, kFinestFramesPerPixel);
    return apply(finer, middle - m_width / 2.0 * finer);
}

bool ZoomWindow::zoomOut()
{
    if (m_whole)
        return false;
    const double middle = static_cast<double>(m_firstFrame) + m_width / 2.0 * m_framesPerPixel;
    const double coarser = m_framesPerPixel * 2.0;
    return apply(coarser, middle - m_width / 2.0 * coarser);
}

bool ZoomWindow::showWhole()
{
    return apply(wholeFramesPerPixel(), 0.0);
}

bool ZoomWindow::showRange(uint64_t from, uint64_t to)
{
    const uint64_t start = std::min(from, to);
    const uint64_t end = std::min(std::max(from, to), takeFrames());
    if (end <= start)
        return false;
    const double zoom = std::max(static_cast<double>(end - start) / m_width, kFinestFramesPerPixel);
    const double middle = (static_cast<double>(start) + static_cast<double>(end)) / 2.0;
    return apply(zoom, middle - m_width / 2.0 * zoom);
}

bool ZoomWindow::showStart()
{
    return scrollTo(0);
}

bool ZoomWindow::showEnd()
{
    return scrollTo(lastFirstFrame());
}

bool ZoomWindow::scrollTo(uint64_t frame)
{
    if (m_whole)
        return false;
    return apply(m_framesPerPixel, static_cast<double>(frame));
}

int ZoomWindow::scrollRange() const
{
    if (m_whole)
        return 0;
    return static_cast<int>(std::ceil(static_cast<double>(lastFirstFrame()) / m_framesPerPixel));
}

int ZoomWindow::scrollPosition() const
{
    if (m_whole)
        return 0;
    return static_cast<int>(std::lround(static_cast<double>(m_firstFrame) / m_framesPerPixel));
}

bool ZoomWindow::setScrollPosition(int position)
{
    if (m_whole)
        return false;
    // The last position reaches the take's end exactly, whatever the rounding of the ones before.
    if (position >= scrollRange())
        return scrollTo(lastFirstFrame());
    return scrollTo(static_cast<uint64_t>(std::max(0, position) * m_framesPerPixel));
}

}
