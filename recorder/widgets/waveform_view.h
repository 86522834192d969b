// The waveform view: the take drawn as a navy polyline on white over the whole view width, the
// selection shown inverted, the play cursor, and while recording a "RECORDING " caption with the
// elapsed time; over the waveform and the selection, below the play cursor, the track markers as
// thin vertical lines numbered at the top. It is drawn off screen in three images (waveform, selection, composed) and the
// widget paints the composed one. The mouse selects with two edges; the host answers questions
// about the rest of the program and runs Play. Window thread only.
#pragma once

#include "widgets/waveform_picture.h"

#include <QCursor>
#include <QFont>
#include <QString>
#include <QWidget>

#include <cstdint>
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
    void setTrackMarkers(std::vector<double> columns) override { m_trackColumns = std::move(columns); }

    const QImage& composedImage() const { return m_composed; }
    const QImage& selectionImage() const { return m_selection; }
    const std::vector<double>& trackMarkerColumns() const { return m_trackColumns; }
    // The x of a track marker's line in the view: its column, held inside the frame.
    int trackMarkerX(double column) const;
    // Hover edge: 0 none, 1 first edge, 2 second edge.
    int hoverEdge() const { return m_hoverEdge; }
    void setEdgeCursor(const QCursor& cursor) { m_edgeCursor = cursor; }
    // The "RECORDING " caption's font (the skin's large font).
    void setCaptionFont(const QFont& font) { m_captionFont = font; }
    const QFont& captionFont() const { return m_captionFont; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    bool inside(const QPoint& position) const;
    uint32_t columnAt(int x) const;
    double takeSeconds() const;
    void drawTrackMarkers();

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
    std::vector<double> m_trackColumns;
};

}
