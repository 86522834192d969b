// The waveform view: the take drawn as a navy polyline on white over the whole view width, the
// selection shown inverted, the play cursor, and while recording a "RECORDING " caption with the
// elapsed time. It is drawn off screen in three images (waveform, selection, composed) and the
// widget paints the composed one. The mouse selects with two edges; the host answers questions
// about the rest of the program and runs Play. Window thread only.
#pragma once

#include <QCursor>
#include <QFont>
#include <QImage>
#include <QString>
#include <QWidget>

#include <cstdint>

namespace wavelark {

// What the view needs from the window.
class WaveformHost {
public:
    virtual ~WaveformHost() = default;
    // A take exists and no save or import runs: the mouse may change the selection.
    virtual bool selectionAllowed() const = 0;
    virtual bool recording() const = 0;
    virtual double recordingSeconds() const = 0;
    virtual bool playing() const = 0;
    virtual double playCursor() const = 0;
    virtual void setPlayCursor(double column) = 0;
    // Stops playing when it runs (the Play command while playing).
    virtual void stopPlaying() = 0;
    // Plays the selection (the Play command while idle); tail plays only its last two seconds.
    virtual void playSelection(bool tail) = 0;
    // The last measured length of the take in bytes.
    virtual uint32_t takeLength() const = 0;
    virtual void setStatusText(const QString& text) = 0;
    // The selection was drawn with these edges: the host keeps them for the next start.
    virtual void selectionDrawn(uint32_t firstEdge, uint32_t secondEdge) = 0;
};

class WaveformView : public QWidget {
public:
    // host must outlive the view. The view takes the geometry given, normally the waveform
    // frame's 555 x 115 pixels.
    WaveformView(WaveformHost& host, const QRect& geometry, QWidget* parent);

    QImage& waveformImage() { return m_waveform; }
    const QImage& composedImage() const { return m_composed; }
    const QImage& selectionImage() const { return m_selection; }

    void clearWaveform();
    void clearComposed();
    void clearSelectionImage();
    // Fills the selection image black with a white band between the smaller and the larger edge,
    // and hands both edges to the host.
    void drawSelection();
    // Builds the composed image and repaints the view.
    void compose();
    // Writes " Duration : ... / Selection : ..." when there is a selection and the text changed.
    void updateStatus();
    void clearStatusCache() { m_statusCache.clear(); }

    uint32_t firstEdge() const { return m_firstEdge; }
    uint32_t secondEdge() const { return m_secondEdge; }
    void setSelection(uint32_t firstEdge, uint32_t secondEdge);
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
};

}
