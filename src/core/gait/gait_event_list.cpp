#include "gait/gait_event_list.h"

#include <algorithm>
#include <cstdlib>

#include "platform/translation.h"

namespace kivra {

void GaitEventList::Replace(std::vector<GaitEvent> events) {
    std::sort(events.begin(), events.end());
    events.erase(std::unique(events.begin(), events.end()), events.end());
    events_ = std::move(events);
}

bool GaitEventList::Add(const GaitEvent& given, int first, int last) {
    GaitEvent event = given;
    event.moment = event.frame;  // placed by hand on a frame
    if (event.frame < first || event.frame > last ||
        std::binary_search(events_.begin(), events_.end(), event)) {
        return false;
    }
    events_.insert(std::upper_bound(events_.begin(), events_.end(), event), event);
    return true;
}

bool GaitEventList::Move(const GaitEvent& event, int toFrame, int first, int last) {
    GaitEvent moved = event;
    moved.frame = toFrame;
    moved.moment = toFrame;  // placed by hand on a frame
    if (toFrame < first || toFrame > last || moved == event ||
        !std::binary_search(events_.begin(), events_.end(), event) ||
        std::binary_search(events_.begin(), events_.end(), moved)) {
        return false;
    }
    Delete(event);
    events_.insert(std::upper_bound(events_.begin(), events_.end(), moved), moved);
    return true;
}

bool GaitEventList::Delete(const GaitEvent& event) {
    const auto it = std::lower_bound(events_.begin(), events_.end(), event);
    if (it == events_.end() || *it != event) {
        return false;
    }
    events_.erase(it);
    return true;
}

std::optional<GaitEvent> GaitEventList::Nearest(int frame, int within) const {
    std::optional<GaitEvent> best;
    for (const GaitEvent& e : events_) {
        const int distance = std::abs(e.frame - frame);
        if (distance <= within && (!best || distance < std::abs(best->frame - frame))) {
            best = e;
        }
    }
    return best;
}

std::optional<std::string> EventOutsideRange(const std::vector<GaitEvent>& events, int first,
                                             int last) {
    for (const GaitEvent& e : events) {
        if (e.frame < first || e.frame > last) {
            const bool right = e.side == FootSide::kRight;
            const std::string text =
                e.kind == GaitEventKind::kHeelStrike
                    ? (right ? translate("GaitMessages",
                                         "フレーム %1 の右の踵接地が再生範囲 (フレーム %2 から "
                                         "%3) の外にあります")
                             : translate("GaitMessages",
                                         "フレーム %1 の左の踵接地が再生範囲 (フレーム %2 から "
                                         "%3) の外にあります"))
                    : (right ? translate("GaitMessages",
                                         "フレーム %1 の右の足尖離地が再生範囲 (フレーム %2 から "
                                         "%3) の外にあります")
                             : translate("GaitMessages",
                                         "フレーム %1 の左の足尖離地が再生範囲 (フレーム %2 から "
                                         "%3) の外にあります"));
            return ArgText(text,
                           {std::to_string(e.frame), std::to_string(first), std::to_string(last)});
        }
    }
    return std::nullopt;
}

}  // namespace kivra
