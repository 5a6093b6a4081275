#pragma once
// What a group of commands is given to register and run its menu entries: the active video and
// the actions on it (read at each call: two panes switch it), the command table, the user's
// messages, the parent of its dialogs, the runner of long jobs and the settings groups several
// groups change. Made by the main window, which outlives every group.
#include "base/command_table.h"
#include "frame/active_video.h"
#include "platform/user_messages.h"
#include "settings/inifile_manager.h"

class QWidget;

namespace kivra {

class JobRunner;

struct CommandContext {
    ActiveVideo& active;
    CommandTable& table;
    UserMessages& messages;
    QWidget* dialogParent;
    JobRunner& jobs;
    TrimmingSettings& trimming;  // the file dialog's filter, deinterlacing
    MarkerIdSettings& markerIds;
};

}  // namespace kivra
