#pragma once
// The gait events of the open video as the user edits them: requests that refuse without
// changing anything, so each taken one can become one undo step. Owned beside the editing
// session; the window shows the list, the timeline its ticks.
#include <optional>
#include <string>
#include <vector>

#include "gait/gait_events.h"

namespace kivra {

class GaitEventList {
public:
    const std::vector<GaitEvent>& Events() const { return events_; }
    // The whole list at once (detection, a loaded file, undo): ordered and without repeats.
    void Replace(std::vector<GaitEvent> events);

    // Each false, changing nothing, when the frame lies outside first ... last, the event is
    // already there (adding or moving onto it), or there is nothing to move or delete.
    bool Add(const GaitEvent& event, int first, int last);
    bool Move(const GaitEvent& event, int toFrame, int first, int last);
    bool Delete(const GaitEvent& event);

    // The event nearest to frame, at most `within` frames away (the earlier one on a tie).
    std::optional<GaitEvent> Nearest(int frame, int within) const;

private:
    std::vector<GaitEvent> events_;
};

// "a right heel strike at frame 5000 lies outside the play range (frames 0 to 199)" for the
// first event outside first ... last, or nothing.
std::optional<std::string> EventOutsideRange(const std::vector<GaitEvent>& events, int first,
                                             int last);

}  // namespace kivra
