#include "frame/frame_position_pane.h"

#include "reading/avi_video_stream.h"

namespace kivra {

namespace {

constexpr int kGap = 16;

}  // namespace

FramePositionPane::FramePositionPane(QWidget* parent) : QLabel(parent) {
    setObjectName(QStringLiteral("FramePositionPane"));
    // Room for a long clip, so the bar does not shift while the numbers grow.
    setMinimumWidth(fontMetrics().horizontalAdvance(Text(88888, 88888, 3599999)) + kGap);
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setContentsMargins(0, 0, kGap, 0);  // apart from the rate pane on its right
}

void FramePositionPane::FollowFrames(const FrameCursor& cursor) {
    m_frameFollow = cursor.Observe([this, &cursor](int frame) { Refresh(cursor.Stream(), frame); });
}

void FramePositionPane::Refresh(const CAviVideoStream* stream, int at) {
    const bool open = stream != nullptr && stream->HasStream();
    const int frame = open ? at : -1;
    const int count = open ? stream->GetFrameCount() : -1;
    const int64_t ms = open ? stream->SampleToTime(frame) : -1;
    if (frame == m_nFrame && count == m_nCount && ms == m_nMs) {
        return;
    }
    m_nFrame = frame;
    m_nCount = count;
    m_nMs = ms;
    setText(open ? Text(frame, count, ms) : QString());
}

QString FramePositionPane::Text(int frame, int frameCount, int64_t ms) {
    QString text = QStringLiteral("%1 / %2").arg(frame).arg(frameCount);
    if (ms < 0) {
        return text;
    }
    const int64_t hours = ms / 3600000;
    const int64_t minutes = ms / 60000 % 60;
    const int64_t seconds = ms / 1000 % 60;
    const int64_t millis = ms % 1000;
    text += QStringLiteral("   ");
    if (hours > 0) {
        text += QStringLiteral("%1:").arg(hours);
    }
    text += QStringLiteral("%1:%2.%3")
                .arg(minutes, 2, 10, QLatin1Char('0'))
                .arg(seconds, 2, 10, QLatin1Char('0'))
                .arg(millis, 3, 10, QLatin1Char('0'));
    return text;
}

}  // namespace kivra
