// The waveform view: the take drawn as a navy polyline on white over the whole view width, the
// selection shown inverted, the play cursor, and while recording a "RECORDING " caption with the
// elapsed time; over the waveform and the selection, below the play cursor, the track markers as
// thin vertical lines numbered at the top. It is drawn off screen in three images (waveform, selection, composed) and the
// widget paints the composed one. The mouse selects with two edges; the host answers questions
// about the rest of the program and runs Play. Window thread only.
//
// Zoom (widgets/zoom_window.h): the whole take is drawn from the peak cache's picture; a zoomed
// view draws the columns the host reads from the take, with a time ruler across its top, places
// the selection's edges and the markers to the frame, and turns the page when the play cursor
// leaves it.
//
// The keyboard (the view takes the focus from Tab or a click): Shift+Left and Shift+Right move
// the selection's second edge by one pixel of the view (a whole-take column when the whole take
// is shown), Ctrl+A selects the whole take as a double-click does. For a screen reader it is
// "Waveform", a chart, its description saying what is selected.
//
// The track markers by mouse and key:
//   - over a marker's line the cursor becomes a split cursor; a press there selects the marker
//     (drawn in red) and a drag moves it, held between its neighbours; the selection is left as
//     it was. Elsewhere the press and the drags make the selection as always;
//   - Ctrl+click adds a marker at the mouse; M adds one at the play cursor while playing, else at
//     the selection's start (or at the cursor when nothing is selected);
//   - Delete removes the selected marker;
//   - P, or a double-click on a marker's line, plays from the selected marker to the end;
//   - moving the mouse over a track writes " Track N of M : m:ss" (the track's length) on the
//     status line; leaving the tracks writes the take's duration and selection again.
#pragma once

#include "widgets/waveform_picture.h"
#include "widgets/zoom_window.h"

#include <QCursor>
#include <QFont>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

namespace wavelark {

class WaveformView : public QWidget, public WaveformPicture {
public:
    // host must outlive the view. The view takes the geometry given, normally the waveform
    // frame's 555 x 115 pixels.
    WaveformView(WaveformHost& host, const QRect& geometry, QWidget* parent);

    // WaveformPicture
    QImage& waveformImage() override { return m_waveform; }
    void clearWaveform() override;
    void clearComposed() override;
    void clearSelectionImage() override;
    void drawSelection() override;
    void compose() override;
    void updateStatus() override;
    void clearStatusCache() override { m_statusCache.clear(); }
    uint32_t firstEdge() const override { return m_firstEdge; }
    uint32_t secondEdge() const override { return m_secondEdge; }
    void setSelection(uint32_t firstEdge, uint32_t secondEdge) override;
    std::optional<std::pair<uint64_t, uint64_t>> exactSelection() const override;
    void setTrackMarkers(std::vector<uint64_t> frames, uint64_t end) override;

    const QImage& composedImage() const { return m_composed; }
    const QImage& selectionImage() const { return m_selection; }
    // The markers' whole-take columns (0..555), in track order.
    std::vector<double> trackMarkerColumns() const;
    const std::vector<uint64_t>& trackMarkerFrames() const { return m_markerFrames; }
    // The marker the keys act on, if any.
    std::optional<std::size_t> selectedMarker() const { return m_selectedMarker; }
    // The x of a track marker's line in the view: its column, held inside the frame.
    int trackMarkerX(double column) const;
    // Hover edge: 0 none, 1 first edge, 2 second edge.
    int hoverEdge() const { return m_hoverEdge; }
    void setEdgeCursor(const QCursor& cursor) { m_edgeCursor = cursor; }
    // The "RECORDING " caption's font (the skin's large font).
    void setCaptionFont(const QFont& font) { m_captionFont = font; }
    const QFont& captionFont() const { return m_captionFont; }

    // The zoom buttons ("-", "+", "All", "Sel", "|--", "--|") and the scroll bar; each does
    // nothing without a take, while recording, or where it would change nothing.
    const ZoomWindow& zoom() const { return m_zoom; }
    void zoomOut();
    void zoomIn();
    void showWholeTake();
    void showSelection();
    void showTakeStart();
    void showTakeEnd();
    void setScrollPosition(int position);
    // Runs after every change of the zoom or its position (the window sets its scroll bar).
    void setZoomHandler(std::function<void()> handler) { m_zoomHandler = std::move(handler); }
    // The selection's exact start, end and length ("0:12.345 - 0:27.890 (0:15.545)"), empty
    // without a selection; handed to the handler whenever it changes.
    QString selectionTimesText() const;
    void setSelectionTimesHandler(std::function<void(const QString&)> handler)
    {
        m_selectionTimesHandler = std::move(handler);
    }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    bool inside(const QPoint& position) const;
    uint32_t columnAt(int x) const;
    double takeSeconds() const;
    void drawTrackMarkers();
    // Sets an edge from a pixel: its frame in the zoom, its column of the whole take.
    void placeEdge(uint32_t& edge, uint64_t& frame, int x);
    // Keeps both edges as frames (a zoomed view places them finer than a column).
    void useExactEdges();
    void moveSecondEdge(int pixels);
    void selectWholeTake();
    // Its accessible name, description and role (a chart).
    void describeForAccessibility();
    uint64_t frameOfEdge(uint32_t column) const;
    double edgeX(uint64_t frame, uint32_t column) const;
    // The frames of the first and the second edge, exact or those of the columns.
    std::pair<uint64_t, uint64_t> edgeFrames() const;
    bool hasSelection() const;
    bool firstEdgeLarger() const;
    // The x of marker index, nothing when the zoom does not show it.
    std::optional<int> markerX(std::size_t index) const;
    // The frame of the play cursor (a whole-take column).
    uint64_t cursorFrame() const;
    // With a take and no recording; the zoom then follows the take's length.
    bool zoomAllowed();
    void followTake();
    // After a zoom change: the zoomed columns read afresh, the picture redrawn, the handler told.
    void zoomChanged(bool changed);
    void drawZoomedWaveform();
    // While playing zoomed: a play cursor that left the view brings the next page into it.
    void followPlayCursor();
    void reportSelectionTimes();
    // The markers (waveform_view_markers.cpp).
    std::optional<std::size_t> markerNear(int x) const;
    bool markerPress(const QMouseEvent& event);
    bool markerMove(const QMouseEvent& event);
    bool markerRelease();
    void showTrackUnderMouse(int x);
    void restoreStatus();
    void addMarkerAtCursor();
    void removeSelectedMarker();
    void playSelectedMarker();

    WaveformHost& m_host;
    QImage m_waveform;
    QImage m_selection;
    QImage m_composed;
    QCursor m_edgeCursor{Qt::SizeHorCursor};
    QFont m_captionFont;
    uint32_t m_firstEdge = 0;
    uint32_t m_secondEdge = 0;
    int m_hoverEdge = 0;
    int m_dragMode = 0;
    bool m_dragged = false;
    int m_pressX = 0;
    QPoint m_lastPosition;
    QString m_statusCache;
    // The selection's edges in frames: those of the columns unless m_exactEdges.
    uint64_t m_firstFrame = 0;
    uint64_t m_secondFrame = 0;
    bool m_exactEdges = false;
    ZoomWindow m_zoom;
    QImage m_zoomedWaveform;
    std::vector<WaveformHost::Column> m_zoomedColumns;
    std::function<void()> m_zoomHandler;
    std::function<void(const QString&)> m_selectionTimesHandler;
    QString m_selectionTimes;
    std::vector<uint64_t> m_markerFrames;
    uint64_t m_markerEnd = 0;
    std::optional<std::size_t> m_selectedMarker;
    std::optional<std::size_t> m_draggedMarker;  // pressed on its line; moved once m_markerMoved
    bool m_markerMoved = false;
    bool m_trackStatusShown = false;
};

}
