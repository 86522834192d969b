// The part of the take the waveform view shows: its first frame and how many frames one pixel
// holds, the mapping between view pixels and take frames, the zoom steps of the "-", "+", "All",
// "Sel", "|--" and "--|" buttons and the scroll bar's positions. A plain value, no widget; any
// thread, one at a time.
//
// The whole take (the zoom the view starts in) maps pixels to frames through the whole-take
// columns exactly as the selection's stored edges do (core/take_format.h), so a selection made
// there plays and saves the frames it always did. A zoomed window maps pixel x to
// firstFrame + floor(x × framesPerPixel). Every change holds the window inside the take.
#pragma once

#include <cstdint>

namespace wavelark {

class ZoomWindow {
public:
    // The finest zoom: one frame a pixel.
    static constexpr double kFinestFramesPerPixel = 1.0;

    // A view width pixels wide (at least 1) over a take of takeBytes bytes, showing all of it.
    explicit ZoomWindow(uint32_t takeBytes = 0, int width = 555);

    // A new take (or a take whose length changed): the whole take again.
    void setTake(uint32_t takeBytes);
    uint32_t takeBytes() const { return m_takeBytes; }
    uint64_t takeFrames() const { return m_takeBytes / 4; }
    int width() const { return m_width; }

    // True while the view shows the whole take (nothing to scroll).
    bool whole() const { return m_whole; }
    uint64_t firstFrame() const { return m_firstFrame; }
    double framesPerPixel() const { return m_framesPerPixel; }
    // The frames the view shows, from firstFrame; never past the take's end.
    uint64_t visibleFrames() const;

    // The frame under pixel x; x is held to 0..width, the frame to 0..takeFrames.
    uint64_t frameAt(int x) const;
    // The pixel (with its fraction) of frame; outside 0..width when the frame is not shown.
    double xOf(uint64_t frame) const;
    // The whole-take column of frame, 0..555, as the stored selection and the markers count.
    double columnOf(uint64_t frame) const;
    // The frame at the start of whole-take column (0..555): the stored selection's mapping.
    uint64_t frameOfColumn(double column) const;

    // "+": half as many frames a pixel (never under kFinestFramesPerPixel), the frame in the
    // middle of the view staying in the middle. False when nothing changed.
    bool zoomIn();
    // "-": twice as many frames a pixel, up to the whole take. False when nothing changed.
    bool zoomOut();
    // "All": the whole take.
    bool showWhole();
    // "Sel": the frames from..to (either order) fill the view, at most as finely as
    // kFinestFramesPerPixel (then centred); an empty range changes nothing.
    bool showRange(uint64_t from, uint64_t to);
    // "|--" and "--|": the same zoom, moved to the take's start or end.
    bool showStart();
    bool showEnd();
    // Moves the window so that it starts at frame, held inside the take.
    bool scrollTo(uint64_t frame);

    // The scroll bar, counted in pixels of the current zoom: its range 0..scrollRange() (0 for the
    // whole take), the window's position in it, a page (the view's width) and a step (a tenth).
    int scrollRange() const;
    int scrollPosition() const;
    bool setScrollPosition(int position);
    int pageStep() const { return m_width; }
    int singleStep() const { return m_width >= 10 ? m_width / 10 : 1; }

private:
    double wholeFramesPerPixel() const;
    uint64_t lastFirstFrame() const;
    // Sets the zoom and the first frame, held; the whole take when the zoom reaches it.
    bool apply(double framesPerPixel, double firstFrame);

    uint32_t m_takeBytes = 0;
    int m_width = 555;
    bool m_whole = true;
    uint64_t m_firstFrame = 0;
    double m_framesPerPixel = 0.0;
};

}
