// The waveform view as the take's session sees it, with no widget in sight: the host it asks
// about the rest of the program, and the picture it draws the take on. The main window creates
// the view (widgets/waveform_view.h) and hands it to the session as a WaveformPicture. Window
// thread only.
#pragma once

#include <QImage>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

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

    // The zoomed waveform: per pixel of width, the largest and the smallest mono mix of the
    // take's frames that pixel holds, from firstFrame at framesPerPixel (>= 1) frames a pixel.
    // False when the take cannot be read (the view then draws the pixels blank).
    struct Column {
        int16_t maximum = 0;
        int16_t minimum = 0;
    };
    virtual bool zoomedColumns(uint64_t firstFrame, double framesPerPixel, int width, std::vector<Column>& columns) = 0;

    // The track markers' edits in the view, by index in track order and take frames. The host
    // keeps the markers (beside the take) and hands the view the result through
    // WaveformPicture::setTrackMarkers; false when nothing changed.
    virtual bool moveTrackMarker(std::size_t index, uint64_t frame) = 0;
    virtual bool addTrackMarker(uint64_t frame) = 0;
    virtual bool removeTrackMarker(std::size_t index) = 0;
    // Plays from frame to the end of the take, the selection kept (stops a play that runs first).
    virtual void playFromFrame(uint64_t frame) = 0;
};

// The view's pictures and selection. The images are the view's size: the waveform (drawn by the
// peak cache), the selection (white between the edges on black) and their composition, which the
// view paints.
class WaveformPicture {
public:
    virtual ~WaveformPicture() = default;
    virtual QImage& waveformImage() = 0;
    virtual void clearWaveform() = 0;
    virtual void clearComposed() = 0;
    virtual void clearSelectionImage() = 0;
    // Fills the selection image black with a white band between the smaller and the larger edge,
    // and hands both edges to the host.
    virtual void drawSelection() = 0;
    // Builds the composed image and repaints the view.
    virtual void compose() = 0;
    // Writes " Duration : ... / Selection : ..." through the host when there is a selection and
    // the text changed since the last time; clearStatusCache makes the next call write it.
    virtual void updateStatus() = 0;
    virtual void clearStatusCache() = 0;
    virtual uint32_t firstEdge() const = 0;
    virtual uint32_t secondEdge() const = 0;
    // Sets both edges; the exact frames are then those of the columns.
    virtual void setSelection(uint32_t firstEdge, uint32_t secondEdge) = 0;
    // The frames of the first and the second edge when an edge was placed finer than a whole-take
    // column (in a zoomed view); nothing when the columns say all there is (then the frames are
    // those of the columns, as after a restart).
    virtual std::optional<std::pair<uint64_t, uint64_t>> exactSelection() const = 0;
    // The track markers to draw at the next compose: the tracks' first frames in track order
    // (empty for none) and the frame where the last track ends.
    virtual void setTrackMarkers(std::vector<uint64_t> frames, uint64_t end) = 0;
};

}
