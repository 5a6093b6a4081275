#pragma once
// The codec installer program: one instance at a time, administrators only, runs the installers
// that lie in "prepare/" beside it in their fixed order. Owned by main for the whole run.
#include <string>
#include <vector>

#include "unique_app.h"

class CPellamApp {
public:
    CPellamApp(int& argc, char** argv) : m_argc(argc), m_argv(argv) {}

    // The whole program. Always false: nothing is left to run once it is done.
    bool InitInstance();

    // "prepare/codecs.list": package names, blank- or line-separated, "#" to the end of a line.
    // Anything that is not a valid package name (an option above all) is left out.
    static std::vector<std::string> ReadPackageList(const std::string& path);
    // Message 102 in the user's language (Japanese for Japanese locales, else English).
    static std::string NoAdministratorMessage();

private:
    void ShowMessage(const std::string& text);
    void RunInstallers(const std::string& programFolder);

    int& m_argc;
    char** m_argv;
    ZebsCUniqueApp m_unique;
};
