#pragma once
// The Movie menu: first, back, stop, play, reverse play, next and last, each run by the window's
// playback, which outlives the commands.
class CPlaybackController;
class QMenu;

namespace kivra {

class CommandTable;

void AddMovieCommands(CommandTable& table, QMenu* movie, CPlaybackController& playback);

}  // namespace kivra
