#pragma once
// The settings groups of the main window. Changes are written back with the store at the end;
// the language at once.
#include <functional>
#include <string>
#include <utility>

#include "settings/inifile_manager.h"

namespace kivra {

// The groups the main window works with and hands on, each part taking only what it uses: the
// store's own, made by the application (which owns the store and outlives the window), held by
// the window.
class WindowSettings {
public:
    // iniPath: the settings file the window's own sections (bar layout, kinematics, gait) live
    // in, empty for none. saveLanguage keeps Program().language for the next start at once.
    WindowSettings(SliderSettings& slider, TrimmingSettings& trimming, MarkerIdSettings& markerId,
                   ProgramSettings& program, std::string iniPath,
                   std::function<bool()> saveLanguage)
        : m_slider(slider),
          m_trimming(trimming),
          m_markerId(markerId),
          m_program(program),
          m_iniPath(std::move(iniPath)),
          m_saveLanguage(std::move(saveLanguage)) {}

    SliderSettings& Slider() const { return m_slider; }
    TrimmingSettings& Trimming() const { return m_trimming; }
    MarkerIdSettings& MarkerId() const { return m_markerId; }
    ProgramSettings& Program() const { return m_program; }
    const std::string& IniPath() const { return m_iniPath; }
    // Writes Program().language at once; false when the file could not be written.
    const std::function<bool()>& LanguageWriter() const { return m_saveLanguage; }

private:
    SliderSettings& m_slider;
    TrimmingSettings& m_trimming;
    MarkerIdSettings& m_markerId;
    ProgramSettings& m_program;
    std::string m_iniPath;
    std::function<bool()> m_saveLanguage;
};

}  // namespace kivra
