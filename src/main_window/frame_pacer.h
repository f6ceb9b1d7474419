#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

// Lets a view follow a stream of changes at the pace of the screen rather
// than once per change. The first change after a quiet moment is shown at
// once and opens a frame; changes during the frame wait, and the frame's end
// shows them all with one catch-up and opens the next frame. A frame lasts
// the screen's refresh interval, or four times what the last one's catch-up
// and paints took when that is longer (up to half a second), so following
// takes no more than a fifth of the time.
class FramePacer : public QObject {
    Q_OBJECT
public:
    explicit FramePacer(std::function<void()> catchUp, QObject* parent = nullptr);

    // A change: true when the caller shows it now; false when the catch-up
    // at the frame's end shows it.
    bool ShowNow();
    // Ends the frame at once: what waits is shown now.
    void EndFrame();
    // What a catch-up had no time for: caught up at the end of this frame
    // (or of the next one, when called from the catch-up).
    void Postpone() { m_waiting = true; }
    // Work done for the view outside the catch-up (painting), in ms.
    void NoteWork(qint64 ms) { m_work += ms; }
    // The shortest frame; by default the primary screen's refresh interval.
    // A frame open now is given the new length from now.
    void SetMinimumFrameMs(int ms);
    int MinimumFrameMs() const { return m_minimumMs; }
    // Changes wait for the catch-up.
    bool Waiting() const { return m_waiting; }

private:
    std::function<void()> m_catchUp;
    QTimer m_frame;
    int m_minimumMs;
    qint64 m_work = 0;
    bool m_waiting = false;
};
