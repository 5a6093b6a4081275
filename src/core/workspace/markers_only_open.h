#pragma once
// Opens a video for its markers alone: the frames counted, timed and numbered from the AVI
// index or the clip's packets, without a decoder, the sound or a conversion. Used by the
// workspace for commands that never show a picture.
#include <optional>
#include <string>

#include "document/vfw_doc.h"
#include "settings/inifile_manager.h"

namespace kivra {

class ProgressSink;

// The source as the full open would number and size it, but reading no picture; nothing when
// only the full open can tell (a source it would convert first, or one it would refuse, so
// that the full open says why). Cancelled when the user stopped the probe or the indexing.
// program says whether a clip is read directly, as the full open reads it.
std::optional<CVfwDoc::PreparedSource> PrepareMarkersOnly(const std::string& path,
                                                          const ProgramSettings& program,
                                                          ProgressSink& progress);

}  // namespace kivra
